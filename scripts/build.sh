#!/usr/bin/env bash
# Configures and builds into build/ (or $TALLYAID_BUILD_DIR). This build is for the project's
# own tests, demo and benchmarks, so it reads the test-only overrides from the environment.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${TALLYAID_BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYAID_TEST_OVERRIDES=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
