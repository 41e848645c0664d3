#!/usr/bin/env bash
# The POSIX manifest reader on a hostile manifest: a file of 64 MiB (the largest it reads) made of
# tiny "Files" entries, read once, then its key list and 200 look-ups (half of them misses, which
# search the whole section), as `profile_lookup` does it, against mawk loading the same section
# into its hash table and doing the same look-ups, in the same run (median of 3 each). Prints
# seconds and peak resident memory of both, the ratios to mawk, and the reader's memory per byte
# of the file.
#   bench/manifest.sh [runs] [size_mib] [preset]
# PROFILE_LOOKUP=program runs that build of the driver instead (say, one of an earlier commit).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
size_mib=${2:-64}
preset=${3:-posix-release}

lookup=${PROFILE_LOOKUP:-}
if [[ -z $lookup ]]; then
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target profile_lookup -j2 >/dev/null
  lookup=$root/build/$preset/profile_lookup
fi

if [[ -d /dev/shm && -w /dev/shm ]]; then work=$(mktemp -d -p /dev/shm); else work=$(mktemp -d); fi
trap 'rm -rf "$work"' EXIT
python3 - "$work/z4up.ini" $((size_mib * 1024 * 1024)) <<'PY'
import sys
path, size = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as f:
    f.write(b"[Ident]\r\nTime Of Update=1\r\n[Files]\r\n")
    written, i = 0, 0
    lines = []
    while written < size - 64:
        line = b"%x=\n" % i
        lines.append(line)
        written += len(line)
        i += 1
        if len(lines) == 65536:
            f.write(b"".join(lines)); lines = []
    f.write(b"".join(lines))
PY
bytes=$(stat -c %s "$work/z4up.ini")

cat >"$work/peer.awk" <<'AWK'
{ sub(/\r$/, "") }
/^\[/ { in_files = tolower($0) == "[files]"; next }
in_files { k = tolower($0); sub(/=.*/, "", k); if (!(k in v)) { v[k] = $0; if (first == "") first = k } }
END { for (i = 0; i < 200; i++) { k = (i % 2 == 0) ? first : "absent" i; if (k in v) n++ }
      print n " of 200 found" }
AWK

# One timed run: "seconds peak_kib".
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out"
  cat "$work/time"
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

: >"$work/ours"; : >"$work/peer"
for ((i = 0; i < runs; i++)); do
  measure "$lookup" "$work/z4up.ini" Files 200 >>"$work/ours"
  measure mawk -f "$work/peer.awk" "$work/z4up.ini" >>"$work/peer"
done
our_s=$(cut -d' ' -f1 "$work/ours" | median); our_k=$(cut -d' ' -f2 "$work/ours" | median)
peer_s=$(cut -d' ' -f1 "$work/peer" | median); peer_k=$(cut -d' ' -f2 "$work/peer" | median)
awk -v b="$bytes" -v os="$our_s" -v ok="$our_k" -v ps="$peer_s" -v pk="$peer_k" 'BEGIN {
  printf "manifest: %.1f MiB of tiny entries, 200 look-ups\n", b / 1048576
  printf "reader:   %6.2f s  %8.1f MiB peak  (%.2f bytes per byte of the file)\n", os, ok / 1024, ok * 1024 / b
  printf "mawk:     %6.2f s  %8.1f MiB peak\n", ps, pk / 1024
  printf "ratio:    time %.2f  memory %.2f (reader / mawk)\n", (ps > 0 ? os / ps : 0), ok / pk }'
