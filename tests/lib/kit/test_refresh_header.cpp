// The pull-to-refresh header on a real table moved by the window's touches:
// states and texts across the pull distance, the release that triggers (once),
// the insets while loading, the finish, and the last-updated text.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>

#include "lib/kit/PrRefreshTableHeaderView.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/shell/Driver.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Text.h"

namespace {

class Recorder : public PrRefreshTableHeaderDelegate {
public:
    void prRefreshTableHeaderDidTriggerRefresh(PrRefreshTableHeaderView*) override {
        ++triggers;
        loading = true;
    }
    bool prRefreshTableHeaderDataSourceIsLoading(PrRefreshTableHeaderView*) override { return loading; }
    std::optional<double> prRefreshTableHeaderDataSourceLastUpdated(PrRefreshTableHeaderView*) override {
        return lastUpdated;
    }
    int triggers = 0;
    bool loading = false;
    std::optional<double> lastUpdated;
};

// The screen's part: the table's scroll events go to the header.
class Forwarder : public ui::TableViewDelegate {
public:
    void scrollViewDidScroll(ui::ScrollView* sv) override { header->prRefreshScrollViewDidScroll(sv); }
    void scrollViewDidEndDragging(ui::ScrollView* sv, bool) override { header->prRefreshScrollViewDidEndDragging(sv); }
    PrRefreshTableHeaderView* header = nullptr;
};

class RefreshHeaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setTextMeasurer(std::make_shared<ui::FixedWidthTextMeasurer>());
        foundation::TimeZone::setLocal(foundation::TimeZone::fixed(8 * 3600));
        driver = std::make_unique<shell::Driver>();
        table = std::make_shared<ui::TableView>(ui::Rect{0, 0, 320, 480});
        table->setAlwaysBounceVertical(true);
        driver->window().addSubview(table);
        header = std::make_shared<PrRefreshTableHeaderView>(ui::Rect{0, -480, 320, 480});
        header->setDelegate(&recorder);
        table->addSubview(header);
        forwarder.header = header.get();
        table->setTableDelegate(&forwarder);
        driver->settle();
    }
    void TearDown() override {
        table->setTableDelegate(nullptr);
        table->removeFromSuperview();
        driver.reset();
    }

    // A finger on the table, moved down so that the content is pulled to
    // `pull` points (past the top the content follows at half the distance).
    void touchDown() {
        fingerY = startFinger = 100;
        driver->window().sendTouch(ui::TouchPhase::Began, {160, fingerY}, now());
        driver->settle();
    }
    // From a drag that began at the top with no inset: the finger travels
    // twice the pull.
    void pullTo(double pull) { moveFinger(startFinger + 2 * pull); }
    void moveFinger(double y) {
        fingerY = y;
        driver->advance(0.016);
        driver->window().sendTouch(ui::TouchPhase::Moved, {160, fingerY}, now());
        driver->settle();
    }
    void release() {
        driver->window().sendTouch(ui::TouchPhase::Ended, {160, fingerY}, now());
        driver->settle();
    }
    void pullAndRelease(double pull) {
        touchDown();
        pullTo(pull);
        release();
    }
    static double now() { return foundation::clock().monotonic(); }

    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<ui::TableView> table;
    std::shared_ptr<PrRefreshTableHeaderView> header;
    Recorder recorder;
    Forwarder forwarder;
    double fingerY = 0, startFinger = 0;
};

TEST_F(RefreshHeaderTest, LaysOutItsPartsAlongTheBottomEdge) {
    EXPECT_EQ(header->lastUpdatedLabel()->frame(), ui::Rect(0, 450, 320, 20));
    EXPECT_EQ(header->statusLabel()->frame(), ui::Rect(0, 432, 320, 20));
    EXPECT_EQ(header->arrowImage()->frame(), ui::Rect(25, 415, 30, 55));
    EXPECT_EQ(header->activityView()->frame(), ui::Rect(25, 442, 20, 20));
    EXPECT_EQ(header->statusLabel()->font(), ui::Font::boldSystemFont(13));
    EXPECT_EQ(header->lastUpdatedLabel()->font(), ui::Font::systemFont(12));
    EXPECT_EQ(header->state(), PrRefreshNormal);
    EXPECT_EQ(header->statusLabel()->text(), "下拉进行刷新...");
    ASSERT_TRUE(header->arrowImage()->contents()) << "the arrow picture is in the bundle";
}

TEST_F(RefreshHeaderTest, FollowsThePullAcrossTheThreshold) {
    constexpr double kPi = 3.14159265358979323846;
    struct Step {
        double pull;
        PrRefreshState state;
        const char* text;
    };
    // Exactly 65 points is not yet past the threshold.
    const Step steps[] = {
        {30, PrRefreshNormal, "下拉进行刷新..."},  {65, PrRefreshNormal, "下拉进行刷新..."},
        {66, PrRefreshPulling, "放松执行刷新..."}, {90, PrRefreshPulling, "放松执行刷新..."},
        {65, PrRefreshPulling, "放松执行刷新..."}, {64, PrRefreshNormal, "下拉进行刷新..."},
    };
    touchDown();
    for (const Step& s : steps) {
        pullTo(s.pull);
        ASSERT_DOUBLE_EQ(table->contentOffset().y, -s.pull);
        EXPECT_EQ(header->state(), s.state) << "pulled " << s.pull;
        EXPECT_EQ(header->statusLabel()->text(), s.text) << "pulled " << s.pull;
        // The arrow turns over while the release would refresh.
        double angle = s.state == PrRefreshPulling ? kPi : 0;
        EXPECT_NEAR(header->arrowImage()->transform().m11, std::cos(angle), 1e-9) << "pulled " << s.pull;
        EXPECT_FALSE(header->arrowImage()->isHidden());
    }
    release();
    EXPECT_EQ(recorder.triggers, 0);
}

TEST_F(RefreshHeaderTest, AReleaseAtTheThresholdTriggersOnceAndKeepsTheHeaderOpen) {
    pullAndRelease(65);
    EXPECT_EQ(recorder.triggers, 1);
    EXPECT_EQ(header->state(), PrRefreshLoading);
    EXPECT_EQ(header->statusLabel()->text(), "刷新中...");
    EXPECT_TRUE(header->activityView()->isAnimating());
    EXPECT_TRUE(header->arrowImage()->isHidden());
    EXPECT_EQ(table->contentInset().top, 60);
    driver->advance(1);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, -60) << "the content settles under the open header";

    // While loading, the inset follows the pull up to 60 points (the empty
    // table holds its content at the top, so every move is damped by half).
    touchDown();
    moveFinger(startFinger - 60);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, -30);
    EXPECT_EQ(table->contentInset().top, 30);
    moveFinger(startFinger + 100);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, -95);
    EXPECT_EQ(table->contentInset().top, 60);
    release();
    EXPECT_EQ(recorder.triggers, 1) << "a release while loading starts nothing";

    // Even when the delegate forgets that it loads, the header's own state holds.
    recorder.loading = false;
    pullAndRelease(100);
    EXPECT_EQ(recorder.triggers, 1);
    EXPECT_EQ(header->state(), PrRefreshLoading);
}

TEST_F(RefreshHeaderTest, AShortPullOrABusyDelegateTriggersNothing) {
    pullAndRelease(64);
    EXPECT_EQ(recorder.triggers, 0);
    EXPECT_EQ(header->state(), PrRefreshNormal);
    EXPECT_EQ(table->contentInset().top, 0);

    recorder.loading = true;
    touchDown();
    pullTo(120);
    EXPECT_EQ(header->state(), PrRefreshNormal) << "no pulling state while the data source loads";
    release();
    EXPECT_EQ(recorder.triggers, 0);
    EXPECT_EQ(table->contentInset().top, 0);
}

TEST_F(RefreshHeaderTest, FinishingClosesTheHeaderAndWritesTheLastUpdatedText) {
    struct Case {
        std::optional<double> lastUpdated;
        const char* text;
    };
    const Case cases[] = {
        {1700000000.0, "最后更新: 2023-11-15 06:13"},
        {std::nullopt, ""},
    };
    for (const Case& c : cases) {
        foundation::UserDefaults::standard().removeObjectForKey(PrRefreshTableHeaderView::kLastRefreshKey);
        recorder.loading = false;
        recorder.lastUpdated = c.lastUpdated;
        pullAndRelease(80);
        ASSERT_EQ(header->state(), PrRefreshLoading);
        driver->advance(1);

        recorder.loading = false;
        header->prRefreshScrollViewDataSourceDidFinishedLoading(table.get());
        EXPECT_EQ(header->state(), PrRefreshNormal);
        EXPECT_EQ(header->statusLabel()->text(), "下拉进行刷新...");
        EXPECT_FALSE(header->activityView()->isAnimating());
        EXPECT_EQ(table->contentInset().top, 0);
        driver->advance(0.5);
        EXPECT_DOUBLE_EQ(table->contentOffset().y, 0) << "the content slides back up";
        EXPECT_EQ(header->lastUpdatedLabel()->text(), c.text);
        auto stored = foundation::UserDefaults::standard().stringForKey(PrRefreshTableHeaderView::kLastRefreshKey);
        if (c.lastUpdated) {
            ASSERT_TRUE(stored);
            EXPECT_EQ(*stored, c.text);
        } else {
            EXPECT_FALSE(stored) << "nothing is stored without a date";
        }
    }
}

TEST_F(RefreshHeaderTest, TheArrowIsDrawnUntilLoadingHidesIt) {
    auto arrowPixel = [&]() {
        auto shot = driver->snapshot();
        // The stem of the arrow: 15 points into the arrow, 20 points down it;
        // the arrow's top sits 65 points above the content's top.
        double y = -table->contentOffset().y - 65 + 20;
        return shot->pixel(int(25 + 15), int(y));
    };
    table->setBackgroundColor(ui::Color::blackColor());
    touchDown();
    pullTo(90);
    ui::Rgba shown = arrowPixel();
    EXPECT_GT(shown.a, 200);
    EXPECT_GT(shown.r, 200);
    release();
    ASSERT_EQ(header->state(), PrRefreshLoading);
    driver->advance(1);
    ui::Rgba hidden = arrowPixel();
    EXPECT_LT(hidden.r, 100) << "the arrow is hidden while loading";
}

}  // namespace
