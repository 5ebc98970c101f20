#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace kestrum {

// The alarm program's settings: one record for the whole run. Both windows
// edit it in place; loadSettings fills it at start-up and saveSettings
// writes it at exit.
struct AlarmSettings {
    static constexpr int kTuneSlots = 101; // indexes 0 to 100

    QString alarmText;              // hour & minute & half of day, "705AM" for 7:05 in the morning
    std::int16_t snoozeMinutes = 0; // 0: no replay
    std::int16_t playOrder = 0;     // 0 selected tune, 1 next new tune on every alarm
    std::array<QString, kTuneSlots> tunes{}; // "path,name"
    std::int16_t tuneCount = 0;
    std::int16_t nextTuneIndex = 0;
    std::int16_t selectedTuneIndex = 0;
    std::uint8_t repeatTune = 0;    // 0 or 1
    std::int16_t autoStart = 0;     // 0 or 1
    std::int16_t startInTray = 0;   // 0 or 1
    QString alarmMessage;
    QString alarmTune;              // path the armed alarm plays; not stored
};

}  // namespace kestrum
