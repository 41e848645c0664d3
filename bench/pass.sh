#!/usr/bin/env bash
# A whole pass installing 20 files (one of 64 MiB) from loopback, against curl on the same
# server: overhead beyond the fixed pauses, processor time, peak memory, and the cost of the
# question's wait. Uses the optimised build (posix-release), building it if needed.
#   bench/pass.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${ZARN_BENCH_PRESET:-posix-release}
build="$root/build/$preset"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
[[ -f $build/build.ninja ]] || cmake --preset "$preset" "${launcher[@]}" >/dev/null
cmake --build "$build" --target zarn4update zreg -j2 >/dev/null
exec /usr/bin/python3 "$root/bench/pass.py" "$build" "$@"
