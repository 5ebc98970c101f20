#pragma once

#include <QWidget>

// A peak-level meter with one bar per channel, in decibels from -48 dB to
// full scale; a thin mark holds each channel's recent peak.
class LevelMeter : public QWidget {
    Q_OBJECT

public:
    explicit LevelMeter(QWidget *parent = nullptr);

    // Levels from 0 (silence) to 1 (full scale).
    void setLevels(double left, double right);
    QSize sizeHint() const override { return {44, 120}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double levels_[2] = {0.0, 0.0};
    double peaks_[2] = {0.0, 0.0};
};
