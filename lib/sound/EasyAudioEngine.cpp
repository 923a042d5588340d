#include "lib/sound/EasyAudioEngine.h"

#include <mutex>

#include "platform/foundation/Resetters.h"

namespace {
std::recursive_mutex gFacadeMutex;
std::unique_ptr<EasyAudioEngine> gSharedEngine;
[[maybe_unused]] const bool gRegistered =
    (foundation::registerResetter("sound.easyAudioEngine", foundation::ResetPhase::SharedObject,
                                  [] { EasyAudioEngine::end(); }),
     true);
}  // namespace

int SndBufferManager::bufferForFile(const std::string& filePath, bool create) {
    if (auto it = loadedBuffers_.find(filePath); it != loadedBuffers_.end()) return it->second;
    if (!create) return -1;
    int soundId;
    if (!freedBuffers_.empty()) {
        soundId = freedBuffers_.back();
        freedBuffers_.pop_back();
    } else {
        soundId = nextBufferId_++;
    }
    if (soundEngine_ && soundEngine_->loadBuffer(soundId, filePath)) {
        loadedBuffers_[filePath] = soundId;
        return soundId;
    }
    freedBuffers_.push_back(soundId);
    return -1;
}

void SndBufferManager::releaseBufferForFile(const std::string& filePath) {
    const int soundId = bufferForFile(filePath, false);
    if (soundId == -1) return;
    soundEngine_->unloadBuffer(soundId);
    loadedBuffers_.erase(filePath);
    freedBuffers_.push_back(soundId);
}

EasyAudioEngine& EasyAudioEngine::sharedEngine() {
    std::lock_guard<std::recursive_mutex> lock(gFacadeMutex);
    if (!gSharedEngine) gSharedEngine.reset(new EasyAudioEngine);
    return *gSharedEngine;
}

void EasyAudioEngine::end() {
    std::lock_guard<std::recursive_mutex> lock(gFacadeMutex);
    if (gSharedEngine) {
        gSharedEngine->audioManager_.reset();
        SndAudioManager::end();
        gSharedEngine->bufferManager_.reset();
    }
    gSharedEngine.reset();
}

EasyAudioEngine::EasyAudioEngine()
    : audioManager_(SndAudioManager::sharedManager()),
      soundEngine_(audioManager_->soundEngine()),
      bufferManager_(std::make_unique<SndBufferManager>(soundEngine_.get())) {}

EasyAudioEngine::~EasyAudioEngine() {
    bufferManager_.reset();
    soundEngine_.reset();
    audioManager_.reset();
}

void EasyAudioEngine::preloadBackgroundMusic(const std::string& filePath) {
    audioManager_->preloadBackgroundMusic(filePath);
}

void EasyAudioEngine::playBackgroundMusic(const std::string& filePath) { playBackgroundMusic(filePath, true); }

void EasyAudioEngine::playBackgroundMusic(const std::string& filePath, bool loop) {
    audioManager_->playBackgroundMusic(filePath, loop);
}

void EasyAudioEngine::stopBackgroundMusic() { audioManager_->stopBackgroundMusic(); }
void EasyAudioEngine::pauseBackgroundMusic() { audioManager_->pauseBackgroundMusic(); }
void EasyAudioEngine::resumeBackgroundMusic() { audioManager_->resumeBackgroundMusic(); }
void EasyAudioEngine::rewindBackgroundMusic() { audioManager_->rewindBackgroundMusic(); }
bool EasyAudioEngine::isBackgroundMusicPlaying() const { return audioManager_->isBackgroundMusicPlaying(); }
bool EasyAudioEngine::willPlayBackgroundMusic() const { return audioManager_->willPlayBackgroundMusic(); }

ALuint EasyAudioEngine::playEffect(const std::string& filePath) { return playEffect(filePath, 1.0f, 0.0f, 1.0f); }

ALuint EasyAudioEngine::playEffect(const std::string& filePath, float pitch, float pan, float gain) {
    const int soundId = bufferManager_->bufferForFile(filePath, true);
    if (soundId == -1) return kSndSoundMuted;
    return soundEngine_->playSound(soundId, 0, pitch, pan, gain, false);
}

void EasyAudioEngine::stopEffect(ALuint sourceName) { soundEngine_->stopSound(sourceName); }

void EasyAudioEngine::preloadEffect(const std::string& filePath) { bufferManager_->bufferForFile(filePath, true); }

void EasyAudioEngine::unloadEffect(const std::string& filePath) { bufferManager_->releaseBufferForFile(filePath); }

std::shared_ptr<SndSoundSource> EasyAudioEngine::soundSourceForFile(const std::string& filePath) {
    const int soundId = bufferManager_->bufferForFile(filePath, true);
    if (soundId == -1) return nullptr;
    return soundEngine_->soundSourceForSound(soundId, 0);
}

void EasyAudioEngine::setMute(bool mute) {
    if (mute == mute_) return;
    mute_ = mute;
    audioManager_->setMute(mute);
}

void EasyAudioEngine::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    audioManager_->setEnabled(enabled);
}

float EasyAudioEngine::backgroundMusicVolume() const { return audioManager_->backgroundMusic()->volume(); }

void EasyAudioEngine::setBackgroundMusicVolume(float volume) { audioManager_->backgroundMusic()->setVolume(volume); }

float EasyAudioEngine::effectsVolume() const { return soundEngine_->masterGain(); }

void EasyAudioEngine::setEffectsVolume(float volume) { soundEngine_->setMasterGain(volume); }
