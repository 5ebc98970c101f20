#pragma once

#include <QStringList>

namespace sbmp3 {

// The commands of sbmp3. Each takes the arguments after its name and
// returns the exit code; a command line it cannot follow throws UsageError.
// They need a QApplication (the library's controls are widgets).
int runInfo(const QStringList &arguments);
int runTag(const QStringList &arguments);
int runPlay(const QStringList &arguments);
int runPlayList(const QStringList &arguments);

}  // namespace sbmp3
