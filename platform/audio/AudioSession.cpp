#include "platform/audio/AudioSession.h"

#include <algorithm>

#include "platform/foundation/Resetters.h"

namespace audio {

AudioSession& AudioSession::sharedInstance() {
    static AudioSession session;
    // After the sound objects that still talk to it while they go.
    static const bool registered =
        (foundation::registerResetter("audio.session", foundation::ResetPhase::Service, [] { session.reset(); }), true);
    (void)registered;
    return session;
}

AudioSession::AudioSession() { reset(); }

void AudioSession::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    category_ = kCategoryAmbient;
    active_ = false;
    interrupted_ = false;
    delegate_ = nullptr;
    listeners_.clear();
    otherAudio_ = false;
    route_ = "Speaker";
    refusals_ = 0;
}

bool AudioSession::setCategory(const std::string& category, foundation::ErrorRef* error) {
    static const char* const known[] = {kCategoryAmbient, kCategorySoloAmbient, kCategoryPlayback,
                                        kCategoryPlayAndRecord};
    for (const char* k : known) {
        if (category == k) {
            std::lock_guard<std::mutex> lock(mutex_);
            category_ = category;
            return true;
        }
    }
    if (error)
        *error = foundation::Error::make(kAudioErrorDomain, kAudioUnknownCategory,
                                         "unknown audio session category: " + category);
    return false;
}

std::string AudioSession::category() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return category_;
}

bool AudioSession::setActive(bool active, foundation::ErrorRef* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (active && refusals_ > 0) {
        --refusals_;
        if (error)
            *error = foundation::Error::make(kAudioErrorDomain, kAudioActivationRefused,
                                             "the audio session could not be activated");
        return false;
    }
    active_ = active;
    return true;
}

bool AudioSession::isActive() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

void AudioSession::setDelegate(AudioSessionDelegate* delegate) {
    std::lock_guard<std::mutex> lock(mutex_);
    delegate_ = delegate;
}

AudioSessionDelegate* AudioSession::delegate() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return delegate_;
}

void AudioSession::addInterruptionListener(AudioInterruptionListener* listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void AudioSession::removeInterruptionListener(AudioInterruptionListener* listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

bool AudioSession::isOtherAudioPlaying() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return otherAudio_;
}

std::optional<std::string> AudioSession::route() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return route_;
}

void AudioSession::setOtherAudioPlaying(bool playing) {
    std::lock_guard<std::mutex> lock(mutex_);
    otherAudio_ = playing;
}

void AudioSession::setRoute(std::optional<std::string> route) {
    std::lock_guard<std::mutex> lock(mutex_);
    route_ = std::move(route);
}

void AudioSession::refuseActivations(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    refusals_ = std::max(0, count);
}

bool AudioSession::isInterrupted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return interrupted_;
}

void AudioSession::beginInterruption() {
    std::vector<AudioInterruptionListener*> listeners;
    AudioSessionDelegate* delegate;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
        listeners = listeners_;
        delegate = delegate_;
    }
    for (auto* l : listeners) l->sessionInterruptionBegan();
    if (delegate) delegate->beginInterruption();
}

void AudioSession::endInterruption() {
    std::vector<AudioInterruptionListener*> listeners;
    AudioSessionDelegate* delegate;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = false;
        listeners = listeners_;
        delegate = delegate_;
    }
    // The session's owner reactivates the session before players resume.
    if (delegate) delegate->endInterruption();
    for (auto* l : listeners) l->sessionInterruptionEnded();
}

}  // namespace audio
