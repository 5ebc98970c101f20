#!/usr/bin/env bash
# Makes player.png, the README's picture of the example player playing:
# tagged copies of the engine's test files in a playlist, played through
# SDL's disk driver on a virtual X display, the equalizer set by keys.
#
# Needs a build in build/ (tarnel-player and sbmp3), and Xvfb, xdotool and
# ImageMagick.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
data=$root/tests/data/engine
sbmp3=$root/build/bin/sbmp3
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

copy() {  # copy <test file> <name> <title> <track>
    cp "$data/$1" "$work/$2"
    "$sbmp3" tag "$work/$2" --title "$3" --artist "Test Signals" --track "$4"
}
copy vbr_xing.mp3 "01 Noise.mp3" "Silence, Sine and Noise" 1
copy steps.mp3 "02 Steps.mp3" "Rising Steps" 2
copy tone_1k.mp3 "03 Reference.mp3" "Reference Tone" 3
copy tone_100.mp3 "04 Hum.mp3" "Low Hum" 4
cp "$data/with_id3v1.mp3" "$work/05 Morning.mp3"
printf '#EXTM3U\r\n01 Noise.mp3\r\n02 Steps.mp3\r\n03 Reference.mp3\r\n04 Hum.mp3\r\n05 Morning.mp3\r\n' \
    >"$work/list.m3u"

export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp &
sleep 1
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/heard.raw" \
    "$root/build/bin/tarnel-player" --play "$work/list.m3u" &
sleep 1
window=$(xdotool search --sync --name "TarnelMP3 Player" | head -1)
# Equalizer on (Alt+E), then the bands: bass up, middle down, treble up.
xdotool windowfocus --sync "$window" key alt+e
for keys in "Tab Prior Prior" "Tab Prior" "Tab Next" "Tab Next Next" "Tab Prior"; do
    xdotool key $keys
done
sleep 1.2  # into the noise at the file's end
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$here/player.png"
echo "wrote $here/player.png"
