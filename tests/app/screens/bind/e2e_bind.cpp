// The real program under a virtual display, driven with real clicks and keys
// along the roads a new user takes: from the first start through the guide to
// the bind screen, then binding with the demo serial, its QR code, by SMS or
// through the payment app, and on from each binding to the hub, whose five
// buttons all lead somewhere and back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestSupport.h"
#include "tests/support/e2e/AppSession.h"
#include "tests/support/e2e/Roads.h"

namespace {

std::string shown(const e2e::AppSession& app) {
    std::string all;
    for (const auto& t : app.shownTexts()) all += "[" + t.text + "]";
    return all;
}

// Until the program's log holds the text; false after `seconds`.
bool waitForLog(const e2e::AppSession& app, const std::string& text, double seconds) {
    return app.waitUntil([&] { return app.log().find(text) != std::string::npos; }, seconds);
}

// First start: the guide, skipped, opens the bind screen.
void reachTheBindScreen(e2e::AppSession& app) {
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.tapText("跳过")) << shown(app) << app.log();
    ASSERT_TRUE(app.waitForText("序列号绑定")) << shown(app) << app.log();
    ASSERT_TRUE(app.waitForText("请输入序列号")) << shown(app);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(BindEndToEnd, TheDemoSerialBindsAndTheNextStartGoesPastTheBinding) {
    // The bound home is kept in this case's own folder for the next start.
    const std::string kept = foundation::homeDir() + "/bound-home";
    {
        e2e::AppSession app;
        reachTheBindScreen(app);
        if (HasFatalFailure()) return;
        EXPECT_TRUE(app.screenshot("e2e-bind-screen"));
        ASSERT_TRUE(app.tapText("请输入序列号"));
        app.type("Q3T7K9");
        ASSERT_TRUE(app.waitForText("绑定成功")) << shown(app) << app.log();
        EXPECT_TRUE(app.waitForText("你的禾川账号绑定成功！"));
        EXPECT_TRUE(app.screenshot("e2e-bind-success"));
        ASSERT_TRUE(app.tapText("确定"));
        // On to the main screen (another area's; logged while it is missing).
        EXPECT_TRUE(waitForLog(app, "bindSuccess", 10) || app.waitForTextGone("序列号绑定", 10)) << app.log();

        foundation::UserDefaults defaults(app.defaultsPath());
        EXPECT_EQ(defaults.integerForKey("korvxboundstate"), 3);
        EXPECT_EQ(defaults.integerForKey("laststate"), 3);
        app.withHome([] {
            EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::read_index), std::optional<std::string>("3.0.0"));
            EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::bid),
                      std::optional<std::string>("3132333435363738393031323334353637383930"));
        });
        ASSERT_EQ(std::system(("cp -a '" + app.home() + "' '" + kept + "'").c_str()), 0);
    }

    // The next start of the program on the same home: the launch router goes
    // to the main screen, neither the guide nor the bind screen shows.
    e2e::Options next;
    next.prepare = [kept] {
        ASSERT_EQ(std::system(("cp -a '" + kept + "/.' '" + foundation::homeDir() + "'").c_str()), 0);
    };
    e2e::AppSession again(next);
    ASSERT_TRUE(again.ok()) << again.error();
    const bool logged = waitForLog(again, "\"showMain\"", 30);
    if (logged) {
        EXPECT_NE(again.log().find("KAVOMainFrameViewController"), std::string::npos) << again.log();
        // The main screen is up (its buttons shown) before the texts are read.
        EXPECT_TRUE(again.waitForText("安全日志")) << shown(again);
    }
    const std::string texts = shown(again);
    EXPECT_EQ(texts.find("跳过"), std::string::npos) << texts;
    EXPECT_EQ(texts.find("序列号绑定"), std::string::npos) << texts;
}

TEST(BindEndToEnd, TheDemoSerialsQrCodeBindsThroughTheCamera) {
    // The camera is a file feed showing the demo serial's QR code.
    const std::string card = foundation::homeDir() + "/demo-serial-qr.png";
    const std::string script = testsupport::sourcePath("scripts/qr-picture");
    ASSERT_EQ(std::system(("'" + script + "' Q3T7K9 '" + card + "'").c_str()), 0);
    e2e::Options options;
    options.env = {"QUENTA_CAMERA=file:" + card};
    e2e::AppSession app(options);
    reachTheBindScreen(app);
    if (HasFatalFailure()) return;

    ASSERT_TRUE(app.tapText("扫描二维码绑定"));
    ASSERT_TRUE(app.waitForText("绑定成功", 60)) << shown(app) << app.log();
    EXPECT_TRUE(app.waitForText("你的禾川账号绑定成功！"));
    EXPECT_TRUE(app.screenshot("e2e-bind-qr-success"));
    foundation::UserDefaults defaults(app.defaultsPath());
    EXPECT_EQ(defaults.integerForKey("korvxboundstate"), 3);
    app.withHome([] {
        EXPECT_EQ(Constants::getValueFromDBByKey(StoreKeys::bid),
                  std::optional<std::string>("3132333435363738393031323334353637383930"));
    });
    // The serial came to the server from the code, in command 16.
    auto log = JsonParser().objectWithString(app.server().controlGet("log"));
    ASSERT_TRUE(log);
    std::vector<std::string> serials;
    for (const auto& request : *log->get("requests")->asArray())
        if (request.get("command")->intValue() == 16) serials.push_back(request.get("fields")->at(2)->description());
    EXPECT_EQ(serials, std::vector<std::string>{"Q3T7K9"});

    // On to the hub, whose buttons all work.
    e2e::fromTheSuccessToTheHub(app);
    if (HasFatalFailure()) return;
    e2e::everyHubButtonAndBack(app);
}

TEST(BindEndToEnd, TheSmsRoadSendsTheTextAndBindsOnceItArrives) {
    // A phone with a SIM card of the carrier with its own gateway.
    setenv("QUENTA_DEVICE_MODEL", "iPhone", 1);
    setenv("QUENTA_CARRIER", "中国联通", 1);
    e2e::AppSession app;
    unsetenv("QUENTA_DEVICE_MODEL");
    unsetenv("QUENTA_CARRIER");
    reachTheBindScreen(app);
    if (HasFatalFailure()) return;

    ASSERT_TRUE(app.tapText("短信绑定"));
    ASSERT_TRUE(app.waitForText("请输入您的禾川账号")) << shown(app) << app.log();
    EXPECT_TRUE(app.picture("bind-sms"));
    // The account-name field sits under the alert's title.
    ui::Rect title;
    for (const auto& t : app.shownTexts())
        if (t.text == "请输入您的禾川账号") title = t.frame;
    app.tap({title.x() + title.width() / 2, title.y() + title.height() + 25});
    app.type("demo@quenta.test");
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.waitForText("提示")) << shown(app) << app.log();
    EXPECT_TRUE(app.screenshot("e2e-bind-sms-confirm"));
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.waitForText("新信息")) << shown(app) << app.log();
    EXPECT_TRUE(app.screenshot("e2e-bind-sms-composer"));
    ASSERT_TRUE(app.tapText("发送"));

    // The text went to the outbox; the poll runs under its overlay until the
    // server has it.
    ASSERT_TRUE(app.waitForText("正在绑定")) << shown(app) << app.log();
    const std::string outbox = readFile(app.home() + "/Library/Outbox/messages.txt");
    EXPECT_EQ(outbox.rfind("1065502009999\tSC#B#demo@quenta.test#", 0), 0u) << outbox;
    app.server().control("sms", "{\"arrived\": true}");
    ASSERT_TRUE(app.waitForText("绑定成功", 60)) << shown(app) << app.log();
    foundation::UserDefaults defaults(app.defaultsPath());
    EXPECT_EQ(defaults.integerForKey("korvxboundstate"), 3);
    app.withHome([] { EXPECT_TRUE(Constants::getValueFromDBByKey(StoreKeys::uuid)); });

    // On to the hub, whose buttons all work.
    e2e::fromTheSuccessToTheHub(app);
    if (HasFatalFailure()) return;
    e2e::everyHubButtonAndBack(app);
}

TEST(BindEndToEnd, ThePaymentAppRoadHandsOffAndBindsWithTheTokenItHandsBack) {
    // The payment client counts as installed; on this desktop it answers by
    // starting the app again with the hand-back address, as the phone
    // brings the app back with it.
    e2e::Options options;
    options.env = {"QUENTA_URL_SCHEMES=nimbra"};
    e2e::AppSession app(options);
    reachTheBindScreen(app);
    if (HasFatalFailure()) return;

    ASSERT_TRUE(app.tapText("岚付通绑定"));
    ASSERT_TRUE(app.waitForText("请输入您的禾川账号")) << shown(app) << app.log();
    const auto title = app.frameOf("请输入您的禾川账号");
    ASSERT_TRUE(title);
    app.tap({title->x() + title->width() / 2, title->y() + title->height() + 25});
    app.type("demo@quenta.test");
    ASSERT_TRUE(app.tapText("确定"));
    // The server names the payment account; the user agrees to go over.
    ASSERT_TRUE(app.waitForText("提示")) << shown(app) << app.log();
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(waitForLog(app, "open URL nimbra", 20)) << app.log();
    EXPECT_EQ(foundation::UserDefaults(app.defaultsPath()).integerForKey("korvxboundstate"), 2)
        << "the hand-off is pending";

    // The payment client hands back the token the payment service issued.
    const std::string token =
        *JsonParser().objectWithString(app.server().controlGet("korvex"))->get("token")->asString();
    const std::string handBack =
        "kavocenter://nimbra/?%7B%22memo%22%3A%7B%22ResultStatus%22%3A9000%2C%22result%22%3A%22"
        "token%3D%5C%22" +
        token + "%5C%22%22%7D%7D";
    ASSERT_TRUE(app.restart({"--open-url", handBack, "--source-app", "com.korvex.client"})) << app.error();
    // Bound with payment verification on.
    e2e::fromTheSuccessToTheHub(app, 10);
    if (HasFatalFailure()) return;
    // The binding went through command 34 with that token.
    auto log = JsonParser().objectWithString(app.server().controlGet("log"));
    ASSERT_TRUE(log);
    std::vector<std::string> tokens;
    for (const auto& request : *log->get("requests")->asArray())
        if (request.get("command")->intValue() == 34)
            tokens.push_back(request.get("json")->get("korvexTokenId")->description());
    EXPECT_EQ(tokens, std::vector<std::string>{token});
    e2e::everyHubButtonAndBack(app);
}

}  // namespace
