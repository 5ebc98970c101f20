#include "ControlFace.h"

#include <QPainter>
#include <QWidget>

namespace SonbrelMP3 {

QPixmap drawControlFace(const std::function<void(QPainter &)> &drawSymbol)
{
    QPixmap pixmap(kControlSize, kControlSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(20, 28, 38), 1));
    painter.setBrush(QColor(44, 58, 76));
    painter.drawRoundedRect(QRectF(0.5, 0.5, kControlSize - 1, kControlSize - 1), 5, 5);
    drawSymbol(painter);
    return pixmap;
}

void paintControlFace(QWidget &control, const QPixmap &face)
{
    QPainter painter(&control);
    painter.drawPixmap(0, 0, face);
}

void keepControlSize(QWidget &control, const QSize &newSize)
{
    if (newSize != QSize(kControlSize, kControlSize))
        control.resize(kControlSize, kControlSize);
}

}  // namespace SonbrelMP3
