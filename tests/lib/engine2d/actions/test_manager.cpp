// The action manager and the actions that run without a fixed duration.

#include <gmock/gmock.h>

#include <algorithm>

#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/actions/GxActionTransform.h"
#include "lib/engine2d/actions/GxActionWrappers.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "tests/lib/engine2d/actions/ActionsTestSupport.h"

using namespace engine2d;
using namespace engine2d::testing;
using ::testing::ElementsAre;

namespace {

using Manager = ActionsTest;

TEST_F(Manager, StepsTargetsInCreationOrderAndEachTargetsActionsInRunOrder) {
    auto other = runningNode();
    node->runAction(probe("a1", 1, &log));
    other->runAction(probe("b1", 1, &log));
    node->runAction(probe("a2", 1, &log));
    log.clear();
    manager->update(0.5f);
    EXPECT_THAT(log, ElementsAre("a1 0", "a2 0", "b1 0"));
    log.clear();
    manager->update(1.0f);  // all three end: each is stopped, then removed
    EXPECT_THAT(log, ElementsAre("a1 1", "a1 stop", "a2 1", "a2 stop", "b1 1", "b1 stop"));
    EXPECT_EQ(manager->targetCount(), 0u);
}

TEST_F(Manager, ANodeNotRunningGetsItsActionsPausedAndAnExistingElementKeepsItsFlag) {
    auto idle = GxNode::node();
    idle->setActionManager(manager);
    idle->runAction(probe("p", 1, &log));
    EXPECT_TRUE(manager->isTargetPaused(idle.get()));
    manager->update(0.1f);
    EXPECT_THAT(log, ElementsAre("p start"));
    idle->onEnter();  // resumes
    idle->runAction(probe("q", 1, &log));
    manager->pauseTarget(idle.get());
    manager->addAction(probe("r", 1, &log), idle, false);  // the element keeps "paused"
    EXPECT_TRUE(manager->isTargetPaused(idle.get()));
    node->runAction(probe("n", 1, &log));
    auto paused = manager->pauseAllRunningActions();
    EXPECT_THAT(paused, ElementsAre(node)) << "only targets not paused yet";
    manager->resumeTargets(paused);
    EXPECT_FALSE(manager->isTargetPaused(node.get()));
}

TEST_F(Manager, TagsFindAndRemoveTheFirstMatchOnly) {
    auto a = probe("a", 1, &log), b = probe("b", 1, &log);
    a->setTag(7), b->setTag(7);
    node->runAction(a);
    node->runAction(b);
    EXPECT_EQ(node->getActionByTag(7), a);
    node->stopActionByTag(7);
    EXPECT_EQ(node->numberOfRunningActions(), 1u);
    EXPECT_EQ(node->getActionByTag(7), b);
    EXPECT_EQ(node->getActionByTag(8), nullptr);
    node->stopAction(b.get());
    EXPECT_EQ(node->numberOfRunningActions(), 0u);
    // Removal never stops an action; unknown targets and nil are ignored.
    EXPECT_THAT(log, ElementsAre("a start", "b start"));
    manager->removeAction(nullptr);
    manager->removeAllActionsFromTarget(nullptr);
    EXPECT_EQ(manager->numberOfRunningActionsInTarget(nullptr), 0u);
}

TEST_F(Manager, AnActionRunDuringAStepIsSteppedInTheSameFrame) {
    int late = 0;
    node->runAction(
        GxCallBlock::actionWithBlock([&] { node->runAction(GxCallBlock::actionWithBlock([&] { late++; })); }));
    manager->update(0.016f);
    EXPECT_EQ(late, 1);
    EXPECT_EQ(node->numberOfRunningActions(), 0u);
}

// A callback that stops every action of its own node from inside the
// sequence that runs it: the sequence lives until its step returns, the
// action after it is never stepped, and the element goes at the end of the
// node's turn. ASan checks that nothing freed is touched.
TEST_F(Manager, ACallbackStoppingAllActionsOfItsNodeStepsNothingTwiceAndFreesNothingInUse) {
    auto next = runningNode();
    int calls = 0;
    std::weak_ptr<GxAction> seqAlive;
    {
        auto seq = GxSequence::actions({probe("move", 0.5f, &log),
                                        GxCallFunc::actionWithTarget(node, "stopAll",
                                                                     [&] {
                                                                         calls++;
                                                                         node->stopAllActions();
                                                                     }),
                                        probe("after", 1, &log)});
        seqAlive = seq;
        node->runAction(seq);
    }
    node->runAction(probe("sibling", 1, &log));
    next->runAction(probe("next", 1, &log));
    manager->update(0);
    manager->update(0.5f);  // the move ends; the callback stops everything
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(seqAlive.expired()) << "released once its step returned";
    EXPECT_EQ(node->numberOfRunningActions(), 0u);
    EXPECT_EQ(std::count(log.begin(), log.end(), "sibling 0"), 1) << "stepped in the first frame only";
    EXPECT_EQ(std::count(log.begin(), log.end(), "next 0.5"), 1) << "the next node still had its turn";
    const size_t afterLines =
        size_t(std::count_if(log.begin(), log.end(), [](auto& l) { return l.rfind("after", 0) == 0; }));
    manager->update(0.5f);
    manager->update(0.5f);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(size_t(std::count_if(log.begin(), log.end(), [](auto& l) { return l.rfind("after", 0) == 0; })),
              afterLines)
        << "the stopped sequence is never stepped again";
    EXPECT_EQ(manager->targetCount(), 0u);
}

TEST_F(Manager, ACallbackThatDropsItsNodeAndEveryActionKeepsThemAliveToTheEndOfTheTurn) {
    auto parent = runningNode();
    std::weak_ptr<GxNode> weakChild;
    int calls = 0;
    {
        auto child = runningNode();
        weakChild = child;
        parent->addChild(child);
        child->runAction(GxSequence::actions({GxCallFuncN::actionWithTarget(nullptr, "drop",
                                                                            [&](GxNode* n) {
                                                                                calls++;
                                                                                n->removeFromParentAndCleanup(
                                                                                    true);  // stops all its actions
                                                                                manager->removeAllActions();
                                                                            }),
                                              GxMoveBy::actionWithDuration(1, {10, 0})}));
        child->runAction(probe("sibling", 1, &log));
    }
    manager->update(0);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(weakChild.expired()) << "released after its turn";
    EXPECT_EQ(manager->targetCount(), 0u);
    EXPECT_THAT(log, ElementsAre("sibling start")) << "never stepped";
}

TEST_F(Manager, AnActionStoppingItselfDuringItsStepIsNeitherStoppedNorSteppedAgain) {
    int calls = 0;
    GxAction* raw = nullptr;
    auto self = GxCallBlockN::actionWithBlock([&](GxNode* n) {
        calls++;
        n->stopAction(raw);
    });
    raw = self.get();
    node->runAction(self);
    auto keep = probe("keep", 1, &log);
    node->runAction(keep);
    self.reset();  // the manager holds the only reference
    manager->update(0);
    manager->update(0.25f);
    EXPECT_EQ(calls, 1);
    EXPECT_THAT(log, ElementsAre("keep start", "keep 0", "keep 0.25"));
}

// An action that works on another node than the one it was run on is
// removed from the node it was run on when it ends.
TEST_F(Manager, AFinishedTargetedActionLeavesItsRunnersList) {
    auto other = runningNode();
    node->runAction(GxTargetedAction::actionWithTarget(other, GxMoveTo::actionWithDuration(0.5f, {40, 0})));
    manager->update(0);
    manager->update(0.5f);
    EXPECT_EQ(other->position(), (Point{40, 0}));
    EXPECT_EQ(node->numberOfRunningActions(), 0u);
    EXPECT_EQ(manager->targetCount(), 0u);
}

TEST_F(Manager, RepeatForeverCarriesTheTimeBeyondARoundIntoTheNext) {
    auto move = GxMoveBy::actionWithDuration(1, {100, 0});
    auto forever = GxRepeatForever::actionWithAction(move);
    node->runAction(forever);
    manager->update(0.016f);  // arms
    manager->update(0.5f);
    EXPECT_FLOAT_EQ(node->position().x, 50);
    manager->update(1.25f);  // ends the round at 100 and goes 0.75 into the next
    EXPECT_FLOAT_EQ(forever->innerAction()->elapsed(), 0.75f);
    EXPECT_FLOAT_EQ(node->position().x, 175);
    EXPECT_FALSE(forever->isDone());
    auto back = forever->reverse();
    ASSERT_NE(back, nullptr);
    back->startWithTarget(node.get());
    back->step(0);
    back->step(0.5f);
    EXPECT_FLOAT_EQ(node->position().x, 125);
}

TEST_F(Manager, SpeedScalesTheTimeOfItsActionAndKeepsItsFactorInTheReverse) {
    auto speed = GxSpeed::actionWithAction(GxMoveBy::actionWithDuration(2, {100, 0}), 4);
    node->runAction(speed);
    manager->update(0);
    manager->update(0.25f);
    EXPECT_FLOAT_EQ(node->position().x, 50);
    manager->update(0.25f);
    EXPECT_EQ(node->numberOfRunningActions(), 0u) << "done with its inner action";
    EXPECT_FLOAT_EQ(speed->reverse()->speed(), 4);
    EXPECT_FLOAT_EQ(std::dynamic_pointer_cast<GxSpeed>(speed->copy())->speed(), 4);
}

TEST_F(Manager, FollowKeepsTheFollowedNodeCentredWithinTheWorldAndItsCopyFollowsTheSameNode) {
    auto saved = GxEnvironment::shared().winSize;
    GxEnvironment::shared().winSize = {480, 320};
    auto hero = runningNode();
    hero->setPosition({300, 100});

    auto free = GxFollow::actionWithTarget(hero);
    node->runAction(free);
    manager->update(0);
    EXPECT_EQ(node->position(), (Point{-60, 60}));

    // A world narrower than the screen is centred and never moves sideways.
    auto narrow = GxFollow::actionWithTarget(hero, Rect{{0, 0}, {320, 1000}});
    EXPECT_FLOAT_EQ(narrow->leftBoundary(), 80);
    EXPECT_FLOAT_EQ(narrow->rightBoundary(), 80);
    EXPECT_FLOAT_EQ(narrow->topBoundary(), 0);
    EXPECT_FLOAT_EQ(narrow->bottomBoundary(), -680);
    // A world smaller than the screen both ways never moves the target.
    EXPECT_TRUE(GxFollow::actionWithTarget(hero, Rect{{0, 0}, {320, 200}})->boundaryFullyCovered());

    auto layer = runningNode();
    auto copy = std::dynamic_pointer_cast<GxFollow>(narrow->copy());
    layer->runAction(copy);
    manager->update(0);
    EXPECT_EQ(layer->position(), (Point{80, 0})) << "x centred; y = 60 clamped to [-680, 0]";

    hero->onExit();  // leaves the scene: the follow actions end
    manager->update(0);
    EXPECT_EQ(node->numberOfRunningActions(), 0u);
    EXPECT_EQ(layer->numberOfRunningActions(), 0u);
    GxEnvironment::shared().winSize = saved;
}

TEST_F(Manager, ChangingTheManagerStopsTheNodesActionsOnTheOldOne) {
    node->runAction(probe("p", 1, &log));
    node->setActionManager(std::make_shared<GxActionManager>());
    EXPECT_EQ(manager->numberOfRunningActionsInTarget(node.get()), 0u);
    node->cleanup();
}

// In a frame, the director's scheduler steps the actions before every
// other update, so updates see the nodes where this frame's actions put them.
TEST(ManagerInTheFrame, TheDirectorStepsActionsBeforeEveryOtherUpdate) {
    auto& director = GxDirector::sharedDirector();
    auto scheduler = director.scheduler();
    ASSERT_TRUE(scheduler->hasUpdateFor(director.actionManager().get()));
    ASSERT_EQ(director.actionManager(), GxEnvironment::shared().actionManager());

    class Watcher : public GxNode {
    public:
        std::vector<float> seen;
        void update(float) override { seen.push_back(position().x); }
    };
    auto node = gxMake<Watcher>();
    node->onEnter();
    node->scheduleUpdateWithPriority(-1000);
    node->runAction(GxMoveBy::actionWithDuration(1, {100, 0}));
    scheduler->update(0.5f);  // the action's first step applies progress 0
    scheduler->update(0.5f);
    scheduler->update(0.5f);
    EXPECT_THAT(node->seen, ElementsAre(0.0f, 50.0f, 100.0f));
    node->onExit();
    node->cleanup();
    node->unscheduleUpdate();
    EXPECT_EQ(node->numberOfRunningActions(), 0u);
}

}  // namespace
