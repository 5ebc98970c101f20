#pragma once

#include "StreamScanner.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct mpg123_handle_struct;
struct _SDL_AudioStream;

namespace audioengine {

// One MPEG audio file decoded by libmpg123 into interleaved stereo floats at
// the track's rate, the rate of its first part (mono is spread to both
// channels). Gapless: the encoder's delay and padding are cut, so frame 0 is
// the first sample of the music and seeks are exact to the sample.
//
// A stream whose sample rate changes in the middle (two recordings joined)
// has its later parts converted to the track's rate, so each part keeps its
// own pitch and speed; seeks into such a stream land on the MPEG frame.
class Decoder {
public:
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // Opens the file. Returns 0 and the decoder, or an engine error number:
    // 53 missing, 75 unreadable, 30075 not MPEG audio, 30104 out of memory.
    static std::int16_t open(const char *path, std::unique_ptr<Decoder> &decoder);

    int sampleRate() const noexcept { return rate_; }

    // Length in frames at the track's rate. libmpg123's own figure where the
    // file's encoder tag is borne out by its bytes (exact to the sample),
    // else the frames counted in the file, every part at its own rate (to
    // within the encoder's delay and padding). The first call may read the
    // whole file; -1 when even that fails.
    std::int64_t lengthFrames() noexcept;

    // Decodes up to frames stereo frames into out. Returns how many were
    // written; fewer than asked only at the end of the track. A stream error
    // that libmpg123 cannot step over ends the track.
    std::size_t read(float *out, std::size_t frames) noexcept;

    // Whether the track has nothing after the frames read so far. Decodes
    // ahead by one MPEG frame when it has to, so that the caller knows the
    // last of the audio as such when it reads it.
    bool atEnd() noexcept;

    // Moves to a track frame, clamped to 0 and to the length. Returns the
    // frame where reading goes on (the length when the stream cannot go
    // there, which reads as the end of the track).
    std::int64_t seek(std::int64_t frame) noexcept;

private:
    Decoder() = default;

    bool refill() noexcept;
    bool changeRate(long partRate) noexcept;
    std::size_t takeConverted(std::size_t have, std::size_t most) noexcept;
    bool drainConverter() noexcept;
    void finishConverter() noexcept;
    const StreamSummary *summary() noexcept;

    mpg123_handle_struct *handle_ = nullptr;
    std::string path_;
    int rate_ = 0;
    long partRate_ = 0;            // rate of the part being decoded
    bool ended_ = false;           // libmpg123 has nothing more
    bool sawRateChange_ = false;

    // Decoded frames not yet handed out: in libmpg123's buffer (valid until
    // its next call) or in converted_.
    const float *pending_ = nullptr;
    std::size_t pendingFrames_ = 0;

    // Parts at another rate go through an SDL audio stream.
    _SDL_AudioStream *converter_ = nullptr;
    long convertedRate_ = 0;       // the rate it converts from
    std::int64_t partIn_ = 0;      // frames it took in, since the part began
    std::int64_t partOut_ = 0;     // frames it gave out
    std::vector<float> converted_;

    // From the start without a seek, frames handed out so far; once the end
    // is reached so, the exact length.
    bool fromStart_ = true;
    std::int64_t handedOut_ = 0;
    std::int64_t exactLength_ = -1;

    bool scanned_ = false;
    std::optional<StreamSummary> summary_;
};

} // namespace audioengine
