#!/usr/bin/env bash
# Installs what Kestrum needs, builds Kestrum with its library and engine in
# build/ (no tests, benchmarks or fuzzers) and starts it from there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-packages.sh" "$root/scripts/debian-packages.txt"
# A build folder that the test command made keeps its options; it builds
# only what Kestrum needs all the same.
options=()
if [[ ! -f "$root/build/CMakeCache.txt" ]]; then
    options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUM_BUILD_TESTS=OFF -DKESTRUM_BUILD_BENCHMARKS=OFF
             -DKESTRUM_BUILD_DESIGNER_PLUGIN=OFF -DKESTRUM_BUILD_EXAMPLES=OFF -DKESTRUM_BUILD_SBMP3=OFF)
fi
cmake -S "$root" -B "$root/build" -G Ninja "${options[@]}"
cmake --build "$root/build" --target kestrum_runnable

# Kestrum.conf and the default tune lie beside the program; the build
# folder's own registry store (build/share/tarnel-platform/) names the
# library built there, so nothing is recorded in your own store.
exec "$root/build/bin/Kestrum"
