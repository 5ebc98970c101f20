#include "TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace platform {
namespace {

class TextFileTest : public ::testing::Test {
protected:
    QTemporaryDir folder;

    QString write(const QByteArray &bytes)
    {
        const QString path = folder.filePath(QStringLiteral("file.txt"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QByteArray contents(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
};

TEST_F(TextFileTest, AcceptsEveryLineEnding)
{
    const auto lines = readTextLines(write("one\r\ntwo\rthree\nfour\r\n\r\nsix"));
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (QStringList{"one", "two", "three", "four", "", "six"}));
    EXPECT_EQ(*readTextLines(write("a\n")), QStringList{"a"});
    EXPECT_EQ(*readTextLines(write("\n")), QStringList{""});
    EXPECT_TRUE(readTextLines(write(""))->isEmpty());
}

TEST_F(TextFileTest, ReadsUtf8WithoutItsMarkAndLatin1Otherwise)
{
    EXPECT_EQ(*readTextLines(write("\xEF\xBB\xBF#EXTM3U\r\nCaf\xC3\xA9")),
              (QStringList{"#EXTM3U", QStringLiteral("Café")}));
    EXPECT_EQ(*readTextLines(write("Caf\xE9\r\n")), QStringList{QStringLiteral("Café")});
}

TEST_F(TextFileTest, MissingFileSaysWhy)
{
    QString error;
    EXPECT_FALSE(readTextLines(folder.filePath(QStringLiteral("none.txt")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(readTextLines(folder.path(), &error)) << "a folder is not a text file";
}

TEST_F(TextFileTest, WritesLinesWithTheirEndingAndReplacesWhole)
{
    const QString path = write("old content\r\n");
    ASSERT_TRUE(writeTextLines(path, {QStringLiteral("één"), QString(), QStringLiteral("x")}));
    EXPECT_EQ(contents(path), QByteArray("\xC3\xA9\xC3\xA9n\r\n\r\nx\r\n"));
    ASSERT_TRUE(writeTextLines(path, {QStringLiteral("a")}, QStringLiteral("\n")));
    EXPECT_EQ(contents(path), QByteArray("a\n"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"file.txt"})
        << "no temporary file is left beside it";
}

TEST_F(TextFileTest, FailedWriteSaysWhy)
{
    QString error;
    EXPECT_FALSE(writeTextLines(folder.filePath(QStringLiteral("no/such/folder/f.txt")),
                                {QStringLiteral("x")}, QStringLiteral("\r\n"), &error));
    EXPECT_FALSE(error.isEmpty());
    // A folder where the file should be cannot be replaced by a file.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("taken")));
    EXPECT_FALSE(writeTextLines(folder.filePath(QStringLiteral("taken")), {QStringLiteral("x")}));
}

}  // namespace
}  // namespace platform
