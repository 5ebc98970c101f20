#include "KestrumArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace kestrum {

namespace {

QImage blankImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A bell shape in a 100 x 100 box: dome, flared skirt, clapper.
QPainterPath bellPath()
{
    QPainterPath bell;
    bell.moveTo(50, 10);
    bell.cubicTo(72, 10, 76, 30, 76, 50);
    bell.cubicTo(76, 62, 80, 70, 90, 76);
    bell.lineTo(10, 76);
    bell.cubicTo(20, 70, 24, 62, 24, 50);
    bell.cubicTo(24, 30, 28, 10, 50, 10);
    bell.closeSubpath();
    return bell;
}

void paintBell(QPainter &painter, const QColor &colour)
{
    QLinearGradient shade(20, 0, 80, 0);
    shade.setColorAt(0.0, colour.lighter(150));
    shade.setColorAt(0.55, colour);
    shade.setColorAt(1.0, colour.darker(160));
    painter.setPen(QPen(colour.darker(220), 4));
    painter.setBrush(shade);
    painter.drawPath(bellPath());
    painter.setBrush(colour.darker(180));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(50, 84), 9, 9); // clapper
    painter.drawRoundedRect(QRectF(45, 3, 10, 9), 3, 3); // knob
}

}  // namespace

QImage appIcon(int size)
{
    QImage image = blankImage(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 128.0, size / 128.0);

    // Two bells on top, leaning outwards, joined by a handle.
    const QColor brass(0xe0, 0xa9, 0x2e);
    for (const int side : {-1, 1}) {
        painter.save();
        painter.translate(64 + side * 33, 30);
        painter.rotate(side * 38);
        painter.scale(0.36, 0.36);
        painter.translate(-50, -50);
        paintBell(painter, brass);
        painter.restore();
    }
    painter.setPen(QPen(QColor(0x5a, 0x3b, 0x10), 6, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(40, 6, 48, 30), 30 * 16, 120 * 16);

    // Legs.
    painter.setPen(QPen(QColor(0x3a, 0x22, 0x1a), 8, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(38, 104), QPointF(26, 120));
    painter.drawLine(QPointF(90, 104), QPointF(102, 120));

    // The case: a red ring with a light on its upper left.
    QRadialGradient body(QPointF(48, 50), 70);
    body.setColorAt(0.0, QColor(0xff, 0x8a, 0x6a));
    body.setColorAt(0.6, QColor(0xd9, 0x3b, 0x2b));
    body.setColorAt(1.0, QColor(0x8c, 0x1c, 0x14));
    painter.setPen(QPen(QColor(0x5c, 0x12, 0x0c), 3));
    painter.setBrush(body);
    painter.drawEllipse(QPointF(64, 70), 48, 48);

    // The face: the dark display of the clock with its green glow.
    QRadialGradient face(QPointF(58, 62), 44);
    face.setColorAt(0.0, QColor(0x1c, 0x3a, 0x2c));
    face.setColorAt(1.0, QColor(0x06, 0x12, 0x0c));
    painter.setPen(QPen(QColor(0x2a, 0x0a, 0x06), 2));
    painter.setBrush(face);
    painter.drawEllipse(QPointF(64, 70), 37, 37);

    // Twelve ticks and two hands at ten past ten.
    painter.setPen(QPen(kSegmentLit, 3, Qt::SolidLine, Qt::RoundCap));
    for (int tick = 0; tick < 12; ++tick) {
        const double angle = tick * M_PI / 6.0;
        const double inner = tick % 3 == 0 ? 26 : 29;
        painter.drawLine(QPointF(64 + inner * std::sin(angle), 70 - inner * std::cos(angle)),
                         QPointF(64 + 33 * std::sin(angle), 70 - 33 * std::cos(angle)));
    }
    painter.setPen(QPen(kSegmentLit, 6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(64, 70), QPointF(64 - 16, 70 - 10)); // hour hand at ten
    painter.setPen(QPen(kSegmentLit, 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(64, 70), QPointF(64 + 22, 70 - 14)); // minute hand at two
    painter.setPen(Qt::NoPen);
    painter.setBrush(kMessageColour);
    painter.drawEllipse(QPointF(64, 70), 5, 5);
    return image;
}

namespace {

// A transparent square picture of `size` pixels; `draw` paints on a 100 x 100
// grid, antialiased.
template <typename Draw>
QImage bellPicture(int size, Draw draw)
{
    QImage image = blankImage(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 100.0, size / 100.0);
    draw(painter);
    return image;
}

}  // namespace

QImage armedPicture(int size)
{
    return bellPicture(size, [](QPainter &painter) { paintBell(painter, kSegmentLit.darker(115)); });
}

QImage ringingPicture(int size)
{
    return bellPicture(size, [](QPainter &painter) {
        // The bell, tilted as it swings, smaller to leave room for the waves.
        painter.save();
        painter.translate(50, 50);
        painter.rotate(-14);
        painter.scale(0.72, 0.72);
        painter.translate(-50, -50);
        paintBell(painter, kRingingColour);
        painter.restore();
        painter.setPen(QPen(kRingingColour, 6, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        for (const int radius : {34, 46}) {
            const QRectF arc(50 - radius, 50 - radius, 2 * radius, 2 * radius);
            painter.drawArc(arc, -35 * 16, 70 * 16); // right
            painter.drawArc(arc, 145 * 16, 70 * 16); // left
        }
    });
}

void paintDisplayPanel(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Bevelled frame.
    QLinearGradient frame(rect.topLeft(), rect.bottomLeft());
    frame.setColorAt(0.0, QColor(0x55, 0x5d, 0x66));
    frame.setColorAt(1.0, QColor(0x1d, 0x21, 0x26));
    painter.setPen(QPen(QColor(0x10, 0x12, 0x14), 1));
    painter.setBrush(frame);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    // The glass.
    const QRectF glass = rect.adjusted(6, 6, -6, -6);
    QLinearGradient face(glass.topLeft(), glass.bottomLeft());
    face.setColorAt(0.0, QColor(0x10, 0x24, 0x1b));
    face.setColorAt(1.0, QColor(0x04, 0x0c, 0x08));
    painter.setPen(QPen(QColor(0x00, 0x00, 0x00, 0xc0), 1.5));
    painter.setBrush(face);
    painter.drawRoundedRect(glass, 6, 6);
    // A faint reflection across the upper third.
    QLinearGradient shine(glass.topLeft(), QPointF(glass.left(), glass.top() + glass.height() * 0.4));
    shine.setColorAt(0.0, QColor(255, 255, 255, 22));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawRoundedRect(glass.adjusted(2, 2, -2, -glass.height() * 0.6), 5, 5);
    painter.restore();
}

}  // namespace kestrum
