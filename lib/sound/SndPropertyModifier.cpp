#include "lib/sound/SndPropertyModifier.h"

#include <cmath>

float SndFloatInterpolator::interpolate(float t) const {
    if (t >= 1.0f || std::isnan(t)) return end_;
    const float s = start_, e = end_;
    switch (type_) {
        case kSndInterpolationLinear:
            return (e - s) * t + s;
        case kSndInterpolationSCurve: {
            const double f = double(t) * double(t) * (3.0 - 2.0 * double(t));
            return float((e - s) * f + s);
        }
        case kSndInterpolationExponential: {
            float f;
            if (e > s) {
                f = t == 0.0f ? 0.0f : std::exp2(10.0f * (t - 1.0f)) - 0.001f;
            } else {
                f = 1.0f - std::exp2(-10.0f * t);
            }
            return (e - s) * f + s;
        }
        default:
            return 0.0f;
    }
}

SndPropertyModifier::SndPropertyModifier(std::shared_ptr<void> target, int interpolationType, float startVal,
                                         float endVal)
    : interpolator_(interpolationType, startVal, endVal),
      startValue_(startVal),
      endValue_(endVal),
      target_(std::move(target)) {}

void SndPropertyModifier::setStartValue(float v) {
    startValue_ = v;
    interpolator_.setStart(v);
}

void SndPropertyModifier::setEndValue(float v) {
    endValue_ = v;
    interpolator_.setEnd(v);
}

void SndPropertyModifier::modify(float t) {
    if (t < 1.0f) {
        _setTargetProperty(interpolator_.interpolate(t));
    } else {
        _setTargetProperty(endValue_);
        if (stopTargetWhenComplete_) _stopTarget();
    }
}
