// sbmp3: a command-line tool over the TarnelMP3 library, for people who
// manage MP3 files in scripts. `sbmp3 --help` and the man page sbmp3(1)
// describe its commands.

#include "CommandLine.h"
#include "Commands.h"
#include "ExitCodes.h"

#include <QApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <map>
#include <new>

int main(int argc, char **argv)
{
    // The library's controls are widgets, but sbmp3 shows no window: it
    // needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's uncategorised notes (such as a missing XDG_RUNTIME_DIR, usual
    // under cron or in a container) are no concern of a command's user; the
    // library's warnings stay (QT_LOGGING_RULES may change both).
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    const std::map<QString, int (*)(const QStringList &)> commands = {
        {QStringLiteral("info"), &sbmp3::runInfo},
        {QStringLiteral("tag"), &sbmp3::runTag},
        {QStringLiteral("play"), &sbmp3::runPlay},
        {QStringLiteral("playlist"), &sbmp3::runPlayList},
    };
    if (arguments.isEmpty() || arguments.front() == QLatin1String("--help") || arguments.front() == QLatin1String("-h")
        || arguments.front() == QLatin1String("help")) {
        std::printf("%s", qUtf8Printable(sbmp3::usageText()));
        return arguments.isEmpty() ? sbmp3::kUsage : sbmp3::kSuccess;
    }
    const auto command = commands.find(arguments.front());
    try {
        if (command == commands.end())
            throw sbmp3::UsageError(QStringLiteral("no command \"%1\" (info, tag, play, playlist)").arg(arguments.front()));
        return command->second(arguments.mid(1));
    } catch (const sbmp3::UsageError &error) {
        sbmp3::printError(QString(), error.message() + QStringLiteral("; sbmp3 --help shows how"));
        return sbmp3::kUsage;
    } catch (const std::bad_alloc &) {
        sbmp3::printError(QString(), QStringLiteral("out of memory"));
        return sbmp3::kOutOfMemory;
    }
}
