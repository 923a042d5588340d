// Controls: event delivery, tracking order, states, and the simple controls.

#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Render.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using namespace ui;

// Records the tracking hooks with the tracking flag seen inside each.
class RecordingControl : public Control {
public:
    using Control::Control;
    std::vector<std::string> log;
    bool keepTracking = true;
    bool beginTrackingWithTouch(const Touch&, const Event&) override {
        log.push_back(std::string("begin tracking=") + (isTracking() ? "1" : "0"));
        return true;
    }
    bool continueTrackingWithTouch(const Touch&, const Event&) override {
        log.push_back(std::string("continue tracking=") + (isTracking() ? "1" : "0"));
        return keepTracking;
    }
    void endTrackingWithTouch(const Touch&, const Event&) override {
        log.push_back(std::string("end tracking=") + (isTracking() ? "1" : "0"));
    }
    void cancelTrackingWithEvent(const Event*) override {
        log.push_back(std::string("cancel tracking=") + (isTracking() ? "1" : "0"));
    }
};

using SimpleControls = uitest::UiFixture;

class ControlsTest : public uitest::UiFixture {
protected:
    void SetUp() override {
        UiFixture::SetUp();
        window = Window::create({0, 0, 320, 480});
        window->makeKeyAndVisible();
        control = std::make_shared<RecordingControl>(Rect{100, 100, 100, 40});
        window->addSubview(control);
        for (auto [bit, name] :
             std::vector<std::pair<unsigned, std::string>>{{kControlEventTouchDown, "down"},
                                                           {kControlEventTouchDragInside, "dragInside"},
                                                           {kControlEventTouchDragOutside, "dragOutside"},
                                                           {kControlEventTouchDragExit, "exit"},
                                                           {kControlEventTouchDragEnter, "enter"},
                                                           {kControlEventTouchUpInside, "upInside"},
                                                           {kControlEventTouchUpOutside, "upOutside"},
                                                           {kControlEventTouchCancel, "cancel"}}) {
            std::string n = name;
            control->addTarget(
                this, [this, n](Control*, const Event*) { control->log.push_back("event " + n); }, bit);
        }
    }
    std::shared_ptr<Window> window;
    std::shared_ptr<RecordingControl> control;
};

TEST_F(ControlsTest, TapDeliversDownThenUpInsideAndClearsTrackingBeforeEnd) {
    window->sendTouch(TouchPhase::Began, {150, 120}, 0);
    EXPECT_TRUE(control->isHighlighted());
    EXPECT_TRUE(control->isTracking());
    window->sendTouch(TouchPhase::Ended, {150, 120}, 0.1);
    std::vector<std::string> want{"begin tracking=0", "event down", "end tracking=0", "event upInside"};
    EXPECT_EQ(control->log, want);
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(control->isTracking());
}

TEST_F(ControlsTest, DragOutAndBackReportsExitEnterAndUpOutsideFarAway) {
    window->sendTouch(TouchPhase::Began, {150, 120}, 0);
    window->sendTouch(TouchPhase::Moved, {150, 300}, 0.1);  // beyond the 70-point slop
    EXPECT_FALSE(control->isHighlighted());
    window->sendTouch(TouchPhase::Moved, {150, 130}, 0.2);
    EXPECT_TRUE(control->isHighlighted());
    window->sendTouch(TouchPhase::Moved, {150, 300}, 0.3);
    window->sendTouch(TouchPhase::Ended, {150, 300}, 0.4);
    std::vector<std::string> want{
        "begin tracking=0",    "event down",       "continue tracking=1", "event dragOutside",   "event exit",
        "continue tracking=1", "event dragInside", "event enter",         "continue tracking=1", "event dragOutside",
        "event exit",          "end tracking=0",   "event upOutside"};
    EXPECT_EQ(control->log, want);
}

TEST_F(ControlsTest, CancelCallsCancelTrackingWithTrackingCleared) {
    window->sendTouch(TouchPhase::Began, {150, 120}, 0);
    window->sendTouch(TouchPhase::Cancelled, {150, 120}, 0.1);
    std::vector<std::string> want{"begin tracking=0", "event down", "cancel tracking=0", "event cancel"};
    EXPECT_EQ(control->log, want);
}

TEST_F(ControlsTest, ContinueAnsweringNoStopsTrackingButNotEvents) {
    control->keepTracking = false;
    window->sendTouch(TouchPhase::Began, {150, 120}, 0);
    window->sendTouch(TouchPhase::Moved, {155, 120}, 0.1);
    window->sendTouch(TouchPhase::Moved, {160, 120}, 0.2);
    window->sendTouch(TouchPhase::Ended, {160, 120}, 0.3);
    std::vector<std::string> want{"begin tracking=0", "event down",       "continue tracking=1",
                                  "event dragInside", "event dragInside", "event upInside"};
    EXPECT_EQ(control->log, want);
}

TEST_F(ControlsTest, DisabledControlSwallowsTouchesAndSendsNothing) {
    control->setEnabled(false);
    EXPECT_EQ(control->state(), unsigned(kControlStateDisabled));
    window->sendTouch(TouchPhase::Began, {150, 120}, 0);
    window->sendTouch(TouchPhase::Ended, {150, 120}, 0.1);
    EXPECT_TRUE(control->log.empty());
}

TEST_F(ControlsTest, RemoveTargetAndSendActionsFromCode) {
    int a = 0, b = 0;
    int ka = 0, kb = 0;
    control->addTarget(
        &ka, [&](Control*, const Event* e) { a += e == nullptr; }, kControlEventValueChanged);
    control->addTarget(
        &kb, [&](Control*, const Event*) { ++b; }, kControlEventValueChanged | kControlEventTouchUpInside);
    control->sendActionsForControlEvents(kControlEventValueChanged);
    control->removeTarget(&kb, kControlEventValueChanged);
    EXPECT_EQ(control->controlEventsForTarget(&kb), unsigned(kControlEventTouchUpInside));
    control->sendActionsForControlEvents(kControlEventValueChanged);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
    control->removeTarget(nullptr, kControlEventAllEvents);
    EXPECT_EQ(control->actionCount(), 0u);
}

TEST_F(ControlsTest, ActionMayRemoveTheControlWhileItRuns) {
    int calls = 0;
    control->addTarget(
        nullptr,
        [&](Control* c, const Event*) {
            ++calls;
            c->removeFromSuperview();
            control.reset();
        },
        kControlEventTouchUpInside);
    window->sendTouch(TouchPhase::Began, {150, 120}, 0);
    window->sendTouch(TouchPhase::Ended, {150, 120}, 0.1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(control, nullptr);
}

TEST_F(SimpleControls, ButtonLooksFallBackToNormalPerState) {
    Button b({0, 0, 100, 40});
    b.setTitle("go");
    b.setTitle("pressed", kControlStateHighlighted);
    b.setTitleColor(Color::redColor(), kControlStateDisabled);
    struct Case {
        bool highlighted, enabled, selected;
        std::string title;
        Color color;
    };
    std::vector<Case> cases{
        {false, true, false, "go", Color::whiteColor()},    {true, true, false, "pressed", Color::whiteColor()},
        {false, false, false, "go", Color::redColor()},     {false, true, true, "go", Color::whiteColor()},
        {true, true, true, "pressed", Color::whiteColor()},
    };
    for (const auto& c : cases) {
        b.setEnabled(c.enabled);
        b.setHighlighted(c.highlighted);
        b.setSelected(c.selected);
        EXPECT_EQ(b.currentTitle(), c.title) << b.state();
        EXPECT_EQ(b.titleLabel()->text(), c.title);
        EXPECT_EQ(b.titleLabel()->textColor(), c.color) << b.state();
        EXPECT_EQ(b.displayedText(), c.title);
    }
}

TEST_F(SimpleControls, ADisabledButtonDrawsItsTitleFaded) {
    // A white title on an orange ground, as the settings rows' buttons.
    auto button = std::make_shared<Button>(Rect{0, 0, 64, 30}, ButtonType::Custom);
    button->setTitle("设置");
    button->titleLabel()->setFont(Font::boldSystemFont(13));
    button->setTitleColor(Color::whiteColor());
    button->setBackgroundColor(Color::rgba(1, 144 / 255.0, 105 / 255.0));
    // The pixels the title draws white (the ground's blue is 105).
    auto whitePixels = [&] {
        button->layoutIfNeeded();
        auto image = renderLayerToImage(button->layer(), 2, 0);
        int n = 0;
        for (int y = 0; y < image->pixelHeight(); ++y)
            for (int x = 0; x < image->pixelWidth(); ++x) n += image->pixel(x, y).b > 240;
        return n;
    };
    EXPECT_GT(whitePixels(), 20);
    button->setEnabled(false);
    EXPECT_EQ(whitePixels(), 0);
    // A colour of its own for the disabled state is drawn as it is.
    button->setTitleColor(Color::whiteColor(), kControlStateDisabled);
    EXPECT_GT(whitePixels(), 20);
}

TEST_F(SimpleControls, ButtonTitleInsetsAndBackgroundImageSize) {
    setTextMeasurer(std::make_shared<FixedWidthTextMeasurer>());
    auto bg = Image::create(30, 31);
    auto button = std::make_shared<Button>(Rect{0, 0, 200, 40});
    Button& b = *button;
    b.titleLabel()->setFont(Font::boldSystemFont(12));
    b.setTitle("abcd");  // 4 x 6 = 24 points wide
    b.setTitleEdgeInsets({0, 6, 0, 3});
    b.setBackgroundImage(bg);
    Size fit = b.sizeThatFits({});
    EXPECT_DOUBLE_EQ(fit.width, 24 + 6 + 3);
    EXPECT_DOUBLE_EQ(fit.height, 31);
    b.layoutIfNeeded();
    Rect t = b.titleLabel()->frame();
    EXPECT_DOUBLE_EQ(t.width(), 24);
    // Centred in the content rect after the insets: (6 + (191 - 24) / 2) rounded.
    EXPECT_DOUBLE_EQ(t.x(), 6 + std::round((200 - 9 - 24) / 2.0));
}

TEST_F(SimpleControls, ActivityIndicatorStylesAndHiding) {
    struct Case {
        ActivityIndicatorStyle style;
        double side;
    };
    for (auto c : {Case{ActivityIndicatorStyle::WhiteLarge, 37}, Case{ActivityIndicatorStyle::White, 20},
                   Case{ActivityIndicatorStyle::Gray, 20}}) {
        ActivityIndicatorView a(c.style);
        EXPECT_EQ(a.bounds().size, (Size{c.side, c.side}));
        EXPECT_TRUE(a.isHidden());
        a.startAnimating();
        EXPECT_TRUE(a.isAnimating());
        EXPECT_FALSE(a.isHidden());
        a.stopAnimating();
        EXPECT_TRUE(a.isHidden());
    }
    ActivityIndicatorView keep(ActivityIndicatorStyle::Gray);
    keep.setHidesWhenStopped(false);
    EXPECT_FALSE(keep.isHidden());
}

TEST_F(SimpleControls, ProgressIsClampedAndDrawn) {
    ProgressView p;
    for (auto [in, out] : std::vector<std::pair<double, double>>{{-1, 0}, {0.25, 0.25}, {2, 1}, {std::nan(""), 0}}) {
        p.setProgress(in);
        EXPECT_DOUBLE_EQ(p.progress(), out);
    }
    p.setFrame({0, 0, 100, 10});
    p.setProgressTintColor(Color::redColor());
    p.setTrackTintColor(Color::blueColor());
    p.setProgress(0.5);
    auto img = p.snapshot(1);
    EXPECT_TRUE(uitest::pixelNear(*img, 20, 5, {255, 0, 0, 255}));
    EXPECT_TRUE(uitest::pixelNear(*img, 80, 5, {0, 0, 255, 255}));
}

TEST_F(ControlsTest, PageControlTapsStepOnePageAndStopAtTheEnds) {
    auto pc = std::make_shared<PageControl>(Rect{0, 400, 320, 36});
    window->addSubview(pc);
    pc->setNumberOfPages(3);
    int changes = 0;
    pc->addTarget(
        nullptr, [&](Control*, const Event*) { ++changes; }, kControlEventValueChanged);
    auto tap = [&](double x) {
        window->sendTouch(TouchPhase::Began, {x, 410}, 0);
        window->sendTouch(TouchPhase::Ended, {x, 410}, 0.05);
    };
    tap(300);
    tap(300);
    tap(300);  // already on the last page: no change
    EXPECT_EQ(pc->currentPage(), 2);
    EXPECT_EQ(changes, 2);
    tap(10);
    EXPECT_EQ(pc->currentPage(), 1);
    pc->setCurrentPage(7);
    EXPECT_EQ(pc->currentPage(), 2);
    pc->setHidesForSinglePage(true);
    pc->setNumberOfPages(1);
    EXPECT_TRUE(pc->isHidden());
    EXPECT_EQ(pc->currentPage(), 0);
}

TEST_F(ControlsTest, TapAndSwipeRecognizersSeeTouchesOfSubviews) {
    auto host = std::make_shared<View>(Rect{0, 200, 320, 200});
    auto child = std::make_shared<View>(Rect{0, 0, 320, 200});
    host->addSubview(child);
    window->addSubview(host);
    int taps = 0, swipes = 0;
    Point where;
    auto tap = std::make_shared<TapGestureRecognizer>([&](GestureRecognizer& g) {
        ++taps;
        where = g.locationInView(host.get());
    });
    auto swipe = std::make_shared<SwipeGestureRecognizer>([&](GestureRecognizer&) { ++swipes; });
    swipe->setDirection(kSwipeLeft);
    addGestureRecognizer(*host, tap);
    addGestureRecognizer(*host, swipe);
    EXPECT_EQ(gestureRecognizers(*host).size(), 2u);

    window->sendTouch(TouchPhase::Began, {50, 250}, 0);
    window->sendTouch(TouchPhase::Ended, {52, 251}, 0.1);
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(where, (Point{52, 51}));

    // A long move is no tap; to the left it is a swipe, to the right not.
    window->sendTouch(TouchPhase::Began, {250, 300}, 1);
    window->sendTouch(TouchPhase::Moved, {150, 305}, 1.1);
    window->sendTouch(TouchPhase::Ended, {100, 305}, 1.2);
    window->sendTouch(TouchPhase::Began, {100, 300}, 2);
    window->sendTouch(TouchPhase::Ended, {250, 300}, 2.2);
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(swipes, 1);
}

TEST_F(ControlsTest, DoubleTapNeedsTwoQuickTaps) {
    int taps = 0;
    auto tap = std::make_shared<TapGestureRecognizer>([&](GestureRecognizer&) { ++taps; });
    tap->setNumberOfTapsRequired(2);
    addGestureRecognizer(*window, tap);
    auto tapAt = [&](double t) {
        window->sendTouch(TouchPhase::Began, {10, 10}, t);
        window->sendTouch(TouchPhase::Ended, {10, 10}, t + 0.05);
    };
    tapAt(0);
    tapAt(1);  // too late after the first: starts again
    EXPECT_EQ(taps, 0);
    tapAt(1.2);
    EXPECT_EQ(taps, 1);
}

TEST_F(ControlsTest, PinchGoesToTheRecognizerUnderTheCentre) {
    std::vector<std::pair<GestureRecognizerState, double>> seen;
    auto pinch = std::make_shared<PinchGestureRecognizer>([&](GestureRecognizer& g) {
        seen.push_back({g.state(), static_cast<PinchGestureRecognizer&>(g).scale()});
    });
    auto area = std::make_shared<View>(Rect{0, 300, 320, 180});
    window->addSubview(area);
    addGestureRecognizer(*area, pinch);
    EXPECT_FALSE(sendPinch(*window, GestureRecognizerState::Began, {10, 10}, 1.0));
    EXPECT_TRUE(sendPinch(*window, GestureRecognizerState::Began, {100, 400}, 1.0));
    sendPinch(*window, GestureRecognizerState::Changed, {100, 400}, 1.5);
    sendPinch(*window, GestureRecognizerState::Ended, {100, 400}, 2.0);
    std::vector<std::pair<GestureRecognizerState, double>> want{{GestureRecognizerState::Began, 1.0},
                                                                {GestureRecognizerState::Changed, 1.5},
                                                                {GestureRecognizerState::Ended, 2.0}};
    EXPECT_EQ(seen, want);
    EXPECT_EQ(pinch->state(), GestureRecognizerState::Possible);
}

}  // namespace
