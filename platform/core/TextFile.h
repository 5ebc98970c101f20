#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// The lines of a text file. Lines may end with CR LF, a lone CR or a lone LF;
// a last line without an ending is kept, an ending at the very end adds no
// empty line. The text is UTF-8 (a leading byte-order mark is dropped); a
// file that is not valid UTF-8 is read as Latin-1, as older ANSI files are.
// Nothing when the file cannot be read; `error` then says why.
std::optional<QStringList> readTextLines(const QString &path, QString *error = nullptr);

// Writes the lines as UTF-8, each followed by `lineEnd`. The text goes to a
// file beside `path` that then replaces it, so a failure at any point leaves
// the old file whole. Returns false with `error` set on failure.
bool writeTextLines(const QString &path, const QStringList &lines,
                    const QString &lineEnd = QStringLiteral("\r\n"), QString *error = nullptr);

// Replaces the file at `path` with `contents`: they are written to a file
// beside it, which then takes its place. On any failure the old file stays
// as it was and false is returned with `error` set. Every file the platform
// layer writes goes through here.
bool replaceFile(const QString &path, const QByteArray &contents, QString *error = nullptr);

}  // namespace platform
