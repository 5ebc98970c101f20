// Where Kestrum.conf lives: beside the program for a user who may write
// there, else in the user's configuration folder, made from the shipped file.
#include "SettingsLocation.h"
#include "WithoutWriteRight.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kestrum {
namespace {

const QByteArray kShipped = "1,01,AM\r\n10\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nWakie, Wakie !\r\nZorvin.mp3,Zorvin\r\n";

class SettingsLocationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir().mkpath(program));
        ASSERT_TRUE(QDir().mkpath(config));
        // The other user of runWithoutWriteRight() reaches the program and
        // owns the configuration folder.
        QFile::setPermissions(folder.path(), QFile::permissions(folder.path()) | QFileDevice::ExeOther);
        ASSERT_TRUE(testing_support::giveToOtherUser(config));
    }

    void ship(const QByteArray &bytes = kShipped)
    {
        QFile file(shipped);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        QFile::setPermissions(shipped, QFile::permissions(shipped) | QFileDevice::ReadOther);
    }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir folder;
    QString program = folder.filePath(QStringLiteral("program"));
    QString shipped = program + QStringLiteral("/Kestrum.conf");
    QString config = folder.filePath(QStringLiteral("config"));
    QString userFile = config + QStringLiteral("/Kestrum/Kestrum.conf");
};

TEST_F(SettingsLocationTest, BesideTheProgramWhenTheUserMayWriteThere)
{
    ship();
    for (const QString &configHome : {config, QString()}) {
        const SettingsLocation location = locateSettings(program, configHome);
        EXPECT_EQ(location.path, shipped);
        EXPECT_TRUE(location.beside);
        EXPECT_TRUE(location.problem.isEmpty()) << qPrintable(location.problem);
    }
    EXPECT_FALSE(QFile::exists(userFile));
}

// The checks run in a child process, so each is a numbered line: the test
// reports the number of the first that failed.
TEST_F(SettingsLocationTest, ElsewhereTheShippedFileIsCopiedOnceAndTheCopyIsKept)
{
    ship();
    const int failed = testing_support::runWithoutWriteRight(program, [&] {
        const SettingsLocation first = locateSettings(program, config);
        if (first.path != userFile || first.beside || !first.created || !first.problem.isEmpty())
            return 1;
        if (contents(userFile) != kShipped)
            return 2;  // byte for byte, the bare default tune line included
        QFile edited(userFile);
        if (!edited.open(QIODevice::WriteOnly) || edited.write("7,05,AM\r\n") != 9)
            return 3;
        edited.close();
        const SettingsLocation second = locateSettings(program, config);
        if (second.path != userFile || second.created || contents(userFile) != "7,05,AM\r\n")
            return 4;  // the user's own file is never replaced
        return 0;
    });
    EXPECT_EQ(failed, 0) << "check " << failed << " failed";
    EXPECT_EQ(contents(shipped), kShipped);
}

TEST_F(SettingsLocationTest, AReadOnlyFileInAWritableFolderIsNotWrittenThere)
{
    ship();
    QFile::setPermissions(shipped, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    // As root: the other user may write the folder, not root's file.
    ASSERT_TRUE(testing_support::giveToOtherUser(program));
    const int failed = testing_support::runWithoutWriteRight(QString(), [&] {
        const SettingsLocation location = locateSettings(program, config);
        return location.path == userFile && location.created ? 0 : 1;
    });
    EXPECT_EQ(failed, 0);
}

TEST_F(SettingsLocationTest, WhatCannotBeMadeOrWrittenIsSaid)
{
    // Nothing shipped: nothing is made, and the program writes the file at exit.
    int failed = testing_support::runWithoutWriteRight(program, [&] {
        const SettingsLocation location = locateSettings(program, config);
        return location.path == userFile && !location.created && location.problem.isEmpty()
                       && !QFile::exists(userFile)
                   ? 0
                   : 1;
    });
    EXPECT_EQ(failed, 0);

    // Neither the program's folder nor the configuration folder can be written.
    ship();
    const QString closed = folder.filePath(QStringLiteral("closed"));
    ASSERT_TRUE(QDir().mkpath(closed));
    QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                      | QFileDevice::ExeOther);
    failed = testing_support::runWithoutWriteRight(program, [&] {
        const SettingsLocation location = locateSettings(program, closed);
        return location.problem.isEmpty() || location.created ? 1 : 0;
    });
    EXPECT_EQ(failed, 0);
}

}  // namespace
}  // namespace kestrum
