#pragma once

#include "engine/AudioEngine.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace SonbrelMP3 {

// The stream information that the engine reports as "|"-separated text.
// Each field is set only when its position is present and converts.
struct FrameInfoFields {
    std::optional<float> mpegVersion;       // position 0
    std::optional<std::int16_t> layer;      // 1
    std::optional<std::int32_t> dataRate;   // 3
    std::optional<std::int32_t> sampleRate; // 4
    std::optional<bool> crcPresent;         // 5
    std::optional<QString> channelMode;     // 7
    std::optional<bool> copyrighted;        // 9
    std::optional<bool> original;           // 10
    std::optional<std::int32_t> fileSize;   // 12
    std::optional<std::int32_t> frames;     // 13
    std::optional<std::int16_t> trackLength;// 14
};

// Reads the text in the buffer up to its first NUL, or the whole buffer when
// it has none.
FrameInfoFields parseFrameInfo(const FrameInfoBuffer &buffer);

// Conversions of a field's text, each nothing when the text is not a number
// or the number does not fit. Surrounding white space is allowed; integers
// are rounded half to even.
std::optional<double> toNumber(QStringView text);
std::optional<std::int16_t> toInt16(QStringView text);
std::optional<std::int32_t> toInt32(QStringView text);
std::optional<float> toFloat(QStringView text);
// 0 is false, any other number true; "True" and "False" in any case too.
std::optional<bool> toBoolean(QStringView text);

// The shortest decimal text that reads back as the same float ("1", "2.5").
QString floatToText(float value);

}  // namespace SonbrelMP3
