#pragma once
// The real program, driven as a person drives it: a virtual X display (Xvfb),
// the test security server on a free port of 127.0.0.1, and app/quenta with a
// home folder of its own, started against that server. Views are found by the
// text they show (the program lists its visible texts and their frames, see
// platform/shell/ViewList.h), clicked with real pointer events and typed into
// with real key events through the XTEST extension; the window's pixels are
// read back for screenshots.
//
// Every step waits for a still screen first: the driver asks the program to
// answer (platform/shell/ViewList.h, "#seen") after the input it sent, and
// the program's answer says whether anything on its screen moves (a screen
// moving in or out, a view animation, a scroll view moving, a pending
// layout: "#moving ..."). Waits end when what they wait for happens, or
// after a limit in seconds on a quiet machine that testsupport::patience()
// scales (QUENTA_TEST_TIME_SCALE); nothing here sleeps a fixed time.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "tests/server/TestServer.h"

namespace e2e {

struct Options {
    // Seed the home as a bound account (the store and defaults a finished
    // binding leaves, screentest::BoundAccount) and tell the server the phone
    // is bound.
    bool boundAccount = false;
    // 320x568 points at scale 2 instead of 320x480 at scale 1.
    bool tall = false;
    // More arguments for the program.
    std::vector<std::string> args;
    // The program to start; empty: QUENTA_E2E_PROGRAM when set (CI runs the
    // walks on the release binary that way), else the app (<build>/app/quenta).
    std::string program;
    // More environment for the program ("NAME=value"), e.g. QUENTA_CAMERA.
    std::vector<std::string> env;
    // Called with the home folder before the program starts (the process's
    // QUENTA_HOME points there meanwhile), to seed more store rows or defaults.
    std::function<void()> prepare;
};

// A visible text of the window and its frame in window points.
struct ShownText {
    std::string text;
    ui::Rect frame;
    // Another view is in front of the text's centre: a tap there reaches it.
    bool covered = false;
    // The text is a view's accessibility label (a picture button, a bar of a
    // drawn ring), not what it shows.
    bool label = false;
};

class AppSession {
public:
    // Starts everything and waits until the window is up. Failures are
    // reported by ok() and error(), so a test can ASSERT on them.
    explicit AppSession(Options options = {});
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // The visible texts once the screen is still, frontmost last
    // (accessibility labels included, marked `label`).
    std::vector<ShownText> shownTexts() const;
    // The frame of the frontmost visible view showing this text (or, with
    // `label`, carrying this accessibility label); nullopt when none does.
    std::optional<ui::Rect> frameOf(const std::string& text, bool label = false) const;
    // Waits until a visible view shows exactly this text; false after `seconds`.
    bool waitForText(const std::string& text, double seconds = 30);
    // Waits until no visible view shows this text.
    bool waitForTextGone(const std::string& text, double seconds = 30);
    bool waitForLabelGone(const std::string& label, double seconds = 30);
    // Waits until the program has handled all the input sent so far and
    // says nothing on its screen moves (ViewList.h), as a person waits
    // before tapping; false when it still moves after `seconds` (what moves
    // is then in stillError()).
    bool waitUntilStill(double seconds = 30) const;
    // The same (the older name).
    bool waitUntilSettled(double seconds = 30) { return waitUntilStill(seconds); }
    // What moved when the last wait for a still screen gave up; "" when it did not.
    const std::string& stillError() const { return stillError_; }
    // Checks `done` after each refresh of the program's window until it
    // holds; false when it still does not after `seconds`.
    bool waitUntil(const std::function<bool()>& done, double seconds = 30) const;
    // Waits for the text and for the screen to settle, then clicks the centre
    // of the frontmost view showing it that nothing covers (a notice sliding
    // over it is waited out).
    bool tapText(const std::string& text, double seconds = 30);
    // The same for a view found by its accessibility label.
    bool tapLabel(const std::string& label, double seconds = 30);
    bool waitForLabel(const std::string& label, double seconds = 30);
    // A click at a window point, once the screen has settled.
    void tap(ui::Point point);
    // A press, a move in steps and a release, between window points.
    void drag(ui::Point from, ui::Point to, int steps = 10);
    // Real key presses for each character (ASCII letters, digits and
    // punctuation; Shift where the keyboard needs it), into the focused field.
    void type(const std::string& ascii);
    void pressBackspace();
    void pressReturn();

    // The window as the display shows it once the screen is still; nullptr
    // when it cannot be read.
    std::shared_ptr<ui::Image> grab() const;
    // The window's pixels inside a rect of window points, once the screen is
    // still; nullptr when they cannot be read.
    std::shared_ptr<ui::Image> grab(const ui::Rect& points) const;
    // The same at once, without waiting: for a test that watches something
    // move on purpose (a card turning).
    std::shared_ptr<ui::Image> grabAsItIs(const ui::Rect& points) const;
    // Pixels per point.
    double scale() const { return scale_; }
    // Saves grab() as <build>/screenshots/<name>.png; false when it cannot.
    bool screenshot(const std::string& name) const;
    // The picture of a screen for the documentation: when QUENTA_E2E_SHOTS
    // names a folder (scripts/window-screenshots gives docs/screens/window),
    // waits for the screen to settle and saves grab() as <dir>/<name>.png
    // (<dir>-tall/<name>.png on the tall screen); false when that fails.
    // Without the variable it does nothing (true).
    bool picture(const std::string& name);

    // Ends the program as a person closes it and starts it again on the same
    // home, display and server, with `moreArgs` after the session's own
    // arguments this time (another app's hand-back address, say); false
    // (with error()) when it does not come back.
    bool restart(const std::vector<std::string>& moreArgs = {});

    bool running() const;
    // What the program wrote to its standard output and error.
    std::string log() const;
    // What the program's sanitizer (in a sanitizer build) reported so far,
    // over all its starts; empty when nothing. The session's end fails the
    // test when it holds a report.
    std::string sanitizerReports() const;
    const std::string& home() const { return home_; }
    testserver::SecurityServer& server() { return *server_; }
    // The user-defaults file and the key/value store file of the home.
    std::string defaultsPath() const;
    // Runs f with this process's QUENTA_HOME pointed at the home and the
    // process-wide objects reset before and after, so the app's own store and
    // defaults classes read the program's files.
    void withHome(const std::function<void()>& f) const;

private:
    struct X;
    void fail(const std::string& why);
    bool startProgram(const std::vector<std::string>& moreArgs = {});
    bool tapFound(const std::string& text, bool label, double seconds);
    // A press and a release at a window point, at once.
    void click(ui::Point point);
    bool waitFor(const std::function<bool()>& done, double seconds) const;
    // Asks the program to answer after the input sent so far; the question's
    // number.
    long ask() const;
    // The list the program wrote once it answered `question`; nullopt when
    // it did not within `seconds` or ended.
    std::optional<std::string> answered(long question, double seconds) const;
    // The visible texts of a list as written.
    static std::vector<ShownText> parseList(const std::string& list);
    std::vector<ShownText> shownTextsNow() const;

    std::string error_;
    mutable long asked_ = 0;
    mutable std::string stillError_;
    std::string dir_;
    std::string home_;
    std::string listPath_;
    double scale_ = 1;
    bool tall_ = false;
    std::vector<std::string> argv_, env_;
    int starts_ = 0;
    std::unique_ptr<testserver::SecurityServer> server_;
    std::unique_ptr<X> x_;
};

}  // namespace e2e
