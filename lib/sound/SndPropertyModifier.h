#pragma once
// Fades, pans and pitch bends driven from outside: the caller moves a
// normalised time t from 0 to 1 and calls modify(t); the modifier maps t
// through a curve from a start to an end value and writes the result into one
// property of its target.

#include <memory>

#include "lib/sound/SndAudioManager.h"
#include "lib/sound/SndSoundEngine.h"
#include "lib/sound/SndSoundSource.h"

class SndFloatInterpolator {
public:
    // Curves.
    enum Type { kSndInterpolationLinear = 0, kSndInterpolationSCurve = 1, kSndInterpolationExponential = 2 };

    SndFloatInterpolator(int type, float startVal, float endVal) : start_(startVal), end_(endVal), type_(type) {}
    // The value at t; the end value from t = 1 on (and for a t that is not a number).
    float interpolate(float t) const;

    float start() const { return start_; }
    void setStart(float v) { start_ = v; }
    float end() const { return end_; }
    void setEnd(float v) { end_ = v; }
    int interpolationType() const { return type_; }
    void setInterpolationType(int type) { type_ = type; }

private:
    float start_;
    float end_;
    int type_;
};

// The base modifier: its target has no property, so it sets nothing and
// reads 0. The subclasses below only override the hooks.
class SndPropertyModifier {
public:
    SndPropertyModifier(std::shared_ptr<void> target, int interpolationType, float startVal, float endVal);
    virtual ~SndPropertyModifier() = default;

    // Below 1: the curve's value at t; from 1 on: the end value, and the
    // target stopped when stopTargetWhenComplete() is set.
    void modify(float t);

    float startValue() const { return startValue_; }
    void setStartValue(float v);
    float endValue() const { return endValue_; }
    void setEndValue(float v);
    int interpolationType() const { return interpolator_.interpolationType(); }
    void setInterpolationType(int type) { interpolator_.setInterpolationType(type); }
    bool stopTargetWhenComplete() const { return stopTargetWhenComplete_; }
    void setStopTargetWhenComplete(bool stop) { stopTargetWhenComplete_ = stop; }

    const SndFloatInterpolator& interpolator() const { return interpolator_; }
    // The property's current value on the target.
    virtual float targetProperty() { return _getTargetProperty(); }

protected:
    virtual void _setTargetProperty(float value) { (void)value; }
    virtual float _getTargetProperty() { return 0.0f; }
    virtual void _stopTarget() {}

private:
    SndFloatInterpolator interpolator_;
    float startValue_;
    float endValue_;
    std::shared_ptr<void> target_;  // kept alive as long as the modifier
    bool stopTargetWhenComplete_ = false;
};

// A modifier of one float property of a target of class T.
template <typename T>
class SndTypedPropertyModifier : public SndPropertyModifier {
public:
    SndTypedPropertyModifier(std::shared_ptr<T> target, int type, float startVal, float endVal)
        : SndPropertyModifier(target, type, startVal, endVal), typed_(target.get()) {}

protected:
    // A modifier made without a target changes nothing.
    void _setTargetProperty(float v) final {
        if (typed_) set(*typed_, v);
    }
    float _getTargetProperty() final { return typed_ ? get(*typed_) : 0.0f; }
    void _stopTarget() final {
        if (typed_) stopTarget(*typed_);
    }
    virtual void set(T& target, float v) = 0;
    virtual float get(T& target) = 0;
    virtual void stopTarget(T& target) = 0;

private:
    T* typed_;
};

// The gain of a sound source; stopping stops the source.
class SndSoundSourceFader : public SndTypedPropertyModifier<SndSoundSource> {
public:
    using SndTypedPropertyModifier::SndTypedPropertyModifier;

protected:
    void set(SndSoundSource& t, float v) override { t.setGain(v); }
    float get(SndSoundSource& t) override { return t.gain(); }
    void stopTarget(SndSoundSource& t) override { t.stop(); }
};

// The pan of a sound source.
class SndSoundSourcePanner : public SndTypedPropertyModifier<SndSoundSource> {
public:
    using SndTypedPropertyModifier::SndTypedPropertyModifier;

protected:
    void set(SndSoundSource& t, float v) override { t.setPan(v); }
    float get(SndSoundSource& t) override { return t.pan(); }
    void stopTarget(SndSoundSource& t) override { t.stop(); }
};

// The pitch of a sound source.
class SndSoundSourcePitchBender : public SndTypedPropertyModifier<SndSoundSource> {
public:
    using SndTypedPropertyModifier::SndTypedPropertyModifier;

protected:
    void set(SndSoundSource& t, float v) override { t.setPitch(v); }
    float get(SndSoundSource& t) override { return t.pitch(); }
    void stopTarget(SndSoundSource& t) override { t.stop(); }
};

// The master gain of the engine; stopping stops every sound.
class SndSoundEngineFader : public SndTypedPropertyModifier<SndSoundEngine> {
public:
    using SndTypedPropertyModifier::SndTypedPropertyModifier;

protected:
    void set(SndSoundEngine& t, float v) override { t.setMasterGain(v); }
    float get(SndSoundEngine& t) override { return t.masterGain(); }
    void stopTarget(SndSoundEngine& t) override { t.stopAllSounds(); }
};

// The volume of a long audio source; stopping pauses it.
class SndLongAudioSourceFader : public SndTypedPropertyModifier<SndLongAudioSource> {
public:
    using SndTypedPropertyModifier::SndTypedPropertyModifier;

protected:
    void set(SndLongAudioSource& t, float v) override { t.setVolume(v); }
    float get(SndLongAudioSource& t) override { return t.volume(); }
    void stopTarget(SndLongAudioSource& t) override { t.pause(); }
};
