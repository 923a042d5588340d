// The real program under a virtual X display: it opens its window on the
// launch screen, routes, and leaves its first-run state behind. The window's
// pixels are saved as a screenshot in the build folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Image.h"
#include "tests/support/TestSupport.h"

// Last: the X headers define macros (Bool, None, Status) that clash with names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// A child process started with execv; killed and reaped at the end.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& logPath,
          int* readyFd = nullptr) {
        int fds[2] = {-1, -1};
        if (readyFd && pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
            unsetenv("QUENTA_TEST");  // the program logs to its stderr
            int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            std::vector<std::string> args = argv;
            if (readyFd) {
                close(fds[0]);
                args.push_back(std::to_string(fds[1]));
            }
            std::vector<char*> raw;
            for (auto& a : args) raw.push_back(a.data());
            raw.push_back(nullptr);
            execvp(raw[0], raw.data());
            _exit(127);
        }
        if (readyFd) {
            close(fds[1]);
            *readyFd = fds[0];
        }
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

// Xvfb on a free display number, ready once it has printed the number.
std::string startXvfb(std::unique_ptr<Child>& xvfb, const std::string& log) {
    int fd = -1;
    xvfb = std::make_unique<Child>(
        std::vector<std::string>{"Xvfb", "-screen", "0", "800x1200x24", "-nolisten", "tcp", "-displayfd"},
        std::vector<std::string>{}, log, &fd);
    if (fd < 0) return "";
    std::string number;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 30000) > 0) {
        char c;
        if (read(fd, &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fd);
    return number.empty() ? "" : ":" + number;
}

// Windows come and go while the program starts (a window listed by
// XQueryTree may be gone when its name is asked): such errors are expected
// here, not fatal.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// The top-level window with this name, or 0.
Window findWindow(Display* dpy, const char* name) {
    Window root = DefaultRootWindow(dpy), parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (!XQueryTree(dpy, root, &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
        char* title = nullptr;
        if (XFetchName(dpy, children[i], &title) && title) {
            if (std::string(title) == name) found = children[i];
            XFree(title);
        }
    }
    if (children) XFree(children);
    return found;
}

// The window's pixels as straight RGBA rows; empty when unreadable.
std::shared_ptr<ui::Image> grab(Display* dpy, Window w) {
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(dpy, w, &attrs) || attrs.map_state != IsViewable) return nullptr;
    XImage* img = XGetImage(dpy, w, 0, 0, unsigned(attrs.width), unsigned(attrs.height), AllPlanes, ZPixmap);
    if (!img) return nullptr;
    std::vector<uint8_t> rgba;
    rgba.reserve(size_t(attrs.width) * attrs.height * 4);
    for (int y = 0; y < attrs.height; ++y)
        for (int x = 0; x < attrs.width; ++x) {
            unsigned long v = XGetPixel(img, x, y);
            rgba.insert(rgba.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 255});
        }
    XDestroyImage(img);
    return ui::Image::fromRgba(attrs.width, attrs.height, rgba.data());
}

// Mean difference per channel (0-255); a large number for different sizes.
double difference(const ui::Image& a, const ui::Image& b) {
    if (a.pixelWidth() != b.pixelWidth() || a.pixelHeight() != b.pixelHeight()) return 1e9;
    auto pa = a.rgbaPixels(), pb = b.rgbaPixels();
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < pa.size(); i += 4)
        for (size_t c = 0; c < 3; ++c, ++n) sum += std::abs(int(pa[i + c]) - int(pb[i + c]));
    return sum / double(n);
}

struct ScreenCase {
    const char* name;
    std::vector<std::string> args;
    const char* launchImage;
    std::optional<std::string> handBackToken;
};

void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

class EndToEnd : public ::testing::TestWithParam<ScreenCase> {};

}  // namespace

TEST_P(EndToEnd, ProgramOpensOnTheLaunchScreen) {
    const ScreenCase& s = GetParam();
    const std::string dir = testsupport::tempDir("e2e");
    std::unique_ptr<Child> xvfb;
    const std::string display = startXvfb(xvfb, dir + "/xvfb.log");
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";

    const std::string home = dir + "/home";
    std::vector<std::string> argv{std::string(QUENTA_BINARY_DIR) + "/app/quenta"};
    argv.insert(argv.end(), s.args.begin(), s.args.end());
    Child app(argv,
              {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "QUENTA_HOME=" + home,
               "QUENTA_BUNDLE=" + testsupport::sourcePath("resources")},
              dir + "/quenta.log");
    ASSERT_GT(app.pid(), 0);

    auto expected = ui::Image::fromFile(testsupport::sourcePath(std::string("resources/images/") + s.launchImage));
    ASSERT_NE(expected, nullptr);

    Display* dpy = XOpenDisplay(display.c_str());
    ASSERT_NE(dpy, nullptr);
    XSetErrorHandler(ignoreXErrors);
    // Wait (without a limit on how fast) until the window shows the launch
    // image, the program ends, or half a minute passes.
    std::shared_ptr<ui::Image> shot;
    double best = 1e9;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < giveUp && app.running()) {
        if (Window w = findWindow(dpy, "Quenta")) {
            shot = grab(dpy, w);
            if (shot && (best = difference(*shot, *expected)) < 3) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    XCloseDisplay(dpy);
    const std::string log = foundation::readFile(dir + "/quenta.log").value_or("");
    ASSERT_TRUE(app.running()) << "the program ended early:\n" << log;
    ASSERT_NE(shot, nullptr) << "no window named Quenta\n" << log;

    const std::string shots = std::string(QUENTA_BINARY_DIR) + "/screenshots";
    foundation::createDirectories(shots);
    ASSERT_TRUE(shot->writePNG(shots + "/launch-" + s.name + ".png"));
    EXPECT_EQ(shot->pixelWidth(), expected->pixelWidth());
    EXPECT_EQ(shot->pixelHeight(), expected->pixelHeight());
    EXPECT_LT(best, 3) << "the window does not show the launch image";

    // The start ran: push state, the first-run marker, and the router's way
    // on to the guide (whose screen is not in the map yet).
    foundation::UserDefaults defaults(home + "/Library/Preferences/quenta.defaults");
    EXPECT_EQ(defaults.stringForKey("isPushInfo"), std::string("1"));
    EXPECT_EQ(defaults.integerForKey("uniqueuser"), 1);
    EXPECT_NE(log.find("segue \"welcome\" leads to the unknown screen \"GuideViewController\""), std::string::npos)
        << log;
    // A hand-back given on the command line reached the delegate.
    EXPECT_EQ(defaults.stringForKey("korvextoken"), s.handBackToken);
}

INSTANTIATE_TEST_SUITE_P(Start, EndToEnd,
                         ::testing::Values(ScreenCase{"320x480",
                                                      {"--open-url",
                                                       "kavocenter://nimbra/?%7B%22memo%22%3A%7B%22ResultStatus%22%3A"
                                                       "9000%2C%22result%22%3A%22token%3D%5C%22e2e%5C%22%22%7D%7D",
                                                       "--source-app", "com.korvex.client"},
                                                      "Default.png",
                                                      "e2e"},
                                           ScreenCase{"640x1136", {"--tall"}, "Default-568h@2x.png", std::nullopt}),
                         [](const ::testing::TestParamInfo<ScreenCase>& info) {
                             std::string n = info.param.name;
                             return "Screen" + n.substr(0, n.find('x')) + "x" + n.substr(n.find('x') + 1);
                         });
