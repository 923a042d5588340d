#include "tests/support/e2e/AppSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/shell/ViewList.h"
#include "tests/support/TestSupport.h"
#include "tests/support/e2e/Pixels.h"
#include "tests/support/screens/ScreenFixture.h"

// Last: the X headers define macros (Bool, None, Status) that clash with names above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

// A child process started with execvp; ended and reaped with the object.
class Child {
public:
    // With readyFd, a pipe's write end is passed as the last argument and its
    // read end handed back (Xvfb's -displayfd).
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& logPath,
          int* readyFd = nullptr) {
        int fds[2] = {-1, -1};
        if (readyFd && pipe(fds) != 0) return;
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // A test that aborts (a failed sanitizer check) takes the program
            // and the display with it instead of leaving them running.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
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
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }
    // Waits until the process has ended; false after `seconds`.
    bool waitExit(double seconds) const {
        const auto giveUp = Clock::now() + std::chrono::duration<double>(testsupport::patience(seconds));
        while (running()) {
            if (Clock::now() >= giveUp) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    bool running() const {
        if (pid_ <= 0 || exited_) return false;
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) exited_ = true;
        return !exited_;
    }

private:
    pid_t pid_ = -1;
    mutable bool exited_ = false;
};

// Windows come and go while the program runs (a window listed by
// XQueryTree may be gone when its name is asked): such errors are expected.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

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

std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            out += s[i + 1] == 'n' ? '\n' : s[i + 1];
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

struct AppSession::X {
    std::unique_ptr<Child> xvfb;
    std::unique_ptr<Child> app;
    Display* dpy = nullptr;
    Window window = 0;
    ~X() {
        app.reset();  // the program goes before its display
        if (dpy) XCloseDisplay(dpy);
        xvfb.reset();
    }
};

AppSession::AppSession(Options options) : x_(std::make_unique<X>()) {
    dir_ = testsupport::tempDir("e2e");
    home_ = dir_ + "/home";
    listPath_ = dir_ + "/views.txt";
    foundation::createDirectories(home_);

    try {
        server_ = std::make_unique<testserver::SecurityServer>();
    } catch (const std::exception& e) {
        {
            fail(std::string("the test server did not start: ") + e.what());
            return;
        }
    }

    if (options.boundAccount || options.prepare) {
        bool seeded = true;
        withHome([&] {
            if (options.boundAccount) seeded = screentest::seedBoundAccount(screentest::BoundAccount{});
            if (options.prepare) options.prepare();
        });
        if (!seeded) {
            fail("the bound account could not be written into the home");
            return;
        }
        if (options.boundAccount) {
            screentest::BoundAccount account;
            server_->control("account", "{\"devices\":{\"" + account.uuid + "\":\"" + account.mac + "\"}}");
        }
    }

    // Xvfb on a free display number, ready once it has printed the number.
    int fd = -1;
    x_->xvfb = std::make_unique<Child>(
        std::vector<std::string>{"Xvfb", "-screen", "0", "800x1200x24", "-nolisten", "tcp", "-displayfd"},
        std::vector<std::string>{}, dir_ + "/xvfb.log", &fd);
    if (fd < 0) {
        fail("Xvfb did not start");
        return;
    }
    std::string number;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, int(testsupport::patience(30) * 1000)) > 0) {
        char c;
        if (read(fd, &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fd);
    if (number.empty()) {
        fail("Xvfb gave no display number");
        return;
    }
    const std::string display = ":" + number;

    x_->dpy = XOpenDisplay(display.c_str());
    if (!x_->dpy) {
        fail("cannot open the display " + display);
        return;
    }
    XSetErrorHandler(ignoreXErrors);
    int event, error, major, minor;
    if (!XTestQueryExtension(x_->dpy, &event, &error, &major, &minor)) {
        fail("the display has no XTEST");
        return;
    }

    std::string program = options.program;
    if (program.empty())
        if (const char* chosen = std::getenv("QUENTA_E2E_PROGRAM"); chosen && *chosen) program = chosen;
    if (program.empty()) program = std::string(QUENTA_BINARY_DIR) + "/app/quenta";
    argv_ = {program};
    tall_ = options.tall;
    if (options.tall) argv_.push_back("--tall");
    argv_.insert(argv_.end(), options.args.begin(), options.args.end());
    env_ = {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "QUENTA_HOME=" + home_,
            "QUENTA_BUNDLE=" + testsupport::sourcePath("resources"),
            "QUENTA_SERVER_URL=http://127.0.0.1:" + std::to_string(server_->port()) + "/",
            "QUENTA_VIEW_LIST=" + listPath_,
            // The debug log, which log() reads and the walks look through.
            "QUENTA_LOG=1"};
    // The program's own sanitizer reports (a sanitizer build starts a
    // sanitizer program) go to files of their own, <dir>/sanitizer.<pid>,
    // instead of its log: the session's end looks for them, so a race or a
    // memory fault in the program fails the walk that reached it. The
    // options the tests run with are kept; the later log_path wins.
    for (const char* name : {"TSAN_OPTIONS", "ASAN_OPTIONS"}) {
        const char* inherited = std::getenv(name);
        std::string value = inherited && *inherited ? std::string(inherited) + ":" : "";
        env_.push_back(std::string(name) + "=" + value + "log_path=" + dir_ + "/sanitizer");
    }
    env_.insert(env_.end(), options.env.begin(), options.env.end());
    startProgram();
}

bool AppSession::startProgram(const std::vector<std::string>& moreArgs) {
    ++starts_;
    std::remove(listPath_.c_str());
    x_->window = 0;
    std::vector<std::string> argv = argv_;
    argv.insert(argv.end(), moreArgs.begin(), moreArgs.end());
    x_->app = std::make_unique<Child>(argv, env_, dir_ + "/quenta-" + std::to_string(starts_) + ".log");
    if (x_->app->pid() <= 0) {
        fail("the program could not be started");
        return false;
    }
    if (!waitFor(
            [&] {
                x_->window = findWindow(x_->dpy, "Quenta");
                XWindowAttributes attrs;
                return x_->window && XGetWindowAttributes(x_->dpy, x_->window, &attrs) &&
                       attrs.map_state == IsViewable && foundation::fileExists(listPath_);
            },
            30)) {
        fail(running() ? "no window named Quenta showed anything" : "the program ended early");
        return false;
    }
    // Pixels per point: the screen is 320 points wide.
    XWindowAttributes attrs;
    if (XGetWindowAttributes(x_->dpy, x_->window, &attrs)) scale_ = attrs.width / 320.0;
    return true;
}

bool AppSession::restart(const std::vector<std::string>& moreArgs) {
    if (!x_->dpy || !x_->app) return false;
    // The window's close button: the window manager's delete message.
    if (x_->window) {
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = x_->window;
        close.xclient.message_type = XInternAtom(x_->dpy, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = long(XInternAtom(x_->dpy, "WM_DELETE_WINDOW", False));
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent(x_->dpy, x_->window, False, NoEventMask, &close);
        XSync(x_->dpy, False);
    }
    if (!x_->app->waitExit(15)) {
        fail("the program did not end when its window was closed");
        return false;
    }
    x_->app.reset();
    return startProgram(moreArgs);
}

AppSession::~AppSession() {
    x_.reset();  // the program has ended and written all it will
    // Every report ends with a SUMMARY line (a failed internal check has
    // none); anything else in the files is the statistics of matched
    // suppressions that print_suppressions asks for, shown as output.
    const std::string reports = sanitizerReports();
    if (reports.find("SUMMARY: ") != std::string::npos || reports.find("CHECK failed") != std::string::npos)
        ADD_FAILURE() << "the program's sanitizer reported:\n" << reports;
    else if (!reports.empty())
        std::printf("the program's sanitizer:\n%s", reports.c_str());
}

std::string AppSession::sanitizerReports() const {
    std::string all;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir_, error))
        if (entry.path().filename().string().rfind("sanitizer.", 0) == 0)
            all += foundation::readFile(entry.path().string()).value_or("");
    return all;
}

void AppSession::fail(const std::string& why) { error_ = why + "\n" + log(); }

bool AppSession::waitFor(const std::function<bool()>& done, double seconds) const {
    const auto giveUp = Clock::now() + std::chrono::duration<double>(testsupport::patience(seconds));
    while (true) {
        if (done()) return true;
        if (Clock::now() >= giveUp || !running()) return done();
        // The next try once the program has refreshed its window again (a
        // program that does not answer soon is asked again).
        answered(ask(), 0.25);
    }
}

bool AppSession::waitUntil(const std::function<bool()>& done, double seconds) const { return waitFor(done, seconds); }

long AppSession::ask() const {
    ++asked_;
    foundation::writeFileAtomically(listPath_ + shell::kViewListAskSuffix, std::to_string(asked_) + "\n");
    return asked_;
}

namespace {

// The question a list answers (its "#seen" line); 0 when none.
long seenIn(const std::string& list) {
    const std::string seen = std::string(shell::kViewListSeenLine) + " ";
    for (size_t at = 0; at < list.size() && list[at] == '#';) {
        const size_t end = std::min(list.find('\n', at), list.size());
        if (list.compare(at, seen.size(), seen) == 0) return std::atol(list.c_str() + at + seen.size());
        at = end + 1;
    }
    return 0;
}

bool movingIn(const std::string& list) {
    const std::string moving = shell::kViewListMovingLine;
    return list.compare(0, moving.size(), moving) == 0;
}

}  // namespace

std::optional<std::string> AppSession::answered(long question, double seconds) const {
    const auto giveUp = Clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        auto list = foundation::readFile(listPath_);
        if (list && seenIn(*list) >= question) return list;
        if (Clock::now() >= giveUp || !running()) return std::nullopt;
        // The program answers on its next refresh, a sixtieth of a second
        // away when it gets the processor.
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
}

bool AppSession::waitUntilStill(double seconds) const {
    if (!x_ || !x_->app) return false;
    const long question = ask();
    const double limit = testsupport::patience(seconds);
    const auto giveUp = Clock::now() + std::chrono::duration<double>(limit);
    std::string last;
    while (true) {
        const double left = std::chrono::duration<double>(giveUp - Clock::now()).count();
        auto list = answered(question, std::max(0.0, left));
        if (list && !movingIn(*list)) {
            stillError_.clear();
            return true;
        }
        if (list) last = list->substr(0, list->find('\n'));
        if (!list || Clock::now() >= giveUp) {
            stillError_ = !running()     ? "the program ended"
                          : last.empty() ? "the program did not answer in " + std::to_string(limit) + " s"
                                         : "the screen still moves after " + std::to_string(limit) + " s: " + last;
            std::fprintf(stderr, "e2e: %s\n", stillError_.c_str());
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
}

std::vector<ShownText> AppSession::shownTexts() const {
    waitUntilStill();
    return shownTextsNow();
}

std::vector<ShownText> AppSession::shownTextsNow() const {
    return parseList(foundation::readFile(listPath_).value_or(""));
}

std::vector<ShownText> AppSession::parseList(const std::string& list) {
    std::vector<ShownText> out;
    std::istringstream in(list);
    std::string line;
    while (std::getline(in, line)) {
        auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        std::istringstream frame(line.substr(0, tab));
        ShownText t;
        frame >> t.frame.origin.x >> t.frame.origin.y >> t.frame.size.width >> t.frame.size.height;
        for (std::string mark; frame >> mark;) {
            if (mark == "covered") t.covered = true;
            if (mark == "label") t.label = true;
        }
        t.text = unescape(line.substr(tab + 1));
        out.push_back(std::move(t));
    }
    return out;
}

std::optional<ui::Rect> AppSession::frameOf(const std::string& text, bool label) const {
    std::optional<ui::Rect> frame;
    for (const auto& t : shownTexts())
        if (t.text == text && t.label == label) frame = t.frame;
    return frame;
}

bool AppSession::waitForText(const std::string& text, double seconds) {
    return waitFor([&] { return frameOf(text).has_value(); }, seconds);
}

bool AppSession::waitForLabel(const std::string& label, double seconds) {
    return waitFor([&] { return frameOf(label, true).has_value(); }, seconds);
}

bool AppSession::waitForTextGone(const std::string& text, double seconds) {
    return waitFor([&] { return !frameOf(text).has_value(); }, seconds);
}

bool AppSession::waitForLabelGone(const std::string& label, double seconds) {
    return waitFor([&] { return !frameOf(label, true).has_value(); }, seconds);
}

bool AppSession::tapFound(const std::string& text, bool label, double seconds) {
    auto find = [&]() -> std::optional<ui::Rect> {
        std::optional<ui::Rect> frame;
        for (const auto& t : shownTexts())
            if (t.text == text && t.label == label && !t.covered) frame = t.frame;
        return frame;
    };
    // Each look is at a still screen after all that was sent before, so the
    // frame found is where the text stays: clicked at once.
    std::optional<ui::Rect> frame;
    if (!waitFor([&] { return (frame = find()).has_value(); }, seconds)) return false;
    click(frame->center());
    return true;
}

bool AppSession::tapText(const std::string& text, double seconds) { return tapFound(text, false, seconds); }

bool AppSession::tapLabel(const std::string& label, double seconds) { return tapFound(label, true, seconds); }

namespace {

void movePointer(Display* dpy, Window window, ui::Point p, double scale) {
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), int(p.x * scale), int(p.y * scale), &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(dpy, -1, rootX, rootY, CurrentTime);
    XSync(dpy, False);
}

}  // namespace

void AppSession::tap(ui::Point point) {
    if (!x_->dpy || !x_->window) return;
    waitUntilStill();
    click(point);
}

void AppSession::click(ui::Point point) {
    movePointer(x_->dpy, x_->window, point, scale_);
    XTestFakeButtonEvent(x_->dpy, 1, True, CurrentTime);
    XSync(x_->dpy, False);
    XTestFakeButtonEvent(x_->dpy, 1, False, CurrentTime);
    XSync(x_->dpy, False);
}

void AppSession::drag(ui::Point from, ui::Point to, int steps) {
    if (!x_->dpy || !x_->window) return;
    steps = std::max(1, steps);
    waitUntilStill();
    movePointer(x_->dpy, x_->window, from, scale_);
    XTestFakeButtonEvent(x_->dpy, 1, True, CurrentTime);
    XSync(x_->dpy, False);
    for (int i = 1; i <= steps; ++i) {
        double f = double(i) / steps;
        movePointer(x_->dpy, x_->window, {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f}, scale_);
        // The program takes each move in a refresh of its own, as it does a
        // finger's.
        answered(ask(), testsupport::patience(10));
    }
    XTestFakeButtonEvent(x_->dpy, 1, False, CurrentTime);
    XSync(x_->dpy, False);
}

namespace {

void pressKeysym(Display* dpy, KeySym sym) {
    KeyCode code = XKeysymToKeycode(dpy, sym);
    if (!code) return;
    // Shift when the key gives the symbol only on its second level.
    bool shift = XkbKeycodeToKeysym(dpy, code, 0, 0) != sym && XkbKeycodeToKeysym(dpy, code, 0, 1) == sym;
    KeyCode shiftCode = XKeysymToKeycode(dpy, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(dpy, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(dpy, shiftCode, False, CurrentTime);
    XSync(dpy, False);
}

}  // namespace

void AppSession::type(const std::string& ascii) {
    if (!x_->dpy || !x_->window) return;
    waitUntilStill();
    // Keys go where the pointer is (no window manager): over the window.
    movePointer(x_->dpy, x_->window, {1, 1}, scale_);
    for (char c : ascii) {
        KeySym sym = c == ' ' ? XK_space : KeySym(static_cast<unsigned char>(c));
        pressKeysym(x_->dpy, sym);
    }
}

void AppSession::pressBackspace() {
    if (!x_->dpy) return;
    waitUntilStill();
    pressKeysym(x_->dpy, XK_BackSpace);
}

void AppSession::pressReturn() {
    if (!x_->dpy) return;
    waitUntilStill();
    pressKeysym(x_->dpy, XK_Return);
}

std::shared_ptr<ui::Image> AppSession::grab() const { return grab(ui::Rect{0, 0, 1e6, 1e6}); }

std::shared_ptr<ui::Image> AppSession::grab(const ui::Rect& points) const {
    if (!x_->dpy || !x_->window) return nullptr;
    waitUntilStill();
    return grabAsItIs(points);
}

std::shared_ptr<ui::Image> AppSession::grabAsItIs(const ui::Rect& points) const {
    if (!x_->dpy || !x_->window) return nullptr;
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(x_->dpy, x_->window, &attrs) || attrs.map_state != IsViewable) return nullptr;
    // The rect in pixels, clipped to the window.
    const int x0 = std::clamp(int(std::lround(points.x() * scale_)), 0, attrs.width);
    const int y0 = std::clamp(int(std::lround(points.y() * scale_)), 0, attrs.height);
    const int x1 = std::clamp(int(std::lround(points.maxX() * scale_)), x0, attrs.width);
    const int y1 = std::clamp(int(std::lround(points.maxY() * scale_)), y0, attrs.height);
    if (x1 <= x0 || y1 <= y0) return nullptr;
    XImage* img = XGetImage(x_->dpy, x_->window, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0), AllPlanes, ZPixmap);
    if (!img) return nullptr;
    std::vector<uint8_t> rgba;
    rgba.reserve(size_t(x1 - x0) * (y1 - y0) * 4);
    for (int y = 0; y < y1 - y0; ++y)
        for (int x = 0; x < x1 - x0; ++x) {
            unsigned long v = XGetPixel(img, x, y);
            rgba.insert(rgba.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 255});
        }
    XDestroyImage(img);
    return ui::Image::fromRgba(x1 - x0, y1 - y0, rgba.data());
}

bool AppSession::screenshot(const std::string& name) const {
    auto shot = grab();
    if (!shot) return false;
    const std::string shots = std::string(QUENTA_BINARY_DIR) + "/screenshots";
    foundation::createDirectories(shots);
    return shot->writePNG(shots + "/" + name + ".png");
}

bool AppSession::picture(const std::string& name) {
    const char* docs = std::getenv("QUENTA_E2E_SHOTS");
    if (!docs || !*docs) return true;
    // The screen is still (grab waits for it); what the program draws by
    // itself (a GL view) may still be changing: wait for two grabs a refresh
    // apart that look alike as well (a screen that keeps sparkling is taken
    // after a few seconds as it is).
    auto shot = grab();
    const auto giveUp = Clock::now() + std::chrono::duration<double>(testsupport::patience(3));
    while (shot && Clock::now() < giveUp) {
        answered(ask(), testsupport::patience(3));
        auto next = grab();
        if (!next) break;
        const bool still = meanDifference(*shot, *next) < 0.25;
        shot = std::move(next);
        if (still) break;
    }
    // The tall screen's pictures go beside the others, into <dir>-tall.
    const std::string dir = std::string(docs) + (tall_ ? "-tall" : "");
    foundation::createDirectories(dir);
    return shot && shot->writePNG(dir + "/" + name + ".png");
}

bool AppSession::running() const { return x_ && x_->app && x_->app->running(); }

std::string AppSession::log() const {
    return foundation::readFile(dir_ + "/quenta-" + std::to_string(starts_) + ".log").value_or("");
}

std::string AppSession::defaultsPath() const { return home_ + "/Library/Preferences/quenta.defaults"; }

void AppSession::withHome(const std::function<void()>& f) const {
    const char* before = std::getenv("QUENTA_HOME");
    std::string saved = before ? before : "";
    setenv("QUENTA_HOME", home_.c_str(), 1);
    foundation::resetProcessWideObjects();
    f();
    foundation::resetProcessWideObjects();
    if (before)
        setenv("QUENTA_HOME", saved.c_str(), 1);
    else
        unsetenv("QUENTA_HOME");
}

}  // namespace e2e
