#include "lib/sound/SndSoundSource.h"

#include <AL/alc.h>

#include <algorithm>

#include "lib/sound/SndSoundEngine.h"
#include "platform/foundation/NotificationCenter.h"

SndSoundSource::SndSoundSource(ALuint sourceId, unsigned sourceIndex, std::weak_ptr<SndSoundEngine> engine)
    : sourceId_(sourceId), sourceIndex_(sourceIndex), engine_(std::move(engine)) {
    preMuteGain_ = gain();
}

SndSoundSource::~SndSoundSource() {
    if (auto engine = engine_.lock()) engine->soundSourcePreRelease(this);
}

bool SndSoundSource::play() {
    if (!enabled_) return false;
    alSourcePlay(sourceId_);
    lastError_ = alGetError();
    if (lastError_ != AL_NO_ERROR) {
        if (!alcGetCurrentContext()) foundation::NotificationCenter::defaultCenter().post(kSndN_BadAlContext);
        return false;
    }
    return true;
}

bool SndSoundSource::pause() {
    alSourcePause(sourceId_);
    lastError_ = alGetError();
    return lastError_ == AL_NO_ERROR;
}

bool SndSoundSource::stop() {
    alSourceStop(sourceId_);
    lastError_ = alGetError();
    return lastError_ == AL_NO_ERROR;
}

bool SndSoundSource::rewind() {
    alSourceRewind(sourceId_);
    lastError_ = alGetError();
    return lastError_ == AL_NO_ERROR;
}

float SndSoundSource::pitch() {
    ALfloat v = 0;
    alGetSourcef(sourceId_, AL_PITCH, &v);
    lastError_ = alGetError();
    return v;
}

void SndSoundSource::setPitch(float pitch) {
    alSourcef(sourceId_, AL_PITCH, pitch);
    lastError_ = alGetError();
}

float SndSoundSource::gain() {
    if (mute_) return preMuteGain_;
    ALfloat v = 0;
    alGetSourcef(sourceId_, AL_GAIN, &v);
    lastError_ = alGetError();
    return v;
}

void SndSoundSource::setGain(float gain) {
    if (mute_) {
        preMuteGain_ = gain;
        return;
    }
    alSourcef(sourceId_, AL_GAIN, gain);
    lastError_ = alGetError();
}

float SndSoundSource::pan() {
    ALfloat x = 0, y = 0, z = 0;
    alGetSource3f(sourceId_, AL_POSITION, &x, &y, &z);
    lastError_ = alGetError();
    return x;
}

void SndSoundSource::setPan(float pan) {
    alSource3f(sourceId_, AL_POSITION, pan, 0.0f, 0.0f);
    lastError_ = alGetError();
}

bool SndSoundSource::looping() {
    ALint v = AL_FALSE;
    alGetSourcei(sourceId_, AL_LOOPING, &v);
    lastError_ = alGetError();
    return v == AL_TRUE;
}

void SndSoundSource::setLooping(bool looping) {
    alSourcei(sourceId_, AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
    lastError_ = alGetError();
}

bool SndSoundSource::isPlaying() {
    ALint state = AL_INITIAL;
    alGetSourcei(sourceId_, AL_SOURCE_STATE, &state);
    lastError_ = alGetError();
    return state == AL_PLAYING;
}

void SndSoundSource::setSoundId(int soundId) {
    if (auto engine = engine_.lock()) engine->attachSourceToBuffer(this, soundId);
}

float SndSoundSource::durationInSeconds() const {
    auto engine = engine_.lock();
    return engine ? engine->bufferDurationInSeconds(soundId_) : -1.0f;
}

void SndSoundSource::setMute(bool mute) {
    if (mute == mute_) return;
    if (mute) {
        preMuteGain_ = gain();
        setGain(0.0f);
        mute_ = true;
    } else {
        mute_ = false;
        setGain(preMuteGain_);
    }
}

void SndSoundSource::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (!enabled) stop();
}

SndAudioInterruptTargetGroup::SndAudioInterruptTargetGroup() { children_.reserve(32); }

void SndAudioInterruptTargetGroup::addAudioInterruptTarget(std::shared_ptr<SndAudioInterruptProtocol> target) {
    if (!target) return;
    target->setMute(mute_);
    target->setEnabled(enabled_);
    children_.push_back(std::move(target));
}

void SndAudioInterruptTargetGroup::removeAudioInterruptTarget(const SndAudioInterruptProtocol* target) {
    auto it = std::find_if(children_.begin(), children_.end(), [&](const auto& c) { return c.get() == target; });
    if (it != children_.end()) children_.erase(it);
}

void SndAudioInterruptTargetGroup::setMute(bool mute) {
    if (mute == mute_) return;
    mute_ = mute;
    for (auto& c : children_) c->setMute(mute);
}

void SndAudioInterruptTargetGroup::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    for (auto& c : children_) c->setEnabled(enabled);
}
