// Arbitrary bytes as Kestrum.conf: read, written (unchanged lines with
// their own bytes), and read again gives the same record and labels.
#include "SettingsFile.h"
#include "TextFile.h"

#include <cstdint>
#include <cstdlib>

using namespace kestrum;

namespace {

struct Read {
    AlarmSettings settings;
    LoadedSettings loaded;
};

Read readFrom(const QByteArray &bytes)
{
    Read r;
    platform::TextLines text(bytes);
    settingsFromLines(text.lines, r.settings, r.loaded, QStringLiteral("/opt/kestrum"));
    r.loaded.file = std::move(text);
    return r;
}

QByteArray written(const Read &r)
{
    platform::TextLines encodings = r.loaded.file;
    const QStringList lines = linesFromSettings(r.settings, r.loaded);
    QByteArray bytes;
    if (!lines.isEmpty() && lines.front().startsWith(QChar(0xFEFF)))
        bytes = "\xEF\xBB\xBF";  // as writeTextFile does
    for (const QString &line : lines)
        bytes += encodings.encode(line) + "\r\n";
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Read first = readFrom(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    const Read second = readFrom(written(first));
    const AlarmSettings &a = first.settings, &b = second.settings;
    if (a.alarmText != b.alarmText || a.snoozeMinutes != b.snoozeMinutes || a.playOrder != b.playOrder
        || a.nextTuneIndex != b.nextTuneIndex || a.selectedTuneIndex != b.selectedTuneIndex
        || a.repeatTune != b.repeatTune || a.autoStart != b.autoStart || a.startInTray != b.startInTray
        || a.alarmMessage != b.alarmMessage || a.tunes != b.tunes || a.tuneCount != b.tuneCount)
        std::abort();
    if (first.loaded.alarmHour != second.loaded.alarmHour || first.loaded.alarmMinute != second.loaded.alarmMinute
        || first.loaded.alarmHalf != second.loaded.alarmHalf || first.loaded.extraTunes != second.loaded.extraTunes)
        std::abort();
    if (written(second) != written(first))
        std::abort();
    return 0;
}
