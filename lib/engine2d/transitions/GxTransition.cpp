#include "lib/engine2d/transitions/GxTransition.h"

#include "lib/engine2d/actions/GxActionCamera.h"
#include "lib/engine2d/actions/GxActionEase.h"
#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/actions/GxActionTransform.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxLayerColor.h"
#include "lib/engine2d/nodes/GxCamera.h"
#include "lib/engine2d/rendertexture/GxRenderTexture.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "platform/gl/GL.h"

namespace engine2d {

namespace {

GxDirector& director() { return GxDirector::sharedDirector(); }

void resetScene(GxScene& s) {
    s.setPosition(Point{0, 0});
    s.setScale(1.0f);
    s.setRotation(0);
    s.camera()->restore();
}

}  // namespace

// ---- the base ----

std::shared_ptr<GxTransitionScene> GxTransitionScene::transitionWithDuration(float duration,
                                                                             std::shared_ptr<GxScene> scene) {
    return gxMake<GxTransitionScene>(duration, std::move(scene));
}

bool GxTransitionScene::init(float duration, std::shared_ptr<GxScene> scene) {
    if (!GxScene::init()) return false;
    duration_ = duration;
    inScene_ = std::move(scene);
    outScene_ = director().runningScene();
    director().touchDispatcher()->setDispatchEvents(false);
    sceneOrder();
    return true;
}

void GxTransitionScene::draw() {
    GxScene::draw();
    GxScene* first = inSceneOnTop_ ? outScene_.get() : inScene_.get();
    GxScene* second = inSceneOnTop_ ? inScene_.get() : outScene_.get();
    if (first) first->visit();
    if (second) second->visit();
}

void GxTransitionScene::onEnter() {
    GxScene::onEnter();
    // Whether the director leaves the outgoing scene for good (replace) or
    // keeps it below (push).
    replacesOutScene_ = director().sendCleanupToScene();
    if (outScene_) outScene_->onExitTransitionDidStart();
    if (inScene_) inScene_->onEnter();
}

void GxTransitionScene::onExit() {
    GxScene::onExit();
    if (outScene_) outScene_->onExit();
    if (swapped_) {
        if (inScene_) inScene_->onEnterTransitionDidFinish();
        return;
    }
    // Cut short (replaced, or the director ended): the incoming scene never
    // runs, so it leaves too, and touches come back unless the next scene is
    // a transition of its own.
    if (inScene_) inScene_->onExit();
    const auto& next = director().nextScene();
    if (!next || !next->isTransition()) director().touchDispatcher()->setDispatchEvents(true);
}

void GxTransitionScene::cleanup() {
    GxScene::cleanup();
    if (swapped_) {
        if (sendCleanupToScene_ && outScene_) outScene_->cleanup();
        return;
    }
    // Cut short: nothing will run the scenes' actions and timers to their
    // end; the outgoing scene keeps them when it still waits on the stack.
    if (inScene_) inScene_->cleanup();
    if (outScene_ && replacesOutScene_) outScene_->cleanup();
}

void GxTransitionScene::finish() {
    if (inScene_) {
        inScene_->setVisible(true);
        resetScene(*inScene_);
    }
    if (outScene_) {
        outScene_->setVisible(false);
        resetScene(*outScene_);
    }
    // Swapped on the next tick, not inside the action that called finish.
    std::weak_ptr<GxNode> weak = shared_from_this();
    schedule(
        "setNewScene:",
        [weak](float dt) {
            if (auto self = std::static_pointer_cast<GxTransitionScene>(weak.lock())) self->setNewScene(dt);
        },
        0);
}

void GxTransitionScene::setNewScene(float) {
    auto self = shared_from_this();  // the director lets go of it below
    unschedule("setNewScene:");
    sendCleanupToScene_ = director().sendCleanupToScene();
    swapped_ = true;
    director().replaceScene(inScene_);
    director().touchDispatcher()->setDispatchEvents(true);
    if (outScene_) outScene_->setVisible(true);
}

void GxTransitionScene::hideOutShowIn() {
    if (inScene_) inScene_->setVisible(true);
    if (outScene_) outScene_->setVisible(false);
}

GxFiniteTimeActionRef GxTransitionScene::finishAction() {
    std::weak_ptr<GxNode> weak = shared_from_this();
    return GxCallFunc::actionWithTarget(nullptr, "finish", [weak] {
        if (auto self = std::static_pointer_cast<GxTransitionScene>(weak.lock())) self->finish();
    });
}

void GxTransitionScene::runOnOutScene(const GxFiniteTimeActionRef& action, bool endsWithFinish) {
    if (!action) return;
    if (outScene_) {
        outScene_->runAction(action);
    } else if (endsWithFinish) {
        runAction(GxSequence::actions({GxDelayTime::actionWithDuration(action->duration()), finishAction()}));
    }
}

bool GxTransitionSceneOriented::init(float duration, std::shared_ptr<GxScene> scene, int orientation) {
    if (!GxTransitionScene::init(duration, std::move(scene))) return false;
    orientation_ = orientation;
    return true;
}

// ---- rotate and zoom, jump and zoom ----

void GxTransitionRotoZoom::onEnter() {
    GxTransitionScene::onEnter();
    inScene_->setScale(0.001f);
    inScene_->setAnchorPoint(Point{0.5f, 0.5f});
    if (outScene_) {
        outScene_->setScale(1.0f);
        outScene_->setAnchorPoint(Point{0.5f, 0.5f});
    }
    const float d = duration_;
    auto rotoZoom = GxSequence::actions({GxSpawn::actions({GxScaleBy::actionWithDuration(d / 2, 0.001f),
                                                           GxRotateBy::actionWithDuration(d / 2, 360 * 2)}),
                                         GxDelayTime::actionWithDuration(d / 2)});
    inScene_->runAction(GxSequence::actions({rotoZoom->reverse(), finishAction()}));
    runOnOutScene(rotoZoom, false);
}

void GxTransitionJumpZoom::onEnter() {
    GxTransitionScene::onEnter();
    const Size s = director().winSize();
    const float d = duration_;
    inScene_->setScale(0.5f);
    inScene_->setPosition(Point{s.width, 0});
    inScene_->setAnchorPoint(Point{0.5f, 0.5f});
    if (outScene_) outScene_->setAnchorPoint(Point{0.5f, 0.5f});
    auto jump = GxJumpBy::actionWithDuration(d / 4, Point{-s.width, 0}, s.width / 4, 2);
    auto scaleIn = GxScaleTo::actionWithDuration(d / 4, 1.0f);
    auto scaleOut = GxScaleTo::actionWithDuration(d / 4, 0.5f);
    // Each scene gets its own jump: one frame may end the first and start
    // the second, and a shared action would then move the wrong scene.
    auto jumpOut = std::static_pointer_cast<GxFiniteTimeAction>(jump->copy());
    inScene_->runAction(GxSequence::actions({GxDelayTime::actionWithDuration(d / 2), jump, scaleIn, finishAction()}));
    runOnOutScene(GxSequence::actions({scaleOut, jumpOut}), false);
}

// ---- move in ----

void GxTransitionMoveInL::onEnter() {
    GxTransitionScene::onEnter();
    initScenes();
    inScene_->runAction(GxSequence::actions({easeActionWithAction(action()), finishAction()}));
}

void GxTransitionMoveInL::initScenes() { inScene_->setPosition(Point{-director().winSize().width, 0}); }

GxActionIntervalRef GxTransitionMoveInL::action() { return GxMoveTo::actionWithDuration(duration_, Point{0, 0}); }

GxActionIntervalRef GxTransitionMoveInL::easeActionWithAction(GxActionIntervalRef action) {
    return GxEaseOut::actionWithAction(std::move(action), 2.0f);
}

void GxTransitionMoveInR::initScenes() { inScene_->setPosition(Point{director().winSize().width, 0}); }
void GxTransitionMoveInT::initScenes() { inScene_->setPosition(Point{0, director().winSize().height}); }
void GxTransitionMoveInB::initScenes() { inScene_->setPosition(Point{0, -director().winSize().height}); }

// ---- slide in ----

namespace {
// Half a point short of the window, so no gap opens between the scenes.
constexpr float kSlideShort = 0.5f;
}  // namespace

void GxTransitionSlideInL::onEnter() {
    GxTransitionScene::onEnter();
    initScenes();
    inScene_->runAction(easeActionWithAction(action()));
    runOnOutScene(GxSequence::actions({easeActionWithAction(action()), finishAction()}), true);
}

void GxTransitionSlideInL::initScenes() {
    inScene_->setPosition(Point{-(director().winSize().width - kSlideShort), 0});
}

GxActionIntervalRef GxTransitionSlideInL::action() {
    return GxMoveBy::actionWithDuration(duration_, Point{director().winSize().width - kSlideShort, 0});
}

GxActionIntervalRef GxTransitionSlideInL::easeActionWithAction(GxActionIntervalRef action) {
    return GxEaseOut::actionWithAction(std::move(action), 2.0f);
}

void GxTransitionSlideInR::initScenes() { inScene_->setPosition(Point{director().winSize().width - kSlideShort, 0}); }

GxActionIntervalRef GxTransitionSlideInR::action() {
    return GxMoveBy::actionWithDuration(duration_, Point{-(director().winSize().width - kSlideShort), 0});
}

void GxTransitionSlideInT::initScenes() { inScene_->setPosition(Point{0, director().winSize().height - kSlideShort}); }

GxActionIntervalRef GxTransitionSlideInT::action() {
    return GxMoveBy::actionWithDuration(duration_, Point{0, -(director().winSize().height - kSlideShort)});
}

void GxTransitionSlideInB::initScenes() {
    inScene_->setPosition(Point{0, -(director().winSize().height - kSlideShort)});
}

GxActionIntervalRef GxTransitionSlideInB::action() {
    return GxMoveBy::actionWithDuration(duration_, Point{0, director().winSize().height - kSlideShort});
}

// ---- shrink and grow ----

void GxTransitionShrinkGrow::onEnter() {
    GxTransitionScene::onEnter();
    inScene_->setScale(0.001f);
    inScene_->setAnchorPoint(Point{2 / 3.0f, 0.5f});
    if (outScene_) {
        outScene_->setScale(1.0f);
        outScene_->setAnchorPoint(Point{1 / 3.0f, 0.5f});
    }
    inScene_->runAction(easeActionWithAction(GxScaleTo::actionWithDuration(duration_, 1.0f)));
    runOnOutScene(
        GxSequence::actions({easeActionWithAction(GxScaleTo::actionWithDuration(duration_, 0.01f)), finishAction()}),
        true);
}

GxActionIntervalRef GxTransitionShrinkGrow::easeActionWithAction(GxActionIntervalRef action) {
    return GxEaseOut::actionWithAction(std::move(action), 2.0f);
}

// ---- flips ----

void GxTransitionFlipBase::onEnter() {
    GxTransitionSceneOriented::onEnter();
    inScene_->setVisible(false);
    const float d = duration_;
    const bool from270 = orientation_ == orientationFor270();
    const float inAngleZ = from270 ? 270 : 90;
    const float inDeltaZ = from270 ? 90 : -90;
    const float outAngleZ = 0;
    auto inOrbit = GxOrbitCamera::actionWithDuration(d / 2, 1, 0, inAngleZ, inDeltaZ, inAngleX(), 0);
    auto outOrbit = GxOrbitCamera::actionWithDuration(d / 2, 1, 0, outAngleZ, inDeltaZ, outAngleX(), 0);
    GxFiniteTimeActionRef inAction, outAction;
    if (zooms()) {
        inScene_->setScale(0.5f);
        inAction = GxSequence::actions(
            {GxDelayTime::actionWithDuration(d / 2),
             GxSpawn::actions({inOrbit, GxScaleTo::actionWithDuration(d / 2, 1.0f), GxShow::action()}),
             finishAction()});
        outAction = GxSequence::actions({GxSpawn::actions({outOrbit, GxScaleTo::actionWithDuration(d / 2, 0.5f)}),
                                         GxHide::action(), GxDelayTime::actionWithDuration(d / 2)});
    } else {
        inAction =
            GxSequence::actions({GxDelayTime::actionWithDuration(d / 2), GxShow::action(), inOrbit, finishAction()});
        outAction = GxSequence::actions({outOrbit, GxHide::action(), GxDelayTime::actionWithDuration(d / 2)});
    }
    inScene_->runAction(inAction);
    runOnOutScene(outAction, false);
}

// ---- fades ----

bool GxTransitionFade::init(float duration, std::shared_ptr<GxScene> scene, gxColor3B color) {
    if (!GxTransitionScene::init(duration, std::move(scene))) return false;
    color_ = gxColor4B{color.r, color.g, color.b, 0};
    return true;
}

void GxTransitionFade::onEnter() {
    GxTransitionScene::onEnter();
    auto layer = GxLayerColor::layerWithColor(color_);
    inScene_->setVisible(false);
    addChild(layer, 2, kGxSceneFadeTag);
    std::weak_ptr<GxNode> weak = shared_from_this();
    auto hideOutShowIn = GxCallFunc::actionWithTarget(nullptr, "hideOutShowIn", [weak] {
        if (auto self = std::static_pointer_cast<GxTransitionScene>(weak.lock())) self->hideOutShowIn();
    });
    const float d = duration_;
    layer->runAction(GxSequence::actions(
        {GxFadeIn::actionWithDuration(d / 2), hideOutShowIn, GxFadeOut::actionWithDuration(d / 2), finishAction()}));
}

void GxTransitionFade::onExit() {
    GxTransitionScene::onExit();
    removeChildByTag(kGxSceneFadeTag, false);
}

void GxTransitionCrossFade::onEnter() {
    GxTransitionScene::onEnter();
    const Size s = director().winSize();
    auto layer = GxLayerColor::layerWithColor(gxColor4B{0, 0, 0, 0});
    auto inTexture = GxRenderTexture::renderTextureWithWidth(int(s.width), int(s.height));
    auto outTexture = GxRenderTexture::renderTextureWithWidth(int(s.width), int(s.height));
    if (!layer || !inTexture || !outTexture) {
        // No pictures to fade between (no GL context, or a window of no size).
        hideOutShowIn();
        finish();
        return;
    }
    for (const auto& rt : {inTexture, outTexture}) {
        rt->sprite()->setAnchorPoint(Point{0.5f, 0.5f});
        rt->setPosition(Point{s.width / 2, s.height / 2});
        rt->setAnchorPoint(Point{0.5f, 0.5f});
    }
    inTexture->begin();
    inScene_->visit();
    inTexture->end();
    outTexture->begin();
    if (outScene_) outScene_->visit();
    outTexture->end();
    inTexture->sprite()->setBlendFunc(gxBlendFunc{GL_ONE, GL_ONE});
    outTexture->sprite()->setBlendFunc(gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
    // The outgoing picture lies on top.
    layer->addChild(inTexture);
    layer->addChild(outTexture);
    inTexture->sprite()->setOpacity(255);
    outTexture->sprite()->setOpacity(255);

    std::weak_ptr<GxNode> weak = shared_from_this();
    auto hideOutShowIn = GxCallFunc::actionWithTarget(nullptr, "hideOutShowIn", [weak] {
        if (auto self = std::static_pointer_cast<GxTransitionScene>(weak.lock())) self->hideOutShowIn();
    });
    outTexture->sprite()->runAction(
        GxSequence::actions({GxFadeTo::actionWithDuration(duration_, 0), hideOutShowIn, finishAction()}));
    addChild(layer, 2, kGxSceneFadeTag);
}

void GxTransitionCrossFade::onExit() {
    removeChildByTag(kGxSceneFadeTag, false);
    GxTransitionScene::onExit();
}

}  // namespace engine2d
