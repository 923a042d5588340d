#pragma once
// Transitions drawn through grids: tiles of the outgoing scene turning off
// or fading away, the window split into columns or rows that slide apart,
// and the page turn. Each stops its grid when it is done.

#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/transitions/GxTransition.h"

namespace engine2d {

// The tile grid of these transitions: 12 rows, and as many columns as keep
// the cells about square.
gxGridSize gxTransitionTileGrid(Size winSize);

// The outgoing scene's tiles go out one by one, in an order that is the same
// every time; the incoming scene shows beneath.
class GxTransitionTurnOffTiles : public GxTransitionScene, public GxTransitionEaseScene {
public:
    GX_TRANSITION_MAKER(GxTransitionTurnOffTiles)
    void sceneOrder() override { inSceneOnTop_ = false; }
    void onEnter() override;
    GxActionIntervalRef easeActionWithAction(GxActionIntervalRef action) override { return action; }
};

// The outgoing scene splits into three columns sliding apart; the incoming
// scene comes together the same way.
class GxTransitionSplitCols : public GxTransitionScene, public GxTransitionEaseScene {
public:
    GX_TRANSITION_MAKER(GxTransitionSplitCols)
    void onEnter() override;
    GxActionIntervalRef easeActionWithAction(GxActionIntervalRef action) override;
    // The split over half the duration.
    virtual GxActionIntervalRef action();
};

// The same in three rows.
class GxTransitionSplitRows : public GxTransitionSplitCols {
public:
    GX_TRANSITION_MAKER(GxTransitionSplitRows)
    GxActionIntervalRef action() override;
};

// The outgoing scene's tiles shrink away from the bottom left to the top
// right; the incoming scene shows beneath. The other three run the other
// ways: from the top right, upwards, downwards.
class GxTransitionFadeTR : public GxTransitionScene, public GxTransitionEaseScene {
public:
    GX_TRANSITION_MAKER(GxTransitionFadeTR)
    void sceneOrder() override { inSceneOnTop_ = false; }
    void onEnter() override;
    GxActionIntervalRef easeActionWithAction(GxActionIntervalRef action) override { return action; }
    virtual GxActionIntervalRef actionWithSize(gxGridSize size);
};

class GxTransitionFadeBL : public GxTransitionFadeTR {
public:
    GX_TRANSITION_MAKER(GxTransitionFadeBL)
    GxActionIntervalRef actionWithSize(gxGridSize size) override;
};

class GxTransitionFadeUp : public GxTransitionFadeTR {
public:
    GX_TRANSITION_MAKER(GxTransitionFadeUp)
    GxActionIntervalRef actionWithSize(gxGridSize size) override;
};

class GxTransitionFadeDown : public GxTransitionFadeTR {
public:
    GX_TRANSITION_MAKER(GxTransitionFadeDown)
    GxActionIntervalRef actionWithSize(gxGridSize size) override;
};

// The outgoing scene curls away like a page from the bottom-right corner;
// backwards, the incoming scene curls in on top.
class GxTransitionPageTurn : public GxTransitionScene {
public:
    static std::shared_ptr<GxTransitionPageTurn> transitionWithDuration(float duration, std::shared_ptr<GxScene> scene,
                                                                        bool backwards) {
        return gxMake<GxTransitionPageTurn>(duration, std::move(scene), backwards);
    }
    const char* className() const override { return "GxTransitionPageTurn"; }
    using GxTransitionScene::init;
    bool init(float duration, std::shared_ptr<GxScene> scene) override {
        return init(duration, std::move(scene), false);
    }
    virtual bool init(float duration, std::shared_ptr<GxScene> scene, bool backwards);
    void sceneOrder() override { inSceneOnTop_ = back_; }
    void onEnter() override;
    // The curl over the whole duration on a grid of `size`, played in reverse
    // when turning backwards.
    GxActionIntervalRef actionWithSize(gxGridSize size);
    bool backwards() const { return back_; }

private:
    bool back_ = false;
};

}  // namespace engine2d
