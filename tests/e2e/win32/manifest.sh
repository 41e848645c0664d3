#!/usr/bin/env bash
# The application manifest of the program and its tools: read back from each built executable,
# it declares asInvoker, Windows Vista to 11, version 6 of the common controls and awareness of
# the system's DPI. Then the platform's test program (which carries the same manifest) runs on a
# display of 144 DPI (150 %) with Wine set to Windows 10: the window's layout grows with it and
# still fits, and the program is told the system's own version.
# Argument: the win32 build folder. Needs the prefix and display of scripts/wine-tests.
set -euo pipefail
source "$(dirname "$0")/wine_e2e.bash"

checked=0
for program in zarn4update zreg zrelease zcab zftp; do
  file=$build/$program.exe
  [[ -f $file ]] || continue
  text=$(/usr/bin/python3 "$root/tests/e2e/win32/pe_manifest.py" "$file") ||
    fail "$program.exe carries no application manifest"
  MANIFEST=$text /usr/bin/python3 - "$program" <<'PY' || fail "$program.exe: the manifest lacks a declaration"
import os
import sys
import xml.etree.ElementTree as tree

root = tree.fromstring(os.environ["MANIFEST"].encode("utf-8"))
levels = [e.get("level") for e in root.iter() if e.tag.endswith("requestedExecutionLevel")]
systems = {e.get("Id").lower() for e in root.iter() if e.tag.endswith("supportedOS")}
controls = [e for e in root.iter() if e.tag.endswith("assemblyIdentity")
            and e.get("name") == "Microsoft.Windows.Common-Controls"]
dpi = [e.text for e in root.iter() if e.tag.endswith("}dpiAware")]
wanted = {
    "asInvoker": levels == ["asInvoker"],
    "Vista to 10/11": systems == {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
    "common controls 6": len(controls) == 1 and controls[0].get("version") == "6.0.0.0",
    "system DPI aware": dpi == ["true"],
}
for name, present in wanted.items():
    print(f"{sys.argv[1]}.exe: {name}: {'yes' if present else 'NO'}")
sys.exit(0 if all(wanted.values()) else 1)
PY
  checked=$((checked + 1))
done
[[ $checked -ge 2 ]] || fail "found only $checked of the executables"

echo "=== the window at 144 DPI, on a system that says it is Windows 10"
# In a prefix of its own: a changed DPI stays with the Wine server and would change the pictures
# that later tests take. Wine tells a program that is not declared for Windows 10 that it runs
# on Windows 8 (6.2).
source "$root/scripts/lib/wine-env.sh"
scaled=$(mktemp -d "${TMPDIR:-/tmp}/zarn-e2e-dpi.XXXXXX")
export WINEPREFIX=$scaled/prefix
finish() {
  timeout 30 "$WINESERVER" -k 2>/dev/null
  timeout 30 "$WINESERVER" -w 2>/dev/null
  rm -rf "$scaled"
}
trap finish EXIT
timeout 300 "$ZARN_WINE_LOADER" wineboot --init >/dev/null 2>&1 || fail "no prefix for the DPI run"
timeout 120 "$WINESERVER" -w
run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
run reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null
report=$(run "$build/test_platform.exe" --gtest_filter='Win32Window.*:Manifest.*' | tr -d '\r') ||
  fail "the window's layout at 144 DPI: $report"
grep -E '^(system version|display DPI|\[  (PASSED|FAILED))' <<<"$report"
grep -qx 'display DPI: 144' <<<"$report" || fail "the display was not at 144 DPI"
grep -qx 'system version as reported: 10.0' <<<"$report" || fail "the Windows 10 declaration was not seen"
echo "ok: $checked executables carry the manifest; the window fits at 150 %"
