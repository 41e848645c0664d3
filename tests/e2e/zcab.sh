#!/usr/bin/env bash
# zcab as a program: help, bad command lines, a missing cabinet, a listing and an extraction of a
# gcab cabinet (made by the build into cab-fixtures), each with its exit status.
#   tests/e2e/zcab.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
zcab=$build/zcab
fixtures=$build/cab-fixtures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect STATUS DESCRIPTION COMMAND...: runs the command and checks its exit status.
expect() {
  local want=$1 what=$2 got
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  got=$?
  if [[ $got -ne $want ]]; then
    echo "FAIL: $what: exit $got, expected $want" >&2
    cat "$work/err" >&2
    failures=$((failures + 1))
  fi
}

expect 0 "help" "$zcab" --help
grep -q "zcab x CABFILE" "$work/out" || { echo "FAIL: help text" >&2; failures=$((failures + 1)); }
expect 2 "no command" "$zcab"
expect 2 "unknown command" "$zcab" q "$fixtures/one.cab"
expect 2 "x without a cabinet" "$zcab" x
expect 2 "l with too much" "$zcab" l a b
expect 1 "missing cabinet" "$zcab" x "$work/none.cab" "$work/out-dir"
expect 1 "not a cabinet" "$zcab" l "$fixtures/notacab.cab"

expect 0 "listing" "$zcab" l "$fixtures/subfolder.cab"
printf '%s\n' "        22  2019-05-17 13:45:30  sub\\inner.txt" \
  "        25  2019-05-17 13:45:30  hello.txt" | diff - "$work/out" >&2 ||
  { echo "FAIL: listing text" >&2; failures=$((failures + 1)); }

mkdir "$work/target"
expect 0 "extraction" "$zcab" x "$fixtures/many_zip.cab" "$work/target"
for f in "$fixtures"/src/file*.txt; do
  cmp -s "$f" "$work/target/$(basename "$f")" || { echo "FAIL: $(basename "$f") differs" >&2; failures=$((failures + 1)); }
done
(cd "$work/target" && expect 0 "extraction into the current folder" "$zcab" x "$fixtures/one.cab")
[[ -f $work/target/hello.txt ]] || { echo "FAIL: hello.txt not extracted" >&2; failures=$((failures + 1)); }

[[ $failures -eq 0 ]] && echo "zcab: all checks passed"
exit $((failures > 0))
