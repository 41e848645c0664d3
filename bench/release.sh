#!/usr/bin/env bash
# Signing and checking a 100-file release: times `zrelease build --key` (cabinets, digests,
# manifest, signature) against its peers doing the same work (`gcab -c -z` once per file, then
# `sha256sum` and `openssl dgst -sign`), and `zrelease verify` against `sha256sum` of the
# cabinets plus `openssl dgst -verify` of the manifest, in the same run (median of 5 each,
# alternating). Prints the figures and zrelease's ratio to the peers (below 1: faster).
#   bench/release.sh [runs] [preset]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
preset=${2:-posix-release}

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target zrelease -j2 >/dev/null
zrelease=$root/build/$preset/zrelease

if [[ -d /dev/shm && -w /dev/shm ]]; then work=$(mktemp -d -p /dev/shm); else work=$(mktemp -d); fi
trap 'rm -rf "$work"' EXIT
# 100 files of 1 to 200 KiB, half random bytes and half text, as a program folder has.
mkdir "$work/src"
python3 - "$work/src" <<'PY'
import os, random, sys
rng = random.Random(1)
words = b"receiver frequency update antenna scan memory channel squelch".split()
for i in range(100):
    size = rng.randint(1, 200) * 1024
    if i % 2:
        data = os.urandom(size)
    else:
        data = b" ".join(rng.choice(words) for _ in range(size // 6))[:size]
    with open(os.path.join(sys.argv[1], "file%03d.%s" % (i, "dll" if i % 2 else "txt")), "wb") as f:
        f.write(data)
PY
"$zrelease" keygen "$work/key.pem" >"$work/public"
openssl ec -in "$work/key.pem" -pubout -out "$work/public.pem" 2>/dev/null

zrelease_build() {
  rm -rf "$work/rel"
  "$zrelease" build --from "$work/src" --to "$work/rel" --key "$work/key.pem" >/dev/null
}
peer_build() {
  rm -rf "$work/peer"
  mkdir "$work/peer"
  (cd "$work/src" && for f in *; do gcab -c -z "$work/peer/$f.cab" "$f"; done)
  (cd "$work/peer" && sha256sum ./*.cab >manifest)
  openssl dgst -sha256 -sign "$work/key.pem" -out "$work/peer/manifest.sig" "$work/peer/manifest"
}
zrelease_verify() { "$zrelease" verify "$work/rel" --public "$work/public" >/dev/null; }
peer_verify() {
  (cd "$work/peer" && sha256sum --quiet -c manifest)
  openssl dgst -sha256 -verify "$work/public.pem" -signature "$work/peer/manifest.sig" \
    "$work/peer/manifest" >/dev/null
}

# time_ms COMMAND: milliseconds of one run.
time_ms() {
  local start end
  start=$(date +%s%N)
  "$@"
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

for _ in $(seq "$runs"); do
  time_ms zrelease_build >>"$work/t.zb"
  time_ms peer_build >>"$work/t.pb"
  time_ms zrelease_verify >>"$work/t.zv"
  time_ms peer_verify >>"$work/t.pv"
done
zb=$(median <"$work/t.zb"); pb=$(median <"$work/t.pb")
zv=$(median <"$work/t.zv"); pv=$(median <"$work/t.pv")
echo "100 files, $(du -sk "$work/src" | cut -f1) KiB; median of $runs runs"
awk -v zb="$zb" -v pb="$pb" -v zv="$zv" -v pv="$pv" 'BEGIN {
  printf "build and sign: zrelease %5d ms   gcab + sha256sum + openssl %5d ms   ratio %.2f\n", zb, pb, zb / pb
  printf "verify:         zrelease %5d ms   sha256sum + openssl        %5d ms   ratio %.2f\n", zv, pv, zv / pv
}'
