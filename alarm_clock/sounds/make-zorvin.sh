#!/usr/bin/env bash
# Makes Zorvin.mp3, Kestrum's default alarm tune: a rising four-note bell
# chime (C5 E5 G5 C6) of about four seconds, 44.1 kHz stereo, peaking at
# -12 dBFS, encoded as constant 128 kbit/s MPEG-1 Layer III.
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
step=0.42 # seconds between strikes

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
# A slight left/right difference per note gives the chime some width.
# $1 frequency in Hz, $2 left gain, $3 right gain, $4 file.
strike() {
    local f=$1
    partial "$f" 2.4 0.62 "$work/p1.wav"
    partial "$(calc "$f * 2")" 1.3 0.22 "$work/p2.wav"
    partial "$(calc "$f * 2.76")" 0.7 0.10 "$work/p3.wav"
    sox -D -R -m "$work/p1.wav" "$work/p2.wav" "$work/p3.wav" -c 2 "$4" remix 1v"$2" 1v"$3"
}

notes=(523.25 659.26 783.99 1046.50)
lefts=(1.00 0.85 1.00 0.90)
rights=(0.85 1.00 0.90 1.00)
mix=()
for i in "${!notes[@]}"; do
    strike "${notes[$i]}" "${lefts[$i]}" "${rights[$i]}" "$work/note$i.wav"
    sox -D -R "$work/note$i.wav" "$work/placed$i.wav" pad "$(calc "$i * $step")"
    mix+=("$work/placed$i.wav")
done

# Mix the strikes (sox -m scales each by 1/4, so nothing clips), add a short
# silent tail, and bring the peak to -12 dBFS; 16-bit without dither.
sox -D -R -m "${mix[@]}" -b 16 -e signed-integer "$work/chime.wav" \
    pad 0 0.1 gain -n -12

lame --quiet --cbr -b 128 -q 2 -m j --noreplaygain \
    --tt "Zorvin" --ta "Kestrum" --tc "Kestrum default alarm tune" \
    "$work/chime.wav" "$out"

echo "wrote $out ($(stat -c %s "$out") bytes)"
