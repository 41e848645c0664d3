#!/usr/bin/env bash
# An error that escapes the update pass reaches the user under Wine: the update server refuses the
# change into the update folder and resets the connection, the pass's error handler says goodbye
# on the broken connection, and that error leaves the pass. Its box must stay up
# until the user answers it (a box shown after the loop's quit message would vanish at once);
# the watcher leaves it up for three seconds, presses OK, and the program then ends with 1. An
# unattended pass shows no box: the same kind of error goes to its log.
# Argument: the win32 build folder. Needs the prefix and display of scripts/wine-tests.
set -euo pipefail
source "$(dirname "$0")/wine_e2e.bash"

sandbox=$(mktemp -d "${TMPDIR:-/tmp}/zarn-e2e-error.XXXXXX")
server=""
cleanup() {
  [[ -z $server ]] || kill "$server" 2>/dev/null || true
  rm -rf "$sandbox"
}
trap cleanup EXIT
folder=$sandbox/Zarn4
mkdir -p "$folder/User"
cp "$build/zarn4update.exe" "$folder/"
cp "$build/platform_child.exe" "$folder/zarn4.exe"

/usr/bin/python3 "$root/tests/e2e/reset_server.py" "$sandbox/port" --reply &
server=$!
for _ in $(seq 100); do [[ -s $sandbox/port ]] && break; sleep 0.05; done
[[ -s $sandbox/port ]] || fail "the update server did not start"
key='HKCU\Software\Brenicsoft\Zarn4\Config'
run reg delete "$key" /f >/dev/null 2>&1 || true
run reg add "$key" /v "Update Server" /t REG_SZ /d "127.0.0.1:$(cat "$sandbox/port")" /f >/dev/null

report=$(run "$build/e2e_watch.exe" --error-box 3000 "$(windows_name "$folder")\\zarn4update.exe" |
  tr -d '\r') || fail "watcher failed"
echo "$report"
log=$folder/User/zarn4updatelog_error.txt
[[ -f $log ]] || fail "no log saved"
tr -d '\r' <"$log" | sed 's/^/log: /'
grep -q '^error box: Socket Error # 10054' <<<"$report" || fail "no error box with the socket error"
! grep -q '^error box gone unanswered' <<<"$report" || fail "the error box went unanswered"
grep -q '^error box up for: ' <<<"$report" || fail "the error box did not stay up"
grep -qx 'pressed: OK' <<<"$report" || fail "OK was not pressed"
grep -qx 'exit code: 1' <<<"$report" || fail "the program did not end with 1"
grep -qxF "Looking for Update" < <(tr -d '\r' <"$log") || fail "the pass did not reach the server"
[[ ! -e $folder/temp_update ]] || fail "work folder left behind"
echo "ok: the escaped error's box stayed up until answered"

# Unattended ("Install Without Asking"): the server resets the connections part way through the
# cabinet's download. No box waits for anyone: the error is a log line and the pass ends with 1.
kill "$server"
rm -f "$sandbox/port"
/usr/bin/python3 "$root/tests/e2e/reset_server.py" "$sandbox/port" --cab &
server=$!
for _ in $(seq 100); do [[ -s $sandbox/port ]] && break; sleep 0.05; done
[[ -s $sandbox/port ]] || fail "the update server did not start"
run reg add "$key" /v "Update Server" /t REG_SZ /d "127.0.0.1:$(cat "$sandbox/port")" /f >/dev/null
run reg add "$key" /v "Install Without Asking" /t REG_DWORD /d 1 /f >/dev/null
rm -f "$folder"/User/*
report=$(run "$build/e2e_watch.exe" --error-box 3000 "$(windows_name "$folder")\\zarn4update.exe" |
  tr -d '\r') || fail "watcher failed"
echo "$report"
log=$folder/User/zarn4updatelog.txt
[[ -f $log ]] || fail "no log saved by the unattended pass"
tr -d '\r' <"$log" | sed 's/^/log: /'
! grep -q '^error box' <<<"$report" || fail "a box waited in the unattended pass"
grep -qx 'exit code: 1' <<<"$report" || fail "the unattended pass did not end with 1"
grep -qxF "1/1  Download a.cab Failure # (1)" < <(tr -d '\r' <"$log") ||
  fail "the unattended pass did not reach the cabinet"
grep -q '^Socket Error # 10054' < <(tr -d '\r' <"$log") || fail "the escaped error is not in the log"
echo "ok: the unattended pass logged its error and ended without a box"
