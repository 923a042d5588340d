// The audio session and the audio player, on openal-soft's null output.
#include <AL/al.h>
#include <AL/alc.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/audio/AudioOutput.h"
#include "platform/audio/AudioPlayer.h"
#include "platform/audio/AudioSession.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/TestSupport.h"

namespace {

using audio::AudioPlayer;
using audio::AudioSession;

std::string writeTone(const std::string& path, int format, int channels, int rate, int frames) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return "";
    std::vector<short> s(size_t(frames) * size_t(channels));
    for (size_t i = 0; i < s.size(); ++i) s[i] = short(std::sin(double(i) * 0.05) * 10000);
    sf_writef_short(f, s.data(), frames);
    sf_close(f);
    return path;
}

struct SessionRecorder : audio::AudioSessionDelegate {
    void beginInterruption() override { events.push_back("begin"); }
    void endInterruption() override { events.push_back("end"); }
    std::vector<std::string> events;
};

TEST(AudioSession, CategoriesActivationAndInterruptions) {
    auto& session = AudioSession::sharedInstance();
    EXPECT_EQ(session.category(), audio::kCategoryAmbient);
    EXPECT_TRUE(session.setCategory(audio::kCategoryPlayback));
    foundation::ErrorRef error;
    EXPECT_FALSE(session.setCategory("Loud", &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(audio::kAudioErrorDomain, audio::kAudioUnknownCategory));
    EXPECT_EQ(session.category(), audio::kCategoryPlayback);

    session.refuseActivations(2);
    EXPECT_FALSE(session.setActive(true));
    EXPECT_FALSE(session.setActive(true));
    EXPECT_FALSE(session.isActive());
    EXPECT_TRUE(session.setActive(true));
    EXPECT_TRUE(session.isActive());
    EXPECT_TRUE(session.setActive(false));

    EXPECT_EQ(session.route(), std::optional<std::string>("Speaker"));
    session.setRoute(std::nullopt);
    EXPECT_FALSE(session.route());
    session.setOtherAudioPlaying(true);
    EXPECT_TRUE(session.isOtherAudioPlaying());

    SessionRecorder rec;
    session.setDelegate(&rec);
    session.beginInterruption();
    EXPECT_TRUE(session.isInterrupted());
    session.endInterruption();
    EXPECT_FALSE(session.isInterrupted());
    EXPECT_EQ(rec.events, (std::vector<std::string>{"begin", "end"}));
    session.reset();
    EXPECT_EQ(session.delegate(), nullptr);
    EXPECT_FALSE(session.isOtherAudioPlaying());
}

class PlayerTest : public testing::Test, public audio::AudioPlayerDelegate {
protected:
    void SetUp() override {
        device = alcOpenDevice(nullptr);
        ASSERT_NE(device, nullptr);
        context = alcCreateContext(device, nullptr);
        ASSERT_TRUE(alcMakeContextCurrent(context));
        dir = testsupport::tempDir("player");
    }
    void TearDown() override {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context);
        alcCloseDevice(device);
    }
    void audioPlayerDidFinishPlaying(AudioPlayer*, bool ok) override {
        ++finished;
        finishedOk = ok;
    }
    void audioPlayerBeginInterruption(AudioPlayer*) override { ++begun; }
    void audioPlayerEndInterruption(AudioPlayer*) override { ++ended; }

    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    std::string dir;
    int finished = 0;
    bool finishedOk = false;
    int begun = 0;
    int ended = 0;
};

TEST_F(PlayerTest, FilesThatCannotBePlayedGiveNoPlayer) {
    foundation::ErrorRef error;
    EXPECT_EQ(AudioPlayer::createWithContentsOfFile(dir + "/missing.ogg", &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(audio::kAudioErrorDomain, audio::kAudioFileUnreadable));
    ASSERT_TRUE(foundation::writeFileAtomically(dir + "/text.mp3", "hello"));
    EXPECT_EQ(AudioPlayer::createWithContentsOfFile(dir + "/text.mp3"), nullptr);
    const std::string surround = writeTone(dir + "/six.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 6, 8000, 800);
    EXPECT_EQ(AudioPlayer::createWithContentsOfFile(surround), nullptr);
}

TEST_F(PlayerTest, PlaysOnceThenTellsTheDelegate) {
    auto player = AudioPlayer::createWithContentsOfFile(
        writeTone(dir + "/short.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, 2205));
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->channels(), 2);
    EXPECT_NEAR(player->duration(), 0.05, 0.01);
    player->setDelegate(this);
    player->setNumberOfLoops(0);
    ASSERT_TRUE(player->play());
    EXPECT_TRUE(player->isPlaying());
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return finished > 0; }, 10));
    EXPECT_TRUE(finishedOk);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->currentTime(), 0);
    // It plays again from the start.
    ASSERT_TRUE(player->play());
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return finished > 1; }, 10));
    EXPECT_EQ(finished, 2);
}

TEST_F(PlayerTest, LoopingForEverUntilStoppedAndPositionKept) {
    auto player = AudioPlayer::createWithContentsOfFile(
        writeTone(dir + "/loop.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 400));
    ASSERT_NE(player, nullptr);
    player->setDelegate(this);
    player->setNumberOfLoops(-1);
    player->setVolume(0.25f);
    ASSERT_TRUE(player->play());
    // Several lengths of the file later it still plays and has not finished.
    const double until = 6 * player->duration();
    auto start = std::chrono::steady_clock::now();
    foundation::RunLoop::main().runUntil(
        [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > until; }, 5);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(finished, 0);
    player->pause();
    EXPECT_FALSE(player->isPlaying());
    player->setCurrentTime(0.02);
    EXPECT_NEAR(player->currentTime(), 0.02, 0.001);
    player->stop();
    EXPECT_NEAR(player->currentTime(), 0.02, 0.001);
    EXPECT_FLOAT_EQ(player->volume(), 0.25f);
    player->setVolume(3);
    EXPECT_FLOAT_EQ(player->volume(), 1.0f);
}

TEST_F(PlayerTest, InterruptionPausesAPlayingPlayerAndTellsItsDelegate) {
    auto playing = AudioPlayer::createWithContentsOfFile(
        writeTone(dir + "/a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 8000));
    auto idle = AudioPlayer::createWithContentsOfFile(
        writeTone(dir + "/b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 8000));
    ASSERT_TRUE(playing && idle);
    playing->setDelegate(this);
    idle->setDelegate(this);
    ASSERT_TRUE(playing->play());
    AudioSession::sharedInstance().beginInterruption();
    EXPECT_FALSE(playing->isPlaying());
    EXPECT_EQ(begun, 1);  // the idle player is not told
    AudioSession::sharedInstance().endInterruption();
    EXPECT_EQ(ended, 1);
}

TEST_F(PlayerTest, WithoutAContextItDoesNotPlay) {
    auto player = AudioPlayer::createWithContentsOfFile(
        writeTone(dir + "/c.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 800));
    ASSERT_NE(player, nullptr);
    alcMakeContextCurrent(nullptr);
    EXPECT_FALSE(player->prepareToPlay());
    EXPECT_FALSE(player->play());
    EXPECT_FALSE(player->isPlaying());
    alcMakeContextCurrent(context);
    EXPECT_TRUE(player->play());
}

// What opening the default output writes to stderr in a fresh child, where
// the ALSA output is the only one tried and has no configuration (so it fails
// on any machine, as on one without a sound device).
std::string stderrOfOpeningWithoutADevice(const std::string& dir, const char* quentaLog) {
    const std::string empty = dir + "/alsa.conf", out = dir + "/stderr.txt";
    foundation::writeFileAtomically(empty, "");
    const pid_t child = fork();
    if (child == 0) {
        setenv("ALSOFT_DRIVERS", "alsa", 1);
        setenv("ALSA_CONFIG_PATH", empty.c_str(), 1);
        unsetenv("ALSOFT_LOGLEVEL");
        if (quentaLog)
            setenv("QUENTA_LOG", quentaLog, 1);
        else
            unsetenv("QUENTA_LOG");
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || dup2(fd, 2) < 0) _exit(2);
        ALCdevice* device = audio::openOutputDevice();
        if (device) alcCloseDevice(device);
        _exit(device ? 3 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return foundation::readFile(out).value_or("<none>");
}

TEST(AudioOutput, WithoutADeviceTheAudioLibrariesSpeakOnlyWhenTheDebugLogIsAsked) {
    const std::string dir = testsupport::tempDir("output");
    const std::string loud = stderrOfOpeningWithoutADevice(dir, "1");
    EXPECT_NE(loud.find("ALSA"), std::string::npos) << loud;
    for (const char* quiet : {static_cast<const char*>(nullptr), "0"})
        EXPECT_EQ(stderrOfOpeningWithoutADevice(dir, quiet), "") << (quiet ? quiet : "unset");
}

}  // namespace
