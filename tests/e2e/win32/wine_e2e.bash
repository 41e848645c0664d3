# Shared by the scripts that drive the Windows program under Wine: the build and source folders,
# a bounded Wine start, failure, and Windows path names. Sourced by each script, whose first argument is the build folder.
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
run() { "$root/scripts/wine-run" "$@"; }
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
windows_name() { run winepath -w "$1" | tr -d '\r'; }
