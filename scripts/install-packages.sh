#!/usr/bin/env bash
# Installs the Debian packages of the given lists (default: what building
# and running Kestrum needs, scripts/debian-packages.txt) that are missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
lists=("$@")
if ((${#lists[@]} == 0)); then
    lists=("$here/debian-packages.txt")
fi

missing=()
for list in "${lists[@]}"; do
    while read -r package; do
        [[ -z "$package" || "$package" == \#* ]] && continue
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done < "$list"
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
echo "Installing Debian packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
