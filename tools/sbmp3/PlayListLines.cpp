#include "PlayListLines.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace sbmp3 {

namespace {

QString decodeLine(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder windows1252("windows-1252");
    return windows1252.isValid() ? QString(windows1252(bytes)) : QString::fromLatin1(bytes);
}

// The first of the folders that holds `line` as a regular file.
QString findIn(const QString &line, const QString &playListFolder, const QString &currentFolder)
{
    for (const QString &folder : {playListFolder, currentFolder}) {
        const QString candidate = folder + QLatin1Char('/') + line;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

}  // namespace

std::vector<PathLine> playListPathLines(const QByteArray &bytes)
{
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype at = 0; at <= bytes.size(); ++at) {
        if (at < bytes.size() && bytes[at] != '\r' && bytes[at] != '\n')
            continue;
        if (at < bytes.size() || at > start)
            lines.push_back(bytes.mid(start, at - start));
        if (at + 1 < bytes.size() && bytes[at] == '\r' && bytes[at + 1] == '\n')
            ++at;
        start = at + 1;
    }
    std::vector<PathLine> paths;
    for (std::size_t i = 1; i < lines.size(); ++i) {  // line 1 is the header
        if (lines[i].startsWith("#EXTINF:")) {
            if (++i == lines.size())
                break;
        }
        if (!lines[i].isEmpty())
            paths.push_back({static_cast<int>(i) + 1, decodeLine(lines[i])});
    }
    return paths;
}

QString resolvePathLine(const QString &line, const QString &playListFolder, const QString &currentFolder)
{
    if (line.startsWith(QLatin1String("\\\\")) || line.startsWith(QLatin1Char('/')))
        return line;
    if (line.startsWith(QLatin1Char('\\')))
        return QStringLiteral("c:") + line;
    const QString asWritten = findIn(line, playListFolder, currentFolder);
    if (!asWritten.isEmpty() || !line.contains(QLatin1Char('\\')))
        return asWritten;
    QString converted = line;
    converted.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (converted.startsWith(QLatin1String("./")))
        converted.remove(0, 2);
    if (converted.isEmpty() || converted.startsWith(QLatin1Char('/')))
        return {};
    return findIn(converted, playListFolder, currentFolder);
}

}  // namespace sbmp3
