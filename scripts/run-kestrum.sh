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

# Kestrum.conf and the default tune Zorvin.mp3 lie beside the program.
exec "$root/build/bin/Kestrum"
