#!/usr/bin/env bash
# Downloads over a link that drops: a 32 MiB cabinet from a server that cuts the data connection
# every 1 MiB, and a pass killed at about 90 % then run again; today's program (main's build, made
# in a git worktree of main under build/) against this one. Not part of scripts/test.
#   bench/resume.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
reference="$root/build/bench-main"
[[ -d $reference ]] || git -C "$root" worktree add --detach "$reference" main >/dev/null
for source in "$reference" "$root"; do
  [[ -f $source/build/posix-release/build.ninja ]] ||
    (cd "$source" && cmake --preset posix-release "${launcher[@]}" >/dev/null)
  cmake --build "$source/build/posix-release" --target zarn4update zreg -j2 >/dev/null
done
exec /usr/bin/python3 "$root/bench/resume.py" "$reference/build/posix-release" \
  "$root/build/posix-release"
