// Members that Qt calls (a signal connection, a queued call) report their
// errors through the object's Error signal, since an exception cannot pass
// through Qt's delivery; the same members called directly still raise.

#include "Enumerations.h"
#include "FakeEngine.h"
#include "RaisedError.h"
#include "equalizer/Equalizer.h"
#include "player/SBMP3Player.h"
#include "playlist/PlayListEntry.h"
#include "playlist/SBMP3PlayList.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

namespace SonbrelMP3 {
namespace {

using testing::FakeEngine;

const QString kSong = QStringLiteral("/music/song.mp3");
const QString kNotFound = QStringLiteral("Can't find specified file. (File not found)");

// The one error the spy heard: number, source, description.
QVariantList onlyError(const QSignalSpy &spy)
{
    EXPECT_EQ(spy.count(), 1);
    return spy.isEmpty() ? QVariantList() : spy.first();
}

class MemberCallsTest : public ::testing::Test {
protected:
    MemberCallsTest()
    {
        engine.addFile(kSong);
        player.setFilename(kSong);
    }

    FakeEngine engine;
    SBMP3Player player{nullptr, engine};
    QSignalSpy errors{&player, &SBMP3Player::Error};
};

TEST_F(MemberCallsTest, AButtonConnectedToPlayStartHearsOfAMissingFileThroughError)
{
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, &player, &SBMP3Player::PlayStart);
    engine.queueResult("play", 53);  // the file went away after Filename was set
    EXPECT_NO_THROW(button.click());
    EXPECT_EQ(onlyError(errors), (QVariantList{53, QStringLiteral("SBMP3Player"), kNotFound}));
    EXPECT_FALSE(player.IsPlaying());

    engine.queueResult("play", 53);
    EXPECT_THROW(player.PlayStart(), RaisedError) << "a direct call raises as before";
    EXPECT_EQ(errors.count(), 1);

    button.click();
    EXPECT_TRUE(player.IsPlaying()) << "a start that works raises nothing";
    EXPECT_EQ(errors.count(), 1);
}

TEST_F(MemberCallsTest, AHandlerOfErrorThatCallsAgainDirectlyCatchesWhatItCalls)
{
    int caught = 0;
    QObject::connect(&player, &SBMP3Player::Error, &player, [&] {
        try {
            player.PlayFadeIn(1.0);
        } catch (const RaisedError &error) {
            caught = error.number();
        }
    });
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, &player, [&] { player.PlayStart(); });
    engine.queueResult("play", 30101);
    engine.queueResult("fade_in", 53);
    button.click();
    EXPECT_EQ(errors.count(), 1);
    EXPECT_EQ(caught, 53);
}

TEST_F(MemberCallsTest, QueuedCallsOfEveryObjectReportTheirErrors)
{
    engine.queueResult("play", 30101);
    QMetaObject::invokeMethod(&player, "PlayStart", Qt::QueuedConnection);

    SBMP3PlayList list(nullptr, engine);
    QSignalSpy listErrors(&list, &SBMP3PlayList::Error);
    QTimer::singleShot(0, &list, [&] { list.LoadPlayList(QStringLiteral("/no/such/list.m3u")); });

    Equalizer &equalizer = player.equalizer();
    QSignalSpy equalizerErrors(&equalizer, &Equalizer::Error);
    QMetaObject::invokeMethod(&equalizer, "RemoveBand", Qt::QueuedConnection, Q_ARG(qint16, 5));

    PlayListEntry entry(engine);
    QSignalSpy entryErrors(&entry, &PlayListEntry::Error);
    QTimer::singleShot(0, &entry, [&] { entry.setID3Title(QStringLiteral("no file")); });

    QCoreApplication::processEvents();
    EXPECT_EQ(onlyError(errors).value(0), 30101);
    EXPECT_EQ(onlyError(listErrors), (QVariantList{53, QStringLiteral("SBMP3PlayList.LoadPlayList"),
                                                   QStringLiteral("Can 't Find Specified File. (File Not Found)")}));
    EXPECT_EQ(onlyError(equalizerErrors), (QVariantList{30091, QStringLiteral("SonbrelMP3"),
                                                        QStringLiteral("Frequency band does not exist in equalizer.")}));
    EXPECT_EQ(onlyError(entryErrors), (QVariantList{53, QStringLiteral("SBMP3Player"), kNotFound}));

    // Called by name, as a host that does not link the library calls: raised.
    EXPECT_THROW(QMetaObject::invokeMethod(&equalizer, "RemoveBand", Q_ARG(qint16, 5)), RaisedError);
    EXPECT_EQ(equalizerErrors.count(), 1);
}

TEST_F(MemberCallsTest, ALoadThroughASignalSkipsRefusedEntriesAsADirectOneDoes)
{
    // The load's own AddEntry calls raise to the load, which skips them:
    // only the load itself may report.
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("list.m3u"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("#EXTM3U\r\n/music/missing.mp3\r\n/music/song.mp3\r\n");
    out.close();

    SBMP3PlayList list(nullptr, engine);
    QSignalSpy listErrors(&list, &SBMP3PlayList::Error);
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, &list, [&] { list.LoadPlayList(file); });
    button.click();
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(listErrors.count(), 0);
}

}  // namespace
}  // namespace SonbrelMP3
