#include "lib/kit/ModalPanel.h"

#include <cmath>
#include <cstdlib>

#include "platform/ui/Image.h"

namespace {
constexpr unsigned kFlexibleSize = ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight;
constexpr double kCloseButtonSide = 44;

ui::AffineTransform scaled(double s) { return ui::AffineTransform::makeScale(s, s); }
}  // namespace

ModalPanel::ModalPanel(const ui::Rect& frame) : ui::View(frame) {
    setAutoresizingMask(kFlexibleSize);
    setAutoresizesSubviews(true);
    setBackgroundColor(ui::Color::white(0, 0.5));
    setTag(int(::random() & 0x7FFF));

    contentContainer_ = ui::View::create(bounds());
    contentContainer_->setAutoresizingMask(kFlexibleSize);
    contentContainer_->setAutoresizesSubviews(true);
    addSubview(contentContainer_);
}

ModalPanel::~ModalPanel() { delegate_ = nullptr; }

std::string ModalPanel::description() const {
    // Appended piece by piece: GCC's Release build sees a false overlap in
    // "<" + std::string(...) (-Wrestrict).
    std::string out = "<";
    out += className();
    out += ' ';
    out += std::to_string(tag());
    out += '>';
    return out;
}

ui::View* ModalPanel::roundedRect() {
    if (!roundedRect_) {
        roundedRect_ = ui::View::create();
        roundedRect_->setClipsToBounds(true);
        roundedRect_->layer().setBorderColor(borderColor_);
        roundedRect_->layer().setBorderWidth(borderWidth_);
        roundedRect_->layer().setCornerRadius(cornerRadius_);
        roundedRect_->setBackgroundColor(contentColor_);
        contentContainer_->insertSubview(roundedRect_, 0);
    }
    return roundedRect_.get();
}

ui::Button* ModalPanel::closeButton() {
    if (!closeButton_) {
        closeButton_ = ui::Button::buttonWithType(ui::ButtonType::Custom);
        closeButton_->setImage(ui::Image::named("close.png"));
        closeButton_->setFrame({0, 0, kCloseButtonSide, kCloseButtonSide});
        closeButton_->layer().setShadowColor(ui::Color::blackColor());
        closeButton_->layer().setShadowOffset({0, 4});
        closeButton_->layer().setShadowOpacity(0.3);
        closeButton_->setAccessibilityLabel("close");
        closeButton_->addTarget(
            this, [this](ui::Control*, const ui::Event*) { closePressed(); }, ui::kControlEventTouchUpInside);
        contentContainer_->insertSubviewAbove(closeButton_, roundedRect());
    }
    return closeButton_.get();
}

ui::View* ModalPanel::contentView() {
    if (!contentView_) {
        contentView_ = ui::View::create();
        contentView_->setAutoresizingMask(kFlexibleSize);
        contentView_->setAutoresizesSubviews(true);
        contentView_->setBackgroundColor(ui::Color::clearColor());
        contentContainer_->addSubview(contentView_);
    }
    return contentView_.get();
}

void ModalPanel::setBorderColor(const ui::Color& c) {
    borderColor_ = c;
    roundedRect()->layer().setBorderColor(c);
}

void ModalPanel::setBorderWidth(double w) {
    borderWidth_ = w;
    roundedRect()->layer().setBorderWidth(w);
}

void ModalPanel::setCornerRadius(double r) {
    cornerRadius_ = r;
    roundedRect()->layer().setCornerRadius(r);
}

void ModalPanel::setContentColor(const ui::Color& c) {
    contentColor_ = c;
    roundedRect()->setBackgroundColor(c);
}

// The box lives in the content container, which spans the panel's bounds, so
// it is laid out from the bounds (the frame's origin is the superview's).
ui::Rect ModalPanel::roundedRectFrame() {
    ui::Rect b = bounds();
    return {b.x() + margin_.left, b.y() + margin_.top, b.width() - margin_.left - margin_.right,
            b.height() - margin_.top - margin_.bottom};
}

ui::Rect ModalPanel::closeButtonFrame() {
    ui::Rect box = roundedRect()->frame();
    ui::Size s = closeButton()->frame().size;
    return {box.x() - std::floor(s.width * 0.5), box.y() - std::floor(s.height * 0.5), s.width, s.height};
}

ui::Rect ModalPanel::contentViewFrame() {
    ui::Rect box = roundedRect()->frame();
    return {box.x() + padding_.left, box.y() + padding_.top, box.width() - padding_.left - padding_.right,
            box.height() - padding_.top - padding_.bottom};
}

void ModalPanel::layoutSubviews() {
    ui::View::layoutSubviews();
    roundedRect()->setFrame(roundedRectFrame());
    closeButton()->setFrame(closeButtonFrame());
    contentView()->setFrame(contentViewFrame());
}

void ModalPanel::showFromPoint(ui::Point p) {
    startEndPoint_ = p;
    contentContainer_->setCenter(p);
    show();
}

void ModalPanel::show() {
    if (delegate_) delegate_->willShowModalPanel(this);
    showAnimationStarting();
    setAlpha(0);
    contentContainer_->setTransform(scaled(0.00001));
    auto self = std::static_pointer_cast<ModalPanel>(shared_from_this());
    ui::Rect b = bounds();
    ui::View::animate(
        kShowSeconds, 0, ui::kAnimationOptionAllowUserInteraction,
        [self, b] {
            self->setAlpha(1);
            self->contentContainer_->setCenter(b.center());
            self->contentContainer_->setTransform(scaled(self->shouldBounce_ ? 1.05 : 1.0));
        },
        [self](bool) {
            if (!self->shouldBounce_) {
                self->showDone();
                return;
            }
            self->showAnimationPart1Finished();
            ui::View::animate(
                kBounceStepSeconds, [self] { self->contentContainer_->setTransform(scaled(0.95)); },
                [self](bool) {
                    self->showAnimationPart2Finished();
                    ui::View::animate(
                        kBounceStepSeconds, [self] { self->contentContainer_->setTransform(scaled(1.02)); },
                        [self](bool) {
                            self->showAnimationPart3Finished();
                            ui::View::animate(
                                kBounceStepSeconds,
                                [self] { self->contentContainer_->setTransform(ui::AffineTransform::identity()); },
                                [self](bool) { self->showDone(); });
                        });
                });
        });
}

void ModalPanel::showDone() {
    showAnimationFinished();
    if (delegate_) delegate_->didShowModalPanel(this);
}

void ModalPanel::closePressed() {
    if (delegate_) {
        if (std::optional<bool> close = delegate_->shouldCloseModalPanel(this)) {
            if (*close) hide();
            return;
        }
    }
    if (onClosePressed_) {
        auto keep = shared_from_this();
        auto fn = onClosePressed_;  // the block may replace itself
        fn(this);
        return;
    }
    hide();
}

void ModalPanel::animateClose(std::function<void(bool)> done) {
    auto self = std::static_pointer_cast<ModalPanel>(shared_from_this());
    ui::View::animate(
        kHideSeconds,
        [self] {
            self->setAlpha(0);
            // A panel shown from (0, 0) shrinks in place.
            if (self->startEndPoint_ != ui::Point{}) self->contentContainer_->setCenter(self->startEndPoint_);
            self->contentContainer_->setTransform(scaled(0.0001));
        },
        [self, done = std::move(done)](bool finished) {
            if (done) done(finished);
        });
}

void ModalPanel::hide() {
    if (delegate_) delegate_->willCloseModalPanel(this);
    auto self = std::static_pointer_cast<ModalPanel>(shared_from_this());
    animateClose([self](bool) {
        if (self->delegate_) self->delegate_->didCloseModalPanel(self.get());
        self->removeFromSuperview();
    });
}

void ModalPanel::hideWithOnComplete(std::function<void(bool finished)> onComplete) {
    animateClose(std::move(onComplete));
}

// ---------------------------------------------------------------- RoundedRectView

RoundedRectView::RoundedRectView(const ui::Rect& frame) : ui::View(frame) {
    setBackgroundColor(ui::Color::clearColor());
    gradient_ = ui::GradientLayer::create();
    gradient_->setFrame(bounds());
    layer().insertSublayer(gradient_, 0);
    setColors(1, 1, 1, 1, 1, 1, 1, 1);
}

void RoundedRectView::setRadius(int r) {
    radius_ = r;
    layer().setCornerRadius(r);
    gradient_->setCornerRadius(r);
}

void RoundedRectView::setColors(double r1, double g1, double b1, double a1, double r2, double g2, double b2,
                                double a2) {
    gradient_->setColors({ui::Color::rgba(r1, g1, b1, a1), ui::Color::rgba(r2, g2, b2, a2)});
}

void RoundedRectView::layoutSubviews() {
    ui::View::layoutSubviews();
    gradient_->setFrame(bounds());
}
