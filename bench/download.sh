#!/usr/bin/env bash
# Download throughput and peak memory: curl against the program's own DownloadFile, side
# by side in one run, all fetching from nginx over TLS on loopback into a folder on the disk
# that holds the build (where a user's program folder would be: a flush costs what it costs).
# Rows: curl alone; curl followed by a sync of the file; ours (staged, written behind,
# flushed, renamed); ours with the maker's key (hashed as it arrives, signature checked).
# Then a 256 MiB installer whose connection is cut twice, beside the same file uncut, both
# from the python test site (nginx cannot cut a connection); and the same installer with
# every connection cut after 40 MiB, fetched by one run after another until it is whole.
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
build_dir="${TALLYAID_BUILD_DIR:-build}"
out=$(mktemp -d "$build_dir/bench-out.XXXXXX")
echo "writing to $(df --output=source,fstype "$out" | tail -n1)"
trap 'cleanup_all; rm -rf "$work" "$out"' EXIT

python3 -c "import pathlib, sys; sys.path.insert(0, 'tools/testsite'); import testsite; \
testsite.make_certificates(pathlib.Path('$work/certs'))"
head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/www/64m.bin"
head -c $((512 * 1024 * 1024)) /dev/urandom >"$work/www/512m.bin"
openssl genpkey -algorithm ed25519 -out "$work/maker.pem" 2>/dev/null
openssl pkey -in "$work/maker.pem" -pubout -out "$work/maker.pub"
for f in 64m.bin 512m.bin; do "$build_dir/tools/tallyaid-sign" "$work/maker.pem" "$work/www/$f" >/dev/null; done

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
  case "$tool" in
  curl)
    /usr/bin/time -f '%M' -o "$work/rss" curl -s --fail -o "$out/$file" --cacert "$work/certs/ca.crt" \
      -w '%{time_total}' "$url" >"$work/secs" ;;
  curl+sync)
    local start end
    start=$(date +%s.%N)
    /usr/bin/time -f '%M' -o "$work/rss" curl -s --fail -o "$out/$file" --cacert "$work/certs/ca.crt" "$url"
    sync "$out/$file"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f", b - a}' >"$work/secs" ;;
  ours)
    /usr/bin/time -f '%M' -o "$work/rss" "$ours" "$url" "$out" "$file" 2>/dev/null | cut -d' ' -f1 >"$work/secs" ;;
  ours+key)
    TALLYAID_UPDATE_KEY_FILE="$work/maker.pub" /usr/bin/time -f '%M' -o "$work/rss" \
      "$ours" "$url" "$out" "$file" "$url.sig" 2>/dev/null | cut -d' ' -f1 >"$work/secs" ;;
  esac
  cmp -s "$out/$file" "$work/www/$file" || { echo "$tool: $file differs" >&2; exit 1; }
  rm -f "$out/$file"
  echo "$(cat "$work/secs") $(tail -n1 "$work/rss")"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
mbs() { awk -v b="$1" -v s="$2" 'BEGIN {printf "%.0f", b / s / 1e6}'; }

tools=(curl curl+sync ours ours+key)
printf '%-5s %-9s %12s %12s %8s %8s %10s\n' size tool 'median MB/s' 'best MB/s' ratio 'ratio*' 'peak RSS'
for file in 64m.bin 512m.bin; do
  bytes=$(stat -c %s "$work/www/$file")
  for tool in "${tools[@]}"; do : >"$work/$tool.txt"; done
  for _ in $(seq "$runs"); do
    for tool in "${tools[@]}"; do measure "$tool" "$file" >>"$work/$tool.txt"; done
  done
  declare -A med best rss
  for tool in "${tools[@]}"; do
    med[$tool]=$(mbs "$bytes" "$(cut -d' ' -f1 "$work/$tool.txt" | median)")
    best[$tool]=$(mbs "$bytes" "$(cut -d' ' -f1 "$work/$tool.txt" | sort -n | head -n1)")
    rss[$tool]=$(( $(cut -d' ' -f2 "$work/$tool.txt" | sort -n | tail -n1) / 1024 ))
  done
  for tool in "${tools[@]}"; do
    ratio="" ratio_best=""
    if [ "$tool" != curl ]; then
      ratio=$(awk -v o="${med[$tool]}" -v c="${med[curl]}" 'BEGIN {printf "%.2f", o / c}')
      ratio_best=$(awk -v o="${best[$tool]}" -v c="${best[curl]}" 'BEGIN {printf "%.2f", o / c}')
    fi
    printf '%-5s %-9s %12s %12s %8s %8s %6s MiB\n' "${file%.bin}" "$tool" "${med[$tool]}" "${best[$tool]}" \
      "$ratio" "$ratio_best" "${rss[$tool]}"
  done
done
echo "($runs runs per tool and size, interleaved; ratio = tool/curl on medians, ratio* on best runs;"
echo " peak RSS is the largest of the runs. Throughput here swings by a quarter from run to run.)"

# The cut connection: served by the test site, which cuts each of the first two requests
# after 96 MiB; the download goes on from where its part file ends. Its time includes the
# pauses before the two continuations (1 s and 2 s).
mkdir -p "$work/site"
head -c $((256 * 1024 * 1024)) /dev/urandom >"$work/site/256m.bin"
start_site "$work/site" "$work"
export TALLYAID_CA_FILE="$SITE_CA"
for run in $(seq "$runs"); do
  for cuts in 0 2; do
    key="bench-$cuts-$run"
    "$ours" "$SITE_URL/_/ranges/ok/$key/$((96 * 1024 * 1024))/$cuts/256m.bin" "$out" 256m.bin 2>/dev/null |
      cut -d' ' -f1 >>"$work/cut$cuts.txt"
    cmp -s "$out/256m.bin" "$work/site/256m.bin" || { echo "cut $cuts: 256m.bin differs" >&2; exit 1; }
    asked=$(curl -s --cacert "$SITE_CA" "$SITE_URL/_/requests/$key")
    [ "$asked" -eq $((cuts + 1)) ] || { echo "cut $cuts: $asked requests" >&2; exit 1; }
    rm -f "$out/256m.bin"
  done
done
bytes=$((256 * 1024 * 1024))
printf '\n%-5s %-22s %10s %12s\n' size 'ours from the test site' 'median s' 'median MB/s'
for cuts in 0 2; do
  secs=$(median <"$work/cut$cuts.txt")
  label=$([ "$cuts" = 0 ] && echo uncut || echo 'cut twice, continued')
  printf '%-5s %-22s %10s %12s\n' 256m "$label" "$secs" "$(mbs "$bytes" "$secs")"
done
echo "(the cut run's time includes its 3 s of pauses before the continuations; the file is"
echo " compared byte for byte after every run)"

# Broken off for good: every connection is cut after 40 MiB, so each run gives up after its
# continuations (the problem view); the next run goes on from the part file the last one kept.
key="bench-everycut"
rm -f "$out/256m.bin"
printf '\n%-4s %16s %14s\n' run 'sent before it' 'ends'
for run in $(seq 10); do
  before=$(curl -s --cacert "$SITE_CA" "$SITE_URL/_/sent/$key")
  if "$ours" "$SITE_URL/_/ranges/ok/$key/$((40 * 1024 * 1024))/1000000/256m.bin" "$out" 256m.bin \
    >/dev/null 2>"$work/everycut.err"; then ended=whole; else ended="broke off"; fi
  printf '%-4s %16s %14s\n' "$run" "$before" "$ended"
  [ "$ended" = whole ] && break
done
[ "$ended" = whole ] || { echo "every connection cut: never whole: $(cat "$work/everycut.err")" >&2; exit 1; }
cmp -s "$out/256m.bin" "$work/site/256m.bin" || { echo "every connection cut: 256m.bin differs" >&2; exit 1; }
sent=$(curl -s --cacert "$SITE_CA" "$SITE_URL/_/sent/$key")
asked=$(curl -s --cacert "$SITE_CA" "$SITE_URL/_/requests/$key")
printf 'every connection cut after 40 MiB: %s runs, %s requests, %s bytes asked for and sent in all\n' \
  "$run" "$asked" "$sent"
printf 'against the file'"'"'s %s bytes (%s); the file is compared byte for byte\n' "$bytes" \
  "$(awk -v a="$sent" -v b="$bytes" 'BEGIN {printf "%.3f times its size", a / b}')"
rm -f "$out/256m.bin"
