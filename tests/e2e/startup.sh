#!/usr/bin/env bash
# The program as a user starts it: hidden, it writes its log header, fires its start timer,
# queries the connection, closes by itself and saves its log in the program folder's "User"; a
# log or work folder that cannot be written and an error that escapes the pass are told on
# standard error.
set -euo pipefail
build=$1
sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
export ZARN4_REGISTRY="$sandbox/registry.db"
# Every start registers the program, service file for the session bus included: in the sandbox.
export XDG_DATA_HOME="$sandbox/data"

fail() { echo "FAIL: $*" >&2; exit 1; }

# 1. No "Program Folder" stored, the main program beside the updater, no "User" folder yet.
program="$sandbox/prog"
mkdir -p "$program/temp_update"
cp "$build/zarn4update" "$program/"
touch "$program/zarn4.exe" "$program/temp_update/leftover.cab"
# The update server is a closed port: the pass fails to connect and the program ends with 1.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$build/zreg" add 'HKCU\Software\Brenicsoft\Zarn4\Config' /v "Update Server" /d "127.0.0.1:$port" /f >/dev/null
start=$(date +%s%N)
status=0
timeout 20 "$program/zarn4update" /Run </dev/null 2>"$sandbox/stderr" || status=$?
(( status == 1 )) || fail "exit code $status for a failed connection"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
log="$program/User/zarn4updatelog_error.txt"
[[ -f $log ]] || fail "no error log saved"
mapfile -t lines < <(tr -d '\r' <"$log")
[[ ${lines[0]} =~ ^Update\ [0-9.]+\ Launched\ from\ Zarn$ ]] || fail "first line: ${lines[0]}"
[[ ${lines[1]} == "Update Time: "* ]] || fail "second line: ${lines[1]}"
[[ ${lines[2]} == "Production Update" ]] || fail "third line: ${lines[2]}"
[[ ${lines[3]} == "Temp Update Folder: $program/temp_update/" ]] || fail "fourth line: ${lines[3]}"
[[ ! -e $program/temp_update/leftover.cab ]] || fail "work folder not emptied"
(( elapsed_ms >= 500 )) || fail "closed after ${elapsed_ms} ms, before the start timer could fire"
[[ ! -s $sandbox/stderr ]] || fail "unexpected output: $(cat "$sandbox/stderr")"

# 2. A log that cannot be written (a file stands where "User" should be) is reported on
#    standard error, not lost silently.
other="$sandbox/other"
mkdir -p "$other"
cp "$build/zarn4update" "$other/"
touch "$other/zarn4.exe"
: >"$other/User"
ZARN4_REGISTRY="$sandbox/other.db" "$build/zreg" add 'HKCU\Software\Brenicsoft\Zarn4\Config' /v "Update Server" /d "127.0.0.1:$port" /f >/dev/null
ZARN4_REGISTRY="$sandbox/other.db" timeout 20 "$other/zarn4update" </dev/null 2>"$sandbox/stderr2" || true
grep -q "Unable to save the update log" "$sandbox/stderr2" || fail "unsaved log not reported"

# 3. A work folder that cannot be created ends the program with a message instead of hanging.
locked="$sandbox/locked"
mkdir -p "$locked"
cp "$build/zarn4update" "$locked/"
touch "$locked/zarn4.exe"
: >"$locked/temp_update"  # a file where the folder should go
status=0
ZARN4_REGISTRY="$sandbox/locked.db" timeout 20 "$locked/zarn4update" </dev/null 2>"$sandbox/stderr3" || status=$?
(( status == 1 )) || fail "exit code $status for an impossible work folder"
grep -q "temp_update" "$sandbox/stderr3" || fail "work folder error not reported"
# 4. An error that escapes the pass (saying goodbye on a connection the server reset) reaches the
#    user on standard error, and the program ends with 1.
broken="$sandbox/broken"
mkdir -p "$broken"
cp "$build/zarn4update" "$broken/"
touch "$broken/zarn4.exe"
python3 "$(dirname "$0")/reset_server.py" "$sandbox/reset.port" &
reset_server=$!
trap 'kill $reset_server 2>/dev/null; rm -rf "$sandbox"' EXIT
for _ in $(seq 100); do [[ -s $sandbox/reset.port ]] && break; sleep 0.05; done
ZARN4_REGISTRY="$sandbox/broken.db" "$build/zreg" add 'HKCU\Software\Brenicsoft\Zarn4\Config' /v "Update Server" /d "127.0.0.1:$(cat "$sandbox/reset.port")" /f >/dev/null
status=0
ZARN4_REGISTRY="$sandbox/broken.db" timeout 20 "$broken/zarn4update" </dev/null 2>"$sandbox/stderr4" || status=$?
(( status == 1 )) || fail "exit code $status for an error that escaped the pass"
grep -q "ZARN4 Program Update: Socket Error # 10054" "$sandbox/stderr4" ||
  fail "escaped error not reported: $(cat "$sandbox/stderr4")"
# 5. Unattended ("Install Without Asking"), with the connections reset during the cabinet's
#    download: the escaped error goes to standard error and to the log, and the pass ends with 1.
unattended="$sandbox/unattended"
mkdir -p "$unattended"
cp "$build/zarn4update" "$unattended/"
touch "$unattended/zarn4.exe"
python3 "$(dirname "$0")/reset_server.py" "$sandbox/cab.port" --cab &
cab_server=$!
trap 'kill $reset_server $cab_server 2>/dev/null; rm -rf "$sandbox"' EXIT
for _ in $(seq 100); do [[ -s $sandbox/cab.port ]] && break; sleep 0.05; done
config='HKCU\Software\Brenicsoft\Zarn4\Config'
ZARN4_REGISTRY="$sandbox/unattended.db" "$build/zreg" add "$config" /v "Update Server" /d "127.0.0.1:$(cat "$sandbox/cab.port")" /f >/dev/null
ZARN4_REGISTRY="$sandbox/unattended.db" "$build/zreg" add "$config" /v "Install Without Asking" /t REG_DWORD /d 1 /f >/dev/null
status=0
ZARN4_REGISTRY="$sandbox/unattended.db" timeout 60 "$unattended/zarn4update" </dev/null 2>"$sandbox/stderr5" || status=$?
(( status == 1 )) || fail "exit code $status for the unattended pass"
grep -q "ZARN4 Program Update: Socket Error # 10054 Connection reset by peer." "$sandbox/stderr5" ||
  fail "unattended error not on standard error: $(cat "$sandbox/stderr5")"
grep -q "^Socket Error # 10054 Connection reset by peer." "$unattended/User/zarn4updatelog.txt" ||
  fail "unattended error not in the log"
echo "ok: startup, header, timer, close and log in ${elapsed_ms} ms"
