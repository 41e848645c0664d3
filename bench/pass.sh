#!/usr/bin/env bash
# A whole pass installing 20 files (one of 64 MiB) from loopback, against curl on the same
# server: overhead beyond the fixed pauses, peak memory, and the cost of the question's wait.
# Uses the optimised build (posix-release), building it if needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/${ZARN_BENCH_PRESET:-posix-release}"
[[ -f $build/build.ninja ]] || cmake --preset "${ZARN_BENCH_PRESET:-posix-release}" >/dev/null
cmake --build "$build" --target zarn4update zreg >/dev/null
exec /usr/bin/python3 "$root/bench/pass.py" "$build"
