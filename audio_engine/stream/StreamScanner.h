#pragma once

#include "ByteSource.h"
#include "MpegHeader.h"

#include <cstdint>

namespace audioengine {

enum class ScanStatus : std::uint8_t { Audio, NotAudio, ReadError };

// How far after the front tags the first frame is looked for. A file whose
// stream does not start within this many bytes is not taken as MPEG audio.
inline constexpr std::uint64_t kProbeWindow = 64 * 1024;

// The bytes of a source between the ID3v2 tags at its front and the ID3v1 and
// APE tags at its end.
struct AudioRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};

struct StreamStart {
    ScanStatus status = ScanStatus::NotAudio;
    AudioRange range;
    std::uint64_t offset = 0;  // of the first frame
    FrameHeader header;        // of the first frame
};

// Finds where the MPEG audio stream of the source starts. The source is audio
// when, within kProbeWindow bytes after the front tags, three frames of one
// stream follow each other; or when fewer frames begin right at the start of
// the audio range and end exactly at its end (a very short file). Reads little
// more than kProbeWindow bytes after the front tags, whatever the source's size.
StreamStart locateStream(ByteSource &source);

struct StreamSummary {
    FrameHeader header;  // of the first audio frame
    bool variableBitrate = false;
    std::uint64_t frames = 0;      // audio frames, without an encoder tag's frame
    std::uint64_t audioBytes = 0;  // bytes of those frames
    std::uint64_t fileSize = 0;
    bool countFromEncoderTag = false;

    // Bits per second: the header's bitrate for CBR, the average for VBR.
    std::uint32_t dataRate() const;
    // frames * samples per frame / sample rate, rounded, at most 32767.
    std::uint32_t seconds() const;
};

struct StreamScan {
    ScanStatus status = ScanStatus::NotAudio;
    StreamSummary summary;
};

// Locates the stream, then counts its frames: from the first frame's Xing,
// Info or VBRI tag when it has a plausible count, else by walking the stream
// frame by frame. The walk counts only complete frames of the first frame's
// stream; at bytes that are not such a frame it looks ahead for the next
// frame that another one follows (or that ends exactly at the end of the
// audio range) and stops when there is none.
StreamScan summarizeStream(ByteSource &source);

}  // namespace audioengine
