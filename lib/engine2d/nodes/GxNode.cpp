#include "lib/engine2d/nodes/GxNode.h"

#include <cmath>
#include <cstdio>

#include "lib/engine2d/mathlib/Assert.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxCamera.h"
#include "lib/engine2d/nodes/GxEnvironment.h"

namespace engine2d {

namespace {
constexpr const char* kModule = "engine2d/GxNode";
}

GxNode::GxNode() = default;

GxNode::~GxNode() {
    if (children_)
        for (auto& c : *children_) c->parent_.reset();
}

bool GxNode::init() {
    setActionManager(GxEnvironment::shared().actionManager());
    setScheduler(GxEnvironment::shared().scheduler());
    return true;
}

std::string GxNode::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<%s = %p | Tag = %i>", className(), static_cast<const void*>(this), tag_);
    return buf;
}

void GxNode::setRotation(float d) { rotation_ = d, markTransformDirty(); }
void GxNode::setScale(float s) { scaleX_ = scaleY_ = s, markTransformDirty(); }
void GxNode::setScaleX(float s) { scaleX_ = s, markTransformDirty(); }
void GxNode::setScaleY(float s) { scaleY_ = s, markTransformDirty(); }
void GxNode::setSkewX(float d) { skewX_ = d, markTransformDirty(); }
void GxNode::setSkewY(float d) { skewY_ = d, markTransformDirty(); }
void GxNode::setPosition(Point p) { position_ = p, markTransformDirty(); }

void GxNode::setAnchorPoint(Point p) {
    if (p == anchorPoint_) return;
    anchorPoint_ = p;
    anchorPointInPoints_ = {contentSize_.width * p.x, contentSize_.height * p.y};
    markTransformDirty();
}

void GxNode::setContentSize(Size s) {
    if (s == contentSize_) return;
    contentSize_ = s;
    anchorPointInPoints_ = {s.width * anchorPoint_.x, s.height * anchorPoint_.y};
    markTransformDirty();
}

void GxNode::setIgnoreAnchorPointForPosition(bool v) {
    if (v == ignoreAnchorPointForPosition_) return;
    ignoreAnchorPointForPosition_ = v;
    markTransformDirty();
}

Rect GxNode::boundingBox() { return nodeToParentTransform().apply(Rect{{0, 0}, contentSize_}); }

GxCamera* GxNode::camera() {
    if (!camera_) camera_ = std::make_unique<GxCamera>();
    return camera_.get();
}

void GxNode::setZOrder(int z) {
    setZOrderDirect(z);
    if (auto p = parent()) p->reorderChild(this, z);
}

void GxNode::addChild(const std::shared_ptr<GxNode>& child, int z, int tag) {
    GX_ASSERT(kModule, child != nullptr, "Argument must be non-nil");
    GX_ASSERT(kModule, !child || child->parent_.expired(), "child already added. It can't be added again");
    if (!child || !child->parent_.expired() || child.get() == this) return;
    if (!children_) children_ = std::make_unique<GxArray<GxNode>>(4);
    insertChild(child, z);
    child->tag_ = tag;
    child->parent_ = weak_from_this();
    child->orderOfArrival_ = GxEnvironment::shared().orderOfArrival++;
    if (isRunning_) {
        child->onEnter();
        child->onEnterTransitionDidFinish();
    }
}

void GxNode::addChild(const std::shared_ptr<GxNode>& child, int z) { addChild(child, z, child ? child->tag_ : 0); }

void GxNode::addChild(const std::shared_ptr<GxNode>& child) {
    addChild(child, child ? child->zOrder_ : 0, child ? child->tag_ : 0);
}

void GxNode::insertChild(const std::shared_ptr<GxNode>& child, int z) {
    isReorderChildDirty_ = true;
    children_->addObject(child);
    child->setZOrderDirect(z);
}

void GxNode::reorderChild(GxNode* child, int z) {
    if (!child) return;
    isReorderChildDirty_ = true;
    child->orderOfArrival_ = GxEnvironment::shared().orderOfArrival++;
    child->setZOrderDirect(z);
}

std::shared_ptr<GxNode> GxNode::getChildByTag(int tag) const {
    if (!children_) return nullptr;
    for (auto& c : *children_)
        if (c->tag_ == tag) return c;
    return nullptr;
}

void GxNode::removeChild(const GxNode* child, bool cleanup) {
    if (!child || !children_) return;
    auto ref = children_->objectAtIndex(children_->indexOfObject(child));
    if (ref) detachChild(ref, cleanup);
}

void GxNode::removeChildByTag(int tag, bool cleanup) {
    if (auto c = getChildByTag(tag)) removeChild(c.get(), cleanup);
}

void GxNode::removeFromParentAndCleanup(bool cleanup) {
    if (auto p = parent()) p->removeChild(this, cleanup);
}

void GxNode::detachChild(const std::shared_ptr<GxNode>& child, bool doCleanup) {
    auto keep = child;  // alive until its exit calls are done
    if (isRunning_) {
        keep->onExitTransitionDidStart();
        keep->onExit();
    }
    if (doCleanup) keep->cleanup();
    keep->parent_.reset();
    children_->removeObject(keep.get());
}

void GxNode::removeAllChildrenWithCleanup(bool doCleanup) {
    if (!children_) return;
    auto all = children_->slots();  // copies: the calls may touch the array
    for (auto& c : all) {
        if (isRunning_) {
            c->onExitTransitionDidStart();
            c->onExit();
        }
        if (doCleanup) c->cleanup();
        c->parent_.reset();
    }
    children_->removeAllObjects();
}

void GxNode::sortAllChildren() {
    if (!isReorderChildDirty_ || !children_) return;
    auto& s = children_->slots();
    for (size_t i = 1; i < s.size(); ++i) {
        auto taken = s[i];
        size_t j = i;
        while (j > 0 && (taken->zOrder_ < s[j - 1]->zOrder_ ||
                         (taken->zOrder_ == s[j - 1]->zOrder_ && taken->orderOfArrival_ < s[j - 1]->orderOfArrival_))) {
            s[j] = s[j - 1];
            --j;
        }
        s[j] = std::move(taken);
    }
    isReorderChildDirty_ = false;
}

void GxNode::onEnter() {
    if (children_) {
        auto all = children_->slots();
        for (auto& c : all) c->onEnter();
    }
    resumeSchedulerAndActions();
    isRunning_ = true;
}

void GxNode::onEnterTransitionDidFinish() {
    if (!children_) return;
    auto all = children_->slots();
    for (auto& c : all) c->onEnterTransitionDidFinish();
}

void GxNode::onExitTransitionDidStart() {
    if (!children_) return;
    auto all = children_->slots();
    for (auto& c : all) c->onExitTransitionDidStart();
}

void GxNode::onExit() {
    pauseSchedulerAndActions();
    isRunning_ = false;
    if (!children_) return;
    auto all = children_->slots();
    for (auto& c : all) c->onExit();
}

void GxNode::cleanup() {
    stopAllActions();
    unscheduleAllSelectors();
    if (!children_) return;
    auto all = children_->slots();
    for (auto& c : all) c->cleanup();
}

void GxNode::setScheduler(std::shared_ptr<GxScheduler> s) {
    if (s == scheduler_) return;
    unscheduleAllSelectors();
    scheduler_ = std::move(s);
}

void GxNode::scheduleUpdateWithPriority(int priority) {
    if (!scheduler_) return;
    scheduler_->scheduleUpdateForTarget(
        shared_from_this(), [this](float dt) { update(dt); }, priority, !isRunning_);
}

void GxNode::unscheduleUpdate() {
    if (scheduler_) scheduler_->unscheduleUpdateForTarget(this);
}

void GxNode::schedule(const std::string& selector, GxTickFunction fn, float interval, unsigned repeat, float delay) {
    if (!scheduler_ || selector.empty() || !fn) return;
    scheduler_->scheduleSelector(selector, shared_from_this(), std::move(fn), interval, !isRunning_, repeat, delay);
}

void GxNode::unschedule(const std::string& selector) {
    if (scheduler_ && !selector.empty()) scheduler_->unscheduleSelector(selector, this);
}

void GxNode::unscheduleAllSelectors() {
    if (scheduler_) scheduler_->unscheduleAllSelectorsForTarget(this);
}

void GxNode::resumeSchedulerAndActions() {
    if (scheduler_) scheduler_->resumeTarget(this);
    if (actionManager_) actionManager_->resumeTarget(this);
}

void GxNode::pauseSchedulerAndActions() {
    if (scheduler_) scheduler_->pauseTarget(this);
    if (actionManager_) actionManager_->pauseTarget(this);
}

void GxNode::setActionManager(std::shared_ptr<GxActionManager> m) {
    if (m == actionManager_) return;
    stopAllActions();
    actionManager_ = std::move(m);
}

GxActionRef GxNode::runAction(const GxActionRef& action) {
    GX_ASSERT(kModule, action != nullptr, "Argument must be non-nil");
    if (action && actionManager_) actionManager_->addAction(action, shared_from_this(), !isRunning_);
    return action;
}

void GxNode::stopAllActions() {
    if (actionManager_) actionManager_->removeAllActionsFromTarget(this);
}

void GxNode::stopAction(const GxAction* action) {
    if (actionManager_) actionManager_->removeAction(action, this);
}

void GxNode::stopActionByTag(int tag) {
    if (actionManager_) actionManager_->removeActionByTag(tag, this);
}

GxActionRef GxNode::getActionByTag(int tag) const {
    return actionManager_ ? actionManager_->getActionByTag(tag, this) : nullptr;
}

unsigned GxNode::numberOfRunningActions() const {
    return actionManager_ ? actionManager_->numberOfRunningActionsInTarget(this) : 0;
}

std::shared_ptr<GxNodeGrid> GxNode::gridBeforeDraw() {
    if (!hasActiveGrid()) return nullptr;
    auto g = grid_;
    g->beforeDraw();
    return g;
}

void GxNode::gridAfterDraw(const std::shared_ptr<GxNodeGrid>& began) {
    if (began) began->afterDraw(this);
}

void GxNode::visit() {
    if (!visible_) return;
    mxGLPushMatrix();
    const auto gridBegan = gridBeforeDraw();
    transform();
    if (children_ && children_->count()) {
        sortAllChildren();
        unsigned i = 0;
        auto& s = children_->slots();
        for (; i < s.size(); ++i) {
            auto c = s[i];
            if (c->zOrder_ >= 0) break;
            c->visit();
        }
        draw();
        for (; i < children_->count(); ++i) {
            auto c = children_->slots()[i];
            c->visit();
        }
    } else {
        draw();
    }
    orderOfArrival_ = 0;
    gridAfterDraw(gridBegan);
    mxGLPopMatrix();
}

void GxNode::transform() {
    mxMat4 m;
    gxAffineToMatrix(nodeToParentTransform(), &m);
    m.mat[14] = vertexZ_;
    mxGLMultiplyTop(&m);
    // Under an active grid the grid applies the camera to the mesh instead.
    if (camera_ && !hasActiveGrid()) {
        if (anchorPointInPoints_ != Point{}) {
            mxGLTranslateTop(anchorPointInPoints_.x, anchorPointInPoints_.y, 0);
            camera_->locate();
            mxGLTranslateTop(-anchorPointInPoints_.x, -anchorPointInPoints_.y, 0);
        } else {
            camera_->locate();
        }
    }
}

void GxNode::transformAncestors() {
    if (auto p = parent()) {
        p->transformAncestors();
        p->transform();
    }
}

AffineTransform GxNode::nodeToParentTransform() {
    if (!isTransformDirty_) return transform_;
    float x = position_.x, y = position_.y;
    if (ignoreAnchorPointForPosition_) x += anchorPointInPoints_.x, y += anchorPointInPoints_.y;
    float c = 1, s = 0;
    if (rotation_ != 0) {
        float r = gxDegreesToRadians(rotation_);
        c = std::cos(r);
        s = std::sin(-r);
    }
    bool needsSkew = skewX_ != 0 || skewY_ != 0;
    float ax = anchorPointInPoints_.x, ay = anchorPointInPoints_.y;
    if (!needsSkew && anchorPointInPoints_ != Point{}) {
        x += s * ay * scaleY_ - c * ax * scaleX_;
        y += -s * ax * scaleX_ - c * ay * scaleY_;
    }
    transform_ = {c * scaleX_, s * scaleX_, -s * scaleY_, c * scaleY_, x, y};
    if (needsSkew) {
        AffineTransform skew{1, std::tan(gxDegreesToRadians(skewY_)), std::tan(gxDegreesToRadians(skewX_)), 1, 0, 0};
        transform_ = AffineTransform::concat(skew, transform_);
        if (anchorPointInPoints_ != Point{}) transform_ = transform_.translated(-ax, -ay);
    }
    isTransformDirty_ = false;
    return transform_;
}

AffineTransform GxNode::parentToNodeTransform() {
    if (isInverseDirty_) {
        inverse_ = nodeToParentTransform().inverted();
        isInverseDirty_ = false;
    }
    return inverse_;
}

AffineTransform GxNode::nodeToWorldTransform() {
    AffineTransform t = nodeToParentTransform();
    for (auto p = parent(); p; p = p->parent()) t = AffineTransform::concat(t, p->nodeToParentTransform());
    return t;
}

AffineTransform GxNode::worldToNodeTransform() { return nodeToWorldTransform().inverted(); }

Point GxNode::convertToNodeSpace(Point w) { return worldToNodeTransform().apply(w); }
Point GxNode::convertToWorldSpace(Point l) { return nodeToWorldTransform().apply(l); }
Point GxNode::convertToNodeSpaceAR(Point w) { return convertToNodeSpace(w) - anchorPointInPoints_; }
Point GxNode::convertToWorldSpaceAR(Point l) { return convertToWorldSpace(l + anchorPointInPoints_); }

Point GxNode::convertTouchToNodeSpace(const ui::Touch& touch) {
    ui::Point p = touch.locationInView(touch.view());
    return convertToNodeSpace(GxEnvironment::shared().convertToGL({float(p.x), float(p.y)}));
}

Point GxNode::convertTouchToNodeSpaceAR(const ui::Touch& touch) {
    ui::Point p = touch.locationInView(touch.view());
    return convertToNodeSpaceAR(GxEnvironment::shared().convertToGL({float(p.x), float(p.y)}));
}

Point GxNode::convertToWindowSpace(Point l) {
    Point w = convertToWorldSpace(l);
    return {w.x, std::trunc(GxEnvironment::shared().winSize.height - w.y)};
}

}  // namespace engine2d
