#!/usr/bin/env bash
# One script behind the README's two commands:
#   scripts/setup.sh run    install what is missing, build, pack the bundled data, start the program
#   scripts/setup.sh test   install what is missing, build with warnings as errors, run every test
#   scripts/setup.sh bench  install what is missing, build the benchmarks, print the table of figures
set -euo pipefail

mode=${1:-run}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

packages=(build-essential cmake ninja-build pkg-config
          libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
          qt6-base-dev fonts-liberation2 python3 poppler-utils
          help2man dpkg-dev file desktop-file-utils libsqlite3-dev
          python3-pytest python3-pymatgen python3-yaml libxy-dev locales lld)

# shellcheck source=install_packages.sh
source "$root/scripts/install_packages.sh"

build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}

# Runs a step and says how long it took, so that a CI log shows where the time goes.
timed() {
    local name=$1 start=$SECONDS
    shift
    "$@"
    echo "setup.sh: $name took $((SECONDS - start)) s" >&2
}

timed "installing packages" install_packages "${packages[@]}"
case "$mode" in
run)
    build build
    exec build/bin/lithora
    ;;
test)
    # The data builder's tests, then a rebuild of the bundled database from data/raw/ into a
    # temporary directory that must match the committed files byte for byte (a few minutes).
    # Debian's interpreter: the python3-* packages live there.
    timed "the data builder's tests" /usr/bin/python3 -m pytest -q data/tests
    timed "the data rebuild check" bash scripts/check_data_reproducible.sh
    # Most of a test run is compiling, twice: both builds compile in batches and link with lld,
    # and neither writes full debug information (line tables are enough for the sanitizers'
    # reports to name files and lines). The sanitized build is unoptimised but for the core
    # and the data generator (core/CMakeLists.txt): all of it at -O1 compiled far slower, and
    # the sanitizers make GCC warn of values "maybe used uninitialized" inside the standard
    # library there.
    timed "the warning-free build" build build-ci -DLITHORA_WERROR=ON \
        -DLITHORA_BUILD_BENCHMARKS=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG"
    timed "its tests" ctest --test-dir build-ci --output-on-failure --parallel "$(nproc)"
    # The same tests with the address and undefined-behaviour sanitizers. Qt keeps some
    # allocations for the life of the process, so leak reports are off. The sanitized build
    # leaves out what tests the data, the build's layout and the identification's quality rather
    # than our code (tests/CMakeLists.txt says which): they ran above.
    timed "the sanitized build" build build-sanitize -DCMAKE_BUILD_TYPE=Debug \
        -DLITHORA_WERROR=ON -DLITHORA_SANITIZE=ON -DCMAKE_CXX_FLAGS_DEBUG="-g1"
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        timed "its tests" ctest --test-dir build-sanitize --output-on-failure --parallel "$(nproc)"
    ;;
bench)
    build build-bench -DLITHORA_BUILD_BENCHMARKS=ON -DLITHORA_BUILD_TESTS=OFF
    python3 bench/report.py build-bench "${@:2}"
    ;;
*)
    echo "usage: scripts/setup.sh run|test|bench" >&2
    exit 2
    ;;
esac
