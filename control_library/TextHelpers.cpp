#include "TextHelpers.h"

namespace SonbrelMP3 {

QString PadToWidth(const QString &text, int width, QChar pad)
{
    if (width <= 0)
        return {};
    if (text.size() >= width)
        return text.left(width);
    return text + QString(width - text.size(), pad);
}

QString trimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

}  // namespace SonbrelMP3
