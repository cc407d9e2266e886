#!/usr/bin/env bash
# Builds the Windows executable from nothing: Debian's MinGW-w64, and Qt, libcurl and
# libcrypto cross-built from Debian's own sources once (scripts/windeps.sh, cached outside
# the checkout). One static tallyaid.exe, nothing else to copy.
#   bash scripts/windows.sh               build-win/tallyaid.exe, for users
#   bash scripts/windows.sh --tests       the test build (overrides on, test programs) in
#                                         build-win-tests/, for the Windows test stage
# The maker's key goes in as for the Linux build: -DTALLYAID_UPDATE_KEY=... after the mode.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=release
[ "${1:-}" = --tests ] && { mode=tests; shift; }
bash scripts/setup.sh --windows
prefix="$(bash scripts/windeps.sh | tail -n1)"
options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF)
build="${TALLYAID_WINDOWS_BUILD_DIR:-build-win}"
if [ $mode = tests ]; then
  options=(-DCMAKE_BUILD_TYPE=Release -DTALLYAID_TEST_OVERRIDES=ON -DBUILD_TESTING=ON
           -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/tools/wine/run.sh"
           # The end-to-end test signs a stand-in remote-support tool as this vendor.
           -DTALLYAID_VENDOR_PUBLISHER="Tallyaid Test Vendor GmbH"
           -DTALLYAID_VENDOR_ORGANISATION="Tallyaid Test Vendor GmbH"
           -DTALLYAID_VENDOR_LOCALITY=Teststadt -DTALLYAID_VENDOR_COUNTRY=DE)
  build="${TALLYAID_WINDOWS_BUILD_DIR:-build-win-tests}"
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DTALLYAID_WINDOWS_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DOPENSSL_ROOT_DIR="$prefix" "${options[@]}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
exe="$build/src/tallyaid.exe"
[ -f "$exe" ] || { echo "windows: $exe was not built" >&2; exit 1; }
x86_64-w64-mingw32-strip "$exe" 2>/dev/null || true
echo "windows: $(cd "$(dirname "$exe")" && pwd)/tallyaid.exe, $(stat -c %s "$exe") bytes"
