// The table alert shown in the window: the table's height and the alert's
// growth for row counts below and above the limit, the layout after the
// status bar turns (never growing twice), both selection types, sections
// and headers, the forwarded alert events, and the shaded style's drawing.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lib/kit/MsTableAlert.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Application.h"
#include "platform/ui/Text.h"

namespace {

class Source : public MsTableAlertDataSource, public MsTableAlertDelegate {
public:
    std::shared_ptr<ui::TableViewCell> tableAlertCellForRowAtIndexPath(MsTableAlert*,
                                                                       const ui::IndexPath& ip) override {
        auto cell = std::make_shared<MsTableAlertCell>(ui::TableViewCellStyle::Subtitle, "row");
        cell->textLabel()->setText("行" + std::to_string(ip.section) + "-" + std::to_string(ip.row));
        return cell;
    }
    int tableAlertNumberOfRowsInSection(MsTableAlert*, int) override { return rows; }
    int numberOfSectionsInTableAlert(MsTableAlert*) override { return sections; }
    std::optional<std::string> tableAlertTitleForHeaderInSection(MsTableAlert*, int section) override {
        if (!titled) return std::nullopt;
        return "第" + std::to_string(section) + "组";
    }

    void tableAlertDidSelectRowAtIndexPath(MsTableAlert*, const ui::IndexPath& ip) override {
        events.push_back("select " + std::to_string(ip.row));
    }
    void tableAlertClickedButtonAtIndex(MsTableAlert*, int i) override {
        events.push_back("clicked " + std::to_string(i));
    }
    void willPresentTableAlert(MsTableAlert* a) override {
        events.push_back(std::string("willPresent ") + (a->presented() ? "presented" : "not presented"));
    }
    void didPresentTableAlert(MsTableAlert*) override { events.push_back("didPresent"); }
    void tableAlertWillDismissWithButtonIndex(MsTableAlert*, int i) override {
        events.push_back("willDismiss " + std::to_string(i));
    }
    void tableAlertDidDismissWithButtonIndex(MsTableAlert* a, int i) override {
        events.push_back("didDismiss " + std::to_string(i) + (a->presented() ? " presented" : ""));
    }

    int rows = 3;
    int sections = 1;
    bool titled = false;
    std::vector<std::string> events;
};

// Answers only the required questions.
class BareSource : public MsTableAlertDataSource {
public:
    std::shared_ptr<ui::TableViewCell> tableAlertCellForRowAtIndexPath(MsTableAlert*, const ui::IndexPath&) override {
        return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "bare");
    }
    int tableAlertNumberOfRowsInSection(MsTableAlert*, int) override { return 2; }
};

class TableAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setTextMeasurer(std::make_shared<ui::FixedWidthTextMeasurer>());
        driver = std::make_unique<shell::Driver>();
        driver->window().makeKeyAndVisible();
        // The alert as the lock editor makes it, before any table: its height
        // and the place of its buttons.
        auto plain = ui::AlertView::create("锁定类型", "", nullptr, "开启");
        plain->addButtonWithTitle("取消");
        plain->layoutAlert();
        baseHeight = plain->frame().height();
        baseButtonY = plain->buttonAtIndex(0)->frame().y();
    }
    void TearDown() override {
        for (auto* a : ui::AlertView::visibleAlerts()) a->dismissWithClickedButtonIndex(0, false);
        alert.reset();
        driver.reset();
    }
    std::shared_ptr<MsTableAlert> make(int type, int maximumRows = 4) {
        alert = MsTableAlert::alertWithTitle("锁定类型", "开启");
        alert->setType(type);
        alert->setMaximumVisibleRows(maximumRows);
        alert->view()->addButtonWithTitle("取消");
        alert->view()->setTag(6456);
        alert->setDataSource(&source);
        alert->setDelegate(&source);
        return alert;
    }
    void expectGrownBy(double h) {
        ui::AlertView* v = alert->view();
        EXPECT_DOUBLE_EQ(alert->grownBy(), h);
        EXPECT_DOUBLE_EQ(v->frame().height(), baseHeight + h);
        EXPECT_EQ(alert->tableView()->frame(), ui::Rect(12, v->frame().height() - h - 65, 284 - 24, h));
        const ui::Rect t = alert->tableView()->frame();
        EXPECT_EQ(alert->shadow()->frame(), ui::Rect(t.x(), t.y(), t.width(), 8));
        EXPECT_DOUBLE_EQ(v->buttonAtIndex(0)->frame().y(), baseButtonY + h) << "the buttons move down once";
        EXPECT_DOUBLE_EQ(v->buttonAtIndex(1)->frame().y(), baseButtonY + h);
        EXPECT_LE(t.maxY(), v->buttonAtIndex(0)->frame().y()) << "the table stays above the buttons";
    }

    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<MsTableAlert> alert;
    Source source;
    double baseHeight = 0, baseButtonY = 0;
};

TEST_F(TableAlertTest, TheTableTakesItsRowsUpToTheLimit) {
    struct Case {
        int rows;
        int limit;
        double height;
    };
    const Case cases[] = {
        {3, 4, 120},                // the content height
        {4, 4, 160},  {6, 4, 160},  // four rows' worth, the table scrolls
        {6, -1, 240}, {0, -2, 0},
    };
    for (const Case& c : cases) {
        source.rows = c.rows;
        make(MsTableAlertTypeMultipleSelect, c.limit);
        alert->show();
        driver->settle();
        ASSERT_TRUE(alert->view()->isVisible());
        SCOPED_TRACE(std::to_string(c.rows) + " rows, limit " + std::to_string(c.limit));
        expectGrownBy(c.height);
        alert->view()->clickButtonAtIndex(1);
        driver->settle();
    }
}

TEST_F(TableAlertTest, RowsTallerThanTheScreenAreCutToTheScreenAndFollowItsTurns) {
    source.rows = 20;  // 800 points
    make(MsTableAlertTypeMultipleSelect, -1);
    alert->show();
    driver->settle();
    const double portrait = 480 - baseHeight - 65;
    expectGrownBy(portrait);

    auto& app = ui::Application::shared();
    app.setStatusBarOrientation(3);
    EXPECT_DOUBLE_EQ(alert->grownBy(), portrait) << "laid out again on the next turn";
    driver->settle();
    const double landscape = std::max(320 - baseHeight - 65, 0.0);
    expectGrownBy(landscape);

    app.setStatusBarOrientation(1);
    driver->settle();
    expectGrownBy(portrait);
    // A turn that lands where it was lays out the same again.
    app.setStatusBarOrientation(2);
    driver->settle();
    expectGrownBy(portrait);
}

TEST_F(TableAlertTest, ARowChoiceClosesASingleSelectAlertOnly) {
    struct Case {
        int type;
        bool staysOpen;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {MsTableAlertTypeSingleSelect,
         false,
         {"willPresent presented", "didPresent", "willDismiss -1", "didDismiss -1", "select 1"}},
        {MsTableAlertTypeMultipleSelect, true, {"willPresent presented", "didPresent", "select 1"}},
    };
    for (const Case& c : cases) {
        source.events.clear();
        make(c.type);
        alert->show();
        driver->settle();
        ui::TableViewCell* cell = alert->tableView()->cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0));
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->textLabel()->text(), "行0-1");
        driver->tap(cell);
        EXPECT_EQ(alert->view()->isVisible(), c.staysOpen) << c.type;
        EXPECT_EQ(source.events, c.events) << c.type;
        EXPECT_EQ(alert->presented(), c.staysOpen);
        if (c.staysOpen) alert->view()->clickButtonAtIndex(0);
        driver->settle();
    }
}

TEST_F(TableAlertTest, AlertEventsArePassedOnAndAShowAgainLaysOutAfresh) {
    make(MsTableAlertTypeMultipleSelect);
    alert->show();
    driver->settle();
    EXPECT_TRUE(alert->presented());
    driver->tap(alert->view()->buttonAtIndex(1));
    EXPECT_EQ(source.events, (std::vector<std::string>{"willPresent presented", "didPresent", "clicked 1",
                                                       "willDismiss 1", "didDismiss 1"}));
    EXPECT_FALSE(alert->presented());

    // Shown again, the alert has the same size as the first time.
    alert->show();
    driver->settle();
    expectGrownBy(120);
}

TEST_F(TableAlertTest, ADelegateThatWentAwayIsNotCalled) {
    make(MsTableAlertTypeMultipleSelect);
    auto screen = std::make_unique<Source>();
    alert->setDelegate(screen.get());
    alert->show();
    driver->settle();
    ASSERT_EQ(screen->events, (std::vector<std::string>{"willPresent presented", "didPresent"}));
    screen.reset();  // the screen that asked is gone while its alert shows
    EXPECT_EQ(alert->delegate(), nullptr);
    driver->tap(alert->view()->buttonAtIndex(1));
    EXPECT_FALSE(alert->presented());
    EXPECT_TRUE(source.events.empty());  // the data source was not the delegate here
}

TEST_F(TableAlertTest, SectionsAndHeaderBarsComeFromTheDataSource) {
    source.rows = 2;
    source.sections = 2;
    source.titled = true;
    make(MsTableAlertTypeMultipleSelect, -1);
    alert->show();
    driver->settle();
    ui::TableView* table = alert->tableView();
    ASSERT_EQ(table->numberOfSections(), 2);
    auto* header = dynamic_cast<MsTableViewSectionHeaderView*>(table->headerViewForSection(1));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->title(), "第1组");
    EXPECT_EQ(table->rectForHeaderInSection(1).height(), 25);
    expectGrownBy(2 * 25 + 4 * 40);
    alert->view()->clickButtonAtIndex(0);
    driver->settle();

    BareSource bare;
    alert = MsTableAlert::alertWithTitle("锁定类型", "开启");
    alert->setDataSource(&bare);
    alert->show();
    driver->settle();
    EXPECT_EQ(alert->tableView()->numberOfSections(), 1);
    EXPECT_EQ(alert->tableView()->headerViewForSection(0), nullptr);
    EXPECT_EQ(alert->tableView()->rectForHeaderInSection(0).height(), 0);
    EXPECT_DOUBLE_EQ(alert->grownBy(), 80);
}

TEST_F(TableAlertTest, TheShadedStylePaintsAGradientAndTheTopShadow) {
    make(MsTableAlertTypeMultipleSelect);
    EXPECT_TRUE(alert->shadow()->isHidden());
    alert->setStyle(MsTableAlertStyleShaded);
    EXPECT_FALSE(alert->shadow()->isHidden());
    EXPECT_EQ(alert->tableView()->alertStyle(), 1);
    EXPECT_EQ(alert->tableView()->separatorStyle(), ui::TableViewCellSeparatorStyle::None);
    alert->show();
    driver->settle();
    auto shot = driver->snapshot();
    const ui::Rect t = alert->tableView()->convertRectToView(alert->tableView()->bounds(), nullptr);
    // Between the rules of the first and last rows, at the left edge.
    ui::Rgba top = shot->pixel(int(t.x() + 4), int(t.y() + 20));
    ui::Rgba bottom = shot->pixel(int(t.x() + 4), int(t.maxY() - 20));
    EXPECT_GT(top.r, bottom.r + 15) << "light at the top, darker below";
    EXPECT_NEAR(bottom.r, 0.749 * 255 + (0.922 - 0.749) * 255 * 20 / 120, 12);
    // The shadow strip darkens the table's first points.
    ui::Rgba underShadow = shot->pixel(int(t.x() + 4), int(t.y() + 2));
    EXPECT_LT(underShadow.r, top.r);

    alert->setStyle(MsTableAlertStylePlain);
    EXPECT_TRUE(alert->shadow()->isHidden());
    EXPECT_EQ(alert->tableView()->separatorStyle(), ui::TableViewCellSeparatorStyle::SingleLine);
}

}  // namespace
