#include "lib/kit/HorizMenu.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Label.h"
#include "platform/ui/Text.h"

namespace {

// The icons of the first three tabs of the thirds layout (all, login and
// abnormal log entries).
const char* iconName(int index) {
    switch (index) {
        case 0:
            return "qbjl";
        case 1:
            return "dlrz";
        case 2:
            return "ycxx2";
        default:
            return nullptr;
    }
}

}  // namespace

HorizMenu::HorizMenu(const ui::Rect& frame) : ui::ScrollView(frame) {}

void HorizMenu::awakeFromNib() {
    setBounces(true);
    setScrollEnabled(false);
    setAlwaysBounceHorizontal(true);
    setAlwaysBounceVertical(false);
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(false);
    reloadData();
}

void HorizMenu::removeItems() {
    for (auto& b : buttons_) b->removeFromSuperview();
    buttons_.clear();
}

void HorizMenu::addItem(const std::shared_ptr<ui::Button>& b) {
    ui::Button* raw = b.get();
    b->addTarget(
        this, [this, raw](ui::Control*, const ui::Event*) { buttonTapped(raw); }, ui::kControlEventTouchUpInside);
    buttons_.push_back(b);
    addSubview(b);
}

void HorizMenu::reloadData() {
    removeItems();
    tagBase_ = kThirdsTagBase;
    leadingInset_ = 0;
    if (!dataSource_) return;
    itemCount_ = dataSource_->numberOfItemsForMenu(this);
    setBackgroundColor(dataSource_->backgroundColorForMenu(this));
    selectedImage_ = dataSource_->selectedItemImageForMenu(this);

    const double w = std::trunc(bounds().width() / 3);
    double x = 0;
    for (int i = 0; i < itemCount_; ++i) {
        auto b = ui::Button::buttonWithType(ui::ButtonType::Custom);
        b->setTitle(dataSource_->horizMenuTitleForItemAtIndex(this, unsigned(i)));
        b->titleLabel()->setFont(ui::Font::boldSystemFont(13));
        b->setTitleColor(ui::Color::rgba(255 / 255.0, 144 / 255.0, 105 / 255.0), ui::kControlStateSelected);
        b->setTag(tagBase_ + i);
        b->setFrame({x, 0, w, kHeight});
        if (const char* icon = iconName(i)) {
            auto iv = std::make_shared<ui::ImageView>(ui::Rect{18, 10, 18, 20});
            iv->setImage(ui::Image::named(icon));
            b->addSubview(iv);
        }
        addItem(b);
        x += w + 1;
    }
    setContentSize({x, kHeight});
    layoutIfNeeded();
}

void HorizMenu::reloadDataOri() {
    removeItems();
    tagBase_ = kTitleSizedTagBase;
    leadingInset_ = 30;
    if (!dataSource_) return;
    itemCount_ = dataSource_->numberOfItemsForMenu(this);
    setBackgroundColor(dataSource_->backgroundColorForMenu(this));
    selectedImage_ = dataSource_->selectedItemImageForMenu(this);

    double x = leadingInset_;
    const ui::Font font = ui::Font::boldSystemFont(15);
    for (int i = 0; i < itemCount_; ++i) {
        std::string title = dataSource_->horizMenuTitleForItemAtIndex(this, unsigned(i));
        auto b = ui::Button::buttonWithType(ui::ButtonType::Custom);
        b->setTitle(title);
        b->titleLabel()->setFont(font);
        b->setBackgroundImage(selectedImage_, ui::kControlStateSelected);
        b->setTitleColor(ui::Color::orangeColor(), ui::kControlStateSelected);
        b->setTag(tagBase_ + i);
        ui::Size s = ui::sizeWithFont(title, font, ui::Size{150, 28}, ui::LineBreakMode::Clip);
        const double width = std::min(s.width, 150.0) + 25;
        b->setFrame({x, 7, width, 28});
        addItem(b);
        x += width;
    }
    setContentSize({x, kHeight});
}

void HorizMenu::setSelectedIndex(int index, bool animated) {
    auto* b = dynamic_cast<ui::Button*>(viewWithTag(tagBase_ + index));
    if (!b) return;
    b->setSelected(true);
    setContentOffset({b->frame().x() - leadingInset_, 0}, animated);
    if (delegate_) delegate_->horizMenuItemSelectedAtIndex(this, unsigned(index));
}

void HorizMenu::buttonTapped(ui::Button* button) {
    if (!button) return;
    for (auto& b : buttons_) b->setSelected(b->tag() == button->tag());
    if (delegate_) delegate_->horizMenuItemSelectedAtIndex(this, unsigned(button->tag() - tagBase_));
}
