// The sound engine on openal-soft's null output: source groups, play results,
// the buffer table, gains and the engine without a device.
#include <AL/al.h>
#include <AL/alc.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "lib/sound/SndSoundEngine.h"
#include "lib/sound/SndSoundSource.h"
#include "platform/foundation/NotificationCenter.h"

namespace {

// 0.1 s of 16-bit mono silence-free samples.
std::vector<int16_t> tone(int frames = 2205) {
    std::vector<int16_t> s(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) s[size_t(i)] = int16_t((i % 50) * 400 - 10000);
    return s;
}

class EngineTest : public testing::Test {
protected:
    void SetUp() override {
        engine = SndSoundEngine::create();
        ASSERT_TRUE(engine->functioning());
        ASSERT_EQ(engine->sourceTotal(), SndSoundEngine::kMaxSources);
        const auto s = tone();
        ASSERT_TRUE(engine->loadBufferFromData(0, s.data(), AL_FORMAT_MONO16, ALsizei(s.size() * 2), 22050));
    }
    ALint state(ALuint source) {
        ALint st = 0;
        alGetSourcei(source, AL_SOURCE_STATE, &st);
        return st;
    }
    std::shared_ptr<SndSoundEngine> engine;
};

TEST_F(EngineTest, RoundRobinWithinAGroupUsesItsOwnConsecutiveSources) {
    ASSERT_TRUE(engine->defineSourceGroups({2, 3}));
    EXPECT_EQ(engine->sourceGroupTotal(), 2u);
    std::vector<ALuint> played;
    for (int i = 0; i < 4; ++i) played.push_back(engine->playSound(0, 1, 1, 0, 1, true));
    EXPECT_EQ(played[0], engine->sourceNameForIndex(2));
    EXPECT_EQ(played[1], engine->sourceNameForIndex(3));
    EXPECT_EQ(played[2], engine->sourceNameForIndex(4));
    // The fourth play stops the oldest sound of the group and takes its source.
    EXPECT_EQ(played[3], engine->sourceNameForIndex(2));
    EXPECT_EQ(state(played[3]), AL_PLAYING);
    // Group 0 stays on sources 0 and 1.
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), engine->sourceNameForIndex(0));
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), engine->sourceNameForIndex(1));
}

TEST_F(EngineTest, PlaySetsTheSourceAttributes) {
    const ALuint s = engine->playSound(0, 0, 1.5f, -0.25f, 0.4f, true);
    ASSERT_EQ(s, engine->sourceNameForIndex(0));
    ALfloat pitch = 0, gain = 0, x = 9, y = 9, z = 9;
    ALint looping = 0;
    alGetSourcef(s, AL_PITCH, &pitch);
    alGetSourcef(s, AL_GAIN, &gain);
    alGetSource3f(s, AL_POSITION, &x, &y, &z);
    alGetSourcei(s, AL_LOOPING, &looping);
    EXPECT_FLOAT_EQ(pitch, 1.5f);
    EXPECT_FLOAT_EQ(gain, 0.4f);
    EXPECT_FLOAT_EQ(x, -0.25f);
    EXPECT_FLOAT_EQ(y, 0.0f);
    EXPECT_EQ(looping, AL_TRUE);
    EXPECT_EQ(state(s), AL_PLAYING);
    engine->stopSound(s);
    EXPECT_EQ(state(s), AL_STOPPED);
}

TEST_F(EngineTest, FullNonInterruptibleGroupHasNoSourceWhileAnOrdinaryOneReuses) {
    ASSERT_TRUE(engine->defineSourceGroups({2, 2}));
    engine->setSourceGroupNonInterruptible(1, true);
    const ALuint a = engine->playSound(0, 1, 1, 0, 1, true);
    const ALuint b = engine->playSound(0, 1, 1, 0, 1, true);
    ASSERT_NE(a, kSndNoSource);
    ASSERT_NE(b, kSndNoSource);
    EXPECT_EQ(engine->playSound(0, 1, 1, 0, 1, false), kSndNoSource);
    EXPECT_EQ(state(a), AL_PLAYING);
    EXPECT_EQ(state(b), AL_PLAYING);
    // Once one of them stops, its source is free again.
    engine->stopSound(b);
    EXPECT_EQ(engine->playSound(0, 1, 1, 0, 1, false), b);

    engine->playSound(0, 0, 1, 0, 1, true);
    engine->playSound(0, 0, 1, 0, 1, true);
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, true), engine->sourceNameForIndex(0));
}

TEST_F(EngineTest, PlayFailureValues) {
    ASSERT_TRUE(engine->defineSourceGroups({4, 0, 4}));
    engine->setSourceGroupEnabled(2, false);
    struct Case {
        const char* what;
        int sound;
        int group;
        ALuint expected;
    };
    const Case cases[] = {
        {"sound never loaded", 5, 0, kSndSoundMuted}, {"sound id beyond the table", 1000, 0, kSndSoundMuted},
        {"negative sound id", -1, 0, kSndSoundMuted}, {"group beyond the table", 0, 3, kSndNoSource},
        {"negative group", 0, -1, kSndNoSource},      {"group of no sources", 0, 1, kSndNoSource},
        {"silenced group", 0, 2, kSndSoundMuted},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(engine->playSound(c.sound, c.group, 1, 0, 1, false), c.expected) << c.what;
    }
    engine->setEnabled(false);
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), kSndSoundMuted) << "engine disabled";
    engine->setEnabled(true);
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), engine->sourceNameForIndex(0));
}

TEST_F(EngineTest, SilencedGroupStopsItsSoundsUntilEnabledAgain) {
    ASSERT_TRUE(engine->defineSourceGroups({2, 2}));
    const ALuint s = engine->playSound(0, 1, 1, 0, 1, true);
    const ALuint other = engine->playSound(0, 0, 1, 0, 1, true);
    EXPECT_TRUE(engine->sourceGroupEnabled(1));
    engine->setSourceGroupEnabled(1, false);
    EXPECT_FALSE(engine->sourceGroupEnabled(1));
    EXPECT_EQ(state(s), AL_STOPPED);
    EXPECT_EQ(state(other), AL_PLAYING);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(engine->playSound(0, 1, 1, 0, 1, false), kSndSoundMuted);
    engine->setSourceGroupEnabled(1, true);
    EXPECT_TRUE(engine->sourceGroupEnabled(1));
    EXPECT_NE(engine->playSound(0, 1, 1, 0, 1, false), kSndSoundMuted);
    EXPECT_FALSE(engine->sourceGroupEnabled(9));
}

TEST_F(EngineTest, DisablingTheEngineStopsEverySound) {
    const ALuint s = engine->playSound(0, 0, 1, 0, 1, true);
    ASSERT_EQ(state(s), AL_PLAYING);
    engine->setEnabled(false);
    EXPECT_FALSE(engine->enabled());
    EXPECT_EQ(state(s), AL_STOPPED);
}

TEST_F(EngineTest, GroupSizesBeyondTheSourceTotalAreRefused) {
    ASSERT_TRUE(engine->defineSourceGroups({30, 2}));
    const ALuint playing = engine->playSound(0, 1, 1, 0, 1, true);
    EXPECT_EQ(playing, engine->sourceNameForIndex(30));
    EXPECT_FALSE(engine->defineSourceGroups({30, 3}));
    EXPECT_FALSE(engine->defineSourceGroups({4, -1}));
    // Refused definitions keep the old groups and their sounds.
    EXPECT_EQ(engine->sourceGroupTotal(), 2u);
    EXPECT_EQ(engine->sourceGroupSize(1), 2);
    EXPECT_EQ(state(playing), AL_PLAYING);
    // Redefining stops every sound.
    ASSERT_TRUE(engine->defineSourceGroups({32}));
    EXPECT_EQ(state(playing), AL_STOPPED);
}

TEST_F(EngineTest, GroupsFromAnArrayCountNonNumbersAsZero) {
    foundation::Array sizes{foundation::Value(3), foundation::Value("x"), foundation::Value(2.0)};
    ASSERT_TRUE(engine->defineSourceGroupsFromArray(foundation::Value(sizes)));
    EXPECT_EQ(engine->sourceGroupTotal(), 3u);
    EXPECT_EQ(engine->sourceGroupSize(0), 3);
    EXPECT_EQ(engine->sourceGroupSize(1), 0);
    EXPECT_EQ(engine->sourceGroupSize(2), 2);
    EXPECT_EQ(engine->playSound(0, 2, 1, 0, 1, false), engine->sourceNameForIndex(3));
}

TEST(EngineBuffers, TableGrowsBySixteensToHoldTheId) {
    struct Case {
        int id;
        int total;
    };
    const auto s = tone(100);
    for (const Case c : {Case{63, 64}, Case{64, 80}, Case{79, 80}, Case{80, 96}, Case{200, 208}}) {
        auto engine = SndSoundEngine::create();
        ASSERT_EQ(engine->bufferTotal(), 64);
        EXPECT_TRUE(engine->loadBufferFromData(c.id, s.data(), AL_FORMAT_MONO16, 200, 22050)) << c.id;
        EXPECT_EQ(engine->bufferTotal(), c.total) << c.id;
        EXPECT_TRUE(engine->validateBufferId(c.id));
        EXPECT_FALSE(engine->validateBufferId(c.id == 0 ? 1 : c.id - 1));
        EXPECT_NE(engine->playSound(c.id, 0, 1, 0, 1, false), kSndSoundMuted);
    }
    auto engine = SndSoundEngine::create();
    EXPECT_FALSE(engine->loadBufferFromData(-1, s.data(), AL_FORMAT_MONO16, 200, 22050));
    EXPECT_EQ(engine->bufferTotal(), 64);
}

TEST(EngineBuffers, FailedLoadsMarkTheEntry) {
    auto engine = SndSoundEngine::create();
    const auto s = tone(100);
    EXPECT_FALSE(engine->loadBufferFromData(3, nullptr, AL_FORMAT_MONO16, 200, 22050));
    EXPECT_EQ(engine->bufferState(3), SndSoundEngine::kBufferFailed);
    // An OpenAL refusal (a format it does not know) fails the same way.
    EXPECT_FALSE(engine->loadBufferFromData(4, s.data(), 0x7777, 200, 22050));
    EXPECT_EQ(engine->bufferState(4), SndSoundEngine::kBufferFailed);
    EXPECT_NE(engine->lastErrorCode(), AL_NO_ERROR);
    // A failed entry loads again.
    EXPECT_TRUE(engine->loadBufferFromData(3, s.data(), AL_FORMAT_MONO16, 200, 22050));
    EXPECT_EQ(engine->bufferState(3), SndSoundEngine::kBufferLoaded);
}

TEST(EngineBuffers, DurationSizeAndRate) {
    auto engine = SndSoundEngine::create();
    std::vector<uint8_t> bytes(88200, 0x80);
    struct Case {
        ALenum format;
        int size;
        int rate;
        float seconds;
    };
    const Case cases[] = {
        {AL_FORMAT_STEREO16, 88200, 22050, 1.0f}, {AL_FORMAT_MONO16, 88200, 22050, 2.0f},
        {AL_FORMAT_STEREO8, 88200, 44100, 1.0f},  {AL_FORMAT_MONO8, 22050, 22050, 1.0f},
        {AL_FORMAT_MONO16, 4410, 44100, 0.05f},
    };
    int id = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(engine->loadBufferFromData(id, bytes.data(), c.format, c.size, c.rate));
        EXPECT_FLOAT_EQ(engine->bufferDurationInSeconds(id), c.seconds) << id;
        EXPECT_EQ(engine->bufferSizeInBytes(id), c.size);
        EXPECT_EQ(engine->bufferFrequencyInHertz(id), c.rate);
        ++id;
    }
    // Empty and unknown ids have no facts (no division by a zero rate).
    for (int bad : {id, 64, -1}) {
        EXPECT_EQ(engine->bufferDurationInSeconds(bad), -1.0f) << bad;
        EXPECT_EQ(engine->bufferSizeInBytes(bad), -1);
        EXPECT_EQ(engine->bufferFrequencyInHertz(bad), -1);
    }
}

TEST_F(EngineTest, UnloadStopsAndDetachesEverySourceHoldingTheBuffer) {
    const ALuint a = engine->playSound(0, 0, 1, 0, 1, true);
    const ALuint b = engine->playSound(0, 0, 1, 0, 1, true);
    ASSERT_TRUE(engine->unloadBuffer(0));
    for (ALuint s : {a, b}) {
        EXPECT_EQ(state(s), AL_STOPPED);
        ALint buffer = -1;
        alGetSourcei(s, AL_BUFFER, &buffer);
        EXPECT_EQ(buffer, 0);
    }
    EXPECT_EQ(engine->bufferState(0), SndSoundEngine::kBufferEmpty);
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), kSndSoundMuted);
    EXPECT_FALSE(engine->unloadBuffer(64));
    // The entry takes a new sound.
    const auto s = tone();
    EXPECT_TRUE(engine->loadBufferFromData(0, s.data(), AL_FORMAT_MONO16, ALsizei(s.size() * 2), 11025));
    EXPECT_EQ(engine->bufferFrequencyInHertz(0), 11025);
}

TEST_F(EngineTest, ReloadingAPlayingSoundReplacesIt) {
    const ALuint a = engine->playSound(0, 0, 1, 0, 1, true);
    const auto s = tone(400);
    ASSERT_TRUE(engine->loadBufferFromData(0, s.data(), AL_FORMAT_MONO16, 800, 8000));
    EXPECT_EQ(state(a), AL_STOPPED);
    EXPECT_FLOAT_EQ(engine->bufferDurationInSeconds(0), 0.05f);
}

TEST_F(EngineTest, MasterGainSurvivesMuting) {
    EXPECT_TRUE(engine->getGainWorks());
    engine->setMasterGain(0.5f);
    EXPECT_FLOAT_EQ(engine->masterGain(), 0.5f);
    engine->setMute(true);
    ALfloat listener = -1;
    alGetListenerf(AL_GAIN, &listener);
    EXPECT_EQ(listener, 0.0f);
    EXPECT_FLOAT_EQ(engine->masterGain(), 0.5f);
    // Changing the gain while muted is remembered, not heard.
    engine->setMasterGain(0.3f);
    alGetListenerf(AL_GAIN, &listener);
    EXPECT_EQ(listener, 0.0f);
    EXPECT_FLOAT_EQ(engine->masterGain(), 0.3f);
    engine->setMute(true);
    engine->setMute(false);
    alGetListenerf(AL_GAIN, &listener);
    EXPECT_FLOAT_EQ(listener, 0.3f);
    EXPECT_FLOAT_EQ(engine->masterGain(), 0.3f);
}

TEST_F(EngineTest, PlayWithoutACurrentContextReportsItOnce) {
    int posted = 0;
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, kSndN_BadAlContext, [&](const foundation::Notification&) { ++posted; });
    alcMakeContextCurrent(nullptr);
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), kSndNoSource);
    alcMakeContextCurrent(engine->openALContext());
    center.removeObserver(this);
    EXPECT_EQ(posted, 1);
    EXPECT_NE(engine->playSound(0, 0, 1, 0, 1, false), kSndNoSource);
}

TEST(EngineDevice, WithoutADeviceNothingPlaysOrLoadsAndNothingBreaks) {
    SndSoundEngine::setDeviceOpener([](const ALCchar*) -> ALCdevice* { return nullptr; });
    auto engine = SndSoundEngine::create();
    SndSoundEngine::setDeviceOpener(nullptr);
    EXPECT_FALSE(engine->functioning());
    EXPECT_EQ(engine->sourceTotal(), 0);
    const auto s = tone(100);
    EXPECT_FALSE(engine->loadBufferFromData(0, s.data(), AL_FORMAT_MONO16, 200, 22050));
    EXPECT_FALSE(engine->loadBuffer(0, "/nonexistent/x.wav"));
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), kSndSoundMuted);
    EXPECT_EQ(engine->soundSourceForSound(0, 0), nullptr);
    EXPECT_FALSE(engine->defineSourceGroups({1}));
    engine->stopAllSounds();
    engine->setMute(true);
    engine->setMute(false);
    EXPECT_EQ(engine->bufferDurationInSeconds(0), -1.0f);
    // A later engine opens the device again.
    EXPECT_TRUE(SndSoundEngine::create()->functioning());
}

TEST(EngineDevice, EndingOneEngineLeavesAnothersContextCurrent) {
    auto first = SndSoundEngine::create();
    auto second = SndSoundEngine::create();
    ASSERT_EQ(alcGetCurrentContext(), second->openALContext());
    std::vector<int16_t> s(800, 100);
    ASSERT_TRUE(second->loadBufferFromData(0, s.data(), AL_FORMAT_MONO16, 1600, 8000));
    first.reset();
    EXPECT_EQ(alcGetCurrentContext(), second->openALContext());
    EXPECT_NE(second->playSound(0, 0, 1, 0, 1, false), kSndNoSource);
    second.reset();
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
}

TEST(EngineDevice, MixerRateReachesTheDevice) {
    SndSoundEngine::setMixerSampleRate(22050);
    auto engine = SndSoundEngine::create();
    ALCint rate = 0;
    alcGetIntegerv(alcGetContextsDevice(engine->openALContext()), ALC_FREQUENCY, 1, &rate);
    EXPECT_EQ(rate, 22050);
    SndSoundEngine::setMixerSampleRate(44100);
}

}  // namespace
