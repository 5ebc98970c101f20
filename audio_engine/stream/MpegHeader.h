#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace audioengine {

enum class MpegVersion : std::uint8_t { Mpeg1, Mpeg2, Mpeg25 };

enum class ChannelMode : std::uint8_t { Stereo, JointStereo, DualChannel, SingleChannel };

inline constexpr std::size_t kFrameHeaderSize = 4;

// A decoded MPEG audio frame header. Only headers without reserved values
// decode: version 01, layer 00, bitrate index 15, sample rate index 3 and
// emphasis 2 are all refused. A free-format header (bitrate index 0) decodes
// without a bitrate or length: every frame of such a stream has one length
// (plus padding), which only the distance to the next frame tells;
// setFreeFormatLength fills both in once it is known.
struct FrameHeader {
    MpegVersion version = MpegVersion::Mpeg1;
    std::uint8_t layer = 3;  // 1, 2 or 3
    bool freeFormat = false;
    std::uint16_t bitrateKbps = 0;  // free format: from the frame length, once known
    std::uint32_t sampleRate = 0;
    bool padding = false;
    bool crcPresent = false;  // the protection bit is 0
    bool privateBit = false;
    ChannelMode channelMode = ChannelMode::Stereo;
    bool copyright = false;
    bool original = false;
    std::uint8_t emphasis = 0;  // 0 none, 1 50/15 microseconds, 3 CCITT J.17
    std::uint32_t frameLength = 0;  // bytes, the header included; 0 for free format until known

    std::uint32_t samplesPerFrame() const;
    std::uint8_t channels() const { return channelMode == ChannelMode::SingleChannel ? 1 : 2; }
    // Bytes the padding bit adds: a slot of 4 bytes in Layer I, 1 otherwise.
    std::uint32_t paddingBytes() const { return padding ? (layer == 1 ? 4u : 1u) : 0u; }
};

// Decodes the kFrameHeaderSize bytes at bytes.
std::optional<FrameHeader> decodeFrameHeader(const std::uint8_t *bytes);

// Free format: the frame length of a frame without padding, from which the
// header's frameLength (its padding added) and bitrate follow.
void setFreeFormatLength(FrameHeader &header, std::uint32_t unpaddedLength);

// The longest frame without padding that a free-format stream may have: 640
// kbit/s at 32 kHz for MPEG-1 Layer III, with room to spare for the others.
inline constexpr std::uint32_t kLongestFreeFormatFrame = 4096;

// Whether two frames can belong to one stream: the same version, layer and
// sample rate, both mono or both not, and both free format or both not. The
// bitrate may differ (VBR), and stereo may alternate with joint stereo.
bool sameStream(const FrameHeader &a, const FrameHeader &b);

// The lowest and highest bitrate in kbit/s that frames of the header's
// version and layer can have.
std::uint16_t lowestBitrateKbps(const FrameHeader &header);
std::uint16_t highestBitrateKbps(const FrameHeader &header);

// The frame count and byte count that an encoder writes into the first frame
// of a Layer III stream: Xing or Info (LAME, Xing) after the side information,
// VBRI (Fraunhofer) 32 bytes after the header. That frame carries no audio.
// With CRC the side information starts 2 bytes later, yet encoders write the
// tag where it would stand without CRC; both places are looked at.
struct EncoderTag {
    enum class Kind : std::uint8_t { Xing, Info, Vbri };
    Kind kind = Kind::Xing;
    std::optional<std::uint32_t> frames;
    std::optional<std::uint32_t> bytes;  // the stream's bytes, this frame included
};

// Looks for an encoder tag in frame, the bytes of a frame with that header
// (fewer when the data ends early).
std::optional<EncoderTag> findEncoderTag(const FrameHeader &header,
                                         std::span<const std::uint8_t> frame);

}  // namespace audioengine
