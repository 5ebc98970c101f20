#pragma once

#include <QColor>
#include <QImage>

class QPainter;
class QRectF;

namespace kestrum {

// The pictures of the program, drawn with QPainter so that no bitmap files
// need to be kept: the program's icon, the two alarm pictures of the clock
// display and the display's panel. Each works on a QImage and needs no
// display connection, so a build step can write the icon files too.

// Colours of the clock display: lit segments, unlit segments, the panel.
inline const QColor kSegmentLit{0x7d, 0xff, 0xb4};
inline const QColor kSegmentGhost{0x7d, 0xff, 0xb4, 0x1c};
inline const QColor kMessageColour{0xff, 0xc8, 0x57};
inline const QColor kRingingColour{0xff, 0x6b, 0x4a};

// The program's icon: an alarm clock with two bells, a square image of
// `size` pixels with a transparent background.
QImage appIcon(int size);

// picAl: a small bell, shown while the alarm is armed.
QImage armedPicture(int size);

// picAlON: the bell ringing, with sound waves either side; blinks while the
// tune plays.
QImage ringingPicture(int size);

// The clock display's panel (picDisplay) within `rect`: a dark glass face
// in a bevelled frame.
void paintDisplayPanel(QPainter &painter, const QRectF &rect);

}  // namespace kestrum
