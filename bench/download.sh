#!/usr/bin/env bash
# Download throughput and peak memory: curl against the program's own DownloadFile, side
# by side in one run, both fetching from nginx over TLS on loopback.
#   bash bench/download.sh [RUNS]       (3 runs per tool and size by default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-3}"
bash scripts/setup.sh >/dev/null
bash scripts/build.sh >/dev/null
source tools/common.sh
work=$(mktemp -d /tmp/tallyaid-bench.XXXXXX)
trap 'cleanup_all; rm -rf "$work"' EXIT
mkdir -p "$work/www" "$work/nginx/logs"
# Downloads land in memory-backed storage where there is some, so the disk's write-back
# does not drown the difference between the two clients.
out_parent=/dev/shm
[ -d "$out_parent" ] && [ -w "$out_parent" ] || out_parent="$work"
out=$(mktemp -d "$out_parent/tallyaid-bench-out.XXXXXX")
trap 'cleanup_all; rm -rf "$work" "$out"' EXIT

python3 -c "import pathlib, sys; sys.path.insert(0, 'tools/testsite'); import testsite; \
testsite.make_certificates(pathlib.Path('$work/certs'))"
head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/www/64m.bin"
head -c $((1024 * 1024 * 1024)) /dev/urandom >"$work/www/1g.bin"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
user root;
error_log $work/nginx/logs/error.log;
pid $work/nginx/nginx.pid;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  server {
    listen 127.0.0.1:$port ssl;
    ssl_certificate $work/certs/server.crt;
    ssl_certificate_key $work/certs/server.key;
    ssl_protocols TLSv1.3;
    root $work/www;
  }
}
CONF
find_nginx "$work"
"$NGINX" -p "$work/nginx" -c "$work/nginx/nginx.conf" &
_cleanup_pids+=($!)
wait_until 10 curl -s -o /dev/null --cacert "$work/certs/ca.crt" "https://localhost:$port/64m.bin"

ours="${TALLYAID_BUILD_DIR:-build}/tools/tallyaid_benchdownload"
export TALLYAID_CA_FILE="$work/certs/ca.crt" QT_QPA_PLATFORM=offscreen

# measure TOOL FILE: prints "seconds peak_kib"
measure() {
  local tool=$1 file=$2 url="https://localhost:$port/$2" seconds
  rm -f "$out/$file"
  if [ "$tool" = curl ]; then
    /usr/bin/time -f '%M' -o "$work/rss" curl -s --fail -o "$out/$file" --cacert "$work/certs/ca.crt" \
      -w '%{time_total}' "$url" >"$work/secs"
  else
    /usr/bin/time -f '%M' -o "$work/rss" "$ours" "$url" "$out" "$file" 2>/dev/null | cut -d' ' -f1 >"$work/secs"
  fi
  cmp -s "$out/$file" "$work/www/$file" || { echo "$tool: $file differs" >&2; exit 1; }
  rm -f "$out/$file"
  echo "$(cat "$work/secs") $(tail -n1 "$work/rss")"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
mbs() { awk -v b="$1" -v s="$2" 'BEGIN {printf "%.0f", b / s / 1e6}'; }

printf '%-5s %-5s %12s %12s %8s %8s %10s\n' size tool 'median MB/s' 'best MB/s' ratio 'ratio*' 'peak RSS'
for file in 64m.bin 1g.bin; do
  bytes=$(stat -c %s "$work/www/$file")
  : >"$work/curl.txt"; : >"$work/ours.txt"
  for _ in $(seq "$runs"); do
    measure curl "$file" >>"$work/curl.txt"
    measure ours "$file" >>"$work/ours.txt"
  done
  declare -A med best rss
  for tool in curl ours; do
    med[$tool]=$(mbs "$bytes" "$(cut -d' ' -f1 "$work/$tool.txt" | median)")
    best[$tool]=$(mbs "$bytes" "$(cut -d' ' -f1 "$work/$tool.txt" | sort -n | head -n1)")
    rss[$tool]=$(( $(cut -d' ' -f2 "$work/$tool.txt" | sort -n | tail -n1) / 1024 ))
  done
  ratio=$(awk -v o="${med[ours]}" -v c="${med[curl]}" 'BEGIN {printf "%.2f", o / c}')
  ratio_best=$(awk -v o="${best[ours]}" -v c="${best[curl]}" 'BEGIN {printf "%.2f", o / c}')
  printf '%-5s %-5s %12s %12s %8s %8s %6s MiB\n' "${file%.bin}" curl "${med[curl]}" "${best[curl]}" "" "" "${rss[curl]}"
  printf '%-5s %-5s %12s %12s %8s %8s %6s MiB\n' "${file%.bin}" ours "${med[ours]}" "${best[ours]}" "$ratio" "$ratio_best" "${rss[ours]}"
done
echo "($runs runs per tool and size, interleaved; ratio = ours/curl on medians, ratio* on best runs;"
echo " peak RSS is the largest of the runs. Throughput here swings by a quarter from run to run.)"
