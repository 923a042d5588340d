// The rating prompt: its counters across launches and builds, when it is
// due (days counted with their fraction), and the answers.
#include <gtest/gtest.h>

#include "app/core/DBController.h"
#include "app/cycle/Constants.h"
#include "lib/analytics/TrkTracker.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "tests/support/analytics/TrackerHits.h"

namespace {

constexpr double kDay = 24 * 3600;

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

using trackertest::storedHitsWith;

class Rating : public ::testing::Test {
protected:
    void SetUp() override {
        TrkTracker::sharedTracker().stopTracker();
        TrkTracker::sharedTracker().startTrackerWithAccountID("QT-1", 0, nullptr);
    }
    void TearDown() override {
        while (auto* alert = ui::AlertView::frontmost()) alert->dismissWithClickedButtonIndex(0, false);
        TrkTracker::sharedTracker().stopTracker();
    }
    foundation::ManualClockScope clock_;
};

}  // namespace

TEST_F(Rating, ResetStartsTheCountNow) {
    Constants::resetAllRateUserDefault();
    EXPECT_EQ(defaults().stringForKey("verno"), foundation::device().appVersion);
    EXPECT_FALSE(defaults().boolForKey("rate"));
    EXPECT_FALSE(defaults().boolForKey("refusetate"));
    EXPECT_EQ(defaults().integerForKey("usecount"), 1);
    ASSERT_TRUE(defaults().dateForKey("starttime").has_value());
    EXPECT_EQ(defaults().dateForKey("starttime")->seconds, clock_->now());
}

TEST_F(Rating, LaunchesOfOneBuildAreCounted) {
    Constants::initPersonalUseCheckAndRateVar();  // first start
    const double start = clock_->now();
    clock_->advance(3 * kDay);
    Constants::initPersonalUseCheckAndRateVar();
    Constants::initPersonalUseCheckAndRateVar();
    EXPECT_EQ(defaults().integerForKey("usecount"), 3);
    EXPECT_EQ(defaults().dateForKey("starttime")->seconds, start) << "counting does not move the start";
    EXPECT_EQ(storedHitsWith("UpdateAccoured"), 1);
}

TEST_F(Rating, NewBuildRestartsTheCounters) {
    struct Case {
        std::optional<std::string> verno;
        bool settlesBinding;  // a first start or an update from a 2.x build
    };
    for (const Case& c : {Case{std::nullopt, true}, Case{"2.5.1", true}, Case{"2", true}, Case{"1.9", false},
                          Case{"20.1", false}, Case{"3.0.0.1", false}}) {
        DBController::deleteDataBase();
        {
            DBController db;
            ASSERT_TRUE(db.initDatabase());
            ASSERT_TRUE(db.InsertTable("otpFast", "1"));
        }
        defaults().removePersistentDomain();
        if (c.verno) defaults().setString("verno", *c.verno);
        defaults().setInteger("usecount", 17);
        defaults().setBool("refusetate", true);
        defaults().setInteger("korvxboundstate", 10);
        defaults().setInteger("laststate", 10);

        Constants::initPersonalUseCheckAndRateVar();
        const std::string label = c.verno.value_or("none");
        EXPECT_EQ(defaults().stringForKey("verno"), foundation::device().appVersion) << label;
        EXPECT_EQ(defaults().integerForKey("usecount"), 1) << label;
        EXPECT_FALSE(defaults().boolForKey("refusetate")) << label;
        EXPECT_EQ(defaults().integerForKey("korvxboundstate"), c.settlesBinding ? 3 : 10) << label;
        EXPECT_EQ(defaults().integerForKey("laststate"), c.settlesBinding ? 3 : 10) << label;
        EXPECT_EQ(Constants::getValueFromDBByKey("otpFast"), std::string(c.settlesBinding ? "0" : "1")) << label;
    }
}

TEST_F(Rating, DueByUsesAndDaysWithTheirFraction) {
    struct Case {
        int uses;
        double days;
        bool due;
    };
    const Case cases[] = {
        {7, 5, true},                        // 1.4 a day in the first week
        {6, 5, false},                       // fewer than 7 uses
        {6, 7.9, false},                     // 0.76 a day
        {6, 13.9, false},  {7, 0, true},     // all on the first day
        {7, 7, false},                       // 1 a day
        {9, 7, false},                       // 9/7 is just under 1.2857143
        {10, 7, true},     {7, 5.5, false},  // 1.27 a day: whole days (5) would say 1.4
        {8, 7.5, true},                      // past day 7 at 1.07 a day: whole days (7) would say 1.14 < 9/7
        {6, 7.5, false},                     // 0.8 a day
        {13, 14, true},                      // two weeks
        {1, 13.99, false}, {21, 0.1, true},  // 21 uses
        {20, 1, true},                       // 20 a day in the first week
        {5, -2, false},                      // the clock went back
    };
    for (const Case& c : cases) {
        defaults().setInteger("usecount", c.uses);
        defaults().setObject("starttime", foundation::Date{clock_->now() - c.days * kDay});
        defaults().setBool("rate", false);
        defaults().setBool("refusetate", false);
        EXPECT_EQ(Constants::isRatePromptDue(), c.due) << c.uses << " uses in " << c.days << " days";
        auto alert = Constants::personalUseCheckAndRate(6876, nullptr);
        EXPECT_EQ(alert != nullptr, c.due);
        if (alert) alert->dismissWithClickedButtonIndex(2, false);
    }
}

TEST_F(Rating, NeverOnceRatedOrRefused) {
    for (const char* flag : {"rate", "refusetate"}) {
        defaults().removePersistentDomain();
        defaults().setInteger("usecount", 100);
        defaults().setObject("starttime", foundation::Date{clock_->now() - 30 * kDay});
        defaults().setBool(flag, true);
        EXPECT_FALSE(Constants::isRatePromptDue()) << flag;
        EXPECT_EQ(Constants::personalUseCheckAndRate(6876, nullptr), nullptr) << flag;
    }
}

TEST_F(Rating, CountsUpToThePromptUnderTheClock) {
    Constants::initPersonalUseCheckAndRateVar();
    // One launch a day: at 1 a day the first week never asks; day 8 does.
    for (int day = 1; day <= 7; ++day) {
        clock_->advance(kDay);
        Constants::initPersonalUseCheckAndRateVar();
        EXPECT_FALSE(Constants::isRatePromptDue()) << "day " << day;
    }
    clock_->advance(0.5 * kDay);
    Constants::initPersonalUseCheckAndRateVar();  // 9 uses in 7.5 days
    EXPECT_TRUE(Constants::isRatePromptDue());
}

TEST_F(Rating, ThePromptAndItsAnswers) {
    ui::AlertViewDelegate delegate;
    Constants::resetAllRateUserDefault();
    defaults().setInteger("usecount", 21);
    auto alert = Constants::personalUseCheckAndRate(6876, &delegate);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "提示");
    EXPECT_EQ(alert->message(), "诚邀您对禾盾进行评价\n如果您喜欢本软件，请给个好评\n您的支持永远是我们最大的动力");
    EXPECT_EQ(alert->tag(), 6876);
    EXPECT_EQ(alert->delegate(), &delegate);
    ASSERT_EQ(alert->numberOfButtons(), 3);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "不再提醒");
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "现在评分");
    EXPECT_EQ(alert->buttonTitleAtIndex(2), "稍后再说");
    alert->dismissWithClickedButtonIndex(0, false);

    Constants::handleRateAlertView(0);
    EXPECT_TRUE(defaults().boolForKey("refusetate"));
    EXPECT_EQ(storedHitsWith("rateNever"), 1);
    EXPECT_FALSE(Constants::isRatePromptDue());

    clock_->advance(kDay);
    Constants::handleRateAlertView(2);  // later: counting starts again
    EXPECT_FALSE(defaults().boolForKey("refusetate"));
    EXPECT_EQ(defaults().integerForKey("usecount"), 1);
    EXPECT_EQ(defaults().dateForKey("starttime")->seconds, clock_->now());
    EXPECT_EQ(storedHitsWith("rateDelay"), 1);

    Constants::handleRateAlertView(1);
    EXPECT_TRUE(defaults().boolForKey("rate"));
    ASSERT_EQ(ui::Application::shared().openedURLs().size(), 1u);
    const std::string url = ui::Application::shared().openedURLs()[0];
    EXPECT_EQ(url, Constants::rateAppURL());
    EXPECT_EQ(url.rfind("itms-apps://", 0), 0u);
    EXPECT_NE(url.find("/WebObjects/MZStore.woa/wa/viewContentsUserReviews?type=Purple+Software&id="),
              std::string::npos);
    EXPECT_EQ(storedHitsWith("rateRate"), 1);
    EXPECT_EQ(storedHitsWith("RateAppAlert"), 3);
}

TEST(RatingUntracked, RefusedEventIsOnlyLogged) {
    TrkTracker::sharedTracker().stopTracker();
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    Constants::handleRateAlertView(0);
    foundation::setLogSink(old);
    EXPECT_TRUE(foundation::UserDefaults::standard().boolForKey("refusetate"));
    EXPECT_EQ(lines, std::vector<std::string>{"error in trackEvent"});
}
