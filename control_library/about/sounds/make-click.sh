#!/usr/bin/env bash
# Makes SonbrelClickz.wav, the click the About box plays when it opens:
# 45 ms of two soft tones that die away quickly, 22.05 kHz mono 16-bit PCM.
# Needs sox.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
sox -n -r 22050 -c 1 -b 16 "$here/SonbrelClickz.wav" \
    synth 0.045 sine 1760 sine 2637 remix 1-2 \
    fade q 0.001 0.045 0.04 gain -n -10
