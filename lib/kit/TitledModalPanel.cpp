#include "lib/kit/TitledModalPanel.h"

TitledModalPanel::TitledModalPanel(const ui::Rect& frame) : ModalPanel(frame) {
    const double colors[8] = {1, 1, 1, 1, 0, 0, 0, 1};
    titleBar_ = std::make_shared<NoisyGradientBackground>(ui::Rect{}, 2, colors, 8, 0.2, ui::BlendMode::Normal);
    roundedRect()->addSubview(titleBar_);

    headerLabel_ = ui::Label::create();
    headerLabel_->setFont(ui::Font::systemFont(24));
    headerLabel_->setBackgroundColor(ui::Color::clearColor());
    headerLabel_->setTextColor(ui::Color::whiteColor());
    headerLabel_->setShadowColor(ui::Color::blackColor());
    headerLabel_->setShadowOffset({0, -1});
    headerLabel_->setTextAlignment(ui::TextAlignment::Center);
    titleBar_->addSubview(headerLabel_);
}

ui::Rect TitledModalPanel::titleBarFrame() {
    ui::Rect b = roundedRect()->bounds();
    double border = roundedRect()->layer().borderWidth();
    return {b.x(), b.y() + border, b.width(), titleBarHeight_ - border};
}

ui::Rect TitledModalPanel::contentViewFrame() {
    ui::Rect box = roundedRect()->frame();
    ui::Rect bar = titleBarFrame();
    double bottom = bar.y() + bar.height();
    ui::EdgeInsets m = margin(), p = padding();
    // The bottom padding is counted twice: the list ends 2 x padding.bottom
    // above the box's lower edge.
    return {m.left + p.left, m.top + p.top + bottom, box.width() - p.left - p.right,
            box.height() - bottom - 2 * p.bottom};
}

void TitledModalPanel::layoutSubviews() {
    ModalPanel::layoutSubviews();
    titleBar_->setFrame(titleBarFrame());
    headerLabel_->setFrame(titleBar_->bounds());
}

void TitledModalPanel::showAnimationStarting() {
    contentView()->setAlpha(0);
    titleBar_->setAlpha(0);
}

void TitledModalPanel::showAnimationFinished() {
    auto self = std::static_pointer_cast<TitledModalPanel>(shared_from_this());
    ui::View::animate(kFadeInSeconds, 0, ui::kAnimationOptionLayoutSubviews, [self] {
        self->contentView()->setAlpha(1);
        self->titleBar_->setAlpha(1);
    });
}
