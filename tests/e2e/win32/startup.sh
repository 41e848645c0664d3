#!/usr/bin/env bash
# Starts of the Windows program under Wine, with the update server pointed at a closed port on
# 127.0.0.1. First in a sandbox program folder (the program beside a stand-in "zarn4.exe" and a
# "User" folder): no window may show, the icon must be there while it runs, the program folder
# lands in the real registry and the log file is saved under User with its header. Then a copy
# started with "/RUN" from a second folder without "zarn4.exe": the stored folder stays the
# program folder, the header reports the folder structure error, and the log goes to the stored
# folder's User.
# Argument: the win32 build folder. Needs the prefix and display of scripts/wine-tests.
set -euo pipefail
source "$(dirname "$0")/wine_e2e.bash"

sandbox=$(mktemp -d "${TMPDIR:-/tmp}/zarn-e2e.XXXXXX")
trap 'rm -rf "$sandbox"' EXIT
folder=$sandbox/Zarn4
other=$sandbox/Elsewhere
mkdir -p "$folder/User" "$other"
cp "$build/zarn4update.exe" "$folder/"
cp "$build/zarn4update.exe" "$other/"
cp "$build/platform_child.exe" "$folder/zarn4.exe"

# A port nobody listens on: bound and released again at once.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
key='HKCU\Software\Brenicsoft\Zarn4\Config'
run reg delete "$key" /f >/dev/null 2>&1 || true
run reg add "$key" /v "Update Server" /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null
version=$(sed -n 's/^project(zarn4update VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

# The folder as Windows names it, upper case, with the trailing backslash.
program_folder() { local name; name=$(windows_name "$1") && echo "${name^^}\\"; }

# start FOLDER [PARAMETERS]: runs the program of FOLDER under the watcher; checks that it showed
# no window, had its icon and ended with 1 (the closed port fails the pass).
start() {
  local status=0 report
  report=$(run "$build/e2e_watch.exe" "$(windows_name "$1")\\zarn4update.exe" "${@:2}" |
    tr -d '\r') || status=$?
  echo "$report"
  [[ $status -eq 0 ]] || fail "the watcher ended with status $status"
  grep -qx 'visible windows: 0' <<<"$report" || fail "a window of the program was visible"
  grep -qx 'icon seen: yes' <<<"$report" || fail "the notification-area icon was never there"
  grep -qx 'exit code: 1' <<<"$report" || fail "the program did not end with exit code 1"
}

# log_lines: the saved log of the program folder, without its CRs, one line per element.
log_lines() {
  local log=$folder/User/zarn4updatelog_error.txt
  [[ -f $log ]] || fail "no log file in User (found: $(ls "$folder/User"))"
  mapfile -t lines < <(tr -d '\r' <"$log")
  printf 'log: %s\n' "${lines[@]}"
}

expected_folder=$(program_folder "$folder")

echo "=== first start, beside zarn4.exe"
start "$folder"
stored=$(run reg query "$key" /v "Program Folder" | tr -d '\r') || fail "no Program Folder value"
echo "$stored"
grep -qF "$expected_folder" <<<"$stored" || fail "Program Folder is not $expected_folder"
log_lines
[[ ${lines[0]} == "Update $version Standalone" ]] || fail "first log line: ${lines[0]}"
[[ ${lines[1]} == "Update Time: "* ]] || fail "second log line: ${lines[1]}"
[[ ${lines[2]} == "Production Update" ]] || fail "third log line: ${lines[2]}"
[[ ${lines[3]} == "Temp Update Folder: ${expected_folder}temp_update\\" ]] ||
  fail "fourth log line: ${lines[3]}"
! printf '%s\n' "${lines[@]}" | grep -q 'Possible Folder Structure Error' ||
  fail "folder structure error reported"

echo "=== second start, elsewhere, with /RUN"
rm "$folder/User/zarn4updatelog_error.txt"
start "$other" /RUN
stored=$(run reg query "$key" /v "Program Folder" | tr -d '\r') || fail "no Program Folder value"
grep -qF "$expected_folder" <<<"$stored" || fail "Program Folder changed: $stored"
log_lines
[[ ${lines[0]} == "Update $version Launched from Zarn" ]] || fail "first log line: ${lines[0]}"
[[ ${lines[4]} == "! Possible Folder Structure Error" ]] || fail "fifth log line: ${lines[4]}"
[[ ${lines[5]} == "ProgramPath: $expected_folder" ]] || fail "sixth log line: ${lines[5]}"
[[ ! -e $other/User ]] || fail "a User folder appeared beside the second copy"
echo "PASS"
