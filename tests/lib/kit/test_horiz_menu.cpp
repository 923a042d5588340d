// The scrolling tab menu: both layouts' frames and tags, taps and selection
// reported to the delegate, and reloads that replace the tabs.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lib/kit/HorizMenu.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Text.h"

namespace {

class Source : public HorizMenuDataSource, public HorizMenuDelegate {
public:
    ui::Color backgroundColorForMenu(HorizMenu*) override { return ui::Color::rgba(0.2, 0.3, 0.4); }
    std::string horizMenuTitleForItemAtIndex(HorizMenu*, unsigned index) override { return titles.at(index); }
    int numberOfItemsForMenu(HorizMenu*) override { return int(titles.size()); }
    ui::ImageRef selectedItemImageForMenu(HorizMenu*) override { return selected; }
    void horizMenuItemSelectedAtIndex(HorizMenu*, unsigned index) override { reported.push_back(index); }

    std::vector<std::string> titles{"全部", "登录", "异常"};
    ui::ImageRef selected = ui::Image::create(10, 28);
    std::vector<unsigned> reported;
};

class HorizMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        // 8 points a character at 16 points: 15-point titles are 7.5 a character.
        ui::setTextMeasurer(std::make_shared<ui::FixedWidthTextMeasurer>());
        driver = std::make_unique<shell::Driver>();
        menu = HorizMenu::create({0, 100, 320, 41});
        menu->setDataSource(&source);
        menu->setItemSelectedDelegate(&source);
        driver->window().addSubview(menu);
    }
    void TearDown() override {
        menu->removeFromSuperview();
        driver.reset();
    }
    std::vector<ui::Button*> selectedButtons() const {
        std::vector<ui::Button*> v;
        for (auto& b : menu->itemButtons())
            if (b->isSelected()) v.push_back(b.get());
        return v;
    }

    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<HorizMenu> menu;
    Source source;
};

TEST_F(HorizMenuTest, ThirdsLayoutPlacesTabsWithTheirTagsAndIcons) {
    menu->awakeFromNib();
    EXPECT_FALSE(menu->isScrollEnabled());
    EXPECT_TRUE(menu->alwaysBounceHorizontal());
    EXPECT_FALSE(menu->showsHorizontalScrollIndicator());
    ASSERT_EQ(menu->itemButtons().size(), 3u);
    const double xs[] = {0, 107, 214};
    for (int i = 0; i < 3; ++i) {
        ui::Button* b = menu->itemButtons()[i].get();
        EXPECT_EQ(b->frame(), ui::Rect(xs[i], 0, 106, 41)) << i;
        EXPECT_EQ(b->tag(), 10000 + i);
        EXPECT_EQ(b->currentTitle(), source.titles[i]);
        EXPECT_EQ(b->titleColorForState(ui::kControlStateSelected), ui::Color::rgba(1, 144 / 255.0, 105 / 255.0));
        // The icon of the tab, drawn from the bundle.
        auto* icon = dynamic_cast<ui::ImageView*>(b->subviews().back().get());
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->frame(), ui::Rect(18, 10, 18, 20));
        EXPECT_TRUE(icon->image()) << i;
    }
    EXPECT_EQ(menu->contentSize(), ui::Size(321, 41));
    EXPECT_EQ(menu->backgroundColor(), ui::Color::rgba(0.2, 0.3, 0.4));
}

TEST_F(HorizMenuTest, TitleSizedLayoutFollowsTheTitles) {
    source.titles = {"全部", "一个很长很长很长很长很长很长很长很长很长的标题"};
    menu->reloadDataOri();
    ASSERT_EQ(menu->itemButtons().size(), 2u);
    ui::Button* first = menu->itemButtons()[0].get();
    ui::Button* second = menu->itemButtons()[1].get();
    // Two characters of 7.5 points, plus 25.
    EXPECT_EQ(first->frame(), ui::Rect(30, 7, 40, 28));
    // A long title is held to 150 points.
    EXPECT_EQ(second->frame(), ui::Rect(70, 7, 175, 28));
    EXPECT_EQ(first->tag(), 20000);
    EXPECT_EQ(second->tag(), 20001);
    EXPECT_EQ(first->backgroundImageForState(ui::kControlStateSelected), source.selected);
    EXPECT_EQ(first->titleColorForState(ui::kControlStateSelected), ui::Color::orangeColor());
    EXPECT_EQ(menu->contentSize(), ui::Size(245, 41));

    menu->setSelectedIndex(1, false);
    EXPECT_TRUE(second->isSelected());
    EXPECT_EQ(menu->contentOffset().x, 70 - 30) << "the tab comes to the left edge after the lead";
    EXPECT_EQ(source.reported, std::vector<unsigned>{1});
}

TEST_F(HorizMenuTest, ATapSelectsOnlyThatTabAndReportsIt) {
    menu->awakeFromNib();
    menu->setSelectedIndex(0, false);
    EXPECT_EQ(source.reported, std::vector<unsigned>{0});
    driver->tapTag(10001);
    ASSERT_EQ(selectedButtons().size(), 1u);
    EXPECT_EQ(selectedButtons()[0]->tag(), 10001);
    EXPECT_EQ(source.reported, (std::vector<unsigned>{0, 1}));
    driver->tap(ui::Point{300, 120});
    ASSERT_EQ(selectedButtons().size(), 1u);
    EXPECT_EQ(selectedButtons()[0]->tag(), 10002);
    EXPECT_EQ(source.reported.back(), 2u);
}

TEST_F(HorizMenuTest, ReloadingReplacesTheTabs) {
    menu->awakeFromNib();
    const size_t once = driver->findAllByText("登录").size();
    ASSERT_GT(once, 0u);
    menu->reloadData();
    EXPECT_EQ(menu->itemButtons().size(), 3u);
    EXPECT_EQ(driver->findAllByText("登录").size(), once) << "a second reload leaves one set of tabs";
    int buttons = 0;
    for (auto& v : menu->subviews())
        if (dynamic_cast<ui::Button*>(v.get())) ++buttons;
    EXPECT_EQ(buttons, 3);

    menu->reloadDataOri();
    EXPECT_EQ(menu->viewWithTag(10000), nullptr) << "the thirds tabs are gone";
    EXPECT_NE(menu->viewWithTag(20002), nullptr);

    source.titles.clear();
    menu->reloadData();
    EXPECT_TRUE(menu->itemButtons().empty());
    EXPECT_EQ(menu->contentSize().width, 0);
    EXPECT_EQ(driver->findAllByText("登录").size(), 0u);
}

}  // namespace
