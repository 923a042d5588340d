#include "lib/engine2d/transitions/GxTransitionProgress.h"

#include "lib/engine2d/actions/GxActionTween.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/misc/GxProgressTimer.h"
#include "lib/engine2d/rendertexture/GxRenderTexture.h"
#include "lib/engine2d/sprites/GxSprite.h"

namespace engine2d {

void GxTransitionProgress::onEnter() {
    GxTransitionScene::onEnter();
    setupTransition();
    const Size s = GxDirector::sharedDirector().winSize();
    auto texture = GxRenderTexture::renderTextureWithWidth(int(s.width), int(s.height));
    if (!texture) {
        // Nothing to picture (no GL context, or a window of no size).
        hideOutShowIn();
        finish();
        return;
    }
    texture->sprite()->setAnchorPoint(Point{0.5f, 0.5f});
    texture->setPosition(Point{s.width / 2, s.height / 2});
    texture->setAnchorPoint(Point{0.5f, 0.5f});

    // The picture on opaque black.
    texture->clear(0, 0, 0, 1);
    texture->begin();
    if (sceneToBeModified_) sceneToBeModified_->visit();
    texture->end();

    // The real incoming scene shows behind the outgoing one's picture.
    if (sceneToBeModified_ == outScene_.get()) hideOutShowIn();

    auto node = progressTimerNodeWithRenderTexture(texture);
    if (!node) {
        finish();
        return;
    }
    node->runAction(GxSequence::actions({GxProgressFromTo::actionWithDuration(duration_, from_, to_), finishAction()}));
    addChild(node, 2, kGxSceneProgressTag);
}

void GxTransitionProgress::onExit() {
    removeChildByTag(kGxSceneProgressTag, false);
    GxTransitionScene::onExit();
}

void GxTransitionProgress::setupTransition() {
    sceneToBeModified_ = outScene_.get();
    from_ = 100;
    to_ = 0;
}

std::shared_ptr<GxProgressTimer> GxTransitionProgress::progressTimerNodeWithRenderTexture(
    const std::shared_ptr<GxRenderTexture>&) {
    return nullptr;
}

std::shared_ptr<GxProgressTimer> GxTransitionProgress::makeTimer(const std::shared_ptr<GxRenderTexture>& texture,
                                                                 int type, float percentage) {
    const Size s = GxDirector::sharedDirector().winSize();
    auto node = GxProgressTimer::progressWithSprite(texture->sprite());
    if (!node) return nullptr;
    node->sprite()->setFlipY(true);
    node->setType(type);
    node->setPercentage(percentage);
    node->setPosition(Point{s.width / 2, s.height / 2});
    node->setAnchorPoint(Point{0.5f, 0.5f});
    return node;
}

std::shared_ptr<GxProgressTimer> GxTransitionProgressRadialCCW::progressTimerNodeWithRenderTexture(
    const std::shared_ptr<GxRenderTexture>& texture) {
    auto node = makeTimer(texture, kGxProgressTimerTypeRadial, 100);
    if (node) node->setReverseDirection(false);
    return node;
}

std::shared_ptr<GxProgressTimer> GxTransitionProgressRadialCW::progressTimerNodeWithRenderTexture(
    const std::shared_ptr<GxRenderTexture>& texture) {
    auto node = makeTimer(texture, kGxProgressTimerTypeRadial, 100);
    if (node) node->setReverseDirection(true);
    return node;
}

std::shared_ptr<GxProgressTimer> GxTransitionProgressHorizontal::progressTimerNodeWithRenderTexture(
    const std::shared_ptr<GxRenderTexture>& texture) {
    auto node = makeTimer(texture, kGxProgressTimerTypeBar, 100);
    if (node) {
        node->setMidpoint(Point{1, 0});
        node->setBarChangeRate(Point{1, 0});
    }
    return node;
}

std::shared_ptr<GxProgressTimer> GxTransitionProgressVertical::progressTimerNodeWithRenderTexture(
    const std::shared_ptr<GxRenderTexture>& texture) {
    auto node = makeTimer(texture, kGxProgressTimerTypeBar, 100);
    if (node) {
        node->setMidpoint(Point{0, 0});
        node->setBarChangeRate(Point{0, 1});
    }
    return node;
}

void GxTransitionProgressInOut::setupTransition() {
    sceneToBeModified_ = inScene_.get();
    from_ = 0;
    to_ = 100;
}

std::shared_ptr<GxProgressTimer> GxTransitionProgressInOut::progressTimerNodeWithRenderTexture(
    const std::shared_ptr<GxRenderTexture>& texture) {
    auto node = makeTimer(texture, kGxProgressTimerTypeBar, 0);
    if (node) {
        node->setMidpoint(Point{0.5f, 0.5f});
        node->setBarChangeRate(Point{1, 1});
    }
    return node;
}

std::shared_ptr<GxProgressTimer> GxTransitionProgressOutIn::progressTimerNodeWithRenderTexture(
    const std::shared_ptr<GxRenderTexture>& texture) {
    auto node = makeTimer(texture, kGxProgressTimerTypeBar, 100);
    if (node) {
        node->setMidpoint(Point{0.5f, 0.5f});
        node->setBarChangeRate(Point{1, 1});
    }
    return node;
}

}  // namespace engine2d
