#pragma once
// Scene transitions. A transition is a scene that stands between the
// director's running scene (the outgoing scene) and a new one (the incoming
// scene): the caller makes it with the incoming scene and a duration and
// hands it to the director's replaceScene (or pushScene) in its place. While
// it runs it draws both scenes, animates them with actions, and at the end
// (finish) asks the director, on the next scheduler tick, to replace it with
// the incoming scene. Touch dispatch is off from the transition's creation
// until that swap.
//
// GxTransitionScene is the base of every transition, including those built
// on grids elsewhere: a subclass chooses the draw order (sceneOrder), prepares
// the scenes in onEnter and ends the last of its action sequences with
// finishAction(). Calls the scenes see over a whole transition: outgoing
// onExitTransitionDidStart and incoming onEnter when the transition enters;
// outgoing onExit and incoming onEnterTransitionDidFinish when it exits; then
// the outgoing scene's cleanup when the transition was installed with
// replaceScene. The director does the rest (it sends the old scene nothing
// when it switches to a transition, and the new scene no onEnter when it
// switches away from one).
//
// A transition made while no scene runs has no outgoing scene: everything it
// would do to that scene is skipped, and a sequence that would end with
// finish on it becomes a plain wait of the same length.
//
// A transition cut short (replaced before its swap, or ended with the
// director) sends onExit and cleanup to the incoming scene as well, and
// cleanup to the outgoing scene when it had replaced it; touches come back
// on unless a transition follows.

#include <memory>

#include "lib/engine2d/actionmanager/GxAction.h"
#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxScene.h"

namespace engine2d {

class GxLayerColor;
class GxProgressTimer;
class GxRenderTexture;

// The colour layer of the fade transitions.
constexpr int kGxSceneFadeTag = int(0xFADEFADEu);
// The progress timer of the progress transitions.
constexpr int kGxSceneProgressTag = 0xC001;

class GxTransitionScene : public GxScene {
public:
    // The incoming scene must exist and must not be the running scene.
    static std::shared_ptr<GxTransitionScene> transitionWithDuration(float duration, std::shared_ptr<GxScene> scene);
    using GxScene::init;
    virtual bool init(float duration, std::shared_ptr<GxScene> scene);
    const char* className() const override { return "GxTransitionScene"; }
    bool isTransition() const override { return true; }

    // Chooses which scene is drawn on top (the incoming one here).
    virtual void sceneOrder() { inSceneOnTop_ = true; }
    // Visits both scenes, the one on top last.
    void draw() override;
    void onEnter() override;
    void onExit() override;
    void cleanup() override;

    // Resets both scenes (the outgoing one hidden) and schedules the swap
    // for the next tick.
    void finish();
    // The swap: the director replaces the transition with the incoming
    // scene and touches come back on.
    void setNewScene(float dt);
    void hideOutShowIn();

    // A callback action calling finish on this transition (it does not keep
    // the transition alive).
    GxFiniteTimeActionRef finishAction();

    const std::shared_ptr<GxScene>& inScene() const { return inScene_; }
    const std::shared_ptr<GxScene>& outScene() const { return outScene_; }
    float duration() const { return duration_; }
    bool inSceneOnTop() const { return inSceneOnTop_; }
    bool sendCleanupToScene() const { return sendCleanupToScene_; }

protected:
    // Runs `action` on the outgoing scene. Without one, an action that ends
    // with finish becomes a wait of its length on the transition, and any
    // other action is dropped.
    void runOnOutScene(const GxFiniteTimeActionRef& action, bool endsWithFinish);

    std::shared_ptr<GxScene> inScene_;
    std::shared_ptr<GxScene> outScene_;
    float duration_ = 0;
    bool inSceneOnTop_ = true;
    bool sendCleanupToScene_ = false;

private:
    bool swapped_ = false;
    bool replacesOutScene_ = false;
};

// A transition with a direction: 0 or 1, whose meaning each class gives.
class GxTransitionSceneOriented : public GxTransitionScene {
public:
    static std::shared_ptr<GxTransitionSceneOriented> transitionWithDuration(float duration,
                                                                             std::shared_ptr<GxScene> scene,
                                                                             int orientation) {
        return gxMake<GxTransitionSceneOriented>(duration, std::move(scene), orientation);
    }
    using GxTransitionScene::init;
    bool init(float duration, std::shared_ptr<GxScene> scene) override { return init(duration, scene, 0); }
    virtual bool init(float duration, std::shared_ptr<GxScene> scene, int orientation);
    const char* className() const override { return "GxTransitionSceneOriented"; }
    int orientation() const { return orientation_; }

protected:
    int orientation_ = 0;
};

// The easing a transition puts around its main action.
class GxTransitionEaseScene {
public:
    virtual ~GxTransitionEaseScene() = default;
    virtual GxActionIntervalRef easeActionWithAction(GxActionIntervalRef action) = 0;
};

// Makers of the transition classes: transitionWithDuration(d, scene) and,
// for oriented ones, transitionWithDuration(d, scene, orientation).
#define GX_TRANSITION_MAKER(Name)                                                                         \
    static std::shared_ptr<Name> transitionWithDuration(float duration, std::shared_ptr<GxScene> scene) { \
        return gxMake<Name>(duration, std::move(scene));                                                  \
    }                                                                                                     \
    const char* className() const override { return #Name; }

#define GX_TRANSITION_ORIENTED_MAKER(Name)                                                                       \
    GX_TRANSITION_MAKER(Name)                                                                                    \
    static std::shared_ptr<Name> transitionWithDuration(float duration, std::shared_ptr<GxScene> scene, int o) { \
        return gxMake<Name>(duration, std::move(scene), o);                                                      \
    }

// The incoming scene grows out of the centre while the outgoing one spins
// away to nothing.
class GxTransitionRotoZoom : public GxTransitionScene {
public:
    GX_TRANSITION_MAKER(GxTransitionRotoZoom)
    void onEnter() override;
};

// The outgoing scene shrinks and jumps away; the incoming one jumps in.
class GxTransitionJumpZoom : public GxTransitionScene {
public:
    GX_TRANSITION_MAKER(GxTransitionJumpZoom)
    void onEnter() override;
};

// The incoming scene moves in from the left over the outgoing one.
class GxTransitionMoveInL : public GxTransitionScene, public GxTransitionEaseScene {
public:
    GX_TRANSITION_MAKER(GxTransitionMoveInL)
    void onEnter() override;
    virtual void initScenes();
    // A new action each call.
    virtual GxActionIntervalRef action();
    GxActionIntervalRef easeActionWithAction(GxActionIntervalRef action) override;
};

class GxTransitionMoveInR : public GxTransitionMoveInL {
public:
    GX_TRANSITION_MAKER(GxTransitionMoveInR)
    void initScenes() override;
};

class GxTransitionMoveInT : public GxTransitionMoveInL {
public:
    GX_TRANSITION_MAKER(GxTransitionMoveInT)
    void initScenes() override;
};

class GxTransitionMoveInB : public GxTransitionMoveInL {
public:
    GX_TRANSITION_MAKER(GxTransitionMoveInB)
    void initScenes() override;
};

// The incoming scene slides in from the left, pushing the outgoing one out.
// The offset is half a point short of the window.
class GxTransitionSlideInL : public GxTransitionScene, public GxTransitionEaseScene {
public:
    GX_TRANSITION_MAKER(GxTransitionSlideInL)
    void sceneOrder() override { inSceneOnTop_ = false; }
    void onEnter() override;
    virtual void initScenes();
    // A new action each call.
    virtual GxActionIntervalRef action();
    GxActionIntervalRef easeActionWithAction(GxActionIntervalRef action) override;
};

class GxTransitionSlideInR : public GxTransitionSlideInL {
public:
    GX_TRANSITION_MAKER(GxTransitionSlideInR)
    void sceneOrder() override { inSceneOnTop_ = true; }
    void initScenes() override;
    GxActionIntervalRef action() override;
};

class GxTransitionSlideInT : public GxTransitionSlideInL {
public:
    GX_TRANSITION_MAKER(GxTransitionSlideInT)
    void sceneOrder() override { inSceneOnTop_ = false; }
    void initScenes() override;
    GxActionIntervalRef action() override;
};

class GxTransitionSlideInB : public GxTransitionSlideInL {
public:
    GX_TRANSITION_MAKER(GxTransitionSlideInB)
    void sceneOrder() override { inSceneOnTop_ = true; }
    void initScenes() override;
    GxActionIntervalRef action() override;
};

// The outgoing scene shrinks towards the left third while the incoming one
// grows from the right third.
class GxTransitionShrinkGrow : public GxTransitionScene, public GxTransitionEaseScene {
public:
    GX_TRANSITION_MAKER(GxTransitionShrinkGrow)
    void onEnter() override;
    GxActionIntervalRef easeActionWithAction(GxActionIntervalRef action) override;
};

// The flips: the outgoing scene turns away through a camera orbit for the
// first half, the incoming one turns in for the second. Orientation 1 (0 for
// the y flips) turns in from 270 degrees, the other from 90.
class GxTransitionFlipBase : public GxTransitionSceneOriented {
public:
    void onEnter() override;

protected:
    // The orientation that turns the incoming scene in from 270 degrees, and
    // the x angles of the incoming and outgoing orbits.
    virtual int orientationFor270() const = 0;
    virtual float inAngleX() const = 0;
    virtual float outAngleX() const = 0;
    virtual bool zooms() const { return false; }
};

#define GX_TRANSITION_FLIP(Name, For270, InX, OutX, Zoom)         \
    class Name : public GxTransitionFlipBase {                    \
    public:                                                       \
        GX_TRANSITION_ORIENTED_MAKER(Name)                        \
                                                                  \
    protected:                                                    \
        int orientationFor270() const override { return For270; } \
        float inAngleX() const override { return InX; }           \
        float outAngleX() const override { return OutX; }         \
        bool zooms() const override { return Zoom; }              \
    };

GX_TRANSITION_FLIP(GxTransitionFlipX, 1, 0, 0, false)
GX_TRANSITION_FLIP(GxTransitionFlipY, 0, 90, 90, false)
GX_TRANSITION_FLIP(GxTransitionFlipAngular, 1, -45, 45, false)
GX_TRANSITION_FLIP(GxTransitionZoomFlipX, 1, 0, 0, true)
GX_TRANSITION_FLIP(GxTransitionZoomFlipY, 0, 90, 90, true)
GX_TRANSITION_FLIP(GxTransitionZoomFlipAngular, 1, -45, 45, true)

#undef GX_TRANSITION_FLIP

// Fades to a colour over the outgoing scene, then from it over the incoming
// one (black unless given).
class GxTransitionFade : public GxTransitionScene {
public:
    GX_TRANSITION_MAKER(GxTransitionFade)
    static std::shared_ptr<GxTransitionFade> transitionWithDuration(float duration, std::shared_ptr<GxScene> scene,
                                                                    gxColor3B color) {
        return gxMake<GxTransitionFade>(duration, std::move(scene), color);
    }
    using GxTransitionScene::init;
    bool init(float duration, std::shared_ptr<GxScene> scene) override {
        return init(duration, std::move(scene), gxColor3B{0, 0, 0});
    }
    virtual bool init(float duration, std::shared_ptr<GxScene> scene, gxColor3B color);
    void onEnter() override;
    void onExit() override;
    gxColor4B color() const { return color_; }

private:
    gxColor4B color_{0, 0, 0, 0};
};

// Pictures of both scenes in render textures; the outgoing picture fades
// away over the incoming one. Without GL (no render texture) it finishes at
// once.
class GxTransitionCrossFade : public GxTransitionScene {
public:
    GX_TRANSITION_MAKER(GxTransitionCrossFade)
    void draw() override {}
    void onEnter() override;
    void onExit() override;
};

}  // namespace engine2d
