#pragma once

#include <QChar>
#include <QString>

namespace SonbrelMP3 {

// Text padded with `pad` up to `width` characters, or cut to its first
// `width` characters when it is as long or longer. A width of 0 or less
// gives the empty string.
QString PadToWidth(const QString &text, int width, QChar pad = QLatin1Char(' '));

}  // namespace SonbrelMP3
