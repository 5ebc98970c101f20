#pragma once

#include <QStringList>

namespace SonbrelMP3 {
class PlayListEntry;
}

namespace sbmp3 {

// The commands of sbmp3. Each takes the arguments after its name and
// returns the exit code; a command line it cannot follow throws UsageError.
// They need a QApplication (the library's controls are widgets).
int runInfo(const QStringList &arguments);
int runTag(const QStringList &arguments);
int runPlay(const QStringList &arguments);
int runPlayList(const QStringList &arguments);

// "Artist - Title", the title alone, or the file's name when its tag has no
// title or cannot be read.
QString trackName(SonbrelMP3::PlayListEntry &entry);

}  // namespace sbmp3
