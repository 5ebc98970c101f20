#include "AlarmTone.h"


#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace kestrum {

namespace {

constexpr int kRampFrames = AlarmTone::kRate * 4 / 1000; // 4 ms fades against clicks

void appendLittleEndian(QByteArray &out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

QByteArray AlarmTone::wav()
{
    const int beepFrames = kRate * kBeepMs / 1000;
    const int gapFrames = kRate * kGapMs / 1000;
    const int pauseFrames = kRate * kPauseMs / 1000;
    const int total = kBeeps * beepFrames + (kBeeps - 1) * gapFrames + pauseFrames;

    // A sine with a third of its third harmonic: brighter and harder to
    // sleep through than a pure tone, still clean on small speakers.
    std::vector<double> shape(static_cast<std::size_t>(total), 0.0);
    double peak = 0;
    for (int beep = 0; beep < kBeeps; ++beep) {
        const double frequency = beep % 2 == 0 ? kHigh : kLow;
        const int first = beep * (beepFrames + gapFrames);
        for (int i = 0; i < beepFrames; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double phase = 2 * std::numbers::pi * frequency * t;
            double value = std::sin(phase) + std::sin(3 * phase) / 3;
            const int edge = std::min(i, beepFrames - 1 - i);
            if (edge < kRampFrames)
                value *= 0.5 - 0.5 * std::cos(std::numbers::pi * edge / kRampFrames);
            shape[static_cast<std::size_t>(first + i)] = value;
            peak = std::max(peak, std::fabs(value));
        }
    }

    const double scale = std::pow(10.0, kPeakDbfs / 20) * 32767 / peak;
    QByteArray samples;
    samples.reserve(total * 2);
    for (const double value : shape)
        appendLittleEndian(samples, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value * scale))), 2);

    QByteArray image;
    image.reserve(44 + samples.size());
    image.append("RIFF");
    appendLittleEndian(image, static_cast<std::uint32_t>(36 + samples.size()), 4);
    image.append("WAVEfmt ");
    appendLittleEndian(image, 16, 4);       // format block length
    appendLittleEndian(image, 1, 2);        // PCM
    appendLittleEndian(image, 1, 2);        // mono
    appendLittleEndian(image, kRate, 4);
    appendLittleEndian(image, kRate * 2, 4); // bytes a second
    appendLittleEndian(image, 2, 2);        // bytes a frame
    appendLittleEndian(image, 16, 2);       // bits a sample
    image.append("data");
    appendLittleEndian(image, static_cast<std::uint32_t>(samples.size()), 4);
    return image + samples;
}

} // namespace kestrum
