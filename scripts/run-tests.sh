#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: in an
# optimised build (build/), and with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-sanitize/, without the benchmarks, which
# no test runs). Fails when any test fails.
# Under CI (CI=true) compiler warnings are errors.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-packages.sh" "$root/scripts/debian-packages.txt" "$root/scripts/debian-packages-tests.txt"

werror=OFF
if [[ "${CI:-}" == true ]]; then
    werror=ON
fi

run_suite() {
    local folder=$1
    shift
    cmake -S "$root" -B "$root/$folder" -G Ninja -DKESTRUM_WERROR="$werror" \
        -DKESTRUM_BUILD_TESTS=ON -DKESTRUM_BUILD_BENCHMARKS=ON -DKESTRUM_BUILD_DESIGNER_PLUGIN=ON \
        -DKESTRUM_BUILD_EXAMPLES=ON -DKESTRUM_BUILD_SBMP3=ON "$@"
    cmake --build "$root/$folder"
    (cd "$root/$folder" && ctest --output-on-failure --parallel 2)
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKESTRUM_SANITIZE=ON -DKESTRUM_BUILD_BENCHMARKS=OFF
