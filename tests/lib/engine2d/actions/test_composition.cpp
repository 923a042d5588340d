// Timed actions and their composition, instant actions and callbacks,
// and the animate action.

#include <gmock/gmock.h>

#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/actions/GxActionTransform.h"
#include "lib/engine2d/actions/GxActionWrappers.h"
#include "lib/engine2d/sprites/GxAnimation.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/sprites/GxSpriteFrame.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/lib/engine2d/actions/ActionsTestSupport.h"

using namespace engine2d;
using namespace engine2d::testing;
using ::testing::ElementsAre;

namespace {

using Composition = ActionsTest;

TEST_F(Composition, AMoveThenACallbackSteppedInQuarterSeconds) {
    int calls = 0;
    node->runAction(GxSequence::actions(
        {GxMoveTo::actionWithDuration(1, {100, 40}), GxCallFunc::actionWithTarget(node, "done", [&] { calls++; })}));
    const float xs[] = {0, 25, 50, 75, 100, 100};
    const int callsAfter[] = {0, 0, 0, 0, 1, 1};
    for (int i = 0; i < 6; ++i) {
        manager->update(0.25f);
        EXPECT_FLOAT_EQ(node->position().x, xs[i]) << "frame " << i;
        EXPECT_FLOAT_EQ(node->position().y, xs[i] * 0.4f) << "frame " << i;
        EXPECT_EQ(calls, callsAfter[i]) << "frame " << i;
    }
    EXPECT_EQ(node->numberOfRunningActions(), 0u);
}

TEST_F(Composition, ZeroDurationLastsEpsilonAndAMoveToOfZeroArrivesOnItsSecondStep) {
    auto delay = GxDelayTime::actionWithDuration(0);
    EXPECT_FLOAT_EQ(delay->duration(), FLT_EPSILON);
    node->runAction(GxMoveTo::actionWithDuration(0, {5, 5}));
    manager->update(0.016f);
    EXPECT_EQ(node->position(), (Point{0, 0}));
    EXPECT_EQ(node->numberOfRunningActions(), 1u);
    manager->update(0.016f);
    EXPECT_EQ(node->position(), (Point{5, 5}));
    EXPECT_EQ(node->numberOfRunningActions(), 0u);
}

// Each row: what a composite hands its children for the progress values
// it is updated with.
TEST_F(Composition, CompositesHandTheirChildrenTheRightProgress) {
    struct Row {
        const char* name;
        std::function<GxFiniteTimeActionRef(std::vector<std::string>*)> make;
        std::vector<float> updates;
        std::vector<std::string> expected;
    };
    auto instant = [](std::vector<std::string>* l) {
        return GxCallBlock::actionWithBlock([l] { l->push_back("call"); });
    };
    const std::vector<Row> rows = {
        {"instant then move: the instant runs whole at the first update",
         [&](auto* l) { return GxSequence::actionOne(instant(l), probe("m", 1, l)); },
         {0},
         {"call", "m start", "m 0"}},
        {"sequence first updated with 1 skips nothing",
         [](auto* l) { return GxSequence::actionOne(probe("a", 1, l), probe("b", 1, l)); },
         {1},
         {"a start", "a 1", "a stop", "b start", "b 1"}},
        {"sequence crossing its split ends the first child",
         [](auto* l) { return GxSequence::actionOne(probe("a", 1, l), probe("b", 3, l)); },
         {0.1f, 0.5f},
         {"a start", "a 0.4", "a 1", "a stop", "b start", "b 0.3333"}},
        {"repeat 3 times: a crossed run ends, restarts and goes on where the time is",
         [](auto* l) { return GxRepeat::actionWithAction(probe("m", 1, l), 3); },
         {0.2f, 0.3f, 0.5f, 0.6f},
         {"m start", "m 0.6", "m 0.9", "m 1", "m stop", "m start", "m 0.5", "m 0.8"}},
        {"spawn: the shorter child ends at its own time and waits",
         [](auto* l) { return GxSpawn::actionOne(probe("long", 2, l), probe("short", 1, l)); },
         {0.25f, 0.5f, 0.75f},
         {"long start", "long 0.25", "short start", "short 0.5", "long 0.5", "short 1", "short stop", "long 0.75"}},
        {"reverse time plays backwards",
         [](auto* l) { return GxReverseTime::actionWithAction(probe("m", 1, l)); },
         {0, 0.25f, 1},
         {"m start", "m 1", "m 0.75", "m 0"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> l;
        auto a = row.make(&l);
        ASSERT_NE(a, nullptr) << row.name;
        a->startWithTarget(node.get());
        for (float t : row.updates) a->update(t);
        EXPECT_EQ(l, row.expected) << row.name;
    }
}

TEST_F(Composition, ListsNestToTheLeftAndOneActionIsItself) {
    auto a = probe("a", 1, &log), b = probe("b", 2, &log), c = probe("c", 3, &log);
    EXPECT_EQ(GxSequence::actions({a}), a);
    EXPECT_EQ(GxSequence::actions({a, nullptr, b}), a) << "null ends the list";
    EXPECT_EQ(GxSequence::actionsWithArray({}), nullptr);
    auto seq = std::dynamic_pointer_cast<GxSequence>(GxSequence::actions({a, b, c}));
    ASSERT_NE(seq, nullptr);
    EXPECT_FLOAT_EQ(seq->duration(), 6);
    EXPECT_EQ(seq->second(), c);
    EXPECT_NE(std::dynamic_pointer_cast<GxSequence>(seq->first()), nullptr);
    auto spawn = GxSpawn::actions({a, b, c});
    EXPECT_FLOAT_EQ(spawn->duration(), 3);
    // Reverses run the children's reverses in the other order; a child
    // without a reverse gives none.
    auto back = std::dynamic_pointer_cast<GxSequence>(GxSequence::actionOne(a, b)->reverse());
    ASSERT_NE(back, nullptr);
    EXPECT_FLOAT_EQ(back->first()->duration(), 2);
    EXPECT_EQ(GxSequence::actionOne(a, GxMoveTo::actionWithDuration(1, {}))->reverse(), nullptr);
}

TEST_F(Composition, ARepeatOfAnInstantActionActsTheRequestedNumberOfTimes) {
    for (unsigned times : {1u, 3u, 5u}) {
        int calls = 0;
        auto rep = GxRepeat::actionWithAction(GxCallBlock::actionWithBlock([&] { calls++; }), times);
        node->runAction(rep);
        for (int i = 0; i < 4; ++i) manager->update(0.016f);
        EXPECT_EQ(calls, int(times));
        EXPECT_EQ(node->numberOfRunningActions(), 0u);
        // A copy and the reverse count the same.
        EXPECT_EQ(std::dynamic_pointer_cast<GxRepeat>(rep->copy())->times(), times);
        EXPECT_EQ(std::dynamic_pointer_cast<GxRepeat>(rep->reverse())->times(), times);
    }
}

TEST_F(Composition, TargetedActionWorksOnItsForcedTargetAndItsStopKeepsItsOwnTarget) {
    auto other = runningNode();
    auto targeted = GxTargetedAction::actionWithTarget(other, GxMoveBy::actionWithDuration(1, {10, 0}));
    targeted->startWithTarget(node.get());
    targeted->update(0.5f);
    EXPECT_FLOAT_EQ(other->position().x, 5);
    EXPECT_FLOAT_EQ(node->position().x, 0);
    targeted->stop();
    EXPECT_EQ(targeted->target(), other.get());
}

// Instant actions: effects, reverses and copies.
TEST_F(Composition, InstantActionsActOnEveryUpdateAndReverseToTheirCounterpart) {
    node->setVisible(false);
    GxShow::action()->startWithTarget(node.get());
    auto show = GxShow::action();
    show->startWithTarget(node.get());
    show->update(1);
    EXPECT_TRUE(node->visible());
    EXPECT_STREQ(show->reverse()->className(), "GxHide");
    EXPECT_STREQ(GxHide::action()->reverse()->className(), "GxShow");
    show->setTag(5);
    EXPECT_EQ(show->copy()->tag(), kGxActionTagInvalid) << "a copy carries no tag";

    auto toggle = GxToggleVisibility::action();
    toggle->startWithTarget(node.get());
    toggle->update(1);
    toggle->update(1);
    toggle->update(1);
    EXPECT_FALSE(node->visible()) << "three toggles";

    auto place = GxPlace::actionWithPosition({3, 4});
    place->startWithTarget(node.get());
    place->step(0);
    EXPECT_EQ(node->position(), (Point{3, 4}));
    EXPECT_EQ(std::dynamic_pointer_cast<GxPlace>(place->reverse())->position(), (Point{3, 4}));

    auto sprite = gxMake<GxSprite>();
    auto flip = GxFlipX::actionWithFlipX(true);
    flip->startWithTarget(sprite.get());
    flip->update(1);
    EXPECT_TRUE(sprite->flipX());
    EXPECT_FALSE(std::dynamic_pointer_cast<GxFlipX>(flip->reverse())->flipX());
    auto flipY = GxFlipY::actionWithFlipY(true);
    flipY->startWithTarget(sprite.get());
    flipY->update(1);
    EXPECT_TRUE(sprite->flipY());
    EXPECT_EQ(GxActionInstant().duration(), 0);
}

// The digit flip's swap: the callee gets the node the action runs on (not
// the callback object) and the data pointer unchanged, on every update.
TEST_F(Composition, CallbacksReceiveTheirNodeAndDataAndKeepTheirCalleeAlive) {
    struct Layer {
        std::vector<std::pair<GxNode*, void*>> calls;
    };
    auto layer = std::make_shared<Layer>();
    std::weak_ptr<Layer> weakLayer = layer;
    static char digit[] = "7";
    auto nd = GxCallFuncND::actionWithTarget(
        layer, "swapDigit:data:",
        [l = layer.get()](GxNode* n, void* d) {
            l->calls.push_back({n, d});
        },
        digit);
    layer.reset();
    auto copy = std::dynamic_pointer_cast<GxCallFuncND>(nd->copy());
    node->runAction(GxSequence::actions({GxDelayTime::actionWithDuration(0.5f), nd}));
    ASSERT_FALSE(weakLayer.expired()) << "the action keeps its callee";
    manager->update(0);
    manager->update(0.5f);
    ASSERT_EQ(weakLayer.lock()->calls.size(), 1u);
    EXPECT_EQ(weakLayer.lock()->calls[0].first, node.get());
    EXPECT_EQ(weakLayer.lock()->calls[0].second, static_cast<void*>(digit));
    copy->startWithTarget(node.get());
    copy->update(1);
    copy->update(1);
    EXPECT_EQ(weakLayer.lock()->calls.size(), 3u) << "an instant action does not remember it ran";
    EXPECT_EQ(copy->data(), static_cast<void*>(digit));
    EXPECT_THAT(nd->description(), ::testing::HasSubstr("selector = swapDigit:data:"));

    std::shared_ptr<void> object = std::make_shared<int>(42);
    int got = 0;
    auto o = GxCallFuncO::actionWithTarget(
        nullptr, "take:", [&](const std::shared_ptr<void>& x) { got = *static_cast<int*>(x.get()); }, object);
    GxNode* seen = nullptr;
    auto bn = GxCallBlockN::actionWithBlock([&](GxNode* n) { seen = n; });
    auto bo = GxCallBlockO::actionWithBlock([&](const std::shared_ptr<void>& x) { got += *static_cast<int*>(x.get()); },
                                            object);
    for (GxActionRef a : {GxActionRef(o), GxActionRef(bn), GxActionRef(bo)}) {
        a->startWithTarget(node.get());
        a->step(0);
    }
    EXPECT_EQ(got, 84);
    EXPECT_EQ(seen, node.get());
}

class AnimateTest : public ActionsTest {
protected:
    // Three frames told apart by their rectangles; delay units 1, 1, 2.
    std::shared_ptr<GxAnimation> animation(unsigned loops, bool withInfo) {
        GxAnimation::Frames frames;
        const float units[] = {1, 1, 2};
        for (int i = 0; i < 3; ++i) {
            std::optional<foundation::Dictionary> info;
            if (withInfo && i == 1) {
                foundation::Dictionary d;
                d.set("frame", foundation::Value(i));
                info = d;
            }
            auto f = GxSpriteFrame::frameWithTexture(nullptr, Rect{{float(i) * 10, 0}, {10, 10}});
            frames.push_back(std::make_shared<GxAnimationFrame>(f, units[i], info));
        }
        return GxAnimation::animationWithAnimationFrames(std::move(frames), 0.25f, loops);
    }
};

TEST_F(AnimateTest, SplitTimesFollowTheDelayUnitsAndOneFrameIsShownPerUpdate) {
    auto sprite = gxMake<GxSprite>();
    auto anim = GxAnimate::actionWithAnimation(animation(1, true));
    EXPECT_THAT(anim->splitTimes(), ElementsAre(0.0f, 0.25f, 0.5f));
    EXPECT_FLOAT_EQ(anim->duration(), 1.0f);

    int posted = 0;
    const void* sender = nullptr;
    auto token = foundation::NotificationCenter::defaultCenter().addObserver(
        this, kGxAnimationFrameDisplayedNotification, [&](const foundation::Notification& n) {
            posted++;
            sender = n.object;
        });
    anim->startWithTarget(sprite.get());
    const std::pair<float, float> steps[] = {{0, 0}, {0.3f, 10}, {0.3f, 10}, {0.6f, 20}, {1, 20}};
    for (auto [t, x] : steps) {
        anim->update(t);
        EXPECT_FLOAT_EQ(sprite->textureRect().origin.x, x) << "t = " << t;
    }
    EXPECT_EQ(posted, 1) << "the frame with user info was shown once";
    EXPECT_EQ(sender, static_cast<const void*>(sprite.get()));
    foundation::NotificationCenter::defaultCenter().removeObserver(token);

    // A low frame rate shows frames late, one per update.
    auto late = GxAnimate::actionWithAnimation(animation(1, false));
    late->startWithTarget(sprite.get());
    late->update(0.9f);
    EXPECT_FLOAT_EQ(sprite->textureRect().origin.x, 0);
    late->update(0.95f);
    EXPECT_FLOAT_EQ(sprite->textureRect().origin.x, 10);
}

TEST_F(AnimateTest, LoopsStartOverAndTheOriginalFrameComesBack) {
    auto sprite = gxMake<GxSprite>();
    sprite->setTextureRect(Rect{{99, 0}, {10, 10}});
    auto a = animation(2, false);
    a->setRestoreOriginalFrame(true);
    auto anim = GxAnimate::actionWithAnimation(a);
    EXPECT_FLOAT_EQ(anim->duration(), 2.0f);
    anim->startWithTarget(sprite.get());
    anim->update(0);
    anim->update(0.2f);
    anim->update(0.3f);
    EXPECT_FLOAT_EQ(sprite->textureRect().origin.x, 20);
    anim->update(0.5f);  // the second loop begins
    EXPECT_FLOAT_EQ(sprite->textureRect().origin.x, 0);
    anim->stop();
    EXPECT_FLOAT_EQ(sprite->textureRect().origin.x, 99);

    auto back = std::dynamic_pointer_cast<GxAnimate>(anim->reverse());
    ASSERT_NE(back, nullptr);
    back->startWithTarget(sprite.get());
    back->update(0);
    EXPECT_FLOAT_EQ(sprite->textureRect().origin.x, 20) << "the last frame first";
    EXPECT_THAT(back->splitTimes(), ElementsAre(0.0f, 0.5f, 0.75f));
}

}  // namespace
