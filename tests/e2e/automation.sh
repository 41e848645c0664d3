#!/usr/bin/env bash
# The program as an automation server on POSIX: the register switches write the class keys into
# the store and the bus's service file, the unregister switches remove both (quietly when nothing
# is there); then, on a private session bus, a client's call starts the program through the
# service file ("-Embedding"), its objects answer Request, the program refuses to close while an
# object is held and ends with the last release; a client that leaves the bus releases its
# objects; and a program the user started keeps running when its client is done.
set -euo pipefail
build=$(cd "$1" && pwd)
sandbox=$(mktemp -d)
bus_pid=""
cleanup() {
  [[ -z $bus_pid ]] || kill "$bus_pid" 2>/dev/null || true
  rm -rf "$sandbox"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
export ZARN4_REGISTRY=$sandbox/registry.db XDG_DATA_HOME=$sandbox/data
unset DBUS_SESSION_BUS_ADDRESS
folder="$sandbox/Zarn 4"
mkdir -p "$folder/User"
cp "$build/zarn4update" "$folder/"
touch "$folder/zarn4.exe"
program=$folder/zarn4update
service=$XDG_DATA_HOME/dbus-1/services/org.zarn4.Update.service
clsid='{4C3AF079-DB46-4F30-AC8F-088FED28DF95}'
zreg() { "$build/zreg" "$@"; }
# An update server at a port nobody listens on.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
zreg add 'HKCU\Software\Brenicsoft\Zarn4\Config' /v "Update Server" /d "127.0.0.1:$port" /f >/dev/null

# switch_run SWITCH: ends at once with 0 and shows nothing (no status line on standard error).
switch_run() {
  timeout 20 "$program" "$1" </dev/null 2>"$sandbox/stderr" || fail "$1 ended with $?"
  [[ ! -s $sandbox/stderr ]] || fail "$1 wrote: $(cat "$sandbox/stderr")"
}

echo "=== register and unregister"
switch_run -UNREGSERVER
[[ ! -e $service ]] || fail "a service file after unregistering"
switch_run /RegServer
grep -qxF "Exec=\"$program\" -Embedding" "$service" || fail "service file: $(cat "$service")"
grep -qxF "Name=org.zarn4.Update" "$service" || fail "service file: $(cat "$service")"
zreg query 'HKCR\zarn4update.Z4Update\Clsid' | tee "$sandbox/query" >/dev/null
grep -qF "$clsid" "$sandbox/query" || fail "no class id under the ProgID"
zreg query "HKCR\\CLSID\\$clsid\\LocalServer32" /ve | grep -qF "$program" ||
  fail "LocalServer32 is not the program"
switch_run /unregserver
[[ ! -e $service ]] || fail "the service file stayed"
! zreg query 'HKCR\zarn4update.Z4Update' >/dev/null 2>&1 || fail "the ProgID key stayed"
switch_run -regserver

echo "=== a private session bus"
mapfile -t bus < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=${bus[0]}
bus_pid=${bus[1]}

# A client that keeps its connection: commands to its input, one answer line each.
start_client() {
  coproc CLIENT { "$build/e2e_bus_client"; }
}
ask() {
  echo "$1" >&"${CLIENT[1]}"
  read -r answer <&"${CLIENT[0]}" || fail "the client ended on \"$1\""
  echo "$1 -> $answer"
}
quit_client() {
  local client=$CLIENT_PID
  echo quit >&"${CLIENT[1]}"
  wait "$client" || true
}
owner_pid() {
  busctl --address="$DBUS_SESSION_BUS_ADDRESS" status org.zarn4.Update 2>/dev/null |
    sed -n 's/^PID=//p'
}
wait_gone() {
  local i
  for i in $(seq 200); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.05
  done
  return 1
}

echo "=== the bus starts the program; it serves, refuses to close, and ends with the release"
log="$folder/User/zarn4updatelog_error.txt"
rm -f "$log"
start_client
started=$(date +%s%N)
ask create
echo "activation ms: $(( ($(date +%s%N) - started) / 1000000 ))"
object=$answer
[[ $object == /org/zarn4/Update/objects/* ]] || fail "create answered $object"
pid=$(owner_pid)
[[ -n $pid ]] || fail "nobody owns org.zarn4.Update"
grep -qa -- '-Embedding' "/proc/$pid/cmdline" || fail "not started with -Embedding"
ask "request $object"
[[ $answer == ok ]] || fail "Request answered $answer"
sleep 2  # the update pass ends at once (nobody at the server's port); closing is refused
kill -0 "$pid" 2>/dev/null || fail "the program ended while a client held an object"
# The pass's window closed before the question (answered No): its log is on disk already.
[[ -f $log ]] || fail "the log was not saved before the close question"
ask "request $object"
[[ $answer == ok ]] || fail "Request after the refused close answered $answer"
# The last release ends the program without the window's close, which saves the log.
log_stamp() { stat -c '%s %.9Y' "$log" 2>/dev/null || echo absent; }
before_release=$(log_stamp)
released=$(date +%s%N)
ask "release $object"
[[ $answer == ok ]] || fail "Release answered $answer"
wait_gone "$pid" || fail "the program still runs after the last release"
[[ $(log_stamp) == "$before_release" ]] || fail "the end by the last release wrote the log"
echo "end after release ms: $(( ($(date +%s%N) - released) / 1000000 ))"
quit_client

echo "=== a client that leaves the bus releases its objects"
start_client
ask create
pid=$(owner_pid)
[[ -n $pid ]] || fail "the program was not started again"
quit_client
wait_gone "$pid" || fail "the program still runs after its client left"

echo "=== a program the user started keeps running after its client"
# The program's standard input is a pipe of the test's, so the close question waits for it.
mkfifo "$sandbox/answers"
"$program" <"$sandbox/answers" 2>"$sandbox/user.err" &
user_pid=$!
exec {answers}>"$sandbox/answers"
for _ in $(seq 200); do
  [[ $(owner_pid) == "$user_pid" ]] && break
  sleep 0.02
done
[[ $(owner_pid) == "$user_pid" ]] || fail "the started program does not own the name"
start_client
# The call waits at the bus while the program is stopped, so that it is served before the start
# timer, however slow this machine is.
kill -STOP "$user_pid"
echo create >&"${CLIENT[1]}"
sleep 0.3
kill -CONT "$user_pid"
read -r object <&"${CLIENT[0]}" || fail "the client ended"
[[ $object == /org/zarn4/Update/objects/* ]] || fail "create answered $object"
# Its update pass ends and it closes its window while the client holds the object.
for _ in $(seq 200); do
  grep -q "COM Server Warning" "$sandbox/user.err" && break
  sleep 0.05
done
grep -q "COM Server Warning: There are still active COM objects" "$sandbox/user.err" ||
  fail "no close question: $(cat "$sandbox/user.err")"
echo n >&"$answers"
ask "request $object"
[[ $answer == ok ]] || fail "Request after No answered $answer"
ask "release $object"
quit_client
sleep 1.5
kill -0 "$user_pid" 2>/dev/null || fail "the program ended with its client"
kill -TERM "$user_pid"
# Its pass found no server: it ends with 1.
status=0
wait "$user_pid" || status=$?
[[ $status -eq 1 ]] || fail "the program ended with status $status"
echo "=== a bus that goes away releases the objects: the program ends instead of spinning"
start_client
ask create
pid=$(owner_pid)
[[ -n $pid ]] || fail "the program was not started for the last client"
kill "$bus_pid"
bus_pid=""
wait_gone "$pid" || fail "the program still runs after its bus went away"
quit_client
echo "PASS"
