// The UI kit's process-wide objects register their resetters on first use;
// one call puts them all back without calling into delegates that may be gone.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/foundation/Resetters.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Image.h"
#include "platform/ui/Layer.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

namespace {

class Dismissals : public ui::AlertViewDelegate, public ui::ActionSheetDelegate {
public:
    int calls = 0;
    void willDismissWithButtonIndex(ui::AlertView*, int) override { ++calls; }
    void didDismissWithButtonIndex(ui::AlertView*, int) override { ++calls; }
    void didDismissWithButtonIndex(ui::ActionSheet*, int) override { ++calls; }
};

class ResettersTest : public uitest::UiFixture {};

TEST_F(ResettersTest, OneCallPutsTheUiKitsObjectsBack) {
    auto window = std::make_shared<ui::Window>(ui::Rect{0, 0, 320, 480});
    window->makeKeyAndVisible();
    Dismissals delegate;
    ui::AlertView::create("a", "m", &delegate, "确定")->show();
    ui::AlertView::create("b", "m", &delegate, "确定")->show();
    auto sheet = ui::ActionSheet::create("s", &delegate, "取消", "", {});
    sheet->showInView(window.get());
    ui::Screen::main().setSize({320, 568});
    ui::Screen::main().setScale(2);
    ui::Application::shared().setApplicationIconBadgeNumber(5);
    foundation::RunLoop::main().drain();
    ASSERT_EQ(ui::AlertView::visibleAlerts().size(), 2u);
    ASSERT_EQ(ui::ActionSheet::visibleSheets().size(), 1u);

    std::vector<std::string> names = foundation::registeredResetters();
    for (const char* n : {"ui.alerts", "ui.actionSheets", "ui.screen", "ui.application"})
        EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;

    foundation::resetProcessWideObjects();
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
    EXPECT_TRUE(ui::ActionSheet::visibleSheets().empty());
    EXPECT_EQ(delegate.calls, 0);
    EXPECT_EQ(ui::Screen::main().bounds(), (ui::Rect{0, 0, 320, 480}));
    EXPECT_EQ(ui::Screen::main().scale(), 1);
    EXPECT_EQ(ui::Application::shared().applicationIconBadgeNumber(), 0);
}

TEST_F(ResettersTest, WhatACaseLeftHalfDoneInTheUiKitIsPutBack) {
    auto window = std::make_shared<ui::Window>(ui::Rect{0, 0, 320, 480});
    window->makeKeyAndVisible();
    int taps = 0;
    ui::addGestureRecognizer(*window,
                             std::make_shared<ui::TapGestureRecognizer>([&](ui::GestureRecognizer&) { ++taps; }));
    ui::Transaction::begin();
    ui::Transaction::setAnimationDuration(2);
    ui::View::beginAnimations("left open");
    ui::detail::setScreenTransitionRunning(window.get(), true);
    auto layer = ui::Layer::create();
    layer->setNeedsDisplay();
    int passes = 0, touches = 0;
    ui::setDisplayPassObserver([&] { ++passes; });
    ui::Window::setTouchObserver([&](const ui::Touch&, ui::View*) { ++touches; });
    ASSERT_EQ(ui::Transaction::animationDuration(), 2);
    ASSERT_TRUE(ui::View::isInAnimationBlock());
    ASSERT_TRUE(ui::isScreenTransitionRunning());

    foundation::resetProcessWideObjects();
    EXPECT_EQ(ui::Transaction::animationDuration(), 0.25);
    EXPECT_FALSE(ui::View::isInAnimationBlock());
    EXPECT_FALSE(ui::isScreenTransitionRunning());
    ui::Layer::displayDirtyLayers();
    EXPECT_EQ(layer->displayCount(), 0) << "the next case's display pass draws none of this case's layers";
    ui::runDisplayPass();
    EXPECT_EQ(passes, 0);

    // The next case's window: no observer of the last case sees its touches,
    // and a recognizer it attaches sees them again.
    auto next = std::make_shared<ui::Window>(ui::Rect{0, 0, 320, 480});
    next->makeKeyAndVisible();
    int nextTaps = 0;
    ui::addGestureRecognizer(*next,
                             std::make_shared<ui::TapGestureRecognizer>([&](ui::GestureRecognizer&) { ++nextTaps; }));
    next->sendTouch(ui::TouchPhase::Began, {10, 10}, 0);
    next->sendTouch(ui::TouchPhase::Ended, {10, 10}, 0.05);
    EXPECT_EQ(touches, 0);
    EXPECT_EQ(nextTaps, 1);
    EXPECT_EQ(taps, 0);
}

TEST_F(ResettersTest, TheNamedImageCacheIsEmptiedLast) {
    auto first = ui::Image::named("Default");
    ASSERT_TRUE(first);
    EXPECT_EQ(ui::Image::named("Default"), first);  // cached
    foundation::resetProcessWideObjects();
    auto again = ui::Image::named("Default");
    ASSERT_TRUE(again);
    EXPECT_NE(again, first);
    std::vector<std::string> names = foundation::registeredResetters();
    EXPECT_EQ(names.back(), "ui.imageCache");
}

}  // namespace
