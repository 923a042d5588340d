#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/nodes/GxScene.h"
#include "lib/engine2d/touch/GxTouchDispatcher.h"

using namespace engine2d;

namespace {

std::vector<std::string> gLog;

GxTouch touchAt(double x, double y) { return std::make_shared<ui::Touch>(nullptr, ui::Point{x, y}, 0); }

class Targeted : public GxTargetedTouchDelegate {
public:
    Targeted(std::string name, bool claims = true, int phases = kGxTouchSelectorAllBits)
        : name_(std::move(name)), claims_(claims), phases_(phases) {}
    bool gxTouchBegan(const GxTouch&, const ui::Event&) override {
        gLog.push_back(name_ + ".began");
        if (onBegan) onBegan();
        return claims_;
    }
    void gxTouchMoved(const GxTouch&, const ui::Event&) override { gLog.push_back(name_ + ".moved"); }
    void gxTouchEnded(const GxTouch&, const ui::Event&) override { gLog.push_back(name_ + ".ended"); }
    int gxTargetedTouchPhases() const override { return phases_; }
    std::function<void()> onBegan;

private:
    std::string name_;
    bool claims_;
    int phases_;
};

class Standard : public GxStandardTouchDelegate {
public:
    explicit Standard(std::string name) : name_(std::move(name)) {}
    void gxTouchesBegan(const GxTouchSet& s, const ui::Event&) override {
        gLog.push_back(name_ + ".began" + std::to_string(s.size()));
    }
    void gxTouchesEnded(const GxTouchSet& s, const ui::Event&) override {
        gLog.push_back(name_ + ".ended" + std::to_string(s.size()));
    }

private:
    std::string name_;
};

using Log = std::vector<std::string>;

class Touch : public testing::Test {
protected:
    void SetUp() override { gLog.clear(); }
    void began(const GxTouchSet& s) { d.touchesBegan(s, ui::Event{}); }
    void ended(const GxTouchSet& s) { d.touchesEnded(s, ui::Event{}); }
    GxTouchDispatcher d;
};

TEST_F(Touch, TargetedReceiversComeFirstThenByPriorityLaterAddedAhead) {
    auto late = std::make_shared<Targeted>("t5", false);
    auto st = std::make_shared<Standard>("s");
    auto a = std::make_shared<Targeted>("a", false);
    auto b = std::make_shared<Targeted>("b", false);
    d.addStandardDelegate(st, -100);
    d.addTargetedDelegate(late, 5, true);
    d.addTargetedDelegate(a, 0, true);
    d.addTargetedDelegate(b, 0, true);
    began({touchAt(1, 1)});
    EXPECT_EQ(gLog, (Log{"b.began", "a.began", "t5.began", "s.began1"}));
    gLog.clear();
    d.setPriority(-1, a.get());
    began({touchAt(1, 1)});
    EXPECT_EQ(gLog, (Log{"a.began", "b.began", "t5.began", "s.began1"}));
    // Dropped whole while events are off.
    gLog.clear();
    d.setDispatchEvents(false);
    began({touchAt(1, 1)});
    EXPECT_TRUE(gLog.empty());
}

TEST_F(Touch, SwallowedTouchesGoNoFurtherInAnyPhase) {
    auto swallower = std::make_shared<Targeted>("w");
    auto behind = std::make_shared<Targeted>("x");
    auto st = std::make_shared<Standard>("s");
    d.addTargetedDelegate(swallower, 0, true);
    d.addTargetedDelegate(behind, 1, false);
    d.addStandardDelegate(st, 0);
    auto t1 = touchAt(1, 1);
    GxTouchSet one{t1};
    began(one);
    EXPECT_EQ(gLog, (Log{"w.began"}));  // every touch swallowed: no standard call
    gLog.clear();
    d.touchesMoved(GxTouchSet{t1}, ui::Event{});
    EXPECT_EQ(gLog, (Log{"w.moved"}));
    gLog.clear();
    ended(GxTouchSet{t1});
    EXPECT_EQ(gLog, (Log{"w.ended"}));
    EXPECT_TRUE(d.targetedHandlers()[0]->claimedTouches().empty());
    // The caller's set is never changed.
    EXPECT_EQ(one.size(), 1u);
}

TEST_F(Touch, NonSwallowingClaimsShareTouchesAndEndsReleaseWithoutAHandler) {
    auto first = std::make_shared<Targeted>("a", true, kGxTouchSelectorBeganBit);  // handles only began
    auto second = std::make_shared<Targeted>("b");
    auto st = std::make_shared<Standard>("s");
    d.addTargetedDelegate(first, 0, false);
    d.addTargetedDelegate(second, 1, false);
    auto t = touchAt(1, 1);
    began({t});
    EXPECT_EQ(gLog, (Log{"a.began", "b.began"}));
    gLog.clear();
    ended({t});
    EXPECT_EQ(gLog, (Log{"b.ended"}));
    EXPECT_TRUE(d.targetedHandlers()[0]->claimedTouches().empty());
    EXPECT_TRUE(d.targetedHandlers()[1]->claimedTouches().empty());
    // Standard receivers get the whole set when nothing swallows.
    d.addStandardDelegate(st, 0);
    gLog.clear();
    began({touchAt(1, 1), touchAt(2, 2)});
    EXPECT_EQ(gLog.back(), "s.began2");
}

TEST_F(Touch, RemovalTakesOneHandlerOfEachKind) {
    auto a = std::make_shared<Targeted>("a", false);
    d.removeDelegate(nullptr);
    d.addTargetedDelegate(a, 0, true);
    d.addTargetedDelegate(a, 0, true);
    d.removeDelegate(a.get());
    EXPECT_EQ(d.targetedHandlers().size(), 1u);
    EXPECT_EQ(d.findHandler(a.get()), d.targetedHandlers()[0]);
    d.removeDelegate(a.get());
    EXPECT_TRUE(d.targetedHandlers().empty());
    EXPECT_EQ(d.findHandler(a.get()), nullptr);
}

TEST_F(Touch, ChangesMadeDuringADispatchWaitForItsEnd) {
    auto a = std::make_shared<Targeted>("a", false);
    auto b = std::make_shared<Targeted>("b", false);
    auto c = std::make_shared<Targeted>("c", false);
    auto added = std::make_shared<Targeted>("n", false);
    d.addTargetedDelegate(a, 0, true);
    d.addTargetedDelegate(b, 1, true);
    d.addTargetedDelegate(c, 2, true);
    // a moves c to the front, adds and removes a receiver, and removes b: the
    // walk in progress keeps its order and still reaches everyone.
    a->onBegan = [&] {
        d.setPriority(-10, c.get());
        d.addTargetedDelegate(added, -20, true);
        d.removeDelegate(added.get());
        d.removeDelegate(b.get());
    };
    began({touchAt(1, 1)});
    EXPECT_EQ(gLog, (Log{"a.began", "b.began", "c.began"}));
    a->onBegan = nullptr;
    gLog.clear();
    began({touchAt(1, 1)});
    EXPECT_EQ(gLog, (Log{"c.began", "a.began"}));

    // A remove-all during a dispatch also takes handlers added in it.
    a->onBegan = [&] {
        d.addTargetedDelegate(added, 0, true);
        d.removeAllDelegates();
    };
    began({touchAt(1, 1)});
    EXPECT_TRUE(d.targetedHandlers().empty());
}

TEST_F(Touch, LayersRegisterOnlyWhileRunningWithTouchesOn) {
    auto dispatcher = std::make_shared<GxTouchDispatcher>();
    GxEnvironment::shared().setTouchDispatcher(dispatcher);
    auto layer = GxLayer::node();
    layer->setIsTouchEnabled(true);
    EXPECT_TRUE(dispatcher->standardHandlers().empty());
    layer->onEnter();
    ASSERT_EQ(dispatcher->standardHandlers().size(), 1u);
    EXPECT_EQ(dispatcher->standardHandlers()[0]->priority(), 0);
    layer->setIsTouchEnabled(false);
    EXPECT_TRUE(dispatcher->standardHandlers().empty());
    layer->setIsTouchEnabled(true);
    EXPECT_EQ(dispatcher->standardHandlers().size(), 1u);
    layer->onExit();
    EXPECT_TRUE(dispatcher->standardHandlers().empty());
    GxEnvironment::shared().setTouchDispatcher(nullptr);
}

}  // namespace
