// Sound sources locked for a caller, and interrupt groups.
#include <AL/al.h>
#include <gtest/gtest.h>

#include <vector>

#include "lib/sound/SndSoundEngine.h"
#include "lib/sound/SndSoundSource.h"

namespace {

class SourceTest : public testing::Test {
protected:
    void SetUp() override {
        engine = SndSoundEngine::create();
        ASSERT_TRUE(engine->functioning());
        std::vector<int16_t> s(4410, 1000);
        ASSERT_TRUE(engine->loadBufferFromData(0, s.data(), AL_FORMAT_MONO16, 8820, 44100));    // 0.1 s
        ASSERT_TRUE(engine->loadBufferFromData(1, s.data(), AL_FORMAT_STEREO16, 8820, 22050));  // 0.1 s
        ASSERT_TRUE(engine->loadBufferFromData(2, s.data(), AL_FORMAT_MONO8, 8820, 22050));     // 0.4 s
    }
    ALfloat alGain(const SndSoundSource& s) {
        ALfloat g = -1;
        alGetSourcef(s.sourceId(), AL_GAIN, &g);
        return g;
    }
    std::shared_ptr<SndSoundEngine> engine;
};

TEST_F(SourceTest, ALockedSourceIsNeverTakenByRoundRobinPlay) {
    ASSERT_TRUE(engine->defineSourceGroups({3}));
    auto held = engine->soundSourceForSound(0, 0);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->sourceIndex(), 0u);
    EXPECT_EQ(held->soundId(), 0);
    EXPECT_FLOAT_EQ(held->pitch(), 1.0f);
    EXPECT_FLOAT_EQ(held->gain(), 1.0f);
    EXPECT_FLOAT_EQ(held->pan(), 0.0f);
    EXPECT_FALSE(held->looping());
    for (int i = 0; i < 6; ++i) {
        const ALuint s = engine->playSound(0, 0, 1, 0, 1, false);
        EXPECT_NE(s, held->sourceId());
        EXPECT_NE(s, kSndNoSource);
    }
    // A group whose every source is locked has none to give.
    auto second = engine->soundSourceForSound(0, 0);
    auto third = engine->soundSourceForSound(0, 0);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), kSndNoSource);
    EXPECT_EQ(engine->soundSourceForSound(0, 0), nullptr);
    // Releasing a source unlocks its slot.
    const ALuint freed = second->sourceId();
    second.reset();
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), freed);
}

TEST_F(SourceTest, UnloadedSoundGivesNoSourceAndLeavesTheSlotFree) {
    ASSERT_TRUE(engine->defineSourceGroups({1}));
    EXPECT_EQ(engine->soundSourceForSound(7, 0), nullptr);
    EXPECT_EQ(engine->soundSourceForSound(500, 0), nullptr);
    EXPECT_NE(engine->playSound(0, 0, 1, 0, 1, false), kSndNoSource);
}

TEST_F(SourceTest, PropertiesTransportAndAnotherSound) {
    auto src = engine->soundSourceForSound(0, 0);
    ASSERT_NE(src, nullptr);
    src->setPitch(0.5f);
    src->setGain(0.25f);
    src->setPan(0.75f);
    src->setLooping(true);
    EXPECT_FLOAT_EQ(src->pitch(), 0.5f);
    EXPECT_FLOAT_EQ(src->gain(), 0.25f);
    EXPECT_FLOAT_EQ(src->pan(), 0.75f);
    EXPECT_TRUE(src->looping());
    EXPECT_EQ(src->lastError(), AL_NO_ERROR);

    EXPECT_TRUE(src->play());
    EXPECT_TRUE(src->isPlaying());
    EXPECT_TRUE(src->pause());
    EXPECT_FALSE(src->isPlaying());
    EXPECT_TRUE(src->rewind());
    EXPECT_TRUE(src->play());
    EXPECT_TRUE(src->stop());
    EXPECT_FALSE(src->isPlaying());

    EXPECT_FLOAT_EQ(src->durationInSeconds(), 0.1f);
    src->setSoundId(2);
    EXPECT_EQ(src->soundId(), 2);
    EXPECT_FLOAT_EQ(src->durationInSeconds(), 0.4f);
    ALint buffer = 0;
    alGetSourcei(src->sourceId(), AL_BUFFER, &buffer);
    EXPECT_NE(buffer, 0);
    // A sound that is not loaded is not attached.
    src->setSoundId(9);
    EXPECT_EQ(src->soundId(), 2);
}

TEST_F(SourceTest, MutedSourceRemembersItsGain) {
    auto src = engine->soundSourceForSound(0, 0);
    ASSERT_NE(src, nullptr);
    src->setGain(0.6f);
    src->setMute(true);
    EXPECT_TRUE(src->mute());
    EXPECT_EQ(alGain(*src), 0.0f);
    src->setGain(0.8f);
    EXPECT_EQ(alGain(*src), 0.0f);
    EXPECT_FLOAT_EQ(src->gain(), 0.8f);
    src->setMute(false);
    EXPECT_FLOAT_EQ(alGain(*src), 0.8f);
    EXPECT_FLOAT_EQ(src->gain(), 0.8f);
}

TEST_F(SourceTest, DisabledSourceDoesNotPlayAndDisablingStopsIt) {
    auto src = engine->soundSourceForSound(0, 0);
    ASSERT_NE(src, nullptr);
    src->setLooping(true);
    ASSERT_TRUE(src->play());
    ASSERT_TRUE(src->isPlaying());
    src->setEnabled(false);
    EXPECT_FALSE(src->isPlaying());
    EXPECT_FALSE(src->play());
    EXPECT_FALSE(src->isPlaying());
    src->setEnabled(true);
    EXPECT_TRUE(src->play());
}

TEST_F(SourceTest, SourcesOutlivingTheEngineAreHarmless) {
    auto src = engine->soundSourceForSound(0, 0);
    ASSERT_NE(src, nullptr);
    engine.reset();
    EXPECT_EQ(src->durationInSeconds(), -1.0f);
    EXPECT_FALSE(src->play());
    src.reset();
}

// A target that counts the switches it receives.
struct Recorder : SndAudioInterruptProtocol {
    bool mute() const override { return muted; }
    void setMute(bool m) override {
        muted = m;
        ++muteCalls;
    }
    bool enabled() const override { return on; }
    void setEnabled(bool e) override {
        on = e;
        ++enableCalls;
    }
    bool muted = false;
    bool on = true;
    int muteCalls = 0;
    int enableCalls = 0;
};

TEST(InterruptGroup, NewTargetsTakeTheGroupsStateAndSwitchesPassOnce) {
    SndAudioInterruptTargetGroup group;
    auto a = std::make_shared<Recorder>();
    group.addAudioInterruptTarget(a);
    group.setMute(true);
    group.setMute(true);
    EXPECT_TRUE(a->muted);
    EXPECT_EQ(a->muteCalls, 2);  // once when added, once for the change

    auto b = std::make_shared<Recorder>();
    group.setEnabled(false);
    group.addAudioInterruptTarget(b);
    EXPECT_TRUE(b->muted);
    EXPECT_FALSE(b->on);

    group.setMute(false);
    EXPECT_FALSE(a->muted);
    EXPECT_FALSE(b->muted);

    // Removal is by identity: an equal-looking other object is not removed.
    Recorder stranger;
    group.removeAudioInterruptTarget(&stranger);
    EXPECT_EQ(group.targetCount(), 2u);
    group.removeAudioInterruptTarget(a.get());
    EXPECT_EQ(group.targetCount(), 1u);
    group.setEnabled(true);
    EXPECT_FALSE(a->on);
    EXPECT_TRUE(b->on);
}

TEST_F(SourceTest, InterruptGroupMutesRealSources) {
    SndAudioInterruptTargetGroup group;
    auto s1 = engine->soundSourceForSound(0, 0);
    auto s2 = engine->soundSourceForSound(1, 0);
    s1->setGain(0.5f);
    group.addAudioInterruptTarget(s1);
    group.addAudioInterruptTarget(s2);
    group.setMute(true);
    EXPECT_EQ(alGain(*s1), 0.0f);
    EXPECT_EQ(alGain(*s2), 0.0f);
    group.setMute(false);
    EXPECT_FLOAT_EQ(alGain(*s1), 0.5f);
    EXPECT_FLOAT_EQ(alGain(*s2), 1.0f);
}

}  // namespace
