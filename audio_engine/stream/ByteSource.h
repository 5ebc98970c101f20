#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace audioengine {

// Random access to the bytes of a file or of a buffer in memory, so that the
// stream scanner reads both the same way.
class ByteSource {
public:
    using Bytes = std::span<const std::uint8_t>;

    virtual ~ByteSource() = default;

    virtual std::uint64_t size() const = 0;

    // The bytes from offset on: at least min(length, size() - offset) of them,
    // perhaps more, valid until the next call. Nothing when reading failed.
    virtual std::optional<Bytes> bytesAt(std::uint64_t offset, std::size_t length) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(Bytes bytes) : bytes_(bytes) {}

    std::uint64_t size() const override { return bytes_.size(); }
    std::optional<Bytes> bytesAt(std::uint64_t offset, std::size_t length) override;

private:
    Bytes bytes_;
};

// Reads an open regular file through two buffers, so that the scanner's
// look at the file's end (its tags) does not cost the bytes at its start.
// A buffer is filled from the requested offset on: kFirstRead bytes at first,
// twice as many with each further read up to kLargestRead; a request within
// the last kTailRead bytes reads just those. So a file costs a short read at
// each end, and a forward walk one read per 64 KiB. The file descriptor
// stays the caller's.
class FileSource final : public ByteSource {
public:
    static constexpr std::size_t kFirstRead = 4 * 1024;
    static constexpr std::size_t kLargestRead = 64 * 1024;
    static constexpr std::size_t kTailRead = 512;

    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

    std::uint64_t size() const override { return size_; }
    std::optional<Bytes> bytesAt(std::uint64_t offset, std::size_t length) override;

    // errno of the last read that failed; EIO when the file was shorter than
    // its size said.
    int lastError() const { return lastError_; }

private:
    struct Buffer {
        std::unique_ptr<std::uint8_t[]> bytes;  // not zero-filled: only read bytes are handed out
        std::size_t capacity = 0;
        std::size_t length = 0;
        std::uint64_t offset = 0;
        std::uint64_t lastUse = 0;
    };

    int fd_;
    std::uint64_t size_;
    Buffer buffers_[2];
    std::uint64_t uses_ = 0;
    std::size_t nextRead_ = kFirstRead;
    int lastError_ = 0;
};

}  // namespace audioengine
