#include "lib/kit/CustomNavigationBar.h"

#include <algorithm>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Text.h"

CustomNavigationBar::CustomNavigationBar(const ui::Rect& frame) : ui::NavigationBar(frame) {}

void CustomNavigationBar::drawRect(const ui::Rect& rect) {
    if (background_ && background_->image()) {
        if (ui::GraphicsContext* ctx = ui::currentContext()) ctx->drawImage(*background_->image(), rect);
        return;
    }
    ui::NavigationBar::drawRect(rect);
}

void CustomNavigationBar::setBackgroundWith(ui::ImageRef image) {
    background_ = std::make_shared<ui::ImageView>(frame());
    background_->setImage(std::move(image));
    setNeedsDisplay();
}

void CustomNavigationBar::clearBackground() {
    background_.reset();
    setNeedsDisplay();
}

std::shared_ptr<ui::Button> CustomNavigationBar::backButtonWith(ui::ImageRef normal, ui::ImageRef highlight,
                                                                double leftCapWidth) {
    capWidth_ = leftCapWidth;
    int cap = int(leftCapWidth);
    if (normal) normal = normal->stretchable(cap, 0);
    if (highlight) highlight = highlight->stretchable(cap, 0);

    auto button = ui::Button::buttonWithType(ui::ButtonType::Custom);
    ui::Label* title = button->titleLabel();
    title->setFont(ui::Font::boldSystemFont(ui::Font::smallSystemFontSize()));
    button->setTitleColor(ui::Color::whiteColor());
    button->setTitleShadowColor(ui::Color::darkGrayColor());
    title->setShadowOffset({0, -1});
    title->setLineBreakMode(ui::LineBreakMode::TailTruncation);
    button->setTitleEdgeInsets({0, 6, 0, 3});
    // What a screen reader says for the chevron (and how the walks find it).
    button->setAccessibilityLabel("返回");

    button->setFrame({0, 0, 0, normal ? normal->size().height : 0});
    setText(topItem() ? topItem()->title() : std::string(), button.get());

    button->setBackgroundImage(normal, ui::kControlStateNormal);
    // Without a highlighted picture the states fall back to the normal one.
    if (highlight) {
        button->setBackgroundImage(highlight, ui::kControlStateHighlighted);
        button->setBackgroundImage(highlight, ui::kControlStateSelected);
    }
    // The button may outlive the bar (a screen keeps it in its bar item).
    std::weak_ptr<ui::View> bar = weak_from_this();
    button->addTarget(
        this,
        [bar](ui::Control* sender, const ui::Event*) {
            if (auto self = bar.lock()) static_cast<CustomNavigationBar*>(self.get())->back(sender);
        },
        ui::kControlEventTouchUpInside);
    return button;
}

void CustomNavigationBar::setText(const std::string& text, ui::Button* button) {
    if (!button) return;
    double width = ui::sizeWithFont(text, button->titleLabel()->font()).width + 1.5 * capWidth_;
    ui::Rect f = button->frame();
    button->setFrame({f.x(), f.y(), std::min(width, kMaxBackButtonWidth), f.height()});
    button->setTitle(text, ui::kControlStateNormal);
}

void CustomNavigationBar::back(ui::Control*) {
    if (navigationController_) navigationController_->popViewControllerAnimated(true);
}
