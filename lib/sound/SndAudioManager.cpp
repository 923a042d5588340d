#include "lib/sound/SndAudioManager.h"

#include <AL/alc.h>

#include <chrono>
#include <thread>

#include "lib/sound/SndAudioFile.h"
#include "platform/foundation/Background.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"

namespace {

std::recursive_mutex gClassMutex;
std::shared_ptr<SndAudioManager> gSharedManager;
int gManagerState = SndAudioManager::kSndManagerUninitialised;
int gConfiguredMode = SndAudioManager::kSndModeMusicIfNoOtherAudio;
bool gConfigured = false;
std::thread gInitialiser;
std::function<void(double)> gRetrySleep;

constexpr int kResumeRetries = 10;
constexpr double kResumeRetryDelay = 0.5;

void retrySleep(double seconds) {
    std::function<void(double)> sleep;
    {
        std::lock_guard<std::recursive_mutex> lock(gClassMutex);
        sleep = gRetrySleep;
    }
    if (sleep) {
        sleep(seconds);
    } else {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
}

std::shared_ptr<SndAudioManager> existingSharedManager() {
    std::lock_guard<std::recursive_mutex> lock(gClassMutex);
    return gSharedManager;
}

}  // namespace

// Long audio source --------------------------------------------------------

SndLongAudioSource::SndLongAudioSource() = default;

SndLongAudioSource::~SndLongAudioSource() {
    if (audioSourcePlayer_) audioSourcePlayer_->setDelegate(nullptr);
}

void SndLongAudioSource::load(const std::string& path) {
    if (state_ == 1 && path == audioSourceFilePath_) {
        pause();
        rewind();
    } else {
        audioSourcePlayer_.reset();
        audioSourceFilePath_ = path;
        const std::string full = SndUtilities::fullPathFromRelativePath(path);
        audioSourcePlayer_ = audio::AudioPlayer::createWithContentsOfFile(full);
        if (audioSourcePlayer_) {
            audioSourcePlayer_->prepareToPlay();
            audioSourcePlayer_->setDelegate(this);
            if (delegate_) delegate_->cdAudioSourceFileDidChange(this);
        }
    }
    if (audioSourcePlayer_) {
        // A muted source stays silent with its new file.
        audioSourcePlayer_->setVolume(mute_ ? 0.0f : volume_);
        audioSourcePlayer_->setNumberOfLoops(numberOfLoops_);
    }
    state_ = 1;
}

void SndLongAudioSource::play() {
    if (!enabled_) return;
    systemPaused_ = false;
    if (audioSourcePlayer_) audioSourcePlayer_->play();
}

void SndLongAudioSource::stop() {
    if (audioSourcePlayer_) audioSourcePlayer_->stop();
}

void SndLongAudioSource::pause() {
    if (audioSourcePlayer_) audioSourcePlayer_->pause();
}

void SndLongAudioSource::rewind() {
    if (audioSourcePlayer_) audioSourcePlayer_->setCurrentTime(0);
}

void SndLongAudioSource::resume() {
    if (audioSourcePlayer_) audioSourcePlayer_->play();
}

bool SndLongAudioSource::isPlaying() const {
    return state_ != 0 && audioSourcePlayer_ && audioSourcePlayer_->isPlaying();
}

void SndLongAudioSource::setVolume(float volume) {
    volume_ = volume;
    if (state_ != 0 && !mute_ && audioSourcePlayer_) audioSourcePlayer_->setVolume(volume);
}

void SndLongAudioSource::setMute(bool mute) {
    if (mute == mute_) return;
    if (audioSourcePlayer_) audioSourcePlayer_->setVolume(mute ? 0.0f : volume_);
    mute_ = mute;
}

void SndLongAudioSource::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (!enabled) {
        pause();
        rewind();
    }
}

void SndLongAudioSource::setNumberOfLoops(int loops) {
    if (audioSourcePlayer_) audioSourcePlayer_->setNumberOfLoops(loops);
    numberOfLoops_ = loops;
}

void SndLongAudioSource::audioPlayerDidFinishPlaying(audio::AudioPlayer*, bool) {
    if (delegate_) delegate_->cdAudioSourceDidFinishPlaying(this);
}

void SndLongAudioSource::audioPlayerBeginInterruption(audio::AudioPlayer*) {}

void SndLongAudioSource::audioPlayerEndInterruption(audio::AudioPlayer*) {
    if (backgroundMusic_) {
        auto manager = existingSharedManager();
        if (!manager || !manager->willPlayBackgroundMusic()) return;
    }
    if (audioSourcePlayer_) audioSourcePlayer_->play();
}

// Audio manager: the shared one ------------------------------------------

std::shared_ptr<SndAudioManager> SndAudioManager::sharedManager() {
    std::lock_guard<std::recursive_mutex> lock(gClassMutex);
    if (!gSharedManager) {
        if (!gConfigured) {
            gConfiguredMode = kSndModeMusicIfNoOtherAudio;
            gConfigured = true;
        }
        gSharedManager = std::make_shared<SndAudioManager>(gConfiguredMode);
        gManagerState = kSndManagerInitialised;
        foundation::NotificationCenter::defaultCenter().post(kSndN_AudioManagerInitialised);
    }
    return gSharedManager;
}

int SndAudioManager::sharedManagerState() {
    std::lock_guard<std::recursive_mutex> lock(gClassMutex);
    return gManagerState;
}

void SndAudioManager::configure(int mode) {
    std::lock_guard<std::recursive_mutex> lock(gClassMutex);
    gConfiguredMode = mode;
    gConfigured = true;
}

void SndAudioManager::initAsynchronously(int mode) {
    std::lock_guard<std::recursive_mutex> lock(gClassMutex);
    if (gManagerState != kSndManagerUninitialised) return;
    gManagerState = kSndManagerInitialising;
    configure(mode);
    if (gInitialiser.joinable()) gInitialiser.join();
    gInitialiser = std::thread([] {
        foundation::setThreadName("snd.init");
        SndAsynchInitialiser().main();
    });
}

void SndAudioManager::end() {
    std::thread initialiser;
    {
        std::lock_guard<std::recursive_mutex> lock(gClassMutex);
        initialiser = std::move(gInitialiser);
    }
    // A manager still being made in the background is waited for first.
    if (initialiser.joinable()) initialiser.join();
    std::shared_ptr<SndAudioManager> manager;
    {
        std::lock_guard<std::recursive_mutex> lock(gClassMutex);
        manager = std::move(gSharedManager);
        gSharedManager.reset();
    }
    manager.reset();
}

void SndAudioManager::setRetrySleep(std::function<void(double)> sleep) {
    std::lock_guard<std::recursive_mutex> lock(gClassMutex);
    gRetrySleep = std::move(sleep);
}

namespace {
// Ends the shared manager and returns the class to its first state.
[[maybe_unused]] const bool gRegistered =
    (foundation::registerResetter("sound.audioManager", foundation::ResetPhase::SharedObject,
                                  [] {
                                      SndAudioManager::end();
                                      std::lock_guard<std::recursive_mutex> lock(gClassMutex);
                                      gManagerState = SndAudioManager::kSndManagerUninitialised;
                                      gConfigured = false;
                                      gConfiguredMode = SndAudioManager::kSndModeMusicIfNoOtherAudio;
                                      gRetrySleep = nullptr;
                                  }),
     true);
}  // namespace

// Audio manager ------------------------------------------------------------

SndAudioManager::SndAudioManager(int mode) {
    audio::AudioSession::sharedInstance().setDelegate(this);
    mode_ = mode;
    setMode(mode);
    soundEngine_ = SndSoundEngine::create();
    audioSourceChannels_.push_back(std::make_shared<SndLongAudioSource>());
    audioSourceChannels_.push_back(std::make_shared<SndLongAudioSource>());
    audioSourceChannels_[0]->setBackgroundMusic(true);
    audioSourceChannels_[1]->setBackgroundMusic(false);
    backgroundMusic_ = audioSourceChannels_[0];
    backgroundMusic_->setDelegate(this);
    foundation::NotificationCenter::defaultCenter().addObserver(
        this, kSndN_BadAlContext, [this](const foundation::Notification&) { badAlContextHandler(); });
}

SndAudioManager::~SndAudioManager() {
    stopBackgroundMusic();
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    auto& session = audio::AudioSession::sharedInstance();
    if (session.delegate() == this) session.setDelegate(nullptr);
    audioSessionSetActive(false);
    // The players' OpenAL objects live on the engine's context: they go first.
    backgroundMusic_.reset();
    audioSourceChannels_.clear();
    soundEngine_.reset();
}

void SndAudioManager::setMode(int mode) {
    mode_ = mode;
    std::string category;
    switch (mode) {
        case kSndModeEffectsOnly:
            category = audio::kCategoryAmbient;
            willPlayBackgroundMusic_ = false;
            break;
        case kSndModeEffectsAndMusic:
            category = audio::kCategorySoloAmbient;
            willPlayBackgroundMusic_ = true;
            break;
        case kSndModePlayback:
            category = audio::kCategoryPlayback;
            willPlayBackgroundMusic_ = true;
            break;
        case kSndModePlayAndRecord:
            category = audio::kCategoryPlayAndRecord;
            willPlayBackgroundMusic_ = true;
            break;
        default:
            // Music only when no other app plays audio; then share the output.
            if (isOtherAudioPlaying()) {
                category = audio::kCategoryAmbient;
                willPlayBackgroundMusic_ = false;
            } else {
                category = audio::kCategorySoloAmbient;
                willPlayBackgroundMusic_ = true;
            }
            break;
    }
    audioSessionCategory_ = category;
    audioSessionSetCategory(category);
}

bool SndAudioManager::isOtherAudioPlaying() const {
    return audio::AudioSession::sharedInstance().isOtherAudioPlaying();
}

bool SndAudioManager::isDeviceMuted() const {
    auto route = audio::AudioSession::sharedInstance().route();
    return !route || route->empty();
}

bool SndAudioManager::audioSessionSetActive(bool active) {
    return audio::AudioSession::sharedInstance().setActive(active);
}

bool SndAudioManager::audioSessionSetCategory(const std::string& category) {
    return audio::AudioSession::sharedInstance().setCategory(category);
}

std::shared_ptr<SndLongAudioSource> SndAudioManager::audioSourceForChannel(int channel) const {
    if (channel < 0 || channel >= int(audioSourceChannels_.size())) return nullptr;
    return audioSourceChannels_[size_t(channel)];
}

std::shared_ptr<SndLongAudioSource> SndAudioManager::audioSourceLoad(const std::string& path, int channel) {
    auto source = audioSourceForChannel(channel);
    if (source) source->load(path);
    return source;
}

void SndAudioManager::preloadBackgroundMusic(const std::string& path) { backgroundMusic_->load(path); }

void SndAudioManager::playBackgroundMusic(const std::string& path, bool loop) {
    backgroundMusic_->load(path);
    backgroundMusic_->setNumberOfLoops(loop ? -1 : 0);
    if (willPlayBackgroundMusic_ && !mute_) backgroundMusic_->play();
}

void SndAudioManager::stopBackgroundMusic() { backgroundMusic_->stop(); }
void SndAudioManager::pauseBackgroundMusic() { backgroundMusic_->pause(); }
void SndAudioManager::rewindBackgroundMusic() { backgroundMusic_->rewind(); }

void SndAudioManager::resumeBackgroundMusic() {
    if (willPlayBackgroundMusic_ && !mute_) backgroundMusic_->resume();
}

bool SndAudioManager::isBackgroundMusicPlaying() const { return backgroundMusic_->isPlaying(); }

void SndAudioManager::setBackgroundMusicCompletionListener(std::function<void()> listener) {
    backgroundMusicCompletionListener_ = std::move(listener);
}

void SndAudioManager::cdAudioSourceDidFinishPlaying(SndLongAudioSource*) {
    if (backgroundMusicCompletionListener_) backgroundMusicCompletionListener_();
}

void SndAudioManager::setMute(bool mute) {
    if (mute == mute_) return;
    mute_ = mute;
    soundEngine_->setMute(mute);
    for (auto& c : audioSourceChannels_) c->setMute(mute);
}

void SndAudioManager::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    soundEngine_->setEnabled(enabled);
    for (auto& c : audioSourceChannels_) c->setEnabled(enabled);
}

// Application and session events -----------------------------------------

void SndAudioManager::setResignBehavior(int behavior, bool autoHandle) {
    if (!isObservingAppEvents_ && autoHandle) {
        auto& center = foundation::NotificationCenter::defaultCenter();
        center.addObserver(this, kSndAppWillResignActiveNotification,
                           [this](const foundation::Notification&) { applicationWillResignActive(); });
        center.addObserver(this, kSndAppDidBecomeActiveNotification,
                           [this](const foundation::Notification&) { applicationDidBecomeActive(); });
        center.addObserver(this, kSndAppWillTerminateNotification,
                           [this](const foundation::Notification&) { applicationWillTerminate(); });
        isObservingAppEvents_ = true;
    }
    resignBehavior_ = behavior;
}

void SndAudioManager::applicationWillResignActive() {
    resigned_ = true;
    // Other apps' audio is not cut off while this one is in the background.
    audioSessionSetCategory(audio::kCategoryAmbient);
    audioSessionCategory_ = audio::kCategoryAmbient;
    switch (resignBehavior_) {
        case kSndResignStop:
            for (auto& c : audioSourceChannels_) c->stop();
            break;
        case kSndResignStopAndResume:
            for (auto& c : audioSourceChannels_) {
                c->setSystemPaused(c->isPlaying());
                c->stop();
            }
            break;
        default:
            break;
    }
}

void SndAudioManager::applicationDidBecomeActive() {
    if (!resigned_) return;
    resigned_ = false;
    setMode(mode_);
    if (resignBehavior_ == kSndResignStopAndResume && willPlayBackgroundMusic_) {
        for (auto& c : audioSourceChannels_) {
            if (c->systemPaused()) {
                c->resume();
                c->setSystemPaused(false);
            }
        }
    }
}

void SndAudioManager::applicationWillTerminate() { stopBackgroundMusic(); }

void SndAudioManager::audioSessionInterrupted() {
    if (interrupted_) return;
    interrupted_ = true;
    audioSessionSetActive(false);
    if (alcGetCurrentContext()) {
        alcMakeContextCurrent(nullptr);
        alGetError();
    }
}

void SndAudioManager::audioSessionResumed() {
    if (!interrupted_) return;
    interrupted_ = false;
    bool active = audioSessionSetActive(true);
    for (int attempt = 0; !active && attempt < kResumeRetries; ++attempt) {
        retrySleep(kResumeRetryDelay);
        active = audioSessionSetActive(true);
    }
    if (!alcGetCurrentContext() && soundEngine_->openALContext()) {
        alcMakeContextCurrent(soundEngine_->openALContext());
        alGetError();
    }
}

void SndAudioManager::badAlContextHandler() {
    if (interrupted_ && !alcGetCurrentContext()) audioSessionResumed();
}
