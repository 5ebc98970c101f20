#include "player/SBMP3Player.h"

#include "Enumerations.h"
#include "FakeEngine.h"
#include "RaisedError.h"
#include "equalizer/Equalizer.h"
#include "equalizer/EqualizerBand.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaMethod>
#include <QMetaObject>
#include <QSignalSpy>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace SonbrelMP3 {
namespace {

using testing::FakeEngine;

const QString kSong = QStringLiteral("/music/song.mp3");
const QString kOther = QStringLiteral("/music/other.mp3");

struct RecordingSite : platform::ContainerSite {
    bool runMode = true;
    QStringList notices;
    QStringList messages;
    bool userMode() const override { return runMode; }
    void propertyChanged(const QString &name) override { notices << name; }
    void messageBox(const QString &text, const QString &title, MessageIcon icon) override
    {
        messages << title + QStringLiteral("|") + text + QStringLiteral("|")
                        + QString::number(static_cast<int>(icon));
    }
};

class PlayerTest : public ::testing::Test {
protected:
    PlayerTest()
    {
        engine.addFile(kSong);
        engine.addFile(kOther);
        player = std::make_unique<SBMP3Player>(nullptr, engine);
        player->setContainerSite(&site);
        finished = std::make_unique<QSignalSpy>(player.get(), &SBMP3Player::FinishedPlaying);
        visualized = std::make_unique<QSignalSpy>(player.get(), &SBMP3Player::VisualizationUpdate);
    }

    void startPlaying()
    {
        player->setFilename(kSong);
        player->PlayStart();
        engine.calls.clear();
    }

    auto calls() const { return engine.callNames(); }

    FakeEngine engine;
    RecordingSite site;
    std::unique_ptr<SBMP3Player> player;
    std::unique_ptr<QSignalSpy> finished;
    std::unique_ptr<QSignalSpy> visualized;
};

using Calls = std::vector<std::string>;

TEST_F(PlayerTest, AFreshPlayerIsStoppedWithItsEqualizerOffAndChangesNothingInTheEngine)
{
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(player->IsPaused());
    EXPECT_FALSE(player->equalizer().Enabled());
    EXPECT_TRUE(engine.calls.empty()) << "creating a player leaves another's equalizer alone";
    EXPECT_EQ(player->size(), QSize(32, 32));
    player->resize(100, 60);
    EXPECT_EQ(player->size(), QSize(32, 32)) << "the control snaps back to 32 x 32";
}

TEST_F(PlayerTest, StartFromStoppedSendsIntervalWindowAndFileThenRunsTheTimer)
{
    player->setFilename(kSong);
    engine.calls.clear();
    player->PlayStart();
    EXPECT_EQ(calls(), (Calls{"eq_state", "set_eq", "set_gain", "set_vu_interval", "play_mp3", "play"}))
        << "its own equalizer first, then the start";
    EXPECT_EQ(engine.callsTo("set_vu_interval")[0].arguments[0].toInt(), 100);
    EXPECT_NE(engine.window, nullptr);
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_FALSE(player->IsPaused());
    EXPECT_TRUE(player->finishTimerRunning());

    SBMP3Player empty(nullptr, engine);
    engine.calls.clear();
    empty.PlayStart();
    EXPECT_TRUE(calls().empty()) << "no file, nothing to start";
}

TEST_F(PlayerTest, AFailedStartRaisesTheEngineResultAndStaysStopped)
{
    player->setFilename(kSong);
    engine.queueResult("play", 30101);
    try {
        player->PlayStart();
        FAIL() << "no error raised";
    } catch (const RaisedError &error) {
        EXPECT_EQ(error.number(), 30101);
        EXPECT_EQ(error.source(), QStringLiteral("SBMP3Player"));
        EXPECT_EQ(error.description(), QStringLiteral("No audio devices present."));
    }
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(player->finishTimerRunning());

    engine.queueResult("fade_in", 53);
    EXPECT_THROW(player->PlayFadeIn(2.5), RaisedError);
    EXPECT_FLOAT_EQ(engine.callsTo("fade_in")[0].arguments[1].toFloat(), 2.5f);
}

TEST_F(PlayerTest, AStartTheEngineCannotMakeRaisesWhyAndStaysStopped)
{
    player->setFilename(kSong);
    engine.unbound = {"set_vu_interval", "play_mp3", "eq_state"};
    EXPECT_NO_THROW(player->PlayStart()) << "steps before the start are skipped";
    EXPECT_TRUE(player->IsPlaying());
    player->PlayStop();

    struct Case {
        std::set<std::string> unbound;
        bool libraryMissing;
        int number;
    };
    for (const Case &test : {Case{{"play"}, false, 453}, Case{{}, true, 48}}) {
        engine.unbound = test.unbound;
        engine.libraryMissing = test.libraryMissing;
        try {
            player->PlayStart();
            ADD_FAILURE() << "a start that did not happen was taken for one";
        } catch (const RaisedError &error) {
            EXPECT_EQ(error.number(), test.number);
            EXPECT_EQ(error.source(), QStringLiteral("SBMP3Player"));
            EXPECT_TRUE(error.description().startsWith(
                test.libraryMissing ? QStringLiteral("Error in loading DLL") : QStringLiteral("Can't find DLL")))
                << error.description().toStdString() << ": the binding's reason, not the table's";
        }
        EXPECT_FALSE(player->IsPlaying());
        EXPECT_FALSE(player->finishTimerRunning());
    }
}

TEST_F(PlayerTest, StartWhilePlayingStopsFirstAndStartWhilePausedOnlyResumes)
{
    startPlaying();
    player->PlayStart();
    EXPECT_EQ(calls(), (Calls{"stop_playing", "eq_state", "set_eq", "set_gain", "set_vu_interval", "play_mp3", "play"}));

    player->PlayPause();
    EXPECT_TRUE(player->IsPaused());
    EXPECT_TRUE(player->IsPlaying());
    engine.calls.clear();
    player->PlayFadeIn(3.0);
    EXPECT_EQ(calls(), (Calls{"continue_playing"})) << "resumed without a fade";
    EXPECT_FALSE(player->IsPaused());
    EXPECT_TRUE(player->IsPlaying());
}

TEST_F(PlayerTest, PauseAndStopActOnlyWhenTheyCan)
{
    player->PlayPause();
    player->PlayStop();
    EXPECT_TRUE(calls().empty() || calls() == Calls{"eq_state"});

    startPlaying();
    player->PlayPause();
    player->PlayPause();
    EXPECT_EQ(calls(), (Calls{"pause_playing"}));
    player->PlayStop();
    EXPECT_EQ(calls(), (Calls{"pause_playing", "stop_playing"}));
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(player->IsPaused());
    EXPECT_FALSE(player->finishTimerRunning());
    EXPECT_EQ(finished->count(), 0) << "a stop raises no event";
}

TEST_F(PlayerTest, AnotherFileNameStopsPlaybackAndABadOneEmptiesTheNameSilently)
{
    startPlaying();
    player->setFilename(kSong);
    EXPECT_TRUE(calls().empty()) << "the same name changes nothing";
    player->setFilename(kOther);
    EXPECT_EQ(calls().front(), "stop_playing");
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_EQ(site.notices.count(QStringLiteral("FileName")), 2);

    engine.addFile(QStringLiteral("/music/notes.txt")).frameResult = 0;
    EXPECT_NO_THROW(player->setFilename(QStringLiteral("/music/notes.txt")));
    EXPECT_TRUE(player->Filename().isEmpty());
    EXPECT_EQ(site.notices.count(QStringLiteral("FileName")), 2) << "no notice for a rejected file";
}

TEST_F(PlayerTest, FadeOutClampsItsTimeWritesItBackAndLeavesTheFlags)
{
    float decay = 0.0f;
    player->PlayFadeOutByRef(decay);
    startPlaying();
    decay = -1.0f;
    player->PlayFadeOutByRef(decay);
    EXPECT_TRUE(calls().empty());

    player->PlayPause();
    engine.calls.clear();
    decay = 35.0f;
    player->PlayFadeOutByRef(decay);
    EXPECT_FLOAT_EQ(decay, 20.0f) << "the caller's variable gets the clamped time";
    EXPECT_EQ(calls(), (Calls{"continue_playing", "fade_out"}));
    EXPECT_FLOAT_EQ(engine.callsTo("fade_out")[0].arguments[0].toFloat(), 20.0f);
    EXPECT_FALSE(player->finishTimerRunning());
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_TRUE(player->IsPaused()) << "the flags wait for the engine's status";
}

TEST_F(PlayerTest, StatusCodesSetTheStateBeforeTheirEvents)
{
    startPlaying();
    bool playingSeen = true;
    QObject::connect(player.get(), &SBMP3Player::FinishedPlaying, [&] { playingSeen = player->IsPlaying(); });

    engine.status = SBMP3_STATUS_PAUSED;
    player->UpdateStatus();
    EXPECT_TRUE(player->IsPaused());
    EXPECT_TRUE(player->IsPlaying());
    engine.status = SBMP3_STATUS_PLAYING;
    engine.position = 12.5;
    engine.levels = {300, 200, 300};
    player->UpdateStatus();
    EXPECT_FALSE(player->IsPaused());
    EXPECT_EQ(visualized->count(), 1);
    EXPECT_DOUBLE_EQ(player->TrackPosition(0), 12.5);
    EXPECT_EQ(player->VUMeter(1), 200);
    engine.status = SBMP3_STATUS_ENDED;
    player->UpdateStatus();
    EXPECT_EQ(finished->count(), 1);
    EXPECT_FALSE(playingSeen) << "a handler reads the new state";
    engine.status = SBMP3_STATUS_STOPPED;
    player->PlayStart();
    player->UpdateStatus();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_EQ(finished->count(), 1) << "stopped raises nothing";
    engine.status = 9;
    player->PlayStart();
    player->UpdateStatus();
    EXPECT_TRUE(player->IsPlaying()) << "an unknown status changes nothing";
}

TEST_F(PlayerTest, EachEndIsReportedOnceWhicheverNoticeComesFirstAndTheTimerStops)
{
    const auto timerTick = [&] {
        engine.finished = 1;
        player->tmrIsFinished_Timer();
    };
    const auto statusEnded = [&] {
        engine.status = SBMP3_STATUS_ENDED;
        player->UpdateStatus();
    };
    const std::vector<std::function<void()>> orders[] = {{timerTick, statusEnded, timerTick},
                                                         {statusEnded, timerTick, statusEnded}};
    int ends = 0;
    player->setFilename(kSong);
    for (const auto &order : orders) {
        engine.finished = 0;
        player->PlayStart();
        ASSERT_TRUE(player->finishTimerRunning());
        for (const auto &notice : order)
            notice();
        EXPECT_EQ(finished->count(), ++ends) << "one end, one event";
        EXPECT_FALSE(player->IsPlaying());
        EXPECT_FALSE(player->finishTimerRunning()) << "nothing to wait for after the end";
    }

    // A pause keeps the timer; a stop reported by the engine ends it.
    player->PlayStart();
    player->PlayPause();
    EXPECT_TRUE(player->finishTimerRunning());
    engine.status = SBMP3_STATUS_STOPPED;
    player->UpdateStatus();
    EXPECT_FALSE(player->finishTimerRunning());
    statusEnded();
    EXPECT_EQ(finished->count(), ends) << "a stopped track has no end to report";
}

TEST_F(PlayerTest, TheTimerIgnoresATickInsideATickAndSurvivesAnUnreachableEngine)
{
    startPlaying();
    engine.finished = 1;
    int nested = 0;
    QObject::connect(player.get(), &SBMP3Player::FinishedPlaying, [&] {
        player->PlayStart(); // the alarm program starts again from its handler
        player->tmrIsFinished_Timer();
        ++nested;
    });
    player->tmrIsFinished_Timer();
    EXPECT_EQ(finished->count(), 1) << "the inner tick returned at once";
    EXPECT_EQ(nested, 1);

    engine.unbound = {"is_finished"};
    player->tmrIsFinished_Timer();
    engine.unbound.clear();
    player->tmrIsFinished_Timer();
    EXPECT_EQ(finished->count(), 2) << "the busy flag was cleared after the failed tick";
}

TEST_F(PlayerTest, TheEnginesWindowPostsOneCoalescedStatusUpdate)
{
    startPlaying();
    engine.status = SBMP3_STATUS_PLAYING;
    ASSERT_TRUE(engine.invalidateWindow());
    engine.invalidateWindow();
    engine.invalidateWindow();
    player->hide();
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.callsTo("get_status").size(), 1u);
    EXPECT_EQ(visualized->count(), 1) << "also while hidden";
    engine.invalidateWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.callsTo("get_status").size(), 2u);
}

TEST_F(PlayerTest, AStartTakesTheTrackFromAnotherPlayerWhichStopsQuietly)
{
    SBMP3Player second(nullptr, engine);
    QSignalSpy secondFinished(&second, &SBMP3Player::FinishedPlaying);
    second.setFilename(kOther);
    startPlaying();
    engine.status = SBMP3_STATUS_PLAYING;
    engine.invalidateWindow(); // queued for the first player
    second.PlayStart();
    EXPECT_EQ(calls(), (Calls{"stop_playing", "eq_state", "set_eq", "set_gain", "set_vu_interval", "play_mp3",
                              "play"}))
        << "the first track is stopped even when the second does not start";
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(player->finishTimerRunning());

    engine.calls.clear();
    QCoreApplication::processEvents();
    player->UpdateStatus();
    EXPECT_TRUE(engine.callsTo("get_status").empty()) << "the engine's status is the second's";
    EXPECT_EQ(visualized->count(), 0);
    engine.finished = 1;
    player->tmrIsFinished_Timer();
    second.tmrIsFinished_Timer();
    engine.status = SBMP3_STATUS_ENDED;
    player->UpdateStatus();
    second.UpdateStatus();
    EXPECT_EQ(finished->count(), 0) << "the first player never hears of the second's end";
    EXPECT_EQ(secondFinished.count(), 1);
    player->PlayStop();
    EXPECT_TRUE(engine.callsTo("stop_playing").empty()) << "a stopped player stops nobody's track";

    // The first player takes the track back; the second stops.
    engine.finished = 0;
    second.PlayStart();
    player->PlayStart();
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_FALSE(second.IsPlaying());
}

TEST_F(PlayerTest, EachPlayerBringsItsOwnEqualizerAndOnlyTheCurrentOneReachesTheEngine)
{
    Equalizer &first = player->equalizer();
    std::int16_t frequency = 1000;
    first.AddBand(frequency);
    first.Band(1, sbrEQBandsByIndex)->setGain(-20.0F);
    first.setGain(sbrMP3LeftChannel, 3.0F);
    first.setEnabled(true);
    SBMP3Player second(nullptr, engine);
    player->setFilename(kSong);
    second.setFilename(kOther);
    EXPECT_TRUE(first.Enabled());

    const auto sentOnStart = [&](SBMP3Player &starting) {
        engine.calls.clear();
        starting.PlayStart();
        QVariantList sent;
        for (const auto &call : engine.calls)
            if (call.function != "play" && call.function != "stop_playing" && call.function != "set_vu_interval"
                && call.function != "play_mp3")
                sent << QString::fromStdString(call.function) << call.arguments;
        return sent;
    };
    QVariantList firstGains(32, 0.0F);
    firstGains[0] = -20.0F;
    EXPECT_EQ(sentOnStart(*player), (QVariantList{QStringLiteral("eq_state"), short(1), QStringLiteral("create_eq"), short(1), short(1000),
                                                  QStringLiteral("set_eq")} + firstGains
                                     + QVariantList{QStringLiteral("set_gain"), 3.0F, 0.0F}));
    EXPECT_EQ(sentOnStart(second), (QVariantList{QStringLiteral("eq_state"), short(0), QStringLiteral("set_eq")} + QVariantList(32, 0.0F)
                                    + QVariantList{QStringLiteral("set_gain"), 0.0F, 0.0F}));

    engine.calls.clear();
    first.setEnabled(false);
    first.Band(1, sbrEQBandsByIndex)->setGain(5.0F);
    EXPECT_TRUE(engine.calls.empty()) << "the second player's sound is the second's";
    second.equalizer().setEnabled(true);
    EXPECT_EQ(calls(), Calls{"eq_state"});
}

TEST_F(PlayerTest, SeeksAreMeasuredFromTheirOriginAndClampedToTheTrack)
{
    startPlaying(); // 300 s long
    player->setTrackPosition(0, 100.0);
    player->setTrackPosition(1, 50.0);
    EXPECT_DOUBLE_EQ(player->TrackPosition(0), 150.0);
    EXPECT_DOUBLE_EQ(player->TrackPosition(2), 150.0);
    EXPECT_DOUBLE_EQ(player->TrackPosition(1), 0.0);
    player->setTrackPosition(2, -10.0);
    player->setTrackPosition(0, 500.0);
    player->setTrackPosition(1, -1000.0);
    player->setTrackPosition(7, 42.0);
    std::vector<double> targets;
    for (const auto &call : engine.callsTo("seek_playing"))
        targets.push_back(call.arguments[0].toDouble());
    EXPECT_EQ(targets, (std::vector<double>{100.0, 150.0, 290.0, 300.0, 0.0, 0.0}));
    player->PlayStop();
    player->setTrackPosition(0, 5.0);
    EXPECT_EQ(engine.callsTo("seek_playing").size(), 6u) << "no seek while stopped";
}

TEST_F(PlayerTest, ChannelsAndIndexesAreClampedAndWrittenBack)
{
    engine.levels = {10, 20, 30};
    for (int i = 0; i < SBMP3_WAVE_SAMPLES * 3; ++i)
        engine.wave[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
    engine.spectrum[5 * 3 + 2] = 0.75f;
    startPlaying();
    engine.status = SBMP3_STATUS_PLAYING;
    player->UpdateStatus();

    std::int16_t channel = -4;
    EXPECT_EQ(player->VUMeterByRef(channel), 10);
    EXPECT_EQ(channel, 0);
    channel = 9;
    EXPECT_EQ(player->VUMeterByRef(channel), 30);
    EXPECT_EQ(channel, 2);
    channel = 1;
    EXPECT_EQ(player->GfxWaveFormSampleByRef(channel, 4), 4 * 3 + 1);
    EXPECT_EQ(player->GfxWaveFormSample(1, 256), 0);
    EXPECT_EQ(player->GfxWaveFormSample(1, -1), 0);
    EXPECT_FLOAT_EQ(player->SpectrumAnalysis(2, 5), 0.75f);
    EXPECT_FLOAT_EQ(player->SpectrumAnalysis(2, 128), 0.0f);
    EXPECT_EQ(player->GfxWaveFormLBound(), -32768);
    EXPECT_EQ(player->GfxWaveFormUBound(), 32767);

    platform::MemoryPropertyBag bag;
    bag.values[QStringLiteral("Channels")] = 1;
    player->ReadProperties(bag);
    channel = 2;
    EXPECT_EQ(player->VUMeterByRef(channel), 10) << "one stored channel: always selector 0";
    EXPECT_EQ(channel, 0);
}

TEST_F(PlayerTest, ChangeIntervalIsClampedWrittenBackSentAndAnnounced)
{
    std::int16_t interval = 5;
    player->letChangeInterval(interval);
    EXPECT_EQ(interval, 10);
    interval = 1000;
    player->letChangeInterval(interval);
    EXPECT_EQ(interval, 250);
    EXPECT_EQ(player->ChangeInterval(), 250);
    const auto sent = engine.callsTo("set_vu_interval");
    ASSERT_EQ(sent.size(), 2u) << "sent at once, playing or not";
    EXPECT_EQ(sent[1].arguments[0].toInt(), 250);
    EXPECT_EQ(site.notices.count(QStringLiteral("ChangeInterval")), 2);

    // By name (a form, a host) any int: beyond 16 bits it does not wrap.
    for (const auto &[value, stored] : {std::pair{65546, 250}, std::pair{-70000, 10}, std::pair{40, 40}}) {
        ASSERT_TRUE(player->setProperty("ChangeInterval", value));
        EXPECT_EQ(player->ChangeInterval(), stored) << value;
    }
}

TEST_F(PlayerTest, WithoutAFileInformationAndTagsAnswerTheirEmptyValues)
{
    EXPECT_EQ(player->ChannelMode(), QString());
    EXPECT_FALSE(player->Copyrighted().isValid()) << "an empty variant, not False";
    EXPECT_FALSE(player->CRCExists());
    EXPECT_EQ(player->DataRate(), 0);
    EXPECT_EQ(player->Frames(), 0);
    EXPECT_EQ(player->Layer(), QString());
    EXPECT_EQ(player->MPEGVersion(), QString());
    EXPECT_FALSE(player->Original());
    EXPECT_EQ(player->SampleRate(), 0);
    EXPECT_EQ(player->TrackLength(), 0);
    EXPECT_EQ(player->Channels(), 0);
    EXPECT_EQ(player->ID3Title(), QString());
    EXPECT_EQ(player->ID3Genre(), 0);
    EXPECT_EQ(player->FileSize(), 0);
    engine.calls.clear();
    EXPECT_NO_THROW(player->setID3Title(QStringLiteral("x")));
    EXPECT_TRUE(engine.callsTo("set_id3_tag").empty());
    EXPECT_EQ(player->GenreList(255), QString());
    EXPECT_THROW(player->GenreList(40000), RaisedError);
}

TEST_F(PlayerTest, WithAFileItAnswersFromTheEntryTrimmedAndSurvivesItsErrors)
{
    engine.files[kSong].tag = FakeEngine::tagBlock("  Morning  ", "Artist", {}, {}, {}, 17);
    engine.files[kSong].frameInfo = "1|3|0|128000|44100|1|0|Single Channel|1|1|0|0|4800000|11500|300";
    player->setFilename(kSong);
    EXPECT_EQ(player->ID3Title(), QStringLiteral("Morning"));
    EXPECT_EQ(player->ID3Genre(), 17);
    EXPECT_EQ(player->Copyrighted(), QVariant(true));
    EXPECT_TRUE(player->CRCExists());
    EXPECT_EQ(player->TrackLength(), 300);
    EXPECT_EQ(player->Channels(), 1) << "\"Single\" in the channel mode";
    EXPECT_EQ(player->MPEGVersion(), QStringLiteral("1"));

    engine.files[kSong].writeResult = 75;
    EXPECT_NO_THROW(player->setID3Artist(QStringLiteral("Somebody")));
    EXPECT_EQ(player->ID3Artist(), QStringLiteral("Artist")) << "the file still holds the old tag";
    engine.files[kSong].tagResult = 57;
    EXPECT_EQ(player->ID3Title(), QString());

    // A rejected file: the name empties, but the entry keeps its size.
    engine.addFile(QStringLiteral("/music/bad.mp3")).frameResult = 0;
    player->setFilename(QStringLiteral("/music/bad.mp3"));
    EXPECT_EQ(player->FileSize(), 4800000);
    EXPECT_EQ(player->ChannelMode(), QString());
}

TEST_F(PlayerTest, ReadOnlyPropertiesAnnounceAndWarnOnlyAtDesignTime)
{
    player->setChannels(1);
    player->setDeviceName(QStringLiteral("Speakers"));
    EXPECT_EQ(site.notices, (QStringList{QStringLiteral("Channels"), QStringLiteral("DeviceName")}));
    EXPECT_TRUE(site.messages.isEmpty()) << "nothing at run time";
    EXPECT_EQ(player->DeviceName(), QStringLiteral("Pellicor Wave Mapper"));

    site.runMode = false;
    player->setChannels(1);
    player->setDeviceName(QStringLiteral("Speakers"));
    EXPECT_EQ(site.messages,
              (QStringList{QStringLiteral("SonbrelMP3Player Property is Read-Only|The number of channels is "
                                          "read-only.  Channels are determined by your hardware.|0"),
                           QStringLiteral("SonbrelMP3Player Property is Read-Only|The device name is "
                                          "read-only.  The device name is determined by your hardware.|0")}));
    EXPECT_EQ(player->DeviceName(), QStringLiteral("Pellicor Wave Mapper"));
}

TEST_F(PlayerTest, PropertiesRoundTripAndDefaultsAreLeftOut)
{
    platform::MemoryPropertyBag bag;
    player->InitProperties();
    player->WriteProperties(bag);
    EXPECT_TRUE(bag.values.isEmpty()) << "every value equals its default";

    player->setFilename(kSong);
    std::int16_t interval = 40;
    player->letChangeInterval(interval);
    player->WriteProperties(bag);
    EXPECT_EQ(bag.values.keys(), (QStringList{QStringLiteral("ChangeInterval"), QStringLiteral("FileName")}));

    // A restored control: the values go straight into the fields.
    platform::MemoryPropertyBag saved;
    saved.values = {{QStringLiteral("FileName"), kOther}, {QStringLiteral("ChangeInterval"), 5}};
    SBMP3Player restored(nullptr, engine);
    engine.calls.clear();
    restored.ReadProperties(saved);
    EXPECT_TRUE(engine.calls.empty()) << "nothing bound, nothing sent";
    EXPECT_EQ(restored.Filename(), kOther);
    EXPECT_EQ(restored.ChangeInterval(), 5);
    EXPECT_EQ(restored.TrackLength(), 0) << "the entry is not bound to the restored file";
    EXPECT_EQ(restored.Channels(), 2);
    restored.PlayStart();
    EXPECT_EQ(engine.callsTo("set_vu_interval")[0].arguments[0].toInt(), 5) << "sent unchanged";
    EXPECT_EQ(engine.callsTo("play")[0].arguments[0].toString(), kOther);
    restored.setTrackPosition(0, 30.0);
    EXPECT_EQ(engine.callsTo("seek_playing")[0].arguments[0].toDouble(), 0.0);

    platform::MemoryPropertyBag again;
    restored.WriteProperties(again);
    EXPECT_EQ(again.values.value(QStringLiteral("ChangeInterval")).toInt(), 5);
}

TEST_F(PlayerTest, DestroyingAPlayingControlStopsTheEngineQuietlyAndDetachesItsWindow)
{
    startPlaying();
    sbmp3_window *window = engine.window;
    player.reset();
    EXPECT_EQ(engine.callsTo("stop_playing").size(), 1u);
    ASSERT_EQ(engine.callsTo("release_window").size(), 1u);
    EXPECT_EQ(engine.callsTo("release_window")[0].arguments[0].value<void *>(), static_cast<void *>(window));
    EXPECT_EQ(engine.window, nullptr);
    EXPECT_EQ(finished->count(), 0);
}

TEST_F(PlayerTest, EveryMemberIsReachableByNameInItsOrder)
{
    const QMetaObject *meta = player->metaObject();
    const QStringList order =
        QString::fromLatin1(meta->classInfo(meta->indexOfClassInfo("DispatchOrder")).value()).split(QLatin1Char(','));
    EXPECT_EQ(order.size(), 38);
    for (const QString &name : order) {
        bool found = meta->indexOfProperty(name.toLatin1().constData()) >= 0;
        for (int i = meta->methodOffset(); i < meta->methodCount() && !found; ++i)
            found = meta->method(i).name() == name.toLatin1();
        EXPECT_TRUE(found) << name.toStdString();
    }

    // As a host that does not link the library drives it: by name, catching
    // the platform's error type.
    player->setProperty("Filename", kSong);
    engine.queueResult("play", 30101);
    try {
        QMetaObject::invokeMethod(player.get(), "PlayStart");
        FAIL() << "no error";
    } catch (const platform::DispatchError &error) {
        EXPECT_EQ(error.number(), 30101);
        EXPECT_EQ(error.source(), QStringLiteral("SBMP3Player"));
    }
    QMetaObject::invokeMethod(player.get(), "PlayStart");
    EXPECT_TRUE(player->property("IsPlaying").toBool());
    float decay = 50.0f;
    QMetaObject::invokeMethod(player.get(), "PlayFadeOut", Q_ARG(float, decay));
    EXPECT_FLOAT_EQ(engine.callsTo("fade_out")[0].arguments[0].toFloat(), 20.0f);
}

}  // namespace
}  // namespace SonbrelMP3
