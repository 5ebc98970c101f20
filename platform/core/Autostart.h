#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

#include <sys/types.h>

// The desktop's autostart entries as the values of the registry's Run key:
// the value "<name>" is the file "<name>.desktop" in the autostart folder,
// whose Exec line runs the value's command when the session starts.
//
// A Run value is a command line in the Windows manner: a program in double
// quotes followed by its arguments (white space separates them, double
// quotes group them), or, unquoted, the program alone, spaces and all. The
// entry keeps the value's text as given, so that reading the value gives it
// back unchanged while the Exec line still runs what it did when written.
namespace platform::autostart {

// The program and arguments of a Run value.
QStringList runValueArguments(const QString &value);

// A Run value that runs `arguments` (program first): the program quoted
// when arguments follow it, each argument quoted when it is empty or holds
// white space.
QString runValue(const QStringList &arguments);

// The Exec line that runs `arguments` (program first), by the Desktop Entry
// rules: "%" doubled; an argument that is empty or holds a reserved
// character in double quotes, with ", `, $ and \ escaped by a backslash.
// A program whose path holds "%" is started through
// `/bin/sh -c 'exec "$0" "$@"'`, since desktops that look for the program
// before they undo "%%" (GLib) would not find it.
QString execLine(const QStringList &arguments);

// The arguments an Exec line runs, read by the same rules; field codes such
// as %U are left out, and so is the shell that execLine puts first.
QStringList execArguments(const QString &exec);

// The whole entry file that runs `arguments` under the name `name`, keeping
// `value` (the Run value as given), with the icon `icon` when it is not
// empty. Its strings are escaped as desktop-entry strings on top of the
// Exec quoting.
QByteArray entryText(const QString &name, const QStringList &arguments, const QString &value,
                     const QString &icon = QString());

// The modes of the entries and of the folders made for them: the entries
// say what runs at login, so only the user may change them.
inline constexpr mode_t kEntryMode = 0644;
inline constexpr mode_t kFolderMode = 0700;

enum class Result { Done, InvalidValue, NotFound, CannotWrite, CannotRemove };

// Writes the entry of the Run value `valueName` with the text `value` and
// the icon `icon` (none when empty). InvalidValue when the name cannot name
// a file (empty, too long, "/", ".", "..", control characters, not UTF-8),
// the text is empty, holds a control character or is not UTF-8, or the
// icon holds a control character.
Result write(const QString &folder, const QByteArray &valueName, const QByteArray &value,
             const QString &icon = QString());

// The text of the Run value `valueName`: the text given when the entry is
// still as written, otherwise the Run value of what its Exec line runs.
// Nothing when there is no such entry or it has no Exec line. Entry names
// compare without regard to case, as value names do.
std::optional<QByteArray> read(const QString &folder, const QByteArray &valueName);

// Removes the entry of the Run value `valueName`.
Result remove(const QString &folder, const QByteArray &valueName);

}  // namespace platform::autostart
