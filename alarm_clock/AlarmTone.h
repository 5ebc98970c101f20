#pragma once

#include <QByteArray>

namespace kestrum {

// The alarm bell: a loud two-tone beeping that nobody mistakes for music,
// made by the program so that it needs no file. One round of it, meant to be
// played in a loop: four short beeps, high and low by turns, then a pause;
// it starts and ends in silence, so the rounds join without a click.
struct AlarmTone {
    static constexpr int kRate = 44100;         // frames a second, 16-bit mono
    static constexpr double kHigh = 1760.0;     // Hz
    static constexpr double kLow = 1318.5;      // Hz
    static constexpr int kBeeps = 4;
    static constexpr int kBeepMs = 120;
    static constexpr int kGapMs = 30;           // between beeps
    static constexpr int kPauseMs = 400;        // after the last beep
    static constexpr double kPeakDbfs = -3.0;

    // One round as a whole WAV image (RIFF header, 16-bit PCM mono).
    static QByteArray wav();
};

} // namespace kestrum
