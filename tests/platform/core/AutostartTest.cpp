#include "Autostart.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace platform::autostart {
namespace {

// The arguments that a desktop reads from the Exec key of an entry file,
// by the Desktop Entry rules and nothing of the code under test: the value
// is a string (\s, \n, \t, \r, \\ escapes), then arguments are separated by
// spaces, "..." quotes one, and inside the quotes a backslash escapes ", `,
// $ and \; "%%" is a literal "%". An Exec line that starts the program
// through `/bin/sh -c 'exec "$0" "$@"'` runs what the shell then runs.
QStringList execArgumentsOfEntry(const QByteArray &entry)
{
    QString exec;
    for (const QString &line : QString::fromUtf8(entry).split(u'\n')) {
        if (line.startsWith(u"Exec="))
            exec = line.mid(5);
    }
    QString value;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec.at(i) == u'\\' && i + 1 < exec.size()) {
            const QChar next = exec.at(++i);
            value += next == u's' ? QChar(u' ') : next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t')
                   : next == u'r' ? QChar(u'\r') : next == u'\\' ? QChar(u'\\') : QChar(u'?');
        } else {
            value += exec.at(i);
        }
    }
    QStringList arguments;
    QString current;
    bool inArgument = false, quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < value.size()
                       && QStringView(u"\"`$\\").contains(value.at(i + 1))) {
                current += value.at(++i);
            } else if (c == u'%' && i + 1 < value.size() && value.at(i + 1) == u'%') {
                current += value.at(++i);
            } else {
                current += c;
            }
        } else if (c == u' ') {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
        } else if (c == u'"') {
            quoted = inArgument = true;
        } else if (c == u'%' && i + 1 < value.size() && value.at(i + 1) == u'%') {
            current += value.at(++i);
            inArgument = true;
        } else {
            // Reserved characters are never left unquoted.
            EXPECT_FALSE(QStringView(u"\t\n\"'\\><~|&;$*?#`()").contains(c)) << qPrintable(exec);
            current += c;
            inArgument = true;
        }
    }
    EXPECT_FALSE(quoted) << "an unclosed quote in " << qPrintable(exec);
    if (inArgument)
        arguments << current;
    const QStringList shell{"/bin/sh", "-c", "exec \"$0\" \"$@\""};
    if (arguments.size() > 3 && arguments.mid(0, 3) == shell)
        arguments.remove(0, 3);
    else
        EXPECT_FALSE(arguments.value(0).contains(u'%')) << "GLib would not find the program " << qPrintable(exec);
    return arguments;
}

TEST(Autostart, ExecLinesRunExactlyTheArgumentsTheyWereMadeOf)
{
    const QStringList awkward[] = {
        {"/usr/bin/plain"},
        {"/home/me/My Apps/Kestrum"},
        {"/opt/a \"b\"/c", "--name=\"x\""},
        {"/opt/$HOME/`id`/run", "$(rm -rf ~)"},
        {"/opt/100%/run", "%U", "50%%"},
        {"/home/me/50% off/Kestrum"},
        {"/bin/sh", "-c", "exec \"$0\" \"$@\""},
        {"/bin/sh", "-c", "exec \"$0\" \"$@\"", "/opt/%/x"},
        {"C:\\Program Files\\App\\app.exe", "back\\slash\\"},
        {"/opt/caf\u00e9/\u65e5\u672c/\U0001F600", "\u00fcber"},
        {"/opt/tricky;|&<>~*?#()'x'", ""},
        {" leading and trailing ", "  "},
        {"/opt/tab\there", "new\nline"},
    };
    for (const QStringList &arguments : awkward) {
        const QByteArray entry = entryText(QStringLiteral("Name"), arguments, QStringLiteral("ignored"));
        EXPECT_EQ(execArgumentsOfEntry(entry), arguments) << entry.constData();
        EXPECT_EQ(execArguments(execLine(arguments)), arguments) << qPrintable(execLine(arguments));
    }
}

TEST(Autostart, RunValuesSplitAsWindowsCommandLinesWithoutAskingTheFileSystem)
{
    const struct {
        const char *value;
        QStringList arguments;
    } cases[] = {
        {"/home/me/my apps/Kestrum", {"/home/me/my apps/Kestrum"}},  // unquoted: the program alone
        {"/usr/bin/app --minimized", {"/usr/bin/app --minimized"}},
        {"\"/home/me/my apps/Kestrum\" --minimized  \"two words\" x", {"/home/me/my apps/Kestrum", "--minimized", "two words", "x"}},
        {"\"/opt/app\"", {"/opt/app"}},
        {"\"/opt/unclosed", {"/opt/unclosed"}},
        {"\"/opt/app\" \"\"", {"/opt/app", ""}},
    };
    for (const auto &c : cases) {
        const QString value = QString::fromUtf8(c.value);
        EXPECT_EQ(runValueArguments(value), c.arguments) << c.value;
        EXPECT_EQ(runValueArguments(runValue(c.arguments)), c.arguments) << c.value;
    }
}

TEST(Autostart, AnEntryChangedByHandReadsAsWhatItsExecLineRuns)
{
    QTemporaryDir folder;
    ASSERT_EQ(write(folder.path(), "App", "/home/me/my apps/App"), Result::Done);
    EXPECT_EQ(read(folder.path(), "app"), QByteArray("/home/me/my apps/App"));

    // An entry without the kept value, as earlier versions and other
    // programs write them.
    QFile file(QDir(folder.path()).filePath(QStringLiteral("App.desktop")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nExec=\"/home/me/my apps/App\" --tray \"two words\" %U\n"
               "X-Other-Command=/something/else\n");
    file.close();
    EXPECT_EQ(read(folder.path(), "App"), QByteArray("\"/home/me/my apps/App\" --tray \"two words\""));

    EXPECT_EQ(write(folder.path(), "../escape", "x"), Result::InvalidValue);
    EXPECT_EQ(write(folder.path(), "App", "line\nbreak"), Result::InvalidValue);
    EXPECT_EQ(remove(folder.path(), "APP"), Result::Done);
    EXPECT_EQ(remove(folder.path(), "App"), Result::NotFound);
    EXPECT_FALSE(read(folder.path(), "App").has_value());
}

// GLib's own reading of the entries: `gio launch` starts each one, and the
// program it starts writes down the arguments it got.
TEST(Autostart, GLibStartsEveryEntryWeWriteWithItsArguments)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "gio (Debian's libglib2.0-bin) is not installed";
    QTemporaryDir folder;
    const QString entries = folder.filePath(QStringLiteral("autostart"));
    const QString record = folder.filePath(QStringLiteral("arguments"));
    const QStringList folders = {QStringLiteral("plain"), QStringLiteral("100% sure"),
                                 QStringLiteral("a \"b\" $x `y` \\z;|&"), QStringLiteral("50%% 'c' \\ $d")};
    for (const QString &name : folders) {
        const QString program = folder.filePath(name) + QStringLiteral("/run");
        ASSERT_TRUE(QDir().mkpath(folder.filePath(name)));
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"$ARGUMENTS_FILE.new\"\n"
                     "mv \"$ARGUMENTS_FILE.new\" \"$ARGUMENTS_FILE\"\n");
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        QList<QStringList> runs = {{program}};
        // A Run value cannot quote a program whose path holds a quote.
        if (!name.contains(u'"'))
            runs.append({program, QStringLiteral("50%"), QStringLiteral("two words $HOME")});
        for (const QStringList &arguments : runs) {
            ASSERT_EQ(write(entries, "Entry", runValue(arguments).toUtf8()), Result::Done);
            QFile::remove(record);
            QProcess launch;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("ARGUMENTS_FILE"), record);
            launch.setProcessEnvironment(environment);
            launch.start(gio, {QStringLiteral("launch"), entries + QStringLiteral("/Entry.desktop")});
            ASSERT_TRUE(launch.waitForFinished(10000));
            EXPECT_EQ(launch.exitCode(), 0) << qPrintable(name) << ": " << launch.readAllStandardError().constData();
            QElapsedTimer waited;
            waited.start();
            while (!QFile::exists(record) && waited.elapsed() < 10000)
                QThread::msleep(10);
            QFile written(record);
            ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << qPrintable(name);
            EXPECT_EQ(QString::fromUtf8(written.readAll()).split(u'\n', Qt::SkipEmptyParts), arguments);
        }
    }
}

}  // namespace
}  // namespace platform::autostart
