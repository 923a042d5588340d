// The harness against a program of its own: texts are found where the window
// shows them, clicks land on them and keys become the typed text.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/e2e/AppSession.h"

TEST(AppSession, ClicksAndKeysReachTheRealWindow) {
    e2e::Options options;
    options.program = std::string(QUENTA_BINARY_DIR) + "/tests/support/e2e/selftest/e2e_probe";
    options.args = {"--scale=2"};
    e2e::AppSession app(options);
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.waitForText("显示")) << app.log();

    ASSERT_TRUE(app.tapText("输入"));
    app.type("Q3t7-K9 !");
    app.pressBackspace();
    ASSERT_TRUE(app.tapText("显示"));
    EXPECT_TRUE(app.waitForText("已输入:Q3t7-K9 ")) << "shown: " << [&] {
        std::string all;
        for (const auto& t : app.shownTexts()) all += "[" + t.text + "]";
        return all;
    }();
    // Frames are in points whatever the scale: the button comes before its title.
    auto shown = app.shownTexts();
    auto button = std::find_if(shown.begin(), shown.end(), [](const e2e::ShownText& t) { return t.text == "显示"; });
    ASSERT_NE(button, shown.end());
    EXPECT_EQ(button->frame, (ui::Rect{20, 120, 280, 44}));
    EXPECT_TRUE(app.screenshot("e2e-harness"));
    EXPECT_TRUE(app.running());
}

// Under ThreadSanitizer the program reports a race it runs into to the
// session, and the session's end fails the test with the report.
TEST(AppSession, TheProgramsSanitizerReportFailsTheTest) {
#if !defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "not a ThreadSanitizer build";
#endif
    EXPECT_NONFATAL_FAILURE(
        {
            e2e::Options options;
            options.program = std::string(QUENTA_BINARY_DIR) + "/tests/support/e2e/selftest/e2e_probe";
            options.args = {"--race"};
            e2e::AppSession app(options);
            EXPECT_TRUE(app.ok()) << app.error();
            EXPECT_NE(app.sanitizerReports().find("ThreadSanitizer: data race"), std::string::npos);
            EXPECT_TRUE(app.log().find("data race") == std::string::npos) << "the report went to the log";
        },
        "the program's sanitizer reported");
}
