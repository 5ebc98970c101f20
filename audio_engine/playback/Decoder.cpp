#include "Decoder.h"

#include "sonbrel_mp3.h"

#include <mpg123.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audioengine {

namespace {

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
    int error = MPG123_OK;
    fresh->handle_ = mpg123_new(nullptr, &error);
    if (fresh->handle_ == nullptr)
        return SBMP3_ERR_OUT_OF_MEMORY;
    mpg123_handle *handle = fresh->handle_;

    // Quiet: a library must not write to the host's stderr. Forced stereo and
    // float output: one sample format from here to the device.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO | MPG123_GAPLESS, 0.0);
    mpg123_param(handle, MPG123_RESYNC_LIMIT, 64 * 1024, 0.0);
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
    decoder = std::move(fresh);
    return 0;
}

std::int64_t Decoder::lengthFrames() const noexcept
{
    const off_t length = mpg123_length(handle_);
    return length < 0 ? -1 : static_cast<std::int64_t>(length);
}

std::size_t Decoder::read(float *out, std::size_t frames) noexcept
{
    std::size_t written = 0;
    while (written < frames && !ended_) {
        std::size_t bytes = 0;
        const int result = mpg123_read(handle_, reinterpret_cast<unsigned char *>(out + 2 * written),
                                       (frames - written) * 2 * sizeof(float), &bytes);
        written += bytes / (2 * sizeof(float));
        if (result == MPG123_OK || result == MPG123_NEW_FORMAT)
            continue;
        // MPG123_DONE at the end; anything else is damage it could not step over.
        ended_ = true;
    }
    return written;
}

bool Decoder::seek(std::int64_t frame) noexcept
{
    if (frame < 0)
        frame = 0;
    const off_t reached = mpg123_seek(handle_, static_cast<off_t>(frame), SEEK_SET);
    ended_ = reached < 0;
    return !ended_;
}

} // namespace audioengine
