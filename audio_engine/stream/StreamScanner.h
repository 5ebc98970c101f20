#pragma once

#include "ByteSource.h"
#include "MpegHeader.h"

#include <cstdint>
#include <vector>

namespace audioengine {

enum class ScanStatus : std::uint8_t { Audio, NotAudio, ReadError };

// How far after the front tags the first frame is looked for. A file whose
// stream does not start within this many bytes is not taken as MPEG audio.
// Three frames of one stream must follow each other wherever it starts, so a
// long window still turns text and random bytes away.
inline constexpr std::uint64_t kProbeWindow = 1024 * 1024;

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
    FrameHeader header;        // of the first frame (free format: its length filled in)
};

// Finds where the MPEG audio stream of the source starts. The source is audio
// when, within kProbeWindow bytes after the front tags, three frames of one
// stream follow each other; or when fewer frames begin right at the start of
// the audio range and end exactly at its end (a very short file). Reads little
// more than kProbeWindow bytes after the front tags, whatever the source's size.
StreamStart locateStream(ByteSource &source);

// A stretch of the stream in one format. A stream may change its sample rate
// or its channel count where two recordings were joined.
struct StreamPart {
    std::uint32_t sampleRate = 0;
    std::uint32_t samplesPerFrame = 0;
    std::uint8_t channels = 0;
    std::uint64_t firstFrame = 0;  // index of its first frame among the counted ones
    std::uint64_t frames = 0;
};

struct StreamSummary {
    FrameHeader header;  // of the first audio frame
    bool variableBitrate = false;
    std::uint64_t frames = 0;      // audio frames of all parts, without an encoder tag's frame
    std::uint64_t audioBytes = 0;  // bytes of those frames
    std::uint64_t fileSize = 0;
    bool countFromEncoderTag = false;
    std::vector<StreamPart> parts;  // in stream order; empty for a stream that never changes

    // Playing time in seconds: every part at its own rate.
    double duration() const;
    // Bits per second: the header's bitrate for CBR, the average for VBR.
    std::uint32_t dataRate() const;
    // duration(), rounded, at most 32767.
    std::uint32_t seconds() const;
};

struct StreamScan {
    ScanStatus status = ScanStatus::NotAudio;
    StreamSummary summary;
};

// Locates the stream, then counts its frames: from the first frame's Xing,
// Info or VBRI tag when its count is plausible and the bytes it speaks of
// are the bytes of the file's stream, else by walking the stream frame by
// frame. The walk counts only complete frames. Where the bytes are no frame
// of the stream walked so far, it goes on at the nearest frame that another
// one of its stream follows, or at the nearest three frames of another
// stream (a new part: another sample rate or channel count), or at a run of
// frames that ends exactly at the end of the audio range; it stops when
// there is none.
StreamScan summarizeStream(ByteSource &source);

}  // namespace audioengine
