// The user's road through the real program, from an empty data folder as an
// installed app starts: the guide, a binding (the demo serial, the serial's
// QR code through the file camera, an SMS, the payment app), the hub and each
// of its five buttons and back, the code tab with its digits read back from
// the window's pixels, the verify tab approving a login the server queued,
// the nine-star tab's path, the settings, a start PIN set there, the program
// closed and started again, the PIN entered, and the hub's buttons working
// after it. Nothing is seeded: every state the walk meets, it made itself.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/core/GetOtp.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/token/OTPLayer.h"
#include "app/screens/token/TokenModel.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestSupport.h"
#include "tests/support/e2e/AppSession.h"
#include "tests/support/e2e/Pixels.h"
#include "tests/support/e2e/Roads.h"

namespace {

using Clock = std::chrono::steady_clock;

using e2e::shownLine;

std::string shown(const e2e::AppSession& app) { return shownLine(app); }
std::string stored(const e2e::AppSession& app, const char* key) { return e2e::storedValue(app, key); }

// The codes the phone can show now: this step's and its neighbours', from
// the key and the server-time difference the binding stored.
std::vector<std::string> codesNow(const e2e::AppSession& app) {
    const std::string bid = stored(app, StoreKeys::bid);
    const long long difference = std::atoll(stored(app, StoreKeys::diffTime).c_str());
    std::vector<std::string> codes;
    for (int step : {0, -1, 1}) codes.push_back(GetOtp::otpCreate(bid, std::to_string(difference + step * 30)));
    return codes;
}

// Reads the code tab's six cards from the window until they show one of the
// phone's codes; "" with what was read last when they never do.
std::string readTheCodeTab(e2e::AppSession& app, double seconds, std::string* lastRead) {
    const auto tabs = app.frameOf("动态口令", true);
    if (!tabs) return "";
    e2e::CardReader reader("otp_", OTPLayer::kWidth, OTPLayer::kHeight, app.scale());
    if (!reader.ok()) return "";
    std::vector<double> centres(OTPLayer::kCentreX.begin(), OTPLayer::kCentreX.end());
    const auto giveUp = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < giveUp) {
        std::optional<ui::Rect> countdown;
        for (const auto& t : app.shownTexts())
            if (t.text.rfind("动态口令将在", 0) == 0) countdown = t.frame;
        if (countdown && countdown->y() > tabs->maxY()) {
            auto area = app.grab({0, tabs->maxY(), 320, countdown->y() - tabs->maxY()});
            if (area) {
                *lastRead = reader.read(*area, centres);
                for (const std::string& code : codesNow(app))
                    if (*lastRead == code) return code;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return "";
}

// The phone's clock: the real time plus the difference the binding stored.
double phoneNow(const e2e::AppSession& app) {
    return foundation::clock().now() + std::atof(stored(app, StoreKeys::diffTime).c_str());
}

// Watches the code tab across the end of the current 30-second step: the
// cards show the old code, turn (a moment when they read as no code at all,
// each card edge-on or part way), and show the new code.
void watchTheCardsFlip(e2e::AppSession& app) {
    const auto tabs = app.frameOf("动态口令", true);
    std::optional<ui::Rect> countdown;
    for (const auto& t : app.shownTexts())
        if (t.text.rfind("动态口令将在", 0) == 0) countdown = t.frame;
    ASSERT_TRUE(tabs && countdown);
    const ui::Rect area{0, tabs->maxY(), 320, countdown->y() - tabs->maxY()};
    e2e::CardReader reader("otp_", OTPLayer::kWidth, OTPLayer::kHeight, app.scale());
    const std::vector<double> centres(OTPLayer::kCentreX.begin(), OTPLayer::kCentreX.end());
    // Until a second and a half before the step ends.
    const double left = 30 - std::fmod(phoneNow(app), 30);
    if (left > 1.5) std::this_thread::sleep_for(std::chrono::duration<double>(left - 1.5));
    const std::string before = codesNow(app)[0];
    const std::string after = codesNow(app)[2];
    // The window as fast as it can be read, from before the step's end
    // until the turn is surely over; read as digits afterwards.
    std::vector<std::shared_ptr<ui::Image>> frames;
    const auto until = Clock::now() + std::chrono::milliseconds(1500 + 3500);
    while (Clock::now() < until && frames.size() < 400)
        if (auto picture = app.grab(area)) frames.push_back(picture);
    ASSERT_FALSE(frames.empty());
    std::vector<std::string> seen;
    bool turning = false;
    for (const auto& frame : frames) {
        const std::string read = reader.read(*frame, centres);
        if (seen.empty() || seen.back() != read) seen.push_back(read);
        // Neither code: a card part way over, or old and new digits side by side.
        if (read != before && read != after) {
            turning = true;
            break;
        }
    }
    const std::string last = reader.read(*frames.back(), centres);
    const std::string told = ::testing::PrintToString(seen);
    EXPECT_EQ(last, after) << "read in turn: " << told << ", the codes " << before << " then " << after;
    EXPECT_TRUE(turning) << "no card was seen turning in " << frames.size() << " pictures: " << told;
}

// The nine-star tab: each cell of the grid shows the picture the path of the
// code draws there (its stars, its steps, its start and its end).
void checkTheNineStarGrid(e2e::AppSession& app) {
    ASSERT_TRUE(app.tapLabel("九星连珠"));
    ASSERT_TRUE(app.waitForLabel("cell00")) << shown(app);
    app.waitUntilSettled(10);
    // A step's picture is the same line whichever way it is walked.
    auto picture = [](const std::string& name) -> std::string {
        if (name == "down") return "up";
        if (name == "right") return "left";
        if (name == "southwest") return "northeast";
        if (name == "southeast") return "northwest";
        return name;
    };
    const std::vector<std::string> names{
        "kong.png",  "ba.png",        "a2",     "a3", "a4", "a5", "up", "left", "northeast",
        "northwest", "begin_red.png", "end.png"};
    e2e::PictureSet pictures(names, 48, 48, app.scale());
    ASSERT_TRUE(pictures.ok());
    std::string lastFailure;
    const auto giveUp = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < giveUp) {
        // The grid as the window shows it.
        std::array<std::array<std::string, 5>, 5> shownCells;
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c) {
                auto frame = app.frameOf("cell" + std::to_string(r) + std::to_string(c), true);
                auto cell = frame ? app.grab(*frame) : nullptr;
                shownCells[r][c] = cell ? pictures.best(*cell) : "?";
            }
        lastFailure = "the window's grid:";
        for (int r = 0; r < 5; ++r) {
            lastFailure += "\n ";
            for (int c = 0; c < 5; ++c) {
                auto frame = app.frameOf("cell" + std::to_string(r) + std::to_string(c), true);
                lastFailure += " " + (shownCells[r][c].empty() ? std::string("-") : shownCells[r][c]) + "@" +
                               (frame ? std::to_string(int(frame->x())) + "," + std::to_string(int(frame->y())) : "?");
            }
        }
        for (const std::string& code : codesNow(app)) {
            const std::string path = Calculate().getNums(code);
            const token::JiuXingDrawing drawing = token::drawPath(path);
            std::string wrong;
            int drawn = 0;
            for (int r = 0; r < 5; ++r)
                for (int c = 0; c < 5; ++c) {
                    const std::string want = picture(drawing.cells[r][c]);
                    // A crossing drawn twice shows two pictures at once; empty cells show the stars' layer.
                    const bool crossing = r % 2 == 1 && c % 2 == 1;
                    if (want == "kong.png" || (crossing && drawing.overlays[(r / 2) * 2 + c / 2] != "kong.png"))
                        continue;
                    ++drawn;
                    if (shownCells[r][c] != want)
                        wrong += " (" + std::to_string(r) + "," + std::to_string(c) + ") " + shownCells[r][c] +
                                 " for " + want;
                }
            if (wrong.empty() && drawn > 0) return;
            lastFailure += "\ncode " + code + " path " + path + ":" + wrong;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ADD_FAILURE() << "the grid shows no path of the phone's codes; " << lastFailure;
}

class Walk : public ::testing::Test {};

TEST_F(Walk, SerialBindingThenEveryButtonTheCodeTabsTheSettingsAndAStartPinAcrossARestart) {
    e2e::AppSession app;
    e2e::throughTheGuide(app);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(app.picture("bind"));
    // The bind screen's help, read and closed.
    ASSERT_TRUE(app.tapText("帮助"));
    ASSERT_TRUE(app.waitForText("1.如何绑定禾盾？")) << shown(app);
    EXPECT_TRUE(app.picture("bind-help"));
    ASSERT_TRUE(app.tapLabel("close")) << shown(app);
    ASSERT_TRUE(app.waitForTextGone("1.如何绑定禾盾？")) << shown(app);
    ASSERT_TRUE(app.tapText("请输入序列号"));
    app.type("Q3T7K9");
    e2e::fromTheSuccessToTheHub(app);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(app.picture("hub"));

    e2e::everyHubButtonAndBack(app);
    if (HasFatalFailure()) return;

    // The code tab: its digits, read from the window's pixels, are the code.
    ASSERT_TRUE(app.tapText("禾盾令牌"));
    ASSERT_TRUE(app.waitForLabel("动态口令")) << shown(app);
    app.waitUntilSettled(10);
    e2e::passThePaymentNotice(app);
    std::string read;
    const std::string code = readTheCodeTab(app, 20, &read);
    EXPECT_TRUE(app.picture("otp"));
    EXPECT_FALSE(code.empty()) << "the window's cards read \"" << read << "\", the phone's codes are "
                               << ::testing::PrintToString(codesNow(app)) << "\n"
                               << app.log();

    watchTheCardsFlip(app);
    if (HasFatalFailure()) return;

    // The verify tab approves a login the server holds. The request is made
    // once the tab is up: before, the hub's own poller (it runs on under the
    // pushed screens) may show it first as its alert over the window.
    ASSERT_TRUE(app.tapLabel("一键校验")) << shown(app);
    app.waitUntilSettled(10);
    const long long now = (long long)(foundation::clock().now() * 1000);
    app.server().control("hub", "{\"pending\": [{\"time\": " + std::to_string(now) +
                                    ", \"location\": \"浙江杭州\", \"business\": \"登录\", \"checkid\": \"WALK1\"}]}");
    ASSERT_TRUE(app.waitForText("操作类型：登录", 20)) << shown(app) << app.log();
    EXPECT_TRUE(app.picture("okv"));
    ASSERT_TRUE(app.tapText("放行"));
    ASSERT_TRUE(app.waitForText("放行操作成功", 20)) << shown(app) << app.log();
    {
        auto state = JsonParser().objectWithString(app.server().controlGet("hub"));
        ASSERT_TRUE(state);
        const foundation::Value* approvals = state->get("approvals");
        ASSERT_TRUE(approvals && approvals->asArray() && approvals->asArray()->size() == 1u)
            << app.server().controlGet("hub");
        EXPECT_EQ(approvals->at(0)->get("checkid")->description(), "WALK1");
        EXPECT_EQ(approvals->at(0)->get("uuid")->description(), stored(app, StoreKeys::uuid));
    }

    checkTheNineStarGrid(app);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(app.picture("jiuxing"));

    // Back on the hub, then the settings: a start PIN, typed twice.
    ASSERT_TRUE(app.tapLabel("返回")) << shown(app);
    ASSERT_TRUE(e2e::onTheHub(app));
    ASSERT_TRUE(app.tapText("设置"));
    ASSERT_TRUE(app.waitForText("启动密码")) << shown(app);
    ASSERT_TRUE(app.tapText("启动密码"));
    ASSERT_TRUE(app.waitForText("请输入软件启动密码")) << shown(app) << app.log();
    app.waitUntilSettled(10);
    EXPECT_TRUE(app.picture("pin-set"));
    app.type("2580");
    ASSERT_TRUE(app.waitForText("重新输入软件启动密码")) << shown(app);
    app.type("2580");
    ASSERT_TRUE(app.waitForText("设置成功")) << shown(app) << app.log();
    ASSERT_TRUE(app.tapText("确定"));
    EXPECT_TRUE(app.waitForText("异常消息推送")) << shown(app);
    EXPECT_EQ(stored(app, StoreKeys::passward), "2580");

    // Closed and started again: the PIN screen first, then the hub.
    ASSERT_TRUE(app.restart()) << app.error();
    ASSERT_TRUE(app.waitForText("请输入软件启动密码")) << shown(app) << app.log();
    app.waitUntilSettled(10);
    EXPECT_TRUE(app.picture("pin-entry"));
    app.type("2580");
    ASSERT_TRUE(app.waitForTextGone("请输入软件启动密码")) << shown(app) << app.log();
    ASSERT_TRUE(e2e::onTheHub(app));
    e2e::everyHubButtonAndBack(app);
}

TEST_F(Walk, TheRunScriptTakesANewcomerToABoundAppThatStaysBoundAcrossItsRestart) {
    // scripts/run as the README gives it: it builds the release program (a
    // no-op once built), starts the demo server and the app on this home;
    // closing the window ends both.
    e2e::Options options;
    options.program = testsupport::sourcePath("scripts/run");
    e2e::AppSession app(options);
    e2e::throughTheGuide(app);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(app.tapText("请输入序列号"));
    app.type("Q3T7K9");
    e2e::fromTheSuccessToTheHub(app);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(foundation::fileExists(app.home() + "/demo-server.json"));

    // Stopped and started again: still bound, on the hub, every button alive.
    ASSERT_TRUE(app.restart()) << app.error();
    ASSERT_TRUE(e2e::onTheHub(app, 60));
    EXPECT_FALSE(app.waitForText("未绑定", 3)) << shown(app);
    e2e::everyHubButtonAndBack(app);
}

}  // namespace
