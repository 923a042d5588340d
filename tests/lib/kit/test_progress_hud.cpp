// The waiting overlay: layout, modes, the show/hide state machine with its
// grace and minimum-show times, the task thread, property forwarding,
// lookups, orientation and drawing.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "lib/kit/ProgressHUD.h"
#include "platform/foundation/Background.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/DeviceOrientation.h"
#include "platform/ui/Text.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class Recorder : public ProgressHUDDelegate {
public:
    void hudWasHidden(ProgressHUD* hud) override {
        calls.push_back(hud);
        onMain.push_back(foundation::RunLoop::isMainThread());
        stillInSuperview.push_back(hud->superview() != nullptr);
    }
    std::vector<ProgressHUD*> calls;
    std::vector<bool> onMain, stillInSuperview;
};

class ProgressHUDTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Layout numbers that do not depend on the installed fonts:
        // bold 16 -> 8 points a character, 20 points a line.
        ui::setTextMeasurer(std::make_shared<ui::FixedWidthTextMeasurer>());
        driver = std::make_unique<shell::Driver>();
        host = ui::View::create({0, 0, 320, 480});
        driver->window().addSubview(host);
    }
    void TearDown() override {
        host->removeFromSuperview();
        driver.reset();
    }
    std::shared_ptr<ProgressHUD> addHUD() {
        auto hud = ProgressHUD::initWithView(host.get());
        host->addSubview(hud);
        hud->setDelegate(&recorder);
        return hud;
    }
    // Runs the main loop until pred holds (for the task thread, which runs on real time).
    bool waitFor(const std::function<bool()>& pred) { return foundation::RunLoop::main().runUntil(pred, 10); }

    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<ui::View> host;
    Recorder recorder;
};

TEST_F(ProgressHUDTest, StartsHiddenWithItsDefaults) {
    auto hud = ProgressHUD::initWithView(host.get());
    EXPECT_EQ(hud->frame(), ui::Rect(0, 0, 320, 480));
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_FALSE(hud->isOpaque());
    EXPECT_EQ(hud->autoresizingMask(), 45u);
    EXPECT_FLOAT_EQ(hud->opacity(), 0.8f);
    EXPECT_FLOAT_EQ(hud->margin(), 20);
    EXPECT_EQ(hud->mode(), ProgressHUDModeIndeterminate);
    EXPECT_EQ(hud->labelFont(), ui::Font::boldSystemFont(16));
    EXPECT_EQ(hud->detailsLabelFont(), ui::Font::boldSystemFont(12));
    EXPECT_EQ(hud->detailsLabel()->numberOfLines(), 0);
    auto spinner = std::dynamic_pointer_cast<ui::ActivityIndicatorView>(hud->indicator());
    ASSERT_TRUE(spinner);
    EXPECT_EQ(spinner->style(), ui::ActivityIndicatorStyle::WhiteLarge);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_EQ(spinner->superview(), hud.get());
    EXPECT_FALSE(hud->showStarted());

    EXPECT_EQ(ProgressHUD::initWithView(nullptr)->bounds(), ui::Rect());
}

TEST_F(ProgressHUDTest, LaysTheBoxOutFromItsContents) {
    struct Case {
        const char* name;
        int mode;
        std::string caption, detail;
        ui::Size overlay, minSize;
        bool square;
        ui::Size box;
    };
    const std::string longCaption(40, 'w');  // 320 points on one line
    const Case cases[] = {
        {"empty text mode", ProgressHUDModeText, "", "", {320, 480}, {}, false, {40, 40}},
        {"empty raised to minSize", ProgressHUDModeText, "", "", {320, 480}, {50, 60}, false, {50, 60}},
        // 37 spinner, 4 spacing, 20 caption, plus 2m each way.
        {"spinner and caption", ProgressHUDModeIndeterminate, "abcd", "", {320, 480}, {}, false, {77, 101}},
        {"caption cut to W - 4m", ProgressHUDModeText, longCaption, "", {320, 480}, {}, false, {280, 60}},
        {"square that fits", ProgressHUDModeText, std::string(20, 'a'), "", {320, 480}, {}, true, {200, 200}},
        {"square too tall keeps its height",
         ProgressHUDModeText,
         std::string(20, 'a'),
         "",
         {320, 150},
         {},
         true,
         {200, 60}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto overlayHost = ui::View::create({0, 0, c.overlay.width, c.overlay.height});
        auto hud = ProgressHUD::initWithView(overlayHost.get());
        overlayHost->addSubview(hud);
        hud->setMode(c.mode);
        hud->setLabelText(c.caption);
        hud->setDetailsLabelText(c.detail);
        hud->setMinSize(c.minSize);
        hud->setSquare(c.square);
        hud->layoutIfNeeded();
        EXPECT_EQ(hud->size(), c.box);
    }
}

TEST_F(ProgressHUDTest, StacksIndicatorCaptionAndWrappedDetail) {
    auto hud = addHUD();
    hud->setLabelText("abcd");                       // 32 x 20
    hud->setDetailsLabelText(std::string(50, 'x'));  // 6 points a character at 12: 300 points, wraps in 240
    hud->layoutIfNeeded();
    // Indicator 37, caption 20, detail two lines of 15, two spacings of 4.
    double total = 37 + 4 + 20 + 4 + 30 + 40;
    EXPECT_EQ(hud->size(), ui::Size(240 + 40, total));
    double top = std::round((480 - total) / 2) + 20;
    EXPECT_EQ(hud->indicator()->frame(), ui::Rect(std::round((320 - 37) / 2.0), top, 37, 37));
    EXPECT_EQ(hud->label()->frame(), ui::Rect(144, top + 41, 32, 20));
    EXPECT_EQ(hud->detailsLabel()->frame(), ui::Rect(40, top + 65, 240, 30));

    // Offsets move the contents.
    hud->setXOffset(10);
    hud->setYOffset(-30);
    hud->setLabelText("abcd");  // any watched change lays out again
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->label()->frame(), ui::Rect(154, top + 41 - 30, 32, 20));
}

TEST_F(ProgressHUDTest, DetailOnATinyOverlayNeverGetsANegativeHeight) {
    auto tiny = ui::View::create({0, 0, 320, 60});
    auto hud = ProgressHUD::initWithView(tiny.get());
    tiny->addSubview(hud);
    hud->setLabelText("abcd");
    hud->setDetailsLabelText(std::string(80, 'x'));
    hud->layoutIfNeeded();
    EXPECT_GE(hud->detailsLabel()->frame().height(), 0);
    EXPECT_LE(hud->detailsLabel()->frame().width(), 240);
}

TEST_F(ProgressHUDTest, ModesPickTheirIndicator) {
    auto hud = addHUD();
    hud->setMode(ProgressHUDModeAnnularDeterminate);
    auto round = std::dynamic_pointer_cast<RoundProgressView>(hud->indicator());
    ASSERT_TRUE(round);
    EXPECT_TRUE(round->isAnnular());
    EXPECT_EQ(round->bounds(), ui::Rect(0, 0, 37, 37));

    // Back to the pie keeps the ring of the existing indicator.
    hud->setMode(ProgressHUDModeDeterminate);
    EXPECT_EQ(hud->indicator(), round);
    EXPECT_TRUE(round->isAnnular());

    auto custom = ui::View::create({0, 0, 50, 10});
    hud->setCustomView(custom);
    hud->setMode(ProgressHUDModeCustomView);
    EXPECT_EQ(hud->indicator(), custom);
    EXPECT_EQ(custom->superview(), hud.get());
    EXPECT_EQ(round->superview(), nullptr);

    hud->setMode(ProgressHUDModeText);
    EXPECT_EQ(hud->indicator(), nullptr);
    EXPECT_EQ(custom->superview(), nullptr);

    hud->setMode(ProgressHUDModeIndeterminate);
    EXPECT_TRUE(std::dynamic_pointer_cast<ui::ActivityIndicatorView>(hud->indicator()));
}

TEST_F(ProgressHUDTest, ProgressRedrawsTheIndicatorWithoutRelayout) {
    auto hud = addHUD();
    hud->setMode(ProgressHUDModeDeterminate);
    hud->layoutIfNeeded();
    ASSERT_FALSE(hud->needsLayout());
    hud->setProgress(0.5f);
    auto round = std::dynamic_pointer_cast<RoundProgressView>(hud->indicator());
    ASSERT_TRUE(round);
    EXPECT_FLOAT_EQ(round->progress(), 0.5f);
    EXPECT_FALSE(hud->needsLayout());

    hud->setLabelText("loading");
    EXPECT_TRUE(hud->needsLayout());
    EXPECT_EQ(hud->label()->text(), "loading");
}

TEST_F(ProgressHUDTest, ShowAndHideWithoutAnimationTellTheDelegateBeforeRemoval) {
    auto hud = addHUD();
    hud->setRemoveFromSuperViewOnHide(true);
    hud->show(false);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_TRUE(hud->showStarted());
    hud->hide(false);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_TRUE(hud->isFinished());
    EXPECT_FALSE(hud->showStarted());
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0], hud.get());
    EXPECT_TRUE(recorder.stillInSuperview[0]);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(ProgressHUDTest, ADelegateDestroyedBeforeTheHideIsNotCalled) {
    auto hud = ProgressHUD::initWithView(host.get());
    host->addSubview(hud);
    auto screen = std::make_unique<Recorder>();
    hud->setDelegate(screen.get());
    hud->setRemoveFromSuperViewOnHide(true);
    hud->show(false);
    screen.reset();  // the screen went away while its overlay showed
    EXPECT_EQ(hud->delegate(), nullptr);
    hud->hide(false);
    EXPECT_TRUE(hud->isFinished());
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(ProgressHUDTest, AnimatedShowFadesInAndZoomedHideShrinksAway) {
    auto hud = addHUD();
    hud->setAnimationType(ProgressHUDAnimationZoom);
    hud->show(true);
    EXPECT_EQ(hud->alpha(), 1);  // model value; the screen fades over 0.3 s
    driver->advance(0.15);
    double midway = hud->layer().presentationState().opacity;
    EXPECT_GT(midway, 0.0);
    EXPECT_LT(midway, 1.0);
    driver->advance(0.2);

    hud->hide(true);
    EXPECT_DOUBLE_EQ(hud->alpha(), 0.02);
    EXPECT_NEAR(hud->transform().a, 0.5, 1e-9);
    EXPECT_TRUE(recorder.calls.empty());
    driver->advance(0.31);
    EXPECT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_TRUE(hud->isFinished());
}

TEST_F(ProgressHUDTest, MinimumShowTimeDelaysTheHide) {
    auto hud = addHUD();
    hud->setMinShowTime(1.0f);
    hud->show(false);
    driver->advance(0.25);
    hud->hide(true);
    EXPECT_TRUE(hud->hasPendingMinShowTimer());
    EXPECT_EQ(hud->alpha(), 1);
    driver->advance(0.74);
    EXPECT_EQ(hud->alpha(), 1);
    driver->advance(0.02);
    // The hide now runs, animated as the last hide asked.
    EXPECT_DOUBLE_EQ(hud->alpha(), 0.02);
    EXPECT_TRUE(recorder.calls.empty());
    driver->advance(0.3);
    EXPECT_EQ(recorder.calls.size(), 1u);
}

TEST_F(ProgressHUDTest, GraceTimeShowsOnlyWhileATaskRuns) {
    // Without a task the grace timer shows nothing.
    auto idle = addHUD();
    idle->setGraceTime(0.5f);
    idle->show(false);
    EXPECT_TRUE(idle->hasPendingGraceTimer());
    driver->advance(0.6);
    EXPECT_EQ(idle->alpha(), 0);
    EXPECT_FALSE(idle->showStarted());

    // A task that outlives the grace time becomes visible when it ends.
    auto slow = addHUD();
    slow->setGraceTime(0.5f);
    foundation::Semaphore release;
    slow->showWhileExecuting([&release] { release.wait(); }, false);
    EXPECT_EQ(slow->alpha(), 0);
    driver->advance(0.6);
    EXPECT_EQ(slow->alpha(), 1);
    release.signal();
    ASSERT_TRUE(waitFor([&] { return slow->isFinished(); }));
    EXPECT_EQ(slow->alpha(), 0);
}

TEST_F(ProgressHUDTest, ATaskEndingWithinTheGraceTimeNeverShows) {
    auto hud = addHUD();
    hud->setGraceTime(1.0f);
    hud->showWhileExecuting([] {}, true);
    ASSERT_TRUE(waitFor([&] { return !recorder.calls.empty(); }));
    EXPECT_FALSE(hud->showStarted());
    EXPECT_EQ(hud->alpha(), 0);
    driver->advance(2);  // the grace timer is gone with the hide
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(recorder.calls.size(), 1u);
}

TEST_F(ProgressHUDTest, TaskRunsOnItsOwnThreadAndItsChangesReachTheViewsOnMain) {
    auto hud = addHUD();
    hud->setMode(ProgressHUDModeAnnularDeterminate);
    auto held = std::make_shared<int>(7);
    std::weak_ptr<int> heldWeak = held;
    ProgressHUD* raw = hud.get();
    hud->showWhileExecuting(
        [raw, held] {
            // Kept by the task until its clean-up.
            (void)held;
            raw->setLabelText("半路");
            raw->setProgress(0.75f);
        },
        false);
    // The task's own reference keeps it alive; dropping ours changes nothing.
    held.reset();
    ASSERT_TRUE(waitFor([&] { return !recorder.calls.empty(); }));
    EXPECT_TRUE(recorder.onMain[0]);
    EXPECT_EQ(hud->label()->text(), "半路");
    auto round = std::dynamic_pointer_cast<RoundProgressView>(hud->indicator());
    // The clean-up drops the overlay's indicator reference; the view stays.
    EXPECT_EQ(round, nullptr);
    EXPECT_FALSE(hud->taskInProgress());
    EXPECT_TRUE(heldWeak.expired());
}

TEST_F(ProgressHUDTest, TaskThreadIsANamedPoolThreadNotTheMainThread) {
    auto hud = addHUD();
    std::atomic<bool> onMain{true};
    std::string threadName;
    hud->showWhileExecuting(
        [&onMain, &threadName] {
            onMain = foundation::RunLoop::isMainThread();
            threadName = foundation::currentThreadName();
        },
        false);
    ASSERT_TRUE(waitFor([&] { return hud->isFinished(); }));
    EXPECT_FALSE(onMain);
    EXPECT_EQ(threadName, "hud.task");  // a named thread of the background pool
    EXPECT_FALSE(hud->taskInProgress());
}

TEST_F(ProgressHUDTest, DelayedHideAndTimersDieWithTheOverlay) {
    {
        auto hud = addHUD();
        hud->show(false);
        hud->hide(false, 2.0);
        driver->advance(1.0);
        EXPECT_FALSE(hud->isFinished());
        driver->advance(1.1);
        EXPECT_TRUE(hud->isFinished());
    }
    recorder.calls.clear();
    {
        auto hud = addHUD();
        hud->setMinShowTime(5);
        hud->show(false);
        hud->hide(false, 1.0);
        hud->removeFromSuperview();
    }
    // The overlay is gone: its delayed call and timers must not fire at it.
    driver->advance(10);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(ProgressHUDTest, FindsAndHidesTheOverlaysOfAView) {
    EXPECT_EQ(ProgressHUD::HUDForView(host.get()), nullptr);
    EXPECT_FALSE(ProgressHUD::hideHUDForView(host.get(), false));
    auto first = ProgressHUD::showHUDAddedTo(host.get(), false);
    host->addSubview(ui::View::create({0, 0, 10, 10}));
    auto second = ProgressHUD::showHUDAddedTo(host.get(), false);
    host->addSubview(ui::View::create({0, 0, 10, 10}));
    EXPECT_EQ(first->alpha(), 1);
    EXPECT_EQ(ProgressHUD::HUDForView(host.get()), second);
    auto all = ProgressHUD::allHUDsForView(host.get());
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], first);
    EXPECT_EQ(all[1], second);

    EXPECT_TRUE(ProgressHUD::hideHUDForView(host.get(), false));
    EXPECT_EQ(second->superview(), nullptr);
    EXPECT_EQ(ProgressHUD::HUDForView(host.get()), first);
    EXPECT_EQ(ProgressHUD::hideAllHUDsForView(host.get(), false), 1u);
    EXPECT_TRUE(ProgressHUD::allHUDsForView(host.get()).empty());
}

TEST_F(ProgressHUDTest, FollowsTheStatusBarOrientationOnAWindow) {
    struct Case {
        int orientation;
        double angle;
        ui::Rect bounds;
    };
    const Case cases[] = {
        {1, 0, {0, 0, 320, 480}},
        {2, kPi, {0, 0, 320, 480}},
        {3, kPi / 2, {0, 0, 480, 320}},
        {4, -kPi / 2, {0, 0, 480, 320}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        ui::Application::shared().setStatusBarOrientation(c.orientation);
        auto hud = ProgressHUD::initWithView(&driver->window());
        ui::AffineTransform expected = ui::AffineTransform::makeRotation(c.angle);
        EXPECT_NEAR(hud->rotationTransform().a, expected.a, 1e-9);
        EXPECT_NEAR(hud->rotationTransform().b, expected.b, 1e-9);
        EXPECT_NEAR(hud->transform().b, expected.b, 1e-9);
        EXPECT_EQ(hud->bounds(), c.bounds);
    }

    // A turn while on a plain view only follows the superview's bounds.
    ui::Application::shared().setStatusBarOrientation(1);
    auto hud = addHUD();
    host->setFrame({0, 0, 300, 200});
    foundation::NotificationCenter::defaultCenter().post(ui::kDeviceOrientationDidChangeNotification);
    EXPECT_EQ(hud->bounds().size, ui::Size(300, 200));
    EXPECT_TRUE(hud->transform().isIdentity());
}

TEST_F(ProgressHUDTest, DrawsTheShadeAndTheRoundedBox) {
    auto hud = addHUD();
    hud->setMode(ProgressHUDModeText);
    hud->setMinSize({100, 100});
    hud->setDimBackground(true);
    hud->show(false);
    ui::runDisplayPass();
    auto picture = hud->snapshot(1);
    ASSERT_TRUE(picture);
    // Box centre: black at 0.8 over a shade that is clear at the centre.
    ui::Rgba centre = picture->pixel(160, 240);
    EXPECT_EQ(centre.r, 0);
    EXPECT_NEAR(centre.a, 204, 3);
    // Inside the box near a corner but outside its rounding: clear of the box.
    ui::Rgba corner = picture->pixel(111, 191);
    EXPECT_LT(corner.a, 60);
    // Far from the centre the shade darkens towards 0.75.
    ui::Rgba edge = picture->pixel(0, 0);
    EXPECT_GT(edge.a, 150);
    EXPECT_LT(picture->pixel(160, 300).a, edge.a);
}

TEST_F(ProgressHUDTest, RoundIndicatorFillsClockwiseFromTwelve) {
    for (bool annular : {false, true}) {
        SCOPED_TRACE(annular ? "ring" : "pie");
        auto view = std::make_shared<RoundProgressView>();
        view->setAnnular(annular);
        view->setProgress(0.25f);
        ui::runDisplayPass();
        auto picture = view->snapshot(1);
        ASSERT_TRUE(picture);
        // A point inside the pie's circle, or on the ring's path (radius 16),
        // in the first quarter, and one in the third.
        double r = annular ? 16 : 11;
        auto at = [&](double angle) {
            return picture->pixel(int(18.5 + r * std::cos(angle)), int(18.5 + r * std::sin(angle)));
        };
        ui::Rgba filled = at(-kPi / 4);    // between twelve and three o'clock
        ui::Rgba empty = at(kPi * 3 / 4);  // between six and nine o'clock
        EXPECT_GT(filled.a, 200);
        EXPECT_LT(empty.a, 80);
    }
}

}  // namespace
