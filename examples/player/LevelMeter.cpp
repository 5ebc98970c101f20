#include "LevelMeter.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFloorDb = -48.0;

// Where a level lies on the meter's scale: 0 at the floor, 1 at full scale.
double scaled(double level)
{
    if (level <= 0.0)
        return 0.0;
    return std::clamp(1.0 - 20.0 * std::log10(level) / kFloorDb, 0.0, 1.0);
}

}  // namespace

LevelMeter::LevelMeter(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void LevelMeter::setLevels(double left, double right)
{
    const double levels[2] = {left, right};
    for (int channel = 0; channel < 2; ++channel) {
        levels_[channel] = scaled(levels[channel]);
        // The peak mark falls slowly, so the eye can catch it.
        peaks_[channel] = std::max(levels_[channel], peaks_[channel] - 0.01);
    }
    update();
}

void LevelMeter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(24, 26, 30));
    QLinearGradient colours(0, height(), 0, 0);
    colours.setColorAt(0.0, QColor(60, 200, 100));
    colours.setColorAt(0.7, QColor(230, 210, 60));
    colours.setColorAt(1.0, QColor(240, 70, 50));

    const int barWidth = (width() - 12) / 2;
    for (int channel = 0; channel < 2; ++channel) {
        const int x = 4 + channel * (barWidth + 4);
        const int top = height() - 4 - static_cast<int>(levels_[channel] * (height() - 8));
        painter.fillRect(QRect(x, top, barWidth, height() - 4 - top), colours);
        const int peak = height() - 4 - static_cast<int>(peaks_[channel] * (height() - 8));
        painter.fillRect(QRect(x, peak - 1, barWidth, 2), Qt::white);
    }
}
