// The worked example: the model alone, then the screen on the screen
// fixture (bound account, test server, manual clock, headless driver), then
// its picture.
#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Paths.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Image.h"
#include "tests/app/screens/example/ClockExampleModel.h"
#include "tests/app/screens/example/ClockExampleScreen.h"
#include "tests/app/screens/example/ExampleScreenShots.h"
#include "tests/support/TestSupport.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

TEST(ClockExampleModel, CaptionsOfTheDifference) {
    struct Case {
        const char* reply;
        double device;
        const char* caption;
    };
    const Case cases[] = {
        {"1700000042", 1700000000.0, "本机时间比服务器慢 42 秒"},
        {"1700000000", 1700000042.9, "本机时间比服务器快 42 秒"},
        {"1700000000", 1700000000.7, "本机时间与服务器一致"},
        {"", 1700000000.0, "无法读取服务器时间"},
        {"17000x", 1700000000.0, "无法读取服务器时间"},
        {"-5", 0.0, "无法读取服务器时间"},
        {"9999999999999999999999", 0.0, "无法读取服务器时间"},  // past 64 bits: unreadable, not a crash
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClockExampleModel::fromReply(c.reply, c.device).caption(), c.caption) << c.reply;
}

class ClockExampleTest : public screentest::ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) return;
        map = exampleScreenMap();
        screen = std::dynamic_pointer_cast<ClockExampleScreen>(show(*map, kClockExampleScreen));
        ASSERT_TRUE(screen);
    }
    void TearDown() override {
        screen.reset();
        ScreenFixture::TearDown();
    }
    // Waits until the command's overlay has let go, then plays its fade.
    void finishOverlay() {
        ASSERT_TRUE(waitFor([&] {
            auto h = screen->hud(ClockExampleScreen::kTagTime);
            return !h || !h->taskInProgress();
        }));
        driver().advance(0.35);
    }

    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<ClockExampleScreen> screen;
};

TEST_F(ClockExampleTest, TheButtonSendsTheTimeCommandAndTheReplyFillsTheCaption) {
    // The device's clock is the manual one; the server's is fixed 42 s ahead.
    server().control("clock", "{\"time\": " + std::to_string((long long)clock().now() + 42) + "}");
    ASSERT_TRUE(driver().tapText("校准"));
    EXPECT_NE(driver().findByText("正在校准时间"), nullptr);
    ASSERT_TRUE(waitFor([&] { return screen->captionLabel()->text() != "尚未校准"; }));
    EXPECT_EQ(screen->captionLabel()->text(), "本机时间比服务器慢 42 秒");
    // One command, no handshake, carrying the seeded account's uuid.
    EXPECT_EQ(commands(), std::vector<int>{20});
    foundation::Array log = serverLog();
    EXPECT_EQ(*log.back().get("fields")->asArray()->at(0).asString(), account().uuid);
    finishOverlay();
    EXPECT_EQ(driver().findByText("正在校准时间"), nullptr);
}

TEST_F(ClockExampleTest, AGarbledReplyShowsTheWarningAndKeepsTheCaption) {
    script({{"command", 20}, {"fault", "garbled"}});
    ASSERT_TRUE(driver().tapText("校准"));
    ASSERT_TRUE(waitFor([&] { return ui::AlertView::frontmost() != nullptr; }));
    EXPECT_EQ(ui::AlertView::frontmost()->title(), "警告");
    EXPECT_EQ(ui::AlertView::frontmost()->message(), kNetworkUnstableMessage);
    EXPECT_EQ(screen->captionLabel()->text(), "尚未校准");
    finishOverlay();
}

TEST(ClockExampleScreenShot, DrawsTheScreenWithItsBar) {
    const std::string path = testsupport::tempDir("shots") + "/clock-example.png";
    foundation::ErrorRef error;
    ASSERT_TRUE(screenshots::renderScreenShot(exampleScreenMap, exampleScreenShots().at(0), path, &error))
        << error->description();
    auto picture = ui::Image::fromFile(path);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelWidth(), 640);
    EXPECT_EQ(picture->pixelHeight(), 960);
    // The navigation bar is drawn over the top, the white screen under it.
    ui::Rgba bar = picture->pixel(320, 60);
    ui::Rgba body = picture->pixel(20, 700);
    EXPECT_EQ(body.r, 255);
    EXPECT_EQ(body.g, 255);
    EXPECT_NE(bar.r + bar.g + bar.b, 3 * 255);

    // A screen the map does not have is an error, not an empty picture.
    screenshots::ScreenShot missing;
    missing.name = "missing";
    missing.screen = "NoSuchScreen";
    EXPECT_FALSE(screenshots::renderScreenShot(exampleScreenMap, missing, path + ".2", &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(screenshots::kScreenShotErrorDomain, screenshots::kScreenShotNoSuchScreen));
    EXPECT_EQ(error->message, "the screen map has no screen \"NoSuchScreen\"");
    EXPECT_FALSE(foundation::fileExists(path + ".2"));
}

}  // namespace
