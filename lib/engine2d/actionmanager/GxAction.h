#pragma once
// The action protocol. An action changes one node over time: it is started
// on a node, stepped once a frame with the frame's delta time until it is
// done, then stopped. Actions are shared objects (std::shared_ptr); the
// action manager keeps a running action alive, and callers copy an action
// rather than run one object twice.
//
// The node an action works on is not owned by the action (the manager keeps
// it alive while the action runs).

#include <memory>
#include <string>

namespace engine2d {

class GxNode;
class GxAction;
class GxFiniteTimeAction;
using GxActionRef = std::shared_ptr<GxAction>;
using GxFiniteTimeActionRef = std::shared_ptr<GxFiniteTimeAction>;

constexpr int kGxActionTagInvalid = -1;

class GxAction : public std::enable_shared_from_this<GxAction> {
public:
    static GxActionRef action() { return std::make_shared<GxAction>(); }
    GxAction() = default;
    virtual ~GxAction() = default;
    GxAction(const GxAction&) = delete;
    GxAction& operator=(const GxAction&) = delete;

    virtual const char* className() const { return "GxAction"; }
    virtual std::string description() const;
    // A new, unstarted action of the same class that runs like this one.
    virtual GxActionRef copy() const;

    virtual void startWithTarget(GxNode* target);
    // Called once, by the runner, when the action is done.
    virtual void stop();
    virtual bool isDone() const { return true; }
    // Time since the last step, in seconds.
    virtual void step(float) {}
    // Progress from 0 to 1.
    virtual void update(float) {}

    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    // The node the action works on while it runs; nullptr before and after.
    GxNode* target() const { return target_; }
    void setTarget(GxNode* t) { target_ = t; }
    // The node the action was started on; stays set after it stopped.
    GxNode* originalTarget() const { return originalTarget_; }
    void setOriginalTarget(GxNode* t) { originalTarget_ = t; }

protected:
    GxNode* originalTarget_ = nullptr;
    GxNode* target_ = nullptr;
    int tag_ = kGxActionTagInvalid;
};

// An action with a duration, which may be able to give its reverse.
class GxFiniteTimeAction : public GxAction {
public:
    const char* className() const override { return "GxFiniteTimeAction"; }
    GxActionRef copy() const override;
    float duration() const { return duration_; }
    void setDuration(float d) { duration_ = d; }
    // A new action that runs the other way; nullptr when there is none.
    virtual GxFiniteTimeActionRef reverse() const { return nullptr; }

protected:
    float duration_ = 0;
};

// Copies an action keeping its static type.
template <class T>
std::shared_ptr<T> gxCopy(const std::shared_ptr<T>& a) {
    return a ? std::dynamic_pointer_cast<T>(a->copy()) : nullptr;
}

}  // namespace engine2d
