// The feedback screen against the test server: the ten-minute limit at 599
// and 600 seconds, what the payload carries, the length limit and the
// failures that close the screen.
#include <gtest/gtest.h>

#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/settings/SettingsScreens.h"
#include "app/screens/settings/SuggestViewController.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Device.h"
#include "platform/ui/AlertView.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

class SuggestScreenTest : public screentest::ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        map = std::make_unique<ui::ScreenMap>();
        registerSettingsScreens(*map);
        // Pushed over a plain screen, as from the settings, so that leaving shows.
        root = show(std::make_shared<ui::ViewController>());
        screen = std::dynamic_pointer_cast<SuggestViewController>(
            map->instantiateViewControllerWithIdentifier(SuggestViewController::kIdentifier));
        ASSERT_TRUE(screen);
        navigation()->pushViewController(screen, false);
        driver().settle();
    }
    void TearDown() override {
        screen.reset();
        root.reset();
        ScreenFixture::TearDown();
    }
    ui::AlertView* sendAndWait() {
        driver().type("\n");
        waitFor([] { return ui::AlertView::frontmost() != nullptr; });
        return ui::AlertView::frontmost();
    }
    void finishOverlay() {
        ASSERT_TRUE(waitFor([&] {
            auto h = screen->hud(SuggestViewController::kTagSuggest);
            return !h || !h->taskInProgress();
        }));
        driver().advance(0.35);
    }
    std::vector<std::string> receivedTexts() {
        std::vector<std::string> out;
        auto reply = JsonParser().objectWithString(server().control("suggestions"));
        for (const auto& s : *reply->get("suggestions")->asArray()) out.push_back(*s.get("text")->asString());
        return out;
    }

    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<SuggestViewController> screen;
};

// Types one character at a time, as a keyboard does.
void typeEach(shell::Driver& driver, const std::string& ascii) {
    for (char c : ascii) driver.type(std::string(1, c));
}

TEST_F(SuggestScreenTest, ASendCarriesTheDeviceAndFullWidthSeparators) {
    EXPECT_TRUE(screen->suggestTxt()->isFirstResponder());
    typeEach(driver(), "ok;a,b");
    EXPECT_TRUE(screen->upLabel()->isHidden());
    EXPECT_EQ(screen->suggestLabel()->text(), "您还可以输入194字");
    ui::AlertView* alert = sendAndWait();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "发送成功");
    finishOverlay();
    const auto& d = foundation::device();
    EXPECT_EQ(receivedTexts(),
              std::vector<std::string>{"(" + d.model + " " + d.systemVersion + ")-V" + d.appVersion + ": ok；a，b"});
    EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::suggestTime), std::to_string((long long)clock().now()));
    // Its button closes the screen.
    alert->clickButtonAtIndex(0);
    driver().advance(1);
    EXPECT_EQ(navigation()->topViewController(), root.get());
}

TEST_F(SuggestScreenTest, TheTenMinuteLimitCountsFromTheLastSuccess) {
    const long long now = (long long)clock().now();
    ASSERT_TRUE(Constants::upDateDBSetValue(std::to_string(now - 599), StoreKeys::suggestTime));
    driver().type("again");
    ui::AlertView* alert = sendAndWait();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "提交时间过短");
    EXPECT_EQ(alert->message(), "意见反馈的时间间隔为10分钟，请稍后再试！");
    alert->clickButtonAtIndex(0);
    driver().advance(0.5);
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(screen->suggestTxt()->text(), "again");  // the screen and its text stay

    clock().advance(1);  // 600 seconds
    alert = sendAndWait();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "发送成功");
    finishOverlay();
    EXPECT_EQ(commands(), std::vector<int>{28});
}

TEST_F(SuggestScreenTest, EmptyTextIsRefusedButBlanksAreSent) {
    ui::AlertView* alert = sendAndWait();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "内容长度错误");
    alert->clickButtonAtIndex(0);
    driver().advance(0.5);
    driver().type("   ");
    alert = sendAndWait();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "发送成功");
    finishOverlay();
}

TEST_F(SuggestScreenTest, TypingStopsAtTwoHundredAndALongPasteIsRefused) {
    driver().type(std::string(195, 'x'));
    EXPECT_EQ(screen->suggestTxt()->text().size(), 195u);
    screen->suggestTxt()->insertText("一二三四五六");  // a paste that would make 201
    EXPECT_EQ(screen->suggestTxt()->text().size(), 195u);
    typeEach(driver(), "yyyyyzz");
    EXPECT_EQ(screen->suggestTxt()->text(), std::string(195, 'x') + "yyyyy");
    EXPECT_EQ(screen->suggestLabel()->text(), "您还可以输入0字");
}

TEST_F(SuggestScreenTest, FailuresCloseTheScreenAndKeepTheWindow) {
    struct Case {
        const char* fault;
        const char* title;
    };
    for (const Case& c : {Case{"no-content", "警告"}, Case{"drop", "发送失败"}}) {
        // A dropped connection is tried twice.
        for (int i = std::string(c.fault) == "drop" ? 0 : 1; i < 2; ++i) script({{"command", 28}, {"fault", c.fault}});
        driver().type("x");
        ui::AlertView* alert = sendAndWait();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), c.title);
        EXPECT_EQ(alert->tag(), SuggestViewController::kAlertLeave);
        finishOverlay();
        EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::suggestTime), "123");
        alert->dismissWithClickedButtonIndex(0, false);
        driver().advance(0.5);
        screen->suggestTxt()->becomeFirstResponder();
    }
}

}  // namespace
