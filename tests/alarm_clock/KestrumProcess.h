#pragma once

// A copy of the Kestrum program in a folder of its own (with a space in its
// name), run as a process with a private runtime folder and configuration
// folder, on the offscreen platform and SDL's dummy driver.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

class KestrumProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir().mkpath(program));
        ASSERT_TRUE(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRUM_PATH), kestrum));
    }

    QProcessEnvironment environment() const
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
        return environment;
    }

    QString lockFile() const { return QDir(runtime).filePath(QStringLiteral("Kestrum.lock")); }

    QString socketFile() const { return QDir(runtime).filePath(QStringLiteral("Kestrum.socket")); }

    // Starts `path` and waits until it holds its lock and listens for a
    // second start, which it does once its signal handling is set up.
    void start(QProcess &process, const QString &path, const QProcessEnvironment &environment)
    {
        process.setProcessEnvironment(environment);
        process.start(path, {});
        ASSERT_TRUE(process.waitForStarted(10000));
        QElapsedTimer clock;
        clock.start();
        while (!(QFile::exists(lockFile()) && QFile::exists(socketFile())) && clock.elapsed() < 15000)
            QThread::msleep(20);
        ASSERT_TRUE(QFile::exists(lockFile())) << "Kestrum did not take its lock";
        ASSERT_TRUE(QFile::exists(socketFile())) << "Kestrum does not listen for a second start";
    }

    QTemporaryDir folder;
    QString program = folder.filePath(QStringLiteral("program dir"));
    QString kestrum = QDir(program).filePath(QStringLiteral("Kestrum"));
    QString runtime = folder.filePath(QStringLiteral("run"));
};
