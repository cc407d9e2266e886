#!/usr/bin/env bash
# The Windows test stage: the Windows test build (scripts/windows.sh --tests) run by CTest
# under Wine, in a Wine prefix of its own in a temporary folder that goes when the stage
# ends, with the wine server it started. Extra arguments go to ctest.
#   bash scripts/wintest.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build="${TALLYAID_WINDOWS_BUILD_DIR:-build-win-tests}"
[ -f "$build/CTestTestfile.cmake" ] || { echo "wintest: no Windows test build in $build (bash scripts/windows.sh --tests)" >&2; exit 2; }
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64
# No browser engine or .NET runtime in the prefix: nothing here needs them, and Wine would
# otherwise offer to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true # the server of this prefix alone
  rm -rf "$work"
}
trap cleanup EXIT
t0=$SECONDS
wineboot -i >/dev/null 2>&1
# Temporary files of the Windows programs in the stage's own folder, on drive Z: (the
# machine's root), so that the build machine's helpers can reach them by the same path.
mkdir -p "$work/temp"
temp="Z:$(echo "$work/temp" | tr / '\\')"
for name in TEMP TMP; do
  wine reg add 'HKCU\Environment' /v $name /t REG_SZ /d "$temp" /f >/dev/null 2>&1
done
# The offscreen platform of the test programs reads fonts from one folder: the faces that
# the windows ask for or that stand in for them, the Wine prefix's own among them.
mkdir -p "$work/fonts"
for face in /usr/share/wine/fonts/tahoma*.ttf /usr/share/fonts/truetype/liberation/*.ttf \
            /usr/share/fonts/truetype/open-sans/*.ttf /usr/share/fonts/truetype/dejavu/*.ttf; do
  [ -f "$face" ] && ln -sf "$face" "$work/fonts/"
done
export QT_QPA_FONTDIR="$work/fonts"
echo "wintest: Wine prefix ready in $((SECONDS - t0)) s"
(cd "$build" && ctest --output-on-failure -j2 "$@")
