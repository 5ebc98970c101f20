#pragma once

#include "Registry.h"

#include <QString>

namespace kestrum {

// The two registry helpers of the options dialog, over the registry layer.
// Failures are silent: setRegistryValue answers false, which callers may
// ignore, and deleteRegistryValue answers nothing.

// Start with the session: the Run key under HKEY_LOCAL_MACHINE, which the
// registry layer keeps as the desktop's autostart entry "Kestrum.desktop".
inline constexpr const char *kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char *kRunValueName = "Kestrum";
// The icon theme's name of Kestrum's icon, which its desktop entries show.
inline constexpr const char *kIconName = "kestrum";

// Moves the per-user registry store from the place where earlier versions
// kept it, $XDG_CONFIG_HOME/Kestrum/registry.ini, to the platform layer's own
// place, so that no registration is lost. Safe when two copies start at once;
// a store already at the new place keeps its values. Called once at start.
void moveFormerRegistryStore();

// Writes `text` to the value `name` of the existing key `path` under `root`,
// keeping the value's type: REG_DWORD stays a number (the text must then be
// a whole number, -2147483648 to 4294967295), anything else and a missing
// value are written as REG_SZ. Returns true when the value was written;
// false when the key cannot be opened, the value's type cannot be learnt,
// the text is no number for a REG_DWORD value, or the write fails.
bool setRegistryValue(platform::HKEY root, const QString &path, const QString &name,
                      const QString &text);

// Removes the value `name` of the key `path` under `root`. A missing key or
// value, or one that cannot be removed, is no error.
void deleteRegistryValue(platform::HKEY root, const QString &path, const QString &name);

// The command the autostart entry runs: the program "Kestrum" in the given
// folder, the full path with no quotes and no arguments.
QString autoStartCommand(const QString &executableFolder);

// What "Okay" of the options dialog does with the autoStart setting: with 1
// the Run value "Kestrum" holds autoStartCommand(executableFolder), and its
// autostart entry shows Kestrum's icon; with any other value it is deleted.
void applyAutoStart(int autoStart, const QString &executableFolder);

} // namespace kestrum
