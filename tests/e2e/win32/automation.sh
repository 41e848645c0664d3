#!/usr/bin/env bash
# The program as a COM automation server under Wine, from a program folder with a blank in its
# name: the register switches ("/regserver", "-REGSERVER", "/UnRegServer") in the real registry,
# keys and values exactly and without any window; an unregister run with nothing registered;
# the registration rewritten by an ordinary start; then a COM client that starts the program
# through the ProgID, calls Request late-bound and through the interface's table, answers No to
# the close question and releases; and a client that connects to a program the user started.
# Argument: the win32 build folder. Needs the prefix and display of scripts/wine-tests.
set -euo pipefail
source "$(dirname "$0")/wine_e2e.bash"
source "$root/scripts/lib/wine-env.sh"

sandbox=$(mktemp -d "${TMPDIR:-/tmp}/zarn-e2e.XXXXXX")
silent_server=""
cleanup() {
  [[ -z $silent_server ]] || kill "$silent_server" 2>/dev/null || true
  rm -rf "$sandbox"
}
trap cleanup EXIT
folder="$sandbox/Zarn 4"
mkdir -p "$folder/User"
cp "$build/zarn4update.exe" "$folder/"
cp "$build/platform_child.exe" "$folder/zarn4.exe"
program=$(windows_name "$folder/zarn4update.exe")

clsid='{4C3AF079-DB46-4F30-AC8F-088FED28DF95}'
libid='{7B744231-5CD8-4B9A-926E-A1F86D65F74F}'
config='HKCU\Software\Brenicsoft\Zarn4\Config'
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
run reg add "$config" /v "Update Server" /t REG_SZ /d "127.0.0.1:$(free_port)" /f >/dev/null
# Where the log goes: a program folder left by another test would make the save fail.
folder_name=$(windows_name "$folder")
run reg add "$config" /v "Program Folder" /t REG_SZ /d "${folder_name^^}\\" /f >/dev/null

# default_value KEY: the key's default value as reg shows it; empty when the key is missing.
default_value() {
  run reg query "HKCR\\$1" /ve 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *(Default) *REG_SZ *//p' || true
}
expect_value() {
  local got
  got=$(default_value "$1")
  [[ $got == "$2" ]] || fail "HKCR\\$1 is \"$got\", not \"$2\""
}
registered() { run reg query "HKCR\\$1" >/dev/null 2>&1; }

# switch_run SWITCH: the program with the switch under the watcher; it must end with 0 at once
# and show neither a window nor its icon.
switch_run() {
  local report
  report=$(run "$build/e2e_watch.exe" "$program" "$1" | tr -d '\r') || fail "watcher failed"
  grep -qx 'visible windows: 0' <<<"$report" || fail "$1 showed a window"
  grep -qx 'icon seen: no' <<<"$report" || fail "$1 showed the icon"
  grep -qx 'exit code: 0' <<<"$report" || fail "$1 did not end with 0: $report"
}

expect_registered() {
  local server
  expect_value "CLSID\\$clsid" "Z4Update Object"
  expect_value "CLSID\\$clsid\\ProgID" "zarn4update.Z4Update"
  expect_value "CLSID\\$clsid\\Version" "1.0"
  expect_value "CLSID\\$clsid\\TypeLib" "$libid"
  expect_value "zarn4update.Z4Update" "Z4Update Object"
  expect_value "zarn4update.Z4Update\\Clsid" "$clsid"
  expect_value "TypeLib\\$libid\\1.0" "zarn4update Library"
  registered "Interface\\{A7AD74B3-C0DD-4466-B6BF-34843D6406ED}" || fail "no interface key"
  # The path holds a blank, so the short form is registered; it names the same file.
  server=$(default_value "CLSID\\$clsid\\LocalServer32")
  [[ -n $server && $server != *" "* ]] || fail "LocalServer32 is \"$server\""
  [[ $(run winepath -u "$server" | tr -d '\r') -ef $folder/zarn4update.exe ]] ||
    fail "LocalServer32 $server is not the program"
}
expect_unregistered() {
  local key
  for key in "CLSID\\$clsid" "zarn4update.Z4Update" "TypeLib\\$libid"; do
    ! registered "$key" || fail "HKCR\\$key is still there"
  done
}

echo "=== unregister, twice: the second run finds nothing and ends quietly"
switch_run /UnRegServer
switch_run -unregserver
expect_unregistered
echo "=== /regserver and -REGSERVER"
switch_run /regserver
expect_registered
run reg delete "HKCR\\zarn4update.Z4Update" /f >/dev/null
switch_run -REGSERVER
expect_registered
echo "=== /UnRegServer"
switch_run /UnRegServer
expect_unregistered

echo "=== an ordinary start writes the registration again"
report=$(run "$build/e2e_watch.exe" "$program" | tr -d '\r') || fail "watcher failed"
# Its pass finds no server at the closed port: it ends with 1.
grep -qx 'exit code: 1' <<<"$report" || fail "the start did not end with 1: $report"
run "$build/zreg.exe" query 'HKCR\zarn4update.Z4Update\Clsid' | tr -d '\r' | tee "$sandbox/zreg.txt"
grep -qF "$clsid" "$sandbox/zreg.txt" || fail "zreg does not show the class id"

echo "=== COM starts the program for a client (its pass finds no server: exit code 1)"
log="$folder/User/zarn4updatelog_error.txt"
rm -f "$log"
# The pass ends within a second (nothing listens at the port), usually before the client's first
# call arrives: the program must wait for that call instead of ending under its client.
status=0
report=$(run "$build/e2e_automation_client.exe" activate "$(windows_name "$log")" | tr -d '\r') ||
  status=$?
echo "$report"
[[ $status -eq 0 ]] || fail "the client ended with status $status"
for fact in 'progid class: yes' 'create: 0x00000000' 'program window: yes' 'icon: yes' \
  'type info count: 1' 'type info 1: 0x8002000B' 'dispid of Request: 1' \
  'late-bound Request: 0x00000000' 'table Request: 0x00000000' 'close question: yes' \
  'log at the question: yes' \
  'running after No: yes' 'ended after release: yes' 'exit code: 1' \
  'log written at the end: no'; do
  grep -qxF "$fact" <<<"$report" || fail "client: no \"$fact\""
done
[[ $(grep -c 'table Request: 0x00000000' <<<"$report") -eq 2 ]] ||
  fail "the program stopped serving after No"

echo "=== a client of a program the user started"
# An update server that takes the connection and never answers keeps the update pass waiting.
port=$(free_port)
python3 -c 'import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); time.sleep(600)' \
  "$port" &
silent_server=$!
run reg add "$config" /v "Update Server" /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null
out=$sandbox/attach.txt
timeout 150 "$ZARN_WINE_LOADER" "$build/e2e_automation_client.exe" attach "$program" </dev/null >"$out" 2>/dev/null &
client=$!
for _ in $(seq 600); do
  grep -q 'waiting for the end' "$out" 2>/dev/null && break
  sleep 0.1
done
kill "$silent_server"
silent_server=""
wait "$client" || fail "attach client failed: $(cat "$out")"
report=$(tr -d '\r' <"$out")
echo "$report"
for fact in 'program window: yes' 'create: 0x00000000' 'late-bound Request: 0x00000000' \
  'running after release: yes' 'ended: yes' 'exit code: 1'; do
  grep -qxF "$fact" <<<"$report" || fail "attach client: no \"$fact\""
done
echo "PASS"
