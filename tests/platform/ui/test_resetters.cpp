// The UI kit's process-wide objects register their resetters on first use;
// one call puts them all back without calling into delegates that may be gone.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/foundation/Resetters.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
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
