// The launch router: which way the app goes from the store and the payment
// binding state, and the damaged store.
#include <gtest/gtest.h>

#include "platform/ui/Navigation.h"

#include "app/start/KAVOViewController.h"
#include "platform/foundation/App.h"
#include "platform/foundation/Paths.h"
#include "tests/app/start/StartFixture.h"

using namespace starttest;

namespace {

const char* const kRouter = "KAVOViewController";

struct Route {
    const char* name;
    bool withStore;
    std::map<std::string, std::string> rows;
    long long boundState;
    const char* segue;  // "" for a damaged store
    const char* screen;
};

void PrintTo(const Route& r, std::ostream* os) { *os << r.name; }

class RoutingTable : public StartTest, public ::testing::WithParamInterface<Route> {};

}  // namespace

TEST_P(RoutingTable, TakesTheSegueTheStoreCallsFor) {
    const Route& r = GetParam();
    if (r.withStore) writeStore(r.rows);
    if (r.boundState) foundation::UserDefaults::standard().setInteger("korvxboundstate", r.boundState);
    const std::optional<std::string> before = foundation::readFile(DBController::getPath());

    launch();

    if (*r.segue) {
        ASSERT_EQ(segues(), (std::vector<std::string>{std::string(kRouter) + "->" + r.segue + "->" + r.screen}));
        ui::ViewController* presented = app_.rootViewController->presentedViewController();
        ASSERT_NE(presented, nullptr);
        // A screen with a bar comes up inside a navigation controller of its own.
        if (auto* nav = dynamic_cast<ui::NavigationController*>(presented)) presented = nav->topViewController();
        ASSERT_NE(presented, nullptr);
        EXPECT_STREQ(presented->className(), r.screen);
        EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
        EXPECT_EQ(DBController::databaseExit(), r.withStore) << "routing leaves a sound store alone";
    } else {
        EXPECT_TRUE(segues().empty());
        EXPECT_FALSE(DBController::databaseExit()) << "the damaged store is moved aside";
        ASSERT_TRUE(before);
        EXPECT_TRUE(foundation::readFile(DBController::getPath() + ".damaged") == before) << "and kept, as it was";
        ui::AlertView* alert = ui::AlertView::frontmost();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->title(), "数据库损坏");
        EXPECT_EQ(alert->message(), "数据库数据被损坏，请到禾川网安全中心重新绑定。");
        EXPECT_EQ(alert->tag(), KAVOViewController::kDamagedStoreAlertTag);
        ASSERT_EQ(alert->numberOfButtons(), 1);
        EXPECT_EQ(alert->buttonTitleAtIndex(0), "确定");
        // Dismissing it leads on to binding again, by the binding state.
        driver_->tapText("确定");
        driver_->settle();
        EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
        const std::string way = r.boundState == 2 ? "korvexBind->BindViewController" : "welcome->GuideViewController";
        EXPECT_EQ(segues(), (std::vector<std::string>{std::string(kRouter) + "->" + way}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Start, RoutingTable,
    ::testing::Values(
        Route{"NoStore", false, {}, 0, "welcome", "GuideViewController"},
        Route{"NoStorePaymentVerifyPending", false, {}, 1, "welcome", "GuideViewController"},
        Route{"NoStoreBindHandOffPending", false, {}, 2, "korvexBind", "BindViewController"},
        Route{"NoStoreBound", false, {}, 3, "welcome", "GuideViewController"},
        Route{"NoStoreVerifyOn", false, {}, 10, "welcome", "GuideViewController"},
        Route{"BoundWithoutPin",
              true,
              {{"read_index", "3.0.0"}, {"passward", "null"}},
              0,
              "showMain",
              "KAVOMainFrameViewController"},
        Route{"BoundWithPin",
              true,
              {{"read_index", "3.0.0"}, {"passward", "1234"}},
              0,
              "haspassword",
              "StartPasswordViewController"},
        Route{"BoundPinRowMissing", true, {{"read_index", "3.0.0"}}, 0, "haspassword", "StartPasswordViewController"},
        Route{"StoreWinsOverHandOff",
              true,
              {{"read_index", "3.0.0"}, {"passward", "null"}},
              2,
              "showMain",
              "KAVOMainFrameViewController"},
        Route{"OlderGuideWithPin",
              true,
              {{"read_index", "2.1.0"}, {"passward", "1234"}},
              0,
              "welcome",
              "GuideViewController"},
        Route{"OlderGuideWithoutPin",
              true,
              {{"read_index", "2.1.0"}, {"passward", "null"}},
              0,
              "welcome",
              "GuideViewController"},
        Route{"GuideNull", true, {{"read_index", "null"}, {"passward", "null"}}, 0, "welcome", "GuideViewController"},
        Route{"GuideRowMissing", true, {{"passward", "null"}}, 0, "", ""},
        Route{"GuideEmpty", true, {{"read_index", ""}, {"passward", "null"}}, 0, "", ""},
        Route{"GuideNullText", true, {{"read_index", "(null)"}, {"passward", "null"}}, 2, "", ""},
        Route{"EmptyTable", true, {}, 0, "", ""}),
    [](const ::testing::TestParamInfo<Route>& info) { return std::string(info.param.name); });

TEST_F(StartTest, StoreThatIsNotADatabaseCountsAsDamaged) {
    const std::string junk(4096, 'x');
    ASSERT_TRUE(foundation::writeFileAtomically(DBController::getPath(), junk));
    launch();
    EXPECT_TRUE(segues().empty());
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_TRUE(foundation::readFile(DBController::getPath() + ".damaged") == junk);
    ASSERT_NE(ui::AlertView::frontmost(), nullptr);
    EXPECT_EQ(ui::AlertView::frontmost()->title(), "数据库损坏");
}

// A binding torn by a kill in an older version (the table, no rows) and a
// later damaged store: each is kept aside under a name of its own, and each
// start then leads to binding rather than resting on the launch image.
TEST_F(StartTest, EachDamagedStoreIsKeptAsideAndLeadsToBinding) {
    writeStore({});
    launch();
    driver_->tapText("确定");
    driver_->settle();
    EXPECT_EQ(segues(), (std::vector<std::string>{"KAVOViewController->welcome->GuideViewController"}));
    EXPECT_TRUE(foundation::fileExists(DBController::getPath() + ".damaged"));

    writeStore({{"passward", "null"}});
    app_.rootViewController->view()->removeFromSuperview();
    launch();
    ASSERT_NE(ui::AlertView::frontmost(), nullptr);
    driver_->tapText("确定");
    driver_->settle();
    EXPECT_EQ(segues(), (std::vector<std::string>{"KAVOViewController->welcome->GuideViewController"}));
    EXPECT_TRUE(foundation::fileExists(DBController::getPath() + ".damaged-2"));
}

TEST_F(StartTest, OnAFirstStartTheRealStoryboardShowsTheGuideOverTheLaunchImage) {
    launch(KAVOStoryboard::make());
    EXPECT_EQ(segues(), (std::vector<std::string>{"KAVOViewController->welcome->GuideViewController"}));
    auto* router = dynamic_cast<KAVOViewController*>(app_.rootViewController.get());
    ASSERT_NE(router, nullptr);
    ASSERT_NE(app_.rootViewController->presentedViewController(), nullptr);
    ASSERT_NE(router->welcomImage(), nullptr);
    ASSERT_NE(router->welcomImage()->image(), nullptr);
    EXPECT_EQ(router->welcomImage()->image()->pixelWidth(), 320);
    EXPECT_EQ(router->welcomImage()->image()->pixelHeight(), 480);
    EXPECT_NE(driver_->findByText("跳过"), nullptr);
}

TEST_F(StartTest, RoutesAgainEachTimeTheRouterAppears) {
    launch();
    ASSERT_EQ(segues(), (std::vector<std::string>{"KAVOViewController->welcome->GuideViewController"}));
    // Bound in the meantime; the router shows again when the guide goes.
    writeStore({{"read_index", "3.0.0"}, {"passward", "null"}});
    app_.rootViewController->dismissViewControllerAnimated(false);
    driver_->settle();
    ASSERT_EQ(segues().size(), 2u);
    EXPECT_EQ(segues()[1], "KAVOViewController->showMain->KAVOMainFrameViewController");
}

TEST(StartTallScreen, TheTallScreenShowsTheTallLaunchImage) {
    struct Case {
        ui::Size size;
        double scale;
        int width, height;
    };
    for (const Case& c :
         {Case{{320, 568}, 2, 640, 1136}, Case{{320, 480}, 2, 640, 960}, Case{{320, 480}, 1, 320, 480}}) {
        ui::Image::clearNamedCache();
        shell::Driver driver(c.size, c.scale);
        auto map = KAVOStoryboard::make();
        auto router = map->instantiateInitialViewController();
        router->view()->setFrame(driver.window().bounds());
        driver.window().addSubview(router->viewRef());
        router->beginAppearanceTransition(true, false);
        auto* image = dynamic_cast<KAVOViewController*>(router.get())->welcomImage()->image().get();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->pixelWidth(), c.width) << c.size.height << "@" << c.scale;
        EXPECT_EQ(image->pixelHeight(), c.height) << c.size.height << "@" << c.scale;
        router->view()->removeFromSuperview();
        ui::Screen::main().reset();
    }
}
