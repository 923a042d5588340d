#pragma once
// The node: the base of every scene-tree object. Geometry in points with a
// cached node-to-parent transform, children ordered by z order and order of
// arrival, lifecycle notifications, scheduling through the shared
// scheduler, and visit(), which applies the transform to the model-view
// matrix stack and draws children below and above the node.
//
// Object model of the whole engine: nodes are shared (std::shared_ptr,
// made by node() / create functions), a parent owns its children, the link
// back to the parent is weak, and a missing node is nullptr. The scheduler
// keeps a scheduled node alive until it is unscheduled (cleanup does that).

#include <memory>
#include <string>

#include "lib/engine2d/actionmanager/GxActionManager.h"
#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/scheduler/GxScheduler.h"
#include "lib/engine2d/support/GxArray.h"
#include "platform/ui/View.h"

namespace engine2d {

class GxCamera;
class GxGLProgram;

constexpr int kGxNodeTagInvalid = -1;

// What a node draws its subtree through while it is active: a grid renders
// the subtree off screen in beforeDraw and draws the picture through its mesh
// in afterDraw. The node holds it; the grid library implements it.
class GxNodeGrid {
public:
    virtual ~GxNodeGrid() = default;
    virtual bool active() const = 0;
    virtual void beforeDraw() = 0;
    virtual void afterDraw(GxNode* target) = 0;
};

// Makes a node of class T and runs its initialiser; nullptr when that fails.
template <class T, class... Args>
std::shared_ptr<T> gxMake(Args&&... args) {
    auto n = std::make_shared<T>();
    if (!n->init(std::forward<Args>(args)...)) return nullptr;
    return n;
}

class GxNode : public std::enable_shared_from_this<GxNode> {
public:
    GxNode();
    virtual ~GxNode();
    GxNode(const GxNode&) = delete;
    GxNode& operator=(const GxNode&) = delete;
    static std::shared_ptr<GxNode> node() { return gxMake<GxNode>(); }
    virtual bool init();
    virtual const char* className() const { return "GxNode"; }
    std::string description() const;

    // Geometry.
    float rotation() const { return rotation_; }
    virtual void setRotation(float degrees);
    float scale() const { return scaleX_; }
    virtual void setScale(float s);
    float scaleX() const { return scaleX_; }
    virtual void setScaleX(float s);
    float scaleY() const { return scaleY_; }
    virtual void setScaleY(float s);
    float skewX() const { return skewX_; }
    virtual void setSkewX(float degrees);
    float skewY() const { return skewY_; }
    virtual void setSkewY(float degrees);
    Point position() const { return position_; }
    virtual void setPosition(Point p);
    float vertexZ() const { return vertexZ_; }
    virtual void setVertexZ(float z) { vertexZ_ = z; }
    Point anchorPoint() const { return anchorPoint_; }
    virtual void setAnchorPoint(Point p);
    Point anchorPointInPoints() const { return anchorPointInPoints_; }
    Size contentSize() const { return contentSize_; }
    virtual void setContentSize(Size s);
    bool ignoreAnchorPointForPosition() const { return ignoreAnchorPointForPosition_; }
    void setIgnoreAnchorPointForPosition(bool v);
    bool visible() const { return visible_; }
    virtual void setVisible(bool v) { visible_ = v; }
    Rect boundingBox();
    GxCamera* camera();  // made on first use
    // The grid the node's subtree is drawn through while it is active.
    const std::shared_ptr<GxNodeGrid>& grid() const { return grid_; }
    void setGrid(std::shared_ptr<GxNodeGrid> g) { grid_ = std::move(g); }

    // Identity.
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    void* userData() const { return userData_; }
    void setUserData(void* d) { userData_ = d; }
    const std::shared_ptr<void>& userObject() const { return userObject_; }
    void setUserObject(std::shared_ptr<void> o) { userObject_ = std::move(o); }
    const std::shared_ptr<GxGLProgram>& shaderProgram() const { return shaderProgram_; }
    void setShaderProgram(std::shared_ptr<GxGLProgram> p) { shaderProgram_ = std::move(p); }
    int glServerState() const { return glServerState_; }
    void setGlServerState(int s) { glServerState_ = s; }
    unsigned orderOfArrival() const { return orderOfArrival_; }
    void setOrderOfArrival(unsigned o) { orderOfArrival_ = o; }

    // Tree. Adding nullptr or a node that already has a parent is refused
    // (a debug build stops; a release build ignores it).
    int zOrder() const { return zOrder_; }
    void setZOrder(int z);
    std::shared_ptr<GxNode> parent() const { return parent_.lock(); }
    const GxArray<GxNode>* children() const { return children_.get(); }
    unsigned childrenCount() const { return children_ ? children_->count() : 0; }
    virtual void addChild(const std::shared_ptr<GxNode>& child, int z, int tag);
    void addChild(const std::shared_ptr<GxNode>& child, int z);
    void addChild(const std::shared_ptr<GxNode>& child);
    std::shared_ptr<GxNode> getChildByTag(int tag) const;
    virtual void removeChild(const GxNode* child, bool cleanup);
    void removeChildByTag(int tag, bool cleanup);
    void removeFromParentAndCleanup(bool cleanup);
    virtual void removeAllChildrenWithCleanup(bool cleanup);
    virtual void reorderChild(GxNode* child, int z);
    virtual void sortAllChildren();
    bool isRunning() const { return isRunning_; }

    // Lifecycle.
    virtual void onEnter();
    virtual void onEnterTransitionDidFinish();
    virtual void onExitTransitionDidStart();
    virtual void onExit();
    virtual void cleanup();

    // Scheduling, on the node's scheduler (the shared one unless set).
    const std::shared_ptr<GxScheduler>& scheduler() const { return scheduler_; }
    void setScheduler(std::shared_ptr<GxScheduler> s);
    virtual void update(float) {}
    void scheduleUpdate() { scheduleUpdateWithPriority(0); }
    void scheduleUpdateWithPriority(int priority);
    void unscheduleUpdate();
    void schedule(const std::string& selector, GxTickFunction fn) { schedule(selector, std::move(fn), 0); }
    void schedule(const std::string& selector, GxTickFunction fn, float interval) {
        schedule(selector, std::move(fn), interval, kGxRepeatForever, 0);
    }
    void schedule(const std::string& selector, GxTickFunction fn, float interval, unsigned repeat, float delay);
    void scheduleOnce(const std::string& selector, GxTickFunction fn, float delay) {
        schedule(selector, std::move(fn), 0, 0, delay);
    }
    void unschedule(const std::string& selector);
    void unscheduleAllSelectors();
    void resumeSchedulerAndActions();
    void pauseSchedulerAndActions();

    // Actions, on the node's action manager (the shared one unless set).
    const std::shared_ptr<GxActionManager>& actionManager() const { return actionManager_; }
    // A different manager first stops every action on the old one.
    void setActionManager(std::shared_ptr<GxActionManager> m);
    // Starts the action on this node (paused while the node is not running)
    // and returns it.
    GxActionRef runAction(const GxActionRef& action);
    template <class A>
    std::shared_ptr<A> runAction(const std::shared_ptr<A>& action) {
        runAction(GxActionRef(action));
        return action;
    }
    void stopAllActions();
    void stopAction(const GxAction* action);
    void stopActionByTag(int tag);
    GxActionRef getActionByTag(int tag) const;
    unsigned numberOfRunningActions() const;

    // Drawing and transforms.
    virtual void draw() {}
    virtual void visit();
    void transform();
    void transformAncestors();
    AffineTransform nodeToParentTransform();
    AffineTransform parentToNodeTransform();
    AffineTransform nodeToWorldTransform();
    AffineTransform worldToNodeTransform();
    Point convertToNodeSpace(Point world);
    Point convertToWorldSpace(Point local);
    Point convertToNodeSpaceAR(Point world);
    Point convertToWorldSpaceAR(Point local);
    // Window coordinates: origin top left, y truncated to a whole point.
    Point convertToWindowSpace(Point local);
    // Where a touch is in this node: its place in its own view, turned to GL
    // coordinates (origin bottom left, GxEnvironment::convertToGL), then
    // through convertToNodeSpace; the AR form measures from the anchor point.
    Point convertTouchToNodeSpace(const ui::Touch& touch);
    Point convertTouchToNodeSpaceAR(const ui::Touch& touch);

protected:
    void insertChild(const std::shared_ptr<GxNode>& child, int z);
    void detachChild(const std::shared_ptr<GxNode>& child, bool cleanup);
    void setZOrderDirect(int z) { zOrder_ = z; }
    void markTransformDirty() { isTransformDirty_ = isInverseDirty_ = true; }
    bool hasActiveGrid() const { return grid_ && grid_->active(); }
    // Starts drawing through the active grid, if any, and answers that grid;
    // gridAfterDraw finishes with the same one, so the two always pair up
    // even when the subtree replaces or stops the node's grid meanwhile.
    std::shared_ptr<GxNodeGrid> gridBeforeDraw();
    void gridAfterDraw(const std::shared_ptr<GxNodeGrid>& began);

    float rotation_ = 0, scaleX_ = 1, scaleY_ = 1, vertexZ_ = 0;
    Point position_;
    float skewX_ = 0, skewY_ = 0;
    Point anchorPointInPoints_, anchorPoint_;
    Size contentSize_;
    AffineTransform transform_, inverse_;
    std::unique_ptr<GxCamera> camera_;
    std::shared_ptr<GxNodeGrid> grid_;
    int zOrder_ = 0;
    std::unique_ptr<GxArray<GxNode>> children_;
    std::weak_ptr<GxNode> parent_;
    int tag_ = kGxNodeTagInvalid;
    void* userData_ = nullptr;
    std::shared_ptr<void> userObject_;
    std::shared_ptr<GxGLProgram> shaderProgram_;
    int glServerState_ = 8;
    unsigned orderOfArrival_ = 0;
    std::shared_ptr<GxScheduler> scheduler_;
    std::shared_ptr<GxActionManager> actionManager_;
    bool isRunning_ = false, isTransformDirty_ = true, isInverseDirty_ = true, visible_ = true,
         ignoreAnchorPointForPosition_ = false, isReorderChildDirty_ = false;
};

using GxNodeRef = std::shared_ptr<GxNode>;

}  // namespace engine2d
