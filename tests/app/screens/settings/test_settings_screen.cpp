// The settings screen against the test server: the push switch with
// notifications off, accepted and refused; the one-key switch; the rows that
// lead on; de-registration from the payment warning to the exit.
#include <gtest/gtest.h>

#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/settings/KAVOSettingViewController.h"
#include "app/screens/settings/SettingsScreens.h"
#include "lib/kit/DnNotificationManager.h"
#include "lib/kit/KAVOCustomCells.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

class SettingsScreenTest : public screentest::ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        map = std::make_unique<ui::ScreenMap>();
        registerSettingsScreens(*map);
        // The other areas' screens the rows lead to.
        for (const char* id : {"DeleteSoftPwdViewController", "RemoteDeleteViewController",
                               "SoftPasswordViewController", "KAVOSafeClassViewController"})
            map->registerScreen(id, [] { return std::make_shared<ui::ViewController>(); });
    }
    void TearDown() override {
        screen.reset();
        ScreenFixture::TearDown();
    }
    void open() {
        screen =
            std::dynamic_pointer_cast<KAVOSettingViewController>(show(*map, KAVOSettingViewController::kIdentifier));
        ASSERT_TRUE(screen);
    }
    KAVOAccountProtectOpertationCell* row(int r) {
        screen->tableView()->scrollToRowAtIndexPath(ui::IndexPath::forRow(r, 0), ui::TableViewScrollPosition::Top,
                                                    false);
        return dynamic_cast<KAVOAccountProtectOpertationCell*>(
            screen->tableView()->cellForRowAtIndexPath(ui::IndexPath::forRow(r, 0)));
    }
    // What the user's move of a row's switch does (index 0 on, 1 off).
    void moveSwitch(int r, unsigned index) {
        auto* cell = row(r);
        ASSERT_TRUE(cell);
        cell->segmentControl()->changeHandler(index);
    }
    void finishOverlay(int tag) {
        ASSERT_TRUE(waitFor([&] {
            auto h = screen->hud(tag);
            return !h || !h->taskInProgress();
        }));
        driver().advance(0.35);
    }
    ui::AlertView* waitForAlert() {
        waitFor([] { return ui::AlertView::frontmost() != nullptr; });
        return ui::AlertView::frontmost();
    }
    void allowNotifications() {
        ui::Application::shared().registerForRemoteNotificationTypes(ui::kRemoteNotificationTypeBadge |
                                                                     ui::kRemoteNotificationTypeAlert);
    }

    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<KAVOSettingViewController> screen;
};

TEST_F(SettingsScreenTest, RowsShowTheStoredStates) {
    ASSERT_TRUE(Constants::upDateDBSetValue("0", StoreKeys::keyLogin));
    ASSERT_TRUE(Constants::upDateDBSetValue("138****0000", StoreKeys::safePhone));
    ASSERT_TRUE(Constants::upDateDBSetValue("9.9", StoreKeys::remote_version));
    open();
    EXPECT_EQ(screen->tableView()->numberOfRowsInSection(0), 11);
    EXPECT_EQ(screen->settingItemStatus(), (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(row(0)->titleLabel()->text(), "异常消息推送");
    EXPECT_EQ(row(0)->segmentControl()->selectedIndex(), 0u);
    EXPECT_EQ(row(1)->segmentControl()->selectedIndex(), 1u);
    EXPECT_EQ(row(2)->subTitleLabel()->text(), "你绑定的安全手机号是: 138****0000");
    auto* pin = dynamic_cast<KAVOSettingWithButton*>(row(3));
    ASSERT_TRUE(pin);
    EXPECT_TRUE(pin->button()->isEnabled());  // no start PIN yet
    auto* version = dynamic_cast<KAVOSettingWithButton*>(row(5));
    EXPECT_NE(version->subTitleLabel()->text().find("有更新: 9.9版本"), std::string::npos);
    EXPECT_FALSE(version->button()->isHidden());
    EXPECT_TRUE(row(4)->segmentControl()->isHidden());
    EXPECT_EQ(screen->tableView()->rectForRowAtIndexPath(ui::IndexPath::forRow(10, 0)).height(), 30);
}

TEST_F(SettingsScreenTest, ThePushSwitchWithNotificationsOffWarnsAndGoesBack) {
    open();
    moveSwitch(0, 1);
    ui::AlertView* alert = waitForAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "警告");
    EXPECT_NE(alert->message().find("通知中心"), std::string::npos);
    EXPECT_EQ(row(0)->segmentControl()->selectedIndex(), 0u);
    EXPECT_EQ(screen->settingItemStatus()[0], "1");
    EXPECT_TRUE(commands().empty());
}

TEST_F(SettingsScreenTest, AnAcceptedPushChangeIsStored) {
    allowNotifications();
    open();
    script({{"command", 17}, {"reply", "true"}});
    moveSwitch(0, 1);
    EXPECT_EQ(screen->settingIndexBeingModified(), 0);
    ASSERT_TRUE(waitFor([&] { return screen->settingIndexBeingModified() == -1; }));
    finishOverlay(KAVOSettingViewController::kTagPush);
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::isPushInfo), "0");
    EXPECT_EQ(commands(), (std::vector<int>{0, 17}));
    const foundation::Array fields = *serverLog().back().get("fields")->asArray();
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(*fields[0].asString(), account().uuid);
    EXPECT_EQ(*fields[2].asString(), "1");
    EXPECT_EQ(*fields[3].asString(), "0");
}

TEST_F(SettingsScreenTest, ARefusedOrFailedPushChangeRollsBack) {
    struct Case {
        foundation::Dictionary script;
        const char* notice;
    };
    const Case cases[] = {
        {{{"command", 17}, {"reply", "false"}}, "修改推送设置失败"},
        {{{"command", 17}, {"fault", "http500"}}, kNetworkUnstableMessage},
        {{{"command", 0}, {"fault", "drop"}}, kNetworkUnstableMessage},  // the handshake fails
    };
    allowNotifications();
    open();
    for (const Case& c : cases) {
        script(c.script);
        // A dropped answer on a reused connection is asked again once.
        if (c.script.find("fault") && *c.script.find("fault")->asString() == "drop") script(c.script);
        moveSwitch(0, 1);
        ASSERT_TRUE(waitFor([&] { return screen->settingIndexBeingModified() == -1; }));
        finishOverlay(KAVOSettingViewController::kTagPush);
        EXPECT_EQ(screen->settingItemStatus()[0], "1") << c.notice;
        EXPECT_EQ(row(0)->segmentControl()->selectedIndex(), 0u) << c.notice;
        EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::isPushInfo), "1");
        ASSERT_FALSE(noticeTexts().empty());
        EXPECT_EQ(noticeTexts().back(), c.notice);
        DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
    }
}

TEST_F(SettingsScreenTest, TheOneKeySwitchIsStoredAtOnce) {
    open();
    moveSwitch(1, 1);
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::keyLogin), "0");
    moveSwitch(1, 0);
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::keyLogin), "1");
    EXPECT_TRUE(commands().empty());
}

TEST_F(SettingsScreenTest, RowsLeadToTheirScreensAndSheets) {
    ASSERT_TRUE(Constants::upDateDBSetValue("1234", StoreKeys::passward));
    open();
    screen->didSelectRowAtIndexPath(screen->tableView(), ui::IndexPath::forRow(3, 0));
    ASSERT_EQ(ui::ActionSheet::visibleSheets().size(), 1u);
    ui::ActionSheet* sheet = ui::ActionSheet::visibleSheets().back();
    EXPECT_EQ(sheet->title(), "程序启动密码设置");
    sheet->clickButtonAtIndex(sheet->firstOtherButtonIndex());  // 删除启动密码
    driver().advance(0.5);
    screen->didSelectRowAtIndexPath(screen->tableView(), ui::IndexPath::forRow(2, 0));  // no safe phone yet
    screen->didSelectRowAtIndexPath(screen->tableView(), ui::IndexPath::forRow(5, 0));  // up to date
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"您的软件已经是最新版本"});
    screen->didSelectRowAtIndexPath(screen->tableView(), ui::IndexPath::forRow(4, 0));  // the classroom
    const auto& segues = map->performedSegues();
    ASSERT_EQ(segues.size(), 3u);
    EXPECT_EQ(segues[0], "KAVOSettingViewController->deletePwd->DeleteSoftPwdViewController");
    EXPECT_EQ(segues[1], "KAVOSettingViewController->safePhone->RemoteDeleteViewController");
    EXPECT_EQ(segues[2], "KAVOSettingViewController->safeClass->KAVOSafeClassViewController");
}

// The buttons of the safe-phone and start-PIN rows do what selecting the row
// does, whether something is stored or not.
TEST_F(SettingsScreenTest, TheSafePhoneAndPinButtonsDoWhatTheirRowsDo) {
    struct Case {
        int row;
        const char* key;
        const char* stored;
        const char* sheet;  // nullptr: a segue
        const char* segue;
    };
    const Case cases[] = {
        {3, StoreKeys::passward, "1234", "程序启动密码设置", nullptr},
        {3, StoreKeys::passward, "null", nullptr, "KAVOSettingViewController->setPwd->SoftPasswordViewController"},
        {2, StoreKeys::safePhone, "138****0000", "远程注销设置", nullptr},
        {2, StoreKeys::safePhone, "null", nullptr, "KAVOSettingViewController->safePhone->RemoteDeleteViewController"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("row ") + std::to_string(c.row) + " with " + c.stored);
        ASSERT_TRUE(Constants::upDateDBSetValue(c.stored, c.key));
        map = std::make_unique<ui::ScreenMap>();
        registerSettingsScreens(*map);
        for (const char* id : {"SoftPasswordViewController", "RemoteDeleteViewController"})
            map->registerScreen(id, [] { return std::make_shared<ui::ViewController>(); });
        open();
        auto* cell = dynamic_cast<KAVOSettingWithButton*>(row(c.row));
        ASSERT_TRUE(cell);
        ui::Button* button = cell->button();
        ASSERT_FALSE(button->isHidden());
        EXPECT_TRUE(button->isEnabled());
        EXPECT_EQ(driver().tap(button), button);
        driver().advance(0.5);
        if (c.sheet) {
            ASSERT_EQ(ui::ActionSheet::visibleSheets().size(), 1u);
            ui::ActionSheet* sheet = ui::ActionSheet::visibleSheets().back();
            EXPECT_EQ(sheet->title(), c.sheet);
            sheet->clickButtonAtIndex(sheet->cancelButtonIndex());
            driver().advance(0.5);
            EXPECT_TRUE(map->performedSegues().empty());
        } else {
            EXPECT_TRUE(ui::ActionSheet::visibleSheets().empty());
            EXPECT_EQ(map->performedSegues(), std::vector<std::string>{c.segue});
        }
        navigation()->setViewControllers({}, false);
        screen.reset();
    }
}

TEST_F(SettingsScreenTest, DeRegistrationAfterThePaymentWarningWipesAndEnds) {
    foundation::UserDefaults::standard().setInteger("korvxboundstate", 10);
    open();
    // The warning first; "取消注销" ends the road.
    screen->customCellButtonPressed(nullptr, 9);
    ui::AlertView* warning = waitForAlert();
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->tag(), KAVOSettingViewController::kAlertPaymentWarning);
    warning->clickButtonAtIndex(1);
    driver().advance(0.5);
    EXPECT_EQ(ui::AlertView::frontmost(), nullptr);

    screen->customCellButtonPressed(nullptr, 9);
    waitForAlert()->clickButtonAtIndex(0);  // 确定注销
    driver().advance(0.5);
    ui::AlertView* reasons = waitForAlert();
    ASSERT_TRUE(reasons);
    EXPECT_EQ(reasons->title(), "您注销安全中心的原因是？");
    ASSERT_EQ(reasons->numberOfButtons(), 5);
    EXPECT_EQ(reasons->buttonTitleAtIndex(0), "取消注销");
    EXPECT_EQ(reasons->buttonTitleAtIndex(3), "软件稳定性有所欠缺");
    reasons->clickButtonAtIndex(2);
    ASSERT_TRUE(waitFor([&] {
        auto* a = ui::AlertView::frontmost();
        return a && a->tag() == KAVOSettingViewController::kAlertLoggedOut;
    }));
    finishOverlay(KAVOSettingViewController::kTagLogout);
    // The data are gone while the alert is up; only its button ends the app.
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_EQ(foundation::UserDefaults::standard().integerForKey("korvxboundstate"), 0);
    EXPECT_EQ(foundation::UserDefaults::standard().integerForKey("uniqueuser"), 1);
    EXPECT_TRUE(exits().empty());
    EXPECT_EQ(commands(), (std::vector<int>{0, 24}));
    ui::AlertView::frontmost()->clickButtonAtIndex(0);
    EXPECT_EQ(exits(), std::vector<int>{0});
}

TEST_F(SettingsScreenTest, TheOtherReasonWithAnEmptyTextStillDeRegisters) {
    open();
    screen->customCellButtonPressed(nullptr, 9);
    waitForAlert()->clickButtonAtIndex(4);
    driver().advance(0.5);
    ui::AlertView* other = waitForAlert();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->title(), "请告诉我们您的宝贵建议");
    ASSERT_TRUE(other->textFieldAtIndex(0));
    other->clickButtonAtIndex(0);
    ASSERT_TRUE(waitFor([&] {
        auto* a = ui::AlertView::frontmost();
        return a && a->tag() == KAVOSettingViewController::kAlertLoggedOut;
    }));
    finishOverlay(KAVOSettingViewController::kTagLogout);
    EXPECT_FALSE(DBController::databaseExit());
}

TEST_F(SettingsScreenTest, ARefusedDeRegistrationChangesNothing) {
    open();
    script({{"command", 24}, {"reply", foundation::Dictionary{{"isSuccess", false}}}});
    screen->customCellButtonPressed(nullptr, 9);
    waitForAlert()->clickButtonAtIndex(1);
    ASSERT_TRUE(waitFor([&] { return !noticeTexts().empty(); }));
    finishOverlay(KAVOSettingViewController::kTagLogout);
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"注销账号账号操作失败"});
    EXPECT_TRUE(DBController::databaseExit());
    EXPECT_TRUE(exits().empty());
}

TEST_F(SettingsScreenTest, WhatIsNewOpensTheStorePage) {
    open();
    server().control("features", "{\"details\": \"新增账号时段锁\"}");
    screen->popOutProgressHuDForGetNewFeature();
    ui::AlertView* alert = waitForAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "新增账号时段锁");
    finishOverlay(KAVOSettingViewController::kTagNewFeature);
    alert->clickButtonAtIndex(0);
    EXPECT_EQ(ui::Application::shared().openedURLs(), std::vector<std::string>{Constants::appStorePageURL()});
}

// The screen's own store look-up: the version found is stored and shown in
// the version row; a later look-up of the hub shows on the next appearance.
TEST_F(SettingsScreenTest, TheStoreLookUpShowsTheNewestVersionInTheVersionRow) {
    ASSERT_TRUE(Constants::upDateDBSetValue(foundation::device().appVersion, StoreKeys::remote_version));
    open();
    auto* version = dynamic_cast<KAVOSettingWithButton*>(row(5));
    ASSERT_TRUE(version);
    EXPECT_NE(version->subTitleLabel()->text().find("已是最新版"), std::string::npos);

    server().control("hub", R"({"store_versions": ["1.0", "99.1"]})");
    screen->popOutProgressHudForVersionCheck();
    ASSERT_TRUE(waitFor([&] { return Constants::getValueFromDBByKey(StoreKeys::remote_version) == "99.1"; }));
    driver().advance(0.5);
    version = dynamic_cast<KAVOSettingWithButton*>(row(5));
    EXPECT_NE(version->subTitleLabel()->text().find("有更新: 99.1版本"), std::string::npos)
        << version->subTitleLabel()->text();
    EXPECT_FALSE(version->button()->isHidden());
    EXPECT_TRUE(noticeTexts().empty());

    // The hub's look-up (it stores what it found) shows when the screen
    // appears again.
    ASSERT_TRUE(Constants::upDateDBSetValue("99.2", StoreKeys::remote_version));
    screen->viewWillAppear(false);
    version = dynamic_cast<KAVOSettingWithButton*>(row(5));
    EXPECT_NE(version->subTitleLabel()->text().find("有更新: 99.2版本"), std::string::npos);
}

TEST_F(SettingsScreenTest, AFailedStoreLookUpGivesTheNetworkNoticeAndKeepsTheVersion) {
    setenv("QUENTA_STORE_URL", "http://127.0.0.1:1/lookup?id=", 1);
    ASSERT_TRUE(Constants::upDateDBSetValue("2.0", StoreKeys::remote_version));
    open();
    screen->popOutProgressHudForVersionCheck();
    bool noticed = waitFor([&] { return !noticeTexts().empty(); });
    unsetenv("QUENTA_STORE_URL");
    ASSERT_TRUE(noticed);
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"您的网络不稳定，请稍后再试"});
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::remote_version), "2.0");
}

}  // namespace
