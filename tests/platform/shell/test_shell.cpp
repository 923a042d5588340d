// The desktop shell under a virtual X display (Xvfb) started by the test.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/App.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ViewList.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "tests/support/TestSupport.h"

using namespace ui;

namespace {

// Starts Xvfb on a free display number and stops it at the end.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // gone with the test, even when it aborts
            int devnull = open("/dev/null", O_WRONLY);
            if (devnull >= 0) {
                dup2(devnull, 1);
                dup2(devnull, 2);
            }
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x1200x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        // Wait for Xvfb to print its display number (it does so once ready).
        while (poll(&p, 1, 20000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DISPLAY");
    }
    // The screen the shell sized goes back in the test main's reset (ui.screen).

    void useDisplay() {
        display_ = std::make_unique<VirtualDisplay>();
        ASSERT_FALSE(display_->name().empty()) << "Xvfb did not start";
        setenv("DISPLAY", display_->name().c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
    }

    // The window's pixels as the X server holds them.
    struct Shot {
        int width = 0, height = 0;
        std::vector<uint32_t> pixels;
        Rgba at(int x, int y) const {
            uint32_t v = pixels[size_t(y) * width + x];
            return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 255};
        }
    };
    Shot screenshot(SDL_Window* w) {
        Shot shot;
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return shot;
        Display* dpy = XOpenDisplay(display_->name().c_str());
        if (!dpy) return shot;
        XWindowAttributes attrs;
        XGetWindowAttributes(dpy, info.info.x11.window, &attrs);
        XImage* img = XGetImage(dpy, info.info.x11.window, 0, 0, unsigned(attrs.width), unsigned(attrs.height),
                                AllPlanes, ZPixmap);
        if (img) {
            shot.width = attrs.width;
            shot.height = attrs.height;
            for (int y = 0; y < attrs.height; ++y)
                for (int x = 0; x < attrs.width; ++x) shot.pixels.push_back(uint32_t(XGetPixel(img, x, y)));
            XDestroyImage(img);
        }
        XCloseDisplay(dpy);
        return shot;
    }

    std::unique_ptr<VirtualDisplay> display_;
};

class Recorder : public View {
public:
    using View::View;
    void touchesBegan(const TouchSet& t, const Event&) override { log += "down@" + at(t) + " "; }
    void touchesMoved(const TouchSet& t, const Event&) override { log += "move@" + at(t) + " "; }
    void touchesEnded(const TouchSet& t, const Event&) override { log += "up@" + at(t); }
    bool canBecomeFirstResponder() const override { return true; }
    void insertText(const std::string& s) override { typed += s; }
    void deleteBackward() override { typed += "<bs>"; }
    std::string at(const TouchSet& t) {
        Point p = t.front()->locationInView(this);
        return std::to_string(int(p.x)) + "," + std::to_string(int(p.y));
    }
    std::string log, typed;
};

void pushMouse(Uint32 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = x;
        e.motion.y = y;
        e.motion.state = SDL_BUTTON_LMASK;
    } else {
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = x;
        e.button.y = y;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    }
    SDL_PushEvent(&e);
}

}  // namespace

TEST_F(ShellTest, WithoutDisplayItSaysSoAndRunsHeadless) {
    shell::Shell s;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(s.start());
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("headless"), std::string::npos) << said;
    EXPECT_TRUE(s.isHeadless());
    EXPECT_EQ(s.window().bounds().size, (Size{320, 480}));
    EXPECT_EQ(s.pumpEvents(), 0);
    s.present();  // nothing to show, nothing breaks
    EXPECT_EQ(s.framesPresented(), 0);
}

TEST_F(ShellTest, OptionsPickTheScreen) {
    const char* tall[] = {"quenta", "--tall"};
    auto o = shell::ShellOptions::fromArgs(2, const_cast<char**>(tall));
    EXPECT_TRUE(o.tallScreen);
    EXPECT_EQ(o.screenSize(), (Size{320, 568}));
    EXPECT_EQ(o.screenScale(), 2);
    const char* two[] = {"quenta", "--scale=2", "--scale=7"};
    o = shell::ShellOptions::fromArgs(3, const_cast<char**>(two));
    EXPECT_FALSE(o.tallScreen);
    EXPECT_EQ(o.screenScale(), 2);
}

// What GL draws in an EGL context of the main thread reaches the real
// window, as the engine views (the code screen's digits) hand it over: drawn
// into a framebuffer, read back and made a layer's contents.
TEST_F(ShellTest, GlDrawingOfTheMainThreadShowsInTheWindow) {
    useDisplay();
    shell::Shell s;
    ASSERT_TRUE(s.start());
    if (!gl::Context::available()) GTEST_SKIP() << gl::Context::lastError();
    auto context = gl::Context::create();
    ASSERT_TRUE(context);
    ASSERT_TRUE(context->makeCurrent()) << gl::Context::lastError();
    const int w = 120, h = 80;
    GLuint fbo = 0, rb = 0;
    gl::GenFramebuffers(1, &fbo);
    gl::GenRenderbuffers(1, &rb);
    gl::BindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl::BindRenderbuffer(GL_RENDERBUFFER, rb);
    gl::RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8_OES, w, h);
    gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb);
    ASSERT_EQ(gl::CheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    gl::ClearColor(0, 1, 0, 1);
    gl::Clear(GL_COLOR_BUFFER_BIT);
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    gl::ReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());

    auto back = View::create({0, 0, 320, 480});
    back->setBackgroundColor(Color::rgba(0, 0, 1));
    s.window().addSubview(back);
    auto drawn = View::create({100, 200, double(w), double(h)});
    drawn->layer().setContents(Image::fromRgba(w, h, rgba.data()));
    back->addSubview(drawn);
    foundation::RunLoop::main().drain();
    s.present();

    Shot shot;
    for (int attempt = 0; attempt < 50; ++attempt) {
        shot = screenshot(s.sdlWindow());
        if (shot.width == 320 && shot.at(160, 240) == (Rgba{0, 255, 0, 255})) break;
        usleep(20000);
        s.present();
    }
    ASSERT_EQ(shot.width, 320);
    EXPECT_EQ(shot.at(160, 240), (Rgba{0, 255, 0, 255})) << "the GL picture";
    EXPECT_EQ(shot.at(10, 10), (Rgba{0, 0, 255, 255})) << "the view beneath";
    gl::DeleteRenderbuffers(1, &rb);
    gl::DeleteFramebuffers(1, &fbo);
}

TEST_F(ShellTest, WindowShowsTheRenderedTree) {
    useDisplay();
    shell::Shell s;
    ASSERT_TRUE(s.start());
    auto top = View::create({0, 0, 320, 240});
    top->setBackgroundColor(Color::rgba(1, 0, 0));
    s.window().addSubview(top);
    auto bottom = View::create({0, 240, 320, 240});
    bottom->setBackgroundColor(Color::rgba(0, 0, 1));
    s.window().addSubview(bottom);
    auto label = Label::create({60, 100, 200, 40});
    label->setText("安全中心");
    label->setBackgroundColor(Color::whiteColor());
    top->addSubview(label);
    foundation::RunLoop::main().drain();
    s.present();

    Shot shot;
    for (int attempt = 0; attempt < 50; ++attempt) {  // the server may take a moment to show the frame
        shot = screenshot(s.sdlWindow());
        if (shot.width == 320 && shot.at(10, 10) == (Rgba{255, 0, 0, 255})) break;
        usleep(20000);
        s.present();
    }
    ASSERT_EQ(shot.width, 320);
    ASSERT_EQ(shot.height, 480);
    EXPECT_EQ(shot.at(10, 10), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(shot.at(300, 470), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(shot.at(62, 102), (Rgba{255, 255, 255, 255}));
    int ink = 0;
    for (int y = 100; y < 140; ++y)
        for (int x = 60; x < 260; ++x) {
            Rgba p = shot.at(x, y);
            if (p.r + p.g + p.b < 300) ++ink;
        }
    EXPECT_GT(ink, 100) << "the label's text is drawn";
}

TEST_F(ShellTest, ListsTheVisibleTextsAfterEachPictureWhenAsked) {
    useDisplay();
    shell::ShellOptions o;
    o.scale = 2;
    o.viewListPath = testsupport::tempDir("viewlist") + "/views.txt";
    shell::Shell s(o);
    ASSERT_TRUE(s.start());
    // Shown with nothing on it: an empty list, but a list.
    EXPECT_EQ(foundation::readFile(o.viewListPath), std::optional<std::string>(""));

    auto panel = View::create({20, 40, 280, 200});
    s.window().addSubview(panel);
    auto title = Label::create({10, 10, 100.4, 30});
    title->setText("绑定\\手机\n第二行");
    panel->addSubview(title);
    auto hidden = Label::create({10, 60, 100, 30});
    hidden->setText("看不见");
    hidden->setHidden(true);
    panel->addSubview(hidden);
    auto faded = View::create({0, 100, 200, 50});
    faded->setAlpha(0);
    panel->addSubview(faded);
    auto underFaded = Label::create({0, 0, 50, 20});
    underFaded->setText("也看不见");
    faded->addSubview(underFaded);
    foundation::RunLoop::main().drain();
    s.present();
    // Frames in window points, whatever the scale; the text escaped to one line.
    EXPECT_EQ(foundation::readFile(o.viewListPath),
              std::optional<std::string>("30 50 100 30\t绑定\\\\手机\\n第二行\n"));

    title->setText("完成");
    foundation::RunLoop::main().drain();
    s.present();
    EXPECT_EQ(foundation::readFile(o.viewListPath), std::optional<std::string>("30 50 100 30\t完成\n"));

    // A view that shows no text but has an accessibility label (a picture
    // button, a bar of a drawn ring) is listed by its label; a view with
    // both has a line for each.
    auto picture = View::create({200, 300, 40, 20});
    picture->setAccessibilityLabel("时段 00-01");
    s.window().addSubview(picture);
    title->setAccessibilityLabel("完成按钮");
    foundation::RunLoop::main().drain();
    s.present();
    EXPECT_EQ(foundation::readFile(o.viewListPath),
              std::optional<std::string>(
                  "30 50 100 30\t完成\n30 50 100 30 label\t完成按钮\n200 300 40 20 label\t时段 00-01\n"));
}

TEST_F(ShellTest, ListSaysWhenAScreenMovesAndWhatIsCovered) {
    useDisplay();
    shell::ShellOptions o;
    o.viewListPath = testsupport::tempDir("viewlist-moving") + "/views.txt";
    shell::Shell s(o);
    ASSERT_TRUE(s.start());

    // A button whose centre lies under a later sibling that takes taps, and
    // one beside it that nothing covers.
    auto under = Label::create({10, 10, 100, 30});
    under->setText("被遮住");
    under->setUserInteractionEnabled(true);
    s.window().addSubview(under);
    auto free = Label::create({10, 100, 100, 30});
    free->setText("露在外面");
    s.window().addSubview(free);
    auto banner = View::create({0, 0, 320, 40});
    s.window().addSubview(banner);
    foundation::RunLoop::main().drain();
    s.present();
    EXPECT_EQ(foundation::readFile(o.viewListPath),
              std::optional<std::string>("10 10 100 30 covered\t被遮住\n10 100 100 30\t露在外面\n"));
    banner->removeFromSuperview();
    under->removeFromSuperview();
    free->removeFromSuperview();

    // While a pushed screen slides in, the list starts with the moving line
    // that says what moves; once it is in place, the line is gone.
    foundation::ManualClockScope clock;
    auto nav = std::make_shared<NavigationController>(std::make_shared<ViewController>());
    s.window().addSubview(nav->viewRef());
    nav->beginAppearanceTransition(true, false);
    nav->endAppearanceTransition();
    nav->pushViewController(std::make_shared<ViewController>(), true);
    EXPECT_TRUE(ui::isScreenTransitionRunning());
    s.present();
    EXPECT_EQ(foundation::readFile(o.viewListPath).value_or("").rfind(std::string(shell::kViewListMovingLine) + " ", 0),
              0u);
    EXPECT_NE(foundation::readFile(o.viewListPath).value_or("").find("transition"), std::string::npos);
    clock->advance(1.0);
    EXPECT_FALSE(ui::isScreenTransitionRunning());
    s.present();
    EXPECT_EQ(foundation::readFile(o.viewListPath).value_or("").find(shell::kViewListMovingLine), std::string::npos);
    nav->view()->removeFromSuperview();
    EXPECT_FALSE(ui::isScreenTransitionRunning());
}

// A driver that sent a click and then asked (<list>.ask) finds its question
// answered in the list of the refresh that handled the click, with what
// moves then; a question never asked is not answered.
TEST_F(ShellTest, ListAnswersTheDriverAfterTheEventsItSentAndSaysWhatMoves) {
    useDisplay();
    shell::ShellOptions o;
    o.viewListPath = testsupport::tempDir("viewlist-asked") + "/views.txt";
    const std::string ask = o.viewListPath + shell::kViewListAskSuffix;
    shell::Shell s(o);
    ASSERT_TRUE(s.start());
    foundation::ManualClockScope clock;
    auto rec = std::make_shared<Recorder>(Rect{0, 0, 100, 100});
    s.window().addSubview(rec);
    auto title = Label::create({10, 200, 100, 30});
    title->setText("标题");
    s.window().addSubview(title);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    s.refresh();
    EXPECT_EQ(foundation::readFile(o.viewListPath), std::optional<std::string>("10 200 100 30\t标题\n"));

    // The click that fades the title out, then the question.
    pushMouse(SDL_MOUSEBUTTONDOWN, 20, 20);
    pushMouse(SDL_MOUSEBUTTONUP, 20, 20);
    ASSERT_TRUE(foundation::writeFileAtomically(ask, "41\n"));
    s.refresh();
    EXPECT_EQ(rec->log, "down@20,20 up@20,20");
    EXPECT_EQ(foundation::readFile(o.viewListPath), std::optional<std::string>("#seen 41\n10 200 100 30\t标题\n"));

    View::animate(0.3, [&] { title->setAlpha(0.5); });
    ASSERT_TRUE(foundation::writeFileAtomically(ask, "42"));
    s.refresh();
    EXPECT_EQ(foundation::readFile(o.viewListPath),
              std::optional<std::string>("#moving animation\n#seen 42\n10 200 100 30\t标题\n"));
    clock->advance(0.5);
    s.refresh();
    EXPECT_EQ(foundation::readFile(o.viewListPath), std::optional<std::string>("#seen 42\n10 200 100 30\t标题\n"));
    title->removeFromSuperview();
    rec->removeFromSuperview();
}

TEST_F(ShellTest, TallScreenWindowIsSixFortyByElevenThirtySix) {
    useDisplay();
    shell::ShellOptions o;
    o.tallScreen = true;
    shell::Shell s(o);
    ASSERT_TRUE(s.start());
    int w = 0, h = 0;
    SDL_GetWindowSize(s.sdlWindow(), &w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 1136);
    EXPECT_EQ(s.window().bounds().size, (Size{320, 568}));
    EXPECT_EQ(ui::Screen::main().scale(), 2);
}

TEST_F(ShellTest, MouseBecomesTouchesAndKeysBecomeText) {
    useDisplay();
    shell::ShellOptions o;
    o.scale = 2;
    shell::Shell s(o);
    ASSERT_TRUE(s.start());
    auto rec = std::make_shared<Recorder>(Rect{100, 100, 100, 100});
    s.window().addSubview(rec);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    // Pixels at scale 2: (240, 260) is the point (120, 130).
    pushMouse(SDL_MOUSEBUTTONDOWN, 240, 260);
    pushMouse(SDL_MOUSEMOTION, 260, 280);
    pushMouse(SDL_MOUSEBUTTONUP, 600, 600);
    s.pumpEvents();
    EXPECT_EQ(rec->log, "down@20,30 move@30,40 up@200,200");
    // A click outside the view does not reach it.
    rec->log.clear();
    pushMouse(SDL_MOUSEBUTTONDOWN, 10, 10);
    pushMouse(SDL_MOUSEBUTTONUP, 10, 10);
    s.pumpEvents();
    EXPECT_EQ(rec->log, "");

    ASSERT_TRUE(rec->becomeFirstResponder());
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    std::strncpy(text.text.text, "你好", sizeof text.text.text - 1);
    SDL_PushEvent(&text);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_BACKSPACE;
    SDL_PushEvent(&key);
    s.pumpEvents();
    EXPECT_EQ(rec->typed, "你好<bs>");
    rec->resignFirstResponder();
}

TEST_F(ShellTest, ClosingTheWindowEndsTheAppThroughTheExitHook) {
    useDisplay();
    std::optional<int> exitCode;
    foundation::setExitHandler([&](int code) { exitCode = code; });
    shell::Shell s;
    ASSERT_TRUE(s.start());
    // The run loop runs until the close arrives; the shell then stops it.
    foundation::RunLoop::main().performAfter(0.05, [] {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    });
    s.run();
    EXPECT_EQ(exitCode, std::optional<int>(0));
    EXPECT_GT(s.framesPresented(), 0);
}
