// The user's roads through the settings in the real program, each from the
// main screen's "设置" button: switching the push notices off, sending a
// feedback text, and reading the help and an article page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/start/KAVOStoryboard.h"
#include "lib/json/JsonParser.h"
#include "tests/support/TestSupport.h"
#include "tests/support/e2e/AppSession.h"
#include "tests/support/e2e/Pixels.h"
#include "tests/support/e2e/Roads.h"

namespace {

class SettingsEndToEnd : public ::testing::Test {
protected:
    // A bound phone started on the main screen, then its settings opened.
    void openSettings() {
        // The road starts on the main screen, which every build has.
        ASSERT_TRUE(KAVOStoryboard::make()->hasScreen(KAVOStoryboard::kMainScreen));
        // The server's advert is seen already: its banner would slide over
        // the main screen's "设置" while these roads tap it.
        e2e::Options options =
            e2e::launchedBoundPhone(3, [] { Constants::upDateDBSetValue("2", StoreKeys::adversion); });
        app = std::make_unique<e2e::AppSession>(options);
        ASSERT_TRUE(app->ok()) << app->error();
        ASSERT_TRUE(app->waitForText("安全日志", 60)) << app->log();
        ASSERT_TRUE(app->tapText("设置")) << app->log();
        ASSERT_TRUE(app->waitForText("异常消息推送")) << app->log();
        ASSERT_TRUE(app->waitUntilSettled()) << app->log();
        EXPECT_TRUE(app->picture("settings"));
    }
    // Drags the settings list up to its lower rows, then taps one of them
    // once the list has stopped; true when the screen it leads to shows
    // `expected`.
    bool tapLowerRow(const std::string& text, const std::string& expected) {
        app->drag({160, 420}, {160, 120}, 15);
        return app->tapText(text) && app->waitForText(expected);
    }
    std::string shownList() {
        std::string out;
        for (const auto& t : app->shownTexts()) out += "[" + t.text + "]\n";
        return out;
    }
    std::optional<e2e::ShownText> shown(const std::string& text) {
        for (const auto& t : app->shownTexts())
            if (t.text == text) return t;
        return std::nullopt;
    }
    std::string storeValue(const char* key) {
        std::string value;
        app->withHome([&] { value = Constants::getValueFromDBByKey(key).value_or(""); });
        return value;
    }
    bool waitUntil(const std::function<bool()>& done, double seconds = 30) { return app->waitUntil(done, seconds); }
    std::unique_ptr<e2e::AppSession> app;
};

TEST_F(SettingsEndToEnd, SwitchingPushNoticesOff) {
    openSettings();
    if (IsSkipped() || HasFatalFailure()) return;
    // The server accepts the change (command 17, operation 1).
    app->server().control("script", "{\"command\": 17, \"reply\": \"true\"}");
    auto title = shown("异常消息推送");
    ASSERT_TRUE(title);
    // The switch's " 关 " half sits at the right of the row, level with its title.
    app->tap({293, title->frame.y() + title->frame.height() / 2});
    ASSERT_TRUE(waitUntil([&] { return storeValue(StoreKeys::isPushInfo) == "0"; })) << app->log();
    EXPECT_TRUE(app->screenshot("settings-push-off-e2e"));
    auto log = JsonParser().objectWithString(app->server().controlGet("log"));
    ASSERT_TRUE(log);
    // The last change request (the hub's poll for approvals, command 21,
    // goes on behind the settings and may come after it).
    const foundation::Value* change = nullptr;
    for (const auto& request : *log->get("requests")->asArray())
        if (request.get("command")->intValue() == 17) change = &request;
    ASSERT_TRUE(change) << app->server().controlGet("log");
    const foundation::Value& last = *change;
    // The uuid, the phone's token, operation 1 (the push switch) and its new state.
    const foundation::Array* fields = last.get("fields")->asArray();
    ASSERT_TRUE(fields);
    ASSERT_EQ(fields->size(), 4u);
    EXPECT_EQ(fields->at(0).description(), "6F9619FF-8B86-4011-B42D-00C04FC964FF");
    EXPECT_EQ(fields->at(2).description(), "1");
    EXPECT_EQ(fields->at(3).description(), "0");
}

TEST_F(SettingsEndToEnd, SendingAFeedbackText) {
    openSettings();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(tapLowerRow("意见反馈", "您还可以输入200字"));
    EXPECT_TRUE(app->picture("feedback"));
    app->type("Works well, thanks");
    app->pressReturn();
    ASSERT_TRUE(app->waitForText("发送成功")) << app->log();
    auto reply = JsonParser().objectWithString(app->server().controlGet("suggestions"));
    ASSERT_TRUE(reply);
    const foundation::Array& got = *reply->get("suggestions")->asArray();
    ASSERT_EQ(got.size(), 1u);
    const std::string text = *got[0].get("text")->asString();
    EXPECT_NE(text.find(")-V"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - std::string(": Works well， thanks").size()), ": Works well， thanks");
    // Its button closes the screen, back on the settings.
    ASSERT_TRUE(app->tapText("确定"));
    EXPECT_TRUE(app->waitForText("意见反馈"));
    EXPECT_TRUE(app->waitForTextGone("您还可以输入200字"));
}

TEST_F(SettingsEndToEnd, ReadingTheHelpAndAnArticle) {
    openSettings();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(tapLowerRow("使用帮助", "1.禾盾是什么？"));
    // The first answer, as the help file words it.
    std::ifstream file(testsupport::sourcePath("resources/text/help.txt"));
    std::string line, answer;
    while (std::getline(file, line))
        if (line == "1.禾盾是什么？" && std::getline(file, answer)) break;
    ASSERT_FALSE(answer.empty());
    ASSERT_TRUE(app->waitForTextGone("关于禾盾"));  // the push has finished
    ASSERT_TRUE(app->tapText("1.禾盾是什么？"));
    ASSERT_TRUE(app->waitForText(answer)) << shownList();
    EXPECT_TRUE(app->screenshot("help-e2e"));
    EXPECT_TRUE(app->picture("help"));

    // Back to the settings, then the about page's licence.
    app->tap({14, 18});  // the back button
    ASSERT_TRUE(app->waitForText("使用帮助")) << shownList();
    ASSERT_TRUE(tapLowerRow("关于禾盾", "许可协议")) << shownList();
    EXPECT_TRUE(app->picture("about"));
    ASSERT_TRUE(app->tapText("许可协议"));
    ASSERT_TRUE(app->waitForTextGone("关于我们"));
    // The page fades in: white, with dark lines of text.
    bool page = false;
    for (int i = 0; i < 100 && !page; ++i) {
        auto picture = app->grab();
        page = picture && e2e::showsAPageOfText(*picture);
        if (!page) app->waitForText("\x01 never shown", 0.2);
    }
    EXPECT_TRUE(page);
    EXPECT_TRUE(app->screenshot("article-e2e"));
    EXPECT_TRUE(app->picture("article"));
}

}  // namespace
