#include "playlist/PlayListFile.h"

#include "FakeEngine.h"
#include "RaisedError.h"
#include "playlist/EntryCollection.h"
#include "playlist/PathProcedures.h"
#include "playlist/PlayListEntry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace SonbrelMP3 {
namespace {

using namespace Qt::StringLiterals;
using testing::FakeEngine;
using Entries = std::vector<std::shared_ptr<PlayListEntry>>;

const QString kSource = u"SBMP3PlayList.LoadPlayList"_s;
const QString kNoName = u"A valid PlayList file name must be selected in order to load or save it."_s;
const QString kBadHeader = u"A valid playlist file name must be selected in order to load or save it."_s;
const QString kNotFound = u"Can 't Find Specified File. (File Not Found)"_s;

template <typename Action>
void expectError(Action &&action, int number, const QString &source, const QString &description)
{
    try {
        action();
        ADD_FAILURE() << "nothing was raised";
    } catch (const RaisedError &error) {
        EXPECT_EQ(error.number(), number);
        EXPECT_EQ(error.source(), source);
        EXPECT_EQ(error.description(), description);
    }
}

TEST(PathProceduresTest, LastPositionAndLastPositionOfAny)
{
    EXPECT_EQ(LastPosition(u"abcabc"_s, u"bc"_s), 5);
    EXPECT_EQ(LastPosition(u"abcabc"_s, u"bc"_s, 5), 2) << "the hit at 5 ends outside 5";
    EXPECT_EQ(LastPosition(u"abcabc"_s, u"bc"_s, 99), 5);
    EXPECT_EQ(LastPosition(u"abcabc"_s, u"bc"_s, 2), 0);
    EXPECT_EQ(LastPosition(u"aaa"_s, u"aa"_s), 2) << "hits overlap";
    EXPECT_EQ(LastPosition(u"abc"_s, u"B"_s), 0) << "case counts";
    EXPECT_EQ(LastPosition(u"abc"_s, QString()), 0);
    EXPECT_EQ(LastPosition(u"abc"_s, u"a"_s, -3), 0);
    const QStringList separators{u"/"_s, u"\\"_s};
    EXPECT_EQ(LastPositionOfAny(u"a/b\\c"_s, separators), 4);
    EXPECT_EQ(LastPositionOfAny(u"a\\b/c"_s, separators), 4);
    EXPECT_EQ(LastPositionOfAny(u"abc"_s, separators), 0);
}

TEST(PathProceduresTest, GetFolderPathInBothStyles)
{
    const std::pair<QString, QString> cases[] = {
        {u"C:\\Music\\a.mp3"_s, u"C:\\Music"_s}, {u"C:\\a.mp3"_s, u"C:\\"_s},
        {u"C:\\"_s, u"C:\\"_s}, {u"C:\\Music\\"_s, u"C:\\"_s}, {u"\\a.mp3"_s, u"\\"_s},
        {u"ab\\c"_s, u"ab\\"_s}, {u"C:/a.mp3"_s, u"C:\\"_s}, {u"C:a.mp3"_s, QString()},
        {u"\\\\srv\\share\\a.mp3"_s, u"\\\\srv\\share"_s},
        {u"/music/a.mp3"_s, u"/music"_s}, {u"/ab/c"_s, u"/ab"_s}, {u"/a.mp3"_s, u"/"_s},
        {u"/"_s, u"/"_s}, {u"/music/"_s, u"/"_s}, {u"ab/"_s, u"ab/"_s},
        {u"music/a.mp3"_s, u"music"_s}, {u"a.mp3"_s, QString()}, {QString(), QString()}};
    for (const auto &[path, folder] : cases)
        EXPECT_EQ(GetFolderPath(path), folder) << qPrintable(path);
}

class PlayListFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { QDir::setCurrent(previous); }

    QString make(const QString &name, const QByteArray &bytes = "x")
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    static QByteArray bytesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }
    // The control's side of a load: its list and the effects in order.
    void load(const std::optional<QString> &name = std::nullopt)
    {
        loadPlayListFile(
            stored, name, [this] { effects << u"clear"_s; list.clear(); },
            [this](const QString &path) {
                effects << u"add "_s + path;
                if (path == u"/m/refused.mp3"_s)
                    throw RaisedError(30075, u"SBMP3Player"_s, u"no"_s);
                list << path;
            });
    }
    std::shared_ptr<PlayListEntry> entry(const QString &name, const QByteArray &artist,
                                         const QByteArray &title)
    {
        engine.addFile(name).tag = FakeEngine::tagBlock(title, artist);
        auto made = std::make_shared<PlayListEntry>(engine);
        EXPECT_EQ(made->SetFileName(name), 0);
        return made;
    }
    void save(const std::optional<QString> &name, const Entries &entries)
    {
        savePlayListFile(stored, name, entries);
    }

    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    FakeEngine engine;
    QString stored;
    QStringList list{u"/old/kept.mp3"_s};
    QStringList effects;
};

TEST_F(PlayListFileTest, FolderExistsAndFileExists)
{
    const QString song = make(u"a.mp3"_s);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u".hidden"_s));
    EXPECT_TRUE(FolderExists(dir.path()));
    EXPECT_TRUE(FolderExists(dir.path() + u"/"_s));
    EXPECT_TRUE(FolderExists(dir.filePath(u".hidden"_s)));
    EXPECT_TRUE(FolderExists(u"/"_s));
    EXPECT_FALSE(FolderExists(song));
    EXPECT_FALSE(FolderExists(dir.filePath(u"none"_s)));
    EXPECT_FALSE(FolderExists(u"   "_s));
    EXPECT_FALSE(FolderExists(u"C:\\"_s)) << "this system has no drive letters";

    EXPECT_TRUE(FileExists(song));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(dir.filePath(u"none"_s)));
    EXPECT_FALSE(FileExists(make(u".hidden.mp3"_s))) << "hidden files are not found";
    EXPECT_FALSE(FileExists(u"/dev/null"_s)) << "a device is no ordinary file";
    EXPECT_FALSE(FileExists(QString()));
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_TRUE(FileExists(u"a.mp3"_s)) << "relative to the current folder";
}

TEST_F(PlayListFileTest, ResolvesPathLinesInBothStyles)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"lists"_s) && QDir(dir.path()).mkpath(u"here"_s));
    for (const char *name : {"lists/both.mp3", "here/both.mp3", "lists/beside.mp3",
                             "lists/.hidden.mp3", "here/music\\song.mp3"})
        make(QString::fromLatin1(name));
    const QString playList = dir.filePath(u"lists/x.m3u"_s);
    ASSERT_TRUE(QDir::setCurrent(dir.filePath(u"here"_s)));

    const auto resolve = [&](const char *line) {
        return resolvePlayListPath(QString::fromLatin1(line), playList);
    };
    EXPECT_EQ(resolve("\\M\\a.mp3"), u"c:\\M\\a.mp3"_s) << "drive C:, untested";
    EXPECT_EQ(resolvePlayListPath(u"\\M\\a.mp3"_s, u"D:\\x.m3u"_s), u"c:\\M\\a.mp3"_s);
    EXPECT_EQ(resolve("\\\\srv\\a.mp3"), u"\\\\srv\\a.mp3"_s);
    EXPECT_EQ(resolve("/no/such.mp3"), u"/no/such.mp3"_s) << "a rooted POSIX path, untested";
    EXPECT_EQ(resolve("both.mp3"), dir.filePath(u"lists/both.mp3"_s)) << "the playlist's folder comes first";
    EXPECT_EQ(resolve("beside.mp3"), dir.filePath(u"lists/beside.mp3"_s));
    EXPECT_EQ(resolve("none.mp3"), QString());
    EXPECT_EQ(resolve(".hidden.mp3"), QString());
    EXPECT_EQ(resolve(""), QString()) << "the playlist's folder is no file";
    // A Windows-style playlist folder is joined with a backslash; here that
    // is one file name in the current folder.
    EXPECT_EQ(resolvePlayListPath(u"song.mp3"_s, u"music\\x.m3u"_s), u"music\\song.mp3"_s);
    // A playlist name without a folder lies in the current folder, not in
    // the root.
    EXPECT_EQ(resolvePlayListPath(u"etc/passwd"_s, u"/x.m3u"_s), u"/etc/passwd"_s);
    EXPECT_EQ(resolvePlayListPath(u"etc/passwd"_s, u"x.m3u"_s), QString());
}

TEST_F(PlayListFileTest, ResolvesRelativeLinesWrittenOnWindowsOrPosix)
{
    for (const char *folder : {"lists/sub", "here/sub", "here/deep/er"})
        ASSERT_TRUE(QDir(dir.path()).mkpath(QString::fromLatin1(folder)));
    for (const char *name : {"lists/sub/song.mp3", "lists/top.mp3", "here/sub/cwd.mp3", "here/deep/er/x.mp3",
                             "lists/sub\\literal.mp3"})
        make(QString::fromLatin1(name));
    const QString playList = dir.filePath(u"lists/x.m3u"_s);
    ASSERT_TRUE(QDir::setCurrent(dir.filePath(u"here"_s)));
    const QString here = QDir::currentPath();

    const std::pair<const char *, QString> cases[] = {
        {"sub/song.mp3", dir.filePath(u"lists/sub/song.mp3"_s)},
        {"sub\\song.mp3", dir.filePath(u"lists/sub/song.mp3"_s)},
        {".\\top.mp3", dir.filePath(u"lists/top.mp3"_s)},
        {"./top.mp3", dir.filePath(u"lists/./top.mp3"_s)},
        {".\\.\\sub\\song.mp3", dir.filePath(u"lists/sub/song.mp3"_s)},
        {"sub\\cwd.mp3", here + u"/sub/cwd.mp3"_s},
        {"deep\\er\\x.mp3", here + u"/deep/er/x.mp3"_s},
        {"sub\\literal.mp3", dir.filePath(u"lists/sub\\literal.mp3"_s)},
        {"sub\\none.mp3", QString()},
        {".\\", QString()},
    };
    for (const auto &[line, expected] : cases)
        EXPECT_EQ(resolvePlayListPath(QString::fromLatin1(line), playList), expected) << line;

    // A whole load: every line becomes an entry.
    load(make(u"lists/win.m3u"_s, "#EXTM3U\r\n#EXTINF:1,A - B\r\nsub\\song.mp3\r\n.\\top.mp3\r\nsub/cwd.mp3\r\n"));
    EXPECT_EQ(list, (QStringList{dir.filePath(u"lists/sub/song.mp3"_s), dir.filePath(u"lists/top.mp3"_s),
                                 here + u"/sub/cwd.mp3"_s}));
}

TEST_F(PlayListFileTest, LoadsAnyLineEndingAndByteOrderMark)
{
    for (const QByteArray &text : {QByteArray("#EXTM3U\r\n/m/a.mp3\r\n#EXTINF:3,A - T\r\n/m/b.mp3\r\n"),
                                   QByteArray("#EXTM3U\r/m/a.mp3\r\r#EXTINF:3,A - T\r/m/b.mp3"),
                                   QByteArray("#EXTM3U\n/m/a.mp3\n\n#EXTINF:3,A - T\n/m/b.mp3\n"),
                                   QByteArray("\xEF\xBB\xBF#EXTM3U\r\n/m/a.mp3\n/m/b.mp3\r\n#EXTINF:9,X - Y")}) {
        effects.clear();
        load(make(u"x.m3u"_s, text));
        EXPECT_EQ(effects, (QStringList{u"clear"_s, u"add /m/a.mp3"_s, u"add /m/b.mp3"_s})) << text.data();
    }
}

TEST_F(PlayListFileTest, LoadGoesOnPastRefusedEntriesAndTreatsOtherHashLinesAsPaths)
{
    make(u"#comment"_s);
    load(make(u"x.m3u"_s, "#EXTM3U\r\n/m/refused.mp3\r\nmissing.mp3\r\n#EXTINF:1,A - T\r\n"
                          "#EXTINF:2,B - U\r\n#comment\r\n"));
    EXPECT_EQ(effects, (QStringList{u"clear"_s, u"add /m/refused.mp3"_s,
                                    u"add "_s + dir.filePath(u"#comment"_s)}));
    EXPECT_EQ(list, QStringList{dir.filePath(u"#comment"_s)});
}

TEST_F(PlayListFileTest, RefusedHeaderLeavesTheListUntouched)
{
    for (const QByteArray &text : {QByteArray(), QByteArray("#extm3u\r\n/m/a.mp3\r\n"),
                                   QByteArray(" #EXTM3U\r\n"), QByteArray("#EXTM3U \r\n"),
                                   QByteArray("/m/a.mp3\r\n"), QByteArray("\r\n#EXTM3U\r\n")}) {
        const QString name = make(u"bad.m3u"_s, text);
        expectError([&] { load(name); }, 30077, QString(), kBadHeader);
        EXPECT_EQ(stored, name) << "the name is kept although the load failed";
    }
    EXPECT_TRUE(effects.isEmpty());
    EXPECT_EQ(list, QStringList{u"/old/kept.mp3"_s});
}

TEST_F(PlayListFileTest, LoadErrors)
{
    expectError([&] { load(); }, 30077, kSource, kNoName);
    expectError([&] { load(u"   "_s); }, 30077, kSource, kNoName);
    EXPECT_EQ(stored, u"   "_s);
    expectError([&] { load(dir.filePath(u"none.m3u"_s)); }, 53, kSource, kNotFound);
    EXPECT_EQ(stored, dir.filePath(u"none.m3u"_s));
    expectError([&] { load(dir.path()); }, 53, kSource, kNotFound);
    // It exists, but reading it fails.
    expectError([&] { load(u"/proc/self/mem"_s); }, 57, QString(), u"Device I/O error."_s);
    EXPECT_TRUE(effects.isEmpty());
    // A gigabyte of playlist is refused before it is read.
    {
        QFile huge(make(u"huge.m3u"_s, "#EXTM3U\r\n"));
        ASSERT_TRUE(huge.resize(qint64(1) << 30));
    }
    expectError([&] { load(dir.filePath(u"huge.m3u"_s)); }, 30104, QString(), u"Insufficient memory available."_s);
    // Nothing but a file is read, and nothing waits for a FIFO's writer.
    const QString fifo = dir.filePath(u"fifo.m3u"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    expectError([&] { load(fifo); }, 53, kSource, kNotFound);
    EXPECT_TRUE(effects.isEmpty());

    stored = make(u".hidden.m3u"_s, "#EXTM3U\r\n/m/a.mp3\r\n");
    load();
    EXPECT_EQ(list, QStringList{u"/m/a.mp3"_s}) << "a hidden playlist loads too";
}

TEST_F(PlayListFileTest, AnOddLineKeepsTheUtf8LinesAroundIt)
{
    stored = make(u"mixed.m3u"_s, "#EXTM3U\r\n/m/Caf\xC3\xA9.mp3\r\n/m/Caf\xE9 \x80.mp3\r\n/m/\xE6\x97\xA5.mp3\r\n");
    load();
    EXPECT_EQ(list, (QStringList{u"/m/Café.mp3"_s, u"/m/Café €.mp3"_s, u"/m/日.mp3"_s}));
}

TEST_F(PlayListFileTest, SavesExactExtendedM3u)
{
    const QString name = dir.filePath(u"x.m3u"_s);
    save(name, {entry(u"/m/full.mp3"_s, "Artist", "Title"), entry(u"/m/no artist.mp3"_s, "", "T"),
                entry(u"/m/no title.mp3"_s, "A", ""), entry(u"/m/Café.mp3"_s, "Bj\xF6rk", "J\xF3ga"),
                entry(u"/m/b.mp3"_s, "A\rB", "T\nU")});
    EXPECT_EQ(stored, name);
    EXPECT_EQ(QString::fromUtf8(bytesOf(name)),
              u"#EXTM3U\r\n#EXTINF:300,Artist - Title\r\n/m/full.mp3\r\n/m/no artist.mp3\r\n"
              "/m/no title.mp3\r\n#EXTINF:300,Björk - Jóga\r\n/m/Café.mp3\r\n"
              "#EXTINF:300,A B - T U\r\n/m/b.mp3\r\n"_s);

    savePlayListFile(stored, std::nullopt, EntryCollection());
    EXPECT_EQ(bytesOf(name), QByteArray("#EXTM3U\r\n")) << "the whole content is replaced";
}

TEST_F(PlayListFileTest, SaveErrorsLeaveTheOldFileWhole)
{
    const Entries entries{entry(u"/m/a.mp3"_s, "A", "T")};
    expectError([&] { save(std::nullopt, entries); }, 30077, kSource, kNoName);
    expectError([&] { save(u" "_s, entries); }, 30077, kSource, kNoName);
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const QString &name : {u"x.m3u"_s, dir.filePath(u"none/x.m3u"_s), u"Q:\\x.m3u"_s}) {
        expectError([&] { save(name, entries); }, 76, kSource, u"Path not found."_s);
        EXPECT_EQ(stored, name);
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    ASSERT_TRUE(QDir(dir.path()).mkdir(u"taken.m3u"_s));
    expectError([&] { save(dir.filePath(u"taken.m3u"_s), entries); }, 75, QString(),
                u"Path/File access error."_s);

    const QString old = make(u"old.m3u"_s, "#EXTM3U\r\n/m/old.mp3\r\n");
    expectError([&] { save(old, {entries[0], entry(u"/m/two\nlines.mp3"_s, "", "")}); }, 52,
                kSource, u"Bad file name or number."_s);
    EXPECT_EQ(bytesOf(old), QByteArray("#EXTM3U\r\n/m/old.mp3\r\n"));

    // A full disk: a child whose files may not grow past 16 bytes.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{16, 16};
        setrlimit(RLIMIT_FSIZE, &small);
        try {
            save(old, entries);
        } catch (const RaisedError &error) {
            _exit(error.number() == 57 && error.description() == u"Device I/O error."_s ? 0 : 2);
        }
        _exit(1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "57 \"Device I/O error.\" is raised";
    EXPECT_EQ(bytesOf(old), QByteArray("#EXTM3U\r\n/m/old.mp3\r\n"));
}

TEST_F(PlayListFileTest, RoundTripKeepsEntriesInOrder)
{
    make(u"one.mp3"_s);
    make(u"two.mp3"_s);
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    save(dir.filePath(u"x.m3u"_s),
         {entry(u"/m/b.mp3"_s, "A", "T"), entry(u"two.mp3"_s, "", ""), entry(u"/m/a.mp3"_s, "", "T"),
          entry(u"one.mp3"_s, "A", "T"), entry(u"/m/b.mp3"_s, "A", "T")});
    ASSERT_TRUE(QDir::setCurrent(QDir::rootPath()));
    load();
    EXPECT_EQ(list, (QStringList{u"/m/b.mp3"_s, dir.filePath(u"two.mp3"_s), u"/m/a.mp3"_s,
                                 dir.filePath(u"one.mp3"_s), u"/m/b.mp3"_s}));
}

TEST_F(PlayListFileTest, ListsLongerThan32767EntriesSaveWhole)
{
    const int count = 32769;
    save(dir.filePath(u"x.m3u"_s), Entries(count, entry(u"/m/a.mp3"_s, "A", "T")));
    EXPECT_EQ(bytesOf(stored).count("\r\n"), 1 + 2 * count);
    load();
    EXPECT_EQ(list.size(), count);
}

}  // namespace
}  // namespace SonbrelMP3
