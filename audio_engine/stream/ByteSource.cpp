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
    if (offset >= bufferOffset_ && offset - bufferOffset_ + wanted <= buffer_.size()) {
        const auto start = static_cast<std::size_t>(offset - bufferOffset_);
        return Bytes(buffer_).subspan(start);
    }

    const std::size_t fill =
        static_cast<std::size_t>(std::min<std::uint64_t>(std::max(wanted, kChunkSize), available));
    buffer_.resize(fill);
    bufferOffset_ = offset;
    std::size_t done = 0;
    while (done < fill) {
        const ssize_t count = ::pread(fd_, buffer_.data() + done, fill - done,
                                      static_cast<off_t>(offset + done));
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            // A file that shrank since its size was taken is a read error too.
            lastError_ = count < 0 ? errno : EIO;
            buffer_.clear();
            return std::nullopt;
        }
    }
    return Bytes(buffer_);
}

}  // namespace audioengine
