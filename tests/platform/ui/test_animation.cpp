#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/Layer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

using namespace ui;

namespace {

class Animations : public uitest::UiFixture {
protected:
    double alphaOnScreen(View& v) { return v.layer().presentationState().opacity; }
    Point centerOnScreen(View& v) { return v.layer().presentationState().position; }
};

// The Bézier curve solved by bisection, independently of the engine.
double bezierY(double x1, double y1, double x2, double y2, double x) {
    auto b = [](double p1, double p2, double s) {
        double u = 1 - s;
        return 3 * u * u * s * p1 + 3 * u * s * s * p2 + s * s * s;
    };
    double lo = 0, hi = 1;
    for (int i = 0; i < 100; ++i) {
        double mid = (lo + hi) / 2;
        (b(x1, x2, mid) < x ? lo : hi) = mid;
    }
    return b(y1, y2, (lo + hi) / 2);
}

}  // namespace

TEST_F(Animations, PresentationFollowsEachCurve) {
    struct Curve {
        unsigned option;
        double x1, y1, x2, y2;
    };
    std::vector<Curve> curves = {
        {kAnimationOptionCurveEaseInOut, 0.42, 0, 0.58, 1},
        {kAnimationOptionCurveEaseIn, 0.42, 0, 1, 1},
        {kAnimationOptionCurveEaseOut, 0, 0, 0.58, 1},
        {kAnimationOptionCurveLinear, 0, 0, 1, 1},
    };
    for (auto& c : curves) {
        auto v = View::create({0, 0, 10, 10});
        v->setAlpha(0);
        View::animate(2.0, 0, c.option, [&] { v->setAlpha(1); });
        EXPECT_EQ(v->alpha(), 1) << "the model value is set at once";
        double start = clock().monotonic();
        for (double f : {0.0, 0.25, 0.5, 1.0}) {
            double t = start + 2.0 * f;
            double want = f >= 1 ? 1 : bezierY(c.x1, c.y1, c.x2, c.y2, f);
            EXPECT_NEAR(v->layer().presentationState(t).opacity, want, 1e-4)
                << "option " << c.option << " at " << f * 100 << "%";
        }
        advance(2.0);
    }
    // The four curves differ where they should: at a quarter, ease-in lags
    // linear and ease-out leads it.
    EXPECT_LT(bezierY(0.42, 0, 1, 1, 0.25), 0.25);
    EXPECT_GT(bezierY(0, 0, 0.58, 1, 0.25), 0.25);
}

TEST_F(Animations, CompletionRunsAtDelayPlusDuration) {
    auto v = View::create({0, 0, 10, 10});
    std::optional<bool> finished;
    View::animate(
        0.5, 0.25, 0,
        [&] {
            v->setCenter({100, 100});
        },
        [&](bool f) { finished = f; });
    // During the delay the old value stays on screen.
    advance(0.2);
    EXPECT_EQ(centerOnScreen(*v), (Point{5, 5}));
    advance(0.54);
    EXPECT_FALSE(finished.has_value());
    EXPECT_GT(centerOnScreen(*v).x, 50);
    advance(0.02);
    ASSERT_TRUE(finished.has_value());
    EXPECT_TRUE(*finished);
    EXPECT_EQ(centerOnScreen(*v), (Point{100, 100}));
    EXPECT_FALSE(v->layer().hasAnimations());
}

TEST_F(Animations, CompletionFlagsForReplacedRemovedAndZeroLength) {
    struct Case {
        const char* what;
        std::function<void(View&)> interrupt;  // runs 0.1 s into a 1 s fade
        bool expected;
    };
    std::vector<Case> cases = {
        {"replaced by a new animation of the same property",
         [](View& v) { View::animate(0.3, [&] { v.setAlpha(0.5); }); }, false},
        {"removed", [](View& v) { v.layer().removeAllAnimations(); }, false},
        {"another property animated", [](View& v) { View::animate(0.3, [&] {
                                                        v.setCenter({1, 1});
                                                    }); }, true},
        {"left alone", [](View&) {}, true},
    };
    for (auto& c : cases) {
        auto v = View::create({0, 0, 10, 10});
        std::optional<bool> finished;
        double when = -1;
        View::animate(
            1.0, [&] { v->setAlpha(0); },
            [&](bool f) {
                finished = f;
                when = clock().monotonic();
            });
        double start = clock().monotonic();
        advance(0.1);
        c.interrupt(*v);
        advance(1.0);
        ASSERT_TRUE(finished.has_value()) << c.what;
        EXPECT_EQ(*finished, c.expected) << c.what;
        if (!c.expected) {
            EXPECT_LT(when, start + 0.2) << c.what << ": reported when interrupted";
        }
    }

    // Duration 0: the value applies at once, completion on the next turn.
    auto v = View::create({0, 0, 10, 10});
    std::optional<bool> finished;
    View::animate(
        0, [&] { v->setAlpha(0.3); }, [&](bool f) { finished = f; });
    EXPECT_DOUBLE_EQ(alphaOnScreen(*v), 0.3);
    EXPECT_FALSE(finished.has_value()) << "not from inside the call";
    turn();
    ASSERT_TRUE(finished.has_value());
    EXPECT_TRUE(*finished);
    // A block that changes nothing also completes on the next turn.
    std::optional<bool> empty;
    View::animate(
        1.0, [] {}, [&](bool f) { empty = f; });
    turn();
    EXPECT_EQ(empty, std::optional<bool>(true));
}

TEST_F(Animations, ViewDestroyedMidAnimationStillCompletes) {
    std::optional<bool> finished;
    {
        auto v = View::create({0, 0, 10, 10});
        View::animate(
            1.0, [&] { v->setAlpha(0); }, [&](bool f) { finished = f; });
        advance(0.5);
    }
    turn();
    EXPECT_EQ(finished, std::optional<bool>(false));
    EXPECT_EQ(activeAnimationCount(), 0);
    advance(1.0);  // the old end timer finds nothing and does nothing
    EXPECT_EQ(finished, std::optional<bool>(false));
}

TEST_F(Animations, BeginFromCurrentStateStartsWhereTheScreenIs) {
    for (bool fromCurrent : {false, true}) {
        auto v = View::create({0, 0, 10, 10});
        v->setAlpha(0);
        View::animate(1.0, 0, kAnimationOptionCurveLinear, [&] { v->setAlpha(1); });
        advance(0.5);
        EXPECT_NEAR(alphaOnScreen(*v), 0.5, 1e-9);
        unsigned options =
            kAnimationOptionCurveLinear | (fromCurrent ? unsigned(kAnimationOptionBeginFromCurrentState) : 0u);
        View::animate(1.0, 0, options, [&] { v->setAlpha(0); });
        // From the current 0.5, or from the model value 1 (a jump).
        EXPECT_NEAR(alphaOnScreen(*v), fromCurrent ? 0.5 : 1.0, 1e-9);
        advance(0.5);
        EXPECT_NEAR(alphaOnScreen(*v), fromCurrent ? 0.25 : 0.5, 1e-9);
        advance(1.0);
    }
}

TEST_F(Animations, OldFormReportsIdentifierFlagAndContext) {
    auto v = View::create({0, 0, 10, 10});
    int token = 0;
    std::string gotId;
    std::optional<bool> gotFinished;
    void* gotContext = nullptr;
    View::beginAnimations("slide", &token);
    View::setAnimationDuration(0.5);
    View::setAnimationCurve(AnimationCurve::Linear);
    View::setAnimationDidStop([&](const std::string& id, bool finished, void* ctx) {
        gotId = id;
        gotFinished = finished;
        gotContext = ctx;
    });
    v->setFrame({100, 0, 10, 10});
    View::commitAnimations();
    advance(0.25);
    EXPECT_NEAR(centerOnScreen(*v).x, 55, 1e-9);
    advance(0.25);
    EXPECT_EQ(gotId, "slide");
    EXPECT_EQ(gotFinished, std::optional<bool>(true));
    EXPECT_EQ(gotContext, &token);
    EXPECT_FALSE(View::isInAnimationBlock());
}

TEST_F(Animations, TransformsInterpolateThroughScaleAndTranslation) {
    auto v = View::create({0, 0, 100, 100});
    View::animate(1.0, 0, kAnimationOptionCurveLinear,
                  [&] { v->setTransform(AffineTransform::makeScale(3, 3).translate(10, -20)); });
    advance(0.5);
    AffineTransform mid = v->layer().presentationState().transform.affine();
    EXPECT_NEAR(mid.a, 2, 1e-9);
    EXPECT_NEAR(mid.d, 2, 1e-9);
    EXPECT_NEAR(mid.tx, 15, 1e-9);  // half of the final 30 (the 10 scaled by 3)
    EXPECT_NEAR(mid.ty, -30, 1e-9);
}

TEST_F(Animations, BasicAnimationFillModeAndRemovedOnCompletion) {
    auto layer = Layer::create();
    layer->setPosition({0, 0});
    auto anim = BasicAnimation::create("position.x");
    anim->fromValue = 0.0;
    anim->toValue = 100.0;
    anim->duration = 1.0;
    anim->fillMode = FillMode::Forwards;
    anim->removedOnCompletion = false;
    std::optional<bool> stopped;
    anim->didStop = [&](bool f) { stopped = f; };
    layer->addAnimation(anim, "move");
    advance(0.5);
    EXPECT_NEAR(layer->presentationState().position.x, 50, 1e-9);
    advance(0.6);
    EXPECT_EQ(stopped, std::optional<bool>(true));
    // Kept and filled forwards: the end value stays on screen, the model does not change.
    EXPECT_NE(layer->animationForKey("move"), nullptr);
    EXPECT_NEAR(layer->presentationState().position.x, 100, 1e-9);
    EXPECT_EQ(layer->position().x, 0);
    layer->removeAnimationForKey("move");
    turn();
    EXPECT_EQ(stopped, std::optional<bool>(true)) << "a finished animation does not stop twice";
    EXPECT_EQ(layer->presentationState().position.x, 0);

    // The default: removed at the end, the model value shows again.
    auto plain = BasicAnimation::create("opacity");
    plain->fromValue = 0.0;
    plain->duration = 0.4;
    layer->addAnimation(plain, "fade");
    advance(0.2);
    EXPECT_NEAR(layer->presentationState().opacity, 0.5, 1e-9);
    advance(0.2);
    EXPECT_EQ(layer->animationForKey("fade"), nullptr);
    EXPECT_EQ(layer->presentationState().opacity, 1);
}

TEST_F(Animations, GroupsTimeTheirChildren) {
    auto layer = Layer::create();
    auto first = BasicAnimation::create("opacity");
    first->fromValue = 1.0;
    first->toValue = 0.0;
    first->duration = 1.0;
    auto second = BasicAnimation::create("position.y");
    second->fromValue = 0.0;
    second->toValue = 10.0;
    second->beginTime = 1.0;  // relative to the group
    second->duration = 1.0;
    second->fillMode = FillMode::Both;
    auto group = AnimationGroup::create();
    group->animations = {first, second};
    group->duration = 2.0;
    std::optional<bool> stopped;
    group->didStop = [&](bool f) { stopped = f; };
    layer->addAnimation(group, "both");
    advance(0.5);
    LayerState s = layer->presentationState();
    EXPECT_NEAR(s.opacity, 0.5, 1e-9);
    EXPECT_NEAR(s.position.y, 0, 1e-9) << "the second waits, filled backwards";
    advance(1.0);
    s = layer->presentationState();
    EXPECT_NEAR(s.opacity, 1, 1e-9) << "the first is over and not filled";
    EXPECT_NEAR(s.position.y, 5, 1e-9);
    advance(0.5);
    EXPECT_EQ(stopped, std::optional<bool>(true));
}

TEST_F(Animations, TransactionsDriveImplicitAnimationsOfStandAloneLayers) {
    auto parent = Layer::create();
    auto layer = Layer::create();
    parent->addSublayer(layer);
    layer->setOpacity(0);  // implicit: 0.25 s
    EXPECT_NE(layer->animationForKey("opacity"), nullptr);
    advance(0.125);
    EXPECT_GT(layer->presentationState().opacity, 0.1);
    EXPECT_LT(layer->presentationState().opacity, 0.9);
    advance(0.2);

    Transaction::begin();
    Transaction::setDisableActions(true);
    layer->setOpacity(1);
    Transaction::commit();
    EXPECT_EQ(layer->animationForKey("opacity"), nullptr);
    EXPECT_EQ(layer->presentationState().opacity, 1);

    Transaction::begin();
    Transaction::setAnimationDuration(2.0);
    Transaction::setAnimationTimingFunction(TimingFunction::linear());
    layer->setPosition({100, 0});
    Transaction::commit();
    advance(1.0);
    EXPECT_NEAR(layer->presentationState().position.x, 50, 1e-9);

    // View layers animate only inside view animation blocks.
    auto v = View::create({0, 0, 10, 10});
    parent->addSublayer(v->layerRef());
    v->setAlpha(0.5);
    EXPECT_FALSE(v->layer().hasAnimations());
}

TEST_F(Animations, AnimatingViewsIgnoreTouchesUnlessAllowed) {
    auto window = Window::create({0, 0, 320, 480});
    auto v = View::create({0, 0, 100, 100});
    window->addSubview(v);
    View::animate(1.0, [&] { v->setAlpha(0.5); });
    EXPECT_EQ(window->hitTest({50, 50}, nullptr), window.get());
    advance(1.0);
    EXPECT_EQ(window->hitTest({50, 50}, nullptr), v.get());
    View::animate(1.0, 0, kAnimationOptionAllowUserInteraction, [&] { v->setAlpha(1); });
    EXPECT_EQ(window->hitTest({50, 50}, nullptr), v.get());
    advance(1.0);
}

// What moves on a window's screen is told by the code that moves it, and
// only while it moves: a view animation, a scroll view dragged or
// scrolling itself, a layout asked for; an ambient animation (a ticker in
// its label) leaves the screen still.
TEST_F(Animations, TheScreenSaysWhatMovesUntilItStops) {
    auto window = Window::create({0, 0, 320, 480});
    window->makeKeyAndVisible();
    auto box = View::create({0, 0, 50, 50});
    window->addSubview(box);
    auto scroll = std::make_shared<ScrollView>(Rect{0, 100, 320, 200});
    scroll->setContentSize({320, 1000});
    window->addSubview(scroll);
    turn();
    ASSERT_EQ(screenMotion(), "");
    ASSERT_TRUE(isScreenStill());

    struct Case {
        const char* what;
        std::function<void()> start;
        const char* motion;
    };
    const std::vector<Case> cases = {
        {"a fade", [&] { View::animate(0.3, [&] { box->setAlpha(0.2); }); }, "animation"},
        {"a delayed slide", [&] { View::animate(0.3, 0.5, 0, [&] {
                                      box->setFrame({10, 10, 50, 50});
                                  }); }, "animation"},
        {"a ticker", [&] { View::animate(0.3, 0, kAnimationOptionAmbient, [&] { box->setAlpha(1); }); }, ""},
        {"a scroll",
         [&] {
             scroll->setContentOffset({0, 300}, true);
         },
         "scroll"},
        {"a drag",
         [&] {
             window->sendTouch(TouchPhase::Began, {160, 250}, clock().monotonic());
             window->sendTouch(TouchPhase::Moved, {160, 150}, clock().monotonic());
         },
         "scroll"},
        {"a layout", [&] { box->setNeedsLayout(); }, "layout"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.start();
        EXPECT_EQ(screenMotion(), c.motion);
        // A released drag settles within the content (a bounce back).
        window->sendTouch(TouchPhase::Ended, {160, 150}, clock().monotonic());
        turn();
        advance(2);
        EXPECT_EQ(screenMotion(), "");
    }
    // Several at once, in a fixed order.
    View::animate(0.3, [&] { box->setAlpha(0.7); });
    scroll->setContentOffset({0, 0}, true);
    EXPECT_EQ(screenMotion(), "animation scroll");
    // A scroll view that goes away mid-scroll leaves the screen still.
    scroll->removeFromSuperview();
    scroll.reset();
    advance(1);
    EXPECT_EQ(screenMotion(), "");
}
