#!/usr/bin/env bash
# Installs what is missing, builds the project in build/, registers the
# controls of the library built there and starts Kestrum.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-packages.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build"

# Kestrum creates its player by ProgID: record the library just built.
"$root/build/bin/tarnel-register" "$root/build/lib/libTarnelMP3.so"

kestrum="$root/build/bin/Kestrum"
if [[ ! -x "$kestrum" ]]; then
    echo "Kestrum is not built yet: this version of the project builds the TarnelMP3 library and its tests only."
    exit 0
fi
exec "$kestrum"
