#!/usr/bin/env bash
# Builds everything (installing what is missing) and runs every test; then builds the Windows program
# with its test programs and runs those under Wine (tools/build-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
build=${OV_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc)"
status=0
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --output-junit ctest-results.xml || status=$?
python3 tools/report-skips.py "$build/ctest-results.xml" || true

tools/build-windows.sh || status=$?
exit $status
