#include "MpegHeader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace audioengine {

namespace {

// Bitrates in kbit/s by index 1 to 14: MPEG-1 Layer I, II and III, then
// MPEG-2 and 2.5 Layer I, and Layer II and III (which share one table).
constexpr std::array<std::array<std::uint16_t, 15>, 5> kBitrates{{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
}};

constexpr std::array<std::array<std::uint32_t, 3>, 3> kSampleRates{{
    {44100, 48000, 32000},  // MPEG-1
    {22050, 24000, 16000},  // MPEG-2
    {11025, 12000, 8000},   // MPEG-2.5
}};

const std::array<std::uint16_t, 15> &bitrateTable(MpegVersion version, std::uint8_t layer)
{
    if (version == MpegVersion::Mpeg1)
        return kBitrates[layer - 1];
    return kBitrates[layer == 1 ? 3 : 4];
}

std::uint32_t bigEndian32(const std::uint8_t *bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

// Bytes of Layer III side information, which the Xing tag follows.
std::size_t sideInfoSize(const FrameHeader &header)
{
    const bool mono = header.channelMode == ChannelMode::SingleChannel;
    if (header.version == MpegVersion::Mpeg1)
        return mono ? 17 : 32;
    return mono ? 9 : 17;
}

}  // namespace

std::uint32_t FrameHeader::samplesPerFrame() const
{
    if (layer == 1)
        return 384;
    if (layer == 3 && version != MpegVersion::Mpeg1)
        return 576;
    return 1152;
}

std::optional<FrameHeader> decodeFrameHeader(const std::uint8_t *bytes)
{
    if (bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const unsigned versionBits = (bytes[1] >> 3) & 3;
    const unsigned layerBits = (bytes[1] >> 1) & 3;
    const unsigned bitrateIndex = bytes[2] >> 4;
    const unsigned rateIndex = (bytes[2] >> 2) & 3;
    const unsigned emphasis = bytes[3] & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3 || emphasis == 2)
        return std::nullopt;

    FrameHeader header;
    header.version = versionBits == 3   ? MpegVersion::Mpeg1
                     : versionBits == 2 ? MpegVersion::Mpeg2
                                        : MpegVersion::Mpeg25;
    header.layer = static_cast<std::uint8_t>(4 - layerBits);
    header.crcPresent = (bytes[1] & 1) == 0;
    header.bitrateKbps = bitrateTable(header.version, header.layer)[bitrateIndex];
    header.sampleRate = kSampleRates[static_cast<std::size_t>(header.version)][rateIndex];
    header.padding = (bytes[2] >> 1) & 1;
    header.privateBit = bytes[2] & 1;
    header.channelMode = static_cast<ChannelMode>(bytes[3] >> 6);
    header.copyright = (bytes[3] >> 3) & 1;
    header.original = (bytes[3] >> 2) & 1;
    header.emphasis = static_cast<std::uint8_t>(emphasis);
    if (bitrateIndex == 0) {
        header.freeFormat = true;
        return header;
    }

    const std::uint32_t bitsPerSecond = header.bitrateKbps * 1000u;
    const std::uint32_t padding = header.padding ? 1 : 0;
    if (header.layer == 1) {
        header.frameLength = (12 * bitsPerSecond / header.sampleRate + padding) * 4;
    } else {
        // A frame holds samplesPerFrame / 8 bytes per bit per second of one sample.
        const std::uint32_t factor = header.samplesPerFrame() / 8;
        header.frameLength = factor * bitsPerSecond / header.sampleRate + padding;
    }
    return header;
}

void setFreeFormatLength(FrameHeader &header, std::uint32_t unpaddedLength)
{
    header.frameLength = unpaddedLength + header.paddingBytes();
    // A frame holds samplesPerFrame / 8 bytes per bit per second of one sample.
    const std::uint64_t bitsPerSecond = std::uint64_t{unpaddedLength} * 8 * header.sampleRate / header.samplesPerFrame();
    header.bitrateKbps = static_cast<std::uint16_t>(std::min<std::uint64_t>((bitsPerSecond + 500) / 1000, 0xFFFF));
}

bool sameStream(const FrameHeader &a, const FrameHeader &b)
{
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate &&
           a.channels() == b.channels() && a.freeFormat == b.freeFormat;
}

std::uint16_t lowestBitrateKbps(const FrameHeader &header)
{
    return bitrateTable(header.version, header.layer)[1];
}

std::uint16_t highestBitrateKbps(const FrameHeader &header)
{
    return bitrateTable(header.version, header.layer)[14];
}

std::optional<EncoderTag> findEncoderTag(const FrameHeader &header,
                                         std::span<const std::uint8_t> frame)
{
    if (header.layer != 3)
        return std::nullopt;
    frame = frame.first(std::min<std::size_t>(frame.size(), header.frameLength));

    const std::size_t plainAt = kFrameHeaderSize + sideInfoSize(header);
    for (const std::size_t xingAt : {plainAt, plainAt + (header.crcPresent ? 2 : 0)}) {
        if (frame.size() < xingAt + 8)
            break;
        const std::uint8_t *xing = frame.data() + xingAt;
        const bool isXing = std::memcmp(xing, "Xing", 4) == 0;
        if (isXing || std::memcmp(xing, "Info", 4) == 0) {
            EncoderTag tag;
            tag.kind = isXing ? EncoderTag::Kind::Xing : EncoderTag::Kind::Info;
            const std::uint32_t flags = bigEndian32(xing + 4);
            std::size_t at = xingAt + 8;
            if ((flags & 1) && frame.size() >= at + 4) {
                tag.frames = bigEndian32(frame.data() + at);
                at += 4;
            }
            if ((flags & 2) && frame.size() >= at + 4)
                tag.bytes = bigEndian32(frame.data() + at);
            return tag;
        }
    }

    // "VBRI", version, delay and quality (2 bytes each), bytes, frames.
    constexpr std::size_t vbriAt = kFrameHeaderSize + 32;
    if (frame.size() >= vbriAt + 18 && std::memcmp(frame.data() + vbriAt, "VBRI", 4) == 0) {
        EncoderTag tag;
        tag.kind = EncoderTag::Kind::Vbri;
        tag.bytes = bigEndian32(frame.data() + vbriAt + 10);
        tag.frames = bigEndian32(frame.data() + vbriAt + 14);
        return tag;
    }
    return std::nullopt;
}

}  // namespace audioengine
