#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

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

// Reads an open regular file through a buffer of kChunkSize bytes, filled
// from the requested offset onwards, so a forward walk costs one read per
// chunk. The file descriptor stays the caller's.
class FileSource final : public ByteSource {
public:
    static constexpr std::size_t kChunkSize = 64 * 1024;

    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

    std::uint64_t size() const override { return size_; }
    std::optional<Bytes> bytesAt(std::uint64_t offset, std::size_t length) override;

    // errno of the last read that failed; EIO when the file was shorter than
    // its size said.
    int lastError() const { return lastError_; }

private:
    int fd_;
    std::uint64_t size_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t bufferOffset_ = 0;
    int lastError_ = 0;
};

}  // namespace audioengine
