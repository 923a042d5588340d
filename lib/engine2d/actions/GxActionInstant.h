#pragma once
// Instant actions: they do their whole work in one update() and last no
// time (showing, hiding, flipping or placing a node), and the callbacks,
// which call back into the program. A callback action keeps what it calls
// alive for as long as it exists.
//
// Callbacks are callables. The "target and selector" forms keep their
// callee (any shared object) alive and call a member bound to it; the
// selector is the member's name, used in descriptions.

#include <functional>
#include <memory>
#include <string>

#include "lib/engine2d/actionmanager/GxAction.h"
#include "lib/engine2d/mathlib/Geometry.h"

namespace engine2d {

class GxActionInstant : public GxFiniteTimeAction {
public:
    GxActionInstant() { duration_ = 0; }
    const char* className() const override { return "GxActionInstant"; }
    GxActionRef copy() const override { return std::make_shared<GxActionInstant>(); }
    bool isDone() const override { return true; }
    void step(float) override { update(1); }
    GxFiniteTimeActionRef reverse() const override { return std::dynamic_pointer_cast<GxFiniteTimeAction>(copy()); }
};

class GxShow : public GxActionInstant {
public:
    static std::shared_ptr<GxShow> action() { return std::make_shared<GxShow>(); }
    const char* className() const override { return "GxShow"; }
    GxActionRef copy() const override { return std::make_shared<GxShow>(); }
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override;
};

class GxHide : public GxActionInstant {
public:
    static std::shared_ptr<GxHide> action() { return std::make_shared<GxHide>(); }
    const char* className() const override { return "GxHide"; }
    GxActionRef copy() const override { return std::make_shared<GxHide>(); }
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override { return GxShow::action(); }
};

class GxToggleVisibility : public GxActionInstant {
public:
    static std::shared_ptr<GxToggleVisibility> action() { return std::make_shared<GxToggleVisibility>(); }
    const char* className() const override { return "GxToggleVisibility"; }
    GxActionRef copy() const override { return std::make_shared<GxToggleVisibility>(); }
    void update(float t) override;
};

// Flips a sprite (other nodes are left alone).
class GxFlipX : public GxActionInstant {
public:
    static std::shared_ptr<GxFlipX> actionWithFlipX(bool x) { return std::make_shared<GxFlipX>(x); }
    explicit GxFlipX(bool x) : flipX_(x) {}
    const char* className() const override { return "GxFlipX"; }
    GxActionRef copy() const override { return std::make_shared<GxFlipX>(flipX_); }
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<GxFlipX>(!flipX_); }
    bool flipX() const { return flipX_; }

private:
    bool flipX_;
};

class GxFlipY : public GxActionInstant {
public:
    static std::shared_ptr<GxFlipY> actionWithFlipY(bool y) { return std::make_shared<GxFlipY>(y); }
    explicit GxFlipY(bool y) : flipY_(y) {}
    const char* className() const override { return "GxFlipY"; }
    GxActionRef copy() const override { return std::make_shared<GxFlipY>(flipY_); }
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<GxFlipY>(!flipY_); }
    bool flipY() const { return flipY_; }

private:
    bool flipY_;
};

class GxPlace : public GxActionInstant {
public:
    static std::shared_ptr<GxPlace> actionWithPosition(Point p) { return std::make_shared<GxPlace>(p); }
    explicit GxPlace(Point p) : position_(p) {}
    const char* className() const override { return "GxPlace"; }
    GxActionRef copy() const override { return std::make_shared<GxPlace>(position_); }
    void update(float t) override;
    Point position() const { return position_; }

private:
    Point position_;
};

// Calls back on every update (an instant action does not remember that it
// ran). Subclasses differ in what the call receives.
class GxCallFunc : public GxActionInstant {
public:
    using Function = std::function<void()>;
    // The callee is kept alive by the action; `selector` names the call.
    static std::shared_ptr<GxCallFunc> actionWithTarget(std::shared_ptr<void> callee, std::string selector,
                                                        Function fn) {
        return std::make_shared<GxCallFunc>(std::move(callee), std::move(selector), std::move(fn));
    }
    GxCallFunc(std::shared_ptr<void> callee, std::string selector, Function fn)
        : targetCallback_(std::move(callee)), selector_(std::move(selector)), fn_(std::move(fn)) {}
    const char* className() const override { return "GxCallFunc"; }
    std::string description() const override;
    GxActionRef copy() const override { return std::make_shared<GxCallFunc>(targetCallback_, selector_, fn_); }
    void update(float) override { execute(); }
    virtual void execute();
    const std::shared_ptr<void>& targetCallback() const { return targetCallback_; }
    void setTargetCallback(std::shared_ptr<void> c) { targetCallback_ = std::move(c); }
    const std::string& selector() const { return selector_; }

protected:
    GxCallFunc(std::shared_ptr<void> callee, std::string selector)
        : targetCallback_(std::move(callee)), selector_(std::move(selector)) {}
    std::shared_ptr<void> targetCallback_;
    std::string selector_;

private:
    Function fn_;
};

// Calls back with the node the action runs on.
class GxCallFuncN : public GxCallFunc {
public:
    using Function = std::function<void(GxNode*)>;
    static std::shared_ptr<GxCallFuncN> actionWithTarget(std::shared_ptr<void> callee, std::string selector,
                                                         Function fn) {
        return std::make_shared<GxCallFuncN>(std::move(callee), std::move(selector), std::move(fn));
    }
    GxCallFuncN(std::shared_ptr<void> callee, std::string selector, Function fn)
        : GxCallFunc(std::move(callee), std::move(selector)), fn_(std::move(fn)) {}
    const char* className() const override { return "GxCallFuncN"; }
    GxActionRef copy() const override { return std::make_shared<GxCallFuncN>(targetCallback_, selector_, fn_); }
    void execute() override;

private:
    Function fn_;
};

// Calls back with the node the action runs on and a data pointer, which the
// action neither owns nor frees.
class GxCallFuncND : public GxCallFuncN {
public:
    using Function = std::function<void(GxNode*, void*)>;
    static std::shared_ptr<GxCallFuncND> actionWithTarget(std::shared_ptr<void> callee, std::string selector,
                                                          Function fn, void* data) {
        return std::make_shared<GxCallFuncND>(std::move(callee), std::move(selector), std::move(fn), data);
    }
    GxCallFuncND(std::shared_ptr<void> callee, std::string selector, Function fn, void* data)
        : GxCallFuncN(std::move(callee), std::move(selector), nullptr), callbackMethod_(std::move(fn)), data_(data) {}
    const char* className() const override { return "GxCallFuncND"; }
    GxActionRef copy() const override {
        return std::make_shared<GxCallFuncND>(targetCallback_, selector_, callbackMethod_, data_);
    }
    void execute() override;
    const Function& callbackMethod() const { return callbackMethod_; }
    void setCallbackMethod(Function f) { callbackMethod_ = std::move(f); }
    void* data() const { return data_; }

private:
    Function callbackMethod_;
    void* data_;
};

// Calls back with a stored object, kept alive by the action.
class GxCallFuncO : public GxCallFunc {
public:
    using Function = std::function<void(const std::shared_ptr<void>&)>;
    static std::shared_ptr<GxCallFuncO> actionWithTarget(std::shared_ptr<void> callee, std::string selector,
                                                         Function fn, std::shared_ptr<void> object) {
        return std::make_shared<GxCallFuncO>(std::move(callee), std::move(selector), std::move(fn), std::move(object));
    }
    GxCallFuncO(std::shared_ptr<void> callee, std::string selector, Function fn, std::shared_ptr<void> object)
        : GxCallFunc(std::move(callee), std::move(selector)), fn_(std::move(fn)), object_(std::move(object)) {}
    const char* className() const override { return "GxCallFuncO"; }
    GxActionRef copy() const override {
        return std::make_shared<GxCallFuncO>(targetCallback_, selector_, fn_, object_);
    }
    void execute() override;
    const std::shared_ptr<void>& object() const { return object_; }
    void setObject(std::shared_ptr<void> o) { object_ = std::move(o); }

private:
    Function fn_;
    std::shared_ptr<void> object_;
};

class GxCallBlock : public GxActionInstant {
public:
    using Block = std::function<void()>;
    static std::shared_ptr<GxCallBlock> actionWithBlock(Block b) { return std::make_shared<GxCallBlock>(std::move(b)); }
    explicit GxCallBlock(Block b) : block_(std::move(b)) {}
    const char* className() const override { return "GxCallBlock"; }
    GxActionRef copy() const override { return std::make_shared<GxCallBlock>(block_); }
    void update(float) override { execute(); }
    virtual void execute();

private:
    Block block_;
};

class GxCallBlockN : public GxActionInstant {
public:
    using Block = std::function<void(GxNode*)>;
    static std::shared_ptr<GxCallBlockN> actionWithBlock(Block b) {
        return std::make_shared<GxCallBlockN>(std::move(b));
    }
    explicit GxCallBlockN(Block b) : block_(std::move(b)) {}
    const char* className() const override { return "GxCallBlockN"; }
    GxActionRef copy() const override { return std::make_shared<GxCallBlockN>(block_); }
    void update(float) override { execute(); }
    virtual void execute();

private:
    Block block_;
};

class GxCallBlockO : public GxActionInstant {
public:
    using Block = std::function<void(const std::shared_ptr<void>&)>;
    static std::shared_ptr<GxCallBlockO> actionWithBlock(Block b, std::shared_ptr<void> object) {
        return std::make_shared<GxCallBlockO>(std::move(b), std::move(object));
    }
    GxCallBlockO(Block b, std::shared_ptr<void> object) : block_(std::move(b)), object_(std::move(object)) {}
    const char* className() const override { return "GxCallBlockO"; }
    GxActionRef copy() const override { return std::make_shared<GxCallBlockO>(block_, object_); }
    void update(float) override { execute(); }
    virtual void execute();
    const std::shared_ptr<void>& object() const { return object_; }
    void setObject(std::shared_ptr<void> o) { object_ = std::move(o); }

private:
    Block block_;
    std::shared_ptr<void> object_;
};

}  // namespace engine2d
