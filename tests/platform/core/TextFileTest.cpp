#include "TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST_F(TextFileTest, ReadsUtf8WithoutItsMarkAndWindows1252Otherwise)
{
    EXPECT_EQ(*readTextLines(write("\xEF\xBB\xBF#EXTM3U\r\nCaf\xC3\xA9")),
              (QStringList{"#EXTM3U", QStringLiteral("Café")}));
    EXPECT_EQ(*readTextLines(write("Caf\xE9\r\n")), QStringList{QStringLiteral("Café")});
    // 0x80-0x9F are Windows' characters; the five it left out are C1 controls.
    EXPECT_EQ(fromWindows1252("\x80\x81\x8A\x8D\x8F\x90\x93\x9D\x9F\xA0\xFF"),
              QStringLiteral("\u20AC\u0081\u0160\u008D\u008F\u0090\u201C\u009D\u0178\u00A0\u00FF"));
}

TEST_F(TextFileTest, EachLineKeepsItsOwnEncodingAndUnchangedLinesTheirBytes)
{
    // A UTF-8 path among lines an old program wrote in Windows-1252.
    const QByteArray original = "7,05,AM\r\n  Caf\xE9 \x80 5  \r\n/music/Caf\xC3\xA9.mp3,Caf\xC3\xA9\r\n"
                                "/old/Caf\xE9.mp3,x\r\nCaf\xE9\r\nCaf\xC3\xA9\r\n";
    const QString path = write(original);
    auto text = readTextFile(path);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->lines, (QStringList{"7,05,AM", QStringLiteral("  Café € 5  "),
                                        QStringLiteral("/music/Café.mp3,Café"), QStringLiteral("/old/Café.mp3,x"),
                                        QStringLiteral("Café"), QStringLiteral("Café")}));

    // Unchanged lines go back byte for byte, also trimmed of their spaces;
    // the two "Café" lines, one of each encoding, each keep their own.
    ASSERT_TRUE(writeTextFile(path, text->lines, QStringLiteral("\r\n"), &*text, nullptr));
    EXPECT_EQ(contents(path), original);
    QStringList edited = text->lines;
    edited[1] = QStringLiteral("Café € 5");
    edited[3] = QStringLiteral("/old/Café.mp3,new name");
    ASSERT_TRUE(writeTextFile(path, edited, QStringLiteral("\n"), &*text, nullptr));
    EXPECT_EQ(contents(path), QByteArray("7,05,AM\nCaf\xE9 \x80 5\n/music/Caf\xC3\xA9.mp3,Caf\xC3\xA9\n"
                                         "/old/Caf\xC3\xA9.mp3,new name\nCaf\xE9\nCaf\xC3\xA9\n"))
        << "an edited line is UTF-8";
}

TEST_F(TextFileTest, OnlyRegularFilesWithinTheLimitAreRead)
{
    const QString fifo = folder.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = folder.filePath(QStringLiteral("zero"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString huge = folder.filePath(QStringLiteral("huge"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#EXTM3U\r\n");
        ASSERT_TRUE(file.resize(qint64(1) << 30));  // sparse: takes no room
    }
    const struct {
        QString path;
        FileError::Kind kind;
    } cases[] = {
        {fifo, FileError::Kind::NotRegularFile},
        {zero, FileError::Kind::NotRegularFile},
        {folder.path(), FileError::Kind::NotRegularFile},
        {huge, FileError::Kind::TooLarge},
        {folder.filePath(QStringLiteral("missing")), FileError::Kind::NotFound},
    };
    QElapsedTimer timer;
    timer.start();
    for (const auto &c : cases) {
        FileError error;
        EXPECT_FALSE(readTextFile(c.path, 64 << 20, &error)) << qPrintable(c.path);
        EXPECT_EQ(error.kind, c.kind) << qPrintable(c.path);
        EXPECT_TRUE(error.description.contains(QFileInfo(c.path).fileName())) << qPrintable(error.description);
    }
    EXPECT_LT(timer.elapsed(), 5000) << "nothing waits for a writer or reads the whole file";
    EXPECT_EQ(readFileBytes(write("12345"), 5), QByteArray("12345")) << "the limit itself is allowed";
    EXPECT_FALSE(readFileBytes(write("123456"), 5));
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

// Replaces the file in a child process whose file size limit is `limit`
// bytes, as a full disk would stop the write; the child's exit code is the
// kind of failure, 100 for success.
int replaceWithFileSizeLimit(const QString &path, const QByteArray &contents, rlim_t limit)
{
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);  // EFBIG instead of the end of the process
        const rlimit small{limit, limit};
        setrlimit(RLIMIT_FSIZE, &small);
        FileError error;
        _exit(replaceFile(path, contents, ReplaceOptions{}, &error) ? 100 : static_cast<int>(error.kind));
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(TextFileTest, AFailedWriteLeavesTheOldFileByteForByte)
{
    const QByteArray old = "the settings as they were\r\n";
    const QString path = write(old);
    for (const qsizetype size : {qsizetype(40), qsizetype(200000)}) {
        EXPECT_EQ(replaceWithFileSizeLimit(path, QByteArray(size, 'x'), 30), int(FileError::Kind::DeviceFull));
        EXPECT_EQ(contents(path), old);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"file.txt"})
            << "the new file is removed";
    }
    EXPECT_EQ(replaceWithFileSizeLimit(path, "short", 30), 100);
    EXPECT_EQ(contents(path), "short");
}

TEST_F(TextFileTest, AFullDiskLeavesTheOldFileByteForByte)
{
    const QByteArray old = "the settings as they were\r\n";
    const QString mountPoint = folder.filePath(QStringLiteral("full"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here (the suite runs as root in CI)";
    const QString onDisk = mountPoint + QStringLiteral("/file.txt");
    {
        QFile file(onDisk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
        file.close();
        QFile filler(mountPoint + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
        }
    }
    FileError error;
    EXPECT_FALSE(replaceFile(onDisk, QByteArray(20000, 'x'), ReplaceOptions{}, &error));
    EXPECT_EQ(error.kind, FileError::Kind::DeviceFull);
    EXPECT_TRUE(error.description.contains(QStringLiteral("file.txt"))) << qPrintable(error.description);
    EXPECT_EQ(contents(onDisk), old);
    EXPECT_EQ(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden).size(), 2);
    ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
}

TEST_F(TextFileTest, ModesAreExactWhereGivenAndKeptOtherwise)
{
    const mode_t previous = ::umask(0);
    const auto modeOf = [](const QString &path) {
        struct stat status {};
        ::stat(QFile::encodeName(path).constData(), &status);
        return status.st_mode & 07777;
    };
    const QString store = folder.filePath(QStringLiteral("store"));
    EXPECT_TRUE(replaceFile(store, "a", ReplaceOptions{0600}, nullptr));
    EXPECT_EQ(modeOf(store), 0600u);
    const QString entry = folder.filePath(QStringLiteral("entry"));
    EXPECT_TRUE(replaceFile(entry, "a", ReplaceOptions{0644}, nullptr));
    EXPECT_TRUE(replaceFile(entry, "b", ReplaceOptions{0644}, nullptr));
    EXPECT_EQ(modeOf(entry), 0644u);
    ::chmod(QFile::encodeName(entry).constData(), 0640);
    EXPECT_TRUE(replaceFile(entry, "c"));
    EXPECT_EQ(modeOf(entry), 0640u) << "a replaced file keeps its mode";
    ::umask(022);
    const QString plain = folder.filePath(QStringLiteral("plain"));
    EXPECT_TRUE(replaceFile(plain, "a"));
    EXPECT_EQ(modeOf(plain), 0644u) << "a new file follows the umask";
    ::umask(previous);
}

TEST_F(TextFileTest, ALinkKeepsLeadingToTheFileAndNothingButAFileIsReplaced)
{
    const QString real = write("old");
    const QString link = folder.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_TRUE(replaceFile(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contents(real), "new");

    const QString device = folder.filePath(QStringLiteral("null"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), device));
    FileError error;
    EXPECT_FALSE(replaceFile(device, "x", ReplaceOptions{}, &error));
    EXPECT_EQ(error.kind, FileError::Kind::NotRegularFile);
    EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/null")).exists() && !QFileInfo(QStringLiteral("/dev/null")).isFile());
}

}  // namespace
}  // namespace platform
