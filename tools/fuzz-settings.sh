#!/usr/bin/env bash
# Fuzzes the whole read step of the shared settings file with libFuzzer under ASan and UBSan, on one core.
# Usage: tools/fuzz-settings.sh [seconds]   (default 600)
# Builds the framework's core module and the settings code with Debian's clang (clang, libclang-rt-14-dev)
# into build-fuzz/, runs on a scratch copy of tests/fuzz/corpus/settings with 256 MB of memory and one
# second per input, then merges whatever adds coverage back into that corpus, which stays minimal.
# A crash, leak, timeout or memory excess leaves its input in build-fuzz/ and fails the script.
set -euo pipefail

seconds=${1:-600}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
corpus=$root/tests/fuzz/corpus/settings
juce=${OV_JUCE_DIR:-/var/cache/ov_installer/juce-8.0.6}/modules
maxLen=1100000
limits=(-rss_limit_mb=256 -malloc_limit_mb=256 -timeout=1 -max_len=$maxLen)

# The product header is generated from product/product.json when CMake configures a build tree.
generated=${OV_BUILD_DIR:-$root/build}/generated
[ -f "$generated/product/ProductDefinition.h" ] || cmake -S "$root" -B "${OV_BUILD_DIR:-$root/build}" >/dev/null

mkdir -p "$build" "$corpus"
flags=(-std=c++17 -g -O1 -fsanitize=address,undefined -fno-sanitize-recover=undefined -DNDEBUG=1
       -DJUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1 -DJUCE_STANDALONE_APPLICATION=1 -DJUCE_USE_CURL=0
       -DJUCE_WEB_BROWSER=0 -DJUCE_MODULE_AVAILABLE_juce_core=1 -I"$juce" -I"$root" -I"$generated")

# The framework's core is compiled once and kept; it does not change between runs.
[ -f "$build/juce_core.o" ] || clang++ "${flags[@]}" -fsanitize=fuzzer-no-link -c "$juce/juce_core/juce_core.cpp" \
    -o "$build/juce_core.o"
clang++ "${flags[@]}" -fsanitize=fuzzer "$build/juce_core.o" "$juce/juce_core/juce_core_CompilationTime.cpp" \
    "$root"/host/{Host,PeVersionReader,RegularFile,WinePrefix}.cpp \
    "$root"/product/{ProductManifest,SettingsFile,SettingsText,SettingsXmlWalk}.cpp "$root/tests/fuzz/SettingsFuzz.cpp" \
    -o "$build/settings-fuzz" -lpthread -ldl -lrt -lz

scratch=$build/settings-corpus-run
rm -rf "$scratch" && mkdir -p "$scratch"
cp "$corpus"/* "$scratch"/ 2>/dev/null || true

# One job on one worker: libFuzzer runs it as a child and writes its output to fuzz-0.log.
cd "$build"
rm -f fuzz-0.log
status=0
./settings-fuzz -max_total_time="$seconds" "${limits[@]}" -workers=1 -jobs=1 -print_final_stats=1 \
    -artifact_prefix="$build/settings-" "$scratch" || status=$?
tail -n 25 fuzz-0.log
[ "$status" -eq 0 ] || { echo "fuzzing failed (exit $status), see $build/fuzz-0.log"; exit "$status"; }

# Keep only inputs that add coverage: merge everything into a fresh folder, then replace the corpus. The
# hand-made worst cases (shape-*) stay whatever coverage they add: they are there for what they once cost.
merged=$build/settings-corpus-merged
rm -rf "$merged" && mkdir -p "$merged"
cp "$corpus"/shape-* "$merged"/ 2>/dev/null || true
./settings-fuzz -merge=1 "${limits[@]}" "$merged" "$corpus" "$scratch"
rm -f "$corpus"/*
cp "$merged"/* "$corpus"/
echo "corpus: $(ls "$corpus" | wc -l) files, $(du -sk "$corpus" | cut -f1) KiB"
