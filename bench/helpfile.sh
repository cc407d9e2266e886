#!/usr/bin/env bash
# Help-topic reading: a 50 MB file with the topic at its end, and a topic of one 10 MB
# line, read by the program's reader beside a plain `grep -n` over the same file.
#   bash bench/helpfile.sh [RUNS]      (5 runs each by default; best run shown)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
bash scripts/setup.sh >/dev/null
bash scripts/build.sh >/dev/null
work=$(mktemp -d /tmp/tallyaid-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
topic = b"TP:FILLER\r\nHH:Filler\r\n" + b"Some ordinary help text that runs on for a while.\r\n" * 20 + b"END\r\n"
with open(f"{work}/big.odx", "wb") as f:
    size = 0
    while size < 50 * 1000 * 1000:
        f.write(topic)
        size += len(topic)
    f.write(b"TP:LAST\r\nHH:Last\r\nThe topic at the end.\r\nEND\r\n")
with open(f"{work}/longline.odx", "wb") as f:
    f.write(b"TP:LONG\r\n" + b"x" * (10 * 1000 * 1000) + b"\r\nEND\r\n")
PY
ours="${TALLYAID_BUILD_DIR:-build}/tools/tallyaid_benchhelp"

best() { sort -n | head -n1; }
printf '%-10s %-8s %10s %10s\n' file tool 'best s' 's per MB'
for case in "big.odx LAST" "longline.odx LONG"; do
  set -- $case
  file="$work/$1"; topic=$2
  mb=$(awk -v b="$(stat -c %s "$file")" 'BEGIN {print b / 1e6}')
  : >"$work/ours.txt"; : >"$work/grep.txt"
  for _ in $(seq "$runs"); do
    "$ours" "$file" "$topic" | cut -d' ' -f1 >>"$work/ours.txt"
    start=$(date +%s%N); grep -n "^TP:$topic" "$file" >/dev/null; end=$(date +%s%N)
    awk -v a="$start" -v b="$end" 'BEGIN {printf "%.4f\n", (b - a) / 1e9}' >>"$work/grep.txt"
  done
  for tool in ours grep; do
    t=$(best <"$work/$tool.txt")
    printf '%-10s %-8s %10s %10s\n' "$1" "$tool" "$t" "$(awk -v t="$t" -v m="$mb" 'BEGIN {printf "%.5f", t / m}')"
  done
done
echo "($runs runs each, best shown; ours reads the topic into the section store, grep only finds the line.)"
