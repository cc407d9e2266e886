#!/usr/bin/env bash
# Sets up, builds and runs Tallyaid against a bundled local HTTPS site.
#   bash scripts/demo.sh [PARAMETER]     (UPDATEV2 by default)
# With a display the program opens in a real window. Without one it runs on a virtual
# display, presses Enter like a user would, and saves screenshots of what appeared.
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1-UPDATEV2}"
bash scripts/setup.sh
bash scripts/build.sh >/dev/null
source tools/common.sh
work=$(mktemp -d /tmp/tallyaid-demo.XXXXXX)
trap 'cleanup_all' EXIT

# The demo site: a version file offering 2.74 and harmless stand-ins for the programs.
mkdir -p "$work/site/twdownloads" "$work/site/download" "$work/program"
for f in twv2.vn twvtest.vn twvtest2.vn; do printf '2.74\r\n-\r\ntwv2up.exe\r\n' >"$work/site/twdownloads/$f"; done
for f in twdownloads/twv2up.exe twdownloads/setupbd.exe download/TeamViewerQS_x64.exe; do
  printf 'Stand-in for %s from the Tallyaid demo site. It does nothing.\n' "$(basename "$f")" >"$work/site/$f"
done
# The demo site is signed with a throwaway key made now, and the demo program checks it.
openssl genpkey -algorithm ed25519 -out "$work/demo-key.pem" 2>/dev/null
openssl pkey -in "$work/demo-key.pem" -pubout -out "$work/demo-key.pub"
# The release as the maker signs it: the version files with an expiry and the installer
# they name bound to them; setupbd.exe, which no version file names, on its own.
"${TALLYAID_BUILD_DIR:-build}/tools/tallyaid-sign" --release "$work/demo-key.pem" --expires 30 \
  "$work/site/twdownloads/twv2.vn" "$work/site/twdownloads/twvtest.vn" "$work/site/twdownloads/twvtest2.vn" >/dev/null
"${TALLYAID_BUILD_DIR:-build}/tools/tallyaid-sign" "$work/demo-key.pem" "$work/site/twdownloads/setupbd.exe" >/dev/null
export TALLYAID_UPDATE_KEY_FILE="$work/demo-key.pub"
# The accepted releases are this account's own data: the demo's stay in its folder.
export XDG_DATA_HOME="$work/data"
start_site "$work/site" "$work"
export TALLYAID_MAKER_SITE="$SITE_URL" TALLYAID_CA_FILE="$SITE_CA"
export TALLYAID_VENDOR_URL="$SITE_URL/download/TeamViewerQS_x64.exe"

# A program folder of its own, with Tallywick 2.70 "installed".
cp "${TALLYAID_BUILD_DIR:-build}/src/tallyaid" "$work/program/"
printf '2.70\r\n' >"$work/program/version.tly"
echo "demo site: $SITE_URL   program folder: $work/program   run mode: ${mode:-(none)}"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  "$work/program/tallyaid" "$mode" || true
  echo "program folder now holds: $(ls "$work/program" | tr '\n' ' ')"
  exit 0
fi

# No display: a virtual one, a recording stand-in for the shell's "open", and screenshots.
start_xvfb
mkdir -p "$work/bin" "$work/screenshots"
printf '#!/bin/sh\necho "started: $* (in $(pwd))" >>"%s/started.log"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb "$work/program/tallyaid" "$mode" 2>"$work/tallyaid.err" &
app=$!
title='^(Update Tallywick|Payroll Update)$'
wait_until 30 xdotool search --onlyvisible --name "$title" || { echo "no window appeared" >&2; exit 1; }
win=$(xdotool search --onlyvisible --name "$title" | head -n1)
wait_until 10 bash -c "import -window $win -depth 8 '$work/screenshots/1-window.png'"
if [ "$(xdotool getwindowname "$win")" = "Update Tallywick" ]; then
  xdotool windowfocus --sync "$win" && xdotool key --window "$win" Return
  wait_until 60 bash -c "! kill -0 $app" || import -window "$win" -depth 8 "$work/screenshots/2-after-enter.png"
else
  # The instructions window: press its Close button.
  xdotool mousemove --window "$win" 410 282 click 1
  wait_until 20 bash -c "! kill -0 $app" || echo "the instructions window did not close" >&2
fi
kill "$app" 2>/dev/null || true
echo "screenshots: $(ls -d "$work"/screenshots/*.png | tr '\n' ' ')"
[ -f "$work/started.log" ] && cat "$work/started.log"
echo "program folder now holds: $(ls "$work/program" | tr '\n' ' ')"
