#include "DisplayPanel.h"

#include "KestrumArt.h"

#include <QEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>

namespace kestrum {

DisplayPanel::DisplayPanel(QWidget *parent) : QWidget(parent)
{
    // Painted whole (corners in the window's colour), so nothing beneath
    // needs painting when a digit changes.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DisplayPanel::addGhost(QLabel *label, const QString &ghost)
{
    ghosts_.push_back({label, ghost});
    label->installEventFilter(this);
    face_ = QPixmap();
}

void DisplayPanel::paintEvent(QPaintEvent *event)
{
    const qreal ratio = devicePixelRatioF();
    if (face_.isNull() || face_.size() != size() * ratio) {
        face_ = QPixmap(size() * ratio);
        face_.setDevicePixelRatio(ratio);
        face_.fill(palette().color(QPalette::Window));
        QPainter painter(&face_);
        paintDisplayPanel(painter, rect());
        painter.setPen(kSegmentGhost);
        for (const auto &[label, ghost] : ghosts_) {
            painter.setFont(label->font());
            painter.drawText(label->geometry(), static_cast<int>(label->alignment()), ghost);
        }
    }
    QPainter painter(this);
    const QRect area = event->rect();
    painter.drawPixmap(area, face_, QRectF(area.topLeft() * ratio, area.size() * ratio).toRect());
}

void DisplayPanel::changeEvent(QEvent *event)
{
    // The corners take the palette's colour: a new palette, a new face.
    if (event->type() == QEvent::PaletteChange)
        face_ = QPixmap();
    QWidget::changeEvent(event);
}

bool DisplayPanel::eventFilter(QObject *watched, QEvent *event)
{
    // A segment label placed anew: its unlit segments move with it.
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        face_ = QPixmap();
    return QWidget::eventFilter(watched, event);
}

}  // namespace kestrum
