#pragma once
// Lasting control of one source of the sound engine, and a fan-out of mute
// and enable switches to a set of targets.

#include <AL/al.h>

#include <memory>
#include <vector>

#include "lib/sound/SndProtocols.h"

class SndSoundEngine;

// One OpenAL source of the engine, locked for its owner from creation to
// destruction so round-robin play never takes it. Made by
// SndSoundEngine::soundSourceForSound.
class SndSoundSource : public SndAudioTransportProtocol, public SndAudioInterruptProtocol {
public:
    SndSoundSource(ALuint sourceId, unsigned sourceIndex, std::weak_ptr<SndSoundEngine> engine);
    ~SndSoundSource() override;
    SndSoundSource(const SndSoundSource&) = delete;
    SndSoundSource& operator=(const SndSoundSource&) = delete;

    // False when disabled or when OpenAL reported an error.
    bool play() override;
    bool pause() override;
    bool stop() override;
    bool rewind() override;

    float pitch();
    void setPitch(float pitch);
    // The remembered gain while muted.
    float gain();
    void setGain(float gain);
    float pan();
    void setPan(float pan);
    bool looping();
    void setLooping(bool looping);
    bool isPlaying();

    int soundId() const { return soundId_; }
    // Attaches another loaded sound.
    void setSoundId(int soundId);
    float durationInSeconds() const;

    bool mute() const override { return mute_; }
    void setMute(bool mute) override;
    bool enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override;

    int lastError() const { return lastError_; }
    ALuint sourceId() const { return sourceId_; }
    unsigned sourceIndex() const { return sourceIndex_; }

private:
    friend class SndSoundEngine;
    int lastError_ = AL_NO_ERROR;
    ALuint sourceId_;
    unsigned sourceIndex_;
    std::weak_ptr<SndSoundEngine> engine_;
    int soundId_ = -1;
    float preMuteGain_ = 1.0f;
    bool enabled_ = true;
    bool mute_ = false;
};

// Passes mute and enable on to every target, in the order they were added.
class SndAudioInterruptTargetGroup : public SndAudioInterruptProtocol {
public:
    SndAudioInterruptTargetGroup();
    // The target takes the group's current mute and enabled values first.
    void addAudioInterruptTarget(std::shared_ptr<SndAudioInterruptProtocol> target);
    // Removes that very object.
    void removeAudioInterruptTarget(const SndAudioInterruptProtocol* target);
    size_t targetCount() const { return children_.size(); }

    bool mute() const override { return mute_; }
    void setMute(bool mute) override;
    bool enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override;

private:
    std::vector<std::shared_ptr<SndAudioInterruptProtocol>> children_;
    bool enabled_ = true;
    bool mute_ = false;
};
