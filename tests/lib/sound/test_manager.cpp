// The audio manager: modes, background music, application and session
// events, mute and enable, the shared manager.
#include <AL/al.h>
#include <AL/alc.h>
#include <gtest/gtest.h>

#include <vector>

#include "lib/sound/SndAudioManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "tests/lib/sound/SoundFiles.h"
#include "tests/support/TestSupport.h"

namespace {

using audio::AudioSession;

class ManagerTest : public testing::Test {
protected:
    void SetUp() override {
        dir = testsupport::tempDir("music");
        music = soundtest::writeSoundFile(dir + "/theme.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 22050, 22050 * 2);
        other = soundtest::writeSoundFile(dir + "/other.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 22050, 22050);
        jingle = soundtest::writeSoundFile(dir + "/jingle.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 400);
        ASSERT_FALSE(music.empty() || other.empty() || jingle.empty());
    }
    std::shared_ptr<SndAudioManager> make(int mode) {
        manager = std::make_shared<SndAudioManager>(mode);
        return manager;
    }
    std::string dir, music, other, jingle;
    std::shared_ptr<SndAudioManager> manager;
};

TEST_F(ManagerTest, ModeTable) {
    struct Case {
        int mode;
        bool otherAudio;
        const char* category;
        bool music;
    };
    const Case cases[] = {
        {0, false, audio::kCategoryAmbient, false},    {0, true, audio::kCategoryAmbient, false},
        {1, false, audio::kCategorySoloAmbient, true}, {1, true, audio::kCategorySoloAmbient, true},
        {2, false, audio::kCategorySoloAmbient, true}, {2, true, audio::kCategoryAmbient, false},
        {3, true, audio::kCategoryPlayback, true},     {4, true, audio::kCategoryPlayAndRecord, true},
        {5, false, audio::kCategorySoloAmbient, true}, {9, true, audio::kCategoryAmbient, false},
    };
    auto& session = AudioSession::sharedInstance();
    for (const auto& c : cases) {
        session.setOtherAudioPlaying(c.otherAudio);
        auto m = make(c.mode);
        EXPECT_EQ(m->audioSessionCategory(), c.category) << c.mode << " " << c.otherAudio;
        EXPECT_EQ(session.category(), c.category) << c.mode << " " << c.otherAudio;
        EXPECT_EQ(m->willPlayBackgroundMusic(), c.music) << c.mode << " " << c.otherAudio;
        manager.reset();
    }
}

TEST_F(ManagerTest, MusicLoadsButWaitsWhileAnotherAppPlays) {
    AudioSession::sharedInstance().setOtherAudioPlaying(true);
    auto m = make(SndAudioManager::kSndModeMusicIfNoOtherAudio);
    m->playBackgroundMusic(music, true);
    EXPECT_EQ(m->backgroundMusic()->state(), 1);
    EXPECT_NE(m->backgroundMusic()->audioSourcePlayer(), nullptr);
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    m->resumeBackgroundMusic();
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
}

struct FileChanges : SndLongAudioSourceDelegate {
    void cdAudioSourceFileDidChange(SndLongAudioSource*) override { ++changes; }
    void cdAudioSourceDidFinishPlaying(SndLongAudioSource*) override { ++finished; }
    int changes = 0;
    int finished = 0;
};

TEST_F(ManagerTest, SamePathAgainRewindsTheSamePlayer) {
    auto m = make(SndAudioManager::kSndModeEffectsAndMusic);
    m->playBackgroundMusic(music, true);
    ASSERT_TRUE(m->isBackgroundMusicPlaying());
    EXPECT_EQ(m->backgroundMusic()->numberOfLoops(), -1);
    audio::AudioPlayer* first = m->backgroundMusic()->audioSourcePlayer();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->numberOfLoops(), -1);
    m->playBackgroundMusic(music, false);
    EXPECT_EQ(m->backgroundMusic()->audioSourcePlayer(), first);
    EXPECT_TRUE(m->isBackgroundMusicPlaying());
    EXPECT_LT(first->currentTime(), 1.0);
    EXPECT_EQ(first->numberOfLoops(), 0);
    m->playBackgroundMusic(other, true);
    EXPECT_EQ(m->backgroundMusic()->audioSourceFilePath(), other);
    EXPECT_TRUE(m->isBackgroundMusicPlaying());

    // The other channel tells its delegate of every new file, not of a reload.
    FileChanges rec;
    auto channel = m->audioSourceForChannel(1);
    channel->setDelegate(&rec);
    EXPECT_EQ(m->audioSourceLoad(music, 1), channel);
    m->audioSourceLoad(music, 1);
    m->audioSourceLoad(other, 1);
    EXPECT_EQ(rec.changes, 2);
    EXPECT_FALSE(channel->backgroundMusic());
    EXPECT_EQ(m->audioSourceForChannel(2), nullptr);
    channel->setDelegate(nullptr);
}

TEST_F(ManagerTest, MusicThatCannotBeOpenedLeavesNothingToPlay) {
    auto m = make(SndAudioManager::kSndModeEffectsAndMusic);
    m->playBackgroundMusic(dir + "/missing.mp3", true);
    EXPECT_EQ(m->backgroundMusic()->state(), 1);
    EXPECT_EQ(m->backgroundMusic()->audioSourcePlayer(), nullptr);
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    m->pauseBackgroundMusic();
    m->rewindBackgroundMusic();
    m->resumeBackgroundMusic();
    m->stopBackgroundMusic();
    // A good file afterwards plays.
    m->playBackgroundMusic(music, true);
    EXPECT_TRUE(m->isBackgroundMusicPlaying());
}

TEST_F(ManagerTest, MusicPlayedOnceReportsItsEnd) {
    auto m = make(SndAudioManager::kSndModeEffectsAndMusic);
    int done = 0;
    m->setBackgroundMusicCompletionListener([&] { ++done; });
    m->playBackgroundMusic(jingle, false);
    ASSERT_TRUE(m->isBackgroundMusicPlaying());
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return done > 0; }, 10));
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    EXPECT_EQ(done, 1);
}

TEST_F(ManagerTest, ResignBehaviours) {
    struct Case {
        int behaviour;
        bool playingWhileResigned;
        bool playingAfterReturn;
    };
    const Case cases[] = {
        {SndAudioManager::kSndResignDoNothing, true, true},
        {SndAudioManager::kSndResignStopAndResume, false, true},
        {SndAudioManager::kSndResignStop, false, false},
    };
    auto& center = foundation::NotificationCenter::defaultCenter();
    for (const auto& c : cases) {
        auto m = make(SndAudioManager::kSndModePlayback);
        m->setResignBehavior(c.behaviour, true);
        m->playBackgroundMusic(music, true);
        auto effects = m->audioSourceLoad(other, 1);
        ASSERT_TRUE(m->isBackgroundMusicPlaying());
        center.post(kSndAppWillResignActiveNotification);
        EXPECT_EQ(AudioSession::sharedInstance().category(), audio::kCategoryAmbient) << c.behaviour;
        EXPECT_EQ(m->isBackgroundMusicPlaying(), c.playingWhileResigned) << c.behaviour;
        center.post(kSndAppDidBecomeActiveNotification);
        EXPECT_EQ(AudioSession::sharedInstance().category(), audio::kCategoryPlayback) << c.behaviour;
        EXPECT_EQ(m->isBackgroundMusicPlaying(), c.playingAfterReturn) << c.behaviour;
        // Channel 1 was never playing: nothing brings it to life.
        EXPECT_FALSE(effects->isPlaying());
        EXPECT_FALSE(effects->systemPaused());
        manager.reset();
    }
}

TEST_F(ManagerTest, ReturningDoesNotResumeWhenMusicIsNoLongerAllowed) {
    auto m = make(SndAudioManager::kSndModeMusicIfNoOtherAudio);
    m->setResignBehavior(SndAudioManager::kSndResignStopAndResume, false);
    m->playBackgroundMusic(music, true);
    ASSERT_TRUE(m->isBackgroundMusicPlaying());
    // Without automatic handling the notifications are not followed.
    foundation::NotificationCenter::defaultCenter().post(kSndAppWillResignActiveNotification);
    EXPECT_TRUE(m->isBackgroundMusicPlaying());
    m->applicationWillResignActive();
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    EXPECT_TRUE(m->backgroundMusic()->systemPaused());
    // Another app started its music meanwhile.
    AudioSession::sharedInstance().setOtherAudioPlaying(true);
    m->applicationDidBecomeActive();
    EXPECT_FALSE(m->willPlayBackgroundMusic());
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    // Becoming active without having resigned does nothing.
    AudioSession::sharedInstance().setOtherAudioPlaying(false);
    m->applicationDidBecomeActive();
    EXPECT_FALSE(m->willPlayBackgroundMusic());
}

TEST_F(ManagerTest, TerminationStopsTheMusic) {
    auto m = make(SndAudioManager::kSndModeEffectsAndMusic);
    m->setResignBehavior(SndAudioManager::kSndResignDoNothing, true);
    m->playBackgroundMusic(music, true);
    ASSERT_TRUE(m->isBackgroundMusicPlaying());
    foundation::NotificationCenter::defaultCenter().post(kSndAppWillTerminateNotification);
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
}

TEST_F(ManagerTest, MuteAndEnableReachTheEngineAndBothChannels) {
    auto m = make(SndAudioManager::kSndModeEffectsAndMusic);
    m->playBackgroundMusic(music, true);
    auto music = m->backgroundMusic();
    auto channel = m->audioSourceLoad(other, 1);
    music->setVolume(0.6f);
    m->soundEngine()->setMasterGain(0.7f);
    m->setMute(true);
    EXPECT_TRUE(m->soundEngine()->mute());
    EXPECT_TRUE(music->mute());
    EXPECT_TRUE(channel->mute());
    EXPECT_FLOAT_EQ(music->volume(), 0.6f);
    EXPECT_EQ(music->audioSourcePlayer()->volume(), 0.0f);
    // A volume set while muted is kept for later, not heard.
    music->setVolume(0.4f);
    EXPECT_EQ(music->audioSourcePlayer()->volume(), 0.0f);
    // A muted channel stays silent with a new file.
    m->audioSourceLoad(music->audioSourceFilePath() == other ? this->music : other, 1);
    EXPECT_EQ(channel->audioSourcePlayer()->volume(), 0.0f);
    m->setMute(false);
    EXPECT_FLOAT_EQ(music->audioSourcePlayer()->volume(), 0.4f);
    EXPECT_FLOAT_EQ(channel->audioSourcePlayer()->volume(), 1.0f);
    EXPECT_FLOAT_EQ(m->soundEngine()->masterGain(), 0.7f);

    ASSERT_TRUE(m->isBackgroundMusicPlaying());
    m->setEnabled(false);
    EXPECT_FALSE(m->soundEngine()->enabled());
    EXPECT_FALSE(music->enabled());
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    EXPECT_EQ(music->audioSourcePlayer()->currentTime(), 0);
    music->play();
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    m->setEnabled(true);
    music->play();
    EXPECT_TRUE(m->isBackgroundMusicPlaying());
}

TEST_F(ManagerTest, MutedManagerLoadsButDoesNotStartMusic) {
    auto m = make(SndAudioManager::kSndModeEffectsAndMusic);
    m->setMute(true);
    m->playBackgroundMusic(music, true);
    EXPECT_NE(m->backgroundMusic()->audioSourcePlayer(), nullptr);
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    m->resumeBackgroundMusic();
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
}

TEST_F(ManagerTest, DeviceMutedFollowsTheRoute) {
    auto m = make(0);
    auto& session = AudioSession::sharedInstance();
    EXPECT_FALSE(m->isDeviceMuted());
    session.setRoute(std::string());
    EXPECT_TRUE(m->isDeviceMuted());
    session.setRoute(std::nullopt);
    EXPECT_TRUE(m->isDeviceMuted());
    session.setRoute(std::string("Headphone"));
    EXPECT_FALSE(m->isDeviceMuted());
}

TEST_F(ManagerTest, InterruptionTakesTheContextAwayAndGivesItBack) {
    SndAudioManager::configure(SndAudioManager::kSndModeEffectsAndMusic);
    auto m = SndAudioManager::sharedManager();
    auto& session = AudioSession::sharedInstance();
    ASSERT_TRUE(m->audioSessionSetActive(true));
    m->playBackgroundMusic(music, true);
    auto channel = m->audioSourceLoad(other, 1);
    channel->setNumberOfLoops(-1);
    channel->play();
    ASSERT_EQ(alcGetCurrentContext(), m->soundEngine()->openALContext());
    session.beginInterruption();
    EXPECT_TRUE(m->interrupted());
    EXPECT_FALSE(session.isActive());
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    session.beginInterruption();  // a second begin changes nothing
    EXPECT_TRUE(m->interrupted());

    session.endInterruption();
    EXPECT_FALSE(m->interrupted());
    EXPECT_TRUE(session.isActive());
    EXPECT_EQ(alcGetCurrentContext(), m->soundEngine()->openALContext());
    // What the interruption paused plays again.
    EXPECT_TRUE(m->isBackgroundMusicPlaying());
    EXPECT_TRUE(channel->isPlaying());

    // While music is not allowed only the other channel comes back.
    AudioSession::sharedInstance().setOtherAudioPlaying(true);
    m->setMode(SndAudioManager::kSndModeMusicIfNoOtherAudio);
    ASSERT_FALSE(m->willPlayBackgroundMusic());
    session.beginInterruption();
    session.endInterruption();
    EXPECT_FALSE(m->isBackgroundMusicPlaying());
    EXPECT_TRUE(channel->isPlaying());
}

TEST_F(ManagerTest, ReactivationIsRetriedHalfASecondApart) {
    auto m = make(SndAudioManager::kSndModeEffectsAndMusic);
    std::vector<double> sleeps;
    SndAudioManager::setRetrySleep([&](double s) { sleeps.push_back(s); });
    auto& session = AudioSession::sharedInstance();
    struct Case {
        int refusals;
        size_t sleeps;
        bool active;
    };
    for (const Case c : {Case{0, 0, true}, Case{3, 3, true}, Case{10, 10, true}, Case{25, 10, false}}) {
        sleeps.clear();
        m->audioSessionInterrupted();
        session.refuseActivations(c.refusals);
        m->audioSessionResumed();
        EXPECT_EQ(sleeps.size(), c.sleeps) << c.refusals;
        for (double s : sleeps) EXPECT_EQ(s, 0.5);
        EXPECT_EQ(session.isActive(), c.active) << c.refusals;
        // The OpenAL context comes back either way.
        EXPECT_EQ(alcGetCurrentContext(), m->soundEngine()->openALContext()) << c.refusals;
        session.refuseActivations(0);
    }
    // Resuming without an interruption does nothing.
    sleeps.clear();
    session.refuseActivations(5);
    m->audioSessionResumed();
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(ManagerTest, LostContextDuringAnInterruptionIsRestoredOnTheEnginesReport) {
    auto m = make(SndAudioManager::kSndModeEffectsAndMusic);
    auto engine = m->soundEngine();
    std::vector<int16_t> s(800, 100);
    ASSERT_TRUE(engine->loadBufferFromData(0, s.data(), AL_FORMAT_MONO16, 1600, 8000));
    m->audioSessionInterrupted();
    ASSERT_EQ(alcGetCurrentContext(), nullptr);
    // A play without a context fails and posts the report; the manager answers it.
    EXPECT_EQ(engine->playSound(0, 0, 1, 0, 1, false), kSndNoSource);
    EXPECT_FALSE(m->interrupted());
    EXPECT_EQ(alcGetCurrentContext(), engine->openALContext());
    EXPECT_NE(engine->playSound(0, 0, 1, 0, 1, false), kSndNoSource);
}

TEST_F(ManagerTest, SharedManagerIsMadeOnceAndAnnounced) {
    int posted = 0;
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, kSndN_AudioManagerInitialised, [&](const foundation::Notification&) { ++posted; });
    EXPECT_EQ(SndAudioManager::sharedManagerState(), SndAudioManager::kSndManagerUninitialised);
    auto first = SndAudioManager::sharedManager();
    EXPECT_EQ(SndAudioManager::sharedManager(), first);
    EXPECT_EQ(first->mode(), SndAudioManager::kSndModeMusicIfNoOtherAudio);
    EXPECT_EQ(SndAudioManager::sharedManagerState(), SndAudioManager::kSndManagerInitialised);
    EXPECT_EQ(posted, 1);
    first.reset();
    SndAudioManager::end();
    EXPECT_EQ(SndAudioManager::sharedManagerState(), SndAudioManager::kSndManagerInitialised);
    // A configured mode is used by the next manager.
    SndAudioManager::configure(SndAudioManager::kSndModePlayback);
    EXPECT_EQ(SndAudioManager::sharedManager()->mode(), SndAudioManager::kSndModePlayback);
    EXPECT_EQ(posted, 2);
    center.removeObserver(this);
}

TEST_F(ManagerTest, AsynchronousCreationHappensOnce) {
    std::mutex mutex;
    std::condition_variable cv;
    int posted = 0;
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, kSndN_AudioManagerInitialised, [&](const foundation::Notification&) {
        std::lock_guard<std::mutex> lock(mutex);
        ++posted;
        cv.notify_all();
    });
    SndAudioManager::initAsynchronously(SndAudioManager::kSndModeEffectsOnly);
    EXPECT_NE(SndAudioManager::sharedManagerState(), SndAudioManager::kSndManagerUninitialised);
    SndAudioManager::initAsynchronously(SndAudioManager::kSndModePlayback);
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return posted > 0; }));
    }
    EXPECT_EQ(SndAudioManager::sharedManagerState(), SndAudioManager::kSndManagerInitialised);
    EXPECT_EQ(SndAudioManager::sharedManager()->mode(), SndAudioManager::kSndModeEffectsOnly);
    SndAudioManager::initAsynchronously(SndAudioManager::kSndModePlayback);
    SndAudioManager::end();
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(posted, 1);
    center.removeObserver(this);
}

}  // namespace
