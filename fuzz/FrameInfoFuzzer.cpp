// Arbitrary contents through the stream scanner in memory, and now and then
// through frameInfoOfFile and probeMpegFile on a file: the verdicts agree,
// the text keeps its shape, and the file gives the same text as memory.
#include "FrameInfoText.h"
#include "MpegFuzzInput.h"
#include "StreamFiles.h"
#include "StreamScanner.h"
#include "sonbrel_mp3.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace audioengine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes = fuzzing::shapeMpegInput(data, size);
    MemorySource source(bytes);
    const StreamStart start = locateStream(source);
    const StreamScan scan = summarizeStream(source);
    if (scan.status == ScanStatus::ReadError || (start.status == ScanStatus::Audio) != (scan.status == ScanStatus::Audio))
        std::abort();

    std::string text;
    if (scan.status == ScanStatus::Audio) {
        const StreamSummary &summary = scan.summary;
        if (start.offset < start.range.begin || start.offset >= start.range.end || start.range.end > bytes.size())
            std::abort();
        // Walked frames are real bytes of the file, of bitrates frames can
        // have: those of the header's table, or for free format (and for
        // parts of several kinds, which may include it) what its longest
        // frame gives at the highest rate.
        const std::uint32_t highest =
            summary.header.freeFormat || summary.parts.size() > 1
                ? (kLongestFreeFormatFrame + 4) * 8 * (48000 / 384)
                : highestBitrateKbps(summary.header) * 1000u;
        if (!summary.countFromEncoderTag &&
            (summary.audioBytes > start.range.end - start.range.begin ||
             (summary.frames > 0 && summary.dataRate() > highest + 1000)))
            std::abort();
        text = formatFrameInfo(summary);
        if (text.size() >= SBMP3_FRAME_INFO_SIZE || std::count(text.begin(), text.end(), '|') != 14 ||
            summary.seconds() > 32767)
            std::abort();
    }

    // Through a file for one input in 16: the file holds what memory held.
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    if (hash % 16 == 0) {
        fuzzing::writeScratch(bytes);
        char info[SBMP3_FRAME_INFO_SIZE];
        std::memset(info, 'x', sizeof info);
        const std::int16_t result = frameInfoOfFile(fuzzing::scratchFile().c_str(), info);
        const bool audio = scan.status == ScanStatus::Audio;
        if (result != (audio ? 1 : 0) || info[sizeof info - 1] != '\0' || text != info)
            std::abort();
        if (probeMpegFile(fuzzing::scratchFile().c_str()) != (audio ? 0 : SBMP3_ERR_NOT_AUDIO))
            std::abort();
    }
    return 0;
}
