#!/usr/bin/env bash
# The fuzz campaign: builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs each
# for the given time, two at a time, each on its own copy of its seed corpus.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 600 seconds, every target)
# LITHORA_FUZZ_FLAGS adds libFuzzer options to every run (e.g. -use_value_profile=1).
# Working corpora: build-fuzz/work/<target>; crash, timeout and out-of-memory inputs:
# build-fuzz/findings/<target>/; logs: build-fuzz/logs/<target>.log. Prints a table at the end
# (also written to build-fuzz/summary.txt) and exits with 1 when any target found something.
set -euo pipefail

seconds=${1:-600}
shift || true
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-fuzz
cd "$root"

all_targets=(fuzz_records fuzz_tables fuzz_datadir fuzz_card fuzz_search_form fuzz_search_optics
             fuzz_search_elements fuzz_search_text fuzz_source fuzz_peak_list fuzz_profile
             fuzz_search_identify fuzz_scan_file fuzz_patterns)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi

# clang with libFuzzer, and what configuring the project needs (as scripts/setup.sh installs it).
packages=(clang-14 libclang-rt-14-dev build-essential cmake ninja-build pkg-config python3
          libgtest-dev libcli11-dev nlohmann-json3-dev qt6-base-dev help2man libxy-dev)

# shellcheck source=install_packages.sh
source "$root/scripts/install_packages.sh"

compiler() {
    # clang-14 is what Debian 12 installs; a plain clang will do as well.
    if command -v "$1-14" >/dev/null; then echo "$1-14"; else echo "$1"; fi
}

install_packages "${packages[@]}"
CC=$(compiler clang) CXX=$(compiler clang++) \
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLITHORA_BUILD_FUZZERS=ON \
    -DLITHORA_WERROR=ON >/dev/null
ninja -C "$build" -j2 "${targets[@]}"

mkdir -p "$build/work" "$build/findings" "$build/logs"

# One target: its own working corpus and scratch directory, its findings kept per target.
run_target() {
    local target=$1
    local work=$build/work/$target
    local findings=$build/findings/$target
    local base=${TMPDIR:-/tmp}
    [ -w /dev/shm ] && base=/dev/shm
    local scratch
    scratch=$(mktemp -d "$base/lithora-fuzz-$target.XXXXXX")
    # Findings of an earlier run are gone once they are fixed: each run reports its own.
    rm -rf "$findings"
    mkdir -p "$work" "$findings"
    cp -n "$root/fuzz/corpus/$target"/* "$work/" 2>/dev/null || true
    local start=$SECONDS
    local rc=0
    LITHORA_FUZZ_SCRATCH=$scratch "$build/fuzz/$target" \
        -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        -dict="$root/fuzz/lithora.dict" -artifact_prefix="$findings/" ${LITHORA_FUZZ_FLAGS:-} "$work" \
        >"$build/logs/$target.log" 2>&1 || rc=$?
    echo "$((SECONDS - start)) $rc" >"$build/logs/$target.time"
    rm -rf "$scratch"
}

for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n || true; done
    echo "$(date +%T) fuzzing $target for ${seconds}s"
    run_target "$target" &
done
wait

stat() { # stat NAME LOG: a final statistic of libFuzzer
    { grep -m1 "^stat::$1:" "$2" || true; } | awk '{print $2}'
}

found_any=0
# A brace group with a redirection runs in this shell, so found_any keeps its value.
{
    printf '%-22s %8s %12s %8s %8s %8s %8s %9s %8s\n' target seconds executions "exec/s" cov ft \
        corpus "corpus_kb" findings
    for target in "${targets[@]}"; do
        log=$build/logs/$target.log
        read -r elapsed _ <"$build/logs/$target.time"
        executions=$(stat number_of_executed_units "$log")
        rate=$(stat average_exec_per_sec "$log")
        last=$({ grep -E "cov: [0-9]+ ft: [0-9]+" "$log" || true; } | tail -1)
        cov=$(sed -nE 's/.*cov: ([0-9]+).*/\1/p' <<<"$last")
        ft=$(sed -nE 's/.*ft: ([0-9]+).*/\1/p' <<<"$last")
        corpus=$(find "$build/work/$target" -type f | wc -l)
        corpus_kb=$(du -sk "$build/work/$target" | cut -f1)
        findings=$(find "$build/findings/$target" -type f \
            \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' \) | wc -l)
        [ "$findings" -gt 0 ] && found_any=1
        printf '%-22s %8s %12s %8s %8s %8s %8s %9s %8s\n' "$target" "$elapsed" "${executions:-?}" \
            "${rate:-?}" "${cov:-?}" "${ft:-?}" "$corpus" "$corpus_kb" "$findings"
    done
} >"$build/summary.txt"
cat "$build/summary.txt"

if [ "$found_any" -ne 0 ]; then
    echo "Findings are in $build/findings/ (the logs in $build/logs/ show each report)."
    exit 1
fi
