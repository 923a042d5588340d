// Audio files written by the tests, read through both readers, loaded into
// the engine at once and in the background.
#include <AL/al.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "lib/sound/SndAudioFile.h"
#include "lib/sound/SndSoundEngine.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "tests/lib/sound/SoundFiles.h"
#include "tests/support/TestSupport.h"

namespace {

using soundtest::WaveSpec;
using soundtest::writeSoundFile;
using soundtest::writeWave;

// Points the bundle at a folder of the test's own for the test's life.
class BundleScope {
public:
    explicit BundleScope(const std::string& dir) {
        if (const char* old = std::getenv("QUENTA_BUNDLE")) old_ = old;
        setenv("QUENTA_BUNDLE", dir.c_str(), 1);
    }
    ~BundleScope() { setenv("QUENTA_BUNDLE", old_.c_str(), 1); }

private:
    std::string old_;
};

TEST(AudioPath, AbsoluteUnchangedRelativeFromTheBundle) {
    const std::string bundle = testsupport::tempDir("bundle");
    foundation::createDirectories(bundle + "/sounds");
    foundation::createDirectories(bundle + "/music");
    writeWave(bundle + "/sounds/hit.wav", {});
    writeWave(bundle + "/music/theme.wav", {});
    writeWave(bundle + "/top.wav", {});
    BundleScope scope(bundle);
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"/abs/x.wav", "/abs/x.wav"},
        {"/", "/"},
        {"sounds/hit.wav", bundle + "/sounds/hit.wav"},
        {"top.wav", bundle + "/top.wav"},
        {"theme.wav", bundle + "/music/theme.wav"},  // a bare name is found in the bundle's folders
        {"music/hit.wav", "music/hit.wav"},          // not in that folder
        {"sounds/none.wav", "sounds/none.wav"},
        {"sounds", "sounds"},  // a folder is not a sound
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(SndUtilities::fullPathFromRelativePath(c.in), c.out) << c.in;
}

TEST(AudioFiles, WaveFormatsReadAsTheyAre) {
    const std::string dir = testsupport::tempDir("waves");
    struct Case {
        const char* name;
        WaveSpec spec;
        ALenum format;
        int bytesPerFrame;
    };
    const Case cases[] = {
        {"mono8.wav", {1, 8, 22050, 1000}, AL_FORMAT_MONO8, 1},
        {"mono16.wav", {1, 16, 8000, 800}, AL_FORMAT_MONO16, 2},
        {"stereo8.wav", {2, 8, 11025, 500}, AL_FORMAT_STEREO8, 2},
        {"stereo16.wav", {2, 16, 44100, 4410}, AL_FORMAT_STEREO16, 4},
        // Capitals and no extension go to the same reader: 8 bits stay 8 bits.
        {"LOUD.WAV", {1, 8, 22050, 300}, AL_FORMAT_MONO8, 1},
        {"noextension", {2, 8, 22050, 300}, AL_FORMAT_STEREO8, 2},
    };
    for (const auto& c : cases) {
        const std::string path = writeWave(dir + "/" + c.name, c.spec);
        auto data = SndGetAudioData(path);
        ASSERT_TRUE(data) << c.name;
        EXPECT_EQ(data->format, c.format) << c.name;
        EXPECT_EQ(data->sampleRate, c.spec.rate) << c.name;
        EXPECT_EQ(data->size, c.spec.frames * c.bytesPerFrame) << c.name;
        EXPECT_EQ(data->samples.size(), size_t(data->size));
    }
    // The samples are the file's own bytes: 8-bit data stays unsigned.
    auto data = SndReadLinearPCMFile(writeWave(dir + "/check.wav", {1, 8, 8000, 4}));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->samples[0], 128);
}

TEST(AudioFiles, UnusableWaveFilesAreRefused) {
    const std::string dir = testsupport::tempDir("bad");
    WaveSpec bigEndian{1, 16, 22050, 100};
    bigEndian.bigEndian = true;
    WaveSpec floats{1, 16, 22050, 100};
    floats.floatSamples = true;
    const std::pair<const char*, std::string> cases[] = {
        {"big-endian", writeWave(dir + "/rifx.wav", bigEndian)},
        {"24-bit", writeWave(dir + "/deep.wav", {1, 24, 22050, 100})},
        {"float", writeWave(dir + "/float.wav", floats)},
        {"three channels", writeWave(dir + "/three.wav", {3, 16, 22050, 100})},
        {"missing", dir + "/missing.wav"},
    };
    // Each refusal names the file and what about it is not played.
    const char* reasons[] = {"big-endian", "not 8- or 16-bit", "not 8- or 16-bit", "3 channels", "cannot be read"};
    size_t i = 0;
    for (const auto& [what, path] : cases) {
        ASSERT_FALSE(path.empty()) << what;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(SndGetAudioData(path)) << what;
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("\"" + path + "\" refused"), std::string::npos) << what << ": " << log;
        EXPECT_NE(log.find(reasons[i++]), std::string::npos) << what << ": " << log;
    }
    ASSERT_TRUE(foundation::writeFileAtomically(dir + "/text.wav", "not a sound at all"));
    EXPECT_FALSE(SndGetAudioData(dir + "/text.wav"));
    // The converting reader takes what the wave reader refuses, but not a third channel.
    EXPECT_TRUE(SndReadConvertedAudioFile(dir + "/deep.wav"));
    EXPECT_FALSE(SndReadConvertedAudioFile(dir + "/three.wav"));
}

TEST(AudioFiles, OtherExtensionsAreConvertedToSixteenBits) {
    const std::string dir = testsupport::tempDir("conv");
    struct Case {
        const char* name;
        std::string path;
        int channels;
        int rate;
        int frames;
    };
    const Case cases[] = {
        {"caf", writeSoundFile(dir + "/a.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 1, 22050, 2205), 1, 22050, 2205},
        {"aiff", writeSoundFile(dir + "/a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 16000, 1600), 2, 16000, 1600},
        {"flac", writeSoundFile(dir + "/a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 4410), 2, 44100, 4410},
        {"ogg", writeSoundFile(dir + "/a.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, 44100), 2, 44100, 44100},
        // An 8-bit wave file under another name is decoded, to 16 bits.
        {"8-bit wave named caf", writeWave(dir + "/b.caf", {1, 8, 11025, 1000}), 1, 11025, 1000},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.path.empty()) << c.name;
        auto data = SndGetAudioData(c.path);
        ASSERT_TRUE(data) << c.name;
        EXPECT_EQ(data->format, c.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16) << c.name;
        EXPECT_EQ(data->sampleRate, c.rate) << c.name;
        EXPECT_EQ(data->size, c.frames * 2 * c.channels) << c.name;
    }
}

TEST(AudioFiles, Mp3Decodes) {
    const std::string dir = testsupport::tempDir("mp3");
    const std::string path = writeSoundFile(dir + "/a.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 1, 22050, 22050);
    ASSERT_FALSE(path.empty());
    auto data = SndGetAudioData(path);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->format, AL_FORMAT_MONO16);
    EXPECT_EQ(data->sampleRate, 22050);
    // The encoder pads the stream; the decoded length is close to a second.
    EXPECT_NEAR(double(data->size) / 2 / 22050, 1.0, 0.1);
}

TEST(AudioFiles, LoadBufferResolvesDecodesAndRecords) {
    const std::string bundle = testsupport::tempDir("bundle");
    foundation::createDirectories(bundle + "/sounds");
    writeWave(bundle + "/sounds/hit.wav", {2, 16, 22050, 22050});
    BundleScope scope(bundle);
    auto engine = SndSoundEngine::create();
    ASSERT_TRUE(engine->loadBuffer(0, "sounds/hit.wav"));
    EXPECT_FLOAT_EQ(engine->bufferDurationInSeconds(0), 1.0f);
    EXPECT_EQ(engine->bufferFrequencyInHertz(0), 22050);
    EXPECT_FALSE(engine->loadBuffer(1, "sounds/missing.wav"));
    EXPECT_EQ(engine->bufferState(1), SndSoundEngine::kBufferFailed);
    EXPECT_FALSE(engine->loadBuffer(2, ""));
    EXPECT_NE(engine->playSound(0, 0, 1, 0, 1, false), kSndSoundMuted);
}

// Waits for the completion notification, counting how often it comes.
class CompletionWatch {
public:
    CompletionWatch() {
        foundation::NotificationCenter::defaultCenter().addObserver(this, kSndN_AsynchLoadComplete,
                                                                    [this](const foundation::Notification&) {
                                                                        std::lock_guard<std::mutex> lock(mutex_);
                                                                        ++count_;
                                                                        cv_.notify_all();
                                                                    });
    }
    ~CompletionWatch() { foundation::NotificationCenter::defaultCenter().removeObserver(this); }
    bool waitFor(int n) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(20), [&] { return count_ >= n; });
    }
    int count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return count_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int count_ = 0;
};

// Waits (on real time: the loader runs on its own thread) until the progress
// reaches at least `value`.
bool progressReaches(const SndSoundEngine& engine, float value) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (engine.asynchLoadProgress() < value - 1e-4f) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(AsynchLoading, ProgressAdvancesPerFileAndCompletionIsPostedOnce) {
    const std::string dir = testsupport::tempDir("async");
    const std::string first = writeWave(dir + "/first.wav", {1, 16, 22050, 2205});
    // The second and third files are pipes: the loader waits on each until
    // the test feeds it, so the progress in between can be read.
    const std::string second = dir + "/second.wav", third = dir + "/third.wav";
    ASSERT_EQ(mkfifo(second.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(third.c_str(), 0600), 0);
    const std::string secondBytes = *foundation::readFile(writeWave(dir + "/src.wav", {2, 16, 8000, 800}));

    auto engine = SndSoundEngine::create();
    CompletionWatch watch;
    engine->loadBuffersAsynchronously({{0, first}, {1, second}, {70, third}});

    ASSERT_TRUE(progressReaches(*engine, 1.0f / 3));
    EXPECT_FLOAT_EQ(engine->asynchLoadProgress(), 1.0f / 3);
    EXPECT_EQ(watch.count(), 0);
    int fd = open(second.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, secondBytes.data(), secondBytes.size()), ssize_t(secondBytes.size()));
    close(fd);

    ASSERT_TRUE(progressReaches(*engine, 2.0f / 3));
    EXPECT_FLOAT_EQ(engine->asynchLoadProgress(), 2.0f / 3);
    EXPECT_EQ(watch.count(), 0);
    // The third file turns out empty: it fails, and loading still completes.
    fd = open(third.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    close(fd);

    ASSERT_TRUE(watch.waitFor(1));
    EXPECT_EQ(engine->asynchLoadProgress(), 1.0f);
    EXPECT_TRUE(engine->validateBufferId(0));
    EXPECT_FALSE(engine->validateBufferId(70));
    EXPECT_EQ(engine->bufferTotal(), 80);
    EXPECT_EQ(watch.count(), 1);
}

TEST(AsynchLoading, ASecondLoadDoesNotWaitForTheFirst) {
    const std::string dir = testsupport::tempDir("two");
    const std::string pipe = dir + "/slow.wav";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string quick = writeWave(dir + "/quick.wav", {1, 16, 8000, 800});
    auto engine = SndSoundEngine::create();
    CompletionWatch watch;
    engine->loadBuffersAsynchronously({{0, pipe}});
    // The first loader waits on its pipe; the second starts and ends meanwhile.
    engine->loadBuffersAsynchronously({{1, quick}});
    ASSERT_TRUE(watch.waitFor(1));
    EXPECT_TRUE(engine->validateBufferId(1));
    EXPECT_FALSE(engine->validateBufferId(0));
    const std::string bytes = *foundation::readFile(quick);
    const int fd = open(pipe.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    close(fd);
    ASSERT_TRUE(watch.waitFor(2));
    EXPECT_EQ(watch.count(), 2);
}

TEST(AsynchLoading, AnEmptyListCompletesAtOnce) {
    auto engine = SndSoundEngine::create();
    CompletionWatch watch;
    engine->setAsynchLoadProgress(0.5f);
    engine->loadBuffersAsynchronously({});
    ASSERT_TRUE(watch.waitFor(1));
    EXPECT_EQ(engine->asynchLoadProgress(), 1.0f);
}

// The main thread plays, checks and unloads sounds while a loader fills ids
// that make the buffer table grow. Also built with ThreadSanitizer. The last
// file is a pipe the test fills only once the main thread has played while
// the loader filled the others, so the two overlap however the threads are
// scheduled.
TEST(AsynchLoading, LoadingWhilePlayingIsSafe) {
    const std::string dir = testsupport::tempDir("race");
    std::vector<SndBufferLoadRequest> requests;
    for (int i = 0; i < 24; ++i) {
        const std::string path = writeWave(dir + "/s" + std::to_string(i) + ".wav", {1, 16, 22050, 2205 + i});
        requests.emplace_back(60 + i * 8, path);
    }
    const std::string last = requests.back().filePath();
    const std::string lastBytes = *foundation::readFile(last);
    ASSERT_EQ(unlink(last.c_str()), 0);
    ASSERT_EQ(mkfifo(last.c_str(), 0600), 0);
    auto engine = SndSoundEngine::create();
    ASSERT_TRUE(engine->loadBuffer(0, requests[0].filePath()));
    CompletionWatch watch;
    engine->loadBuffersAsynchronously(requests);
    int plays = 0;
    auto playRound = [&] {
        for (int id : {0, 60, 68, 100, 140}) {
            const ALuint s = engine->playSound(id, 0, 1, 0, 0.1f, false);
            if (s != kSndSoundMuted && s != kSndNoSource) ++plays;
            engine->bufferDurationInSeconds(id);
            engine->validateBufferId(id);
        }
        engine->unloadBuffer(1);
        engine->bufferTotal();
    };
    // Until the loader waits on the pipe, every other file loaded.
    const float allButLast = 23.0f / 24;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::duration<double>(testsupport::patience(60));
    do {
        playRound();
    } while ((engine->asynchLoadProgress() < allButLast - 1e-4f || plays == 0) &&
             std::chrono::steady_clock::now() < giveUp);
    ASSERT_GE(engine->asynchLoadProgress(), allButLast - 1e-4f) << "the loader did not reach the pipe";
    EXPECT_EQ(watch.count(), 0);
    std::thread writer([&] {
        const int fd = open(last.c_str(), O_WRONLY);
        if (fd < 0) return;
        [[maybe_unused]] const ssize_t written = write(fd, lastBytes.data(), lastBytes.size());
        close(fd);
    });
    while (watch.count() == 0 && std::chrono::steady_clock::now() < giveUp) playRound();
    writer.join();
    ASSERT_TRUE(watch.waitFor(1));
    EXPECT_GT(plays, 0);
    for (const auto& r : requests) EXPECT_TRUE(engine->validateBufferId(r.soundId())) << r.soundId();
    EXPECT_EQ(engine->bufferTotal(), 256);
}

}  // namespace
