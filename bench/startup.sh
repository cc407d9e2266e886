#!/usr/bin/env bash
# Time until the update window appears in run mode "2": an empty program folder against one
# crowded with 2000 other files and a leftover installer that cannot be deleted. Beside it,
# a plain `find` for the same leftovers in the same folder, as the floor for one listing.
#   bash bench/startup.sh [RUNS]          (9 runs each by default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-9}"
bash scripts/setup.sh >/dev/null
bash scripts/build.sh >/dev/null
work=$(mktemp -d /tmp/tallyaid-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/empty" "$work/crowded"
for i in $(seq 2000); do : >"$work/crowded/payroll-$i.dat"; done
printf 'locked' >"$work/crowded/twv3up.exe"
printf 'behind' >"$work/crowded/twv4up.exe"
ours="${TALLYAID_BUILD_DIR:-build}/tools/tallyaid_benchstartup"
export QT_QPA_PLATFORM=offscreen TALLYAID_MAKER_SITE="https://127.0.0.1:1"

find_time() {
  local folder=$1 best=999 t
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    find "$folder" -maxdepth 1 -name 'twv*.exe' >/dev/null
    end=$(date +%s%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.4f", (b - a) / 1e9}')
    best=$(awk -v a="$best" -v b="$t" 'BEGIN {print (b < a) ? b : a}')
  done
  echo "$best"
}

printf '%-8s %-22s %12s %12s\n' folder tool 'median s' 'best s'
for folder in empty crowded; do
  read -r med best < <("$ours" "$work/$folder" "$runs")
  printf '%-8s %-22s %12s %12s\n' "$folder" "update window appears" "$med" "$best"
  printf '%-8s %-22s %12s %12s\n' "$folder" "find (reference)" "" "$(find_time "$work/$folder")"
done
[ -f "$work/crowded/twv3up.exe" ] && [ -f "$work/crowded/twv4up.exe" ] || { echo "leftovers changed" >&2; exit 1; }
echo "($runs runs each; the window's time includes the failed version check against a closed port.)"
