#!/usr/bin/env bash
# Makes Zorvin.mp3, Kestrum's default alarm tune: a bell chime that rises for
# about 22 seconds, in pitch and in loudness, from a soft start (about 18 dB
# down) to a last phrase at full level (peak -1 dBFS), so that it wakes
# gently and then surely. Eight phrases of four strikes climb a C major
# scale of broken chords (C, D minor, E minor, F, G, A minor, G, C) and end
# on a ringing high C. 44.1 kHz mono, constant 64 kbit/s MPEG-1 Layer III.
#
# Every step uses fixed parameters and no dither, so the same sox and lame
# give the same file byte for byte. Needs sox, lame and awk.
#
#   alarm_clock/sounds/make-zorvin.sh [output.mp3]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/Zorvin.mp3}

for tool in sox lame awk; do
    command -v "$tool" >/dev/null || { echo "make-zorvin.sh: $tool is needed" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rate=44100
step=0.64   # seconds between strikes
phrases=8

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

# One sine partial: a 5 ms attack against clicks, then a logarithmic decay
# to silence over `length` seconds. $1 frequency, $2 length, $3 gain, $4 file.
partial() {
    sox -D -R -n -r "$rate" -c 1 -b 32 -e floating-point "$4" \
        synth "$2" sine "$1" fade q 0.005 "$2" "$(calc "$2 - 0.005")" \
        fade l 0 "$2" "$(calc "$2 - 0.01")" vol "$3"
}

# One bell strike: the fundamental rings longest; the octave and the
# inharmonic partial near 2.76 times it, which makes it sound like a small
# bell, are quieter and die away sooner, so the strike mellows as it fades.
# $1 frequency in Hz, $2 length of the fundamental, $3 gain, $4 file.
strike() {
    local f=$1
    partial "$f" "$2" 0.62 "$work/p1.wav"
    partial "$(calc "$f * 2")" "$(calc "$2 * 0.55")" 0.22 "$work/p2.wav"
    partial "$(calc "$f * 2.76")" "$(calc "$2 * 0.3")" 0.10 "$work/p3.wav"
    sox -D -R -m -v 1 "$work/p1.wav" -v 1 "$work/p2.wav" -v 1 "$work/p3.wav" "$4" vol "$3"
}

# The broken chords, one phrase each: root, third, fifth, then the octave
# (the last phrase climbs to the C two octaves up and holds it).
chords=(
    "523.25 659.26 783.99 1046.50"
    "587.33 698.46 880.00 1174.66"
    "659.26 783.99 987.77 1318.51"
    "698.46 880.00 1046.50 1396.91"
    "783.99 987.77 1174.66 1567.98"
    "880.00 1046.50 1318.51 1760.00"
    "783.99 987.77 1174.66 1567.98"
    "1046.50 1318.51 1567.98 2093.00"
)

mix=()
n=0
for ((p = 0; p < phrases; ++p)); do
    read -r -a notes <<<"${chords[$p]}"
    # Loudness rises by the same ratio each phrase: 18 dB over the tune.
    gain=$(calc "10 ^ ((-18 + 18 * $p / ($phrases - 1)) / 20)")
    for ((i = 0; i < 4; ++i)); do
        length=2.4
        if ((p == phrases - 1 && i == 3)); then
            length=4.0 # the last strike rings out
        fi
        strike "${notes[$i]}" "$length" "$gain" "$work/note$n.wav"
        sox -D -R "$work/note$n.wav" "$work/placed$n.wav" pad "$(calc "($p * 4 + $i) * $step")"
        mix+=("$work/placed$n.wav")
        n=$((n + 1))
    done
done

# Mix the strikes (each at its own level: -v 1 keeps sox -m from dividing),
# add a short silent tail, and bring the peak to -1 dBFS; 16-bit, no dither.
inputs=()
for file in "${mix[@]}"; do
    inputs+=(-v 1 "$file")
done
sox -D -R -m "${inputs[@]}" -b 32 -e floating-point "$work/sum.wav"
sox -D -R "$work/sum.wav" -b 16 -e signed-integer "$work/chime.wav" pad 0 0.2 gain -n -0.5

lame --quiet --cbr -b 64 -q 2 -m m --noreplaygain \
    --tt "Zorvin" --ta "Kestrum" --tc "Kestrum default alarm tune" \
    "$work/chime.wav" "$out"

echo "wrote $out ($(stat -c %s "$out") bytes)"
