// The first-start guide: its routing table, and the screen swiped through
// its pages on the headless window with the store in each state.
#include <gtest/gtest.h>

#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/core/UpdateDataToSqlite.h"
#include "app/cycle/Constants.h"
#include "app/screens/guide/GuideScreens.h"
#include "app/screens/guide/GuideViewController.h"
#include "platform/ui/Navigation.h"
#include "tests/support/TestSupport.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

TEST(GuideRouting, WhereTheGuideLeads) {
    struct Case {
        bool store;
        std::optional<std::string> readIndex, passward;
        GuideRouting::Action action;
        const char* segue;
        bool writes;
    };
    const Case cases[] = {
        {false, std::nullopt, std::nullopt, GuideRouting::Segue, "startBind", false},
        {true, std::string("3.0.0"), std::string("null"), GuideRouting::Close, "", false},
        {true, std::string("3.0.0"), std::string("1234"), GuideRouting::Close, "", false},
        {true, std::string("2.1.0"), std::string("null"), GuideRouting::Segue, "hasBind", true},
        {true, std::string("2.1.0"), std::string("1234"), GuideRouting::Segue, "hasPwd", true},
        {true, std::nullopt, std::nullopt, GuideRouting::Segue, "hasPwd", true},
    };
    for (const Case& c : cases) {
        const GuideRouting r = GuideRouting::decide(c.store, c.readIndex, c.passward);
        EXPECT_EQ(r.action, c.action) << c.readIndex.value_or("nil");
        EXPECT_EQ(r.segue, c.segue) << c.readIndex.value_or("nil");
        EXPECT_EQ(r.writesReadIndex, c.writes) << c.readIndex.value_or("nil");
    }
}

TEST(GuideRouting, PagesOfTheOffset) {
    const double w = 320;
    EXPECT_EQ(GuideRouting::pageForOffset(0, w), 0);
    EXPECT_EQ(GuideRouting::pageForOffset(159, w), 0);
    EXPECT_EQ(GuideRouting::pageForOffset(160, w), 1);
    EXPECT_EQ(GuideRouting::pageForOffset(2 * w + 159, w), 2);
    EXPECT_EQ(GuideRouting::pageForOffset(2 * w + 160, w), 3);  // past the middle of page 3
    EXPECT_EQ(GuideViewController::pageImageName(0, false), "lead111.jpg");
    EXPECT_EQ(GuideViewController::pageImageName(2, true), "lead33-568h@2x.png");
    EXPECT_EQ(GuideViewController::pageImageName(3, true), "bg4.jpg");
    EXPECT_EQ(GuideViewController::pageImageName(3, false), "bg4.jpg");
}

class GuideTest : public screentest::ScreenFixture {
protected:
    explicit GuideTest(bool bound = false) : ScreenFixture(Options{.server = false, .boundAccount = bound}) {}

    void showGuide() {
        map = std::make_unique<ui::ScreenMap>();
        registerGuideScreens(*map);
        for (const char* id : {"BindViewController", "KAVOMainFrameViewController", "StartPasswordViewController"})
            map->registerScreen(id, [] { return std::make_shared<ui::ViewController>(); });
        guide = std::make_shared<GuideViewController>();
        guide->setStoryboard(map.get(), kGuideScreenIdentifier);
        show(guide);
    }
    void TearDown() override {
        guide.reset();
        ScreenFixture::TearDown();
        map.reset();
    }
    void scrollTo(double x) { guide->myScrollView()->setContentOffset({x, 0}); }
    const std::vector<std::string>& segues() { return map->performedSegues(); }

    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<GuideViewController> guide;
};

TEST_F(GuideTest, WithoutAStoreTheGuideLeadsToTheBindingOnce) {
    showGuide();
    EXPECT_TRUE(navigation()->isNavigationBarHidden());
    EXPECT_EQ(guide->myPageControl()->numberOfPages(), 4);
    EXPECT_DOUBLE_EQ(guide->myPageControl()->frame().y(), 480 - 62);
    // Back and forth over the picture pages moves the dots only.
    for (double x : {320.0, 640.0, 200.0, 0.0, 799.0}) {
        scrollTo(x);
        EXPECT_EQ(guide->myPageControl()->currentPage(), GuideRouting::pageForOffset(x, 320)) << x;
    }
    EXPECT_TRUE(segues().empty());
    scrollTo(640 + 161);
    scrollTo(960);
    EXPECT_EQ(segues(), std::vector<std::string>{"GuideViewController->startBind->BindViewController"});
    EXPECT_FALSE(DBController::databaseExit());  // nothing written without a table
}

TEST_F(GuideTest, TheSkipButtonRoutesAtOnce) {
    showGuide();
    ASSERT_TRUE(driver().tapText("跳过"));
    EXPECT_EQ(segues(), std::vector<std::string>{"GuideViewController->startBind->BindViewController"});
}

TEST_F(GuideTest, ThePageControlScrollsToItsPage) {
    showGuide();
    guide->myPageControl()->setCurrentPage(2);
    guide->changePage();
    driver().advance(1.0);
    EXPECT_DOUBLE_EQ(guide->myScrollView()->contentOffset().x, 640);
    EXPECT_TRUE(segues().empty());
}

class BoundGuideTest : public GuideTest {
protected:
    BoundGuideTest() : GuideTest(true) {}
};

TEST_F(BoundGuideTest, AnOlderGuideVersionIsWrittenAndLeadsOnByThePin) {
    struct Case {
        const char* passward;
        const char* segue;
    };
    for (const Case& c : {Case{"null", "GuideViewController->hasBind->KAVOMainFrameViewController"},
                          Case{"1234", "GuideViewController->hasPwd->StartPasswordViewController"}}) {
        ASSERT_TRUE(UpdateDataToSqlite::updateData("2.1.0", StoreKeys::read_index));
        ASSERT_TRUE(UpdateDataToSqlite::updateData(c.passward, StoreKeys::passward));
        showGuide();
        scrollTo(960);
        ASSERT_FALSE(segues().empty());
        EXPECT_EQ(segues().back(), c.segue);
        EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::read_index), std::optional<std::string>("3.0.0"));
        guide->dismissViewControllerAnimated(false);
        driver().settle();
    }
}

TEST_F(BoundGuideTest, ASeenGuideOnlyClosesItself) {
    map = std::make_unique<ui::ScreenMap>();
    registerGuideScreens(*map);
    // Opened again from another screen: it leaves by being popped.
    auto home = std::make_shared<ui::ViewController>();
    show(home);
    guide = std::make_shared<GuideViewController>();
    guide->setStoryboard(map.get(), kGuideScreenIdentifier);
    navigation()->pushViewController(guide, false);
    driver().settle();
    scrollTo(960);
    driver().advance(1.0);
    EXPECT_TRUE(segues().empty());
    EXPECT_EQ(navigation()->topViewController(), home.get());
    EXPECT_FALSE(navigation()->isNavigationBarHidden());
}

}  // namespace
