#!/usr/bin/env bash
# Download benchmark of the FTP client: serves a 256 MiB file from a local pyftpdlib server on
# 127.0.0.1 and times `zftp get` against `curl` on the same file in the same run (median of 5
# each, alternating), then reports zftp's peak resident memory and the processor time it spends
# awaiting a reply from a server that never answers. Prints the figures and the targets; exits 1
# when a target is missed.
#   bench/ftp.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
python=/usr/bin/python3  # Debian's, which has pyftpdlib
size_mib=256

cmake --preset posix-release >/dev/null
cmake --build --preset posix-release --target zftp -j2 >/dev/null
zftp=$root/build/posix-release/zftp

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { "$python" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 100); do
    "$python" -c "import socket; socket.create_connection(('127.0.0.1',$1),1)" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "server on port $1 did not start" >&2
  exit 1
}

mkdir "$work/root"
head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$work/root/big.bin"
port=$(free_port)
"$python" -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$work/root" >"$work/server.log" 2>&1 &
pids+=($!)
wait_port "$port"
url=ftp://127.0.0.1:$port/big.bin

# time_run FILE COMMAND...: appends "seconds peak_kib" of one run to FILE.
time_run() {
  local out=$1 start end
  shift
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$work/rss" "$@"
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 )) $(cat "$work/rss")" >>"$out"
}

# One checked download first; the timed ones write to /dev/null so that the disk stays out of it.
"$zftp" get "$url" "$work/zftp.out"
cmp -s "$work/zftp.out" "$work/root/big.bin" || { echo "zftp's download differs" >&2; exit 1; }
rm -f "$work/zftp.out"
for _ in $(seq "$runs"); do
  time_run "$work/zftp.times" "$zftp" get "$url" /dev/null
  time_run "$work/curl.times" curl -s -o /dev/null "$url"
done

median() { cut -d' ' -f1 "$1" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
zftp_us=$(median "$work/zftp.times")
curl_us=$(median "$work/curl.times")
peak_kib=$(cut -d' ' -f2 "$work/zftp.times" | sort -n | tail -1)

# A server that accepts and never says a word: zftp waits for its greeting for 5 s.
silent_port=$(free_port)
"$python" -c "
import socket, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(('127.0.0.1', $silent_port)); s.listen(1); c, _ = s.accept(); time.sleep(60)" &
pids+=($!)
wait_port "$silent_port"
/usr/bin/time -f "%U %S" -o "$work/cpu" timeout 5 "$zftp" ls "ftp://127.0.0.1:$silent_port/" \
  2>/dev/null || true
cpu_s=$(awk '{print $1 + $2}' "$work/cpu" | tail -1)

awk -v z="$zftp_us" -v c="$curl_us" -v rss="$peak_kib" -v cpu="$cpu_s" -v mib="$size_mib" \
    -v runs="$runs" 'BEGIN {
  zr = mib / (z / 1e6); cr = mib / (c / 1e6); ratio = zr / cr; pct = cpu / 5 * 100
  printf "download of %d MiB, median of %d runs\n", mib, runs
  printf "  zftp get: %8.1f MiB/s (%.3f s)\n", zr, z / 1e6
  printf "  curl:     %8.1f MiB/s (%.3f s)\n", cr, c / 1e6
  printf "  throughput ratio zftp/curl: %.3f (target >= 0.95)\n", ratio
  printf "  peak resident memory of zftp get: %.2f MiB (target < 8)\n", rss / 1024
  printf "  CPU while awaiting a reply for 5 s: %.2f%% of a core (target < 2)\n", pct
  exit !(ratio >= 0.95 && rss < 8 * 1024 && pct < 2)
}'
