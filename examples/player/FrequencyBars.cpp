#include "FrequencyBars.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

FrequencyBars::FrequencyBars(QWidget *parent) : QWidget(parent) {}

void FrequencyBars::setMagnitudes(const QVector<float> &magnitudes)
{
    magnitudes_ = magnitudes;
    update();
}

void FrequencyBars::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(24, 26, 30));
    if (magnitudes_.size() < 2)
        return;
    // A logarithmic frequency axis, as the ear hears: bin i (of n, evenly
    // spaced from 0 Hz) spans log(i) to log(i + 1) of log(n); bin 0, the
    // constant part, is left out.
    const int bins = static_cast<int>(magnitudes_.size());
    for (int i = 1; i < bins; ++i) {
        const double left = width() * std::log(i) / std::log(bins);
        const double right = width() * std::log(i + 1) / std::log(bins);
        const double magnitude = magnitudes_[i];
        const double decibels = magnitude > 0.0 ? 20.0 * std::log10(magnitude) : -60.0;
        const double share = std::clamp(1.0 + decibels / 60.0, 0.0, 1.0);
        const double barHeight = share * (height() - 4);
        painter.fillRect(QRectF(left, height() - barHeight, std::max(1.0, right - left - 1.0), barHeight),
                         QColor::fromHsvF(0.33 - 0.33 * share, 0.8, 0.9));
    }
}
