#pragma once
// Actions that run for a fixed time, and the ones that compose other
// actions or only shape time. A timed action turns the frame times it is
// stepped with into a progress from 0 to 1 handed to update(); the first
// step after a start applies progress 0. Composite actions drive their
// children with update() only.
//
// A duration of 0 counts as the single-precision epsilon, so nothing
// divides by zero and a zero-length action is done at its second step.

#include <cfloat>
#include <initializer_list>
#include <memory>
#include <vector>

#include "lib/engine2d/actionmanager/GxAction.h"

namespace engine2d {

class GxAnimation;
class GxSpriteFrame;

constexpr float kGxActionEpsilon = FLT_EPSILON;

class GxActionInterval : public GxFiniteTimeAction {
public:
    static std::shared_ptr<GxActionInterval> actionWithDuration(float d) {
        return std::make_shared<GxActionInterval>(d);
    }
    explicit GxActionInterval(float d) { initWithDuration(d); }
    const char* className() const override { return "GxActionInterval"; }
    GxActionRef copy() const override { return std::make_shared<GxActionInterval>(duration_); }
    void startWithTarget(GxNode* target) override;
    void step(float dt) override;
    bool isDone() const override { return elapsed_ >= duration_; }
    float elapsed() const { return elapsed_; }

protected:
    void initWithDuration(float d);
    // The duration as divisor: never below epsilon.
    float safeDuration() const { return duration_ > kGxActionEpsilon ? duration_ : kGxActionEpsilon; }
    float elapsed_ = 0;
    bool firstTick_ = true;
};
using GxActionIntervalRef = std::shared_ptr<GxActionInterval>;

// Two actions one after the other; longer lists nest to the left.
class GxSequence : public GxActionInterval {
public:
    // Null ends the list; one action gives that action itself; an empty
    // list gives nullptr.
    static GxFiniteTimeActionRef actions(std::initializer_list<GxFiniteTimeActionRef> list);
    static GxFiniteTimeActionRef actionsWithArray(const std::vector<GxFiniteTimeActionRef>& list);
    // nullptr when either is missing.
    static std::shared_ptr<GxSequence> actionOne(GxFiniteTimeActionRef one, GxFiniteTimeActionRef two);
    GxSequence(GxFiniteTimeActionRef one, GxFiniteTimeActionRef two);
    const char* className() const override { return "GxSequence"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void stop() override;
    void update(float t) override;
    // nullptr when a child has no reverse.
    GxFiniteTimeActionRef reverse() const override;
    const GxFiniteTimeActionRef& first() const { return actions_[0]; }
    const GxFiniteTimeActionRef& second() const { return actions_[1]; }

private:
    GxFiniteTimeActionRef actions_[2];
    float split_ = 0;
    int last_ = -1;
};

// An action run a fixed number of times.
class GxRepeat : public GxActionInterval {
public:
    static std::shared_ptr<GxRepeat> actionWithAction(GxFiniteTimeActionRef action, unsigned times);
    GxRepeat(GxFiniteTimeActionRef action, unsigned times);
    const char* className() const override { return "GxRepeat"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void stop() override;
    bool isDone() const override { return total_ == times_; }
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override;
    const GxFiniteTimeActionRef& innerAction() const { return innerAction_; }
    void setInnerAction(GxFiniteTimeActionRef a) { innerAction_ = std::move(a); }
    unsigned times() const { return times_; }

private:
    unsigned times_ = 0, total_ = 0;
    float nextDt_ = 0;
    bool isActionInstant_ = false;
    GxFiniteTimeActionRef innerAction_;
};

// Two actions at the same time; the shorter one is padded with a delay.
class GxSpawn : public GxActionInterval {
public:
    static GxFiniteTimeActionRef actions(std::initializer_list<GxFiniteTimeActionRef> list);
    static GxFiniteTimeActionRef actionsWithArray(const std::vector<GxFiniteTimeActionRef>& list);
    static std::shared_ptr<GxSpawn> actionOne(GxFiniteTimeActionRef one, GxFiniteTimeActionRef two);
    GxSpawn(GxFiniteTimeActionRef one, GxFiniteTimeActionRef two);
    const char* className() const override { return "GxSpawn"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void stop() override;
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override;

private:
    GxFiniteTimeActionRef one_, two_;
};

class GxDelayTime : public GxActionInterval {
public:
    static std::shared_ptr<GxDelayTime> actionWithDuration(float d) { return std::make_shared<GxDelayTime>(d); }
    using GxActionInterval::GxActionInterval;
    const char* className() const override { return "GxDelayTime"; }
    GxActionRef copy() const override { return std::make_shared<GxDelayTime>(duration_); }
    void update(float) override {}
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<GxDelayTime>(duration_); }
};

// Plays an action backwards.
class GxReverseTime : public GxActionInterval {
public:
    static std::shared_ptr<GxReverseTime> actionWithAction(GxFiniteTimeActionRef action);
    explicit GxReverseTime(GxFiniteTimeActionRef action);
    const char* className() const override { return "GxReverseTime"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void stop() override;
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override;

private:
    GxFiniteTimeActionRef other_;
};

// Runs an action on another node than the one it is run on.
class GxTargetedAction : public GxActionInterval {
public:
    static std::shared_ptr<GxTargetedAction> actionWithTarget(std::shared_ptr<GxNode> target,
                                                              GxFiniteTimeActionRef action);
    GxTargetedAction(std::shared_ptr<GxNode> target, GxFiniteTimeActionRef action);
    const char* className() const override { return "GxTargetedAction"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void stop() override;
    void update(float t) override;
    const std::shared_ptr<GxNode>& forcedTarget() const { return forcedTarget_; }
    void setForcedTarget(std::shared_ptr<GxNode> t) { forcedTarget_ = std::move(t); }

private:
    std::shared_ptr<GxNode> forcedTarget_;
    GxFiniteTimeActionRef action_;
};

// Shows the frames of an animation on a sprite. A frame with user info
// posts "GxAnimationFrameDisplayedNotification" (object: the sprite) when
// it is shown.
extern const char* const kGxAnimationFrameDisplayedNotification;

class GxAnimate : public GxActionInterval {
public:
    static std::shared_ptr<GxAnimate> actionWithAnimation(std::shared_ptr<GxAnimation> animation);
    explicit GxAnimate(std::shared_ptr<GxAnimation> animation);
    const char* className() const override { return "GxAnimate"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void stop() override;
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override;
    const std::shared_ptr<GxAnimation>& animation() const { return animation_; }
    void setAnimation(std::shared_ptr<GxAnimation> a) { animation_ = std::move(a); }
    const std::vector<float>& splitTimes() const { return splitTimes_; }

private:
    std::vector<float> splitTimes_;
    int nextFrame_ = 0;
    std::shared_ptr<GxAnimation> animation_;
    std::shared_ptr<GxSpriteFrame> origFrame_;
    unsigned executedLoops_ = 0;
};

}  // namespace engine2d
