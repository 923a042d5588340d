#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "lib/engine2d/misc/GxProgressTimer.h"
#include "lib/engine2d/nodes/GxCamera.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/transitions/GxTransition.h"
#include "lib/engine2d/transitions/GxTransitionGrid.h"
#include "lib/engine2d/transitions/GxTransitionProgress.h"
#include "tests/lib/engine2d/transitions/TransitionFixture.h"

using namespace engine2d;
using engine2d::testing_transitions::Px;
using engine2d::testing_transitions::TransitionTest;

namespace {

using Maker = std::function<std::shared_ptr<GxTransitionScene>(float, std::shared_ptr<GxScene>)>;

struct Named {
    const char* name;
    Maker make;
};

template <class T>
Named named(const char* name) {
    return {name, [](float d, std::shared_ptr<GxScene> s) { return T::transitionWithDuration(d, std::move(s)); }};
}

// Every transition built here.
std::vector<Named> allTransitions() {
    return {
        named<GxTransitionRotoZoom>("RotoZoom"),
        named<GxTransitionJumpZoom>("JumpZoom"),
        named<GxTransitionMoveInL>("MoveInL"),
        named<GxTransitionMoveInR>("MoveInR"),
        named<GxTransitionMoveInT>("MoveInT"),
        named<GxTransitionMoveInB>("MoveInB"),
        named<GxTransitionSlideInL>("SlideInL"),
        named<GxTransitionSlideInR>("SlideInR"),
        named<GxTransitionSlideInT>("SlideInT"),
        named<GxTransitionSlideInB>("SlideInB"),
        named<GxTransitionShrinkGrow>("ShrinkGrow"),
        named<GxTransitionFlipX>("FlipX"),
        named<GxTransitionFlipY>("FlipY"),
        named<GxTransitionFlipAngular>("FlipAngular"),
        named<GxTransitionZoomFlipX>("ZoomFlipX"),
        named<GxTransitionZoomFlipY>("ZoomFlipY"),
        named<GxTransitionZoomFlipAngular>("ZoomFlipAngular"),
        named<GxTransitionFade>("Fade"),
        named<GxTransitionCrossFade>("CrossFade"),
        named<GxTransitionProgressRadialCCW>("ProgressRadialCCW"),
        named<GxTransitionProgressRadialCW>("ProgressRadialCW"),
        named<GxTransitionProgressHorizontal>("ProgressHorizontal"),
        named<GxTransitionProgressVertical>("ProgressVertical"),
        named<GxTransitionProgressInOut>("ProgressInOut"),
        named<GxTransitionProgressOutIn>("ProgressOutIn"),
        named<GxTransitionTurnOffTiles>("TurnOffTiles"),
        named<GxTransitionSplitCols>("SplitCols"),
        named<GxTransitionSplitRows>("SplitRows"),
        named<GxTransitionFadeTR>("FadeTR"),
        named<GxTransitionFadeBL>("FadeBL"),
        named<GxTransitionFadeUp>("FadeUp"),
        named<GxTransitionFadeDown>("FadeDown"),
        {"PageTurn",
         [](float d, std::shared_ptr<GxScene> s) {
             return GxTransitionPageTurn::transitionWithDuration(d, std::move(s), false);
         }},
        {"PageTurnBackwards",
         [](float d, std::shared_ptr<GxScene> s) {
             return GxTransitionPageTurn::transitionWithDuration(d, std::move(s), true);
         }},
    };
}

bool near(const Px& p, const Px& want, int tolerance) {
    for (int i = 0; i < 4; ++i)
        if (std::abs(int(p[i]) - int(want[i])) > tolerance) return false;
    return true;
}

using Transitions = TransitionTest;

TEST_F(Transitions, AFadeCallsBothScenesInOrderAndLeavesTheIncomingSceneRunning) {
    REQUIRE_GL();
    auto a = scene("A", kBlue), b = scene("B", kGreen);
    director().runWithScene(a);
    frame(0);
    log_.clear();

    auto t = GxTransitionFade::transitionWithDuration(1, b, gxColor3B{255, 0, 0});
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->outScene(), a);
    EXPECT_EQ(t->inScene(), b);
    EXPECT_TRUE(t->inSceneOnTop());
    EXPECT_EQ(t->color(), (gxColor4B{255, 0, 0, 0}));
    EXPECT_FALSE(director().touchDispatcher()->dispatchEvents()) << "touches are off from the start";

    director().replaceScene(t);
    frame(0.1);
    ASSERT_EQ(director().runningScene(), t);
    EXPECT_EQ(log_, (std::vector<std::string>{"A onExitTransitionDidStart", "B onEnter"}));
    auto layer = t->getChildByTag(kGxSceneFadeTag);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->zOrder(), 2);
    EXPECT_FALSE(b->visible());
    EXPECT_EQ(pixel(10, 10), (Px{0, 0, 255, 255})) << "the outgoing scene shows first";

    // Half way the red layer covers everything and the scenes have changed places.
    for (int i = 0; i < 6; ++i) frame(0.1);
    EXPECT_TRUE(near(pixel(10, 10), Px{255, 0, 0, 255}, 30)) << int(pixel(10, 10)[0]) << "," << int(pixel(10, 10)[2]);
    EXPECT_TRUE(b->visible());
    EXPECT_FALSE(a->visible());
    EXPECT_FALSE(director().touchDispatcher()->dispatchEvents());

    ASSERT_TRUE(runUntilRunning(b));
    EXPECT_EQ(log_, (std::vector<std::string>{"A onExitTransitionDidStart", "B onEnter", "A onExit",
                                              "B onEnterTransitionDidFinish", "A cleanup"}));
    EXPECT_EQ(director().sceneCount(), 1u);
    EXPECT_TRUE(a->visible()) << "the outgoing scene is made visible again after the swap";
    EXPECT_TRUE(director().touchDispatcher()->dispatchEvents());
    EXPECT_EQ(t->getChildByTag(kGxSceneFadeTag), nullptr) << "the colour layer leaves with the transition";
    frame(0.1);
    EXPECT_EQ(pixel(10, 10), (Px{0, 255, 0, 255}));
}

TEST_F(Transitions, APushedTransitionKeepsTheOutgoingSceneUncleanedOnTheStack) {
    REQUIRE_GL();
    auto a = scene("A", kBlue), b = scene("B", kGreen);
    director().runWithScene(a);
    frame(0);
    auto t = GxTransitionFade::transitionWithDuration(0.4f, b);
    EXPECT_EQ(t->color(), (gxColor4B{0, 0, 0, 0})) << "black unless a colour is given";
    director().pushScene(t);
    ASSERT_TRUE(runUntilRunning(b));
    EXPECT_EQ(director().sceneCount(), 2u);
    EXPECT_FALSE(t->sendCleanupToScene());
    for (const auto& call : log_) EXPECT_NE(call, "A cleanup");
    director().popScene();
    frame(0.1);
    EXPECT_EQ(director().runningScene(), a);
    EXPECT_EQ(pixel(10, 10), (Px{0, 0, 255, 255}));
}

TEST_F(Transitions, WithoutARunningSceneEveryTransitionCompletesOnTheIncomingSceneAlone) {
    REQUIRE_GL();
    for (const Named& n : allTransitions()) {
        SCOPED_TRACE(n.name);
        log_.clear();
        auto b = scene("B", kGreen);
        auto t = n.make(1, b);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->outScene(), nullptr);
        director().runWithScene(t);
        ASSERT_TRUE(runUntilRunning(b, 0.1, 30)) << "finished within the duration and a few frames";
        EXPECT_EQ(log_, (std::vector<std::string>{"B onEnter", "B onEnterTransitionDidFinish"}));
        EXPECT_TRUE(director().touchDispatcher()->dispatchEvents());
        frame(0.1);
        EXPECT_EQ(pixel(24, 16), (Px{0, 255, 0, 255}));
        restart();
    }
}

TEST_F(Transitions, EveryTransitionEndsWithTheIncomingSceneShownAndTheOutgoingSceneReset) {
    REQUIRE_GL();
    for (const Named& n : allTransitions()) {
        SCOPED_TRACE(n.name);
        auto a = scene("A", kBlue), b = scene("B", kGreen);
        director().runWithScene(a);
        frame(0);
        log_.clear();
        auto t = n.make(1, b);
        director().replaceScene(t);
        frame(0.1);
        ASSERT_EQ(director().runningScene(), t);
        frame(0.5);  // somewhere in the middle: something of both may show
        ASSERT_TRUE(runUntilRunning(b, 0.1, 30));
        EXPECT_TRUE(a->visible());
        EXPECT_EQ(a->position(), (Point{0, 0}));
        EXPECT_EQ(a->scale(), 1.0f);
        EXPECT_EQ(a->rotation(), 0.0f);
        EXPECT_TRUE(b->visible());
        EXPECT_EQ(b->position(), (Point{0, 0}));
        EXPECT_EQ(b->scale(), 1.0f);
        EXPECT_EQ(log_.back(), "A cleanup");
        EXPECT_TRUE(director().touchDispatcher()->dispatchEvents());
        frame(0.1);
        EXPECT_EQ(pixel(24, 16), (Px{0, 255, 0, 255}));
        EXPECT_EQ(pixel(1, 1), (Px{0, 255, 0, 255}));
        restart();
    }
}

TEST_F(Transitions, MovesAndSlidesStartTheIncomingSceneOffTheWindow) {
    REQUIRE_GL();
    const float w = kW, h = kH;
    struct Case {
        Named transition;
        Point inStart;
        bool inOnTop;
    };
    const Case cases[] = {
        {named<GxTransitionMoveInL>("MoveInL"), {-w, 0}, true},
        {named<GxTransitionMoveInR>("MoveInR"), {w, 0}, true},
        {named<GxTransitionMoveInT>("MoveInT"), {0, h}, true},
        {named<GxTransitionMoveInB>("MoveInB"), {0, -h}, true},
        // Half a point short of the window.
        {named<GxTransitionSlideInL>("SlideInL"), {-(w - 0.5f), 0}, false},
        {named<GxTransitionSlideInR>("SlideInR"), {w - 0.5f, 0}, true},
        {named<GxTransitionSlideInT>("SlideInT"), {0, h - 0.5f}, false},
        {named<GxTransitionSlideInB>("SlideInB"), {0, -(h - 0.5f)}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transition.name);
        auto a = scene("A", kBlue), b = scene("B", kGreen);
        director().runWithScene(a);
        frame(0);
        auto t = c.transition.make(1, b);
        EXPECT_EQ(t->inSceneOnTop(), c.inOnTop);
        director().replaceScene(t);
        frame(0.1);
        EXPECT_EQ(b->position(), c.inStart);
        // Slides push the outgoing scene by the same amount; moves leave it.
        frame(0.1);
        frame(0.2);
        bool slides = c.inStart.x != 0 ? std::abs(c.inStart.x) < w : std::abs(c.inStart.y) < h;
        Point inMoved{b->position().x - c.inStart.x, b->position().y - c.inStart.y};
        EXPECT_TRUE(inMoved.x != 0 || inMoved.y != 0);
        if (slides) {
            EXPECT_NEAR(a->position().x, inMoved.x, 1e-4);
            EXPECT_NEAR(a->position().y, inMoved.y, 1e-4);
        } else
            EXPECT_EQ(a->position(), (Point{0, 0}));
        ASSERT_TRUE(runUntilRunning(b, 0.1, 30));
        restart();
    }
}

using OrientedMaker = std::function<std::shared_ptr<GxTransitionScene>(std::shared_ptr<GxScene>, int)>;

template <class T>
OrientedMaker oriented() {
    return [](std::shared_ptr<GxScene> s, int o) { return T::transitionWithDuration(2, std::move(s), o); };
}

// The flips turn the scenes with camera orbits; the orientation decides the
// side the camera goes round.
TEST_F(Transitions, FlipsTurnTheCameraToTheSideTheOrientationGives) {
    REQUIRE_GL();
    struct Case {
        const char* name;
        OrientedMaker make;
        int orientation;
        char axis;     // the eye coordinate the orbit moves
        float inSign;  // its sign on the incoming scene half way through its turn
        bool zoom;
    };
    const Case cases[] = {
        {"FlipX 1", oriented<GxTransitionFlipX>(), 1, 'x', -1, false},
        {"FlipX 0", oriented<GxTransitionFlipX>(), 0, 'x', +1, false},
        {"FlipY 0", oriented<GxTransitionFlipY>(), 0, 'y', -1, false},
        {"FlipY 1", oriented<GxTransitionFlipY>(), 1, 'y', +1, false},
        {"FlipAngular 1", oriented<GxTransitionFlipAngular>(), 1, 'x', -1, false},
        {"ZoomFlipX 1", oriented<GxTransitionZoomFlipX>(), 1, 'x', -1, true},
        {"ZoomFlipY 1", oriented<GxTransitionZoomFlipY>(), 1, 'y', +1, true},
        {"ZoomFlipAngular 0", oriented<GxTransitionZoomFlipAngular>(), 0, 'x', +1, true},
    };
    auto eye = [](GxScene& s, char axis) {
        float x, y, z;
        s.camera()->eye(&x, &y, &z);
        return axis == 'x' ? x : y;
    };
    {
        // The oriented base only stores the orientation.
        auto t = GxTransitionSceneOriented::transitionWithDuration(1, GxScene::node(), 1);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->orientation(), 1);
        director().touchDispatcher()->setDispatchEvents(true);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto a = scene("A", kBlue), b = scene("B", kGreen);
        director().runWithScene(a);
        frame(0);
        auto t = c.make(b, c.orientation);
        EXPECT_EQ(static_cast<GxTransitionSceneOriented&>(*t).orientation(), c.orientation);
        director().replaceScene(t);
        frame(0.1);
        EXPECT_FALSE(b->visible());
        EXPECT_EQ(b->scale(), c.zoom ? 0.5f : 1.0f);
        for (int i = 0; i < 5; ++i) frame(0.1);  // the outgoing scene's turn is under way
        // The camera's eye lies a tiny distance off the centre: only its side counts.
        EXPECT_GT(eye(*a, c.axis) * -c.inSign, 0.0f) << "the outgoing scene turns the other way";
        EXPECT_FALSE(b->visible());
        for (int i = 0; i < 10; ++i) frame(0.1);  // the incoming scene's turn is under way
        EXPECT_TRUE(b->visible());
        EXPECT_FALSE(a->visible());
        EXPECT_GT(eye(*b, c.axis) * c.inSign, 0.0f);
        if (c.zoom) {
            EXPECT_GT(b->scale(), 0.5f);
            EXPECT_LT(b->scale(), 1.0f);
        }
        ASSERT_TRUE(runUntilRunning(b, 0.1, 30));
        float x, y, z;
        b->camera()->eye(&x, &y, &z);
        EXPECT_EQ(x, 0.0f) << "finish restores the camera";
        EXPECT_EQ(y, 0.0f);
        restart();
    }
}

TEST_F(Transitions, ATransitionCutShortLetsGoOfBothScenesAndGivesTouchesBack) {
    REQUIRE_GL();
    auto& touches = *director().touchDispatcher();
    auto a = scene("A", kBlue), b = scene("B", kGreen), c = scene("C", kBlue);
    director().runWithScene(a);
    frame(0);
    std::weak_ptr<GxScene> weakA = a, weakB = b;

    // Cut short by a plain scene: both scenes leave, nothing keeps stepping
    // their actions, and touches come back with the new scene.
    {
        auto t1 = GxTransitionShrinkGrow::transitionWithDuration(1, b);
        director().replaceScene(t1);
        frame(0.1);
        frame(0.1);
        EXPECT_FALSE(touches.dispatchEvents());
        EXPECT_EQ(b->numberOfRunningActions(), 1u);
        log_.clear();
        director().replaceScene(c);
        frame(0.1);
        EXPECT_EQ(director().runningScene(), c);
        EXPECT_TRUE(touches.dispatchEvents());
        EXPECT_EQ(log_, (std::vector<std::string>{"A onExit", "B onExit", "B cleanup", "A cleanup", "C onEnter",
                                                  "C onEnterTransitionDidFinish"}))
            << "the scene that cut the transition short enters like any other";
        EXPECT_EQ(b->numberOfRunningActions(), 0u);
        EXPECT_EQ(a->numberOfRunningActions(), 0u);
    }
    a.reset();
    b.reset();
    EXPECT_TRUE(weakA.expired());
    EXPECT_TRUE(weakB.expired()) << "no action holds the incoming scene";

    // Cut short by another transition: still off while that one runs.
    auto t2 = GxTransitionMoveInR::transitionWithDuration(1, scene("D", kGreen));
    director().replaceScene(t2);
    frame(0.1);
    auto t3 = GxTransitionSlideInB::transitionWithDuration(1, scene("E", kBlue));
    director().replaceScene(t3);
    frame(0.1);
    EXPECT_EQ(director().runningScene(), t3);
    EXPECT_FALSE(touches.dispatchEvents());
    auto f = scene("F", kGreen);
    director().replaceScene(f);
    frame(0.1);
    EXPECT_EQ(director().runningScene(), f);
    EXPECT_TRUE(touches.dispatchEvents());
}

TEST_F(Transitions, ProgressTransitionsWipeAPictureWithTheirOwnTimer) {
    REQUIRE_GL();
    struct Case {
        Named transition;
        int type;
        bool reverse;
        Point midpoint, rate;
        float from, to;
        bool picturesIncoming;
    };
    const Case cases[] = {
        {named<GxTransitionProgressRadialCCW>("RadialCCW"),
         kGxProgressTimerTypeRadial,
         false,
         {0.5f, 0.5f},
         {1, 1},
         100,
         0,
         false},
        {named<GxTransitionProgressRadialCW>("RadialCW"),
         kGxProgressTimerTypeRadial,
         true,
         {0.5f, 0.5f},
         {1, 1},
         100,
         0,
         false},
        {named<GxTransitionProgressHorizontal>("Horizontal"),
         kGxProgressTimerTypeBar,
         false,
         {1, 0},
         {1, 0},
         100,
         0,
         false},
        {named<GxTransitionProgressVertical>("Vertical"),
         kGxProgressTimerTypeBar,
         false,
         {0, 0},
         {0, 1},
         100,
         0,
         false},
        {named<GxTransitionProgressInOut>("InOut"), kGxProgressTimerTypeBar, false, {0.5f, 0.5f}, {1, 1}, 0, 100, true},
        {named<GxTransitionProgressOutIn>("OutIn"),
         kGxProgressTimerTypeBar,
         false,
         {0.5f, 0.5f},
         {1, 1},
         100,
         0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transition.name);
        auto a = scene("A", kBlue), b = scene("B", kGreen);
        director().runWithScene(a);
        frame(0);
        auto t = std::static_pointer_cast<GxTransitionProgress>(c.transition.make(1, b));
        EXPECT_FALSE(t->inSceneOnTop());
        director().replaceScene(t);
        frame(0.1);
        ASSERT_EQ(director().runningScene(), t);
        EXPECT_EQ(t->from(), c.from);
        EXPECT_EQ(t->to(), c.to);
        EXPECT_EQ(t->sceneToBeModified(), c.picturesIncoming ? static_cast<GxScene*>(b.get()) : a.get());
        EXPECT_EQ(a->visible(), c.picturesIncoming) << "a pictured outgoing scene hides behind its picture";
        EXPECT_TRUE(b->visible());

        auto node = std::dynamic_pointer_cast<GxProgressTimer>(t->getChildByTag(kGxSceneProgressTag));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->zOrder(), 2);
        EXPECT_EQ(node->type(), c.type);
        if (c.type == kGxProgressTimerTypeRadial) {
            EXPECT_EQ(node->reverseDirection(), c.reverse);
        }
        if (c.type == kGxProgressTimerTypeBar) {
            EXPECT_EQ(node->midpoint(), c.midpoint);
            EXPECT_EQ(node->barChangeRate(), c.rate);
        }
        EXPECT_EQ(node->percentage(), c.from) << "the first frame shows the start";
        EXPECT_TRUE(node->sprite()->flipY());
        EXPECT_EQ(node->position(), (Point{kW / 2.0f, kH / 2.0f}));
        EXPECT_EQ(node->anchorPoint(), (Point{0.5f, 0.5f}));

        for (int i = 0; i < 5; ++i) frame(0.1);
        EXPECT_GT(node->percentage(), 20);
        EXPECT_LT(node->percentage(), 80);
        ASSERT_TRUE(runUntilRunning(b, 0.1, 30));
        EXPECT_EQ(node->percentage(), c.to);
        EXPECT_EQ(t->getChildByTag(kGxSceneProgressTag), nullptr);
        restart();
    }
}

TEST_F(Transitions, HalfWayTheHorizontalWipeShowsThePictureOnOneSideAndTheIncomingSceneOnTheOther) {
    REQUIRE_GL();
    // The outgoing scene: blue with a red top half, to see the picture upright.
    auto a = scene("A", kBlue), b = scene("B", kGreen);
    auto top = GxLayerColor::layerWithColor(gxColor4B{255, 0, 0, 255}, kW, kH / 2.0f);
    top->setPosition(Point{0, kH / 2.0f});
    a->addChild(top);
    director().runWithScene(a);
    frame(0);
    auto t = GxTransitionProgressHorizontal::transitionWithDuration(1, b);
    director().replaceScene(t);
    frame(0.1);
    frame(0.1);
    EXPECT_EQ(pixel(2, 2), (Px{0, 0, 255, 255})) << "at the start the picture covers the window";
    EXPECT_EQ(pixel(2, kH - 3), (Px{255, 0, 0, 255})) << "upright";
    for (int i = 0; i < 5; ++i) frame(0.1);  // about half way
    EXPECT_EQ(pixel(2, 2), (Px{0, 255, 0, 255})) << "the wiped side shows the incoming scene";
    EXPECT_EQ(pixel(kW - 3, 2), (Px{0, 0, 255, 255})) << "the rest is still the picture";
    EXPECT_EQ(pixel(kW - 3, kH - 3), (Px{255, 0, 0, 255}));
}

TEST_F(Transitions, HalfWayTheCrossFadeBlendsBothPictures) {
    REQUIRE_GL();
    auto a = scene("A", kBlue), b = scene("B", kGreen);
    director().runWithScene(a);
    frame(0);
    auto t = GxTransitionCrossFade::transitionWithDuration(1, b);
    director().replaceScene(t);
    frame(0.1);
    ASSERT_EQ(director().runningScene(), t);
    ASSERT_NE(t->getChildByTag(kGxSceneFadeTag), nullptr);
    EXPECT_EQ(t->getChildByTag(kGxSceneFadeTag)->zOrder(), 2);
    frame(0.1);
    EXPECT_TRUE(near(pixel(24, 16), Px{0, 0, 255, 255}, 16));
    for (int i = 0; i < 5; ++i) frame(0.1);
    Px mid = pixel(24, 16);
    EXPECT_GT(mid[1], 60) << "green comes through";
    EXPECT_GT(mid[2], 60) << "blue is still there";
    EXPECT_EQ(mid[0], 0);
    ASSERT_TRUE(runUntilRunning(b));
    EXPECT_EQ(t->getChildByTag(kGxSceneFadeTag), nullptr);
}

}  // namespace

namespace {

// What lies behind the GL view must not show through an opaque scene at any
// moment of a transition: every frame's alpha stays 255.
TEST_F(Transitions, FadesLeaveTheFrameOpaqueWhereTheScenesAreOpaque) {
    REQUIRE_GL();
    const struct {
        const char* name;
        std::function<std::shared_ptr<GxScene>(std::shared_ptr<GxScene>)> make;
    } kinds[] = {
        {"fade",
         [](auto in) {
             return GxTransitionFade::transitionWithDuration(1, in, gxColor3B{255, 255, 255});
         }},
        {"cross-fade", [](auto in) { return GxTransitionCrossFade::transitionWithDuration(1, in); }},
    };
    for (const auto& k : kinds) {
        auto a = scene("A", kBlue), b = scene("B", kGreen);
        director().runWithScene(a);
        frame(0);
        auto t = k.make(b);
        ASSERT_NE(t, nullptr) << k.name;
        director().replaceScene(t);
        int frames = 0;
        uint8_t lowest = 255;
        for (; frames < 30 && director().runningScene() != b; ++frames) {
            frame(0.05);
            for (Px p : {pixel(2, 2), pixel(24, 16), pixel(kW - 3, kH - 3)}) lowest = std::min(lowest, p[3]);
        }
        EXPECT_GT(frames, 10) << k.name;
        EXPECT_EQ(lowest, 255) << k.name;
        restart();
    }
}

}  // namespace
