#include "SharedText.h"

#include <QStringDecoder>

#include <algorithm>
#include <cmath>

namespace platform {

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

QString fileNamePart(const QString &path)
{
    const qsizetype separator = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return path.mid(separator + 1);
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString decoded = utf8.decode(bytes);  // decoding happens here
    return !utf8.hasError();
}

qsizetype utf8SequenceLength(QByteArrayView bytes, qsizetype index)
{
    if (index < 0 || index >= bytes.size())
        return 0;
    // The lead byte gives the length the sequence claims; the decoder
    // decides whether those bytes form a character.
    const auto lead = static_cast<unsigned char>(bytes.at(index));
    const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || index + length > bytes.size())
        return 0;
    return isValidUtf8(bytes.sliced(index, length)) ? length : 0;
}

bool hasControlCharacter(QByteArrayView bytes)
{
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool roundsAwayFromZero(bool wholePartIsOdd, Fraction fraction)
{
    return fraction == Fraction::AboveHalf || (fraction == Fraction::Half && wholePartIsOdd);
}

double roundHalfToEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double whole = std::trunc(value);
    const double rest = std::fabs(value - whole);  // exact: no bits are lost
    const Fraction fraction = rest == 0.0   ? Fraction::Zero
                              : rest < 0.5  ? Fraction::BelowHalf
                              : rest == 0.5 ? Fraction::Half
                                            : Fraction::AboveHalf;
    const bool odd = std::fmod(whole, 2.0) != 0.0;
    return roundsAwayFromZero(odd, fraction) ? whole + std::copysign(1.0, value) : whole;
}

}  // namespace platform
