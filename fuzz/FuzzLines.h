#pragma once

// The raw lines of a text file as the readers split them: a leading UTF-8
// byte-order mark dropped, lines ended by CR LF, a lone CR or a lone LF.
#include <QByteArray>
#include <QList>

inline QList<QByteArray> rawLines(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) != '\r' && bytes.at(i) != '\n')
            continue;
        lines << bytes.mid(start, i - start);
        if (bytes.at(i) == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines << bytes.mid(start);
    return lines;
}

// A random input begins with `header` when its first byte is odd, so that
// random bytes reach past the check of a file's first line.
inline QByteArray withHeaderSometimes(const QByteArray &bytes, const char *header)
{
    if (!bytes.isEmpty() && (static_cast<unsigned char>(bytes.at(0)) & 1))
        return header + bytes.mid(1);
    return bytes;
}
