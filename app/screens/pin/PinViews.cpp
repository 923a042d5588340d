#include "app/screens/pin/PinViews.h"

#include "app/cycle/KAVOCommandViewController.h"
#include "app/cycle/ScreenAnalytics.h"
#include "lib/kit/CustomNavigationBar.h"
#include "lib/kit/DnNotificationManager.h"
#include "lib/kit/ExampleModalPanel.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

namespace pinviews {

std::shared_ptr<ui::Label> caption(ui::View* parent, const ui::Rect& frame, const std::string& text, double size) {
    auto label = std::make_shared<ui::Label>(frame);
    label->setFont(ui::Font::systemFont(size));
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setNumberOfLines(0);
    label->setBackgroundColor(ui::Color::clearColor());
    label->setTextColor(ui::Color::rgba(0.2, 0.22, 0.25));
    label->setText(text);
    parent->addSubview(label);
    return label;
}

std::shared_ptr<ui::Button> button(ui::View* parent, const ui::Rect& frame, const std::string& title,
                                   std::function<void()> action) {
    auto b = std::make_shared<ui::Button>(frame, ui::ButtonType::RoundedRect);
    b->setTitle(title);
    b->addTarget(
        b.get(), [action = std::move(action)](ui::Control*, const ui::Event*) { action(); },
        ui::kControlEventTouchUpInside);
    parent->addSubview(b);
    return b;
}

std::shared_ptr<ui::TextField> field(ui::View* parent, const ui::Rect& frame, const std::string& placeholder,
                                     ui::KeyboardType keyboard, bool secure) {
    auto f = std::make_shared<ui::TextField>(frame);
    f->setBorderStyle(ui::TextBorderStyle::RoundedRect);
    f->setPlaceholder(placeholder);
    f->setPlaceholderColor(ui::Color::darkGrayColor());
    f->setKeyboardType(keyboard);
    f->setSecureTextEntry(secure);
    parent->addSubview(f);
    return f;
}

void installBackButton(ui::ViewController& screen) {
    CustomNavigationBar maker;
    auto back = maker.backButtonWith(ui::Image::named("navigationBarBackButton"), nullptr, 14);
    maker.setText("返回", back.get());
    ui::ViewController* target = &screen;
    back->addTarget(
        back.get(),
        [target](ui::Control*, const ui::Event*) {
            if (auto* nav = target->navigationController()) nav->popViewControllerAnimated(true);
        },
        ui::kControlEventTouchUpInside);
    screen.navigationItem()->setLeftBarButtonItem(ui::BarButtonItem::withCustomView(back));
}

void installHelpButton(ui::ViewController& screen, std::function<void()> action) {
    screen.navigationItem()->setRightBarButtonItem(ui::BarButtonItem::withTitle(
        "帮助", ui::BarButtonItemStyle::Bordered, [action = std::move(action)](ui::BarButtonItem*) { action(); }));
}

void notice(ui::ViewController& screen, const std::string& text) {
    DnNotificationManager::notificationWithMessageForAlert(text, ui::Image::named(kNoticeImageName), screen.view());
}

namespace {
void setBarButtonsEnabled(ui::ViewController& screen, bool enabled) {
    auto* item = screen.navigationItem();
    if (auto* left = item->leftBarButtonItem()) left->setEnabled(enabled);
    if (auto* right = item->rightBarButtonItem()) right->setEnabled(enabled);
}
}  // namespace

void showHelp(ui::ViewController& screen, const std::vector<std::string>& questions,
              const std::vector<std::string>& answers, const std::string& pageWord, std::function<void()> onClosed) {
    setBarButtonsEnabled(screen, false);
    endEditing(screen);
    auto panel = ExampleModalPanel::create(screen.view()->bounds(), "温馨提示", questions, answers);
    ui::ViewController* owner = &screen;
    panel->setOnClosePressed([owner, onClosed](ModalPanel* shown) {
        auto keep = std::static_pointer_cast<ui::View>(shown->shared_from_this());
        shown->hideWithOnComplete([owner, keep, onClosed](bool) {
            ui::View* shown = keep.get();
            shown->removeFromSuperview();
            setBarButtonsEnabled(*owner, true);
            if (onClosed) onClosed();
        });
    });
    screen.view()->addSubview(panel);
    panel->showFromPoint({screen.view()->bounds().size.width - 30, 10});
    ScreenAnalytics::trackPageview(pageWord);
}

void endEditing(ui::ViewController& screen) {
    auto* responder = dynamic_cast<ui::View*>(ui::Responder::firstResponder());
    if (responder && responder->isDescendantOfView(screen.view())) responder->resignFirstResponder();
}

}  // namespace pinviews
