// Arbitrary bytes as a playlist file: its lines, each decoded on its own and
// written back unchanged with its own bytes; its path lines; and each path
// resolved against a playlist in a POSIX and in a Windows-style folder.
#include "FuzzLines.h"
#include "RaisedError.h"
#include "TextFile.h"
#include "playlist/PlayListFile.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Qt warns of every path that holds a NUL; the warnings are no failure.
    static const auto quiet = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    (void)quiet;
    const QByteArray bytes =
        withHeaderSometimes(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), "#EXTM3U\r\n");
    platform::TextLines text(bytes);
    const QList<QByteArray> raw = rawLines(bytes);
    if (raw.size() != text.lines.size())
        std::abort();
    // Lines nobody changed go back byte for byte, and read as they did.
    platform::TextLines encodings = text;
    QByteArray written, expected;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        written += encodings.encode(text.lines.at(i)) + "\r\n";
        expected += raw.at(i) + "\r\n";
    }
    if (written != expected)
        std::abort();
    if (!text.lines.value(0).startsWith(QChar(0xFEFF)) && platform::TextLines(written).lines != text.lines)
        std::abort();

    QStringList paths;
    try {
        paths = SonbrelMP3::playListPathLines(text.lines);
    } catch (const SonbrelMP3::RaisedError &error) {
        if (error.number() != SonbrelMP3::kPlayListNameError)
            std::abort();
        return 0;
    }
    if (paths.size() >= text.lines.size())
        std::abort();
    for (const QString &path : paths.mid(0, 20)) {
        if (path.isEmpty())
            std::abort();
        SonbrelMP3::resolvePlayListPath(path, QStringLiteral("/nonexistent/lists/all.m3u"));
        SonbrelMP3::resolvePlayListPath(path, QStringLiteral("Q:\\Music\\all.m3u"));
    }
    return 0;
}
