#!/usr/bin/env bash
# The Windows program's whole pass under Wine against pyftpdlib on the host's 127.0.0.1, with the
# real registry, "cabinet.dll" and the notification-area icon. The watcher answers the "Confirm"
# box by pressing its button: Yes in a first program folder (installed, exit code 0, a picture
# of the window taken while its progress bar is part-way, saved as pass-window.png in the build
# folder), No in a second one (nothing installed, exit code 2). The release is signed and the
# settings hold its public key, so CNG checks the signature and the cabinets' digests; a third
# pass after the accepted stamp was raised past the release's, and a fourth after one byte of the
# signature changed, install nothing and ask nothing. zrelease.exe verify finds the release sound
# before that change and not after it. A program folder of read-only files gets "Replace ...
# Failed: 5" lines and no "Replaced" line. A last pass against a hostile server: bands.ini's
# cabinet is TEXTS.CAB, one local file with notes.txt's texts.cab on Windows, and every RETR of it
# sends forged bytes; the forged bytes are installed nowhere, the genuine notes.txt is, and the
# pass ends with exit code 3 (bands.ini dropped). Then a release that zrelease.exe made with
# patches against the older copies, with bands.ini's patch changed on the server: notes.txt and
# radio.dll are patched, bands.ini falls back to its cabinet, and the patched notes.txt ends with
# the same times as bands.ini from its cabinet.
# Argument: the win32 build folder. Needs the prefix and display of scripts/wine-tests.
set -euo pipefail
source "$(dirname "$0")/wine_e2e.bash"

work=$(mktemp -d "${TMPDIR:-/tmp}/zarn-e2e-pass.XXXXXX")
server=""
case_server=""
patch_server=""
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  [[ -n $case_server ]] && kill "$case_server" 2>/dev/null && wait "$case_server" 2>/dev/null
  [[ -n $patch_server ]] && kill "$patch_server" 2>/dev/null && wait "$patch_server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

/usr/bin/python3 "$root/tests/e2e/release.py" sample "$work" "$build/tests/manifest-fixtures" \
  >"$work/server.out" 2>&1 &
server=$!
for _ in $(seq 100); do [[ -f $work/port ]] && break; sleep 0.1; done
[[ -f $work/port ]] || fail "the update server did not start: $(cat "$work/server.out")"
key='HKCU\Software\Brenicsoft\Zarn4\Config'
run reg delete "$key" /f >/dev/null 2>&1 || true
run reg add "$key" /v "Update Server" /t REG_SZ /d "127.0.0.1:$(cat "$work/port")" /f >/dev/null
run reg add "$key" /v "Update Public Key" /t REG_SZ /d "$(cat "$work/public_key")" /f >/dev/null
installs=yes
grep -q 'std::vector<std::string>&) {}' "$root/app/install_files.cpp" && installs=no


# pass FOLDER ANSWER [WATCHER OPTIONS]: lays out a program folder with older copies and runs the
# program in it under the watcher, answering the question; prints the watcher's report.
pass() {
  local folder=$1 answer=$2
  mkdir -p "$folder/User"
  cp "$build/zarn4update.exe" "$work"/older/* "$folder/"
  cp "$build/platform_child.exe" "$folder/zarn4.exe"
  touch -d '2001-01-01' "$folder/notes.txt" "$folder/bands.ini"
  run reg delete "$key" /v "Program Folder" /f >/dev/null 2>&1 || true
  run reg delete "$key" /v "Last Web Update" /f >/dev/null 2>&1 || true
  report=$(run "$build/e2e_watch.exe" --answer "$answer" "${@:3}" \
    "$(windows_name "$folder")\\zarn4update.exe" /run | tr -d '\r') || fail "watcher failed"
  echo "$report"
  grep -qx 'question: An Update Is Available.  Do you wish to install it now?*' <<<"$report" ||
    grep -q '^question: An Update Is Available' <<<"$report" || fail "no Confirm box seen"
  grep -qx "pressed: &${answer^}" <<<"$report" || fail "the ${answer^} button was not pressed"
  [[ ! -e $folder/temp_update ]] || fail "work folder left behind"
}

echo "=== answered Yes"
yes_folder=$work/Yes
pass "$yes_folder" yes --screenshot "$(windows_name "$work")\\pass-window.bmp"
grep -qx 'exit code: 0' <<<"$report" || fail "exit code after Yes"
log=$yes_folder/User/zarn4updatelog.txt
[[ -f $log ]] || fail "no log saved"
tr -d '\r' <"$log" | sed 's/^/log: /'
for line in "Downloading 3 CAB Files..." "1/3  Download radio.cab (radio.dll) OK" \
  "Download Complete.  3 files to extract." "Extraction Complete.  3" \
  "Storing Update Time in Registry"; do
  grep -qxF "$line" < <(tr -d '\r' <"$log") || fail "log line missing: $line"
done
[[ $(ls "$work/root/127.0.0.1/incoming" | wc -l) -eq 1 ]] || fail "no report received"
if [[ $installs == yes ]]; then
  for file in radio.dll notes.txt bands.ini; do
    cmp -s "$yes_folder/$file" "$work/staging/$file" || fail "$file was not installed"
  done
fi
[[ -f $work/pass-window.bmp ]] || fail "no picture of the window during the downloads"
/usr/bin/python3 "$root/tests/e2e/bmp_to_png.py" "$work/pass-window.bmp" "$build/pass-window.png"

echo "=== answered No"
no_folder=$work/No
pass "$no_folder" no
grep -qx 'exit code: 2' <<<"$report" || fail "exit code after No"
grep -qxF "Update Cancelled by User" < <(tr -d '\r' <"$no_folder/User/zarn4updatelog.txt") ||
  fail "cancel not logged"
cmp -s "$no_folder/radio.dll" "$work/older/radio.dll" || fail "a file changed after No"
[[ $(ls "$work/root/127.0.0.1/incoming" | wc -l) -eq 1 ]] || fail "a report was sent after No"
echo "=== a program folder whose files the user may not write"
# Read-only files stand for a protected folder: with the manifest's asInvoker nothing redirects
# the writes, so each copy fails honestly with error 5 and nothing claims to be replaced.
locked_folder=$work/Locked
mkdir -p "$locked_folder/User"
cp "$build/zarn4update.exe" "$work"/older/* "$locked_folder/"
cp "$build/platform_child.exe" "$locked_folder/zarn4.exe"
touch -d '2001-01-01' "$locked_folder/notes.txt" "$locked_folder/bands.ini"
chmod a-w "$locked_folder"/*.*
run reg delete "$key" /v "Program Folder" /f >/dev/null 2>&1 || true
run reg delete "$key" /v "Last Web Update" /f >/dev/null 2>&1 || true
report=$(run "$build/e2e_watch.exe" --answer yes \
  "$(windows_name "$locked_folder")\\zarn4update.exe" /run | tr -d '\r') || fail "watcher failed"
chmod u+w "$locked_folder"/*.*
locked_log=$(tr -d '\r' <"$locked_folder/User/zarn4updatelog.txt")
grep '^Replace' <<<"$locked_log" || true
if [[ $installs == yes ]]; then
  grep -qE '^Replace .+ Failed: 5$' <<<"$locked_log" || fail "no \"Replace ... Failed: 5\" line"
  grep -q '^Replaced ' <<<"$locked_log" && fail "a read-only file was reported replaced"
  cmp -s "$locked_folder/radio.dll" "$work/older/radio.dll" || fail "a read-only file changed"
fi
sed -n 6p "$(ls -t "$work/root/127.0.0.1/incoming"/* | head -1)" | tr -d '\r' | sed 's/^/reported system: /'
release_folder=$(windows_name "$work/root/127.0.0.1/pub/zarn4update")
verify() { run "$build/zrelease.exe" verify "$release_folder" --public "$(cat "$work/public_key")"; }
echo "=== zrelease verify"
verify || fail "zrelease.exe does not find the release sound"

# refused FOLDER LINE: a pass that must end at the manifest with LINE, asking nothing.
refused() {
  local folder=$1 line=$2
  mkdir -p "$folder/User"
  cp "$build/zarn4update.exe" "$work"/older/* "$folder/"
  run reg delete "$key" /v "Program Folder" /f >/dev/null 2>&1 || true
  report=$(run "$build/e2e_watch.exe" --answer yes \
    "$(windows_name "$folder")\\zarn4update.exe" /run | tr -d '\r') || fail "watcher failed"
  echo "$report"
  grep -qx 'exit code: 1' <<<"$report" || fail "exit code after: $line"
  grep -q '^question:' <<<"$report" && fail "asked before: $line"
  local log=$folder/User/zarn4updatelog_error.txt
  [[ -f $log ]] || fail "no error log saved after: $line"
  grep -qxF "$line" < <(tr -d '\r' <"$log") || fail "not logged: $line"
  cmp -s "$folder/radio.dll" "$work/older/radio.dll" || fail "a file changed after: $line"
}
echo "=== the accepted release's stamp was kept"
run reg query "$key" /v "Last Trusted Update" | tr -d '\r' | grep -q 'REG_DWORD *0x12c$' ||
  fail "\"Last Trusted Update\" is not the release's 300"
echo "=== the same release replayed after a newer one was accepted"
run reg add "$key" /v "Last Trusted Update" /t REG_DWORD /d 301 /f >/dev/null
refused "$work/Older" "Manifest older than the last one accepted.  Quitting."
run reg delete "$key" /v "Last Trusted Update" /f >/dev/null
echo "=== signature with one byte changed"
/usr/bin/python3 - "$work/root/127.0.0.1/pub/zarn4update/z4up.ini.sig" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[20] ^= 0x01
open(sys.argv[1], "wb").write(bytes(data))
PY
verify && fail "zrelease.exe finds the release sound after its signature changed"
refused "$work/Bad" "Manifest signature missing or invalid.  Quitting."

echo "=== cabinet names that differ only in letter case, forged on every RETR"
case_work=$work/case-release
mkdir -p "$case_work"
/usr/bin/python3 "$root/tests/e2e/release.py" case "$case_work" "$build/tests/manifest-fixtures" \
  >"$work/case-server.out" 2>&1 &
case_server=$!
for _ in $(seq 100); do [[ -f $case_work/port ]] && break; sleep 0.1; done
[[ -f $case_work/port ]] || fail "the hostile server did not start: $(cat "$work/case-server.out")"
run reg add "$key" /v "Update Server" /t REG_SZ /d "127.0.0.1:$(cat "$case_work/port")" /f \
  >/dev/null
run reg add "$key" /v "Update Public Key" /t REG_SZ /d "$(cat "$case_work/public_key")" /f \
  >/dev/null
case_folder=$work/Case
pass "$case_folder" yes
grep -qx 'exit code: 3' <<<"$report" || fail "exit code after a dropped cabinet"
log=$case_folder/User/zarn4updatelog.txt
tr -d '\r' <"$log" | grep -v '^FTP Status' | sed 's/^/log: /'
for line in "3/3  Download TEXTS.CAB Failure # (5)" "Download Complete.  2 files to extract."; do
  grep -qxF "$line" < <(tr -d '\r' <"$log") || fail "log line missing: $line"
done
if [[ $installs == yes ]]; then
  # The case release's staging folder last held forged.cab's notes.txt; the first release's holds
  # the same genuine one.
  cmp -s "$case_folder/notes.txt" "$work/staging/notes.txt" || fail "notes.txt not genuine"
  cmp -s "$case_folder/bands.ini" "$work/older/bands.ini" || fail "bands.ini changed"
fi

echo "=== patches made by zrelease.exe, one of them changed on the server"
patch_work=$work/patch-release
updates=$patch_work/root/127.0.0.1/pub/zarn4update
mkdir -p "$patch_work/new" "$patch_work/old" "$updates"
cp "$work"/older/* "$patch_work/old/"
cp "$work"/staging/{radio.dll,notes.txt,bands.ini} "$patch_work/new/"
touch -d '2037-01-02 03:04:06' "$patch_work"/new/*  # later than the pass: kept as the cabinet's
win_zrelease() { run "$build/zrelease.exe" "$@" | tr -d '\r'; }
public=$(win_zrelease keygen "$(windows_name "$patch_work/key.pem")") || fail "zrelease.exe keygen"
win_zrelease build --from "$(windows_name "$patch_work/new")" --to "$(windows_name "$updates")" \
  --register radio.dll --key "$(windows_name "$patch_work/key.pem")" \
  --base "$(windows_name "$patch_work/old")" >/dev/null || fail "zrelease.exe build --base"
for patch in radio.dll notes.txt bands.ini; do
  [[ -f $updates/$patch.patch ]] || fail "no patch for $patch"
done
win_zrelease verify "$(windows_name "$updates")" --public "$public" \
  --base "$(windows_name "$patch_work/old")" >/dev/null || fail "zrelease.exe verify --base"
printf 'x' | dd of="$updates/bands.ini.patch" bs=1 seek=8 conv=notrunc status=none
/usr/bin/python3 "$root/tests/e2e/release.py" serve "$patch_work" >"$work/patch-server.out" 2>&1 &
patch_server=$!
for _ in $(seq 100); do [[ -f $patch_work/port ]] && break; sleep 0.1; done
[[ -f $patch_work/port ]] || fail "the patch server did not start: $(cat "$work/patch-server.out")"
run reg add "$key" /v "Update Server" /t REG_SZ /d "127.0.0.1:$(cat "$patch_work/port")" /f \
  >/dev/null
run reg add "$key" /v "Update Public Key" /t REG_SZ /d "$public" /f >/dev/null
patch_folder=$work/Patched
pass "$patch_folder" yes
grep -qx 'exit code: 0' <<<"$report" || fail "exit code after the patched pass"
log=$patch_folder/User/zarn4updatelog.txt
for line in "Patch for bands.ini failed (download failed); downloading its cabinet" \
  "1/3  Download bands.ini.cab (bands.ini) OK" "2/3  Download notes.txt.patch (notes.txt) OK" \
  "3/3  Download radio.dll.patch (radio.dll) OK" "Replaced notes.txt" "Replaced bands.ini"; do
  grep -qxF "$line" < <(tr -d '\r' <"$log") || fail "log line missing: $line"
done
if [[ $installs == yes ]]; then
  for file in radio.dll notes.txt bands.ini; do
    cmp -s "$patch_folder/$file" "$patch_work/new/$file" || fail "$file was not installed"
  done
  [[ $(stat -c %Y "$patch_folder/notes.txt") == $(stat -c %Y "$patch_folder/bands.ini") ]] ||
    fail "the patched notes.txt has other times than bands.ini from its cabinet"
fi
echo "ok: installed pass (installation checked: $installs), declined, refused, hostile and patched passes under Wine"
