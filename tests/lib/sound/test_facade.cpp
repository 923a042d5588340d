// The simple facade: effects by file name, music by file name, volumes.
#include <AL/al.h>
#include <gtest/gtest.h>

#include "lib/sound/EasyAudioEngine.h"
#include "platform/foundation/Paths.h"
#include "tests/lib/sound/SoundFiles.h"
#include "tests/support/TestSupport.h"

namespace {

class FacadeTest : public testing::Test {
protected:
    void SetUp() override {
        SndAudioManager::configure(SndAudioManager::kSndModeEffectsAndMusic);
        dir = testsupport::tempDir("fx");
        for (const char* n : {"a", "b", "c", "d"}) soundtest::writeWave(dir + "/" + n + ".wav", {1, 16, 22050, 2205});
    }
    std::string f(const char* name) { return dir + "/" + name; }
    std::string dir;
};

TEST_F(FacadeTest, EffectIdsAreGivenInOrderAndFreedIdsReusedLastFirst) {
    auto& fx = EasyAudioEngine::sharedEngine();
    EXPECT_EQ(&EasyAudioEngine::sharedEngine(), &fx);
    auto& ids = fx.bufferManager();
    fx.preloadEffect(f("a.wav"));
    fx.preloadEffect(f("b.wav"));
    fx.preloadEffect(f("c.wav"));
    EXPECT_EQ(ids.bufferForFile(f("a.wav"), false), 0);
    EXPECT_EQ(ids.bufferForFile(f("b.wav"), false), 1);
    EXPECT_EQ(ids.bufferForFile(f("c.wav"), false), 2);
    fx.unloadEffect(f("b.wav"));
    EXPECT_EQ(ids.bufferForFile(f("b.wav"), false), -1);
    EXPECT_FALSE(fx.audioManager()->soundEngine()->validateBufferId(1));
    fx.unloadEffect(f("a.wav"));
    fx.unloadEffect(f("never.wav"));
    fx.preloadEffect(f("d.wav"));
    EXPECT_EQ(ids.bufferForFile(f("d.wav"), false), 0);
    fx.preloadEffect(f("b.wav"));
    EXPECT_EQ(ids.bufferForFile(f("b.wav"), false), 1);
    fx.preloadEffect(f("a.wav"));
    EXPECT_EQ(ids.bufferForFile(f("a.wav"), false), 3);
}

TEST_F(FacadeTest, PlayingAnEffectUsesGroupZero) {
    auto& fx = EasyAudioEngine::sharedEngine();
    const ALuint s = fx.playEffect(f("a.wav"), 1.25f, 0.5f, 0.75f);
    auto engine = fx.audioManager()->soundEngine();
    EXPECT_EQ(engine->sourceIndexForName(s), 0);
    ALfloat pitch = 0, gain = 0;
    alGetSourcef(s, AL_PITCH, &pitch);
    alGetSourcef(s, AL_GAIN, &gain);
    EXPECT_FLOAT_EQ(pitch, 1.25f);
    EXPECT_FLOAT_EQ(gain, 0.75f);
    const ALuint second = fx.playEffect(f("a.wav"));
    EXPECT_EQ(engine->sourceIndexForName(second), 1);
    alGetSourcef(second, AL_PITCH, &pitch);
    EXPECT_FLOAT_EQ(pitch, 1.0f);
    fx.stopEffect(second);
    ALint state = 0;
    alGetSourcei(second, AL_SOURCE_STATE, &state);
    EXPECT_EQ(state, AL_STOPPED);
}

TEST_F(FacadeTest, AMissingEffectPlaysMutedEveryTimeAndLeavesNoEntry) {
    auto& fx = EasyAudioEngine::sharedEngine();
    auto& ids = fx.bufferManager();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(fx.playEffect(f("late.wav")), kSndSoundMuted);
    EXPECT_EQ(ids.loadedCount(), 0u);
    EXPECT_EQ(fx.soundSourceForFile(f("late.wav")), nullptr);
    // Every request tries again: once the file exists, it plays, with the id that was tried.
    soundtest::writeWave(f("late.wav"), {1, 8, 8000, 800});
    const ALuint s = fx.playEffect(f("late.wav"));
    EXPECT_NE(s, kSndSoundMuted);
    EXPECT_NE(s, kSndNoSource);
    EXPECT_EQ(ids.bufferForFile(f("late.wav"), false), 0);
}

TEST_F(FacadeTest, SoundSourceForAFile) {
    auto& fx = EasyAudioEngine::sharedEngine();
    auto src = fx.soundSourceForFile(f("c.wav"));
    ASSERT_NE(src, nullptr);
    EXPECT_NEAR(src->durationInSeconds(), 0.1f, 1e-6);
    EXPECT_TRUE(src->play());
    // Effects never take the locked source.
    for (int i = 0; i < 40; ++i) EXPECT_NE(fx.playEffect(f("a.wav")), src->sourceId());
}

TEST_F(FacadeTest, VolumesMuteAndEnable) {
    auto& fx = EasyAudioEngine::sharedEngine();
    fx.setEffectsVolume(0.5f);
    EXPECT_FLOAT_EQ(fx.effectsVolume(), 0.5f);
    fx.setMute(true);
    EXPECT_TRUE(fx.audioManager()->mute());
    EXPECT_TRUE(fx.audioManager()->soundEngine()->mute());
    EXPECT_FLOAT_EQ(fx.effectsVolume(), 0.5f);
    fx.setEffectsVolume(0.25f);
    EXPECT_FLOAT_EQ(fx.effectsVolume(), 0.25f);
    fx.setMute(false);
    EXPECT_FALSE(fx.audioManager()->mute());
    ALfloat listener = 0;
    alGetListenerf(AL_GAIN, &listener);
    EXPECT_FLOAT_EQ(listener, 0.25f);

    fx.setBackgroundMusicVolume(0.3f);
    EXPECT_FLOAT_EQ(fx.backgroundMusicVolume(), 0.3f);
    EXPECT_FLOAT_EQ(fx.audioManager()->backgroundMusic()->volume(), 0.3f);

    fx.setEnabled(false);
    EXPECT_FALSE(fx.audioManager()->enabled());
    EXPECT_EQ(fx.playEffect(f("a.wav")), kSndSoundMuted);
    fx.setEnabled(true);
    EXPECT_NE(fx.playEffect(f("a.wav")), kSndSoundMuted);
}

TEST_F(FacadeTest, BackgroundMusicLoopsForEverOrPlaysOnce) {
    auto& fx = EasyAudioEngine::sharedEngine();
    const std::string song =
        soundtest::writeSoundFile(dir + "/song.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 22050, 22050);
    fx.preloadBackgroundMusic(song);
    EXPECT_FALSE(fx.isBackgroundMusicPlaying());
    EXPECT_TRUE(fx.willPlayBackgroundMusic());
    fx.playBackgroundMusic(song);
    EXPECT_TRUE(fx.isBackgroundMusicPlaying());
    EXPECT_EQ(fx.audioManager()->backgroundMusic()->numberOfLoops(), -1);
    fx.pauseBackgroundMusic();
    EXPECT_FALSE(fx.isBackgroundMusicPlaying());
    fx.resumeBackgroundMusic();
    EXPECT_TRUE(fx.isBackgroundMusicPlaying());
    fx.rewindBackgroundMusic();
    fx.playBackgroundMusic(song, false);
    EXPECT_EQ(fx.audioManager()->backgroundMusic()->numberOfLoops(), 0);
    EXPECT_EQ(fx.audioManager()->backgroundMusic()->audioSourcePlayer()->numberOfLoops(), 0);
    fx.stopBackgroundMusic();
    EXPECT_FALSE(fx.isBackgroundMusicPlaying());
}

TEST_F(FacadeTest, EndForgetsEverythingAndANewFacadeStartsAfresh) {
    auto& fx = EasyAudioEngine::sharedEngine();
    fx.preloadEffect(f("a.wav"));
    fx.setMute(true);
    EasyAudioEngine::end();
    auto& again = EasyAudioEngine::sharedEngine();
    EXPECT_FALSE(again.mute());
    EXPECT_FALSE(again.audioManager()->mute());
    EXPECT_EQ(again.bufferManager().bufferForFile(f("a.wav"), false), -1);
}

}  // namespace
