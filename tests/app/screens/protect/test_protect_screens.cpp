// The protect area's screens on the screen fixture: the seeded bound account,
// the test security server, the manual clock and the headless window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#include "app/core/StoreKeys.h"
#include "app/screens/protect/AccountProtectViewController.h"
#include "app/screens/protect/ChangePasswordViewController.h"
#include "app/screens/protect/KAVOACLockViewController.h"
#include "app/screens/protect/LockMask.h"
#include "app/screens/protect/PersonCenterViewController.h"
#include "app/screens/protect/ProtectScreens.h"
#include "lib/json/JsonParser.h"
#include "lib/kit/DnNotificationManager.h"
#include "lib/kit/MsTableAlert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Render.h"
#include "platform/ui/Text.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

class ProtectScreenTest : public screentest::ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        // The device keeps the server's own hours unless a case says otherwise.
        foundation::TimeZone::setLocal(foundation::TimeZone::fixed(8 * 3600));
        map = std::make_unique<ui::ScreenMap>();
        registerProtectScreens(*map);
    }
    void TearDown() override {
        protect.reset();
        ScreenFixture::TearDown();
    }

    foundation::Value serverProtect(const std::string& body = "{}") {
        auto reply = server().control("protect", body);
        auto value = JsonParser().objectWithString(reply);
        EXPECT_TRUE(value && value->isDictionary()) << reply;
        return value.value_or(foundation::Value(foundation::Dictionary()));
    }

    // Waits until the screen's command has been answered, then plays the overlay's fade.
    void finish(KAVOCommandViewController& screen, int tag) {
        ASSERT_TRUE(waitFor([&] {
            auto h = screen.hud(tag);
            return !screen.isWaitingForResponse(tag) && (!h || !h->taskInProgress());
        }));
        driver().advance(0.5);
    }

    void showProtections(const std::string& serverState = "{}") {
        serverProtect(serverState);
        protect = std::dynamic_pointer_cast<AccountProtectViewController>(show(*map, kAccountProtectScreen));
        ASSERT_TRUE(protect);
        finish(*protect, AccountProtectViewController::kTagStatus);
    }

    KAVOAccountProtectOpertationCell* cell(int row) {
        // In the middle, clear of the notices that drop in at the top.
        protect->tableView()->scrollToRowAtIndexPath(ui::IndexPath::forRow(row, 0), ui::TableViewScrollPosition::Middle,
                                                     false);
        driver().settle();
        return dynamic_cast<KAVOAccountProtectOpertationCell*>(
            protect->tableView()->cellForRowAtIndexPath(ui::IndexPath::forRow(row, 0)));
    }
    unsigned switchOf(int row) { return cell(row)->segmentControl()->selectedIndex(); }

    // Taps the on (0) or off (1) half of the row's switch in the window.
    void flip(int row, int index) {
        KAVOAccountProtectOpertationCell* c = cell(row);
        ASSERT_TRUE(c);
        SwSegmentedControl* sw = c->segmentControl();
        const ui::Rect b = sw->bounds();
        const ui::Point p = sw->convertPointToView({b.width() * (index == 0 ? 0.25 : 0.75), b.height() / 2}, nullptr);
        driver().tap(p);
    }

    std::vector<foundation::Value> logOf(int command) {
        std::vector<foundation::Value> out;
        for (const foundation::Value& entry : serverLog())
            if (entry.get("command") && entry.get("command")->intValue() == command) out.push_back(entry);
        return out;
    }

    static bool holdsText(const ui::View* view, const std::string& text) {
        if (view->displayedText() == text) return true;
        for (const auto& sub : view->subviews())
            if (holdsText(sub.get(), text)) return true;
        return false;
    }
    bool noticeShows(const std::string& text) {
        for (const auto& v : DnNotificationManager::sharedManager().notificationQueueForAlert())
            if (holdsText(v.get(), text)) return true;
        return false;
    }

    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<AccountProtectViewController> protect;
};

// ---------------------------------------------------------------- protections

TEST_F(ProtectScreenTest, StatusesAreReadOnceAndLoginProtectionNeedsBothParts) {
    showProtections(R"({"protects": ["10", "80", "19"]})");
    EXPECT_EQ(commands(), std::vector<int>{11});
    EXPECT_EQ(*logOf(11).at(0).get("fields")->at(0)->asString(), account().uuid);
    EXPECT_EQ(switchOf(kLoginRow), 0u);
    EXPECT_EQ(switchOf(5), 0u);  // receipt confirmation, "19"
    EXPECT_EQ(switchOf(7), 1u);  // goods management, off
    EXPECT_EQ(switchOf(kLockRow), 1u);
    EXPECT_EQ(cell(kLoginRow)->subTitleLabel()->text(), "登录禾川网或讯禾时需要进行校验");

    // Coming back from the password change reads nothing again.
    navigation()->pushViewController(map->instantiateViewControllerWithIdentifier(kChangePasswordScreen), false);
    navigation()->popViewControllerAnimated(false);
    driver().settle();
    EXPECT_EQ(commands(), std::vector<int>{11});
}

// A list that cannot be read is a failed look-up: the hour lock the phone
// keeps is not cleared and nobody is told that no protection is on.
TEST_F(ProtectScreenTest, AnUnreadableListIsAnErrorNotAnEmptyOne) {
    defaults().setInteger(StoreKeys::accountlock, 0xFF);
    script({{"command", 11}, {"reply", "protects: 10, 80"}});
    showProtections(R"({"protects": ["10", "80"]})");
    ui::AlertView* alert = ui::AlertView::frontmost();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "警告");
    EXPECT_EQ(alert->message(), kNetworkUnstableMessage);
    EXPECT_EQ(alert->tag(), AccountProtectViewController::kLeaveAlertTag);
    EXPECT_FALSE(noticeShows("您没有开通任何操作保护"));
    EXPECT_EQ(defaults().integerForKey(StoreKeys::accountlock), 0xFF);
}

TEST_F(ProtectScreenTest, OnlyOnePartOfLoginProtectionShowsItsHint) {
    showProtections(R"({"protects": ["80"]})");
    EXPECT_EQ(switchOf(kLoginRow), 1u);
    EXPECT_EQ(cell(kLoginRow)->subTitleLabel()->text(), "您只开启了讯禾登录保护，请统一开启登录保护");
}

TEST_F(ProtectScreenTest, SwitchingLoginProtectionOnAsksForStrongVerification) {
    for (const auto& [button, flag] : {std::pair{"是", "1"}, std::pair{"否", "0"}}) {
        SCOPED_TRACE(button);
        if (protect) {
            protect.reset();
            navigation()->setViewControllers({}, false);
        }
        showProtections(R"({"protects": ["19"]})");
        flip(kLoginRow, 0);
        ASSERT_TRUE(ui::AlertView::frontmost());
        EXPECT_EQ(ui::AlertView::frontmost()->tag(), AccountProtectViewController::kStrongVerificationAlertTag);
        EXPECT_TRUE(logOf(12).empty());  // nothing is sent before the answer
        ASSERT_TRUE(driver().tapText(button));
        finish(*protect, AccountProtectViewController::kTagChange);
        auto sent = logOf(12);
        ASSERT_EQ(sent.size(), 1u);
        const foundation::Array fields = *sent[0].get("fields")->asArray();
        ASSERT_EQ(fields.size(), 5u);
        EXPECT_EQ(*fields[2].asString(), "601");
        EXPECT_EQ(*fields[3].asString(), "1");
        EXPECT_EQ(*fields[4].asString(), flag);
        EXPECT_EQ(switchOf(kLoginRow), 0u);
        EXPECT_TRUE(protect->statuses().isOn("10") && protect->statuses().isOn("80"));
        EXPECT_EQ(serverProtect().get("strong")->description(), flag);
        server().control("reset", "{}");
        server().control("account", "{\"devices\": {\"" + account().uuid + "\": \"" + account().mac + "\"}}");
    }
}

TEST_F(ProtectScreenTest, SwitchingOffSendsFourFieldsAndARefusalPutsTheSwitchBack) {
    showProtections(R"({"protects": ["10", "80", "6"]})");
    flip(kLoginRow, 1);
    finish(*protect, AccountProtectViewController::kTagChange);
    const foundation::Array fields = *logOf(12).at(0).get("fields")->asArray();
    EXPECT_EQ(fields.size(), 4u);
    EXPECT_EQ(*fields[3].asString(), "0");
    EXPECT_EQ(switchOf(kLoginRow), 1u);
    EXPECT_FALSE(protect->statuses().isOn("80"));

    script(
        {{"command", 12}, {"reply", foundation::Dictionary{{"isSuccess", false}, {"tips", "今日修改次数已达上限"}}}});
    flip(7, 1);  // goods management, on
    finish(*protect, AccountProtectViewController::kTagChange);
    EXPECT_TRUE(noticeShows("今日修改次数已达上限"));
    EXPECT_EQ(switchOf(7), 0u);
    EXPECT_TRUE(protect->statuses().isOn("6"));

    // A reply naming a protection this table does not have changes nothing.
    script({{"command", 12}, {"reply", foundation::Dictionary{{"isSuccess", true}, {"protect", "77"}}}});
    flip(8, 0);
    finish(*protect, AccountProtectViewController::kTagChange);
    EXPECT_EQ(switchOf(8), 1u);
    EXPECT_EQ(protect->statuses().all().size(), 11u);

    // A dropped connection the server did not act on: the statuses read
    // again leave the switch where it was.
    script({{"command", 12}, {"fault", "drop"}});
    flip(9, 0);
    finish(*protect, AccountProtectViewController::kTagChange);
    ASSERT_TRUE(waitFor([&] { return noticeShows(AccountProtectViewController::kChangeUnknownText); }));
    EXPECT_EQ(switchOf(9), 1u);
}

// A change whose reply is lost, comes after its time-out or cannot be read
// may have been made on the server all the same: the statuses are read again
// and each switch shows what the server holds, with a notice that the
// outcome was not known (never that it failed).
TEST_F(ProtectScreenTest, AChangeWithoutAReadableReplyShowsWhatTheServerHolds) {
    struct Case {
        const char* fault;  // nullptr: a reply delayed past the time-out
        bool applied;       // the server made the change before the reply went wrong
        int row;
        const char* id;
    };
    const Case cases[] = {
        {"drop", true, 7, "6"},      {"empty", true, 8, "8"},      {nullptr, true, 9, "16"},
        {"http500", true, 10, "12"}, {"http500", false, 11, "18"},
    };
    showProtections(R"({"protects": []})");
    size_t reads = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault ? c.fault : "delay");
        DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
        foundation::Dictionary entry{{"command", 12}, {"apply", c.applied}};
        if (c.fault) entry.set("fault", c.fault);
        if (!c.fault) entry.set("delay", 1.0);
        script(entry);
        const size_t sent = logOf(12).size();
        flip(c.row, 0);
        if (!c.fault) {
            ASSERT_TRUE(waitFor([&] { return logOf(12).size() == sent + 1; }));
            driver().advance(10.0);
        }
        ASSERT_TRUE(waitFor([&] { return noticeShows(AccountProtectViewController::kChangeUnknownText); }));
        finish(*protect, AccountProtectViewController::kTagStatus);
        EXPECT_EQ(logOf(11).size(), ++reads);
        EXPECT_EQ(protect->statuses().isOn(c.id), c.applied);
        EXPECT_EQ(switchOf(c.row), c.applied ? 0u : 1u);
        EXPECT_EQ(logOf(12).size(), sent + 1);
    }
    // When the statuses cannot be read either, the screen says the outcome is
    // unknown and leaves.
    script({{"command", 12}, {"fault", "drop"}, {"apply", true}});
    script({{"command", 11}, {"fault", "http500"}});
    flip(12, 0);
    ASSERT_TRUE(waitFor([] { return ui::AlertView::frontmost() != nullptr; }));
    EXPECT_EQ(ui::AlertView::frontmost()->title(), "警告");
    EXPECT_EQ(ui::AlertView::frontmost()->message(), AccountProtectViewController::kChangeUnknownNoListText);
    EXPECT_EQ(ui::AlertView::frontmost()->tag(), AccountProtectViewController::kLeaveAlertTag);
}

TEST_F(ProtectScreenTest, AWholeDayLockOpensAndClosingRestoresLoginProtection) {
    server().control("clock", "{\"time\": 1700000000}");
    showProtections(R"({"protects": ["19"]})");
    EXPECT_EQ(protect->statuses().status("601"), "1");

    flip(kLockRow, 0);
    driver().advance(0.5);
    auto* editor = dynamic_cast<KAVOACLockViewController*>(navigation()->topViewController());
    ASSERT_TRUE(editor);
    EXPECT_TRUE(protect->lockEditorOpened());
    finish(*editor, KAVOACLockViewController::kTagLockTypes);
    ASSERT_TRUE(driver().tapText(" 全天锁定"));
    EXPECT_TRUE(editor->ring().wholeDayChosen());
    ASSERT_TRUE(driver().tapText("开启账号锁定"));
    ASSERT_TRUE(editor->lockTypeAlert());
    ASSERT_TRUE(driver().tapText("开启"));
    driver().advance(0.5);
    finish(*protect, AccountProtectViewController::kTagLock);

    const foundation::Value open = *logOf(10).back().get("json");
    EXPECT_EQ(*open.get("type")->asString(), "2");
    EXPECT_EQ(*open.get("duration")->asString(), "16777215");
    EXPECT_EQ(open.get("lock")->intValue(), 3);
    EXPECT_EQ(serverProtect().get("lock_mask")->intValue(), 0xFFFFFF);
    EXPECT_EQ(protect->statuses().status("600"), "0");
    EXPECT_EQ(protect->statuses().status("601"), "0");  // shown on while locked
    EXPECT_EQ(defaults().integerForKey(StoreKeys::accountlock), 0xFFFFFF);
    EXPECT_EQ(defaults().integerForKey(lockmask::kShouldOpenLockKey), 0);
    EXPECT_EQ(defaults().dateForKey(StoreKeys::alldayaclocktime)->seconds, 1700000000);
    EXPECT_EQ(defaults().stringForKey(lockmask::kLoginProtectionWhenLockKey), std::optional<std::string>("1"));
    EXPECT_EQ(cell(kLockRow)->subTitleLabel()->text(), "全天锁定将在2023-11-21 08:00自动解除");
    EXPECT_EQ(switchOf(kLockRow), 0u);
    EXPECT_EQ(switchOf(kLoginRow), 0u);

    flip(kLockRow, 1);
    finish(*protect, AccountProtectViewController::kTagLock);
    const foundation::Value close = *logOf(10).back().get("json");
    EXPECT_EQ(*close.get("type")->asString(), "1");
    EXPECT_EQ(close.get("lock")->intValue(), 0);
    EXPECT_EQ(serverProtect().get("lock_mask")->intValue(), 0);
    EXPECT_EQ(protect->statuses().status("600"), "1");
    EXPECT_EQ(protect->statuses().status("601"), "1");  // back to what it was
    EXPECT_EQ(defaults().integerForKey(StoreKeys::accountlock), 0);
    EXPECT_FALSE(defaults().dateForKey(StoreKeys::alldayaclocktime));
    EXPECT_FALSE(defaults().stringForKey(lockmask::kLoginProtectionWhenLockKey));
    EXPECT_EQ(switchOf(kLockRow), 1u);
}

TEST_F(ProtectScreenTest, HoursAreSentInTheServersZoneAndShownInWords) {
    foundation::TimeZone::setLocal(foundation::TimeZone::fixed(0));
    showProtections(R"({"protects": ["19"]})");
    // As the editor leaves them: hours 22 and 23 of the device, both types.
    defaults().setInteger(StoreKeys::accountlock, (1 << 22) | (1 << 23));
    defaults().setInteger(lockmask::kShouldOpenLockKey, 3);
    navigation()->pushViewController(std::make_shared<ui::ViewController>(), false);
    navigation()->popViewControllerAnimated(false);
    finish(*protect, AccountProtectViewController::kTagLock);
    // 22:00 and 23:00 GMT are 06:00 and 07:00 in GMT+8.
    EXPECT_EQ(serverProtect().get("lock_mask")->intValue(), (1 << 6) | (1 << 7));
    EXPECT_FALSE(defaults().dateForKey(StoreKeys::alldayaclocktime));  // not a whole-day lock
    ASSERT_TRUE(cell(kLockRow));
    EXPECT_EQ(cell(kLockRow)->subTitleLabel()->text(), "锁定时段:");
    ASSERT_TRUE(protect->locationLabel());
    EXPECT_EQ(protect->locationLabel()->text(), std::optional<std::string>("晚上10点至次日午夜00点"));
}

TEST_F(ProtectScreenTest, ARefusedOpeningForgetsTheHoursAndAnEditorLeftUnconfirmedOpensNothing) {
    showProtections(R"({"protects": ["19"]})");
    script({{"command", 10}, {"reply", foundation::Dictionary{{"isSuccess", false}}}});
    defaults().setInteger(StoreKeys::accountlock, 1 << 9);
    defaults().setInteger(lockmask::kShouldOpenLockKey, 1);
    navigation()->pushViewController(std::make_shared<ui::ViewController>(), false);
    navigation()->popViewControllerAnimated(false);
    finish(*protect, AccountProtectViewController::kTagLock);
    EXPECT_TRUE(noticeShows("操作失败，请重试"));
    EXPECT_EQ(defaults().integerForKey(StoreKeys::accountlock), 0);
    EXPECT_FALSE(protect->isOpenLockGoingOn());
    EXPECT_EQ(switchOf(kLockRow), 1u);

    flip(kLockRow, 0);
    driver().advance(0.5);
    auto* editor = dynamic_cast<KAVOACLockViewController*>(navigation()->topViewController());
    ASSERT_TRUE(editor);
    finish(*editor, KAVOACLockViewController::kTagLockTypes);
    defaults().setInteger(StoreKeys::accountlock, 1 << 3);  // as a half-done visit may leave it
    navigation()->popViewControllerAnimated(false);
    driver().settle();
    EXPECT_EQ(defaults().integerForKey(StoreKeys::accountlock), 0);
    EXPECT_FALSE(protect->lockEditorOpened());
    EXPECT_EQ(logOf(10).size(), 2u);  // the refused opening and the editor's list
    EXPECT_EQ(switchOf(kLockRow), 1u);
}

// ---------------------------------------------------------------- the editor

class LockEditorTest : public ProtectScreenTest {
protected:
    void showEditor(int64_t storedMask = 0) {
        defaults().setInteger(StoreKeys::accountlock, storedMask);
        editor = std::dynamic_pointer_cast<KAVOACLockViewController>(show(*map, kAccountLockScreen));
        ASSERT_TRUE(editor);
        finish(*editor, KAVOACLockViewController::kTagLockTypes);
    }
    ui::Point middle(int index) {
        const ui::Rect f = LockRing::frameOf(index);
        return editor->view()->convertPointToView({f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2},
                                                  nullptr);
    }
    void TearDown() override {
        editor.reset();
        ProtectScreenTest::TearDown();
    }
    std::shared_ptr<KAVOACLockViewController> editor;
};

TEST_F(LockEditorTest, AStoredWholeDayOpensWithEveryPlaceOn) {
    showEditor(lockmask::kWholeDay);
    EXPECT_TRUE(editor->checkBoxForWholeDay()->isSelected());
    for (int i = 0; i < LockRing::kCount; ++i) EXPECT_TRUE(editor->ring().isOn(i)) << i;
    EXPECT_EQ(editor->placeView(0)->image(), ui::Image::named("lock_icon_point"));
    EXPECT_EQ(editor->placeView(1)->image(), ui::Image::named("ho_lock_yes"));
    EXPECT_EQ(editor->placeView(7)->image(), ui::Image::named("ve_lock_yes"));
    ASSERT_TRUE(driver().tapText(" 全天锁定"));
    EXPECT_FALSE(editor->checkBoxForWholeDay()->isSelected());
    EXPECT_EQ(editor->placeView(0)->image(), ui::Image::named("big_round_btn_pushed"));
    EXPECT_EQ(editor->ring().mask(), 0);
}

TEST_F(LockEditorTest, DraggingPaintsHoursWithAClickEachAndStoresTheChosenTypes) {
    showEditor();
    ASSERT_EQ(editor->lockKinds(), builtInLockTypes());  // the server's list is the built-in pair
    driver().drag(middle(1), middle(5), 12);
    EXPECT_EQ(editor->ring().mask(), 0b111);
    EXPECT_EQ(editor->clicks(), 3);
    EXPECT_EQ(editor->placeView(6)->image(), ui::Image::named("lock_icon_point"));

    ASSERT_TRUE(driver().tapText("开启账号锁定"));
    ASSERT_TRUE(editor->lockTypeAlert());
    EXPECT_TRUE(driver().findByText("讯禾PC端登录锁定"));
    ASSERT_TRUE(driver().tapText("网页主站登录锁定"));  // unchecks type 1
    EXPECT_EQ(editor->lockChoices(), (std::vector<bool>{false, true}));
    ASSERT_TRUE(driver().tapText("开启"));
    EXPECT_EQ(defaults().integerForKey(StoreKeys::accountlock), 0b111);
    EXPECT_EQ(defaults().integerForKey(lockmask::kShouldOpenLockKey), 2);
}

TEST_F(LockEditorTest, TheLockTypeSheetShowsEachDescriptionWhole) {
    serverProtect(R"({"lock_types_list": [
        {"id": 1, "name": "网页主站登录锁定", "description": "禾川网、鹊岭、览途网等禁止登录"},
        {"id": 2, "name": "讯禾PC端登录锁定", "description": "讯禾买家版及卖家版PC端禁止登录"}]})");
    showEditor();
    driver().drag(middle(1), middle(3), 6);
    ASSERT_TRUE(driver().tapText("开启账号锁定"));
    ASSERT_TRUE(editor->lockTypeAlert());
    ui::TableView* table = editor->lockTypeAlert()->tableView();
    for (int row = 0; row < 2; ++row) {
        ui::TableViewCell* cell = table->cellForRowAtIndexPath(ui::IndexPath::forRow(row, 0));
        ASSERT_TRUE(cell) << row;
        const ui::Label* detail = cell->detailTextLabel();
        const ui::Rect b = detail->bounds();
        ASSERT_GT(b.width(), 0) << row;
        const ui::Font drawn = detail->fontForBounds(b);
        EXPECT_LE(ui::sizeWithFont(detail->text(), drawn).width, b.width()) << detail->text();
        EXPECT_GE(drawn.pointSize(), 9) << detail->text();
    }
}

TEST_F(LockEditorTest, NoHourGivesTheNoticeAndCancelKeepsTheEditor) {
    showEditor();
    ASSERT_TRUE(driver().tapText("开启账号锁定"));
    EXPECT_FALSE(editor->lockTypeAlert());
    EXPECT_TRUE(noticeShows("锁定时段至少为一小时，请重新设置"));

    driver().tap(middle(33));
    ASSERT_TRUE(driver().tapText("开启账号锁定"));
    ASSERT_TRUE(driver().tapText("取消"));
    EXPECT_EQ(navigation()->topViewController(), editor.get());
    EXPECT_EQ(defaults().integerForKey(StoreKeys::accountlock), 0);
    EXPECT_EQ(defaults().integerForKey(lockmask::kShouldOpenLockKey), 0);
}

TEST_F(LockEditorTest, ListsFromTheServerAndTheirFallbacks) {
    serverProtect(R"({"lock_types_list": [{"id": 4, "name": "手机端登录锁定", "description": "手机客户端禁止登录"}]})");
    showEditor();
    ASSERT_EQ(editor->lockKinds().size(), 1u);
    EXPECT_EQ(editor->lockKinds()[0].id, 4);
    EXPECT_EQ(editor->lockChoices(), std::vector<bool>{true});

    // A second appearance replaces the list: the choices stay paired with it.
    serverProtect(R"({"lock_types_list": {"not": "a list"}})");
    editor->viewDidAppear(false);
    finish(*editor, KAVOACLockViewController::kTagLockTypes);
    EXPECT_EQ(editor->lockKinds(), builtInLockTypes());
    EXPECT_EQ(editor->lockChoices(), (std::vector<bool>{true, true}));

    serverProtect(R"({"lock_types_list": [{"id": 4, "name": "手机端登录锁定"}]})");
    script({{"command", 10}, {"fault", "drop"}});  // sent once: a dropped command is not resent
    editor->viewDidAppear(false);
    finish(*editor, KAVOACLockViewController::kTagLockTypes);
    EXPECT_EQ(editor->lockKinds(), builtInLockTypes());

    script({{"command", 10}, {"fault", "garbled"}});
    editor->viewDidAppear(false);
    finish(*editor, KAVOACLockViewController::kTagLockTypes);
    ASSERT_TRUE(waitFor([] { return ui::AlertView::frontmost() != nullptr; }));
    EXPECT_EQ(ui::AlertView::frontmost()->title(), "警告");
    EXPECT_TRUE(editor->lockKinds().empty());
    EXPECT_TRUE(editor->lockChoices().empty());
}

// ---------------------------------------------------------------- password change

TEST_F(ProtectScreenTest, ThePasswordTravelsEscapedAndNeverReachesTheLog) {
    std::mutex linesMutex;
    std::vector<std::string> lines;
    foundation::setLogSink([&](const std::string& line) {
        std::lock_guard<std::mutex> lock(linesMutex);
        lines.push_back(line);
    });
    auto screen = std::dynamic_pointer_cast<ChangePasswordViewController>(show(*map, kChangePasswordScreen));
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->passwordTxt()->isFirstResponder());
    driver().type("ab;c,1Xy");
    ASSERT_TRUE(driver().tapText("确认修改"));
    finish(*screen, ChangePasswordViewController::kTagChangePassword);
    foundation::setLogSink(nullptr);
    const foundation::Array fields = *logOf(15).at(0).get("fields")->asArray();
    EXPECT_EQ(*fields[2].asString(), "%61%62%EF%BC%9B%63%EF%BC%8C1%58%79");
    EXPECT_EQ(serverProtect().get("password")->description(), "ab；c，1Xy");
    ASSERT_TRUE(ui::AlertView::frontmost());
    EXPECT_EQ(ui::AlertView::frontmost()->message(), "密码修改成功");
    for (const std::string& line : lines) EXPECT_EQ(line.find("ab;c,1Xy"), std::string::npos) << line;
}

// How far the button's title stands out from its picture: the contrast ratio
// of relative luminances between the picture's usual colour (the median) and
// the pixels farthest from it (the title's strokes).
double titleContrast(ui::Button& button) {
    auto image = ui::renderLayerToImage(button.layer(), 2);
    std::vector<double> lum;
    auto linear = [](int c) {
        const double v = c / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    // The middle of the button: clear of its rim.
    const int w = image->pixelWidth(), h = image->pixelHeight();
    for (int y = h / 4; y < h * 3 / 4; ++y)
        for (int x = w / 8; x < w * 7 / 8; ++x) {
            const ui::Rgba p = image->pixel(x, y);
            lum.push_back(0.2126 * linear(p.r) + 0.7152 * linear(p.g) + 0.0722 * linear(p.b));
        }
    if (lum.empty()) return 0;
    std::vector<double> sorted = lum;
    std::sort(sorted.begin(), sorted.end());
    const double ground = sorted[sorted.size() / 2];
    std::vector<double> away;
    for (double l : lum) away.push_back(std::abs(l - ground));
    std::sort(away.begin(), away.end());
    // The strokes: the farthest 3 per cent.
    double sum = 0;
    const size_t n = std::max<size_t>(1, away.size() * 3 / 100);
    double strokes = 0;
    for (size_t i = 0; i < lum.size(); ++i)
        if (std::abs(lum[i] - ground) >= away[away.size() - n]) {
            strokes += lum[i];
            sum += 1;
        }
    strokes /= sum;
    return (std::max(strokes, ground) + 0.05) / (std::min(strokes, ground) + 0.05);
}

TEST_F(ProtectScreenTest, TheShowAndHideButtonReadsInBothStates) {
    auto screen = std::dynamic_pointer_cast<ChangePasswordViewController>(show(*map, kChangePasswordScreen));
    ASSERT_TRUE(screen);
    for (const char* title : {"显示", "隐藏"}) {
        ASSERT_EQ(screen->displayPassword()->currentTitle(), title);
        // Large bold text wants at least 3:1.
        EXPECT_GE(titleContrast(*screen->displayPassword()), 3.0) << title;
        ASSERT_TRUE(driver().tapText(title));
    }
}

TEST_F(ProtectScreenTest, EmptyAndRefusedPasswords) {
    auto screen = std::dynamic_pointer_cast<ChangePasswordViewController>(show(*map, kChangePasswordScreen));
    ASSERT_TRUE(screen);
    ASSERT_TRUE(driver().tapText("确认修改"));
    EXPECT_TRUE(noticeShows("新密码不能为空"));
    EXPECT_TRUE(screen->passwordTxt()->isFirstResponder());
    EXPECT_TRUE(logOf(15).empty());

    DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
    driver().type("abc");
    ASSERT_TRUE(driver().tapText("确认修改"));
    finish(*screen, ChangePasswordViewController::kTagChangePassword);
    EXPECT_TRUE(noticeShows("密码须由6-16位字符(字母、数字、符号)组成"));
    EXPECT_EQ(ui::AlertView::frontmost(), nullptr);

    // Show and hide, then leaving empties the field.
    ASSERT_TRUE(driver().tapText("显示"));
    EXPECT_TRUE(screen->display());
    EXPECT_FALSE(screen->passwordTxt()->isSecureTextEntry());
    ASSERT_TRUE(driver().tapText("隐藏"));
    EXPECT_TRUE(screen->passwordTxt()->isSecureTextEntry());
    screen->viewWillDisappear(false);
    EXPECT_EQ(screen->passwordTxt()->text(), "");
}

// ---------------------------------------------------------------- person centre

TEST_F(ProtectScreenTest, PersonCentreShowsTheOverviewAndChecksInOnce) {
    serverProtect(R"({"protects": ["19", "10", "80"]})");
    auto screen = std::dynamic_pointer_cast<PersonCenterViewController>(show(*map, kPersonCenterScreen));
    ASSERT_TRUE(screen);
    finish(*screen, PersonCenterViewController::kTagOverview);
    EXPECT_EQ(*logOf(14).at(0).get("fields")->at(1)->asString(), "0");
    // The account holder the main screen shows too.
    EXPECT_EQ(screen->nameLabel()->text(), "小禾");
    EXPECT_EQ(screen->phoneLabel()->text(), "13812345678");
    EXPECT_EQ(screen->scoreLabel()->text(), "86");
    EXPECT_NEAR(screen->progressImg()->frame().width(), 86 * 1.3, 1e-9);
    EXPECT_EQ(screen->openProtectLabel()->text(), "2");
    EXPECT_EQ(screen->lastTimeLabel()->text(), "11-15 06:13:20");
    EXPECT_EQ(screen->locationLabel()->text(), std::optional<std::string>("杭州"));
    EXPECT_EQ(screen->pointsLabel()->text(), "20");
    EXPECT_EQ(screen->imageScrollView()->contentSize().width, 31 + 60 * 3);
    EXPECT_TRUE(driver().findByText("禾钥"));
    EXPECT_TRUE(screen->scoreBtn()->isEnabled());

    ASSERT_TRUE(driver().tapText("签到"));
    finish(*screen, PersonCenterViewController::kTagCheckIn);
    EXPECT_EQ(screen->pointsLabel()->text(), "25");
    EXPECT_FALSE(screen->scoreBtn()->isEnabled());
    EXPECT_TRUE(noticeShows("恭喜您，签到成功"));

    // The next appearance reads the overview again; its logos replace the old ones.
    screen->viewWillDisappear(false);
    screen->viewWillAppear(false);
    finish(*screen, PersonCenterViewController::kTagOverview);
    EXPECT_EQ(logOf(14).size(), 2u);
    EXPECT_EQ(driver().findAllByText("禾钥").size(), 1u);
    EXPECT_FALSE(screen->scoreBtn()->isEnabled());
}

TEST_F(ProtectScreenTest, AFailedCheckInEndsItsOverlayWithTheNetworkNotice) {
    auto screen = std::dynamic_pointer_cast<PersonCenterViewController>(show(*map, kPersonCenterScreen));
    ASSERT_TRUE(screen);
    finish(*screen, PersonCenterViewController::kTagOverview);
    for (int i = 0; i < 2; ++i) script({{"command", 27}, {"fault", "drop"}});
    ASSERT_TRUE(driver().tapText("签到"));
    finish(*screen, PersonCenterViewController::kTagCheckIn);
    EXPECT_TRUE(noticeShows(kNetworkUnstableMessage));
    EXPECT_EQ(screen->hud(), nullptr);
    EXPECT_TRUE(screen->navigationItem()->rightBarButtonItem()->isEnabled());
    EXPECT_TRUE(screen->scoreBtn()->isEnabled());
}

TEST_F(ProtectScreenTest, PersonCentreDimsDuringLockedHoursUntilTheHourTurns) {
    const int hour = lockmask::localHour(clock().now(), foundation::TimeZone::local());
    defaults().setInteger(StoreKeys::accountlock, int64_t(1) << hour);
    auto screen = std::dynamic_pointer_cast<PersonCenterViewController>(show(*map, kPersonCenterScreen));
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->dimLayer()->isHidden());
    EXPECT_TRUE(screen->isATimerOn());
    finish(*screen, PersonCenterViewController::kTagOverview);
    // The dim only dims: the check-in button under it takes a tap.
    ASSERT_FALSE(screen->scoreBtn()->isHidden());
    EXPECT_EQ(driver().tap(screen->scoreBtn()), screen->scoreBtn());
    finish(*screen, PersonCenterViewController::kTagCheckIn);
    driver().advance(secondsToNextLockCheck(clock().now()) + 1);
    EXPECT_TRUE(screen->dimLayer()->isHidden());
    EXPECT_FALSE(screen->isATimerOn());
    // Leaving and coming back schedules a new check.
    screen->viewWillDisappear(false);
    screen->viewWillAppear(false);
    EXPECT_TRUE(screen->isATimerOn());
    finish(*screen, PersonCenterViewController::kTagOverview);

    defaults().setInteger(StoreKeys::accountlock, 0);
    screen->selectorForCheckLockState();
    EXPECT_TRUE(screen->dimLayer()->isHidden());
}

TEST_F(ProtectScreenTest, PhotosComeOnlyOverHttp) {
    for (const char* url : {"http://127.0.0.1/p.png", "HTTPS://example.test/a.png"})
        EXPECT_TRUE(PersonCenterViewController::photoAddressAllowed(url)) << url;
    for (const char* url : {"", "file:///etc/passwd", "ftp://x/y.png", "http://", "javascript:alert(1)", "(null)"})
        EXPECT_FALSE(PersonCenterViewController::photoAddressAllowed(url)) << url;
}

}  // namespace
