#include "Renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace audioengine {
namespace {

// At 1000 frames a second the click ramp is 5 frames long.
constexpr int kRate = 1000;
constexpr int kRamp = 5;

using Kind = RenderCommand::Kind;

struct Harness {
    Renderer renderer{kRate, &Harness::countWake, this};
    int wakes = 0;

    static void countWake(void *self) { ++static_cast<Harness *>(self)->wakes; }

    // A chunk whose samples tell which track frame they are: 1e-4 per frame.
    void push(std::uint64_t epoch, std::int64_t first, std::uint32_t frames, bool last = false)
    {
        AudioChunk *chunk = renderer.chunks().beginWrite();
        ASSERT_NE(chunk, nullptr);
        chunk->epoch = epoch;
        chunk->firstFrame = first;
        chunk->frames = frames;
        chunk->last = last;
        for (std::uint32_t i = 0; i < frames; ++i) {
            chunk->samples[2 * i] = static_cast<float>(first + i) * 1e-4f;
            chunk->samples[2 * i + 1] = -static_cast<float>(first + i) * 1e-4f;
        }
        renderer.chunks().commitWrite();
    }

    void pushConstant(std::uint64_t epoch, std::int64_t first, std::uint32_t frames, float value)
    {
        AudioChunk *chunk = renderer.chunks().beginWrite();
        ASSERT_NE(chunk, nullptr);
        *chunk = AudioChunk{};
        chunk->epoch = epoch;
        chunk->firstFrame = first;
        chunk->frames = frames;
        for (std::uint32_t i = 0; i < frames; ++i)
            chunk->samples[2 * i] = chunk->samples[2 * i + 1] = value;
        renderer.chunks().commitWrite();
    }

    std::vector<float> left(std::size_t frames)
    {
        std::vector<float> out(frames * 2, 99.0f);
        renderer.render(out.data(), frames);
        std::vector<float> result(frames);
        for (std::size_t i = 0; i < frames; ++i)
            result[i] = out[2 * i];
        return result;
    }
};

TEST(Renderer, StartRampsInAndTracksThePositionHeard)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    h.pushConstant(1, 0, 1024, 0.5f);
    const auto out = h.left(20);
    EXPECT_FLOAT_EQ(out[0], 0.0f) << "the first sample starts from silence";
    for (int i = 1; i < kRamp; ++i)
        EXPECT_GT(out[i], out[i - 1]);
    for (int i = kRamp; i < 20; ++i)
        EXPECT_FLOAT_EQ(out[i], 0.5f);
    EXPECT_EQ(h.renderer.heardEpoch(), 1u);
    EXPECT_EQ(h.renderer.heardFrame(), 20);
}

TEST(Renderer, PauseFallsSilentWithinTheRampKeepsItsPlaceAndResumesThere)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    h.push(1, 0, 1024);
    h.left(100);
    h.renderer.post({Kind::Pause});
    const auto fading = h.left(kRamp + 1);
    EXPECT_GT(std::fabs(fading[0]), 0.0f);
    EXPECT_FLOAT_EQ(fading[kRamp], 0.0f);
    const std::int64_t kept = h.renderer.heardFrame();
    EXPECT_LE(kept, 100 + kRamp + 1);

    const auto silent = h.left(50);
    for (float sample : silent)
        EXPECT_EQ(sample, 0.0f);
    EXPECT_EQ(h.renderer.heardFrame(), kept) << "a paused track does not move";

    h.renderer.post({Kind::Resume});
    const auto resumed = h.left(20);
    EXPECT_NEAR(resumed[19], static_cast<float>(kept + 19) * 1e-4f, 1e-6f) << "playback goes on where it paused";
}

TEST(Renderer, SeekDropsWhatWasQueuedAndPlaysTheNewPlace)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    h.push(1, 0, 1024);
    h.push(1, 1024, 1024);
    h.left(50);
    h.renderer.post({Kind::Seek, 2, 5000, 0});
    h.push(2, 5000, 1024);
    const auto out = h.left(40);
    // The old place fades out over the ramp, then the new one fades in.
    EXPECT_LT(out[kRamp - 1], 0.0051f);
    EXPECT_NEAR(out[39], static_cast<float>(5000 + 39 - kRamp + 1) * 1e-4f, 2e-3f);
    EXPECT_EQ(h.renderer.heardEpoch(), 2u);
    EXPECT_GE(h.renderer.heardFrame(), 5030);
    EXPECT_EQ(h.renderer.chunks().size(), 1u) << "the two chunks of the old place are gone";
}

TEST(Renderer, ChunksOfAnEpochNotYetCommandedWait)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    h.push(1, 0, 10, true);
    h.push(2, 0, 100);
    h.left(30);
    EXPECT_EQ(h.renderer.endedEpoch(), 1u);
    EXPECT_EQ(h.renderer.chunks().size(), 1u) << "audio of the next start stays queued";
}

TEST(Renderer, StopFallsSilentAndTheNextStartDropsTheOldAudio)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    h.push(1, 0, 1024);
    h.push(1, 1024, 1024);
    h.left(100);
    h.renderer.post({Kind::Stop});
    const auto out = h.left(50);
    for (int i = kRamp; i < 50; ++i)
        EXPECT_EQ(out[i], 0.0f);
    EXPECT_EQ(h.renderer.endedEpoch(), 0u) << "a stop is not an end";

    h.renderer.post({Kind::Start, 3, 0, 0});
    h.pushConstant(3, 0, 100, 0.25f);
    const auto next = h.left(20);
    EXPECT_FLOAT_EQ(next[19], 0.25f);
}

TEST(Renderer, FadeInRisesFromSilenceOverItsLength)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 200});
    h.pushConstant(1, 0, 1024, 0.5f);
    const auto out = h.left(300);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_NEAR(out[100], 0.25f, 0.01f);
    EXPECT_FLOAT_EQ(out[250], 0.5f);
    for (int i = 1; i < 300; ++i)
        EXPECT_GE(out[i], out[i - 1]);
}

TEST(Renderer, FadeOutEndsInSilenceAndReportsIt)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    h.pushConstant(1, 0, 1024, 0.5f);
    h.left(10);
    h.renderer.post({Kind::FadeOut, 0, 0, 100});
    const auto out = h.left(150);
    EXPECT_NEAR(out[50], 0.25f, 0.01f);
    EXPECT_EQ(out[101], 0.0f);
    EXPECT_EQ(h.renderer.fadedOutEpoch(), 1u);
    const std::int64_t where = h.renderer.heardFrame();
    h.left(100);
    EXPECT_EQ(h.renderer.heardFrame(), where) << "nothing is consumed after the fade";
    EXPECT_EQ(h.renderer.endedEpoch(), 0u);
}

TEST(Renderer, FadeOutBeforeTheStartTookEffectStillFades)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    h.renderer.post({Kind::FadeOut, 0, 0, 50});
    h.pushConstant(1, 0, 1024, 0.5f);
    h.left(100);
    EXPECT_EQ(h.renderer.fadedOutEpoch(), 1u);
}

TEST(Renderer, TheEndIsReportedWhenTheLastFrameIsHandedOut)
{
    Harness h;
    h.renderer.post({Kind::Start, 7, 0, 0});
    h.push(7, 0, 1024);
    h.push(7, 1024, 10, true);
    h.left(1024 + 9);
    EXPECT_EQ(h.renderer.endedEpoch(), 0u);
    h.left(1);
    EXPECT_EQ(h.renderer.endedEpoch(), 7u);
    EXPECT_EQ(h.renderer.heardFrame(), 1034);
    const auto after = h.left(20);
    for (float sample : after)
        EXPECT_EQ(sample, 0.0f);
}

TEST(Renderer, ABurstOfCommandsBetweenTwoCallsLosesNoneAndEndsOnTheLast)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    h.push(1, 0, 1024);
    h.left(10);
    // A dragged position slider and a hesitant hand: far more commands than
    // calls, all before the next call.
    std::uint64_t epoch = 1;
    for (int i = 0; i < 100; ++i) {
        h.renderer.post({Kind::Seek, ++epoch, 1000 * i, 0});
        h.renderer.post({Kind::Pause});
        h.renderer.post({Kind::Resume});
    }
    for (int i = 0; i < 40; ++i) {
        h.renderer.post({Kind::Stop});
        h.renderer.post({Kind::Start, ++epoch, 0, 0});
    }
    h.renderer.post({Kind::Seek, ++epoch, 7000, 0});
    h.push(epoch, 7000, 1024);
    const auto out = h.left(40);
    EXPECT_EQ(h.renderer.heardEpoch(), epoch) << "the last seek is the one played";
    EXPECT_NEAR(out[39], static_cast<float>(7000 + 39 - kRamp + 1) * 1e-4f, 2e-3f);
    EXPECT_GT(h.renderer.heardFrame(), 7030);

    h.renderer.post({Kind::Pause});
    h.left(kRamp + 1);
    const std::int64_t held = h.renderer.heardFrame();
    h.left(100);
    EXPECT_EQ(h.renderer.heardFrame(), held) << "and a pause after it holds";
}

TEST(Renderer, TheCallThatHandsOutTheLastFrameEndsTheTrackWhateverComesAfterIt)
{
    // A track of exactly one chunk whose empty last chunk is queued behind
    // it (all the decoder could say after a seek to its end).
    Harness h;
    h.renderer.post({Kind::Start, 4, 0, 0});
    h.push(4, 0, 1024);
    h.push(4, 1024, 0, true);
    h.left(1024);
    EXPECT_EQ(h.renderer.endedEpoch(), 4u);
}

TEST(Renderer, AnEmptyLastChunkEndsTheTrack)
{
    Harness h;
    h.renderer.post({Kind::Start, 2, 0, 0});
    h.push(2, 0, 0, true);
    h.left(10);
    EXPECT_EQ(h.renderer.endedEpoch(), 2u);
}

TEST(Renderer, UnderrunAndHostileSamplesGiveSilenceOrClampedValues)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    for (float sample : h.left(64))
        EXPECT_EQ(sample, 0.0f);
    EXPECT_EQ(h.renderer.endedEpoch(), 0u);

    AudioChunk *chunk = h.renderer.chunks().beginWrite();
    *chunk = AudioChunk{};
    chunk->epoch = 1;
    chunk->frames = 3;
    chunk->samples = {3.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f, 3.0f, 3.0f};
    h.renderer.chunks().commitWrite();
    std::vector<float> out(6);
    h.renderer.render(out.data(), 3);
    for (float sample : out) {
        EXPECT_FALSE(std::isnan(sample));
        EXPECT_LE(std::fabs(sample), 1.0f);
    }

    // The same at full level, where whole runs are copied at once.
    h.pushConstant(1, 3, 64, 0.25f);
    h.left(64);
    AudioChunk *steady = h.renderer.chunks().beginWrite();
    *steady = AudioChunk{};
    steady->epoch = 1;
    steady->firstFrame = 67;
    steady->frames = 5;
    const float inf = std::numeric_limits<float>::infinity();
    steady->samples = {3.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), inf, -inf, 0.5f, -0.5f, 1e30f, 0.25f, -0.25f};
    h.renderer.chunks().commitWrite();
    out.assign(10, 99.0f);
    h.renderer.render(out.data(), 5);
    EXPECT_EQ(out, (std::vector<float>{1.0f, -1.0f, 0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 1.0f, 0.25f, -0.25f}));
    std::int16_t left = 0;
    std::int16_t right = 0;
    h.renderer.takePeaks(left, right);
    EXPECT_EQ(left, 32767);
    EXPECT_EQ(right, 32767);
}

TEST(Renderer, PeaksAreSinceTheLastReadAndTheHistoryHoldsTheLastFramesHeard)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    h.push(1, 0, 1024);
    h.left(300);
    std::int16_t left = 0;
    std::int16_t right = 0;
    h.renderer.takePeaks(left, right);
    EXPECT_NEAR(left, 299e-4 * 32767, 2);
    EXPECT_NEAR(right, 299e-4 * 32767, 2);
    h.renderer.takePeaks(left, right);
    EXPECT_EQ(left, 0);

    std::vector<float> recent(2 * 256);
    h.renderer.copyRecent(recent.data(), 256);
    EXPECT_NEAR(recent[2 * 255], 299e-4f, 1e-6f) << "newest last";
    EXPECT_NEAR(recent[0], 44e-4f, 1e-6f);
    EXPECT_NEAR(recent[1], -44e-4f, 1e-6f);

    Harness fresh;
    fresh.renderer.copyRecent(recent.data(), 256);
    for (float sample : recent)
        EXPECT_EQ(sample, 0.0f);
}

TEST(Renderer, WakesTheProducerOnceWhenTheQueueRunsLow)
{
    Harness h;
    h.renderer.post({Kind::Start, 1, 0, 0});
    for (int i = 0; i < 4; ++i)
        h.push(1, i * 1024, 1024);
    h.left(10);
    h.left(10);
    EXPECT_EQ(h.wakes, 1);
    h.renderer.clearWakeRequest();
    h.left(10);
    EXPECT_EQ(h.wakes, 2);
}

} // namespace
} // namespace audioengine
