#include "lib/engine2d/actions/GxActionEase.h"

#include <cmath>

namespace engine2d {

namespace {
constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kTwoPi = kPi * 2;

template <class T>
GxFiniteTimeActionRef over(GxActionIntervalRef inner) {
    return inner ? std::make_shared<T>(std::move(inner)) : nullptr;
}
}  // namespace

// --- base -------------------------------------------------------------------

std::shared_ptr<GxActionEase> GxActionEase::actionWithAction(GxActionIntervalRef action) {
    return action ? std::make_shared<GxActionEase>(std::move(action)) : nullptr;
}

GxActionEase::GxActionEase(GxActionIntervalRef action)
    : GxActionInterval(action ? action->duration() : 0), other_(std::move(action)) {}

std::shared_ptr<GxActionEase> GxActionEase::withInner(GxActionIntervalRef inner) const {
    return std::make_shared<GxActionEase>(std::move(inner));
}

GxActionRef GxActionEase::copy() const { return withInner(gxCopy(other_)); }

void GxActionEase::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    other_->startWithTarget(target);
}

void GxActionEase::stop() {
    other_->stop();
    GxActionInterval::stop();
}

void GxActionEase::update(float t) {
    GxActionIntervalRef inner = other_;
    inner->update(curve(t));
}

GxActionIntervalRef GxActionEase::innerReverse() const {
    return std::dynamic_pointer_cast<GxActionInterval>(other_->reverse());
}

GxFiniteTimeActionRef GxActionEase::reverse() const {
    auto r = innerReverse();
    return r ? withInner(std::move(r)) : nullptr;
}

GxFiniteTimeActionRef GxEaseRateAction::reverse() const {
    auto r = innerReverse();
    if (!r) return nullptr;
    auto e = std::static_pointer_cast<GxEaseRateAction>(withInner(std::move(r)));
    e->setRate(1 / rate_);
    return e;
}

// --- rate -------------------------------------------------------------------

float GxEaseIn::curve(float t) { return std::pow(t, rate_); }
float GxEaseOut::curve(float t) { return std::pow(t, 1 / rate_); }
float GxEaseInOut::curve(float t) {
    t *= 2;
    if (t < 1) return 0.5f * std::pow(t, rate_);
    return 1.0f - 0.5f * std::pow(2 - t, rate_);
}

// --- exponential ------------------------------------------------------------

float GxEaseExponentialIn::curve(float t) { return t == 0 ? 0 : std::exp2(10 * (t - 1)) - 0.001f; }
GxFiniteTimeActionRef GxEaseExponentialIn::reverse() const { return over<GxEaseExponentialOut>(innerReverse()); }

float GxEaseExponentialOut::curve(float t) { return t == 1 ? 1 : 1 - std::exp2(-10 * t); }
GxFiniteTimeActionRef GxEaseExponentialOut::reverse() const { return over<GxEaseExponentialIn>(innerReverse()); }

float GxEaseExponentialInOut::curve(float t) {
    t /= 0.5f;
    if (t < 1) return 0.5f * std::exp2(10 * (t - 1));
    return 0.5f * (-std::exp2(-10 * (t - 1)) + 2);
}
GxFiniteTimeActionRef GxEaseExponentialInOut::reverse() const { return GxActionEase::reverse(); }

// --- sine -------------------------------------------------------------------

float GxEaseSineIn::curve(float t) { return -1 * std::cos(t * kHalfPi) + 1; }
GxFiniteTimeActionRef GxEaseSineIn::reverse() const { return over<GxEaseSineOut>(innerReverse()); }

float GxEaseSineOut::curve(float t) { return std::sin(t * kHalfPi); }
GxFiniteTimeActionRef GxEaseSineOut::reverse() const { return over<GxEaseSineIn>(innerReverse()); }

float GxEaseSineInOut::curve(float t) { return -0.5f * (std::cos(kPi * t) - 1); }
GxFiniteTimeActionRef GxEaseSineInOut::reverse() const { return GxActionEase::reverse(); }

// --- back -------------------------------------------------------------------

float GxEaseBackIn::curve(float t) {
    const float overshoot = 1.70158f, overshootPlusOne = 2.70158f;
    return t * t * (overshootPlusOne * t - overshoot);
}
GxFiniteTimeActionRef GxEaseBackIn::reverse() const { return over<GxEaseBackOut>(innerReverse()); }

float GxEaseBackOut::curve(float t) {
    const float overshoot = 1.70158f, overshootPlusOne = 2.70158f;
    t = t - 1;
    return t * t * (overshootPlusOne * t + overshoot) + 1;
}
GxFiniteTimeActionRef GxEaseBackOut::reverse() const { return over<GxEaseBackIn>(innerReverse()); }

float GxEaseBackInOut::curve(float t) {
    const float overshoot = 2.5949094f, overshootPlusOne = 3.5949094f;
    t = t * 2;
    if (t < 1) return (t * t * (overshootPlusOne * t - overshoot)) / 2;
    t = t - 2;
    return (t * t * (overshootPlusOne * t + overshoot)) / 2 + 1;
}
GxFiniteTimeActionRef GxEaseBackInOut::reverse() const { return GxActionEase::reverse(); }

// --- bounce -----------------------------------------------------------------

float GxEaseBounce::bounceTime(float t) {
    if (double(t) < 1 / 2.75) return 7.5625f * t * t;
    if (double(t) < 2 / 2.75) {
        t -= 1.5f / 2.75f;
        return 7.5625f * t * t + 0.75f;
    }
    if (double(t) < 2.5 / 2.75) {
        t -= 2.25f / 2.75f;
        return 7.5625f * t * t + 0.9375f;
    }
    t -= 2.625f / 2.75f;
    return 7.5625f * t * t + 0.984375f;
}

float GxEaseBounceIn::curve(float t) { return 1 - bounceTime(1 - t); }
GxFiniteTimeActionRef GxEaseBounceIn::reverse() const { return over<GxEaseBounceOut>(innerReverse()); }

float GxEaseBounceOut::curve(float t) { return bounceTime(t); }
GxFiniteTimeActionRef GxEaseBounceOut::reverse() const { return over<GxEaseBounceIn>(innerReverse()); }

float GxEaseBounceInOut::curve(float t) {
    if (t < 0.5f) return (1 - bounceTime(1 - t * 2)) * 0.5f;
    return bounceTime(t * 2 - 1) * 0.5f + 0.5f;
}
GxFiniteTimeActionRef GxEaseBounceInOut::reverse() const { return GxActionEase::reverse(); }

// --- elastic ----------------------------------------------------------------
// A period of 0 would divide by zero: the in and out curves use the default
// period instead, the in-out curve stores its own default (0.45).

namespace {
float usablePeriod(float p) { return p != 0 ? p : kGxEaseElasticDefaultPeriod; }
}  // namespace

float GxEaseElasticIn::curve(float t) {
    if (t == 0 || t == 1) return t;
    float p = usablePeriod(period_);
    float s = p / 4;
    t = t - 1;
    return -std::exp2(10 * t) * std::sin((t - s) * kTwoPi / p);
}
GxFiniteTimeActionRef GxEaseElasticIn::reverse() const {
    auto r = innerReverse();
    return r ? std::make_shared<GxEaseElasticOut>(std::move(r), period_) : nullptr;
}

float GxEaseElasticOut::curve(float t) {
    if (t == 0 || t == 1) return t;
    float p = usablePeriod(period_);
    float s = p / 4;
    return std::exp2(-10 * t) * std::sin((t - s) * kTwoPi / p) + 1;
}
GxFiniteTimeActionRef GxEaseElasticOut::reverse() const {
    auto r = innerReverse();
    return r ? std::make_shared<GxEaseElasticIn>(std::move(r), period_) : nullptr;
}

float GxEaseElasticInOut::curve(float t) {
    if (t == 0 || t == 1) return t;
    if (period_ == 0) period_ = 0.3f * 1.5f;
    float p = period_;
    float s = p / 4;
    t = t * 2 - 1;
    if (t < 0) return -0.5f * std::exp2(10 * t) * std::sin((t - s) * kTwoPi / p);
    return std::exp2(-10 * t) * std::sin((t - s) * kTwoPi / p) * 0.5f + 1;
}
GxFiniteTimeActionRef GxEaseElasticInOut::reverse() const { return GxActionEase::reverse(); }

}  // namespace engine2d
