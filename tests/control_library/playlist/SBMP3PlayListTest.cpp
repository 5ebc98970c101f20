#include "playlist/SBMP3PlayList.h"

#include "FakeEngine.h"
#include "RaisedError.h"
#include "playlist/EntryCollection.h"
#include "playlist/PlayListEntry.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace SonbrelMP3 {
namespace {

using testing::FakeEngine;

struct NoticeSite : platform::ContainerSite {
    QStringList notices;
    bool userMode() const override { return true; }
    void propertyChanged(const QString &name) override { notices << name; }
    void messageBox(const QString &, const QString &, MessageIcon) override {}
};

class PlayListTest : public ::testing::Test {
protected:
    PlayListTest()
    {
        // Lengths 100, 200, 300 and 400 seconds.
        for (int i = 1; i <= 4; ++i)
            engine.addFile(QStringLiteral("/music/%1.mp3").arg(i),
                           QByteArray("1|3|0|128000|44100|0|0|Stereo|0|0|1|0|1000|38|") + QByteArray::number(i * 100));
        list.setContainerSite(&site);
    }
    QString order() const
    {
        QString text;
        for (const auto &item : list.entries().entries())
            text += item->Filename().mid(7, 1);
        return text;
    }
    static QString file(int i) { return QStringLiteral("/music/%1.mp3").arg(i); }

    FakeEngine engine;
    NoticeSite site;
    SBMP3PlayList list{nullptr, engine};
};

RaisedError raisedBy(const std::function<void()> &action)
{
    try {
        action();
    } catch (const RaisedError &error) {
        return error;
    }
    ADD_FAILURE() << "no error raised";
    return RaisedError(0, {}, {});
}

TEST_F(PlayListTest, AddEntryPlacesEntriesAndKeepsTheRunningTotal)
{
    EXPECT_TRUE(list.AddEntry(file(1)));
    EXPECT_TRUE(list.AddEntry(file(2)));
    EXPECT_TRUE(list.AddEntry(file(3), 1));
    EXPECT_TRUE(list.AddEntry(file(4), 0, list.Count()));
    EXPECT_TRUE(list.AddEntry(file(1), 2, 4)) << "BeforeFile decides";
    EXPECT_EQ(order(), "31124");
    EXPECT_EQ(list.Count(), 5);
    EXPECT_DOUBLE_EQ(list.TotalPlayListTime(), 1100.0);
    EXPECT_EQ(list.PlayListEntries(2)->property("Filename").toString(), file(1));
}

TEST_F(PlayListTest, AMissingEngineIsReportedAsSuchNotAsAFileThatIsNoAudio)
{
    engine.libraryMissing = true;
    const auto error = raisedBy([&] { list.AddEntry(file(1)); });
    EXPECT_EQ(error.number(), 48);
    EXPECT_EQ(error.source(), QStringLiteral("SBMP3Player"));
    EXPECT_TRUE(error.description().startsWith(QStringLiteral("Error in loading DLL"))) << error.description().toStdString();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(PlayListTest, AKeyInUseWhateverItsCaseAddsNothing)
{
    list.AddEntry(file(1), 0, 0, QStringLiteral("Wake"));
    const auto keyed = raisedBy([&] { list.AddEntry(file(2), 0, 0, QStringLiteral("WAKE")); });
    EXPECT_EQ(keyed.number(), 457);
    EXPECT_EQ(keyed.source(), QStringLiteral("SonbrelMP3.SBMP3PlayList.AddEntry"));
    EXPECT_EQ(keyed.description(), QStringLiteral("This key is already associated with an element of this collection."));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.entry(1)->Filename(), file(1)) << "the first entry stays";
}

TEST_F(PlayListTest, RejectedFilesAndMissingPlacesLeaveListAndTotalAlone)
{
    list.AddEntry(file(1), 0, 0, QStringLiteral("Wake"));
    engine.addFile(QStringLiteral("/music/notes.txt")).frameResult = 0;
    const auto rejected = raisedBy([&] { list.AddEntry(QStringLiteral("/music/notes.txt")); });
    EXPECT_EQ(rejected.number(), 30075);
    EXPECT_EQ(rejected.source(), QStringLiteral("SBMP3Player"));
    EXPECT_EQ(raisedBy([&] { list.AddEntry(QStringLiteral("/music/none.mp3")); }).number(), 53);
    EXPECT_EQ(raisedBy([&] { list.AddEntry(file(2), 3, 0, QStringLiteral("Other")); }).number(), 457);
    const auto noPlace = raisedBy([&] { list.AddEntry(file(2), 0, 7); });
    EXPECT_EQ(noPlace.number(), 30078) << "a place that does not exist is reported also without a key";
    EXPECT_EQ(noPlace.description(), QStringLiteral("There is no PlayList entry 7."));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_DOUBLE_EQ(list.TotalPlayListTime(), 100.0);
    EXPECT_EQ(list.entry(QStringLiteral("wake"))->Key(), QStringLiteral("Wake"));
}

TEST_F(PlayListTest, RemoveEntryByPositionOrKeyAndItsError)
{
    for (int i = 1; i <= 4; ++i)
        list.AddEntry(file(i), 0, 0, QStringLiteral("k%1").arg(i));
    const auto missing = raisedBy([&] { list.RemoveEntry(5); });
    EXPECT_EQ(missing.number(), 30078);
    EXPECT_EQ(missing.description(), QStringLiteral("There is no PlayList entry 5."));
    const auto missingKey = raisedBy([&] { list.RemoveEntry(QStringLiteral("/music/1.mp3")); });
    EXPECT_EQ(missingKey.description(), QStringLiteral("There is no PlayList entry /music/1.mp3."))
        << "a text is a key, never a file name";
    EXPECT_DOUBLE_EQ(list.TotalPlayListTime(), 1000.0);

    list.RemoveEntry(2);
    list.RemoveEntry(QStringLiteral("K4"));
    EXPECT_EQ(order(), "13");
    EXPECT_DOUBLE_EQ(list.TotalPlayListTime(), 400.0);
    EXPECT_EQ(list.PlayListEntries(QStringLiteral("k4")), nullptr) << "a null reference, no error";
    EXPECT_EQ(list.PlayListEntries(9), nullptr);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_DOUBLE_EQ(list.TotalPlayListTime(), 0.0);
    list.Clear();
    EXPECT_DOUBLE_EQ(list.TotalPlayListTime(), 0.0);
}

TEST_F(PlayListTest, FilenameIsAnnouncedAndPersistedWithItsDefaultLeftOut)
{
    platform::MemoryPropertyBag bag;
    list.WriteProperties(bag);
    EXPECT_TRUE(bag.values.isEmpty());
    list.setFilename(QStringLiteral("/music/morning.m3u"));
    EXPECT_EQ(site.notices, QStringList{QStringLiteral("FileName")});
    list.WriteProperties(bag);
    SBMP3PlayList restored(nullptr, engine);
    restored.ReadProperties(bag);
    EXPECT_EQ(restored.Filename(), QStringLiteral("/music/morning.m3u"));
    restored.resize(200, 100);
    EXPECT_EQ(restored.size(), QSize(32, 32));
}

TEST_F(PlayListTest, SavesLoadsMovesAndSortsThroughTheControl)
{
    QTemporaryDir folder;
    const QString playList = folder.filePath(QStringLiteral("morning.m3u"));
    // The fake's files live under /music; the playlist names them absolutely.
    for (int i : {3, 1, 2})
        list.AddEntry(file(i), 0, 0, QStringLiteral("key%1").arg(i));
    list.SavePlayList(playList);
    EXPECT_EQ(list.Filename(), playList) << "the argument is stored";
    EXPECT_TRUE(site.notices.isEmpty()) << "without the setter's notice";

    SBMP3PlayList loaded(nullptr, engine);
    loaded.LoadPlayList(playList);
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_DOUBLE_EQ(loaded.TotalPlayListTime(), 600.0);
    EXPECT_EQ(loaded.entry(1)->Filename(), file(3));
    EXPECT_EQ(loaded.entry(QStringLiteral("key3")), nullptr) << "keys are not kept in the file";

    list.Sort(0, 1); // by file, ascending
    EXPECT_EQ(order(), "123");
    EXPECT_DOUBLE_EQ(list.TotalPlayListTime(), 600.0);
    EXPECT_EQ(list.entry(QStringLiteral("key1")), nullptr) << "sorting renews the keys";
    EXPECT_EQ(list.entry(1)->Key(), QStringLiteral("key1")) << "the entry keeps the key it was given";
    list.MovePlayListEntry(3, 3); // to the top
    EXPECT_EQ(order(), "312");

    const auto missingTarget = raisedBy([&] { list.MovePlayListEntry(1, 5, 9); });
    EXPECT_EQ(missingTarget.number(), 30078);
    EXPECT_EQ(missingTarget.source(), QString());
    EXPECT_EQ(missingTarget.description(), QStringLiteral("There is no PlayList entry '9'."));
    const auto noName = raisedBy([&] { SBMP3PlayList(nullptr, engine).LoadPlayList(); });
    EXPECT_EQ(noName.number(), 30077);
    EXPECT_EQ(noName.source(), QStringLiteral("SBMP3PlayList.LoadPlayList"));
    QFile wrong(folder.filePath(QStringLiteral("wrong.m3u")));
    ASSERT_TRUE(wrong.open(QIODevice::WriteOnly));
    wrong.write("#extm3u\r\n/music/1.mp3\r\n");
    wrong.close();
    const auto refused = raisedBy([&] { loaded.LoadPlayList(wrong.fileName()); });
    EXPECT_EQ(refused.number(), 30077);
    EXPECT_EQ(refused.description(), QStringLiteral("A valid playlist file name must be selected in order to load or save it."));
    EXPECT_EQ(loaded.Count(), 3) << "a refused header leaves the list alone";
    EXPECT_EQ(loaded.Filename(), wrong.fileName());
}

TEST_F(PlayListTest, EntriesAreReachableByNameAndInOrder)
{
    list.AddEntry(file(2));
    list.AddEntry(file(1));
    const QVariantList all = list.property("NewEnum").toList();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].value<QObject *>()->property("Filename").toString(), file(2));
    QObject *second = nullptr;
    QMetaObject::invokeMethod(&list, "PlayListEntries", Q_RETURN_ARG(QObject *, second), Q_ARG(QVariant, 2));
    EXPECT_EQ(second->property("Filename").toString(), file(1));
    EXPECT_EQ(list.property("Count").toInt(), 2);
}

}  // namespace
}  // namespace SonbrelMP3
