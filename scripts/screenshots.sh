#!/usr/bin/env bash
# Renders every window and view offscreen into docs/screenshots/ (or the folder given).
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-docs/screenshots}")"
bash scripts/setup.sh
bash scripts/build.sh
source tools/common.sh
work=$(mktemp -d)
trap 'cleanup_all; rm -rf "$work"' EXIT
mkdir -p "$work/site/twdownloads" "$out"
printf '2.74\r\n-\r\ntwv2up.exe\r\n' >"$work/site/twdownloads/twv2.vn"
start_site "$work/site" "$work"
TALLYAID_MAKER_SITE="$SITE_URL" TALLYAID_CA_FILE="$SITE_CA" QT_QPA_PLATFORM=offscreen \
  "${TALLYAID_BUILD_DIR:-build}/tools/tallyaid_screenshots" "$out"
echo "screenshots in $out"
