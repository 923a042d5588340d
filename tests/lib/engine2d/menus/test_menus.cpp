#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/engine2d/menus/GxMenu.h"
#include "lib/engine2d/menus/GxMenuItem.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "platform/ui/Application.h"

using namespace engine2d;

namespace {

// A label without drawing: text, a colour and a size per character.
class FakeLabel : public GxNode, public GxRGBAProtocol, public GxLabelProtocol {
public:
    void setString(const std::string& t) override {
        text_ = t;
        setContentSize(Size{10.0f * float(t.size()), 20});
    }
    const std::string& string() const override { return text_; }
    gxColor3B color() const override { return color_; }
    void setColor(gxColor3B c) override { color_ = c; }
    uint8_t opacity() const override { return opacity_; }
    void setOpacity(uint8_t o) override { opacity_ = o; }

private:
    std::string text_;
    gxColor3B color_{255, 255, 255};
    uint8_t opacity_ = 255;
};

std::shared_ptr<GxNode> box(float w, float h) {
    auto n = GxNode::node();
    n->setContentSize(Size{w, h});
    return n;
}

class Menus : public testing::Test {
protected:
    void SetUp() override {
        env().winSize = Size{480, 320};
        dispatcher_ = std::make_shared<GxTouchDispatcher>();
        env().setTouchDispatcher(dispatcher_);
        statusBar_ = float(ui::Application::shared().statusBarFrame().size.height);
    }
    void TearDown() override {
        env().actionManager()->removeAllActions();
        env().setTouchDispatcher(nullptr);
    }
    static GxEnvironment& env() { return GxEnvironment::shared(); }
    // A touch at a point of the menu's own space.
    GxTouch touchAt(float x, float y) {
        float worldY = y + (320 - statusBar_) / 2;
        return std::make_shared<ui::Touch>(nullptr, ui::Point{x + 240, 320 - worldY}, 0);
    }
    void began(const GxTouch& t) { dispatcher_->touchesBegan({t}, ui::Event{}); }
    void moved(const GxTouch& t) { dispatcher_->touchesMoved({t}, ui::Event{}); }
    void ended(const GxTouch& t) { dispatcher_->touchesEnded({t}, ui::Event{}); }
    std::shared_ptr<GxTouchDispatcher> dispatcher_;
    float statusBar_ = 0;
};

std::shared_ptr<GxMenuItemSprite> item(std::vector<std::string>& log, const std::string& name, Point at) {
    auto i = GxMenuItemSprite::itemWithNormalSprite(box(100, 40), box(100, 40), nullptr,
                                                    [&log, name](GxMenuItem*) { log.push_back(name); });
    i->setPosition(at);
    return i;
}

TEST_F(Menus, SelectionFollowsTheTouchAndTheItemUnderTheLiftActivates) {
    std::vector<std::string> log;
    auto a = item(log, "a", Point{0, 0});
    auto b = item(log, "b", Point{0, 100});
    auto over = item(log, "over", Point{20, 0});  // overlaps a, later in child order
    auto menu = GxMenu::menuWithArray({a, b, over});
    menu->onEnter();
    ASSERT_EQ(dispatcher_->targetedHandlers().size(), 1u);
    EXPECT_EQ(dispatcher_->targetedHandlers()[0]->priority(), kGxMenuHandlerPriority);

    // Begins on a (the earlier child wins the overlap), ends on b.
    auto t = touchAt(10, 0);
    began(t);
    EXPECT_TRUE(a->isSelected());
    EXPECT_TRUE(a->selectedImage()->visible());
    EXPECT_FALSE(a->normalImage()->visible());
    // A second finger is not claimed while one is tracked.
    auto other = touchAt(0, 100);
    began(other);
    EXPECT_FALSE(b->isSelected());
    EXPECT_EQ(dispatcher_->targetedHandlers()[0]->claimedTouches().size(), 1u);
    // Cancelled: unselected, nothing runs.
    dispatcher_->touchesCancelled({t}, ui::Event{});
    EXPECT_FALSE(a->isSelected());
    EXPECT_EQ(menu->state(), kGxMenuStateWaiting);
    EXPECT_TRUE(log.empty());

    // Begins on a, moves off everything, then onto b, lifted on b.
    auto g = std::make_shared<ui::Touch>(nullptr, touchAt(0, 0)->locationInView(nullptr), 0);
    began(g);
    EXPECT_TRUE(a->isSelected());
    g->update(ui::TouchPhase::Moved, touchAt(300, 0)->locationInView(nullptr), 0);
    moved(g);
    EXPECT_FALSE(a->isSelected());
    EXPECT_EQ(menu->selectedItem(), nullptr);
    g->update(ui::TouchPhase::Moved, touchAt(0, 100)->locationInView(nullptr), 0);
    moved(g);
    EXPECT_TRUE(b->isSelected());
    ended(g);
    EXPECT_FALSE(b->isSelected());
    EXPECT_EQ(log, (std::vector<std::string>{"b"}));

    // Lifted off every item: nothing runs.
    auto h = std::make_shared<ui::Touch>(nullptr, touchAt(0, 0)->locationInView(nullptr), 0);
    began(h);
    h->update(ui::TouchPhase::Moved, touchAt(-300, 0)->locationInView(nullptr), 0);
    moved(h);
    ended(h);
    EXPECT_EQ(log.size(), 1u);
    menu->onExit();
    EXPECT_TRUE(dispatcher_->targetedHandlers().empty());
}

TEST_F(Menus, HiddenDisabledItemsAndHiddenAncestorsTakeNoTouch) {
    std::vector<std::string> log;
    auto top = item(log, "top", Point{0, 0});
    auto below = item(log, "below", Point{0, 0});
    top->setVisible(false);
    auto menu = GxMenu::menuWithArray({top, below});
    menu->onEnter();
    auto t = touchAt(0, 0);
    began(t);
    EXPECT_EQ(menu->selectedItem(), below.get());
    ended(t);
    below->setIsEnabled(false);
    auto u = touchAt(0, 0);
    began(u);
    EXPECT_EQ(menu->state(), kGxMenuStateWaiting);
    below->setIsEnabled(true);

    auto parent = GxNode::node();
    parent->addChild(menu);
    parent->setVisible(false);
    auto v = touchAt(0, 0);
    began(v);
    EXPECT_EQ(menu->state(), kGxMenuStateWaiting);
    EXPECT_EQ(log, (std::vector<std::string>{"below"}));
    menu->onExit();

    auto empty = GxMenu::menuWithArray({});
    empty->alignItemsVertically();
    empty->alignItemsInColumns({1});
    EXPECT_EQ(empty->childrenCount(), 0u);
}

TEST_F(Menus, ColumnsAndRowsLayOutItemsAndNeverReadPastTheCounts) {
    std::vector<std::string> log;
    std::vector<std::shared_ptr<GxMenuItem>> three;
    for (int i = 0; i < 3; ++i) {
        auto it = GxMenuItemSprite::itemWithNormalSprite(box(60, 40), nullptr);
        it->setPosition(Point{7, 7});
        three.push_back(it);
    }
    auto menu = GxMenu::menuWithArray(three);
    menu->alignItemsInColumns({2, 1});
    EXPECT_EQ(three[0]->position().x, -80);
    EXPECT_EQ(three[0]->position().y, 22);
    EXPECT_EQ(three[1]->position().x, 80);
    EXPECT_EQ(three[2]->position().x, 0);
    EXPECT_EQ(three[2]->position().y, -23);

    // Counts covering fewer items than there are: the rest stay put.
    for (auto& i : three) i->setPosition(Point{7, 7});
    menu->alignItemsInColumns({2});
    EXPECT_EQ(three[2]->position().x, 7);
    menu->alignItemsInRows({1});
    EXPECT_EQ(three[1]->position().x, 80);  // untouched by the row layout
    // A zero count counts as one.
    menu->alignItemsInColumns({0, 0, 0});
    EXPECT_EQ(three[0]->position().x, 0);
    EXPECT_EQ(three[2]->position().x, 0);

    menu->alignItemsVertically();
    EXPECT_EQ(three[0]->position().y, 45);
    EXPECT_EQ(three[2]->position().y, -45);
    menu->alignItemsHorizontallyWithPadding(10);
    EXPECT_EQ(three[0]->position().x, -70);
    EXPECT_EQ(three[1]->position().x, 0);

    menu->alignItemsInRows({2, 1});
    // Column one: two items (height -5 + 45 + 45 = 85), column two: one (40).
    EXPECT_EQ(three[0]->position().x, float(-(60 + 10 + 60 + 10 - 10) / 2 + 30));
    EXPECT_EQ(three[0]->position().y, 85.0f / 2 + 160 - 160);
    EXPECT_EQ(three[1]->position().y, 85.0f / 2 - 50);
}

TEST_F(Menus, LabelItemsZoomWhileSelectedAndGreyOutWhileDisabled) {
    auto label = std::make_shared<FakeLabel>();
    label->setString("Play");
    int runs = 0;
    auto it = GxMenuItemLabel::itemWithLabel(label, [&](GxMenuItem*) { ++runs; });
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->contentSize().width, 40);
    it->onEnter();
    auto& am = *env().actionManager();
    auto settle = [&] {
        for (int i = 0; i < 4; ++i) am.update(0.05f);
    };
    it->selected();
    settle();
    EXPECT_FLOAT_EQ(it->scale(), 1.2f);
    it->unselected();
    am.update(0.0f);
    am.update(0.05f);
    EXPECT_LT(it->scale(), 1.2f);
    it->selected();  // during the zoom back: the saved scale stays 1
    settle();
    EXPECT_FLOAT_EQ(it->scale(), 1.2f);
    it->activate();
    EXPECT_FLOAT_EQ(it->scale(), 1.0f);
    EXPECT_EQ(runs, 1);

    it->unselected();
    label->setColor(gxColor3B{10, 20, 30});
    it->setIsEnabled(false);
    it->setIsEnabled(false);
    EXPECT_EQ(label->color(), (gxColor3B{126, 126, 126}));
    it->selected();
    it->activate();
    EXPECT_FALSE(it->isSelected());
    EXPECT_EQ(runs, 1);
    it->setIsEnabled(true);
    EXPECT_EQ(label->color(), (gxColor3B{10, 20, 30}));
    it->setString("Quit!");
    EXPECT_EQ(it->contentSize().width, 50);
    // Not a label: refused.
    EXPECT_EQ(GxMenuItemLabel::itemWithLabel(box(1, 1)), nullptr);
    it->cleanup();
    it->activate();
    EXPECT_EQ(runs, 1);
    it->onExit();
}

TEST_F(Menus, TogglesCycleAndShowTheirCurrentItem) {
    std::vector<std::shared_ptr<GxMenuItem>> subs;
    for (float w : {10.0f, 20.0f, 30.0f}) subs.push_back(GxMenuItemSprite::itemWithNormalSprite(box(w, 5), nullptr));
    std::vector<unsigned> seen;
    auto toggle = GxMenuItemToggle::itemWithItems(
        subs, [&](GxMenuItem* s) { seen.push_back(static_cast<GxMenuItemToggle*>(s)->selectedIndex()); });
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(toggle->contentSize().width, 10);
    toggle->setSelectedIndex(2);
    EXPECT_EQ(toggle->contentSize().width, 30);
    EXPECT_EQ(toggle->getChildByTag(kGxCurrentItemTag), subs[2]);
    EXPECT_EQ(subs[2]->position().x, 15);
    toggle->activate();
    EXPECT_EQ(toggle->selectedIndex(), 0u);
    EXPECT_EQ(toggle->childrenCount(), 1u);
    toggle->setSelectedIndex(7);  // beyond the items: refused
    EXPECT_EQ(toggle->selectedIndex(), 0u);
    toggle->setIsEnabled(false);
    EXPECT_FALSE(subs[1]->isEnabled());
    toggle->activate();
    EXPECT_EQ(toggle->selectedIndex(), 0u);
    EXPECT_EQ(seen, (std::vector<unsigned>{0}));
    EXPECT_EQ(GxMenuItemToggle::itemWithItems({}), nullptr);

    // Sprite items without selected or disabled nodes keep the normal one.
    auto plain = GxMenuItemSprite::itemWithNormalSprite(box(5, 5), nullptr);
    plain->selected();
    EXPECT_TRUE(plain->normalImage()->visible());
    plain->setIsEnabled(false);
    EXPECT_TRUE(plain->normalImage()->visible());
}

}  // namespace
