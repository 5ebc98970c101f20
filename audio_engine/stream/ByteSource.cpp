#include "ByteSource.h"

#include <algorithm>
#include <cerrno>

#include <unistd.h>

namespace audioengine {

std::optional<ByteSource::Bytes> MemorySource::bytesAt(std::uint64_t offset, std::size_t)
{
    if (offset >= bytes_.size())
        return Bytes{};
    return bytes_.subspan(static_cast<std::size_t>(offset));
}

std::optional<ByteSource::Bytes> FileSource::bytesAt(std::uint64_t offset, std::size_t length)
{
    if (offset >= size_)
        return Bytes{};
    const std::uint64_t available = size_ - offset;
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, available));
    for (Buffer &buffer : buffers_) {
        if (buffer.length > 0 && offset >= buffer.offset && offset - buffer.offset + wanted <= buffer.length) {
            buffer.lastUse = ++uses_;
            return Bytes(buffer.bytes.get(), buffer.length).subspan(static_cast<std::size_t>(offset - buffer.offset));
        }
    }

    Buffer &buffer = buffers_[0].lastUse <= buffers_[1].lastUse ? buffers_[0] : buffers_[1];
    // The tags at the end of a file are looked at from the back, one after
    // the other: a short read of the last bytes serves them all.
    std::size_t fill = std::max(wanted, nextRead_);
    std::uint64_t start = offset;
    if (size_ - offset <= kTailRead) {
        fill = static_cast<std::size_t>(std::min<std::uint64_t>(kTailRead, size_));
        start = size_ - fill;
    } else {
        fill = static_cast<std::size_t>(std::min<std::uint64_t>(fill, available));
        nextRead_ = std::min(nextRead_ * 2, kLargestRead);
    }
    if (buffer.capacity < fill) {
        buffer.bytes.reset(new std::uint8_t[fill]);
        buffer.capacity = fill;
    }
    buffer.length = 0;
    buffer.offset = start;
    buffer.lastUse = ++uses_;
    std::size_t done = 0;
    while (done < fill) {
        const ssize_t count = ::pread(fd_, buffer.bytes.get() + done, fill - done, static_cast<off_t>(start + done));
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            // A file that shrank since its size was taken is a read error too.
            lastError_ = count < 0 ? errno : EIO;
            return std::nullopt;
        }
    }
    buffer.length = fill;
    return Bytes(buffer.bytes.get(), fill).subspan(static_cast<std::size_t>(offset - start));
}

}  // namespace audioengine
