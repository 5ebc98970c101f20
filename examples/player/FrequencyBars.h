#pragma once

#include <QVector>
#include <QWidget>

// Bars of a magnitude spectrum, low frequencies on the left on a
// logarithmic axis, in decibels from -60 dB to full scale.
class FrequencyBars : public QWidget {
    Q_OBJECT

public:
    explicit FrequencyBars(QWidget *parent = nullptr);

    // Magnitudes from 0 to 1, evenly spaced in frequency.
    void setMagnitudes(const QVector<float> &magnitudes);
    QSize sizeHint() const override { return {256, 120}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVector<float> magnitudes_;
};
