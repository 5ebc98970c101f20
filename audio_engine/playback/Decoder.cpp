#include "Decoder.h"

#include "StreamFiles.h"
#include "sonbrel_mp3.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace audioengine {

namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);

bool libraryReady() noexcept
{
    // Since libmpg123 1.27 mpg123_init does nothing and may be called from
    // any thread; a static keeps older versions happy too.
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}

// mpg123_open reports "cannot open" for everything; look at why.
std::int16_t whyUnopenable(const char *path) noexcept
{
    struct stat info {};
    if (::stat(path, &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? SBMP3_ERR_FILE_NOT_FOUND : SBMP3_ERR_ACCESS;
    if (S_ISDIR(info.st_mode))
        return SBMP3_ERR_NOT_AUDIO;
    return SBMP3_ERR_ACCESS;
}

} // namespace

Decoder::~Decoder()
{
    if (converter_ != nullptr)
        SDL_FreeAudioStream(converter_);
    if (handle_ != nullptr) {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }
}

std::int16_t Decoder::open(const char *path, std::unique_ptr<Decoder> &decoder)
{
    decoder.reset();
    if (path == nullptr || *path == '\0')
        return SBMP3_ERR_BAD_FILE_NAME;
    if (!libraryReady())
        return SBMP3_ERR_UNKNOWN_MEDIA;

    std::unique_ptr<Decoder> fresh(new (std::nothrow) Decoder);
    if (!fresh)
        return SBMP3_ERR_OUT_OF_MEMORY;
    fresh->path_ = path;
    int error = MPG123_OK;
    fresh->handle_ = mpg123_new(nullptr, &error);
    if (fresh->handle_ == nullptr)
        return SBMP3_ERR_OUT_OF_MEMORY;
    mpg123_handle *handle = fresh->handle_;

    // Quiet: a library must not write to the host's stderr. Forced stereo and
    // float output: one sample format from here to the device. The stream
    // may start as far into the file as the scanner looks for it.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO | MPG123_GAPLESS, 0.0);
    mpg123_param(handle, MPG123_RESYNC_LIMIT, static_cast<long>(kProbeWindow + 64 * 1024), 0.0);
    mpg123_format_none(handle);
    const long *rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i)
        mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_FLOAT_32);

    if (mpg123_open(handle, path) != MPG123_OK)
        return whyUnopenable(path);

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels != 2
        || encoding != MPG123_ENC_FLOAT_32)
        return SBMP3_ERR_NOT_AUDIO;
    fresh->rate_ = static_cast<int>(rate);
    fresh->partRate_ = rate;
    decoder = std::move(fresh);
    return 0;
}

const StreamSummary *Decoder::summary() noexcept
{
    if (!scanned_) {
        scanned_ = true;
        try {
            summary_ = summarizeFile(path_.c_str());
        } catch (...) {
            summary_.reset(); // out of memory: the length stays libmpg123's
        }
    }
    return summary_ ? &*summary_ : nullptr;
}

std::int64_t Decoder::lengthFrames() noexcept
{
    if (exactLength_ >= 0)
        return exactLength_;
    const StreamSummary *stream = summary();
    if (stream == nullptr || (stream->parts.size() <= 1 && stream->countFromEncoderTag)) {
        const off_t length = mpg123_length(handle_);
        if (length >= 0 || stream == nullptr)
            return length < 0 ? -1 : static_cast<std::int64_t>(length);
    }
    return std::llround(stream->duration() * rate_);
}

// Takes what the converter has ready into converted_ after the frames
// already there (at most `most` frames in all); returns how many are there now.
std::size_t Decoder::takeConverted(std::size_t have, std::size_t most) noexcept
{
    const int available = SDL_AudioStreamAvailable(converter_);
    if (available <= 0 || have >= most)
        return have;
    try {
        const std::size_t floats = 2 * have + static_cast<std::size_t>(available) / sizeof(float);
        if (converted_.size() < floats)
            converted_.resize(floats);
    } catch (...) {
        return have; // out of memory: what is there has to do
    }
    const int got = SDL_AudioStreamGet(converter_, converted_.data() + 2 * have, available);
    if (got > 0)
        have += static_cast<std::size_t>(got) / kFrameBytes;
    return std::min(have, most);
}

bool Decoder::drainConverter() noexcept
{
    const std::size_t frames = takeConverted(0, SIZE_MAX);
    partOut_ += static_cast<std::int64_t>(frames);
    pending_ = converted_.data();
    pendingFrames_ = frames;
    return frames > 0;
}

// Ends the part that goes through the converter: its last frames are handed
// out too. The converter keeps some frames back for its filter and a flush
// does not give all of them, so silence goes in after the part until its
// whole length, in the track's rate, has come out.
void Decoder::finishConverter() noexcept
{
    const auto whole = static_cast<std::int64_t>(
        std::llround(static_cast<double>(partIn_) * rate_ / static_cast<double>(convertedRate_)));
    const auto most = static_cast<std::size_t>(std::max<std::int64_t>(whole - partOut_, 0));
    SDL_AudioStreamFlush(converter_);
    std::size_t have = takeConverted(0, most);
    static const std::array<float, 2 * 256> silence{};
    for (int round = 0; have < most && round < 64; ++round) {
        if (SDL_AudioStreamPut(converter_, silence.data(), static_cast<int>(sizeof silence)) != 0)
            break;
        have = takeConverted(have, most);
    }
    partOut_ += static_cast<std::int64_t>(have);
    pending_ = converted_.data();
    pendingFrames_ = have;
    SDL_FreeAudioStream(converter_);
    converter_ = nullptr;
}

// The stream goes on at partRate: parts at another rate than the track's
// go through a converter.
bool Decoder::changeRate(long partRate) noexcept
{
    if (partRate == partRate_ && (converter_ != nullptr) == (partRate != rate_))
        return true; // as it was
    sawRateChange_ = sawRateChange_ || partRate != partRate_;
    partRate_ = partRate;
    if (converter_ != nullptr)
        finishConverter(); // its frames come first
    if (partRate == rate_)
        return true;
    converter_ = SDL_NewAudioStream(AUDIO_F32SYS, 2, static_cast<int>(partRate), AUDIO_F32SYS, 2, rate_);
    convertedRate_ = partRate;
    partIn_ = partOut_ = 0;
    return converter_ != nullptr;
}

bool Decoder::refill() noexcept
{
    for (;;) {
        if (converter_ != nullptr && drainConverter())
            return true;
        if (ended_)
            return false;
        off_t number = 0;
        unsigned char *audio = nullptr;
        std::size_t bytes = 0;
        const int result = mpg123_decode_frame(handle_, &number, &audio, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            const bool known = mpg123_getformat(handle_, &rate, &channels, &encoding) == MPG123_OK && rate > 0;
            if (!known || !changeRate(rate))
                ended_ = true; // no way to play this part at its own speed
            if (pendingFrames_ > 0)
                return true;
            continue;
        }
        if (result == MPG123_OK) {
            if (bytes < kFrameBytes || audio == nullptr)
                continue; // a frame within the encoder's delay
            if (converter_ != nullptr) {
                if (SDL_AudioStreamPut(converter_, audio, static_cast<int>(bytes)) != 0)
                    ended_ = true;
                partIn_ += static_cast<std::int64_t>(bytes / kFrameBytes);
                continue;
            }
            pending_ = reinterpret_cast<const float *>(audio);
            pendingFrames_ = bytes / kFrameBytes;
            return true;
        }
        // MPG123_DONE at the end; anything else is damage it could not step
        // over. The converter still holds the end of the last part.
        ended_ = true;
        if (converter_ != nullptr) {
            finishConverter();
            if (pendingFrames_ > 0)
                return true;
        }
    }
}

std::size_t Decoder::read(float *out, std::size_t frames) noexcept
{
    std::size_t written = 0;
    while (written < frames) {
        if (pendingFrames_ == 0 && !refill())
            break;
        const std::size_t count = std::min(pendingFrames_, frames - written);
        std::memcpy(out + 2 * written, pending_, count * kFrameBytes);
        pending_ += 2 * count;
        pendingFrames_ -= count;
        written += count;
    }
    handedOut_ += static_cast<std::int64_t>(written);
    if (written < frames && fromStart_)
        exactLength_ = handedOut_;
    return written;
}

bool Decoder::atEnd() noexcept
{
    if (pendingFrames_ > 0 || refill())
        return false;
    if (fromStart_)
        exactLength_ = handedOut_;
    return true;
}

std::int64_t Decoder::seek(std::int64_t frame) noexcept
{
    const std::int64_t length = lengthFrames();
    frame = std::max<std::int64_t>(frame, 0);
    if (length >= 0)
        frame = std::min(frame, length);
    pending_ = nullptr;
    pendingFrames_ = 0;
    if (converter_ != nullptr) {
        SDL_AudioStreamClear(converter_);
        partIn_ = partOut_ = 0;
    }
    fromStart_ = frame == 0 && !sawRateChange_;
    handedOut_ = frame;
    ended_ = false;

    const StreamSummary *stream = summary();
    if (stream == nullptr || stream->parts.size() <= 1) {
        const off_t reached = mpg123_seek(handle_, static_cast<off_t>(frame), SEEK_SET);
        if (reached < 0) {
            ended_ = true;
            return length >= 0 ? length : frame;
        }
        return static_cast<std::int64_t>(reached);
    }

    // Parts at several rates: libmpg123 counts samples in each part's own
    // rate, so go by MPEG frames. Find the part that holds the time asked
    // for and the frame within it.
    const double seconds = static_cast<double>(frame) / rate_;
    double partStart = 0.0;
    for (std::size_t i = 0; i < stream->parts.size(); ++i) {
        const StreamPart &part = stream->parts[i];
        const double frameSeconds = static_cast<double>(part.samplesPerFrame) / part.sampleRate;
        const double partSeconds = static_cast<double>(part.frames) * frameSeconds;
        if (seconds < partStart + partSeconds || i + 1 == stream->parts.size()) {
            const auto within = std::min<std::uint64_t>(
                static_cast<std::uint64_t>(std::max(0.0, (seconds - partStart) / frameSeconds)), part.frames);
            const off_t reached = mpg123_seek_frame(handle_, static_cast<off_t>(part.firstFrame + within), SEEK_SET);
            if (reached < 0) {
                ended_ = true;
                return length >= 0 ? length : frame;
            }
            // libmpg123 need not announce the part's format after a seek.
            if (converter_ != nullptr) {
                SDL_FreeAudioStream(converter_);
                converter_ = nullptr;
            }
            partRate_ = rate_;
            if (!changeRate(static_cast<long>(part.sampleRate)))
                ended_ = true;
            handedOut_ = std::llround((partStart + static_cast<double>(within) * frameSeconds) * rate_);
            return handedOut_;
        }
        partStart += partSeconds;
    }
    return frame;
}

} // namespace audioengine
