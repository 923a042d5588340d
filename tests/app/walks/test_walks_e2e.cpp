// The user's road through the real program, from an empty data folder as an
// installed app starts: the guide, a binding (the demo serial, the serial's
// QR code through the file camera, an SMS, the payment app), the hub and each
// of its five buttons and back, the code tab with its digits read back from
// the window's pixels, the verify tab approving a login the server queued,
// the nine-star tab's path, the settings, a start PIN set there, the program
// closed and started again, the PIN entered, and the hub's buttons working
// after it. Two more walks take the other roads: binding by the serial's QR
// code through the camera, a new account password and the safety classroom;
// and a safe phone for remote de-registration, five wrong start PINs that
// freeze the app until the server's clock says, and the forgotten-PIN road
// that clears the PIN with the safe phone. Nothing is seeded: every state a
// walk meets, it made itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/core/GetOtp.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/pin/PinModel.h"
#include "app/screens/token/OTPLayer.h"
#include "app/screens/token/TokenModel.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Image.h"
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
    std::string found;
    app.waitUntil(
        [&] {
            std::optional<ui::Rect> countdown;
            for (const auto& t : app.shownTexts())
                if (t.text.rfind("动态口令将在", 0) == 0) countdown = t.frame;
            if (!countdown || countdown->y() <= tabs->maxY()) return false;
            auto area = app.grab({0, tabs->maxY(), 320, countdown->y() - tabs->maxY()});
            if (!area) return false;
            *lastRead = reader.read(*area, centres);
            for (const std::string& code : codesNow(app))
                if (*lastRead == code) found = code;
            return !found.empty();
        },
        seconds);
    return found;
}

// The phone's clock: the real time plus the difference the binding stored.
double phoneNow(const e2e::AppSession& app) {
    return foundation::clock().now() + std::atof(stored(app, StoreKeys::diffTime).c_str());
}

// Whether two pictures of the same size have the same pixels.
bool samePixels(const ui::Image& a, const ui::Image& b) {
    return a.pixelWidth() == b.pixelWidth() && a.pixelHeight() == b.pixelHeight() && a.rgbaPixels() == b.rgbaPixels();
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
    // The phone's clock is the real one moved by what the binding stored.
    const double difference = phoneNow(app) - foundation::clock().now();
    auto stepLeft = [&] { return 30 - std::fmod(foundation::clock().now() + difference, 30); };
    // Until a second and a half before the step ends: the phone's clock
    // moves on its own, whatever the load.
    ASSERT_TRUE(app.waitUntil([&] { return stepLeft() <= 1.5; }, 31));
    const std::string before = codesNow(app)[0];
    const std::string after = codesNow(app)[2];
    const double stepEnds = foundation::clock().now() + stepLeft();
    // The window as fast as it can be read, each new picture read as digits,
    // until the new code stands after the step's end (or, on a machine too
    // slow for it, a while after).
    std::vector<std::string> seen;
    bool turning = false;
    int pictures = 0;
    std::shared_ptr<ui::Image> previous;
    const double limit = stepEnds + testsupport::patience(10);
    while (foundation::clock().now() < limit) {
        auto picture = app.grabAsItIs(area);
        if (!picture) continue;
        if (previous && samePixels(*previous, *picture)) continue;
        previous = picture;
        ++pictures;
        const std::string read = reader.read(*picture, centres);
        if (seen.empty() || seen.back() != read) seen.push_back(read);
        // Neither code: a card part way over, or old and new digits side by side.
        if (read != before && read != after) turning = true;
        if (read == after && foundation::clock().now() > stepEnds) break;
    }
    const std::string told = ::testing::PrintToString(seen);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), after) << "read in turn: " << told << ", the codes " << before << " then " << after;
    EXPECT_TRUE(turning) << "no card was seen turning in " << pictures << " pictures: " << told;
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
    const bool shows = app.waitUntil([&] {
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
            if (wrong.empty() && drawn > 0) return true;
            lastFailure += "\ncode " + code + " path " + path + ":" + wrong;
        }
        return false;
    });
    if (!shows) ADD_FAILURE() << "the grid shows no path of the phone's codes; " << lastFailure;
}

// The camera as a person holds it up to the demo serial's QR card: six
// seconds of the card out of focus (no reader can take the code from it),
// then a second of it sharp; the feed starts over after that. A 320x240 grey
// video (YUV4MPEG2, what QUENTA_CAMERA=file: plays at 30 frames a second).
bool writeTheCameraFeed(const std::string& path) {
    const std::string card = path + ".png";
    const std::string script = testsupport::sourcePath("scripts/qr-picture");
    const std::string draw = "'" + script + "' Q3T7K9 '" + card + "' 320x240 4";
    if (std::system(draw.c_str()) != 0) return false;
    auto picture = ui::Image::fromFile(card);
    if (!picture) return false;
    const int w = picture->pixelWidth(), h = picture->pixelHeight();
    const std::vector<uint8_t> rgba = picture->rgbaPixels();
    // Luma in the video range.
    std::vector<double> sharp(size_t(w) * h);
    for (size_t i = 0; i < sharp.size(); ++i)
        sharp[i] = 16 + 219 * (0.299 * rgba[i * 4] + 0.587 * rgba[i * 4 + 1] + 0.114 * rgba[i * 4 + 2]) / 255;
    // Out of focus: three box blurs 9 pixels wide each way (the code's modules are 4).
    std::vector<double> blurred = sharp, line;
    for (int pass = 0; pass < 3; ++pass)
        for (int horizontal = 0; horizontal < 2; ++horizontal) {
            const int n = horizontal ? w : h, lines = horizontal ? h : w;
            for (int l = 0; l < lines; ++l) {
                auto at = [&](int i) -> double& {
                    return horizontal ? blurred[size_t(l) * w + i] : blurred[size_t(i) * w + l];
                };
                line.assign(size_t(n), 0);
                for (int i = 0; i < n; ++i) {
                    double sum = 0;
                    for (int k = -4; k <= 4; ++k) sum += at(std::clamp(i + k, 0, n - 1));
                    line[size_t(i)] = sum / 9;
                }
                for (int i = 0; i < n; ++i) at(i) = line[size_t(i)];
            }
        }
    std::ofstream out(path, std::ios::binary);
    out << "YUV4MPEG2 W" << w << " H" << h << " F30:1 Ip A1:1 Cmono\n";
    std::vector<char> frame(size_t(w) * h);
    for (const auto* luma : {&blurred, &sharp}) {
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<char>(static_cast<uint8_t>(std::lround(std::clamp((*luma)[i], 16.0, 235.0))));
        for (int n = 0; n < (luma == &blurred ? 180 : 30); ++n) {
            out << "FRAME\n";
            out.write(frame.data(), std::streamsize(frame.size()));
        }
    }
    return bool(out);
}

// Where the classroom's banner shows a picture of the bundle: the top of the
// 320x170 rows of the window (at scale 1) that differ least from it, and the
// mean difference per channel there (over every third pixel each way).
std::pair<int, double> whereTheBannerShows(e2e::AppSession& app, const std::string& name, int from = 0, int to = 120) {
    auto picture = ui::Image::fromFile(testsupport::sourcePath("resources/images/" + name));
    auto window = app.grab();
    std::pair<int, double> best{-1, 1e9};
    if (!picture || !window || app.scale() != 1 || picture->pixelWidth() != window->pixelWidth()) return best;
    const std::vector<uint8_t> want = picture->rgbaPixels(), got = window->rgbaPixels();
    const int w = picture->pixelWidth(), h = picture->pixelHeight();
    for (int top = from; top <= to && top + h <= window->pixelHeight(); ++top) {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < h; y += 3)
            for (int x = 0; x < w; x += 3, n += 3)
                for (int c = 0; c < 3; ++c)
                    sum +=
                        std::abs(int(want[(size_t(y) * w + x) * 4 + c]) - int(got[(size_t(top + y) * w + x) * 4 + c]));
        if (sum / n < best.second) best = {top, sum / n};
    }
    return best;
}

// Waits until the window shows an article's page of text.
bool waitForAPageOfText(e2e::AppSession& app, double seconds) {
    return app.waitUntil(
        [&] {
            auto window = app.grab();
            return window && e2e::showsAPageOfText(*window);
        },
        seconds);
}

// Taps the shown text lowest in the window (a button that repeats the
// screen's title in the bar above it, say).
bool tapTheLowest(e2e::AppSession& app, const std::string& text) {
    if (!app.waitForText(text)) return false;
    app.waitUntilSettled(10);
    std::optional<ui::Rect> lowest;
    for (const auto& t : app.shownTexts())
        if (t.text == text && !t.label && !t.covered && (!lowest || t.frame.y() > lowest->y())) lowest = t.frame;
    if (!lowest) return false;
    app.tap(lowest->center());
    return true;
}

// Types into the field that shows this placeholder.
bool typeInto(e2e::AppSession& app, const std::string& placeholder, const std::string& ascii) {
    if (!app.tapText(placeholder)) return false;
    app.type(ascii);
    return app.waitForTextGone(placeholder, 10);
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
    e2e::bindTheDemoSerialAndTapTheAdvertAway(app);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(app.picture("hub"));

    e2e::everyHubButtonAndBack(app);
    if (HasFatalFailure()) return;

    // The code tab: its digits, read from the window's pixels, are the code.
    // (Its notice was read on the first visit.)
    EXPECT_FALSE(e2e::paymentNoticeDue(app));
    ASSERT_TRUE(app.tapText("禾盾令牌"));
    ASSERT_TRUE(app.waitForLabel("动态口令")) << shown(app);
    app.waitUntilSettled(10);
    std::string read;
    const std::string code = readTheCodeTab(app, 20, &read);
    EXPECT_FALSE(code.empty()) << "the window's cards read \"" << read << "\", the phone's codes are "
                               << ::testing::PrintToString(codesNow(app)) << "\n"
                               << app.log();

    watchTheCardsFlip(app);
    if (HasFatalFailure()) return;
    // Pictured with a new step just begun: the cards lie still for most of it.
    EXPECT_TRUE(app.picture("otp"));

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

// A text (or a label) shown wholly in the window, and unless `seenOnly` in
// front: a person can see it and reach it.
::testing::AssertionResult inTheWindow(const e2e::AppSession& app, const std::string& text, bool label = false,
                                       bool seenOnly = false) {
    const auto window = app.grab();
    const double height = window ? window->pixelHeight() / app.scale() : 0;
    for (const auto& t : app.shownTexts()) {
        if (t.text != text || t.label != label) continue;
        if (t.frame.y() >= 0 && t.frame.maxY() <= height && (seenOnly || !t.covered))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << text << " lies at y " << t.frame.y() << "+" << t.frame.height() << (t.covered ? ", covered," : "")
               << " in a window " << height << " points high";
    }
    return ::testing::AssertionFailure() << text << " is not shown: " << shown(app);
}

TEST_F(Walk, OnTheTallScreenABindingEveryButtonBothCodeTabsTheVerifyTabAndTheSettings) {
    e2e::Options options;
    options.tall = true;
    e2e::AppSession app(options);
    e2e::throughTheGuide(app);
    if (HasFatalFailure()) return;
    e2e::bindTheDemoSerialAndTapTheAdvertAway(app);
    if (HasFatalFailure()) return;
    e2e::everyHubButtonAndBack(app);
    if (HasFatalFailure()) return;

    // The code tab: its digits, read from the window's pixels between the
    // tab captions and the countdown line, are the code; its buttons and the
    // payment button with its note lie in the window.
    ASSERT_TRUE(app.tapText("禾盾令牌"));
    ASSERT_TRUE(app.waitForLabel("动态口令")) << shown(app);
    app.waitUntilSettled(10);
    std::string read;
    const std::string code = readTheCodeTab(app, 20, &read);
    EXPECT_FALSE(code.empty()) << "the window's cards read \"" << read << "\", the phone's codes are "
                               << ::testing::PrintToString(codesNow(app)) << "\n"
                               << app.log();
    for (const char* control : {"朗读口令", "时间校准", "首页显示动态口令"})
        EXPECT_TRUE(inTheWindow(app, control, true));
    EXPECT_TRUE(inTheWindow(app, "开启岚付通付款验证"));
    // (The note is a button as well.)
    EXPECT_TRUE(inTheWindow(app, "当前口令不支持岚付通付款验证，点击上方按钮开启", false, true));
    EXPECT_TRUE(app.picture("otp"));
    // The code goes on the hub's page.
    ASSERT_TRUE(app.tapLabel("首页显示动态口令"));
    ASSERT_TRUE(app.waitForText("您已成功设置首页显示动态口令")) << shown(app);

    // The verify tab approves a login the server holds.
    ASSERT_TRUE(app.tapLabel("一键校验")) << shown(app);
    app.waitUntilSettled(10);
    const long long now = (long long)(foundation::clock().now() * 1000);
    app.server().control("hub", "{\"pending\": [{\"time\": " + std::to_string(now) +
                                    ", \"location\": \"浙江杭州\", \"business\": \"登录\", \"checkid\": \"TALL1\"}]}");
    ASSERT_TRUE(app.waitForText("操作类型：登录", 20)) << shown(app) << app.log();
    app.waitUntilSettled(10);
    // The row's button, in the window (the hub's own alert for the same
    // request may come in front of it).
    EXPECT_TRUE(inTheWindow(app, "放行", false, true));
    EXPECT_TRUE(app.picture("okv"));
    ASSERT_TRUE(app.tapText("放行"));
    ASSERT_TRUE(app.waitForText("放行操作成功", 20)) << shown(app) << app.log();
    // Let go from the hub's alert, the news comes as an alert too.
    if (app.frameOf("成功")) {
        ASSERT_TRUE(app.tapText("确定"));
        ASSERT_TRUE(app.waitForTextGone("放行操作成功")) << shown(app);
    }

    // The nine-star tab: the code's path, and its two buttons in the window
    // and working.
    checkTheNineStarGrid(app);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(inTheWindow(app, "时间校准"));
    EXPECT_TRUE(inTheWindow(app, "首页显示九星连珠", true));
    EXPECT_TRUE(app.picture("jiuxing"));
    const bool on = stored(app, StoreKeys::jiuxing) == "0";
    ASSERT_TRUE(app.tapLabel("首页显示九星连珠"));
    EXPECT_TRUE(app.waitForText(on ? "您已成功设置首页显示九星连珠" : "您已成功取消首页显示九星连珠")) << shown(app);
    EXPECT_EQ(stored(app, StoreKeys::jiuxing), on ? "1" : "0");

    // Back on the hub: the code in its panel, over the quick sheet's button,
    // all in the window.
    ASSERT_TRUE(app.tapLabel("返回")) << shown(app);
    ASSERT_TRUE(e2e::onTheHub(app));
    std::optional<e2e::ShownText> hubCode;
    app.waitUntil([&] {
        for (const auto& t : app.shownTexts())
            for (const std::string& c : codesNow(app))
                if (t.text == c && !t.label) hubCode = t;
        return hubCode.has_value();
    });
    ASSERT_TRUE(hubCode) << "the hub shows no code: " << shown(app);
    EXPECT_FALSE(hubCode->covered);
    const auto quick = app.frameOf("快速查看九星码");
    ASSERT_TRUE(quick);
    EXPECT_LE(hubCode->frame.maxY(), quick->y()) << "the code lies over the quick sheet's button";
    EXPECT_TRUE(inTheWindow(app, "快速查看九星码"));
    EXPECT_TRUE(app.picture("hub"));

    // The quick sheet's countdown lies in the window.
    // The sheet's countdown line: its text changes every second.
    auto countdownLine = [&]() -> std::optional<e2e::ShownText> {
        for (const auto& t : app.shownTexts())
            if (t.text.rfind("九星连珠将在", 0) == 0) return t;
        return std::nullopt;
    };
    ASSERT_TRUE(app.tapText("快速查看九星码"));
    ASSERT_TRUE(app.waitForLabel("关闭九星码")) << shown(app);
    app.waitUntilSettled(10);
    const auto line = countdownLine();
    ASSERT_TRUE(line) << shown(app);
    const auto window = app.grab();
    ASSERT_TRUE(window);
    EXPECT_LE(line->frame.maxY(), window->pixelHeight() / app.scale()) << line->text << " at " << line->frame.y();
    ASSERT_TRUE(app.tapLabel("关闭九星码")) << shown(app);
    EXPECT_TRUE(app.waitUntil([&] { return !countdownLine(); })) << shown(app);

    // The settings.
    ASSERT_TRUE(e2e::onTheHub(app));
    ASSERT_TRUE(app.tapText("设置"));
    ASSERT_TRUE(app.waitForText("异常消息推送")) << shown(app);
    EXPECT_TRUE(app.picture("settings"));
    ASSERT_TRUE(app.tapLabel("返回")) << shown(app);
    ASSERT_TRUE(e2e::onTheHub(app));
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

TEST_F(Walk, QrBindingThroughTheCameraThenANewAccountPasswordAndTheClassroom) {
    const std::string feed = testsupport::tempDir("walk-camera") + "/card.y4m";
    ASSERT_TRUE(writeTheCameraFeed(feed));
    e2e::Options options;
    options.env = {"QUENTA_CAMERA=file:" + feed};
    e2e::AppSession app(options);
    e2e::throughTheGuide(app);
    if (HasFatalFailure()) return;

    // The scanning screen shows what the camera sees: the card, a light
    // sheet with the code's dark modules blurred on it, not yet taken.
    ASSERT_TRUE(app.tapText("扫描二维码绑定"));
    ASSERT_TRUE(app.waitForText("取 消")) << shown(app) << app.log();
    app.waitUntilSettled(10);
    const auto cancel = app.frameOf("取 消");
    ASSERT_TRUE(cancel);
    int light = 0, grey = 0;
    // The camera starts as the screen has come up: its first pictures follow.
    app.waitUntil(
        [&] {
            light = grey = 0;
            if (auto preview = app.grab({0, 0, 320, cancel->y() - 12}))
                for (int y = 0; y < preview->pixelHeight(); y += 2)
                    for (int x = 0; x < preview->pixelWidth(); x += 2) {
                        const ui::Rgba p = preview->pixel(x, y);
                        const int luma = (p.r + p.g + p.b) / 3;
                        light += luma > 220;
                        grey += luma < 190;
                    }
            return light > 5000 && grey > 200;
        },
        20);
    EXPECT_GT(light, 5000) << "no card in the camera's picture";
    EXPECT_GT(grey, 200) << "no code on the card in the camera's picture";
    EXPECT_TRUE(app.picture("bind-qr"));
    ASSERT_TRUE(app.frameOf("取 消")) << "the code was taken while out of focus: " << shown(app);
    // In focus, the reader takes the serial and the phone is bound with it.
    e2e::fromTheSuccessToTheHub(app);
    if (HasFatalFailure()) return;
    e2e::tapTheAdvertAway(app);
    if (HasFatalFailure()) return;

    // A new password for the account, from the protections' first row.
    ASSERT_TRUE(app.tapText("账号保护"));
    ASSERT_TRUE(app.waitForText("快速修改密码")) << shown(app);
    app.waitForTextGone("正在获取安全操作列表");
    ASSERT_TRUE(app.tapText("快速修改密码"));
    ASSERT_TRUE(app.waitForText("请输入新密码")) << shown(app) << app.log();
    app.waitUntilSettled(10);
    app.type("Hc2026ok");
    ASSERT_TRUE(app.waitForTextGone("请输入新密码")) << shown(app);
    ASSERT_TRUE(app.tapText("显示"));
    ASSERT_TRUE(app.waitForText("隐藏")) << shown(app);
    EXPECT_TRUE(app.waitForText("Hc2026ok")) << "the password is not shown: " << shown(app);
    EXPECT_TRUE(app.picture("change-password"));
    ASSERT_TRUE(app.tapText("确认修改"));
    ASSERT_TRUE(app.waitForText("密码修改成功", 20)) << shown(app) << app.log();
    {
        auto protect = JsonParser().objectWithString(app.server().control("protect", "{}"));
        ASSERT_TRUE(protect && protect->get("password"));
        EXPECT_EQ(protect->get("password")->description(), "Hc2026ok");
    }
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.waitForTextGone("确认修改")) << shown(app);
    ASSERT_TRUE(app.tapLabel("返回")) << shown(app);
    ASSERT_TRUE(e2e::onTheHub(app));

    // The settings' safety classroom: its banner shows the first of its
    // pictures, a swipe brings the second, and a tap on it opens its article.
    ASSERT_TRUE(app.tapText("设置"));
    ASSERT_TRUE(app.tapText("安全课堂")) << shown(app);
    ASSERT_TRUE(app.waitForText("虚拟充值骗术揭秘")) << shown(app) << app.log();
    app.waitUntilSettled(10);
    const auto [top, difference] = whereTheBannerShows(app, "banner1.jpg");
    EXPECT_LT(difference, 12) << "the banner does not show its first picture (best at " << top << ")";
    EXPECT_TRUE(app.picture("classroom"));
    ASSERT_GE(top, 0);
    app.drag({280, top + 80.0}, {40, top + 80.0}, 12);
    const bool second = app.waitUntil([&] { return whereTheBannerShows(app, "banner2.jpg", top, top).second < 12; });
    ASSERT_TRUE(second) << "a swipe did not bring the banner's second picture";
    app.tap({160, top + 80.0});
    ASSERT_TRUE(app.waitForTextGone("虚拟充值骗术揭秘")) << shown(app);
    EXPECT_TRUE(waitForAPageOfText(app, 20)) << "the banner's article shows no page of text";
    // Each back button is followed to where it leads before the next tap.
    ASSERT_TRUE(app.tapLabel("返回")) << shown(app);
    ASSERT_TRUE(app.waitForText("网络兼职被骗惨")) << shown(app);
    // A row of the list opens its own article.
    ASSERT_TRUE(app.tapText("网络兼职被骗惨")) << shown(app);
    ASSERT_TRUE(app.waitForTextGone("网络兼职被骗惨")) << shown(app);
    EXPECT_TRUE(waitForAPageOfText(app, 20)) << "the row's article shows no page of text";
    ASSERT_TRUE(app.tapLabel("返回")) << shown(app);
    ASSERT_TRUE(app.waitForText("网络兼职被骗惨")) << shown(app);
    ASSERT_TRUE(app.tapLabel("返回")) << shown(app);
    EXPECT_TRUE(app.waitForText("异常消息推送")) << shown(app);
}

TEST_F(Walk, ASafePhoneThenFiveWrongPinsFreezeAndTheForgottenPinRoadLetsTheUserIn) {
    e2e::AppSession app;
    e2e::throughTheGuide(app);
    if (HasFatalFailure()) return;
    e2e::bindTheDemoSerialAndTapTheAdvertAway(app);
    if (HasFatalFailure()) return;

    // Settings, remote de-registration: a safe phone and its password.
    ASSERT_TRUE(app.tapText("设置"));
    ASSERT_TRUE(app.tapText("远程注销")) << shown(app);
    ASSERT_TRUE(app.waitForText("安全手机号（11位）")) << shown(app) << app.log();
    app.waitUntilSettled(10);
    ASSERT_TRUE(typeInto(app, "安全手机号（11位）", "13912345678")) << shown(app);
    ASSERT_TRUE(typeInto(app, "注销密码（10位以内数字）", "135790")) << shown(app);
    EXPECT_TRUE(app.waitForText("13912345678")) << shown(app);
    EXPECT_TRUE(app.picture("pin-safe-phone"));
    ASSERT_TRUE(tapTheLowest(app, "开通远程注销"));
    ASSERT_TRUE(app.waitForText("确认开启远程注销")) << shown(app);
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.waitForText("开通成功", 20)) << shown(app) << app.log();
    {
        auto phone = JsonParser().objectWithString(app.server().controlGet("safephone"));
        ASSERT_TRUE(phone && phone->get("phone") && phone->get("password"));
        EXPECT_EQ(phone->get("phone")->description(), "13912345678");
        EXPECT_EQ(phone->get("password")->description(), "135790");
    }
    EXPECT_EQ(stored(app, StoreKeys::safePhone), pin::maskPhone("13912345678"));
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.waitForText("异常消息推送")) << shown(app);

    // A start PIN, with the guard against guessing on (as it comes).
    ASSERT_TRUE(app.tapText("启动密码"));
    ASSERT_TRUE(app.waitForText("请输入软件启动密码")) << shown(app) << app.log();
    app.waitUntilSettled(10);
    app.type("2580");
    ASSERT_TRUE(app.waitForText("重新输入软件启动密码")) << shown(app);
    app.type("2580");
    ASSERT_TRUE(app.waitForText("设置成功")) << shown(app) << app.log();
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.waitForText("异常消息推送")) << shown(app);

    // Started again: five wrong PINs in a row freeze the app for half an
    // hour of the server's clock.
    const long long serverNow = (long long)foundation::clock().now();
    app.server().control("clock", "{\"time\": " + std::to_string(serverNow) + "}");
    ASSERT_TRUE(app.restart()) << app.error();
    ASSERT_TRUE(app.waitForText("请输入软件启动密码")) << shown(app) << app.log();
    for (int n = 1; n <= 4; ++n) {
        ASSERT_TRUE(app.waitForText(pin::countLabel(std::to_string(n - 1)))) << n << shown(app);
        app.type("1111");
        ASSERT_TRUE(app.waitForText("目前已经连续输错" + std::to_string(n) + "次，您剩余的尝试次数为" +
                                    std::to_string(5 - n) + "次"))
            << shown(app) << app.log();
        ASSERT_TRUE(app.tapText("确定"));
    }
    ASSERT_TRUE(app.waitForText(pin::countLabel("4"))) << shown(app);
    app.type("1111");
    const std::string frozen = pin::frozenUntilLabel(serverNow + 1800, true);
    ASSERT_TRUE(app.waitForText(frozen)) << shown(app) << app.log();
    ASSERT_TRUE(app.waitForText("检查是否已解冻")) << shown(app);
    EXPECT_TRUE(app.waitForTextGone("正在核对解冻时间...请稍候"));
    EXPECT_EQ(stored(app, StoreKeys::safe_time), std::to_string(serverNow + 1800));
    EXPECT_TRUE(app.picture("pin-freeze"));
    // Even the right PIN does nothing while frozen.
    app.type("2580");
    EXPECT_FALSE(app.waitForTextGone(frozen, 2)) << shown(app);

    // Half an hour later on the server's clock the check lets it go.
    app.server().control("clock", "{\"time\": " + std::to_string(serverNow + 1801) + "}");
    ASSERT_TRUE(app.tapText("检查是否已解冻"));
    ASSERT_TRUE(app.waitForText("软件已经解冻", 20)) << shown(app) << app.log();
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.waitForText(pin::countLabel("0"))) << shown(app);
    EXPECT_EQ(stored(app, StoreKeys::safe_time), "null");

    // The PIN forgotten: the safe phone and its password clear it, and the
    // hub comes up with every button working.
    ASSERT_TRUE(app.tapText("忘记启动密码？"));
    ASSERT_TRUE(app.waitForText("请输入开通远程注销时设置的安全手机号和注销密码")) << shown(app) << app.log();
    app.waitUntilSettled(10);
    ASSERT_TRUE(typeInto(app, "安全手机号", "13912345678")) << shown(app);
    ASSERT_TRUE(typeInto(app, "注销密码", "135790")) << shown(app);
    EXPECT_TRUE(app.picture("pin-forgotten"));
    ASSERT_TRUE(app.tapText("校验并进入软件"));
    ASSERT_TRUE(app.waitForText("启动密码删除成功", 20)) << shown(app) << app.log();
    EXPECT_EQ(stored(app, StoreKeys::passward), "null");
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(e2e::onTheHub(app));
    e2e::everyHubButtonAndBack(app);
}

}  // namespace
