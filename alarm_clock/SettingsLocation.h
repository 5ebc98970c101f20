#pragma once

#include <QString>

namespace kestrum {

// Where this user's Kestrum.conf lives. Beside the program when the user
// may write there (a portable copy, the build folder); otherwise, as for a
// program installed for every user, in the user's configuration folder,
// "<configHome>/Kestrum/Kestrum.conf", made from the file shipped beside
// the program the first time.
struct SettingsLocation {
    QString path;          // the file to read at start and write at exit
    bool beside = false;   // the file beside the program
    bool created = false;  // made from the shipped file just now
    QString problem;       // why the file cannot be written there; empty when it can
};

// Whether the user may write `file` (when it exists) and replace it in its
// folder: the folder must take new files, since the file is replaced by
// one written beside it.
bool mayReplace(const QString &file);

// Finds (and when needed makes) the settings file for a program in
// `programFolder`, with `configHome` the user's configuration folder
// ($XDG_CONFIG_HOME, or ~/.config). The copy is made from the shipped file
// byte for byte; when there is none to copy, nothing is made and the
// program starts from the design values, writing the file at exit.
SettingsLocation locateSettings(const QString &programFolder, const QString &configHome);

}  // namespace kestrum
