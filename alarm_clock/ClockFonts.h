#pragma once

#include <QFont>
#include <QString>

namespace kestrum {

// The fonts of the clock display. The seven-segment (DSEG7 Classic) and
// fourteen-segment (DSEG14 Classic, for "AM" and "PM", which seven segments
// cannot spell) faces are bundled in the program's resources; the message
// asks for Courier New and falls back to a metric-compatible or any other
// monospaced face.
struct ClockFonts {
    QString sevenSegmentFamily;    // empty when the bundled font could not be loaded
    QString fourteenSegmentFamily; // likewise

    QFont sevenSegment(int pixelSize) const;
    QFont fourteenSegment(int pixelSize) const;
    static QFont message(int pixelSize);
};

// Registers the bundled fonts with the application on the first call.
const ClockFonts &clockFonts();

}  // namespace kestrum
