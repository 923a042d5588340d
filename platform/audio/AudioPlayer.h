#pragma once
// Plays one sound file (music, spoken words) from memory through OpenAL on
// the context that is current when it first plays. The file is decoded once
// with libsndfile, to 16-bit samples. Made, driven and destroyed on the main
// thread; the end of playback is noticed by a timer on the main run loop and
// reported to the delegate there.

#include <AL/al.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/AudioSession.h"
#include "platform/foundation/RunLoop.h"

namespace audio {

class AudioPlayer;

class AudioPlayerDelegate {
public:
    virtual ~AudioPlayerDelegate() = default;
    virtual void audioPlayerDidFinishPlaying(AudioPlayer* player, bool successfully) {
        (void)player;
        (void)successfully;
    }
    virtual void audioPlayerBeginInterruption(AudioPlayer* player) { (void)player; }
    virtual void audioPlayerEndInterruption(AudioPlayer* player) { (void)player; }
};

class AudioPlayer : private AudioInterruptionListener {
public:
    // nullptr with an error of kAudioErrorDomain in `error` when the file
    // cannot be read or has more than two channels.
    static std::unique_ptr<AudioPlayer> createWithContentsOfFile(const std::string& path,
                                                                 foundation::ErrorRef* error = nullptr);
    ~AudioPlayer() override;
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // Makes the OpenAL buffer and source on the current context; false when
    // no context is current.
    bool prepareToPlay();
    // Plays from the current time; false when it cannot play.
    bool play();
    void pause();
    // Stops playing; the current time stays where it was.
    void stop();
    bool isPlaying() const;

    double duration() const { return duration_; }
    double currentTime() const;
    void setCurrentTime(double seconds);
    float volume() const { return volume_; }
    void setVolume(float volume);
    // -1: loops until stopped; n >= 0: plays n + 1 times. Takes effect at
    // the next start from the beginning.
    int numberOfLoops() const { return loops_; }
    void setNumberOfLoops(int loops);

    void setDelegate(AudioPlayerDelegate* delegate) { delegate_ = delegate; }
    AudioPlayerDelegate* delegate() const { return delegate_; }

    const std::string& path() const { return path_; }
    int channels() const { return channels_; }
    int sampleRate() const { return rate_; }

private:
    AudioPlayer() = default;
    void sessionInterruptionBegan() override;
    void sessionInterruptionEnded() override;
    void queueFromStart();
    void watch();
    void unwatch();
    void check();
    ALint state() const;

    std::string path_;
    std::vector<int16_t> samples_;
    int channels_ = 0;
    int rate_ = 0;
    double duration_ = 0;
    float volume_ = 1.0f;
    int loops_ = 0;
    AudioPlayerDelegate* delegate_ = nullptr;
    ALuint buffer_ = 0;
    ALuint source_ = 0;
    bool prepared_ = false;
    bool playing_ = false;  // we asked it to play and it has not ended
    double pendingTime_ = -1;
    bool interruptedWhilePlaying_ = false;
    foundation::TimerRef timer_;
};

}  // namespace audio
