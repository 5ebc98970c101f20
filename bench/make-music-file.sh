#!/usr/bin/env bash
# Makes the music-like file that bench_engine plays: pink noise with slow
# sine sweeps, a different sweep on each channel, encoded as typical music
# is (LAME -V 2, VBR with a Xing frame). Unlike a pure tone it keeps every
# band of the decoder and the equalizer busy.
#
# Usage: make-music-file.sh OUTPUT.mp3 [SECONDS]   (default 300 s)
# Needs the Debian packages sox and lame.
set -euo pipefail
out=$1
seconds=${2:-300}
for tool in sox lame; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sweeps=$(( (seconds + 9) / 10 ))
# Ten-second sweeps over the audible range, up on the left and down on the right.
sox -D -R -n -r 44100 -c 2 -b 16 "$work/sweep.wav" synth 10 sine 40:14000 sine 14000:40 vol 0.25 \
    repeat $((sweeps - 1)) trim 0 "$seconds"
sox -D -R -n -r 44100 -c 2 -b 16 "$work/pink.wav" synth "$seconds" pinknoise vol 0.35
sox -D -m "$work/pink.wav" "$work/sweep.wav" "$work/music.wav"
lame --quiet -V 2 "$work/music.wav" "$work/music.mp3"
mv "$work/music.mp3" "$out"
