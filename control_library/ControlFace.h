#pragma once

#include <QPixmap>
#include <QSize>

#include <functional>

class QPainter;
class QWidget;

namespace SonbrelMP3 {

// The library's controls show a fixed picture and keep a fixed size.
inline constexpr int kControlSize = 32;

// A kControlSize square picture: the library's dark rounded tile, then
// whatever `drawSymbol` paints on it.
QPixmap drawControlFace(const std::function<void(QPainter &)> &drawSymbol);

// Paints the picture at the control's top-left corner.
void paintControlFace(QWidget &control, const QPixmap &face);

// Snaps the control back to kControlSize whenever something resizes it.
void keepControlSize(QWidget &control, const QSize &newSize);

}  // namespace SonbrelMP3
