#include "FrameInfoText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace audioengine {

std::size_t formatFrameInfo(const StreamSummary &summary, char *out, std::size_t size)
{
    static constexpr std::array<std::string_view, 3> versions{"1", "2", "2.5"};
    static constexpr std::array<std::string_view, 4> emphases{"None", "50/15 ms", "Reserved",
                                                              "CCITT J.17"};
    static constexpr std::array<std::string_view, 4> modes{"Stereo", "Joint Stereo", "Dual Channel",
                                                           "Single Channel"};
    if (size == 0)
        return 0;
    const FrameHeader &header = summary.header;
    const auto flag = [](bool value) { return std::string_view(value ? "1" : "0"); };

    char *at = out;
    char *const end = out + size - 1;  // room for the NUL
    const auto put = [&](std::string_view text) {
        const std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(end - at));
        std::memcpy(at, text.data(), count);
        at += count;
    };
    bool first = true;
    const auto field = [&](auto value) {
        if (!first)
            put("|");
        first = false;
        if constexpr (std::is_arithmetic_v<decltype(value)>) {
            char digits[24];
            const auto written = std::to_chars(digits, digits + sizeof digits, value);
            put(std::string_view(digits, static_cast<std::size_t>(written.ptr - digits)));
        } else {
            put(value);
        }
    };
    field(versions[static_cast<std::size_t>(header.version)]);
    field(static_cast<unsigned>(header.layer));
    field(std::string_view(summary.variableBitrate ? "VBR" : "CBR"));
    field(summary.dataRate());
    field(header.sampleRate);
    field(flag(header.crcPresent));
    field(emphases[header.emphasis & 3]);
    field(modes[static_cast<std::size_t>(header.channelMode)]);
    field(flag(header.privateBit));
    field(flag(header.copyright));
    field(flag(header.original));
    field(static_cast<unsigned>(header.channels()));
    field(summary.fileSize);
    field(summary.frames);
    field(summary.seconds());
    *at = '\0';
    return static_cast<std::size_t>(at - out);
}

std::string formatFrameInfo(const StreamSummary &summary)
{
    char text[256];
    return std::string(text, formatFrameInfo(summary, text, sizeof text));
}

}  // namespace audioengine
