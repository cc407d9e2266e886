#!/usr/bin/env bash
# From nothing to CTest's summary: installs what is missing, builds, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd "${TALLYAID_BUILD_DIR:-build}"
ctest --output-on-failure -j2 "$@"
