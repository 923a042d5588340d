#include "app/screens/protect/ScreenParts.h"

#include "app/cycle/ScreenAnalytics.h"
#include "lib/kit/CustomNavigationBar.h"
#include "lib/kit/DnNotificationManager.h"
#include "lib/kit/ExampleModalPanel.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

namespace protectui {

void installBackButton(ui::ViewController& screen) {
    ui::NavigationController* nav = screen.navigationController();
    auto* bar = nav ? dynamic_cast<CustomNavigationBar*>(nav->navigationBar()) : nullptr;
    std::shared_ptr<CustomNavigationBar> own;
    if (!bar) {
        own = CustomNavigationBar::create();
        bar = own.get();
    }
    auto button = bar->backButtonWith(ui::Image::named("navigationBarBackButton"), nullptr, 14);
    bar->setText("返回", button.get());
    ui::ViewController* target = &screen;
    button->addTarget(
        target,
        [target](ui::Control*, const ui::Event*) {
            if (ui::NavigationController* n = target->navigationController()) n->popViewControllerAnimated(true);
        },
        ui::kControlEventTouchUpInside);
    screen.navigationItem()->setLeftBarButtonItem(ui::BarButtonItem::withCustomView(button));
}

void notice(ui::View* view, const std::optional<std::string>& text) {
    DnNotificationManager::notificationWithMessageForAlert(text, ui::Image::named("quickAlertB"), view);
}

namespace {

void setBarButtonsEnabled(ui::ViewController& screen, bool enabled) {
    if (ui::BarButtonItem* left = screen.navigationItem()->leftBarButtonItem()) left->setEnabled(enabled);
    if (ui::BarButtonItem* right = screen.navigationItem()->rightBarButtonItem()) right->setEnabled(enabled);
}

}  // namespace

void showHelpPanel(ui::ViewController& screen, const std::string& title, const std::vector<std::string>& questions,
                   const std::vector<std::string>& answers, const std::string& pageWord) {
    ui::View* host = screen.navigationController() ? screen.navigationController()->view() : screen.view();
    auto panel = ExampleModalPanel::create(host->bounds(), title, questions, answers);
    setBarButtonsEnabled(screen, false);
    ui::ViewController* target = &screen;
    std::weak_ptr<ExampleModalPanel> weak = panel;
    panel->setOnClosePressed([target, weak](ModalPanel*) {
        auto shown = weak.lock();
        if (!shown) return;
        // The completion keeps the panel alive until it has left its superview.
        shown->hideWithOnComplete([shown](bool) { shown->removeFromSuperview(); });
        setBarButtonsEnabled(*target, true);
    });
    host->addSubview(panel);
    panel->showFromPoint(host->center());
    ScreenAnalytics::trackPageview(pageWord);
}

ui::ImageRef buttonImage() {
    auto image = ui::Image::named("lock_confirm_button");
    return image ? image->stretchable(12, 0) : image;
}

void synchronizeDefaults() { foundation::UserDefaults::standard().synchronize(); }

}  // namespace protectui
