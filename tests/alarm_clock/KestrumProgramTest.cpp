// The Kestrum program as a process: a copy in a folder of its own with the
// shipped Kestrum.conf beside it, ended by a signal as a session or a
// service manager ends it. The settings must be saved on the way out.
#include "KestrumProcess.h"

#include <csignal>

namespace {

class KestrumProgramTest : public KestrumProcessTest {
protected:
    void SetUp() override
    {
        KestrumProcessTest::SetUp();
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRUM_CONF_PATH), conf()));
        QFile::setPermissions(conf(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    QString conf() const { return QDir(program).filePath(QStringLiteral("Kestrum.conf")); }
};

TEST_F(KestrumProgramTest, TerminationSignalsSaveTheSettingsAndEndTheProgramCleanly)
{
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRUM_CONF_PATH), conf() + QStringLiteral(".new")));
        QFile::remove(conf());
        QFile::rename(conf() + QStringLiteral(".new"), conf());

        QProcess running;
        start(running, kestrum, environment());
        ASSERT_EQ(::kill(static_cast<pid_t>(running.processId()), signalNumber), 0);
        ASSERT_TRUE(running.waitForFinished(15000));
        EXPECT_EQ(running.exitStatus(), QProcess::NormalExit) << "signal " << signalNumber;
        EXPECT_EQ(running.exitCode(), 0);

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
