// The Kestrum program as a process: a copy in a folder of its own with the
// shipped Kestrum.conf beside it, ended by a signal as a session or a
// service manager ends it. The settings must be saved on the way out.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace {

class KestrumProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        program = folder.filePath(QStringLiteral("program"));
        runtime = folder.filePath(QStringLiteral("run"));
        ASSERT_TRUE(QDir().mkpath(program));
        ASSERT_TRUE(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRUM_PATH), QDir(program).filePath(QStringLiteral("Kestrum"))));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRUM_CONF_PATH), conf()));
        QFile::setPermissions(conf(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    QString conf() const { return QDir(program).filePath(QStringLiteral("Kestrum.conf")); }
    QString lockFile() const { return QDir(runtime).filePath(QStringLiteral("Kestrum.lock")); }

    void start(QProcess &process)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        // Under the sanitizers the program's exit code must tell how it
        // ended, not what the libraries beneath it keep until exit.
        const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           (asan.isEmpty() ? QString() : asan + u':') + QStringLiteral("detect_leaks=0"));
        process.setProcessEnvironment(environment);
        process.start(QDir(program).filePath(QStringLiteral("Kestrum")), {});
        ASSERT_TRUE(process.waitForStarted(10000));
        // Running once it holds its lock.
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(lockFile()) && clock.elapsed() < 15000)
            QThread::msleep(20);
        ASSERT_TRUE(QFile::exists(lockFile())) << "Kestrum did not take its lock";
        QThread::msleep(300);
    }

    QTemporaryDir folder;
    QString program;
    QString runtime;
};

TEST_F(KestrumProgramTest, TerminationSignalsSaveTheSettingsAndEndTheProgramCleanly)
{
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRUM_CONF_PATH), conf() + QStringLiteral(".new")));
        QFile::remove(conf());
        QFile::rename(conf() + QStringLiteral(".new"), conf());

        QProcess kestrum;
        start(kestrum);
        ASSERT_EQ(::kill(static_cast<pid_t>(kestrum.processId()), signalNumber), 0);
        ASSERT_TRUE(kestrum.waitForFinished(15000));
        EXPECT_EQ(kestrum.exitStatus(), QProcess::NormalExit) << "signal " << signalNumber;
        EXPECT_EQ(kestrum.exitCode(), 0);

        // Saved: the shipped default tune line now holds its full path, and
        // every line ends with CR LF.
        QFile file(conf());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        EXPECT_TRUE(saved.startsWith("1,01,AM\r\n10\r\n")) << saved.constData();
        const QByteArray tune = QFile::encodeName(QDir(program).filePath(QStringLiteral("Zorvin.mp3"))) + ",Zorvin\r\n";
        EXPECT_TRUE(saved.endsWith(tune)) << saved.constData();
        EXPECT_FALSE(QFile::exists(lockFile())) << "the lock is released at exit";
    }
}

}  // namespace
