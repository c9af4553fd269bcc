#!/usr/bin/env bash
# Builds everything (installing what is missing) and runs every test; then builds the Windows program
# with its test programs and runs those under Wine (tools/build-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
build=${OV_BUILD_DIR:-build}
windows_build=${OV_WINDOWS_BUILD_DIR:-build-windows}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DOV_WINDOWS_INSTALLER="$PWD/$windows_build/ov_installer_artefacts/Release/ov_installer.exe"
cmake --build "$build" -j "$(nproc)"
status=0
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -LE windows --output-junit ctest-results.xml || status=$?
python3 tools/report-skips.py "$build/ctest-results.xml" || true

# The Windows program: its test programs under Wine, then the program itself driven like the Linux build.
OV_WINDOWS_BUILD_DIR=$windows_build tools/build-windows.sh || status=$?
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -L windows || status=$?
exit $status
