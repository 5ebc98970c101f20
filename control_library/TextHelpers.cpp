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

}  // namespace SonbrelMP3
