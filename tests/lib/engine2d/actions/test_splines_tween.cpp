// Spline paths, tweens and the progress actions.

#include <gmock/gmock.h>

#include "lib/engine2d/actions/GxActionSplines.h"
#include "lib/engine2d/actions/GxActionTween.h"
#include "lib/engine2d/misc/GxProgressTimer.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "tests/lib/engine2d/actions/ActionsTestSupport.h"

using namespace engine2d;
using namespace engine2d::testing;
using ::testing::ElementsAre;

namespace {

using Splines = ActionsTest;

std::shared_ptr<GxPointArray> points(std::initializer_list<Point> list) {
    auto a = GxPointArray::arrayWithCapacity(unsigned(list.size()));
    for (Point p : list) a->addControlPoint(p);
    return a;
}

TEST_F(Splines, CatmullRomPassesThroughEachPointAtItsShareOfTheTime) {
    auto square = points({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    const std::pair<float, Point> expected[] = {
        {0, {0, 0}},      {0.125f, {5, -0.3125f}}, {0.25f, {10, 0}},         {0.375f, {10.625f, 5}},
        {0.5f, {10, 10}}, {0.75f, {0, 10}},        {0.875f, {-0.3125f, 10}}, {1, {0, 10}}};
    auto catmull = GxCatmullRomTo::actionWithDuration(2, square);
    auto cardinal = GxCardinalSplineTo::actionWithDuration(2, square, 0.5f);
    auto other = runningNode();
    catmull->startWithTarget(node.get());
    cardinal->startWithTarget(other.get());
    for (auto [t, p] : expected) {
        catmull->update(t);
        cardinal->update(t);
        EXPECT_NEAR(node->position().x, p.x, 1e-4) << "t = " << t;
        EXPECT_NEAR(node->position().y, p.y, 1e-4) << "t = " << t;
        EXPECT_EQ(other->position(), node->position()) << "tension 0.5 is Catmull-Rom";
    }
    // Tension 1 runs straight from point to point.
    auto straight = GxCardinalSplineTo::actionWithDuration(1, square, 1);
    straight->startWithTarget(node.get());
    straight->update(0.125f);
    EXPECT_NEAR(node->position().x, 5, 1e-4);
    EXPECT_NEAR(node->position().y, 0, 1e-4);
}

TEST_F(Splines, ByPathsStartFromTheNodeAndTheirReverseRetracesThem) {
    auto path = points({{0, 0}, {10, 0}, {10, 10}});
    auto by = GxCatmullRomBy::actionWithDuration(1, path);
    auto back = std::dynamic_pointer_cast<GxCardinalSplineTo>(by->reverse());
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->className(), "GxCatmullRomBy");
    EXPECT_THAT(back->points()->controlPoints(), ElementsAre(Point{0, 0}, Point{0, -10}, Point{-10, -10}));

    node->setPosition({100, 100});
    node->runAction(GxSequence::actionOne(by, back));
    manager->update(0);
    manager->update(1);
    EXPECT_EQ(node->position(), (Point{110, 110})) << "the end of the first path";
    manager->update(0.5f);
    manager->update(0.5f);
    EXPECT_EQ(node->position(), (Point{100, 100})) << "back where it began";
}

TEST_F(Splines, PointArraysClampReadsReverseAndAreSharedByCopies) {
    auto a = points({{1, 1}, {2, 2}, {3, 3}});
    EXPECT_EQ(a->getControlPointAtIndex(-1), (Point{1, 1}));
    EXPECT_EQ(a->getControlPointAtIndex(int(a->count()) + 5), (Point{3, 3}));
    a->insertControlPoint({0, 0}, 0);
    a->replaceControlPoint({9, 9}, 3);
    a->removeControlPointAtIndex(1);
    a->removeControlPointAtIndex(40);  // out of range: nothing
    EXPECT_THAT(a->controlPoints(), ElementsAre(Point{0, 0}, Point{2, 2}, Point{9, 9}));
    EXPECT_THAT(a->reverse()->controlPoints(), ElementsAre(Point{9, 9}, Point{2, 2}, Point{0, 0}));
    a->reverseInline();
    EXPECT_EQ(a->getControlPointAtIndex(0), (Point{9, 9}));
    EXPECT_NE(a->copy(), a);
    EXPECT_EQ(a->copy()->controlPoints(), a->controlPoints());

    auto spline = GxCatmullRomTo::actionWithDuration(1, a);
    auto copy = std::dynamic_pointer_cast<GxCardinalSplineTo>(spline->copy());
    EXPECT_EQ(copy->points(), spline->points()) << "one array for both";

    // One point holds the node there; no points leave it alone.
    auto single = GxCatmullRomTo::actionWithDuration(1, points({{4, 5}}));
    single->startWithTarget(node.get());
    for (float t : {0.0f, 0.3f, 1.0f}) {
        single->update(t);
        EXPECT_NEAR(node->position().x, 4, 1e-5);
        EXPECT_NEAR(node->position().y, 5, 1e-5);
    }
    auto empty = GxCatmullRomTo::actionWithDuration(1, std::make_shared<GxPointArray>());
    empty->startWithTarget(node.get());
    node->setPosition({4, 5});
    empty->update(0.5f);
    EXPECT_EQ(node->position(), (Point{4, 5}));
}

using Tween = ActionsTest;

TEST_F(Tween, TweensSetTheirKeyFromFromToTo) {
    auto tween = GxActionTween::actionWithDuration(2, "rotation", 0, 90);
    node->runAction(tween);
    manager->update(0);
    EXPECT_FLOAT_EQ(node->rotation(), 0) << "the first update sets the from value";
    manager->update(1);
    EXPECT_FLOAT_EQ(node->rotation(), 45);
    manager->update(1);
    EXPECT_FLOAT_EQ(node->rotation(), 90);
    auto back = tween->reverse();
    back->startWithTarget(node.get());
    back->update(0.25f);
    EXPECT_FLOAT_EQ(node->rotation(), 67.5f);

    auto sprite = gxMake<GxSprite>();
    struct Case {
        const char* key;
        float value;
        std::function<float()> read;
    };
    const Case cases[] = {
        {"scale", 2, [&] { return sprite->scaleX() + sprite->scaleY(); }},
        {"scaleY", 3, [&] { return sprite->scaleY(); }},
        {"skewX", 7, [&] { return sprite->skewX(); }},
        {"vertexZ", -4, [&] { return sprite->vertexZ(); }},
        {"opacity", 128, [&] { return float(sprite->opacity()); }},
    };
    for (const Case& c : cases) {
        auto t = GxActionTween::actionWithDuration(1, c.key, 0, c.value);
        t->startWithTarget(sprite.get());
        t->update(1);
        EXPECT_FLOAT_EQ(c.read(), std::string(c.key) == "scale" ? 4 : c.value) << c.key;
    }
    EXPECT_FALSE(gxSetValueForKey(sprite.get(), "noSuchKey", 1));
    EXPECT_FALSE(gxSetValueForKey(node.get(), "opacity", 1)) << "a plain node has no opacity";
}

TEST_F(Tween, ProgressActionsDriveATimersPercentage) {
    auto sprite = gxMake<GxSprite>();
    sprite->setTextureRect(Rect{{0, 0}, {100, 50}});
    auto timer = GxProgressTimer::progressWithSprite(sprite);
    struct Case {
        float start, to, half;
    };
    // A full timer runs from empty again; one at 40 runs from 40.
    for (Case c : {Case{100, 100, 50}, Case{40, 100, 70}, Case{100, 0, 0}}) {
        timer->setPercentage(c.start);
        auto p = GxProgressTo::actionWithDuration(1, c.to);
        p->startWithTarget(timer.get());
        p->update(0.5f);
        EXPECT_FLOAT_EQ(timer->percentage(), c.half) << c.start << " to " << c.to;
        EXPECT_EQ(p->reverse(), nullptr);
    }
    auto fromTo = GxProgressFromTo::actionWithDuration(1, 0, 100);
    auto back = std::dynamic_pointer_cast<GxProgressFromTo>(fromTo->reverse());
    EXPECT_FLOAT_EQ(back->from(), 100);
    EXPECT_FLOAT_EQ(back->to(), 0);
    back->startWithTarget(timer.get());
    back->update(0.25f);
    EXPECT_FLOAT_EQ(timer->percentage(), 75);
    EXPECT_EQ(timer->vertexDataCount(), 6) << "radial: three corners passed";
    auto tween = GxActionTween::actionWithDuration(1, "percentage", 0, 50);
    tween->startWithTarget(timer.get());
    tween->update(1);
    EXPECT_FLOAT_EQ(timer->percentage(), 50);
}

}  // namespace
