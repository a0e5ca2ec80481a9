#!/usr/bin/env bash
# Writes the seed corpora fuzz/corpus/<target>/ again from the test fixtures and slices of the
# bundled database. Seeds that the fuzzer found and that were kept (regression inputs and
# merged coverage) are left alone: only files of the seed program's own names are rewritten.
#   fuzz/make_seeds.sh [BUILD_DIR]   (default build-fuzzreplay, configured when missing)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-fuzzreplay}
cd "$root"

if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DLITHORA_WERROR=ON
fi
ninja -C "$build" -j2 lithora_fuzz_make_seeds
"$build/fuzz/lithora_fuzz_make_seeds" "$root" "$root/fuzz/corpus"
du -sh "$root/fuzz/corpus"
