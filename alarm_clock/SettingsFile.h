#pragma once

#include "AlarmSettings.h"
#include "TextFile.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrum {

// The settings file Kestrum.conf: one value per line, in a fixed order, no
// keys. Line 1 the alarm time "hour,minute,half"; lines 2 to 8 snoozeMinutes,
// playOrder, nextTuneIndex, selectedTuneIndex, repeatTune, autoStart,
// startInTray in decimal; line 9 the alarm message; every further line one
// tune entry "path,name". Written with CR LF.
//
// The reader never fails: a missing, bad or absent line gives its design
// value and the other lines are still read.

inline constexpr char kSettingsFileName[] = "Kestrum.conf";
// The largest settings file that is read: a hundred tunes take a few
// kilobytes; anything far larger is not a settings file.
inline constexpr qint64 kMaxSettingsSize = 4 * 1024 * 1024;
// The tune line of the shipped file; on reading it becomes a full path in the
// program's folder, where the default tune is installed.
inline constexpr char kDefaultTuneLine[] = "Zorvin.mp3,Zorvin";

// What the settings file holds besides the AlarmSettings record: the texts of
// the alarm-time labels (txtAlHr, txtAlMin, txtAlAMPM) and of the message
// label (lblMessage), and the tune lines that did not fit the record's slots,
// which are written back unchanged so that nothing in the file is lost.
struct LoadedSettings {
    QString alarmHour = QStringLiteral("1");
    QString alarmMinute = QStringLiteral("01");
    QString alarmHalf = QStringLiteral("AM");
    QString message = QStringLiteral("Wakie, Wakie !");
    QStringList extraTunes;
    // What line 1 holds after its third field (from the "," on): not used,
    // but written back, so that the three fields read the same again.
    QString alarmTimeRest;
    // The file as it was read: a line the run did not change is written
    // back with the bytes it had (an old file's Windows-1252 text included).
    platform::TextLines file;
    // Why a file that is there could not be read (too large, no regular
    // file, no right to read it); empty when it was read or is missing.
    // Such a file is never written over: what it holds is not lost.
    QString unreadable;
    // A first line that holds no alarm time, as read (trimmed): the design
    // time is used instead, and the line is written back in place of the
    // fields until the user sets a time. Nothing when line 1 was a time or
    // the file had no line 1.
    std::optional<QString> unreadableAlarmLine;
};

// The design values of the record: alarm 1:01 AM, snooze 10 minutes, order 0,
// the default message, the default tune (a full path in programFolder) as the
// only entry, every flag 0.
AlarmSettings defaultSettings(const QString &programFolder);

// The default tune entry with its full path: programFolder/Zorvin.mp3,Zorvin.
QString defaultTuneEntry(const QString &programFolder);

// programFolder/Kestrum.conf.
QString settingsFilePath(const QString &programFolder);

// Fills the record (all but alarmTune) and the label texts from the lines of
// the file, line by line:
// - line 1 is trimmed of spaces and split at every ","; the first three
//   fields are hour, minute and half, alarmText is the three joined. Each
//   field is read for what it says and kept in the clock's form: "7,5,pm"
//   and "07, 05 ,PM" are 7, 05, PM; hour 0 is 12. Fewer than three fields,
//   an hour above 12, a minute above 59 or a half other than AM or PM give
//   1, 01, AM and keep the line in loaded.unreadableAlarmLine;
// - lines 2 to 8 are trimmed and rounded to a whole number, a half to the
//   even neighbour; a line that is no number or does not fit its field (line 6
//   0 to 255, the others 16-bit) gives its design value;
// - line 9 is trimmed and is the message;
// - every later line is trimmed and stored as the next tune; the bare default
//   tune line becomes a full path in programFolder; blank lines are skipped;
//   lines beyond the 101 slots go to loaded.extraTunes;
// - no tune at all gives the default tune as the only one, and
//   nextTuneIndex or selectedTuneIndex outside the list become 0.
// Starting in the notification area (startInTray 1) is the caller's step.
void settingsFromLines(const QStringList &lines, AlarmSettings &settings, LoadedSettings &loaded,
                       const QString &programFolder);

// The lines of the file: the three alarm-time label texts joined by ","
// (then loaded.alarmTimeRest), or loaded.unreadableAlarmLine when there is
// one; the numbers in decimal, alarmMessage unchanged, tunes[0] to
// tunes[tuneCount - 1], then loaded.extraTunes. loaded.message is not
// written: alarmMessage is.
QStringList linesFromSettings(const AlarmSettings &settings, const LoadedSettings &loaded);

// Reads the file at path into the record and label texts. Only a regular
// file of at most kMaxSettingsSize is read, each line in its own encoding
// (platform::TextLines). A file that cannot be read gives the design values
// everywhere; returns false then, with `why` set.
bool loadSettingsFile(const QString &path, AlarmSettings &settings, LoadedSettings &loaded,
                      const QString &programFolder, QString *why = nullptr);

// Writes the file with CR LF endings through platform::replaceFile, so that
// a failure (a full disk included) leaves the old file byte for byte. A
// file that was there but could not be read (loaded.unreadable) is left as
// it is. On failure it logs the reason and returns false with `why` set.
bool saveSettingsFile(const QString &path, const AlarmSettings &settings,
                      const LoadedSettings &loaded, QString *why = nullptr);

}  // namespace kestrum
