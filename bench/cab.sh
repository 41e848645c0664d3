#!/usr/bin/env bash
# Extraction benchmark of the cabinet component: builds a cabinet of about 200 MiB with gcab
# (MSZIP; one half random bytes, one half text) and times `zcab x` against `cabextract` and
# `gcab -x` on it in the same run (median of 5 each, alternating, each into a fresh folder).
# Prints the figures, zcab's ratio to the faster peer and its peak resident memory, and exits 1
# when a target (ratio >= 0.95, peak memory < 16 MiB) is missed.
#   bench/cab.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
size_mib=200

cmake --preset posix-release >/dev/null
cmake --build --preset posix-release --target zcab -j2 >/dev/null
zcab=$root/build/posix-release/zcab

# Memory-backed files where there are any, so that the figures are the extractors' own work
# rather than the disk's.
if [[ -d /dev/shm && -w /dev/shm ]]; then work=$(mktemp -d -p /dev/shm); else work=$(mktemp -d); fi
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
head -c $((size_mib / 2 * 1024 * 1024)) /dev/urandom >"$work/src/random.bin"
python3 - "$work/src/text.txt" $((size_mib / 2 * 1024 * 1024)) <<'PY'
import random, sys
path, size = sys.argv[1], int(sys.argv[2])
rng = random.Random(1)
words = ("receiver frequency update antenna scan memory channel squelch bandwidth "
         "modulation signal noise filter audio level tuning step preset station").split()
lines = []
while sum(map(len, lines)) < 4 << 20:
    lines.append(" ".join(rng.choice(words) for _ in range(rng.randint(4, 14))) + "\n")
block = "".join(lines).encode()
with open(path, "wb") as out:
    written = 0
    while written < size:
        # Each 4 MiB block shuffled anew, so that no long-range copy makes the text too easy.
        rng.shuffle(lines)
        chunk = "".join(lines).encode()[: size - written]
        out.write(chunk)
        written += len(chunk)
PY
(cd "$work/src" && TZ=UTC gcab -c -z "$work/bench.cab" random.bin text.txt)
cab_mib=$(( $(stat -c %s "$work/bench.cab") / 1024 / 1024 ))

# time_run FILE COMMAND...: extracts into a fresh folder and appends "microseconds peak_kib".
time_run() {
  local out=$1 start end
  shift
  rm -rf "$work/out"
  mkdir "$work/out"
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 )) $(cat "$work/rss")" >>"$out"
}

# One checked extraction first.
mkdir "$work/check"
"$zcab" x "$work/bench.cab" "$work/check"
cmp -s "$work/check/random.bin" "$work/src/random.bin" &&
  cmp -s "$work/check/text.txt" "$work/src/text.txt" || { echo "zcab's files differ" >&2; exit 1; }
rm -rf "$work/check"

for _ in $(seq "$runs"); do
  time_run "$work/zcab.times" "$zcab" x "$work/bench.cab" "$work/out"
  time_run "$work/cabextract.times" cabextract -q -d "$work/out" "$work/bench.cab"
  time_run "$work/gcab.times" gcab -x -C "$work/out" "$work/bench.cab"
done

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
zcab_us=$(cut -d' ' -f1 "$work/zcab.times" | median)
cabextract_us=$(cut -d' ' -f1 "$work/cabextract.times" | median)
gcab_us=$(cut -d' ' -f1 "$work/gcab.times" | median)
zcab_rss=$(cut -d' ' -f2 "$work/zcab.times" | sort -n | tail -1)
best_us=$(( cabextract_us < gcab_us ? cabextract_us : gcab_us ))

mibps() { awk -v us="$1" -v mib="$size_mib" 'BEGIN {printf "%.1f", mib / (us / 1e6)}'; }
echo "cabinet: ${size_mib} MiB of files in ${cab_mib} MiB (MSZIP), median of $runs"
echo "zcab x       $(mibps "$zcab_us") MiB/s"
echo "cabextract   $(mibps "$cabextract_us") MiB/s"
echo "gcab -x      $(mibps "$gcab_us") MiB/s"
ratio=$(awk -v a="$best_us" -v b="$zcab_us" 'BEGIN {printf "%.3f", a / b}')
echo "zcab / faster peer: $ratio (target >= 0.95)"
echo "zcab peak resident memory: $((zcab_rss / 1024)) MiB ($zcab_rss KiB; target < 16 MiB)"
awk -v r="$ratio" -v m="$zcab_rss" 'BEGIN {exit !(r >= 0.95 && m < 16384)}'
