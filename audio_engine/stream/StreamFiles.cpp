#include "StreamFiles.h"

#include "ByteSource.h"
#include "FrameInfoText.h"
#include "StreamScanner.h"
#include "sonbrel_mp3.h"

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audioengine {

namespace {

constexpr std::size_t kTagSize = SBMP3_TAG_BLOCK_SIZE;

std::int16_t result(int number)
{
    return static_cast<std::int16_t>(number);
}

std::int16_t openErrorCode(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        return result(SBMP3_ERR_FILE_NOT_FOUND);
    case ENAMETOOLONG:
        return result(SBMP3_ERR_BAD_FILE_NAME);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBUSY:
    case ENXIO:
    case ENODEV:
        return result(SBMP3_ERR_ACCESS);
    default:
        return result(SBMP3_ERR_DEVICE_IO);
    }
}

std::int16_t writeErrorCode(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBADF:
    case ETXTBSY:
        return result(SBMP3_ERR_ACCESS);
    default:  // ENOSPC, EFBIG, EDQUOT, EIO and the rest
        return result(SBMP3_ERR_DEVICE_IO);
    }
}

// An open file and what fstat told about it. A pipe opens without waiting
// for a writer (O_NONBLOCK), so that it can be turned away.
class OpenFile {
public:
    OpenFile(const char *path, int flags)
    {
        if (!path || !*path) {
            code = result(SBMP3_ERR_BAD_FILE_NAME);
            return;
        }
        fd = ::open(path, flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            code = openErrorCode(errno);
            return;
        }
        struct stat status {};
        if (::fstat(fd, &status) != 0) {
            code = result(SBMP3_ERR_DEVICE_IO);
            return;
        }
        regular = S_ISREG(status.st_mode);
        size = static_cast<std::uint64_t>(status.st_size);
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    ~OpenFile()
    {
        if (fd >= 0)
            ::close(fd);
    }

    std::int16_t code = 0;  // 0, or the error number of the failed open
    int fd = -1;
    bool regular = false;
    std::uint64_t size = 0;
};

// 0, or the errno of the failure; a file that ends early gives EIO.
int readAll(int fd, char *bytes, std::size_t length, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t count =
            ::pread(fd, bytes + done, length - done, static_cast<off_t>(offset + done));
        if (count > 0)
            done += static_cast<std::size_t>(count);
        else if (count < 0 && errno == EINTR)
            continue;
        else
            return count < 0 ? errno : EIO;
    }
    return 0;
}

// 0, or the errno of the failure; a write that makes no progress gives ENOSPC.
int writeAll(int fd, const char *bytes, std::size_t length, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t count =
            ::pwrite(fd, bytes + done, length - done, static_cast<off_t>(offset + done));
        if (count > 0)
            done += static_cast<std::size_t>(count);
        else if (count < 0 && errno == EINTR)
            continue;
        else
            return count < 0 ? errno : ENOSPC;
    }
    return 0;
}

// 0, or the errno of a failed fsync. A file system without fsync support
// (EINVAL) has nothing to flush.
int syncFile(int fd)
{
    while (::fsync(fd) != 0) {
        if (errno == EINVAL)
            return 0;
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

void truncateTo(int fd, std::uint64_t size)
{
    while (::ftruncate(fd, static_cast<off_t>(size)) != 0 && errno == EINTR) {
    }
}

std::int16_t probeOpenFile(const OpenFile &file)
{
    if (!file.regular)
        return result(SBMP3_ERR_NOT_AUDIO);
    FileSource source(file.fd, file.size);
    switch (locateStream(source).status) {
    case ScanStatus::Audio:
        return 0;
    case ScanStatus::NotAudio:
        return result(SBMP3_ERR_NOT_AUDIO);
    case ScanStatus::ReadError:
        break;
    }
    return result(SBMP3_ERR_DEVICE_IO);
}

}  // namespace

std::int16_t probeMpegFile(const char *path)
{
    const OpenFile file(path, O_RDONLY);
    if (file.code != 0)
        return file.code;
    return probeOpenFile(file);
}

std::int16_t frameInfoOfFile(const char *path, char *info)
{
    if (!info)
        return 0;
    std::memset(info, 0, SBMP3_FRAME_INFO_SIZE);
    const OpenFile file(path, O_RDONLY);
    if (file.code != 0)
        return file.code == SBMP3_ERR_FILE_NOT_FOUND ? file.code : 0;
    if (!file.regular)
        return 0;
    FileSource source(file.fd, file.size);
    const StreamScan scan = summarizeStream(source);
    if (scan.status != ScanStatus::Audio)
        return 0;
    formatFrameInfo(scan.summary, info, SBMP3_FRAME_INFO_SIZE);
    return 1;
}

std::optional<StreamSummary> summarizeFile(const char *path)
{
    const OpenFile file(path, O_RDONLY);
    if (file.code != 0 || !file.regular)
        return std::nullopt;
    FileSource source(file.fd, file.size);
    StreamScan scan = summarizeStream(source);
    if (scan.status != ScanStatus::Audio)
        return std::nullopt;
    return std::move(scan.summary);
}

std::int16_t readTagBlockOfFile(const char *path, char *tag)
{
    if (tag)
        std::memset(tag, 0, kTagSize);
    if (!path || !tag)
        return result(SBMP3_ERR_BAD_FILE_NAME);
    const OpenFile file(path, O_RDONLY);
    if (file.code != 0)
        return file.code;
    if (!file.regular)
        return result(SBMP3_ERR_ACCESS);
    if (file.size < kTagSize)
        return 0;
    if (readAll(file.fd, tag, kTagSize, file.size - kTagSize) != 0) {
        std::memset(tag, 0, kTagSize);
        return result(SBMP3_ERR_DEVICE_IO);
    }
    return 0;
}

std::int16_t writeTagBlockToFile(const char *path, const char *tag)
{
    // A block without "TAG" would not be found again, and each write would
    // append another one.
    if (!path || !tag || std::memcmp(tag, "TAG", 3) != 0)
        return result(SBMP3_ERR_BAD_FILE_NAME);
    const OpenFile file(path, O_RDWR);
    if (file.code != 0)
        return file.code;
    if (const std::int16_t probe = probeOpenFile(file); probe != 0)
        return probe;

    std::array<char, kTagSize> old{};
    const bool hasBlock = file.size >= kTagSize;
    if (hasBlock && readAll(file.fd, old.data(), kTagSize, file.size - kTagSize) != 0)
        return result(SBMP3_ERR_DEVICE_IO);

    if (hasBlock && std::memcmp(old.data(), "TAG", 3) == 0) {
        if (std::memcmp(old.data(), tag, kTagSize) == 0)
            return 0;
        const std::uint64_t at = file.size - kTagSize;
        int error = writeAll(file.fd, tag, kTagSize, at);
        if (error == 0)
            error = syncFile(file.fd);
        if (error != 0) {
            // The old block goes back over whatever of the new one landed.
            writeAll(file.fd, old.data(), kTagSize, at);
            syncFile(file.fd);
            return writeErrorCode(error);
        }
        return 0;
    }

    int error = writeAll(file.fd, tag, kTagSize, file.size);
    if (error == 0)
        error = syncFile(file.fd);
    if (error != 0) {
        truncateTo(file.fd, file.size);
        return writeErrorCode(error);
    }
    return 0;
}

}  // namespace audioengine
