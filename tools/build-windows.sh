#!/usr/bin/env bash
# Builds the Windows program (and its GUI-free test programs) on Linux with Debian's mingw-w64 GCC,
# installing whatever is missing, then runs those tests under Wine through CTest.
# Usage: tools/build-windows.sh [--no-tests]   (build folder: OV_WINDOWS_BUILD_DIR, default build-windows)
# The program: $OV_WINDOWS_BUILD_DIR/ov_installer_artefacts/Release/ov_installer.exe
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh --windows
build=${OV_WINDOWS_BUILD_DIR:-build-windows}
cache=${OV_JUCE_CACHE:-/var/cache/ov_installer}

# The framework with our MinGW patches: a copy of the cached source beside it, one per state of the
# patch series, so that every build tree on the machine shares its compiled objects through ccache.
series=$(cat tools/juce-mingw/*.patch | sha256sum | cut -c1-12)
juce="$cache/juce-8.0.6-mingw-$series"
if [ ! -f "$juce/CMakeLists.txt" ]; then
    rm -rf "$juce.partial"
    mkdir -p "$juce.partial/extras"
    cp -a "$cache/juce-8.0.6/CMakeLists.txt" "$cache/juce-8.0.6/LICENSE.md" "$cache/juce-8.0.6/modules" "$juce.partial/"
    cp -a "$cache/juce-8.0.6/extras/Build" "$juce.partial/extras/"
    for patch in tools/juce-mingw/*.patch; do
        patch -d "$juce.partial" -p1 --quiet --forward < "$patch"
    done
    mv "$juce.partial" "$juce"
fi

# The Wine prefix the test programs start from, made before the build lists their tests under Wine.
tools/wine-run.sh

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/tools/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release -DOV_JUCE_DIR="$juce"
cmake --build "$build" -j "$(nproc)"
if [ "${1:-}" != "--no-tests" ]; then
    status=0
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --output-junit ctest-results.xml || status=$?
    python3 tools/report-skips.py "$build/ctest-results.xml" || true
    exit $status
fi
