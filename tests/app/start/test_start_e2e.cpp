// The real program under a virtual X display: it opens its window on the
// launch screen, routes to the first-start guide, and leaves its first-run
// state behind. The window's
// pixels are saved as a screenshot in the build folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Image.h"
#include "tests/support/TestSupport.h"
#include "tests/support/e2e/AppSession.h"
#include "tests/support/e2e/Pixels.h"

namespace {

struct ScreenCase {
    const char* name;
    std::vector<std::string> args;
    const char* firstGuidePage;
    std::optional<std::string> handBackToken;
    bool tall = false;
};

void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

class EndToEnd : public ::testing::TestWithParam<ScreenCase> {};

}  // namespace

TEST_P(EndToEnd, ProgramOpensOnTheLaunchScreenAndRoutesToTheGuide) {
    const ScreenCase& s = GetParam();
    e2e::Options options;
    options.args = s.args;
    options.tall = s.tall;
    e2e::AppSession app(options);
    ASSERT_TRUE(app.ok()) << app.error();
    auto expected = ui::Image::fromFile(testsupport::sourcePath(std::string("resources/images/") + s.firstGuidePage));
    ASSERT_NE(expected, nullptr);

    // Wait (without a limit on how fast) until the window shows the guide's
    // first page (its picture under the page dots and the skip button), the
    // program ends, or half a minute passes.
    std::shared_ptr<ui::Image> shot;
    double best = 1e9;
    app.waitUntil([&] {
        shot = app.grab();
        return shot && (best = e2e::meanDifference(*shot, *expected)) < 3;
    });
    const std::string log = app.log();
    ASSERT_TRUE(app.running()) << "the program ended early:\n" << log;
    ASSERT_NE(shot, nullptr) << "the window could not be read\n" << log;
    EXPECT_TRUE(app.screenshot(std::string("launch-") + s.name));
    if (!s.tall) {
        EXPECT_TRUE(app.picture("launch"));
    }
    EXPECT_EQ(shot->pixelWidth(), expected->pixelWidth());
    EXPECT_EQ(shot->pixelHeight(), expected->pixelHeight());
    EXPECT_LT(best, 3) << "the window does not show the guide";

    // The start ran: push state, the first-run marker, and the router's way
    // on to the guide.
    foundation::UserDefaults defaults(app.defaultsPath());
    EXPECT_EQ(defaults.stringForKey("isPushInfo"), std::string("1"));
    EXPECT_EQ(defaults.integerForKey("uniqueuser"), 1);
    EXPECT_TRUE(app.waitForText("跳过")) << log;
    EXPECT_EQ(log.find("unknown screen \"GuideViewController\""), std::string::npos) << log;
    // A hand-back given on the command line reached the delegate.
    EXPECT_EQ(defaults.stringForKey("korvextoken"), s.handBackToken);
}

// Two programs on one data folder would undo each other's store and
// defaults: the second is refused before it opens a window, saying why, and
// the first runs on; once the first has ended, a program starts there again.
TEST(EndToEndDataFolder, ASecondProgramOnTheSameDataFolderIsRefused) {
    e2e::AppSession app;
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.waitForText("跳过")) << app.log();
    std::string program = std::string(QUENTA_BINARY_DIR) + "/app/quenta";
    if (const char* chosen = std::getenv("QUENTA_E2E_PROGRAM"); chosen && *chosen) program = chosen;
    const std::string command = "QUENTA_HOME='" + app.home() + "' '" + program + "' 2>&1";
    FILE* second = popen(command.c_str(), "r");
    ASSERT_NE(second, nullptr);
    std::string said;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, second)) said.append(buffer, n);
    const int status = pclose(second);
    ASSERT_TRUE(WIFEXITED(status)) << said;
    EXPECT_NE(WEXITSTATUS(status), 0) << said;
    EXPECT_NE(said.find("禾盾已在运行：数据文件夹 " + app.home() + " 正由另一个禾盾窗口使用"), std::string::npos)
        << said;
    EXPECT_TRUE(app.running());
    EXPECT_TRUE(app.waitForText("跳过")) << app.log();
    // Closed as a person closes it, the folder is free for the next start.
    ASSERT_TRUE(app.restart()) << app.error();
    EXPECT_TRUE(app.running());
    EXPECT_EQ(app.log().find("禾盾已在运行"), std::string::npos) << app.log();
}

INSTANTIATE_TEST_SUITE_P(Start, EndToEnd,
                         ::testing::Values(ScreenCase{"320x480",
                                                      {"--open-url",
                                                       "kavocenter://nimbra/?%7B%22memo%22%3A%7B%22ResultStatus%22%3A"
                                                       "9000%2C%22result%22%3A%22token%3D%5C%22e2e%5C%22%22%7D%7D",
                                                       "--source-app", "com.korvex.client"},
                                                      "lead111.jpg",
                                                      "e2e",
                                                      false},
                                           ScreenCase{"640x1136", {}, "lead111-568h@2x.png", std::nullopt, true}),
                         [](const ::testing::TestParamInfo<ScreenCase>& info) {
                             std::string n = info.param.name;
                             return "Screen" + n.substr(0, n.find('x')) + "x" + n.substr(n.find('x') + 1);
                         });
