#include "FrameInfoText.h"

#include <array>
#include <string>
#include <string_view>
#include <type_traits>

namespace audioengine {

std::string formatFrameInfo(const StreamSummary &summary)
{
    static constexpr std::array<std::string_view, 3> versions{"1", "2", "2.5"};
    static constexpr std::array<std::string_view, 4> emphases{"None", "50/15 ms", "Reserved",
                                                              "CCITT J.17"};
    static constexpr std::array<std::string_view, 4> modes{"Stereo", "Joint Stereo", "Dual Channel",
                                                           "Single Channel"};
    const FrameHeader &header = summary.header;
    const auto flag = [](bool value) { return value ? "1" : "0"; };

    std::string text;
    text.reserve(160);
    const auto field = [&text](auto value) {
        if (!text.empty())
            text += '|';
        if constexpr (std::is_arithmetic_v<decltype(value)>)
            text += std::to_string(value);
        else
            text += value;
    };
    field(versions[static_cast<std::size_t>(header.version)]);
    field(static_cast<unsigned>(header.layer));
    field(summary.variableBitrate ? "VBR" : "CBR");
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
    return text;
}

}  // namespace audioengine
