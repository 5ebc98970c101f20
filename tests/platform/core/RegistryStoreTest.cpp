#include "Registry.h"
#include "RegistryStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace platform::store {
namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

Value text(const QByteArray &name, const QByteArray &bytes)
{
    return Value{name, kText, bytes, 0};
}

Value number(const QByteArray &name, quint32 value)
{
    return Value{name, kNumber, {}, value};
}

// The values of a tree as "<key>|<value name>=<text or number>" lines, in
// the tree's order, with the names as first written.
QStringList flatten(const Tree &tree)
{
    QStringList lines;
    for (const auto &[folded, key] : tree) {
        for (const auto &[name, value] : key.values) {
            const QByteArray data = value.type == kNumber ? QByteArray::number(value.number) : value.text.toHex();
            lines << QString::fromUtf8(key.name + '|' + value.name + '=' + data);
        }
    }
    return lines;
}

TEST(RegistryStore, EveryNameAndByteSurvivesSerializeAndParse)
{
    Tree tree;
    Key &classes = ensureKey(tree, kClassesRoot, {"SonbrelMP3.SBMP3Player"});
    classes.values[fold("")] = text("", "SonbrelMP3 MP3 Player Control");
    Key &odd = ensureKey(tree, kCurrentUser, {"Software", "Caf\xc3\xa9 \"quoted\" [x]", "Deeper"});
    odd.values[fold("Song")] = text("Song", "tab\tline\ncr\rquote\"back\\slash \x01\x7f\xff\xc3");
    odd.values[fold("Empty")] = text("Empty", "");
    odd.values[fold("Count")] = number("Count", 0xFFFFFFFFu);
    odd.values[fold("\xc3\x89t\xc3\xa9")] = number("\xc3\x89t\xc3\xa9", 0);
    ensureKey(tree, kLocalMachine, {"SOFTWARE", "Empty key"});

    const QByteArray written = serialize(tree);
    EXPECT_FALSE(written.contains("Kestrum")) << written.constData();
    const auto read = parse(written);
    ASSERT_TRUE(read.has_value()) << written.constData();
    EXPECT_EQ(flatten(*read), flatten(tree));
    EXPECT_EQ(read->count(foldedPath(kLocalMachine, {"software", "EMPTY KEY"})), 1u)
        << "a key without values is kept";
    EXPECT_EQ(serialize(*read), written) << "a second round writes the same text";
}

TEST(RegistryStore, StoresOfEveryVersionOneHeaderParse)
{
    const QByteArray body = "[HKCU\\Software\\Kestrum]\n\"Song\"=sz:\"a.mp3\"\n";
    for (const QByteArray header : {"KestrumRegistry=1", "TarnelPlatformRegistry=1", "  OtherRegistry=1  "}) {
        const auto tree = parse("; a comment first\n\n" + header + "\n" + body);
        ASSERT_TRUE(tree.has_value()) << header.constData();
        EXPECT_EQ(flatten(*tree), QStringList{QStringLiteral("HKEY_CURRENT_USER\\Software\\Kestrum|Song=") + "612e6d7033"});
    }
    for (const QByteArray header : {"KestrumRegistry=2", "Kestrum Registry=1", "[HKCU]", "Registry"})
        EXPECT_FALSE(parse(header + "\n" + body).has_value()) << header.constData();
}

class StoreMoveTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QString former = folder.filePath(QStringLiteral("old/registry.ini"));
    QString current = folder.filePath(QStringLiteral("new/registry.ini"));

    static QByteArray store(const QByteArray &values)
    {
        return "KestrumRegistry=1\n[HKCU\\Software\\Classes\\SonbrelMP3.SBMP3Player]\n" + values;
    }
    std::string valueOf(const QString &path, const QByteArray &name) const
    {
        const Contents read = load(path);
        const auto key = read.tree.find(foldedPath(kCurrentUser, {"Software", "Classes", "SonbrelMP3.SBMP3Player"}));
        if (key == read.tree.end())
            return "<no key>";
        const auto value = key->second.values.find(fold(name));
        return value == key->second.values.end() ? "<no value>" : value->second.text.toStdString();
    }
};

TEST_F(StoreMoveTest, AStoreAtTheFormerPlaceBecomesTheStore)
{
    writeFile(former, store("\"Library\"=sz:\"/lib/libTarnelMP3.so\"\n"));
    EXPECT_TRUE(moveFrom(former, current));
    EXPECT_FALSE(QFile::exists(former));
    EXPECT_FALSE(QFile::exists(former + ".lock"));
    EXPECT_EQ(valueOf(current, "Library"), "/lib/libTarnelMP3.so");
    EXPECT_TRUE(moveFrom(former, current)) << "nothing left to move is no failure";
}

TEST_F(StoreMoveTest, AStoreAlreadyAtTheNewPlaceKeepsItsValuesAndGainsTheOthers)
{
    writeFile(former, store("\"Library\"=sz:\"/old/libTarnelMP3.so\"\n\"Class\"=sz:\"SBMP3Player\"\n"));
    writeFile(current, store("\"Library\"=sz:\"/new/libTarnelMP3.so\"\n"));
    EXPECT_TRUE(moveFrom(former, current));
    EXPECT_FALSE(QFile::exists(former));
    EXPECT_EQ(valueOf(current, "Library"), "/new/libTarnelMP3.so");
    EXPECT_EQ(valueOf(current, "Class"), "SBMP3Player");

    // A former store that cannot be parsed is kept beside the store.
    writeFile(former, "not a store");
    EXPECT_TRUE(moveFrom(former, current));
    EXPECT_EQ(contents(current + ".corrupt"), "not a store");
    EXPECT_EQ(valueOf(current, "Library"), "/new/libTarnelMP3.so");

    // Nothing is merged into a store that cannot be parsed: both stay.
    writeFile(former, store("\"Class\"=sz:\"Other\"\n"));
    writeFile(current, "garbage");
    EXPECT_FALSE(moveFrom(former, current));
    EXPECT_EQ(contents(current), "garbage");
    EXPECT_EQ(valueOf(former, "Class"), "Other");
}

TEST_F(StoreMoveTest, ProcessesStartingAtOnceLoseNothing)
{
    writeFile(former, store("\"Former\"=sz:\"kept\"\n"));
    setRegistryLocation(current, folder.filePath(QStringLiteral("autostart")));
    constexpr int kChildren = 4;
    pid_t children[kChildren] = {};
    for (int child = 0; child < kChildren; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            bool ok = moveRegistryStoreFrom(former);
            HKEY key = nullptr;
            ok = ok && RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\SonbrelMP3.SBMP3Player", 0, nullptr, 0,
                                       KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
            const std::string name = "child" + std::to_string(child);
            ok = ok && RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const unsigned char *>("x"), 2)
                           == ERROR_SUCCESS;
            _exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    restoreDefaultRegistryLocation();
    EXPECT_FALSE(QFile::exists(former));
    EXPECT_EQ(valueOf(current, "Former"), "kept");
    for (int child = 0; child < kChildren; ++child)
        EXPECT_EQ(valueOf(current, "child" + QByteArray::number(child)), "x") << child;
}

}  // namespace
}  // namespace platform::store
