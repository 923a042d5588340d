#include "lib/engine2d/transitions/GxTransitionGrid.h"

#include <algorithm>
#include <cmath>

#include "lib/engine2d/actions/GxActionEase.h"
#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/grideffects/GxEffects3D.h"
#include "lib/engine2d/grideffects/GxTiledEffects.h"

namespace engine2d {

namespace {

Size winSize() { return GxDirector::sharedDirector().winSize(); }

}  // namespace

gxGridSize gxTransitionTileGrid(Size s) {
    const float aspect = s.height > 0 ? s.width / s.height : 1;
    // At least one column, so a window of no height or width still gets a grid.
    return gxGridSize{std::max(1, int(std::floor(12 * aspect))), 12};
}

// ---- turning tiles off ----

void GxTransitionTurnOffTiles::onEnter() {
    GxTransitionScene::onEnter();
    auto toff = GxTurnOffTiles::actionWithSize(gxTransitionTileGrid(winSize()), duration_);
    runOnOutScene(GxSequence::actions({easeActionWithAction(toff), finishAction(), GxStopGrid::action()}), true);
}

// ---- splitting ----

void GxTransitionSplitCols::onEnter() {
    GxTransitionScene::onEnter();
    inScene_->setVisible(false);
    std::weak_ptr<GxNode> weak = shared_from_this();
    auto hideOutShowIn = GxCallFunc::actionWithTarget(nullptr, "hideOutShowIn", [weak] {
        if (auto self = std::static_pointer_cast<GxTransitionScene>(weak.lock())) self->hideOutShowIn();
    });
    auto split = action();
    auto seq =
        std::dynamic_pointer_cast<GxActionInterval>(GxSequence::actions({split, hideOutShowIn, split->reverse()}));
    runAction(GxSequence::actions({easeActionWithAction(seq), finishAction(), GxStopGrid::action()}));
}

GxActionIntervalRef GxTransitionSplitCols::easeActionWithAction(GxActionIntervalRef action) {
    return GxEaseInOut::actionWithAction(std::move(action), 3.0f);
}

GxActionIntervalRef GxTransitionSplitCols::action() { return GxSplitCols::actionWithCols(3, duration_ / 2); }

GxActionIntervalRef GxTransitionSplitRows::action() { return GxSplitRows::actionWithRows(3, duration_ / 2); }

// ---- fading tiles ----

void GxTransitionFadeTR::onEnter() {
    GxTransitionScene::onEnter();
    auto fade = actionWithSize(gxTransitionTileGrid(winSize()));
    runOnOutScene(GxSequence::actions({easeActionWithAction(fade), finishAction(), GxStopGrid::action()}), true);
}

GxActionIntervalRef GxTransitionFadeTR::actionWithSize(gxGridSize size) {
    return GxFadeOutTRTiles::actionWithSize(size, duration_);
}

GxActionIntervalRef GxTransitionFadeBL::actionWithSize(gxGridSize size) {
    return GxFadeOutBLTiles::actionWithSize(size, duration_);
}

GxActionIntervalRef GxTransitionFadeUp::actionWithSize(gxGridSize size) {
    return GxFadeOutUpTiles::actionWithSize(size, duration_);
}

GxActionIntervalRef GxTransitionFadeDown::actionWithSize(gxGridSize size) {
    return GxFadeOutDownTiles::actionWithSize(size, duration_);
}

// ---- page turn ----

bool GxTransitionPageTurn::init(float duration, std::shared_ptr<GxScene> scene, bool backwards) {
    // Set first: the base initialiser asks for the scene order, which reads it.
    back_ = backwards;
    return GxTransitionScene::init(duration, std::move(scene));
}

GxActionIntervalRef GxTransitionPageTurn::actionWithSize(gxGridSize size) {
    GxActionIntervalRef turn = GxPageTurn3D::actionWithSize(size, duration_);
    if (back_) return GxReverseTime::actionWithAction(turn);
    return turn;
}

void GxTransitionPageTurn::onEnter() {
    GxTransitionScene::onEnter();
    const Size s = winSize();
    const gxGridSize grid = s.width > s.height ? gxGridSize{16, 12} : gxGridSize{12, 16};
    auto turn = actionWithSize(grid);
    if (!back_) {
        runOnOutScene(GxSequence::actions({turn, finishAction(), GxStopGrid::action()}), true);
    } else {
        inScene_->setVisible(false);
        inScene_->runAction(GxSequence::actions({GxShow::action(), turn, finishAction(), GxStopGrid::action()}));
    }
}

}  // namespace engine2d
