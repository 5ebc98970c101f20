// Shared by the stream fuzz targets: turns fuzz input into bytes that look
// like an MPEG audio file often enough for the scanner to go deep (random
// bytes almost never hold three frames in a row), and gives a scratch file.
#pragma once

#include "MpegHeader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace fuzzing {

// Input bytes one at a time; zeros once they run out.
class InputReader {
public:
    InputReader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return at_ >= size_; }
    std::uint8_t next() { return done() ? 0 : data_[at_++]; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

inline constexpr std::size_t kMaxShapedSize = 256 * 1024;

// Input whose first byte is a multiple of 4 (or that is shorter than 4 bytes)
// stays as it is. Otherwise the first byte chooses the extras: bit 2 an ID3v2
// tag in front (bit 3 with a footer), bit 4 keeps reserved header values,
// bit 5 an encoder tag in the first frame, bit 6 an ID3v1 block at the end.
// Bytes 1 to 3 make the frame header (after its sync bits); each later byte
// then adds junk, changes the bitrate or padding, or adds a whole or cut frame.
inline std::vector<std::uint8_t> shapeMpegInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4 || data[0] % 4 == 0)
        return {data, data + size};
    const std::uint8_t mode = data[0];
    std::uint8_t header[4] = {0xFF, static_cast<std::uint8_t>(0xE0 | data[1]), data[2], data[3]};
    if (!(mode & 0x10)) {
        if ((header[1] & 0x18) == 0x08)
            header[1] |= 0x18;  // version 1
        if ((header[1] & 0x06) == 0)
            header[1] |= 0x02;  // Layer III
        if ((header[2] & 0xF0) == 0 || (header[2] & 0xF0) == 0xF0)
            header[2] = static_cast<std::uint8_t>((header[2] & 0x0F) | 0x90);
        if ((header[2] & 0x0C) == 0x0C)
            header[2] &= 0xF3;
        if ((header[3] & 0x03) == 2)
            header[3] &= 0xFC;
    }
    InputReader in(data + 4, size - 4);
    std::vector<std::uint8_t> out;

    if (mode & 0x04) {
        const std::uint8_t length = in.next();
        const std::uint8_t flags = (mode & 0x08) ? 0x10 : 0;
        out = {'I', 'D', '3', 4, 0, flags, 0, 0, static_cast<std::uint8_t>(length >> 7),
               static_cast<std::uint8_t>(length & 0x7F)};
        out.resize(out.size() + length + (flags ? 10 : 0));
    }

    bool firstFrame = true;
    while (!in.done() && out.size() < kMaxShapedSize) {
        const std::uint8_t control = in.next();
        switch (control % 8) {
        case 0:  // junk, straight from the input
            for (int i = control / 8; i > 0 && !in.done(); --i)
                out.push_back(in.next());
            break;
        case 1:  // another bitrate
            header[2] = static_cast<std::uint8_t>((header[2] & 0x0F) | (control & 0xF0));
            break;
        case 2:
            header[2] ^= 0x02;  // padding
            break;
        default: {
            const auto decoded = audioengine::decodeFrameHeader(header);
            std::size_t length = decoded ? decoded->frameLength : 4;
            if (control % 8 == 3)
                length = std::min<std::size_t>(length, 4u + control);  // cut short
            const std::size_t at = out.size();
            out.resize(at + std::max<std::size_t>(length, 4));
            std::copy(header, header + 4, out.begin() + static_cast<std::ptrdiff_t>(at));
            if (firstFrame && (mode & 0x20) && decoded) {
                // Xing or Info after the side information, or VBRI after 32 bytes.
                const bool mono = decoded->channelMode == audioengine::ChannelMode::SingleChannel;
                const bool mpeg1 = decoded->version == audioengine::MpegVersion::Mpeg1;
                const std::size_t side = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
                const std::size_t xing = 4 + (decoded->crcPresent ? 2 : 0) + side;
                const char *names[] = {"Xing", "Info", "VBRI"};
                const int kind = control / 8 % 3;
                std::size_t tagAt = kind == 2 ? 36 : xing;
                out.resize(std::max(out.size(), at + tagAt + 18));
                std::uint8_t *tag = out.data() + at + tagAt;
                std::copy(names[kind], names[kind] + 4, tag);
                // Small counts, so that some are plausible: Xing flags, frames
                // and bytes; VBRI version, delay, quality, bytes and frames.
                const std::size_t bytesAt = kind == 2 ? 10 : 12;
                const std::size_t framesAt = kind == 2 ? 14 : 8;
                if (kind == 2) {
                    for (std::size_t i = 4; i < 10; ++i)
                        tag[i] = in.next();
                } else {
                    tag[7] = in.next() & 0x0F;
                }
                tag[bytesAt + 2] = in.next();
                tag[bytesAt + 3] = in.next();
                tag[framesAt + 3] = in.next();
            }
            firstFrame = false;
        }
        }
    }

    if (mode & 0x40) {
        const std::size_t at = out.size();
        out.resize(at + 128);
        out[at] = 'T';
        out[at + 1] = 'A';
        out[at + 2] = 'G';
    }
    return out;
}

// A file in a RAM-backed folder when there is one (the tag writer syncs each
// write to disk), made once per process and removed at its end.
inline const std::string &scratchFile()
{
    struct Scratch {
        std::string path;
        Scratch()
        {
            const char *folder = std::getenv("TMPDIR");
            if (!folder)
                folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
            path = std::string(folder) + "/stream-fuzz-XXXXXX";
            const int fd = mkstemp(path.data());
            if (fd < 0) {
                std::perror("mkstemp");
                std::abort();
            }
            close(fd);
        }
        ~Scratch() { unlink(path.c_str()); }
    };
    static const Scratch scratch;
    return scratch.path;
}

inline void writeScratch(const std::vector<std::uint8_t> &bytes)
{
    std::FILE *file = std::fopen(scratchFile().c_str(), "wb");
    if (!file || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) ||
        std::fclose(file) != 0)
        std::abort();
}

inline std::vector<std::uint8_t> readScratch()
{
    std::vector<std::uint8_t> bytes;
    std::FILE *file = std::fopen(scratchFile().c_str(), "rb");
    if (!file)
        std::abort();
    std::uint8_t chunk[4096];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + count);
    std::fclose(file);
    return bytes;
}

}  // namespace fuzzing
