#pragma once

#include <QString>

namespace sbmp3 {

// "m:ss" of whole seconds (negative counts as 0).
QString minutesAndSeconds(double seconds);

// The line `sbmp3 play` keeps rewriting on a terminal:
// "[2/5] Artist - Title  0:12 / 3:45", the name cut short so that the line
// fits in `width` columns, and padded to them, so that it covers a longer
// line before it.
QString progressLine(int track, int tracks, const QString &name, double position, int length, int width);

}  // namespace sbmp3
