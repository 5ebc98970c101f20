#include "playlist/FrameInfo.h"

#include "SharedText.h"

#include <QList>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace SonbrelMP3 {

namespace {

template <typename Integer>
std::optional<Integer> toInteger(QStringView text)
{
    const std::optional<double> number = toNumber(text);
    if (!number)
        return std::nullopt;
    const double rounded = platform::roundHalfToEven(*number);
    if (rounded < static_cast<double>(std::numeric_limits<Integer>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Integer>::max()))
        return std::nullopt;
    return static_cast<Integer>(rounded);
}

}  // namespace

std::optional<double> toNumber(QStringView text)
{
    const std::string trimmed = text.trimmed().toString().toStdString();
    const char *first = trimmed.data();
    const char *last = first + trimmed.size();
    if (first != last && *first == '+')
        ++first;
    // Only plain decimal numbers: no "inf", "nan" or hexadecimal forms.
    if (first == last || std::string_view("-.0123456789").find(*first) == std::string_view::npos)
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int16_t> toInt16(QStringView text)
{
    return toInteger<std::int16_t>(text);
}

std::optional<std::int32_t> toInt32(QStringView text)
{
    return toInteger<std::int32_t>(text);
}

std::optional<float> toFloat(QStringView text)
{
    const std::optional<double> number = toNumber(text);
    if (!number || std::fabs(*number) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(*number);
}

std::optional<bool> toBoolean(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> number = toNumber(trimmed);
    if (!number)
        return std::nullopt;
    return *number != 0.0;
}

QString floatToText(float value)
{
    char text[64];
    const auto result = std::to_chars(std::begin(text), std::end(text), value);
    return QString::fromLatin1(text, result.ptr - text);
}

FrameInfoFields parseFrameInfo(const FrameInfoBuffer &buffer)
{
    const std::size_t length = strnlen(buffer.data(), buffer.size());
    const QString text = QString::fromUtf8(buffer.data(), static_cast<qsizetype>(length));
    const QList<QStringView> parts = QStringView(text).split(u'|');
    const auto field = [&parts](qsizetype position) -> std::optional<QStringView> {
        if (position >= parts.size())
            return std::nullopt;
        return parts.at(position);
    };

    FrameInfoFields fields;
    const auto convert = [&field](qsizetype position, auto &target, auto conversion) {
        if (const auto part = field(position))
            target = conversion(*part);
    };
    convert(0, fields.mpegVersion, toFloat);
    convert(1, fields.layer, toInt16);
    convert(3, fields.dataRate, toInt32);
    convert(4, fields.sampleRate, toInt32);
    convert(5, fields.crcPresent, toBoolean);
    if (const auto part = field(7))
        fields.channelMode = part->toString();
    convert(9, fields.copyrighted, toBoolean);
    convert(10, fields.original, toBoolean);
    convert(12, fields.fileSize, toInt32);
    convert(13, fields.frames, toInt32);
    convert(14, fields.trackLength, toInt16);
    return fields;
}

}  // namespace SonbrelMP3
