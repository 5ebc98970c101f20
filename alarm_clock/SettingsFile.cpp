#include "SettingsFile.h"

#include "KestrumLog.h"
#include "SharedText.h"
#include "TextFile.h"

#include <QDir>

#include <algorithm>
#include <limits>
#include <optional>

namespace kestrum {

namespace {

// Line numbers, 0-based, of the fixed part of the file.
constexpr int kAlarmTimeLine = 0;
constexpr int kFirstNumberLine = 1;
constexpr int kMessageLine = 8;
constexpr int kFirstTuneLine = 9;

constexpr int kDefaultSnoozeMinutes = 10;

// Leading and trailing blanks go (spaces only, as the file's own trim does:
// a tab inside a label stays part of it).
using platform::trimSpaces;

// A decimal number ("12", "-3", "+7", "2.5", ".5", "4.") rounded to a whole
// number, a half to the even neighbour, computed on the digits so that no
// binary fraction can tip a half either way. Nothing when the text is no
// number or the result lies outside [low, high].
std::optional<int> wholeNumber(const QString &line, int low, int high)
{
    const QString text = line.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }

    // Anything above this is out of every field's range; stop counting there
    // so that a long digit string cannot overflow.
    constexpr long long kCap = 1'000'000;
    long long magnitude = 0;
    int digits = 0;
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i, ++digits)
        magnitude = std::min(kCap, magnitude * 10 + (text.at(i).unicode() - u'0'));

    int firstFraction = -1;     // first digit after the point, -1 when none
    bool restNonZero = false;   // any non-zero digit after the first
    if (i < text.size() && text.at(i) == u'.') {
        for (++i; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128;
             ++i, ++digits) {
            const int digit = text.at(i).unicode() - u'0';
            if (firstFraction < 0)
                firstFraction = digit;
            else if (digit != 0)
                restNonZero = true;
        }
    }
    if (digits == 0 || i != text.size())
        return std::nullopt;

    using platform::Fraction;
    const Fraction fraction = firstFraction > 5 || (firstFraction == 5 && restNonZero) ? Fraction::AboveHalf
                              : firstFraction == 5                                     ? Fraction::Half
                              : firstFraction > 0 || restNonZero                       ? Fraction::BelowHalf
                                                                                       : Fraction::Zero;
    if (platform::roundsAwayFromZero(magnitude % 2 == 1, fraction))
        ++magnitude;
    const long long value = negative ? -magnitude : magnitude;
    if (value < low || value > high)
        return std::nullopt;
    return static_cast<int>(value);
}

std::int16_t int16OrDefault(const QStringList &lines, int index, std::int16_t fallback)
{
    if (index >= lines.size())
        return fallback;
    const auto value = wholeNumber(trimSpaces(lines.at(index)),
                                   std::numeric_limits<std::int16_t>::min(),
                                   std::numeric_limits<std::int16_t>::max());
    return value ? static_cast<std::int16_t>(*value) : fallback;
}

// A field of line 1 that is a whole number from 0 to `highest`, written in
// plain digits (leading zeros allowed).
std::optional<int> timeField(const QString &field, int highest)
{
    const QString text = trimSpaces(field);
    if (text.isEmpty() || text.size() > 3
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const int value = text.toInt();
    return value <= highest ? std::optional<int>(value) : std::nullopt;
}

// The alarm time of line 1 in the clock's own form (hour without, minute
// with a leading zero, "AM" or "PM"); nothing when the line holds no time.
std::optional<QStringList> alarmTimeFields(const QString &line)
{
    const QStringList fields = line.split(u',');
    if (fields.size() < 3)
        return std::nullopt;
    const auto hour = timeField(fields.at(0), 12);
    const auto minute = timeField(fields.at(1), 59);
    const QString half = trimSpaces(fields.at(2)).toUpper();
    if (!hour || !minute || (half != QLatin1String("AM") && half != QLatin1String("PM")))
        return std::nullopt;
    return QStringList{QString::number(*hour == 0 ? 12 : *hour),
                       QStringLiteral("%1").arg(*minute, 2, 10, QLatin1Char('0')), half};
}

}  // namespace

QString defaultTuneEntry(const QString &programFolder)
{
    return QDir(programFolder).filePath(QString::fromLatin1(kDefaultTuneLine));
}

QString settingsFilePath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QString::fromLatin1(kSettingsFileName));
}

AlarmSettings defaultSettings(const QString &programFolder)
{
    AlarmSettings settings;
    LoadedSettings loaded;
    settingsFromLines({}, settings, loaded, programFolder);
    return settings;
}

void settingsFromLines(const QStringList &lines, AlarmSettings &settings, LoadedSettings &loaded,
                       const QString &programFolder)
{
    const LoadedSettings design;

    // Line 1: the alarm time, read for what it says, or the design time.
    loaded.alarmHour = design.alarmHour;
    loaded.alarmMinute = design.alarmMinute;
    loaded.alarmHalf = design.alarmHalf;
    loaded.alarmTimeRest.clear();
    loaded.unreadableAlarmLine.reset();
    if (kAlarmTimeLine < lines.size()) {
        const QString line = trimSpaces(lines.at(kAlarmTimeLine));
        if (const auto time = alarmTimeFields(line)) {
            loaded.alarmHour = time->at(0);
            loaded.alarmMinute = time->at(1);
            loaded.alarmHalf = time->at(2);
            const QStringList fields = line.split(u',');
            if (fields.size() > 3)
                loaded.alarmTimeRest = u',' + fields.mid(3).join(u',');
        } else {
            loaded.unreadableAlarmLine = line;
        }
    }
    settings.alarmText = loaded.alarmHour + loaded.alarmMinute + loaded.alarmHalf;

    // Lines 2 to 8: the numbers, each on its own.
    int line = kFirstNumberLine;
    settings.snoozeMinutes = int16OrDefault(lines, line++, kDefaultSnoozeMinutes);
    settings.playOrder = int16OrDefault(lines, line++, 0);
    settings.nextTuneIndex = int16OrDefault(lines, line++, 0);
    settings.selectedTuneIndex = int16OrDefault(lines, line++, 0);
    settings.repeatTune = 0;
    if (line < lines.size()) {
        if (const auto value = wholeNumber(trimSpaces(lines.at(line)), 0, 255))
            settings.repeatTune = static_cast<std::uint8_t>(*value);
    }
    ++line;
    settings.autoStart = int16OrDefault(lines, line++, 0);
    settings.startInTray = int16OrDefault(lines, line++, 0);

    // Line 9: the message. An empty line is a message too (an empty one).
    settings.alarmMessage =
        kMessageLine < lines.size() ? trimSpaces(lines.at(kMessageLine)) : design.message;
    loaded.message = settings.alarmMessage;

    // Line 10 on: the tunes. The file that ships names the default tune bare;
    // it lies beside the program, so it gets the program's folder.
    settings.tunes.fill(QString());
    settings.tuneCount = 0;
    loaded.extraTunes.clear();
    for (qsizetype i = kFirstTuneLine; i < lines.size(); ++i) {
        QString entry = trimSpaces(lines.at(i));
        if (entry.isEmpty())
            continue;
        if (entry == QLatin1String(kDefaultTuneLine))
            entry = defaultTuneEntry(programFolder);
        if (settings.tuneCount < AlarmSettings::kTuneSlots)
            settings.tunes[static_cast<std::size_t>(settings.tuneCount++)] = entry;
        else
            loaded.extraTunes << entry;
    }
    // An alarm needs a tune to choose: an empty list holds the default one.
    if (settings.tuneCount == 0)
        settings.tunes[static_cast<std::size_t>(settings.tuneCount++)] = defaultTuneEntry(programFolder);
    if (settings.nextTuneIndex < 0 || settings.nextTuneIndex >= settings.tuneCount)
        settings.nextTuneIndex = 0;
    if (settings.selectedTuneIndex < 0 || settings.selectedTuneIndex >= settings.tuneCount)
        settings.selectedTuneIndex = 0;
}

QStringList linesFromSettings(const AlarmSettings &settings, const LoadedSettings &loaded)
{
    QStringList lines;
    if (loaded.unreadableAlarmLine)
        lines << *loaded.unreadableAlarmLine;
    else
        lines << loaded.alarmHour + u',' + loaded.alarmMinute + u',' + loaded.alarmHalf + loaded.alarmTimeRest;
    lines << QString::number(settings.snoozeMinutes) << QString::number(settings.playOrder)
          << QString::number(settings.nextTuneIndex) << QString::number(settings.selectedTuneIndex)
          << QString::number(settings.repeatTune) << QString::number(settings.autoStart)
          << QString::number(settings.startInTray);
    lines << settings.alarmMessage;
    // A count outside the table writes what the table holds, never beyond it.
    const int count = std::clamp<int>(settings.tuneCount, 0, AlarmSettings::kTuneSlots);
    for (int i = 0; i < count; ++i)
        lines << settings.tunes[static_cast<std::size_t>(i)];
    lines << loaded.extraTunes;
    return lines;
}

bool loadSettingsFile(const QString &path, AlarmSettings &settings, LoadedSettings &loaded,
                      const QString &programFolder, QString *why)
{
    platform::FileError error;
    std::optional<platform::TextLines> file = platform::readTextFile(path, kMaxSettingsSize, &error);
    settingsFromLines(file ? file->lines : QStringList(), settings, loaded, programFolder);
    loaded.file = file ? std::move(*file) : platform::TextLines();
    loaded.unreadable = !file && error.kind != platform::FileError::Kind::NotFound ? error.description : QString();
    if (!file && why)
        *why = error.description;
    return file.has_value();
}

bool saveSettingsFile(const QString &path, const AlarmSettings &settings,
                      const LoadedSettings &loaded, QString *why)
{
    platform::FileError error;
    if (!loaded.unreadable.isEmpty())
        error.description = QStringLiteral("%1 was left as it is, since it could not be read when Kestrum started: %2")
                                .arg(QDir::toNativeSeparators(path), loaded.unreadable);
    else if (platform::writeTextFile(path, linesFromSettings(settings, loaded), QStringLiteral("\r\n"),
                                     &loaded.file, &error))
        return true;
    qCWarning(kestrumLog).noquote() << QStringLiteral("cannot save the settings (%1); the old file is left as it was.")
                                           .arg(error.description);
    if (why)
        *why = error.description;
    return false;
}

}  // namespace kestrum
