#pragma once
// Easing: an ease wraps one timed action and hands it f(t) instead of the
// progress t, changing how it accelerates but not where it starts and ends
// (the elastic and back curves overshoot in between).

#include <memory>

#include "lib/engine2d/actions/GxActionInterval.h"

namespace engine2d {

class GxActionEase : public GxActionInterval {
public:
    static std::shared_ptr<GxActionEase> actionWithAction(GxActionIntervalRef action);
    explicit GxActionEase(GxActionIntervalRef action);
    const char* className() const override { return "GxActionEase"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void stop() override;
    void update(float t) override;
    // The same curve over the inner action's reverse, unless a curve says
    // otherwise; nullptr when the inner action has no reverse.
    GxFiniteTimeActionRef reverse() const override;
    // The curve; the plain ease passes the progress on unchanged.
    virtual float curve(float t) { return t; }
    const GxActionIntervalRef& innerAction() const { return other_; }

protected:
    // A new ease of the receiving class with the same settings over `inner`.
    virtual std::shared_ptr<GxActionEase> withInner(GxActionIntervalRef inner) const;
    GxActionIntervalRef innerReverse() const;
    GxActionIntervalRef other_;
};

class GxEaseRateAction : public GxActionEase {
public:
    GxEaseRateAction(GxActionIntervalRef action, float rate) : GxActionEase(std::move(action)), rate_(rate) {}
    const char* className() const override { return "GxEaseRateAction"; }
    // The same class over the inner reverse, with rate 1 / rate.
    GxFiniteTimeActionRef reverse() const override;
    float rate() const { return rate_; }
    void setRate(float r) { rate_ = r; }

protected:
    float rate_;
};

#define GX_EASE_RATE(Name, ReverseSameRate)                                                     \
    class Name : public GxEaseRateAction {                                                      \
    public:                                                                                     \
        static std::shared_ptr<Name> actionWithAction(GxActionIntervalRef action, float rate) { \
            return action ? std::make_shared<Name>(std::move(action), rate) : nullptr;          \
        }                                                                                       \
        using GxEaseRateAction::GxEaseRateAction;                                               \
        const char* className() const override { return #Name; }                                \
        float curve(float t) override;                                                          \
        GxFiniteTimeActionRef reverse() const override {                                        \
            return ReverseSameRate ? GxActionEase::reverse() : GxEaseRateAction::reverse();     \
        }                                                                                       \
                                                                                                \
    protected:                                                                                  \
        std::shared_ptr<GxActionEase> withInner(GxActionIntervalRef inner) const override {     \
            return std::make_shared<Name>(std::move(inner), rate_);                             \
        }                                                                                       \
    };

GX_EASE_RATE(GxEaseIn, false)
GX_EASE_RATE(GxEaseOut, false)
GX_EASE_RATE(GxEaseInOut, true)
#undef GX_EASE_RATE

// Curves without settings. `Reverse` names the class of the reverse; an
// in-out curve reverses to itself.
#define GX_EASE_PLAIN(Name, Base)                                                           \
    class Name : public Base {                                                              \
    public:                                                                                 \
        static std::shared_ptr<Name> actionWithAction(GxActionIntervalRef action) {         \
            return action ? std::make_shared<Name>(std::move(action)) : nullptr;            \
        }                                                                                   \
        using Base::Base;                                                                   \
        const char* className() const override { return #Name; }                            \
        float curve(float t) override;                                                      \
        GxFiniteTimeActionRef reverse() const override;                                     \
                                                                                            \
    protected:                                                                              \
        std::shared_ptr<GxActionEase> withInner(GxActionIntervalRef inner) const override { \
            return std::make_shared<Name>(std::move(inner));                                \
        }                                                                                   \
    };

GX_EASE_PLAIN(GxEaseExponentialIn, GxActionEase)
GX_EASE_PLAIN(GxEaseExponentialOut, GxActionEase)
GX_EASE_PLAIN(GxEaseExponentialInOut, GxActionEase)
GX_EASE_PLAIN(GxEaseSineIn, GxActionEase)
GX_EASE_PLAIN(GxEaseSineOut, GxActionEase)
GX_EASE_PLAIN(GxEaseSineInOut, GxActionEase)
GX_EASE_PLAIN(GxEaseBackIn, GxActionEase)
GX_EASE_PLAIN(GxEaseBackOut, GxActionEase)
GX_EASE_PLAIN(GxEaseBackInOut, GxActionEase)

class GxEaseBounce : public GxActionEase {
public:
    using GxActionEase::GxActionEase;
    const char* className() const override { return "GxEaseBounce"; }
    static float bounceTime(float t);

protected:
    std::shared_ptr<GxActionEase> withInner(GxActionIntervalRef inner) const override {
        return std::make_shared<GxEaseBounce>(std::move(inner));
    }
};

GX_EASE_PLAIN(GxEaseBounceIn, GxEaseBounce)
GX_EASE_PLAIN(GxEaseBounceOut, GxEaseBounce)
GX_EASE_PLAIN(GxEaseBounceInOut, GxEaseBounce)
#undef GX_EASE_PLAIN

constexpr float kGxEaseElasticDefaultPeriod = 0.3f;

class GxEaseElastic : public GxActionEase {
public:
    static std::shared_ptr<GxEaseElastic> actionWithAction(GxActionIntervalRef action,
                                                           float period = kGxEaseElasticDefaultPeriod) {
        return action ? std::make_shared<GxEaseElastic>(std::move(action), period) : nullptr;
    }
    GxEaseElastic(GxActionIntervalRef action, float period = kGxEaseElasticDefaultPeriod)
        : GxActionEase(std::move(action)), period_(period) {}
    const char* className() const override { return "GxEaseElastic"; }
    // The plain elastic ease has no reverse.
    GxFiniteTimeActionRef reverse() const override { return nullptr; }
    float period() const { return period_; }
    void setPeriod(float p) { period_ = p; }

protected:
    std::shared_ptr<GxActionEase> withInner(GxActionIntervalRef inner) const override {
        return std::make_shared<GxEaseElastic>(std::move(inner), period_);
    }
    float period_;
};

#define GX_EASE_ELASTIC(Name)                                                                       \
    class Name : public GxEaseElastic {                                                             \
    public:                                                                                         \
        static std::shared_ptr<Name> actionWithAction(GxActionIntervalRef action,                   \
                                                      float period = kGxEaseElasticDefaultPeriod) { \
            return action ? std::make_shared<Name>(std::move(action), period) : nullptr;            \
        }                                                                                           \
        using GxEaseElastic::GxEaseElastic;                                                         \
        const char* className() const override { return #Name; }                                    \
        float curve(float t) override;                                                              \
        GxFiniteTimeActionRef reverse() const override;                                             \
                                                                                                    \
    protected:                                                                                      \
        std::shared_ptr<GxActionEase> withInner(GxActionIntervalRef inner) const override {         \
            return std::make_shared<Name>(std::move(inner), period_);                               \
        }                                                                                           \
    };

GX_EASE_ELASTIC(GxEaseElasticIn)
GX_EASE_ELASTIC(GxEaseElasticOut)
GX_EASE_ELASTIC(GxEaseElasticInOut)
#undef GX_EASE_ELASTIC

}  // namespace engine2d
