#pragma once
// The app's audio session: the category that says how the app's sound mixes
// with other audio, whether the session is active, and what the system tells
// the app about other audio, the output route and interruptions (a call).
// On the desktop there is no other app's audio and no call: these facts are
// set by the shell or by tests, and interruptions are delivered through
// beginInterruption()/endInterruption().

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"

namespace audio {

// Categories, from the most polite to the most demanding.
inline constexpr const char* kCategoryAmbient = "Ambient";              // mixes with other audio
inline constexpr const char* kCategorySoloAmbient = "SoloAmbient";      // silences other audio
inline constexpr const char* kCategoryPlayback = "Playback";            // plays on when the screen locks
inline constexpr const char* kCategoryPlayAndRecord = "PlayAndRecord";  // playback and recording

class AudioSessionDelegate {
public:
    virtual ~AudioSessionDelegate() = default;
    virtual void beginInterruption() {}
    virtual void endInterruption() {}
};

// Told of interruptions besides the delegate (the audio players).
class AudioInterruptionListener {
public:
    virtual ~AudioInterruptionListener() = default;
    virtual void sessionInterruptionBegan() = 0;
    virtual void sessionInterruptionEnded() = 0;
};

// Errors of the audio layer (the session and the players).
inline const std::string kAudioErrorDomain = "AudioErrorDomain";
enum AudioErrorCode : int {
    kAudioUnknownCategory = 1,
    kAudioActivationRefused = 2,
    kAudioFileUnreadable = 3,     // cannot be opened or read, or holds no audio
    kAudioFormatUnsupported = 4,  // more than two channels, or too long
};

class AudioSession {
public:
    static AudioSession& sharedInstance();

    // False (with kAudioUnknownCategory in `error`) for an unknown category.
    bool setCategory(const std::string& category, foundation::ErrorRef* error = nullptr);
    std::string category() const;
    // False while refused (see refuseActivations) or during an interruption
    // when asked to become active.
    bool setActive(bool active, foundation::ErrorRef* error = nullptr);
    bool isActive() const;

    void setDelegate(AudioSessionDelegate* delegate);
    AudioSessionDelegate* delegate() const;
    void addInterruptionListener(AudioInterruptionListener* listener);
    void removeInterruptionListener(AudioInterruptionListener* listener);

    // Whether another app plays audio now.
    bool isOtherAudioPlaying() const;
    // The output route ("Speaker", "Headphone", ...); nullopt when the system gives none.
    std::optional<std::string> route() const;

    // What the system reports; set by the shell or tests.
    void setOtherAudioPlaying(bool playing);
    void setRoute(std::optional<std::string> route);
    // The next `count` requests to become active fail.
    void refuseActivations(int count);
    // An interruption begins or ends: the listeners, then the delegate, are told.
    void beginInterruption();
    void endInterruption();
    bool isInterrupted() const;

    // Back to the start state: category Ambient, inactive, no delegate, no
    // other audio, route "Speaker", nothing refused.
    void reset();

private:
    AudioSession();
    mutable std::mutex mutex_;
    std::string category_;
    bool active_ = false;
    bool interrupted_ = false;
    AudioSessionDelegate* delegate_ = nullptr;
    std::vector<AudioInterruptionListener*> listeners_;
    bool otherAudio_ = false;
    std::optional<std::string> route_;
    int refusals_ = 0;
};

}  // namespace audio
