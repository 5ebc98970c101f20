#include "ProgressLine.h"

#include <algorithm>

namespace sbmp3 {

QString minutesAndSeconds(double seconds)
{
    const int whole = seconds > 0.0 ? static_cast<int>(seconds) : 0;
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString progressLine(int track, int tracks, const QString &name, double position, int length, int width)
{
    const QString counter = QStringLiteral("[%1/%2] ").arg(track).arg(tracks);
    const QString time = QStringLiteral("  ") + minutesAndSeconds(position) + QStringLiteral(" / ")
                         + minutesAndSeconds(length);
    // One column stays free: a line that fills the last column makes some
    // terminals move to the next line.
    const qsizetype room = std::max<qsizetype>(0, width - 1 - counter.size() - time.size());
    QString shown = name;
    if (shown.size() > room)
        shown = room > 3 ? shown.left(room - 3) + QStringLiteral("...") : shown.left(room);
    return (counter + shown + time).leftJustified(std::max(0, width - 1), QLatin1Char(' '), true);
}

}  // namespace sbmp3
