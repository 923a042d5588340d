// Transform and colour actions: the values they write at given progress.

#include <gmock/gmock.h>

#include "lib/engine2d/actions/GxActionTransform.h"
#include "lib/engine2d/actions/GxActionWrappers.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "tests/lib/engine2d/actions/ActionsTestSupport.h"

using namespace engine2d;
using namespace engine2d::testing;

namespace {

using Transform = ActionsTest;

struct Row {
    const char* name;
    std::function<void(GxSprite&)> setUp;
    GxFiniteTimeActionRef action;
    float t;
    std::function<std::vector<float>(const GxSprite&)> read;
    std::vector<float> expected;
};

std::vector<float> pos(const GxSprite& s) { return {s.position().x, s.position().y}; }
std::vector<float> rot(const GxSprite& s) { return {s.rotation()}; }
std::vector<float> skew(const GxSprite& s) { return {s.skewX(), s.skewY()}; }
std::vector<float> scale(const GxSprite& s) { return {s.scaleX(), s.scaleY()}; }
std::vector<float> opacity(const GxSprite& s) { return {float(s.opacity())}; }
std::vector<float> color(const GxSprite& s) { return {float(s.color().r), float(s.color().g), float(s.color().b)}; }

TEST_F(Transform, EachActionWritesStartPlusChangeTimesProgress) {
    auto at = [](Point p) { return [p](GxSprite& s) { s.setPosition(p); }; };
    auto rotated = [](float r) { return [r](GxSprite& s) { s.setRotation(r); }; };
    auto none = [](GxSprite&) {};
    const gxBezierConfig bez{{100, 0}, {0, 50}, {100, 50}};
    const std::vector<Row> rows = {
        {"rotate to 10 from 350 turns +20", rotated(350), GxRotateTo::actionWithDuration(1, 10), 1, rot, {370}},
        {"rotate to 10 from 350, half way", rotated(350), GxRotateTo::actionWithDuration(1, 10), 0.5f, rot, {360}},
        {"rotate to 300 from -30 turns -30", rotated(-30), GxRotateTo::actionWithDuration(1, 300), 1, rot, {-60}},
        {"rotate to from 730 reduces the start", rotated(730), GxRotateTo::actionWithDuration(1, 0), 1, rot, {0}},
        {"rotate by", rotated(10), GxRotateBy::actionWithDuration(1, 90), 0.5f, rot, {55}},
        {"skew to: x wraps by 180, y by 360",
         [](GxSprite& s) { s.setSkewX(170), s.setSkewY(350); },
         GxSkewTo::actionWithDuration(1, -170, 10),
         1,
         skew,
         {190, 370}},
        {"skew by",
         [](GxSprite& s) { s.setSkewX(5), s.setSkewY(5); },
         GxSkewBy::actionWithDuration(1, 10, 20),
         1,
         skew,
         {15, 25}},
        {"move to", at({10, 10}), GxMoveTo::actionWithDuration(1, {110, 60}), 0.5f, pos, {60, 35}},
        {"move by", at({10, 10}), GxMoveBy::actionWithDuration(1, {100, 50}), 1, pos, {110, 60}},
        {"jump by: top of the first jump",
         none,
         GxJumpBy::actionWithDuration(1, {100, 0}, 50, 2),
         0.25f,
         pos,
         {25, 50}},
        {"jump by: between the jumps", none, GxJumpBy::actionWithDuration(1, {100, 0}, 50, 2), 0.5f, pos, {50, 0}},
        {"jump to ends on its point", at({10, 10}), GxJumpTo::actionWithDuration(1, {100, 0}, 50, 3), 1, pos, {100, 0}},
        {"bezier by, half way", none, GxBezierBy::actionWithDuration(1, bez), 0.5f, pos, {50, 37.5f}},
        {"bezier to, absolute points",
         at({10, 10}),
         GxBezierTo::actionWithDuration(1, {{110, 10}, {10, 60}, {110, 60}}),
         0.5f,
         pos,
         {60, 47.5f}},
        {"scale to", none, GxScaleTo::actionWithDuration(1, 2, 3), 0.5f, scale, {1.5f, 2}},
        {"scale by 2 from 1.5",
         [](GxSprite& s) { s.setScale(1.5f); },
         GxScaleBy::actionWithDuration(1, 2),
         1,
         scale,
         {3, 3}},
        {"fade in truncates", none, GxFadeIn::actionWithDuration(1), 0.5f, opacity, {127}},
        {"fade out", none, GxFadeOut::actionWithDuration(1), 0.25f, opacity, {191}},
        {"fade to", none, GxFadeTo::actionWithDuration(1, 55), 0.5f, opacity, {155}},
        {"tint to", none, GxTintTo::actionWithDuration(1, 55, 0, 255), 0.5f, color, {155, 127, 255}},
        {"tint by keeps the low 8 bits",
         [](GxSprite& s) {
             s.setColor({200, 10, 0});
         },
         GxTintBy::actionWithDuration(1, 100, -10, 0),
         1,
         color,
         {44, 0, 0}},
    };
    for (const Row& row : rows) {
        auto sprite = gxMake<GxSprite>();
        row.setUp(*sprite);
        row.action->startWithTarget(sprite.get());
        row.action->update(row.t);
        auto got = row.read(*sprite);
        ASSERT_EQ(got.size(), row.expected.size()) << row.name;
        for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], row.expected[i], 1e-3) << row.name;
    }
}

TEST_F(Transform, ReversesUndoTheirAction) {
    auto bezier = std::dynamic_pointer_cast<GxBezierBy>(
        GxBezierBy::actionWithDuration(1, {{100, 0}, {0, 50}, {100, 50}})->reverse());
    ASSERT_NE(bezier, nullptr);
    EXPECT_EQ(bezier->config().endPosition, (Point{-100, 0}));
    EXPECT_EQ(bezier->config().controlPoint_1, (Point{0, 50}));
    EXPECT_EQ(bezier->config().controlPoint_2, (Point{-100, 50}));

    // Run each "By" action and its reverse: the node is back where it was.
    auto sprite = gxMake<GxSprite>();
    sprite->setPosition({7, 9});
    sprite->setScale(1.5f);
    sprite->setRotation(20);
    sprite->setColor({100, 100, 100});
    const std::vector<GxFiniteTimeActionRef> actions = {
        GxMoveBy::actionWithDuration(1, {30, -5}),
        GxRotateBy::actionWithDuration(1, 45),
        GxJumpBy::actionWithDuration(1, {10, 10}, 5, 2),
        GxBezierBy::actionWithDuration(1, {{100, 0}, {0, 50}, {100, 50}}),
        GxScaleBy::actionWithDuration(1, 2),
        GxSkewBy::actionWithDuration(1, 10, 20),
        GxTintBy::actionWithDuration(1, 20, -30, 40)};
    for (auto& a : actions) {
        for (auto& step : {a, a->reverse()}) {
            ASSERT_NE(step, nullptr) << a->className();
            step->startWithTarget(sprite.get());
            step->update(1);
        }
        EXPECT_NEAR(sprite->position().x, 7, 1e-3) << a->className();
        EXPECT_NEAR(sprite->position().y, 9, 1e-3) << a->className();
        EXPECT_NEAR(sprite->scaleX(), 1.5f, 1e-5) << a->className();
        EXPECT_NEAR(sprite->rotation(), 20, 1e-3) << a->className();
        EXPECT_NEAR(sprite->skewX(), 0, 1e-3) << a->className();
        EXPECT_EQ(sprite->color(), (gxColor3B{100, 100, 100})) << a->className();
    }
    EXPECT_STREQ(GxFadeIn::actionWithDuration(2)->reverse()->className(), "GxFadeOut");
    EXPECT_STREQ(GxFadeOut::actionWithDuration(2)->reverse()->className(), "GxFadeIn");
    EXPECT_EQ(GxMoveTo::actionWithDuration(1, {})->reverse(), nullptr);
}

// Absolute moves keep the caller's point: started again (in a repeat, or
// as a copy made after a start) they end at the same place.
TEST_F(Transform, AbsoluteMovesEndEveryRoundAtTheirPointAndCopiesRunLikeTheOriginal) {
    const std::vector<GxFiniteTimeActionRef> absolute = {
        GxJumpTo::actionWithDuration(1, {100, 0}, 20, 1),
        GxBezierTo::actionWithDuration(1, {{100, 0}, {30, 40}, {60, 40}}),
    };
    for (auto& a : absolute) {
        for (int round = 0; round < 3; ++round) {
            node->setPosition({10, float(round) * 5});
            auto run = round == 2 ? gxCopy(a) : a;  // the copy is made after two starts
            run->startWithTarget(node.get());
            run->update(1);
            EXPECT_NEAR(node->position().x, 100, 1e-3) << a->className() << " round " << round;
            EXPECT_NEAR(node->position().y, 0, 1e-3) << a->className() << " round " << round;
        }
    }
    // In a repeat, through the manager.
    node->setPosition({10, 0});
    node->runAction(GxRepeat::actionWithAction(GxSequence::actionOne(GxJumpTo::actionWithDuration(1, {100, 0}, 20, 1),
                                                                     GxMoveTo::actionWithDuration(1, {10, 0})),
                                               2));
    manager->update(0);
    manager->update(1);
    EXPECT_NEAR(node->position().x, 100, 1e-3);
    manager->update(1);
    manager->update(1);
    EXPECT_NEAR(node->position().x, 100, 1e-3) << "second round";

    auto skew = GxSkewBy::actionWithDuration(1, 10, 0);
    node->setSkewX(5);
    skew->startWithTarget(node.get());
    auto skewCopy = gxCopy(skew);
    node->setSkewX(0);
    skewCopy->startWithTarget(node.get());
    skewCopy->update(1);
    EXPECT_NEAR(node->skewX(), 10, 1e-4) << "a copy made after a start skews by the same amount";
}

TEST_F(Transform, BlinkTogglesInEachSliceAndLeavesTheLastStateAtTheEnd) {
    auto sprite = gxMake<GxSprite>();
    sprite->setActionManager(manager);
    sprite->onEnter();
    sprite->runAction(GxBlink::actionWithDuration(3, 3));
    const std::pair<float, bool> steps[] = {{0, false}, {0.3f, false}, {0.4f, true}, {0.5f, false}, {1.7f, true}};
    for (auto [dt, visible] : steps) {
        manager->update(dt);
        EXPECT_EQ(sprite->visible(), visible) << "after " << dt;
    }
    manager->update(0.2f);  // the end: nothing changes
    EXPECT_TRUE(sprite->visible());
    EXPECT_EQ(sprite->numberOfRunningActions(), 0u);
}

}  // namespace
