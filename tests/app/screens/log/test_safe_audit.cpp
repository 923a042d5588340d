// The security log against the test server: the three tabs of a pull, the
// read mark off the main thread, the empty text, deleting (accepted, refused,
// and racing a refresh), the high-risk offer and the badge.
#include <gtest/gtest.h>

#include "app/core/SharedScreenState.h"
#include "app/screens/log/KAVOSafeAuditViewController.h"
#include "app/screens/log/LogScreens.h"
#include "lib/json/JsonParser.h"
#include "lib/json/JsonWriter.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

using foundation::Dictionary;
using foundation::Value;

Value event(Value id, int type, int category, const char* location) {
    return Value(Dictionary{{"id", std::move(id)},
                            {"type", type},
                            {"category", category},
                            {"time", 1355000000000LL},
                            {"location", location}});
}

const foundation::Array kEvents = {
    event(11, 0, 0, "杭州"), event(Value("a12"), 1, 1, "广州"), event(13, 0, 1, "杭州"),
    event(14, 1, 3, "北京"), event(15, 7, 9, "上海"),  // a kind the app does not know
};

class SafeAuditTest : public screentest::ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        map = std::make_unique<ui::ScreenMap>();
        registerLogScreens(*map);
        map->registerScreen("ChangePassWord", [] { return std::make_shared<ui::ViewController>(); });
    }
    void TearDown() override {
        screen.reset();
        root.reset();
        ScreenFixture::TearDown();
    }
    void setLog(const foundation::Array& events) {
        server().control("audit", *JsonWriter().stringWithObject(Value(Dictionary{{"events", events}})));
    }
    Value auditState() { return *JsonParser().objectWithString(server().control("audit")); }
    // Opens the log over a plain screen and waits for its first pull.
    void open() {
        root = show(std::make_shared<ui::ViewController>());
        screen = std::dynamic_pointer_cast<KAVOSafeAuditViewController>(
            map->instantiateViewControllerWithIdentifier(KAVOSafeAuditViewController::kIdentifier));
        ASSERT_TRUE(screen);
        navigation()->pushViewController(screen, false);
        driver().settle();
        finishOverlay(KAVOSafeAuditViewController::kTagPull);
    }
    void finishOverlay(int tag) {
        ASSERT_TRUE(waitFor([&] {
            auto h = screen->hud(tag);
            return !h || !h->taskInProgress();
        }));
        driver().advance(0.35);
    }
    std::vector<std::string> rowTexts() {
        std::vector<std::string> out;
        for (const auto& e : screen->currentAuditionLog()) out.push_back(lookOfEvent(*e).text);
        return out;
    }
    int countOf(int command) {
        int n = 0;
        for (int c : commands()) n += c == command;
        return n;
    }
    void deleteRow(int row) {
        screen->tableView()->showDeleteConfirmationForRowAtIndexPath(ui::IndexPath::forRow(row, 0));
        ui::TableViewCell* cell = screen->tableView()->cellForRowAtIndexPath(ui::IndexPath::forRow(row, 0));
        ASSERT_TRUE(cell && cell->deleteConfirmationButton());
        EXPECT_EQ(cell->deleteConfirmationButton()->currentTitle(), "删除");
        driver().tap(cell->deleteConfirmationButton());
    }

    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<KAVOSafeAuditViewController> screen;
};

TEST_F(SafeAuditTest, APullFillsTheTabsAndMarksTheAbnormalEventsReadOffTheMainThread) {
    setLog(kEvents);
    SharedScreenState::safeAuditionBadgeCount() = 5;
    ui::Application::shared().setApplicationIconBadgeNumber(3);
    // The read mark's handshake is slow: the pull's reply must not wait for it.
    script({{"command", 0}, {"delay", 1.5}});
    open();
    EXPECT_EQ(SharedScreenState::safeAuditionBadgeCount().load(), 0);
    EXPECT_EQ(ui::Application::shared().applicationIconBadgeNumber(), 0);
    EXPECT_EQ(rowTexts(),
              (std::vector<std::string>{"网页登录", "高危登录", "讯禾登录", "异地购买虚拟物品", "其他记录"}));
    EXPECT_EQ(countOf(18), 0);
    EXPECT_EQ(screen->tableView()->numberOfRowsInSection(0), 5);

    screen->horizMenu()->setSelectedIndex(1, false);
    EXPECT_EQ(rowTexts(), (std::vector<std::string>{"网页登录", "讯禾登录"}));
    screen->horizMenu()->setSelectedIndex(2, false);
    EXPECT_EQ(rowTexts(), (std::vector<std::string>{"高危登录", "异地购买虚拟物品"}));
    auto* cell =
        dynamic_cast<KAVOAuditionCell*>(screen->tableView()->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->recordPlace()->text(), "地点：广州");
    EXPECT_EQ(cell->recordTime()->text().rfind("时间：2012-12-", 0), 0u);
    EXPECT_FALSE(cell->arrowImage()->isHidden());

    // One read mark, with the abnormal ids in reply order, as sent.
    ASSERT_TRUE(waitFor([&] { return auditState().get("read")->asArray()->size() == 1; }));
    EXPECT_EQ(*JsonWriter().stringWithObject(*auditState().get("read")), "[[\"a12\",14]]");
    EXPECT_EQ(countOf(18), 1);
    EXPECT_EQ(countOf(13), 1);
}

TEST_F(SafeAuditTest, AnEmptyLogShowsItsTextUntilATabHasRecords) {
    setLog({event(1, 0, 0, "杭州")});
    open();
    screen->horizMenu()->setSelectedIndex(2, false);
    ui::Label* empty = screen->emptyLabel();
    ASSERT_TRUE(empty->superview());
    EXPECT_EQ(empty->text(), "暂无记录");
    EXPECT_EQ(empty->center().y, screen->tableView()->center().y - 50);
    screen->horizMenu()->setSelectedIndex(0, false);
    EXPECT_EQ(empty->superview(), nullptr);
    EXPECT_EQ(countOf(18), 0);  // nothing abnormal, nothing to mark
}

TEST_F(SafeAuditTest, OnlyAbnormalRowsAreDeletedAndAFailureKeepsThem) {
    setLog(kEvents);
    open();
    EXPECT_FALSE(screen->canEditRowAtIndexPath(screen->tableView(), ui::IndexPath::forRow(0, 0)));
    EXPECT_TRUE(screen->canEditRowAtIndexPath(screen->tableView(), ui::IndexPath::forRow(3, 0)));
    deleteRow(3);
    ASSERT_TRUE(waitFor([&] { return !screen->pendingDelete(); }));
    finishOverlay(KAVOSafeAuditViewController::kTagDelete);
    // Gone from every list that held it.
    EXPECT_EQ(rowTexts(), (std::vector<std::string>{"网页登录", "高危登录", "讯禾登录", "其他记录"}));
    screen->horizMenu()->setSelectedIndex(2, false);
    EXPECT_EQ(rowTexts(), std::vector<std::string>{"高危登录"});
    EXPECT_EQ(*JsonWriter().stringWithObject(*auditState().get("deleted")), "[14]");

    script({{"command", 18}, {"reply", Dictionary{{"isSuccess", false}}}});
    deleteRow(0);
    ASSERT_TRUE(waitFor([&] { return !noticeTexts().empty(); }));
    finishOverlay(KAVOSafeAuditViewController::kTagDelete);
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"记录删除失败"});
    EXPECT_EQ(rowTexts(), std::vector<std::string>{"高危登录"});
    EXPECT_FALSE(screen->pendingDelete());
}

TEST_F(SafeAuditTest, ARefreshBeforeTheDeleteReplyNeverDeletesAnotherRecord) {
    setLog(kEvents);
    open();
    ASSERT_TRUE(waitFor([&] { return countOf(18) == 1; }));
    // The deletion of row 3 (id 14) is answered only once a refresh has
    // landed with new records in front (the server holds its answer).
    script({{"command", 18}, {"reply", Dictionary{{"isSuccess", true}}}, {"hold", "delete"}});
    deleteRow(3);
    foundation::Array newer = {event(20, 1, 2, "成都"), event(21, 0, 0, "成都")};
    for (const Value& v : kEvents) newer.push_back(v);
    setLog(newer);
    screen->prRefreshTableHeaderDidTriggerRefresh(screen->pullRefreshView());
    EXPECT_TRUE(screen->isRefreshing());
    ASSERT_TRUE(waitFor([&] { return screen->currentAuditionLog().size() == 7; }));
    EXPECT_FALSE(screen->isRefreshing());
    EXPECT_TRUE(screen->pendingDelete());
    server().control("release", "{\"gate\": \"delete\"}");
    ASSERT_TRUE(waitFor([&] { return !screen->pendingDelete(); }));
    finishOverlay(KAVOSafeAuditViewController::kTagDelete);
    // Only the record with id 14 went; row 3 of the new list (id 13) stays.
    std::vector<std::string> ids;
    for (const auto& e : screen->currentAuditionLog())
        ids.push_back(e->id.asString() ? *e->id.asString() : std::to_string(e->id.longLongValue()));
    EXPECT_EQ(ids, (std::vector<std::string>{"20", "21", "11", "a12", "13", "15"}));
}

TEST_F(SafeAuditTest, AHighRiskLoginOffersThePasswordChange) {
    setLog(kEvents);
    open();
    screen->didSelectRowAtIndexPath(screen->tableView(), ui::IndexPath::forRow(3, 0));  // another abnormal row
    EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
    screen->didSelectRowAtIndexPath(screen->tableView(), ui::IndexPath::forRow(1, 0));
    ui::AlertView* alert = ui::AlertView::frontmost();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->tag(), KAVOSafeAuditViewController::kAlertHighRisk);
    EXPECT_EQ(alert->message(), "您的账号极可能已经被盗，强烈建议您立即修改密码，是否修改？");
    alert->clickButtonAtIndex(0);
    driver().advance(1);
    ASSERT_EQ(navigation()->viewControllers().size(), 3u);
    EXPECT_NE(navigation()->topViewController(), screen.get());
}

TEST_F(SafeAuditTest, AFailedPullOnArrivalWarnsAndLeaves) {
    for (int i = 0; i < 2; ++i) script({{"command", 13}, {"fault", "drop"}});
    root = show(std::make_shared<ui::ViewController>());
    screen = std::dynamic_pointer_cast<KAVOSafeAuditViewController>(
        map->instantiateViewControllerWithIdentifier(KAVOSafeAuditViewController::kIdentifier));
    navigation()->pushViewController(screen, false);
    driver().settle();
    ASSERT_TRUE(waitFor([] { return ui::AlertView::frontmost() != nullptr; }));
    finishOverlay(KAVOSafeAuditViewController::kTagPull);
    EXPECT_EQ(ui::AlertView::frontmost()->title(), "警告");
    ui::AlertView::frontmost()->clickButtonAtIndex(0);
    driver().advance(1);
    EXPECT_EQ(navigation()->topViewController(), root.get());
}

}  // namespace
