#!/usr/bin/env bash
# Fuzzes the module-version reader with libFuzzer under ASan and UBSan, on one core.
# Usage: tools/fuzz-pe-version.sh [seconds]   (default 600)
# Builds with Debian's clang (clang, libclang-rt-14-dev) into build-fuzz/, runs on a scratch copy of
# tests/fuzz/corpus/pe_version (seeded with tests/fixtures/pe), then merges whatever adds coverage back
# into that corpus, which stays minimal. A crash leaves its input in build-fuzz/ and fails the script.
set -euo pipefail

seconds=${1:-600}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
corpus=$root/tests/fuzz/corpus/pe_version
maxLen=65536

mkdir -p "$build" "$corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root" "$root/host/PeVersionReader.cpp" "$root/tests/fuzz/PeVersionFuzz.cpp" -o "$build/pe-version-fuzz"

[ -n "$(ls -A "$corpus")" ] || cp "$root"/tests/fixtures/pe/*.dll "$corpus"/

scratch=$build/corpus-run
rm -rf "$scratch" && mkdir -p "$scratch"
cp "$corpus"/* "$scratch"/

# One job on one worker: libFuzzer runs it as a child and writes its output to fuzz-0.log.
cd "$build"
rm -f fuzz-0.log
status=0
./pe-version-fuzz -max_total_time="$seconds" -max_len=$maxLen -workers=1 -jobs=1 -print_final_stats=1 \
    -artifact_prefix="$build/" "$scratch" "$root/tests/fixtures/pe" || status=$?
tail -n 25 fuzz-0.log
[ "$status" -eq 0 ] || { echo "fuzzing failed (exit $status), see $build/fuzz-0.log"; exit "$status"; }

# Keep only inputs that add coverage: merge everything into a fresh folder, then replace the corpus.
merged=$build/corpus-merged
rm -rf "$merged" && mkdir -p "$merged"
./pe-version-fuzz -merge=1 -max_len=$maxLen "$merged" "$corpus" "$scratch" "$root/tests/fixtures/pe"
rm -f "$corpus"/*
cp "$merged"/* "$corpus"/
echo "corpus: $(ls "$corpus" | wc -l) files, $(du -sk "$corpus" | cut -f1) KiB"
