#!/usr/bin/env bash
# Download benchmark of the FTP client: serves a 512 MiB file on 127.0.0.1 and times `zftp get`
# against `curl` on the same file in the same run (median of 5 each, alternating, both to
# /dev/null), printing for each client the throughput and the processor seconds spent per GiB,
# with the ratios to curl.
#
# Two servers: vsftpd, a C server that sends with sendfile, so that the clients are what is
# measured; and pyftpdlib, which is itself the bottleneck on loopback (its ratios mostly show the
# server's noise). vsftpd needs root to run (it changes to an unprivileged user); when this is not
# run as root, or vsftpd is missing and cannot be installed, only pyftpdlib is measured and the
# script says so. As root, a missing vsftpd is installed with apt-get.
#
# Then it reports zftp's peak resident memory and the processor time it spends awaiting a reply
# from a server that never answers. Exits 1 when a target is missed.
#   bench/ftp.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
python=/usr/bin/python3  # Debian's, which has pyftpdlib
size_mib=512

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake --preset posix-release "${launcher[@]}" >/dev/null
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

# The served folder must be readable by vsftpd's unprivileged user, and not writable by it.
chmod 755 "$work"
mkdir -m 755 "$work/root"
head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$work/root/big.bin"
chmod 644 "$work/root/big.bin"

servers=()
if [[ $(id -u) -ne 0 ]]; then
  echo "vsftpd: not measured (it needs root to run); measuring against pyftpdlib only" >&2
else
  if ! command -v vsftpd >/dev/null && [[ ! -x /usr/sbin/vsftpd ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq vsftpd >/dev/null 2>&1 || true
  fi
  if [[ -x /usr/sbin/vsftpd ]]; then
    vsftpd_port=$(free_port)
    mkdir -m 755 "$work/empty"
    # Anonymous, read-only, on loopback only, announcing a loopback PASV address.
    cat >"$work/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$vsftpd_port
background=NO
anonymous_enable=YES
no_anon_password=YES
anon_root=$work/root
ftp_username=ftp
local_enable=NO
write_enable=NO
anon_upload_enable=NO
anon_mkdir_write_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
pasv_promiscuous=NO
port_enable=NO
secure_chroot_dir=$work/empty
seccomp_sandbox=NO
xferlog_enable=NO
use_sendfile=YES
max_clients=20
EOF
    /usr/sbin/vsftpd "$work/vsftpd.conf" >"$work/vsftpd.log" 2>&1 &
    pids+=($!)
    wait_port "$vsftpd_port"
    servers+=("vsftpd ftp://127.0.0.1:$vsftpd_port/big.bin")
  else
    echo "vsftpd: not installed and apt-get could not install it; measuring against pyftpdlib only" >&2
  fi
fi

pyftpdlib_port=$(free_port)
"$python" -m pyftpdlib -i 127.0.0.1 -p "$pyftpdlib_port" -d "$work/root" >"$work/server.log" 2>&1 &
pids+=($!)
wait_port "$pyftpdlib_port"
servers+=("pyftpdlib ftp://127.0.0.1:$pyftpdlib_port/big.bin")

# time_run FILE COMMAND...: appends "seconds cpu_seconds peak_kib" of one run to FILE.
time_run() {
  local out=$1 start end
  shift
  start=$(date +%s%N)
  /usr/bin/time -f "%U %S %M" -o "$work/usage" "$@"
  end=$(date +%s%N)
  awk -v us="$(( (end - start) / 1000 ))" '{print us / 1e6, $1 + $2, $3}' "$work/usage" >>"$out"
}

# median FILE COLUMN
median() { cut -d' ' -f"$2" "$1" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

echo "download of $size_mib MiB to /dev/null, median of $runs runs each, load average $(cut -d' ' -f1-3 /proc/loadavg) (2 cores)"
failed=0
for server in "${servers[@]}"; do
  name=${server%% *}
  url=${server#* }
  # One checked download first; the timed ones write to /dev/null so that the disk stays out.
  "$zftp" get "$url" "$work/zftp.out"
  cmp -s "$work/zftp.out" "$work/root/big.bin" || { echo "zftp's download from $name differs" >&2; exit 1; }
  rm -f "$work/zftp.out"
  rm -f "$work/$name.zftp" "$work/$name.curl"
  for _ in $(seq "$runs"); do
    time_run "$work/$name.zftp" "$zftp" get "$url" /dev/null
    time_run "$work/$name.curl" curl -s -o /dev/null "$url"
  done
  awk -v name="$name" -v mib="$size_mib" \
      -v zs="$(median "$work/$name.zftp" 1)" -v zc="$(median "$work/$name.zftp" 2)" \
      -v cs="$(median "$work/$name.curl" 1)" -v cc="$(median "$work/$name.curl" 2)" 'BEGIN {
    gib = mib / 1024
    zr = mib / zs; cr = mib / cs; zg = zc / gib; cg = cc / gib
    printf "against %s:\n", name
    printf "  zftp get: %8.1f MiB/s (%.3f s), %.3f s CPU/GiB\n", zr, zs, zg
    printf "  curl:     %8.1f MiB/s (%.3f s), %.3f s CPU/GiB\n", cr, cs, cg
    printf "  zftp/curl: throughput %.3f, CPU per GiB %.3f\n", zr / cr, (cg > 0 ? zg / cg : 0)
  }'
  ratio=$(awk -v z="$(median "$work/$name.zftp" 1)" -v c="$(median "$work/$name.curl" 1)" 'BEGIN {print c / z}')
  cpu_ratio=$(awk -v z="$(median "$work/$name.zftp" 2)" -v c="$(median "$work/$name.curl" 2)" 'BEGIN {print (c > 0 ? z / c : 0)}')
  if [[ $name == vsftpd ]]; then
    # A quiet machine gave zftp about 2,100 MiB/s and 0.42 s/GiB against curl's 1,550 and 0.52.
    echo "  targets against vsftpd: throughput ratio >= 1.35, CPU per GiB ratio <= 0.81"
    awk -v r="$ratio" -v c="$cpu_ratio" 'BEGIN {exit !(r >= 1.35 && c <= 0.81)}' || failed=1
  else
    echo "  target against pyftpdlib: throughput ratio >= 0.95"
    awk -v r="$ratio" 'BEGIN {exit !(r >= 0.95)}' || failed=1
  fi
done
peak_kib=$(cut -d' ' -f3 "$work"/*.zftp | sort -n | tail -1)

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

awk -v rss="$peak_kib" -v cpu="$cpu_s" -v failed="$failed" 'BEGIN {
  pct = cpu / 5 * 100
  printf "peak resident memory of zftp get: %.2f MiB (target < 8)\n", rss / 1024
  printf "CPU while awaiting a reply for 5 s: %.2f%% of a core (target < 2)\n", pct
  exit !(!failed && rss < 8 * 1024 && pct < 2)
}'
