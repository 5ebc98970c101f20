#pragma once

#include <QString>

namespace kestrum {

// How the alarm wakes, beyond the settings file: how gently the tune starts,
// and how late an alarm that the computer slept through may still ring. Kept
// in the registry under HKEY_CURRENT_USER\Software\Kestrum as REG_DWORD
// values, so that Kestrum.conf keeps exactly its own lines.
struct WakeSettings {
    static constexpr int kLongestFadeIn = 120;    // seconds
    static constexpr int kDefaultLateLimit = 60;  // minutes
    static constexpr int kLongestLateLimit = 720; // minutes

    // The tune rises from silence to full level over this many seconds at
    // the fire and at each snooze replay; 0 starts it at full level.
    int fadeInSeconds = 0;
    // An alarm minute that passed unseen (the computer slept, the clock was
    // set forward) still rings when it is at most this many minutes late;
    // later, the window only says that it was missed. 0: never rings late.
    int lateLimitMinutes = kDefaultLateLimit;

    bool operator==(const WakeSettings &) const = default;
};

inline constexpr const char *kWakeKeyPath = "Software\\Kestrum";
inline constexpr const char *kFadeInValueName = "FadeInSeconds";
inline constexpr const char *kLateLimitValueName = "LateAlarmMinutes";

// Reads the two values. A missing value, one of another type or one outside
// its range gives the default of that value (and the log says why).
WakeSettings loadWakeSettings();

// Writes both values, creating the key when needed. False, and a warning in
// the log, when the registry cannot be written; the settings in memory stay.
bool saveWakeSettings(const WakeSettings &wake);

} // namespace kestrum
