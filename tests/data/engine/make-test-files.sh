#!/usr/bin/env bash
# Makes the audio engine's test files in this folder, and expected.txt with
# what ffprobe and mpg123 report about each MPEG file.
#
# Needs the Debian packages lame, sox and ffmpeg (ffmpeg and ffprobe), plus
# mpg123. Only this script needs them: the tests read the files it made,
# which are committed beside it. The output is the same on every run with
# the same package versions (sox without dither, fixed noise seed, ffmpeg in
# bit-exact mode, our own pseudo-random generator).
#
# Files (44100 Hz stereo CBR 128 kbit/s with a LAME Info frame unless said):
#   tone_1k.mp3      2 s, 1000 Hz sine at amplitude 0.5 on both channels
#   tone_100.mp3     2 s, 100 Hz sine at amplitude 0.5
#   steps.mp3        4 s: 1 s each of 440, 880, 1760 and 3520 Hz, amplitude 0.5
#   left_only.mp3    1 s, 1000 Hz on the left channel, right silent
#   mono_mpeg2.mp3   1 s, 22050 Hz mono, MPEG-2 Layer III, 64 kbit/s
#   mpeg25.mp3       1 s, 11025 Hz stereo, MPEG-2.5 Layer III, 32 kbit/s
#   layer2.mp2       1 s, 48000 Hz stereo, MPEG-1 Layer II, 128 kbit/s, no Info frame
#   vbr_xing.mp3     3 s of silence, sine and noise, lame -V 2 (Xing frame)
#   vbr_noxing.mp3   the same without the Xing frame (lame -t)
#   id3v2_front.mp3  0.5 s tone after an ID3v2 tag with 512 bytes of padding
#   with_id3v1.mp3   0.5 s tone with the ID3v1 tag listed in expected.txt
#   truncated.mp3    tone_1k.mp3 cut 200 bytes into its last frame
#   random.mp3       8 KiB of seeded pseudo-random bytes
#   not_audio.wav    0.1 s of 8000 Hz mono 16-bit WAV
#   crc_info.mp3     0.5 s tone with CRC protection (lame -p); the Info frame's
#                    tag sits where it would without CRC
#   joined.mp3       two 0.5 s files, each with its Info frame, one after the
#                    other: the first Info frame counts only the first half
#   rate_change.mp3  0.5 s of 1000 Hz at 44100 Hz (Info frame), then 0.5 s of
#                    500 Hz at 11025 Hz (MPEG-2.5, 32 kbit/s), then 0.5 s of
#                    1500 Hz at 48000 Hz, the later parts without Info frames
#   channel_change.mp3  0.5 s of 440 Hz mono (Info frame), then 0.5 s of
#                    880 Hz stereo, both 44100 Hz
#   free_format.mp3  0.5 s tone in free format at 200 kbit/s (lame --freeformat)
#   junk_prefix.mp3  70 KiB of zeros, then a 0.5 s tone (Info frame)
#   huge_count.mp3   a 0.5 s tone whose Info frame claims 0xFFFFFFFF frames
#   whole_chunks.mp3     44100 Hz, exactly 45056 frames (44 x 1024), 1000 Hz
#   whole_chunks_8k.mp3  8000 Hz MPEG-2.5 mono 32 kbit/s, exactly 8192 frames (8 x 1024)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

for tool in lame sox ffmpeg ffprobe mpg123; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A WAV of the given rate and channels; the remaining arguments are sox effects.
wav() {
    local out=$1 rate=$2 channels=$3
    shift 3
    sox -D -R -n -r "$rate" -c "$channels" -b 16 "$work/$out" "$@"
}

mp3() {  # mp3 <wav> <output> <lame options...>
    local in=$1 out=$2
    shift 2
    lame --quiet "$@" "$work/$in" "$out"
}

wav tone_1k.wav 44100 2 synth 2.0 sine 1000 vol 0.5
mp3 tone_1k.wav tone_1k.mp3 -b 128 --cbr

wav tone_100.wav 44100 2 synth 2.0 sine 100 vol 0.5
mp3 tone_100.wav tone_100.mp3 -b 128 --cbr

for frequency in 440 880 1760 3520; do
    wav "step_$frequency.wav" 44100 2 synth 1.0 sine "$frequency" vol 0.5
done
sox -D "$work/step_440.wav" "$work/step_880.wav" "$work/step_1760.wav" \
    "$work/step_3520.wav" "$work/steps.wav"
mp3 steps.wav steps.mp3 -b 128 --cbr

wav left_only.wav 44100 2 synth 1.0 sine 1000 vol 0.5 remix 1 0
mp3 left_only.wav left_only.mp3 -b 128 --cbr

wav mono22.wav 22050 1 synth 1.0 sine 1000 vol 0.5
mp3 mono22.wav mono_mpeg2.mp3 -b 64 --cbr -m m

wav stereo11.wav 11025 2 synth 1.0 sine 500 vol 0.5
mp3 stereo11.wav mpeg25.mp3 -b 32 --cbr

wav stereo48.wav 48000 2 synth 1.0 sine 1000 vol 0.5
ffmpeg -loglevel error -y -i "$work/stereo48.wav" -c:a mp2 -b:a 128k \
    -fflags +bitexact -flags:a +bitexact -map_metadata -1 -f mp2 layer2.mp2

# Silence, a sine and noise: the frame bitrates really vary.
wav vbr_silence.wav 44100 2 synth 1.0 sine 440 vol 0
wav vbr_sine.wav 44100 2 synth 1.0 sine 440 vol 0.5
wav vbr_noise.wav 44100 2 synth 1.0 whitenoise vol 0.2
sox -D "$work/vbr_silence.wav" "$work/vbr_sine.wav" "$work/vbr_noise.wav" "$work/vbr.wav"
mp3 vbr.wav vbr_xing.mp3 -V 2
mp3 vbr.wav vbr_noxing.mp3 -V 2 -t

wav short.wav 44100 2 synth 0.5 sine 1000 vol 0.5
mp3 short.wav id3v2_front.mp3 -b 128 --cbr --id3v2-only --pad-id3v2-size 512 \
    --tt "Front Title" --ta "Front Artist"

# The ID3v1 tag's fields, also written to expected.txt for the tests.
tag_title="Morning Tune"
tag_artist="Test Artist"
tag_album="Test Album"
tag_year=2001
tag_comment="Made by make-test-files"
tag_genre=17
mp3 short.wav with_id3v1.mp3 -b 128 --cbr --id3v1-only --tt "$tag_title" --ta "$tag_artist" \
    --tl "$tag_album" --ty "$tag_year" --tc "$tag_comment" --tg "$tag_genre"

size=$(stat -c %s tone_1k.mp3)
head -c $((size - 200)) tone_1k.mp3 >truncated.mp3

# 8 KiB from a 32-bit xorshift generator with a fixed seed.
random_bytes() {
    local state=$1 count=$2 i octal=""
    for ((i = 0; i < count; ++i)); do
        ((state ^= (state << 13) & 0xFFFFFFFF, state ^= state >> 17,
          state ^= (state << 5) & 0xFFFFFFFF)) || true
        printf -v octal '\\%03o' $((state & 0xFF))
        printf "$octal"
    done
}
random_bytes 2463534242 8192 >random.mp3

wav not_audio.wav 8000 1 synth 0.1 sine 440 vol 0.5
cp "$work/not_audio.wav" not_audio.wav

# Streams that change, join or hide. lame -t leaves out the Info frame, so a
# part that follows another one is plain audio frames.
mp3 short.wav crc_info.mp3 -b 128 --cbr -p

wav high.wav 44100 2 synth 0.5 sine 2000 vol 0.5
mp3 short.wav joined_first.mp3 -b 128 --cbr
mp3 high.wav joined_second.mp3 -b 128 --cbr
cat joined_first.mp3 joined_second.mp3 >joined.mp3
rm joined_first.mp3 joined_second.mp3

wav part11.wav 11025 2 synth 0.5 sine 500 vol 0.5
wav part48.wav 48000 2 synth 0.5 sine 1500 vol 0.5
mp3 short.wav rate_first.mp3 -b 128 --cbr
mp3 part11.wav rate_second.mp3 -b 32 --cbr -t
mp3 part48.wav rate_third.mp3 -b 128 --cbr -t
cat rate_first.mp3 rate_second.mp3 rate_third.mp3 >rate_change.mp3
rm rate_first.mp3 rate_second.mp3 rate_third.mp3

wav mono440.wav 44100 1 synth 0.5 sine 440 vol 0.5
wav stereo880.wav 44100 2 synth 0.5 sine 880 vol 0.5
mp3 mono440.wav channel_first.mp3 -b 64 --cbr -m m
mp3 stereo880.wav channel_second.mp3 -b 128 --cbr -t
cat channel_first.mp3 channel_second.mp3 >channel_change.mp3
rm channel_first.mp3 channel_second.mp3

mp3 short.wav free_format.mp3 -b 200 --freeformat

mp3 short.wav junk_tail.mp3 -b 128 --cbr
head -c $((70 * 1024)) /dev/zero | cat - junk_tail.mp3 >junk_prefix.mp3
rm junk_tail.mp3

# The frame count of the Info frame: 4 bytes after "Info" and its flags, at
# 36 + 8 in an MPEG-1 stereo frame without CRC.
mp3 short.wav huge_count.mp3 -b 128 --cbr
printf '\377\377\377\377' | dd of=huge_count.mp3 bs=1 seek=44 conv=notrunc status=none

# Lengths in samples: the null input gets the rate too, so that no
# resampling stands between the count and the file.
sox -D -R -r 44100 -c 2 -n -b 16 "$work/whole44.wav" synth 45056s sine 1000 vol 0.5
mp3 whole44.wav whole_chunks.mp3 -b 128 --cbr
sox -D -R -r 8000 -c 1 -n -b 16 "$work/whole8.wav" synth 8192s sine 440 vol 0.5
mp3 whole8.wav whole_chunks_8k.mp3 -b 32 --cbr -m m

# expected.txt: one section per MPEG file, "key=value" lines.
probe_value() {  # probe_value <file> <entry>
    ffprobe -v error -count_packets -select_streams a:0 \
        -show_entries "stream=$2" -of default=noprint_wrappers=1:nokey=1 "$1"
}
decoded_seconds() {  # decoded_seconds <file> <sample rate>: 16-bit stereo bytes / 4 / rate
    local bytes
    bytes=$(mpg123 -q -s --stereo "$1" | wc -c)
    awk -v bytes="$bytes" -v rate="$2" 'BEGIN { printf "%.6f", bytes / 4 / rate }'
}
{
    echo "# Made by make-test-files.sh from what ffprobe and mpg123 report."
    echo "# mpeg_version, layer: mpg123's stream line. packets: ffprobe -count_packets"
    echo "# (audio frames, not the Xing/Info frame; a cut last frame counts). duration:"
    echo "# ffprobe's, in seconds (without a Xing frame estimated from the first"
    echo "# frame's bit rate). decoded_duration: seconds that mpg123 decodes."
    echo "# bit_rate: ffprobe's stream bit rate (for VBR files an estimate)."
    for file in tone_1k.mp3 tone_100.mp3 steps.mp3 left_only.mp3 mono_mpeg2.mp3 mpeg25.mp3 \
        layer2.mp2 vbr_xing.mp3 vbr_noxing.mp3 id3v2_front.mp3 with_id3v1.mp3 truncated.mp3 \
        crc_info.mp3 joined.mp3 whole_chunks.mp3 whole_chunks_8k.mp3; do
        # For example "MPEG 1.0 L III cbr128 44100 j-s".
        read -r _ version _ layer _ < <(mpg123 -t -n 1 -v "$file" 2>&1 | grep -m1 '^MPEG ')
        case $layer in I) layer=1 ;; II) layer=2 ;; III) layer=3 ;; esac
        echo
        echo "[$file]"
        echo "mpeg_version=${version%.0}"
        echo "layer=$layer"
        echo "sample_rate=$(probe_value "$file" sample_rate)"
        echo "channels=$(probe_value "$file" channels)"
        echo "duration=$(probe_value "$file" duration)"
        echo "packets=$(probe_value "$file" nb_read_packets)"
        echo "decoded_duration=$(decoded_seconds "$file" "$(probe_value "$file" sample_rate)")"
        echo "bit_rate=$(probe_value "$file" bit_rate)"
        echo "file_size=$(stat -c %s "$file")"
    done
    echo
    echo "[with_id3v1.mp3 tag]"
    echo "title=$tag_title"
    echo "artist=$tag_artist"
    echo "album=$tag_album"
    echo "year=$tag_year"
    echo "comment=$tag_comment"
    echo "genre=$tag_genre"
} >expected.txt
