#include "StreamScanner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace audioengine {

namespace {

constexpr std::size_t kId3v2HeaderSize = 10;
constexpr std::size_t kId3v1Size = 128;
constexpr std::size_t kApeFooterSize = 32;
// Tags stacked at either end that are stepped over; more are left as junk.
constexpr int kMaxStackedTags = 8;

enum class Check : std::uint8_t { Yes, No, ReadError };

struct Found {
    Check check = Check::No;
    std::uint64_t offset = 0;
    FrameHeader header;
};

std::uint32_t littleEndian32(const std::uint8_t *bytes)
{
    return static_cast<std::uint32_t>(bytes[3]) << 24 | static_cast<std::uint32_t>(bytes[2]) << 16 |
           static_cast<std::uint32_t>(bytes[1]) << 8 | bytes[0];
}

// The whole size of the ID3v2 tag whose header is at bytes: the header, the
// synchsafe-coded body and a version 4 footer.
std::optional<std::uint64_t> id3v2TagSize(const std::uint8_t *bytes)
{
    if (std::memcmp(bytes, "ID3", 3) != 0 || bytes[3] == 0xFF || bytes[4] == 0xFF ||
        ((bytes[6] | bytes[7] | bytes[8] | bytes[9]) & 0x80) != 0)
        return std::nullopt;
    std::uint64_t size = static_cast<std::uint64_t>(bytes[6]) << 21 | bytes[7] << 14 |
                         bytes[8] << 7 | bytes[9];
    size += kId3v2HeaderSize;
    if (bytes[3] >= 4 && (bytes[5] & 0x10) != 0)
        size += kId3v2HeaderSize;
    return size;
}

// A tag's whole size when an APE tag footer is at bytes (32 bytes) and the
// tag fits into available bytes.
std::optional<std::uint64_t> apeTagSize(const std::uint8_t *bytes, std::uint64_t available)
{
    if (std::memcmp(bytes, "APETAGEX", 8) != 0)
        return std::nullopt;
    // The size counts the items and the footer; a header, when flagged, comes on top.
    const std::uint64_t size = littleEndian32(bytes + 12);
    const bool hasHeader = (littleEndian32(bytes + 20) & 0x80000000u) != 0;
    const std::uint64_t whole = size + (hasHeader ? kApeFooterSize : 0);
    if (size < kApeFooterSize || whole > available)
        return std::nullopt;
    return whole;
}

struct RangeResult {
    ScanStatus status = ScanStatus::Audio;
    AudioRange range;
};

RangeResult findAudioRange(ByteSource &source)
{
    RangeResult result;
    AudioRange &range = result.range;
    range.end = source.size();
    for (int tag = 0; tag < kMaxStackedTags && range.end - range.begin >= kId3v2HeaderSize; ++tag) {
        const auto bytes = source.bytesAt(range.begin, kId3v2HeaderSize);
        if (!bytes || bytes->size() < kId3v2HeaderSize)
            return {ScanStatus::ReadError, {}};
        const auto size = id3v2TagSize(bytes->data());
        if (!size)
            break;
        range.begin += std::min(*size, range.end - range.begin);
    }
    for (int tag = 0; tag < kMaxStackedTags; ++tag) {
        const std::uint64_t length = range.end - range.begin;
        if (length >= kId3v1Size) {
            const auto bytes = source.bytesAt(range.end - kId3v1Size, 3);
            if (!bytes || bytes->size() < 3)
                return {ScanStatus::ReadError, {}};
            if (std::memcmp(bytes->data(), "TAG", 3) == 0) {
                range.end -= kId3v1Size;
                continue;
            }
        }
        if (length >= kApeFooterSize) {
            const auto bytes = source.bytesAt(range.end - kApeFooterSize, kApeFooterSize);
            if (!bytes || bytes->size() < kApeFooterSize)
                return {ScanStatus::ReadError, {}};
            if (const auto size = apeTagSize(bytes->data(), length)) {
                range.end -= *size;
                continue;
            }
        }
        break;
    }
    return result;
}

// Whether a frame of stream's stream starts at offset, its header below end.
// A free-format frame takes the stream's frame length.
Check frameAt(ByteSource &source, std::uint64_t offset, std::uint64_t end, const FrameHeader &stream,
              FrameHeader &header)
{
    if (offset > end || end - offset < kFrameHeaderSize)
        return Check::No;
    const auto bytes = source.bytesAt(offset, kFrameHeaderSize);
    if (!bytes || bytes->size() < kFrameHeaderSize)
        return Check::ReadError;
    const auto decoded = decodeFrameHeader(bytes->data());
    if (!decoded || !sameStream(*decoded, stream))
        return Check::No;
    header = *decoded;
    if (header.freeFormat)
        setFreeFormatLength(header, stream.frameLength - stream.paddingBytes());
    return Check::Yes;
}

// Whether the frame at offset with that header is followed by more of its
// stream until `frames` frames are seen, or runs exactly to end on the way
// (allowed only with shortRun).
Check checkRun(ByteSource &source, std::uint64_t offset, FrameHeader header, int frames,
               std::uint64_t end, bool shortRun)
{
    const FrameHeader first = header;
    for (int seen = 1; seen < frames; ++seen) {
        offset += header.frameLength;
        if (offset == end)
            return shortRun ? Check::Yes : Check::No;
        const Check next = frameAt(source, offset, end, first, header);
        if (next != Check::Yes)
            return next;
    }
    return Check::Yes;
}

// A free-format frame at offset: its length is the distance to the next
// header of its stream. Such a header may also turn up by chance inside the
// frame's data, so a distance counts only when a run of `frames` frames of
// that length follows. On success the header gets its length.
Check freeFormatRun(ByteSource &source, std::uint64_t offset, FrameHeader &header, int frames,
                    std::uint64_t end, bool shortRun)
{
    constexpr int kTries = 8;
    const std::uint64_t limit =
        std::min<std::uint64_t>(end, offset + kLongestFreeFormatFrame + header.paddingBytes() + 1);
    if (limit <= offset + kFrameHeaderSize)
        return Check::No;
    const std::size_t span = static_cast<std::size_t>(limit - offset) + kFrameHeaderSize;
    int tries = 0;
    for (std::uint64_t at = offset + kFrameHeaderSize + 1; at < limit && tries < kTries; ++at) {
        // bytesAt is asked anew each time: the run checks below may read elsewhere.
        const auto bytes = source.bytesAt(offset, span);
        if (!bytes)
            return Check::ReadError;
        const std::size_t index = static_cast<std::size_t>(at - offset);
        if (bytes->size() < index + kFrameHeaderSize)
            break;
        const std::uint8_t *data = bytes->data() + index;
        if (data[0] != 0xFF || (data[1] & 0xE0) != 0xE0)
            continue;
        const auto next = decodeFrameHeader(data);
        if (!next || !sameStream(*next, header) || at - offset <= header.paddingBytes())
            continue;
        ++tries;
        FrameHeader sized = header;
        setFreeFormatLength(sized, static_cast<std::uint32_t>(at - offset - header.paddingBytes()));
        const Check run = checkRun(source, offset, sized, frames, end, shortRun);
        if (run == Check::ReadError)
            return run;
        if (run == Check::Yes) {
            header = sized;
            return Check::Yes;
        }
    }
    return Check::No;
}

// The first offset in [from, limit) where a frame starts that is of
// current's stream and followed by currentRun - 1 more of it, or of any
// other stream and followed by otherRun - 1 more of that one. Runs that end
// early, exactly at end, count only when they start at or before
// shortRunLimit.
Found findFrame(ByteSource &source, std::uint64_t from, std::uint64_t limit, std::uint64_t end,
                const FrameHeader *current, int currentRun, int otherRun, std::uint64_t shortRunLimit)
{
    std::uint64_t position = from;
    while (position < limit && end - position >= kFrameHeaderSize) {
        const auto bytes = source.bytesAt(position, kFrameHeaderSize);
        if (!bytes || bytes->size() < kFrameHeaderSize)
            return Found{Check::ReadError, 0, {}};
        // Sync bytes can start at offsets below limit and must leave a whole header before end.
        const std::size_t usable = static_cast<std::size_t>(
            std::min<std::uint64_t>(bytes->size(), end - position));
        const std::size_t starts = static_cast<std::size_t>(
            std::min<std::uint64_t>(usable - (kFrameHeaderSize - 1), limit - position));
        const std::uint8_t *data = bytes->data();
        std::size_t index = 0;
        bool sync = false;
        while (index < starts) {
            const void *hit = std::memchr(data + index, 0xFF, starts - index);
            if (!hit)
                break;
            index = static_cast<std::size_t>(static_cast<const std::uint8_t *>(hit) - data);
            if ((data[index + 1] & 0xE0) == 0xE0) {
                sync = true;
                break;
            }
            ++index;
        }
        if (!sync) {
            position += starts;
            continue;
        }

        const std::uint64_t candidate = position + index;
        position = candidate + 1;
        auto header = decodeFrameHeader(data + index);
        if (!header)
            continue;
        const bool same = current != nullptr && sameStream(*header, *current);
        const int frames = same ? currentRun : otherRun;
        const bool shortRun = candidate <= shortRunLimit;
        Check run = Check::No;
        if (!header->freeFormat) {
            run = checkRun(source, candidate, *header, frames, end, shortRun);
        } else if (same) {
            setFreeFormatLength(*header, current->frameLength - current->paddingBytes());
            run = checkRun(source, candidate, *header, frames, end, shortRun);
        } else {
            run = freeFormatRun(source, candidate, *header, frames, end, shortRun);
        }
        if (run == Check::ReadError)
            return Found{Check::ReadError, 0, {}};
        if (run == Check::Yes)
            return {Check::Yes, candidate, *header};
    }
    return Found{Check::No, 0, {}};
}

// Whether an encoder tag's frame count can stand for the stream: present;
// about the bytes that the file's stream has (a file cut short keeps the
// tag of the whole, and a file joined to another keeps only the first one's
// count), or for an Info tag without a byte count, about as many frames as
// the audio bytes hold; and giving an average bitrate that frames of this
// kind can have.
bool usableCount(const EncoderTag &tag, const FrameHeader &header, std::uint64_t streamBytes,
                 std::uint64_t audioBytes)
{
    if (!tag.frames || *tag.frames == 0)
        return false;
    const double seconds =
        static_cast<double>(*tag.frames) * header.samplesPerFrame() / header.sampleRate;
    if (tag.bytes) {
        if (*tag.bytes > streamBytes || streamBytes - *tag.bytes > streamBytes / 100)
            return false;
    } else if (tag.kind == EncoderTag::Kind::Info) {
        const double implied = seconds * header.bitrateKbps * 1000 / 8;
        const double slack = static_cast<double>(audioBytes) / 100 + header.frameLength;
        if (std::fabs(implied - static_cast<double>(audioBytes)) > slack)
            return false;
    } else {
        return false;  // nothing to check the count against
    }
    const double kbps = static_cast<double>(audioBytes) * 8 / seconds / 1000;
    return kbps >= lowestBitrateKbps(header) / 2.0 && kbps <= highestBitrateKbps(header) * 1.5;
}

StreamPart partOf(const FrameHeader &header, std::uint64_t firstFrame)
{
    return {header.sampleRate, header.samplesPerFrame(), header.channels(), firstFrame, 0};
}

}  // namespace

double StreamSummary::duration() const
{
    if (parts.size() > 1) {
        double seconds = 0.0;
        for (const StreamPart &part : parts)
            seconds += static_cast<double>(part.frames * part.samplesPerFrame) / part.sampleRate;
        return seconds;
    }
    if (header.sampleRate == 0)
        return 0.0;
    return static_cast<double>(frames * header.samplesPerFrame()) / header.sampleRate;
}

std::uint32_t StreamSummary::dataRate() const
{
    const double seconds = duration();
    if (!variableBitrate || frames == 0 || seconds <= 0.0)
        return header.bitrateKbps * 1000u;
    const double rate = std::round(static_cast<double>(audioBytes) * 8 / seconds);
    return static_cast<std::uint32_t>(
        std::min(rate, static_cast<double>(std::numeric_limits<std::int32_t>::max())));
}

std::uint32_t StreamSummary::seconds() const
{
    if (parts.size() > 1)
        return static_cast<std::uint32_t>(std::min(std::round(duration()), 32767.0));
    if (header.sampleRate == 0)
        return 0;
    const std::uint64_t samples = frames * header.samplesPerFrame();
    const std::uint64_t rounded = (samples + header.sampleRate / 2) / header.sampleRate;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(rounded, 32767));
}

StreamStart locateStream(ByteSource &source)
{
    StreamStart start;
    const RangeResult range = findAudioRange(source);
    if (range.status != ScanStatus::Audio) {
        start.status = range.status;
        return start;
    }
    start.range = range.range;
    const std::uint64_t length = range.range.end - range.range.begin;
    const Found found = findFrame(source, range.range.begin,
                                  range.range.begin + std::min(length, kProbeWindow), range.range.end,
                                  nullptr, 0, 3, range.range.begin);
    if (found.check != Check::Yes) {
        start.status = found.check == Check::ReadError ? ScanStatus::ReadError : ScanStatus::NotAudio;
        return start;
    }
    start.status = ScanStatus::Audio;
    start.offset = found.offset;
    start.header = found.header;
    return start;
}

StreamScan summarizeStream(ByteSource &source)
{
    StreamScan scan;
    const StreamStart start = locateStream(source);
    scan.status = start.status;
    if (start.status != ScanStatus::Audio)
        return scan;
    const std::uint64_t end = start.range.end;
    StreamSummary &summary = scan.summary;
    summary.fileSize = source.size();
    summary.header = start.header;
    const auto readError = [&scan] {
        scan.status = ScanStatus::ReadError;
        scan.summary = {};
        return scan;
    };

    std::uint64_t position = start.offset;
    const auto firstFrame = source.bytesAt(start.offset, start.header.frameLength);
    if (!firstFrame)
        return readError();
    if (const auto tag = findEncoderTag(start.header, *firstFrame)) {
        // The tag's frame carries no audio; the header fields come from the frame after it.
        position += start.header.frameLength;
        FrameHeader next;
        const Check check = frameAt(source, position, end, start.header, next);
        if (check == Check::ReadError)
            return readError();
        if (check == Check::Yes)
            summary.header = next;
        if (usableCount(*tag, summary.header, end - start.offset, end - position)) {
            summary.frames = *tag->frames;
            summary.audioBytes = end - position;
            summary.variableBitrate = tag->kind != EncoderTag::Kind::Info;
            summary.countFromEncoderTag = true;
            return scan;
        }
    }

    FrameHeader stream = start.header;  // what the walk follows now
    std::uint64_t partStart = 0;        // the frame where the stream became what it is
    FrameHeader header;
    for (;;) {
        const Check check = frameAt(source, position, end, stream, header);
        if (check == Check::ReadError)
            return readError();
        if (check == Check::No) {
            const Found found = findFrame(source, position, end, end, &stream, 2, 3, end);
            if (found.check == Check::ReadError)
                return readError();
            if (found.check == Check::No)
                break;
            position = found.offset;
            header = found.header;
            if (!sameStream(header, stream)) {
                // Another part begins; the parts are listed from the first change on.
                if (summary.frames > partStart) {
                    if (summary.parts.empty())
                        summary.parts.push_back(partOf(stream, partStart));
                    summary.parts.back().frames = summary.frames - partStart;
                    summary.parts.push_back(partOf(header, summary.frames));
                } else if (!summary.parts.empty()) {
                    summary.parts.back() = partOf(header, summary.frames);
                }
                stream = header;
                partStart = summary.frames;
            }
        }
        if (header.frameLength > end - position)
            break;  // a frame cut short at the end is not counted
        if (summary.frames == 0)
            summary.header = header;
        else if (header.bitrateKbps != summary.header.bitrateKbps)
            summary.variableBitrate = true;
        ++summary.frames;
        summary.audioBytes += header.frameLength;
        position += header.frameLength;
    }
    if (!summary.parts.empty())
        summary.parts.back().frames = summary.frames - summary.parts.back().firstFrame;
    return scan;
}

}  // namespace audioengine
