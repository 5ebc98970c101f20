// Kestrum as the desktop starts it: a second start brings the running copy
// to the front without a notice, and the autostart entry that "Start at
// login" writes passes the desktop's validator and starts the program by
// its full path, whatever PATH holds.
#include "KestrumProcess.h"
#include "RegistryValues.h"

#include <QElapsedTimer>
#include <QStandardPaths>

#include <csignal>

namespace kestrum {
namespace {

class KestrumDesktopTest : public KestrumProcessTest {
protected:
    // Kestrum.conf with the shipped values, starting in the notification area or not.
    void writeSettings(bool startInTray)
    {
        QFile file(QDir(program).filePath(QStringLiteral("Kestrum.conf")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("1,01,AM\r\n10\r\n0\r\n0\r\n0\r\n0\r\n0\r\n") + (startInTray ? "1" : "0")
                   + "\r\nWakie, Wakie !\r\nZorvin.mp3,Zorvin\r\n");
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = KestrumProcessTest::environment();
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kestrum.debug=true"));
        return environment;
    }

    static void end(QProcess &process)
    {
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        EXPECT_TRUE(process.waitForFinished(15000));
    }
};

TEST_F(KestrumDesktopTest, ASecondStartBringsTheRunningWindowUpWithoutANotice)
{
    writeSettings(/*startInTray=*/true);
    QProcess first;
    start(first, kestrum, environment());

    // A notice would wait for its OK for ever: the second start must end.
    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(kestrum, {});
    ASSERT_TRUE(second.waitForFinished(15000)) << "the second start waits (on a notice?)";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    QElapsedTimer clock;
    clock.start();
    QByteArray log;
    while (!log.contains("a second start asks for the window") && clock.elapsed() < 5000) {
        first.waitForReadyRead(100);
        log += first.readAllStandardError();
    }
    EXPECT_TRUE(log.contains("a second start asks for the window")) << log.constData();
    end(first);
}

TEST_F(KestrumDesktopTest, TheAutostartEntryIsValidShowsTheIconAndRunsFromAnEmptyPath)
{
    writeSettings(/*startInTray=*/false);
    const QString autostart = folder.filePath(QStringLiteral("autostart"));
    platform::setRegistryLocation(folder.filePath(QStringLiteral("registry.ini")), autostart);
    applyAutoStart(1, program);
    platform::restoreDefaultRegistryLocation();

    const QString entry = autostart + QStringLiteral("/Kestrum.desktop");
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\nIcon=kestrum\n"))) << qPrintable(text);
    // The program by its full path, quoted for the space in it.
    const QString exec = QStringLiteral("Exec=\"%1\"").arg(kestrum);
    ASSERT_TRUE(text.contains(u'\n' + exec + u'\n')) << qPrintable(text);

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate (Debian's desktop-file-utils) is not installed";
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(validator, {entry});
    ASSERT_TRUE(validate.waitForFinished(30000));
    const QByteArray said = validate.readAll();
    EXPECT_EQ(validate.exitCode(), 0) << said.constData();
    EXPECT_FALSE(said.contains("error")) << said.constData();

    QProcessEnvironment empty = environment();
    empty.insert(QStringLiteral("PATH"), QString());
    QProcess started;
    start(started, exec.mid(6, exec.size() - 7), empty);
    end(started);
    EXPECT_EQ(started.exitCode(), 0);
}

}  // namespace
}  // namespace kestrum
