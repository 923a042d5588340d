#pragma once
// Actions without a fixed duration: a timed action repeated for ever, a
// timed action played faster or slower, and a node following another.

#include <memory>

#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/mathlib/Geometry.h"

namespace engine2d {

// Never done; the time beyond the end of one round is carried into the next.
class GxRepeatForever : public GxAction {
public:
    static std::shared_ptr<GxRepeatForever> actionWithAction(GxActionIntervalRef action);
    explicit GxRepeatForever(GxActionIntervalRef action) : innerAction_(std::move(action)) {}
    const char* className() const override { return "GxRepeatForever"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void step(float dt) override;
    bool isDone() const override { return false; }
    // nullptr when the inner action has no reverse.
    std::shared_ptr<GxRepeatForever> reverse() const;
    const GxActionIntervalRef& innerAction() const { return innerAction_; }
    void setInnerAction(GxActionIntervalRef a) { innerAction_ = std::move(a); }

private:
    GxActionIntervalRef innerAction_;
};

// Steps a timed action with the frame time multiplied by a factor.
class GxSpeed : public GxAction {
public:
    static std::shared_ptr<GxSpeed> actionWithAction(GxActionIntervalRef action, float speed);
    GxSpeed(GxActionIntervalRef action, float speed) : innerAction_(std::move(action)), speed_(speed) {}
    const char* className() const override { return "GxSpeed"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void stop() override;
    void step(float dt) override;
    bool isDone() const override { return innerAction_->isDone(); }
    std::shared_ptr<GxSpeed> reverse() const;
    float speed() const { return speed_; }
    void setSpeed(float s) { speed_ = s; }
    const GxActionIntervalRef& innerAction() const { return innerAction_; }
    void setInnerAction(GxActionIntervalRef a) { innerAction_ = std::move(a); }

private:
    GxActionIntervalRef innerAction_;
    float speed_;
};

// Moves its target (a layer, usually) so that the followed node stays in
// the middle of the window, optionally within a world rectangle. Done when
// the followed node stops running.
class GxFollow : public GxAction {
public:
    static std::shared_ptr<GxFollow> actionWithTarget(std::shared_ptr<GxNode> followed);
    static std::shared_ptr<GxFollow> actionWithTarget(std::shared_ptr<GxNode> followed, Rect worldBoundary);
    explicit GxFollow(std::shared_ptr<GxNode> followed);
    GxFollow(std::shared_ptr<GxNode> followed, Rect worldBoundary);
    const char* className() const override { return "GxFollow"; }
    // Follows the same node within the same boundary.
    GxActionRef copy() const override;
    void step(float dt) override;
    bool isDone() const override;
    void stop() override;
    bool boundarySet() const { return boundarySet_; }
    void setBoundarySet(bool b) { boundarySet_ = b; }
    bool boundaryFullyCovered() const { return boundaryFullyCovered_; }
    float leftBoundary() const { return leftBoundary_; }
    float rightBoundary() const { return rightBoundary_; }
    float topBoundary() const { return topBoundary_; }
    float bottomBoundary() const { return bottomBoundary_; }

private:
    GxFollow() = default;
    std::shared_ptr<GxNode> followedNode_;
    bool boundarySet_ = false, boundaryFullyCovered_ = false;
    Point halfScreenSize_, fullScreenSize_;
    float leftBoundary_ = 0, rightBoundary_ = 0, topBoundary_ = 0, bottomBoundary_ = 0;
};

}  // namespace engine2d
