#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with AddressSanitizer and UBSan) into build-fuzz/ and
# runs each for SECONDS from its seed corpus in tests/fuzz/corpus/ (new inputs go to
# build-fuzz/corpus/, the repository's seeds are left as they are).
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]     (30 s each, every target, by default)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
bash scripts/setup.sh
build="${TALLYAID_FUZZ_BUILD_DIR:-build-fuzz}"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYAID_FUZZ=ON \
  -DTALLYAID_TEST_OVERRIDES=ON -DBUILD_TESTING=OFF >/dev/null
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(validate versionfile installername helptopic msglayout signature)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >/dev/null
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
failed=0
printf '%-14s %12s %8s %8s %s\n' target executions cov ft result
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus" "$build/artifacts/$t"
  log="$build/fuzz_$t.log"
  if "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$build/artifacts/$t/" "$corpus" "tests/fuzz/corpus/$t" >"$log" 2>&1; then
    result=ok
  else
    result="FAILED (see $log)"
    failed=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2)
  printf '%-14s %12s %8s %8s %s\n' "$t" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
exit $failed
