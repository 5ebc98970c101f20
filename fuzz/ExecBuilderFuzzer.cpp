// Arbitrary arguments (NUL-separated UTF-8) through the Exec builder of the
// autostart entries and back through the Desktop Entry reading of it.
#include "Autostart.h"

#include <cstdint>
#include <cstdlib>

using namespace platform::autostart;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QStringList arguments;
    for (const QByteArray &part : bytes.split('\0'))
        arguments << QString::fromUtf8(part);
    if (arguments.front().isEmpty())
        arguments.front() = QStringLiteral("/usr/bin/program");  // a program has a name
    const QString exec = execLine(arguments);
    if (execArguments(exec) != arguments)
        std::abort();
    // GLib looks for the program before it undoes "%%": such a program is
    // started by the shell.
    if (arguments.front().contains(u'%') && !exec.startsWith(QStringLiteral("/bin/sh -c ")))
        std::abort();
    return 0;
}
