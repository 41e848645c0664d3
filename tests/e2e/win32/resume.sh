#!/usr/bin/env bash
# The Windows program's downloads over a link that drops, under Wine against the scripted server
# on the host's 127.0.0.1: every RETR of a 1 MiB cabinet is cut after 256 KiB, and the pass still
# installs the file byte for byte (each attempt continues the last). Then "Update Server" lists a
# server that refuses connections before the one that serves: the pass is served by the second.
# Argument: the win32 build folder. Needs the prefix and display of scripts/wine-tests.
set -euo pipefail
source "$(dirname "$0")/wine_e2e.bash"

work=$(mktemp -d "${TMPDIR:-/tmp}/zarn-e2e-resume.XXXXXX")
server=""
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

/usr/bin/python3 "$root/tests/e2e/release.py" resume "$work" >"$work/server.out" 2>&1 &
server=$!
for _ in $(seq 100); do [[ -f $work/port ]] && break; sleep 0.1; done
[[ -f $work/port ]] || fail "the update server did not start: $(cat "$work/server.out")"
port=$(cat "$work/port")
refusing=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
key='HKCU\Software\Brenicsoft\Zarn4\Config'
run reg delete "$key" /f >/dev/null 2>&1 || true
run reg add "$key" /v "Repeat Rollback" /t REG_DWORD /d 1 /f >/dev/null

# pass NAME SERVERS: a pass in a new program folder against the servers; checks that it installed
# big.bin and leaves the log in $log.
pass() {
  local folder=$work/$1
  mkdir -p "$folder/User"
  cp "$build/zarn4update.exe" "$folder/"
  run reg add "$key" /v "Update Server" /t REG_SZ /d "$2" /f >/dev/null
  run reg delete "$key" /v "Program Folder" /f >/dev/null 2>&1 || true
  report=$(run "$build/e2e_watch.exe" --answer yes \
    "$(windows_name "$folder")\\zarn4update.exe" /run | tr -d '\r') || fail "watcher failed"
  echo "$report"
  log=$folder/User/zarn4updatelog.txt
  [[ -f $log ]] && tr -d '\r' <"$log" | sed 's/^/log: /'
  grep -qx 'exit code: 0' <<<"$report" || fail "$1: exit code"
  cmp -s "$folder/big.bin" "$work/big.bin" || fail "$1: big.bin not installed byte for byte"
  [[ ! -e $folder/temp_update_cache ]] || fail "$1: download cache left behind"
}

echo "=== every transfer cut after 256 KiB"
pass Cut "127.0.0.1:$port"
grep -qxF "1/1  Download big.cab Failure # (0)" < <(tr -d '\r' <"$log") || fail "no cut logged"
grep -qxF "1/1  Download big.cab (big.bin) OK" < <(tr -d '\r' <"$log") || fail "no download"

echo "=== the first server refuses connections, the second serves"
pass Second "127.0.0.1:$refusing;127.0.0.1:$port"
[[ $(grep -c '^FTP Status: Connecting to 127.0.0.1' < <(tr -d '\r' <"$log")) -ge 2 ]] ||
  fail "the second server was not tried"
echo "ok: resumed download and second server under Wine"
