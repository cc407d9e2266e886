#!/usr/bin/env bash
# Signature check of a 1 GiB program: the program's own check (hash while reading, then
# Ed25519) beside `sha256sum` over the same file, with peak memory.
#   bash bench/signature.sh [RUNS]     (3 runs each by default; best run shown)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-3}"
bash scripts/setup.sh >/dev/null
bash scripts/build.sh >/dev/null
work=$(mktemp -d /tmp/tallyaid-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
sign="${TALLYAID_BUILD_DIR:-build}/tools/tallyaid-sign"
head -c $((1024 * 1024 * 1024)) /dev/urandom >"$work/twv2up.exe"
openssl genpkey -algorithm ed25519 -out "$work/key.pem" 2>/dev/null
openssl pkey -in "$work/key.pem" -pubout -out "$work/key.pub"
"$sign" "$work/key.pem" "$work/twv2up.exe" >/dev/null
cat "$work/twv2up.exe" >/dev/null # both tools read from the page cache

measure() { # prints "seconds peak_kib"
  /usr/bin/time -f '%e %M' -o "$work/t" "$@" >/dev/null
  cat "$work/t"
}
printf '%-26s %10s %12s\n' tool 'best s' 'peak RSS'
for tool in ours sha256sum; do
  : >"$work/$tool.txt"
  for _ in $(seq "$runs"); do
    if [ $tool = ours ]; then measure "$sign" --verify "$work/key.pub" "$work/twv2up.exe" >>"$work/$tool.txt"
    else measure sha256sum "$work/twv2up.exe" >>"$work/$tool.txt"; fi
  done
  printf '%-26s %10s %9s MiB\n' "$tool" "$(cut -d' ' -f1 "$work/$tool.txt" | sort -n | head -n1)" \
    "$(( $(cut -d' ' -f2 "$work/$tool.txt" | sort -n | tail -n1) / 1024 ))"
done
echo "(1 GiB, $runs runs each; 'ours' is tallyaid-sign --verify, the same code the program runs.)"
