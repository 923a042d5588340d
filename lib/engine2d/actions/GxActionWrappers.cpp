#include "lib/engine2d/actions/GxActionWrappers.h"

#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/nodes/GxNode.h"

namespace engine2d {

// --- repeat forever ---------------------------------------------------------

std::shared_ptr<GxRepeatForever> GxRepeatForever::actionWithAction(GxActionIntervalRef action) {
    if (!action) return nullptr;
    return std::make_shared<GxRepeatForever>(std::move(action));
}

GxActionRef GxRepeatForever::copy() const {
    auto a = std::make_shared<GxRepeatForever>(gxCopy(innerAction_));
    return a;
}

void GxRepeatForever::startWithTarget(GxNode* target) {
    GxAction::startWithTarget(target);
    innerAction_->startWithTarget(target);
}

void GxRepeatForever::step(float dt) {
    GxActionIntervalRef inner = innerAction_;
    inner->step(dt);
    if (inner->isDone() && target_) {
        float excess = inner->elapsed() - inner->duration();
        inner->startWithTarget(target_);
        // The first step after a start only arms the action.
        inner->step(0);
        inner->step(excess);
    }
}

std::shared_ptr<GxRepeatForever> GxRepeatForever::reverse() const {
    auto r = std::dynamic_pointer_cast<GxActionInterval>(innerAction_->reverse());
    return r ? std::make_shared<GxRepeatForever>(std::move(r)) : nullptr;
}

// --- speed ------------------------------------------------------------------

std::shared_ptr<GxSpeed> GxSpeed::actionWithAction(GxActionIntervalRef action, float speed) {
    if (!action) return nullptr;
    return std::make_shared<GxSpeed>(std::move(action), speed);
}

GxActionRef GxSpeed::copy() const { return std::make_shared<GxSpeed>(gxCopy(innerAction_), speed_); }

void GxSpeed::startWithTarget(GxNode* target) {
    GxAction::startWithTarget(target);
    innerAction_->startWithTarget(target);
}

void GxSpeed::stop() {
    innerAction_->stop();
    GxAction::stop();
}

void GxSpeed::step(float dt) {
    GxActionIntervalRef inner = innerAction_;
    inner->step(dt * speed_);
}

std::shared_ptr<GxSpeed> GxSpeed::reverse() const {
    auto r = std::dynamic_pointer_cast<GxActionInterval>(innerAction_->reverse());
    return r ? std::make_shared<GxSpeed>(std::move(r), speed_) : nullptr;
}

// --- follow -----------------------------------------------------------------

std::shared_ptr<GxFollow> GxFollow::actionWithTarget(std::shared_ptr<GxNode> followed) {
    if (!followed) return nullptr;
    return std::make_shared<GxFollow>(std::move(followed));
}

std::shared_ptr<GxFollow> GxFollow::actionWithTarget(std::shared_ptr<GxNode> followed, Rect worldBoundary) {
    if (!followed) return nullptr;
    return std::make_shared<GxFollow>(std::move(followed), worldBoundary);
}

GxFollow::GxFollow(std::shared_ptr<GxNode> followed) : followedNode_(std::move(followed)) {
    Size win = GxEnvironment::shared().winSize;
    fullScreenSize_ = {win.width, win.height};
    halfScreenSize_ = fullScreenSize_ * 0.5f;
}

GxFollow::GxFollow(std::shared_ptr<GxNode> followed, Rect r) : GxFollow(std::move(followed)) {
    boundarySet_ = true;
    leftBoundary_ = -((r.origin.x + r.size.width) - fullScreenSize_.x);
    rightBoundary_ = -r.origin.x;
    topBoundary_ = -r.origin.y;
    bottomBoundary_ = -((r.origin.y + r.size.height) - fullScreenSize_.y);
    // A world narrower (lower) than the screen is centred on that axis.
    if (rightBoundary_ < leftBoundary_) rightBoundary_ = leftBoundary_ = (leftBoundary_ + rightBoundary_) / 2;
    if (topBoundary_ < bottomBoundary_) topBoundary_ = bottomBoundary_ = (topBoundary_ + bottomBoundary_) / 2;
    if (topBoundary_ == bottomBoundary_ && leftBoundary_ == rightBoundary_) boundaryFullyCovered_ = true;
}

GxActionRef GxFollow::copy() const {
    auto a = std::shared_ptr<GxFollow>(new GxFollow());
    a->tag_ = tag_;
    a->followedNode_ = followedNode_;
    a->boundarySet_ = boundarySet_;
    a->boundaryFullyCovered_ = boundaryFullyCovered_;
    a->halfScreenSize_ = halfScreenSize_;
    a->fullScreenSize_ = fullScreenSize_;
    a->leftBoundary_ = leftBoundary_, a->rightBoundary_ = rightBoundary_;
    a->topBoundary_ = topBoundary_, a->bottomBoundary_ = bottomBoundary_;
    return a;
}

void GxFollow::step(float) {
    if (!target_ || !followedNode_) return;
    if (boundarySet_) {
        if (boundaryFullyCovered_) return;
        Point p = halfScreenSize_ - followedNode_->position();
        target_->setPosition(
            {gxClampFloat(p.x, leftBoundary_, rightBoundary_), gxClampFloat(p.y, bottomBoundary_, topBoundary_)});
    } else {
        target_->setPosition(halfScreenSize_ - followedNode_->position());
    }
}

bool GxFollow::isDone() const { return !followedNode_ || !followedNode_->isRunning(); }

void GxFollow::stop() {
    target_ = nullptr;
    GxAction::stop();
}

}  // namespace engine2d
