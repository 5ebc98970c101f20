#include "equalizer/Equalizer.h"

#include "Enumerations.h"
#include "FakeEngine.h"
#include "RaisedError.h"
#include "equalizer/EqualizerBand.h"

#include <gtest/gtest.h>

namespace SonbrelMP3 {
namespace {

// The number of the error `action` raised, after checking its source.
template <typename Action>
int raisedBy(Action &&action)
{
    try {
        action();
    } catch (const RaisedError &error) {
        EXPECT_EQ(error.source(), QStringLiteral("SonbrelMP3"));
        return error.number();
    }
    return 0;
}

QVariantList gainSlots(int index = 0, float value = 0.0F)
{
    QVariantList gains(SBMP3_EQ_GAIN_SLOTS, 0.0F);
    gains[index] = value;
    return gains;
}

class EqualizerTest : public ::testing::Test {
protected:
    std::shared_ptr<EqualizerBand> add(std::int16_t frequency)
    {
        eq->AddBand(frequency);
        return eq->Band(frequency, sbrEQBandsByFrequency);
    }
    void TearDown() override
    {
        if (eq)
            eq->Clear();
    }

    testing::FakeEngine engine;
    std::shared_ptr<Equalizer> eq = Equalizer::create(engine);
    std::weak_ptr<Equalizer> watched = eq;
};

TEST_F(EqualizerTest, BandsAreKeyedByTheClampedFrequencyAndSentInTheOrderAdded)
{
    std::int16_t high = 30000, negative = -5;
    eq->AddBand(high);
    add(0);
    add(60);
    EXPECT_EQ(high, 22000);
    EXPECT_EQ(raisedBy([&] { eq->AddBand(negative); }), 30090) << "-5 is 1 as well";
    EXPECT_EQ(negative, 1);
    EXPECT_EQ(eq->BandCount(), 3);

    EXPECT_EQ(raisedBy([&] { eq->RemoveBand(30000); }), 30091);
    eq->RemoveBand(22000);
    eq->RemoveBand(1);
    eq->RemoveBand(60);  // the last band: no frequencies are sent

    const auto sent = engine.callsTo("create_eq");
    ASSERT_EQ(sent.size(), 5U);
    EXPECT_EQ(sent[2].arguments, (QVariantList{short(3), short(22000), short(1), short(60)}));
    EXPECT_EQ(sent[4].arguments, (QVariantList{short(1), short(60)}));
}

TEST_F(EqualizerTest, BandLookups)
{
    for (std::int16_t selectBy : {0, 1, 7})
        EXPECT_EQ(raisedBy([&] { eq->Band(100, selectBy); }), 30092);
    add(300);
    add(100);
    add(200);
    EXPECT_EQ(eq->Band(100, sbrEQBandsByFrequency), eq->Band(2, sbrEQBandsByIndex));
    EXPECT_EQ(eq->Band(100, 7), nullptr);
    EXPECT_EQ(raisedBy([&] { eq->Band(4, sbrEQBandsByIndex); }), 30091);
    EXPECT_EQ(raisedBy([&] { eq->Band(0, sbrEQBandsByIndex); }), 30091);
    EXPECT_EQ(raisedBy([&] { eq->Band(3, sbrEQBandsByFrequency); }), 30091);
}

TEST_F(EqualizerTest, BandGainsGoAsThirtyTwoSlotsAndThe33rdNever)
{
    for (std::int16_t i = 1; i <= 33; ++i)
        add(static_cast<std::int16_t>(i * 100));
    EXPECT_TRUE(engine.callsTo("set_eq").empty()) << "new bands send no gains";
    eq->Band(33, sbrEQBandsByIndex)->setGain(99.0F);
    EXPECT_EQ(engine.callsTo("set_eq").back().arguments, gainSlots());
    eq->Band(2, sbrEQBandsByIndex)->setGain(-3.5F);
    EXPECT_EQ(engine.callsTo("set_eq").back().arguments, gainSlots(1, -3.5F));
}

TEST_F(EqualizerTest, OverallGainsClampPerChannelAndAlwaysReachTheEngine)
{
    eq->setGain(sbrMP3AllChannels, 35.0F);
    eq->setGain(sbrMP3LeftChannel, -50.0F);
    EXPECT_EQ(engine.callsTo("set_gain").front().arguments, (QVariantList{20.0F, 20.0F}));
    EXPECT_EQ(engine.callsTo("set_gain").back().arguments, (QVariantList{-20.0F, 20.0F}));

    eq->setGain(sbrMP3LeftChannel, 10.0F);
    eq->setGain(sbrMP3RightChannel, 0.0F);
    eq->setGain(5, 3.0F);
    EXPECT_EQ(eq->Gain(sbrMP3AllChannels), 5.0F);
    EXPECT_EQ(eq->Gain(5), 0.0F);
    EXPECT_EQ(engine.callsTo("set_gain").size(), 5U);
}

TEST_F(EqualizerTest, WithoutBandsTheEngineIsFlatAndGainsAndStateStay)
{
    for (const bool byClear : {true, false}) {
        add(100)->setGain(-20.0F);
        add(200)->setGain(-20.0F);
        eq->setGain(sbrMP3LeftChannel, 4.0F);
        eq->setEnabled(true);
        EXPECT_EQ(engine.calls.back().arguments, (QVariantList{short(1)}));
        engine.calls.clear();

        if (byClear) {
            eq->Clear();
        } else {
            eq->RemoveBand(100);
            eq->RemoveBand(200);
        }
        EXPECT_EQ(eq->BandCount(), 0);
        ASSERT_FALSE(engine.callsTo("set_eq").empty());
        EXPECT_EQ(engine.callsTo("set_eq").back().arguments, gainSlots()) << "no -20 dB left in the sound";
        EXPECT_TRUE(engine.callsTo("eq_state").empty());
        EXPECT_TRUE(engine.callsTo("set_gain").empty());
        EXPECT_TRUE(eq->Enabled());
        EXPECT_EQ(eq->Gain(sbrMP3LeftChannel), 4.0F);
    }
}

TEST_F(EqualizerTest, RemovingABandMovesTheGainsOfTheBandsAfterIt)
{
    add(100)->setGain(-6.0F);
    add(200)->setGain(-12.0F);
    eq->RemoveBand(100);
    EXPECT_EQ(engine.callsTo("create_eq").back().arguments, (QVariantList{short(1), short(200)}));
    EXPECT_EQ(engine.callsTo("set_eq").back().arguments, gainSlots(0, -12.0F))
        << "the engine's first slot is now the 200 Hz band";
}

TEST_F(EqualizerTest, AClosedGateKeepsChangesFromTheEngineAndSendStateBringsThemAll)
{
    bool open = false;
    eq->setEngineGate([&] { return open; });
    add(300)->setGain(2.0F);
    eq->setGain(sbrMP3RightChannel, -1.0F);
    eq->setEnabled(true);
    eq->Clear();
    add(400);
    EXPECT_TRUE(engine.calls.empty());

    open = true;
    eq->SendState();
    EXPECT_EQ(engine.callNames(), (std::vector<std::string>{"eq_state", "create_eq", "set_eq", "set_gain"}));
    EXPECT_EQ(engine.callsTo("create_eq")[0].arguments, (QVariantList{short(1), short(400)}));
    EXPECT_EQ(engine.callsTo("set_gain")[0].arguments, (QVariantList{0.0F, -1.0F}));

    engine.calls.clear();
    eq->setEngineGate({});
    eq->setEnabled(false);
    EXPECT_TRUE(engine.calls.empty()) << "an empty gate never opens";
}

TEST_F(EqualizerTest, HostsReachBandsByNameAndAnUnreachableEngineIsSkipped)
{
    engine.libraryMissing = true;
    ASSERT_TRUE(QMetaObject::invokeMethod(eq.get(), "AddBand", Q_ARG(qint16, 30000)));
    QObject *band = nullptr;
    ASSERT_TRUE(QMetaObject::invokeMethod(eq.get(), "Band", Q_RETURN_ARG(QObject *, band),
                                          Q_ARG(qint16, 22000), Q_ARG(qint16, 0)));
    EXPECT_EQ(band, eq->Band(1, sbrEQBandsByIndex).get());
    EXPECT_EQ(eq->property("NewEnum").toList().value(0).value<QObject *>(), band);
    ASSERT_TRUE(band->setProperty("Gain", 1.5F));
    eq->setEnabled(true);
    EXPECT_TRUE(eq->Enabled());
    EXPECT_TRUE(engine.calls.empty());
}

// Lifetimes: the sanitizer build shows that nothing leaks and nothing is
// used after it is freed.
TEST_F(EqualizerTest, AHeldBandOutlivesItsOwnerAndSendsTheGainsOfTheBandsThatRemain)
{
    std::shared_ptr<EqualizerBand> held = add(100);
    add(200)->setGain(6.0F);
    eq->RemoveBand(100);
    eq.reset();

    held->setGain(9.0F);
    EXPECT_EQ(engine.callsTo("set_eq").back().arguments, gainSlots(0, 6.0F));
    watched.lock()->Clear();
    EXPECT_FALSE(watched.expired());
    held.reset();
    EXPECT_TRUE(watched.expired());
}

TEST_F(EqualizerTest, BandsKeepTheEqualizerAliveAndRemovingThemFromWithinIsSafe)
{
    // A host that holds the equalizer by pointer only, its owner gone.
    const std::weak_ptr<EqualizerBand> band = add(100);
    add(200);
    std::int16_t again = 100;
    EXPECT_EQ(raisedBy([&] { eq->AddBand(again); }), 30090);
    Equalizer *host = eq.get();
    eq.reset();
    ASSERT_FALSE(watched.expired());

    host->RemoveBand(100);
    EXPECT_TRUE(band.expired());
    host->RemoveBand(200);  // the equalizer goes once the member is done
    EXPECT_TRUE(watched.expired());
}

}  // namespace
}  // namespace SonbrelMP3
