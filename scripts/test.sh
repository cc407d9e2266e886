#!/usr/bin/env bash
# From nothing to the test summaries: installs what is missing, builds, runs every test.
#   bash scripts/test.sh              the suite, then the sanitizer suite, then each fuzz
#                                     target for a short fixed time (what CI runs)
#   bash scripts/test.sh --quick      the suite alone
#   bash scripts/test.sh --sanitize   the sanitizer suite alone
#   bash scripts/test.sh --windows    the Windows stage alone
# Extra arguments after the mode go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=all
case "${1:-}" in
  --quick) mode=quick; shift ;;
  --sanitize) mode=sanitize; shift ;;
  --windows) mode=windows; shift ;;
esac
bash scripts/setup.sh
stage() { echo; echo "=== $* ($(date +%H:%M:%S))"; }

if [ $mode = all ] || [ $mode = quick ]; then
  stage "test suite"
  bash scripts/build.sh
  (cd "${TALLYAID_BUILD_DIR:-build}" && ctest --output-on-failure -j2 "$@")
fi

if [ $mode = all ] || [ $mode = sanitize ]; then
  # AddressSanitizer and UBSan over every test, the end-to-end script included. Only the
  # system libraries' own leaks are suppressed (tests/sanitize/lsan.supp).
  stage "sanitizer suite"
  asan="${TALLYAID_ASAN_BUILD_DIR:-build-asan}"
  cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYAID_TEST_OVERRIDES=ON -DTALLYAID_SANITIZE=ON >/dev/null
  cmake --build "$asan" -j"$(nproc)"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/sanitize/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  (cd "$asan" && ctest --output-on-failure -j2 "$@")
fi

if [ $mode = all ]; then
  stage "fuzz targets, ${TALLYAID_FUZZ_SECONDS:-30} s each"
  bash scripts/fuzz.sh "${TALLYAID_FUZZ_SECONDS:-30}"
fi
if [ $mode = all ] || [ $mode = windows ]; then
  # Last, as the longest from nothing: Qt, libcurl and libcrypto cross-built once from
  # Debian's sources (cached outside the checkout), then every test program under Wine.
  stage "Windows build"
  bash scripts/windows.sh --tests
  stage "Windows tests under Wine"
  bash scripts/wintest.sh "$@"
fi
stage "done"
