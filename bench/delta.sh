#!/usr/bin/env bash
# Patch benchmark on real release pairs that nobody here wrote: per pair, zrelease builds the
# release of the new file with --base the old one, and the table shows the MSZIP cabinet's bytes,
# the patch's bytes and their ratio (with the bytes of the zstd tool's own "--patch-from" as a
# peer), the time to apply the patch ("zrelease apply") against the time to extract the cabinet
# ("zcab x") and to the zstd tool's own apply ("zstd -d --patch-from"), best of 3 each, and the peak resident memory of the apply against old + new + 16 MiB.
# Not a test: nothing is asserted.
#
# Pairs: libcrypto.so.3 of two Debian openssl versions (a point release); zlib1.dll, a PE32
# cross-built with mingw-w64 from two Debian revisions of zlib's source (a security fix); and
# the project's own zarn4update.exe (win32 preset) from two commits.
#   bench/delta.sh [OLD_COMMIT NEW_COMMIT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
old_commit=${1:-3aa3119}
new_commit=${2:-66e1e59}
ssl_old=3.0.20-1~deb12u2
ssl_new=3.0.22-1~deb12u2
# Two revisions of Debian 11's zlib (a security fix), both in its main suite: the security suite's
# sources are not served by every mirror.
zlib_old=1:1.2.11.dfsg-2
zlib_new=1:1.2.11.dfsg-2+deb11u2

cmake --preset posix-release >/dev/null
cmake --build --preset posix-release --target zrelease zcab -j2 >/dev/null
zrelease=$root/build/posix-release/zrelease
zcab=$root/build/posix-release/zcab

work=$(mktemp -d "${TMPDIR:-/tmp}/zarn-delta.XXXXXX")
worktrees=()
cleanup() {
  local tree
  for tree in "${worktrees[@]}"; do git -C "$root" worktree remove --force "$tree" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# pair NAME FILE_NAME OLD_FILE NEW_FILE: puts the two files into the pair's folders.
pairs=()
pair() {
  mkdir -p "$work/$1/old" "$work/$1/new"
  cp "$3" "$work/$1/old/$2"
  cp "$4" "$work/$1/new/$2"
  pairs+=("$1 $2")
}

echo "delta: fetching and building the pairs" >&2
# 1. A library across an openssl point release, as Debian ships it.
mkdir -p "$work/debs"
# (retried: another apt run on the machine may hold its lock for a while)
for attempt in 1 2 3 4 5 6; do
  (cd "$work/debs" && apt-get download -q "libssl3=$ssl_old" "libssl3=$ssl_new" >/dev/null 2>&1) &&
    break
  ((attempt < 6)) || { echo "delta: apt-get download failed" >&2; exit 1; }
  sleep 10
done
for deb in "$work"/debs/*.deb; do dpkg-deb -x "$deb" "$work/debs/$(basename "$deb" .deb)"; done
pair libcrypto libcrypto.so.3 \
  "$(ls "$work"/debs/libssl3_3.0.20*/usr/lib/x86_64-linux-gnu/libcrypto.so.3)" \
  "$(ls "$work"/debs/libssl3_3.0.22*/usr/lib/x86_64-linux-gnu/libcrypto.so.3)"

# 2. A 32-bit Windows DLL from two revisions of Debian's zlib source.
source "$root/scripts/lib/debian-sources.sh"
zarn_debian_source_state "$work/apt"
mirror=$(awk '$2 ~ /\/debian$/ { print $2; exit }' "$work/apt/sources.list")
echo "deb-src $mirror bullseye main" >>"$work/apt/sources.list"
apt-get "${apt_options[@]}" -q update >/dev/null
for version in "$zlib_old" "$zlib_new"; do
  dir=$work/zlib-${version#*:}
  mkdir -p "$dir"
  (cd "$dir" && apt-get "${apt_options[@]}" -q source "zlib=$version" >/dev/null 2>&1)
  src=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -name 'zlib-*' | head -1)
  (cd "$src" && i686-w64-mingw32-gcc -O2 -shared -o zlib1.dll -Wl,--export-all-symbols \
    adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c infback.c \
    inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c)
done
pair zlib1-dll zlib1.dll "$(ls "$work/zlib-${zlib_old#*:}"/zlib-*/zlib1.dll)" \
  "$(ls "$work/zlib-${zlib_new#*:}"/zlib-*/zlib1.dll)"

# 3. The updater itself from two commits, each built with the win32 preset in a worktree below
# build/ (so that ccache finds what earlier builds of the same sources made).
for commit in "$old_commit" "$new_commit"; do
  tree=$root/build/bench-$commit
  git -C "$root" worktree add --force --detach "$tree" "$commit" >/dev/null 2>&1
  worktrees+=("$tree")
  [[ -d $root/build/deps ]] && mkdir -p "$tree/build" && cp -r "$root/build/deps" "$tree/build/"
  (cd "$tree" && cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 \
    --target zarn4update >/dev/null)
done
pair zarn4update zarn4update.exe "$root/build/bench-$old_commit/build/win32/zarn4update.exe" \
  "$root/build/bench-$new_commit/build/win32/zarn4update.exe"

# best COMMAND...: the best elapsed seconds of 3 runs and the largest peak memory (KiB).
best() {
  local run seconds=999999 kib=0 s k
  for run in 1 2 3; do
    /usr/bin/time -o "$work/time.txt" -f "%e %M" "$@" >/dev/null 2>&1
    read -r s k <"$work/time.txt"
    seconds=$(python3 -c "print(min($seconds, $s))")
    ((k > kib)) && kib=$k
    rm -rf "$work/out.bin" "$work/x"
  done
  echo "$seconds $kib"
}

printf '%-12s %10s %10s %10s %10s %7s %9s %9s %9s %9s %7s %9s %9s\n' pair old new cabinet patch \
  ratio "zstd tool" "apply s" "cab x s" "zstd -d s" "apply/x" "peak MiB" "bound MiB"
for entry in "${pairs[@]}"; do
  read -r name file <<<"$entry"
  dir=$work/$name
  "$zrelease" build --from "$dir/new" --to "$dir/out" --base "$dir/old" --time 0 >/dev/null
  old_bytes=$(stat -c %s "$dir/old/$file")
  new_bytes=$(stat -c %s "$dir/new/$file")
  cab_bytes=$(stat -c %s "$dir/out/$file.cab")
  zstd -q -19 --patch-from="$dir/old/$file" "$dir/new/$file" -o "$dir/peer.zst" 2>/dev/null
  peer_bytes=$(stat -c %s "$dir/peer.zst")
  if [[ ! -f $dir/out/$file.patch ]]; then
    printf '%-12s %10d %10d %10d %10s (no patch: not clearly smaller) %9d\n' "$name" \
      "$old_bytes" "$new_bytes" "$cab_bytes" - "$peer_bytes"
    continue
  fi
  patch_bytes=$(stat -c %s "$dir/out/$file.patch")
  read -r apply_s apply_kib <<<"$(best "$zrelease" apply "$dir/out" "$file" "$dir/old/$file" \
    "$work/out.bin")"
  "$zrelease" apply "$dir/out" "$file" "$dir/old/$file" "$work/out.bin"
  cmp -s "$work/out.bin" "$dir/new/$file" || echo "delta: $name: the patched file differs!" >&2
  rm -f "$work/out.bin"
  read -r extract_s _ <<<"$(best "$zcab" x "$dir/out/$file.cab" "$work/x")"
  read -r peer_s _ <<<"$(best zstd -q -d -f --patch-from="$dir/old/$file" "$dir/peer.zst" \
    -o "$work/out.bin")"
  python3 - "$name" "$old_bytes" "$new_bytes" "$cab_bytes" "$patch_bytes" "$peer_bytes" \
    "$apply_s" "$extract_s" "$apply_kib" "$peer_s" <<'PY'
import sys
name, old, new, cab, patch, peer = sys.argv[1], *map(int, sys.argv[2:7])
apply_s, extract_s, kib = float(sys.argv[7]), float(sys.argv[8]), int(sys.argv[9])
peer_s = float(sys.argv[10])
ratio = patch / cab
speed = f"{apply_s / extract_s:7.2f}" if extract_s > 0 else "      -"
print(f"{name:<12} {old:10d} {new:10d} {cab:10d} {patch:10d} {ratio:7.1%} {peer:9d} "
      f"{apply_s:9.2f} {extract_s:9.2f} {peer_s:9.2f} {speed} {kib / 1024:9.1f} "
      f"{(old + new) / 1048576 + 16:9.1f}")
PY
done
