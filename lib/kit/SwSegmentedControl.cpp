#include "lib/kit/SwSegmentedControl.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Path.h"
#include "platform/ui/Text.h"

namespace {

// The y of a title's box: centred on the control's height by the font's
// point size and descender, one point higher for odd sizes.
double titleTop(double controlHeight, const ui::Font& font, const ui::EdgeInsets& titleInsets) {
    double size = font.pointSize();
    double y = std::ceil((controlHeight - size + font.descender()) / 2) + titleInsets.top - titleInsets.bottom;
    if (int(size) % 2 != 0) y -= 1;
    return y;
}

void grayGradient(ui::GraphicsContext& ctx, double top, double bottom, double height) {
    const double components[4] = {top, 1, bottom, 1};
    const double locations[2] = {0, 1};
    ctx.drawLinearGradient(ui::Gradient::withGrayComponents(components, locations, 2), {0, 0}, {0, height}, 0);
}

}  // namespace

// ---------------------------------------------------------------- SwSegmentedThumb

SwSegmentedThumb::SwSegmentedThumb(const ui::Rect& frame) : ui::View(frame) {
    setUserInteractionEnabled(false);
    setBackgroundColor(ui::Color::clearColor());
    setOpaque(false);
    setShouldCastShadow(true);
}

std::shared_ptr<ui::Label> SwSegmentedThumb::makeLabel() const {
    auto l = ui::Label::create(bounds());
    l->setTextAlignment(ui::TextAlignment::Center);
    l->setFont(font_);
    l->setTextColor(textColor_);
    l->setShadowColor(textShadowColor_);
    l->setShadowOffset(textShadowOffset_);
    l->setBackgroundColor(ui::Color::clearColor());
    const_cast<SwSegmentedThumb*>(this)->addSubview(l);
    return l;
}

ui::Label* SwSegmentedThumb::label() const {
    if (!label_) label_ = makeLabel();
    return label_.get();
}

ui::Label* SwSegmentedThumb::secondLabel() const {
    if (!secondLabel_) secondLabel_ = makeLabel();
    return secondLabel_.get();
}

bool SwSegmentedThumb::crossFading() const { return control_ && control_->crossFadeLabelsOnDrag(); }

void SwSegmentedThumb::setBackgroundImage(ui::ImageRef image) {
    backgroundImage_ = std::move(image);
    setShouldCastShadow(!backgroundImage_);
    setNeedsDisplay();
}

void SwSegmentedThumb::setHighlightedBackgroundImage(ui::ImageRef image) {
    highlightedBackgroundImage_ = std::move(image);
    setNeedsDisplay();
}

void SwSegmentedThumb::setTintColor(const ui::Color& c) {
    tintColor_ = c;
    setNeedsDisplay();
}

void SwSegmentedThumb::setTextColor(const ui::Color& c) {
    textColor_ = c;
    label()->setTextColor(c);
    secondLabel()->setTextColor(c);
}

void SwSegmentedThumb::setTextShadowColor(const ui::Color& c) {
    textShadowColor_ = c;
    label()->setShadowColor(c);
    secondLabel()->setShadowColor(c);
}

void SwSegmentedThumb::setTextShadowOffset(ui::Size s) {
    textShadowOffset_ = s;
    label()->setShadowOffset(s);
    secondLabel()->setShadowOffset(s);
}

void SwSegmentedThumb::setFont(const ui::Font& f) {
    font_ = f;
    label()->setFont(f);
    secondLabel()->setFont(f);
}

void SwSegmentedThumb::setShouldCastShadow(bool b) {
    castsShadow_ = b;
    layer().setShadowOpacity(b ? 1 : 0);
}

void SwSegmentedThumb::setSelected(bool s) {
    selected_ = s;
    setAlpha(s && !crossFading() && !highlightedBackgroundImage_ ? 0.8 : 1);
    setNeedsDisplay();
}

void SwSegmentedThumb::activate() {
    setSelected(false);
    if (!crossFading()) label()->setAlpha(1);
}

void SwSegmentedThumb::deactivate() {
    setSelected(true);
    if (!crossFading()) label()->setAlpha(0);
}

void SwSegmentedThumb::setFrame(const ui::Rect& frame) {
    ui::View::setFrame(frame);
    double controlHeight = control_ ? control_->height() : frame.height();
    ui::EdgeInsets titleInsets = control_ ? control_->titleEdgeInsets() : ui::EdgeInsets{};
    double thumbTop = control_ ? control_->thumbEdgeInset().top : 0;
    ui::Font f = font();
    double y = titleTop(controlHeight, f, titleInsets) - thumbTop + 2;
    ui::Rect labelFrame{0, y, frame.width(), f.pointSize()};
    label()->setFrame(labelFrame);
    secondLabel()->setFrame(labelFrame);

    double radius = control_ ? control_->cornerRadius() : 4;
    layer().setShadowOffset({0, 0});
    layer().setShadowRadius(1);
    layer().setShadowColor(ui::Color::blackColor());
    layer().setShadowPath(ui::Path::roundedRect(bounds(), std::max(0.0, radius - 1)));
    layer().setShouldRasterize(true);
}

void SwSegmentedThumb::drawRect(const ui::Rect& rect) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    if (backgroundImage_ && !selected_) {
        ctx->drawImage(*backgroundImage_, rect);
        return;
    }
    if (highlightedBackgroundImage_ && selected_) {
        ctx->drawImage(*highlightedBackgroundImage_, rect);
        return;
    }
    double r = control_ ? control_->cornerRadius() : 4;
    ui::Rect b = bounds();
    ctx->addPath(ui::Path::roundedRect(b, std::max(0.0, r - 1.5)));
    ctx->clip();
    ctx->saveGState();
    grayGradient(*ctx, selected_ ? 0.45 : 0.55, selected_ ? 0.3 : 0.4, b.height());
    ctx->addPath(ui::Path::roundedRect(b.insetBy(1, 1), std::max(0.0, r - 2.5)));
    ctx->clip();
    grayGradient(*ctx, selected_ ? 0.4 : 0.5, selected_ ? 0.25 : 0.35, b.height());
    ctx->restoreGState();
    ctx->setBlendMode(ui::BlendMode::Overlay);
    ctx->setFillColor(tintColor_);
    ctx->fillRect(b);
}

// ---------------------------------------------------------------- SwSegmentedControl

SwSegmentedControl::SwSegmentedControl(const std::vector<std::string>& sectionTitles)
    : ui::Control(ui::Rect{}), titles_(sectionTitles) {
    thumbRects_.reserve(titles_.size());
    setBackgroundColor(ui::Color::clearColor());
    setOpaque(false);
    setClipsToBounds(false);
    setUserInteractionEnabled(true);
}

SwSegmentedThumb* SwSegmentedControl::thumb() const {
    if (!thumb_) {
        thumb_ = std::make_shared<SwSegmentedThumb>(ui::Rect{});
        thumb_->setSegmentedControl(const_cast<SwSegmentedControl*>(this));
    }
    return thumb_.get();
}

void SwSegmentedControl::setBackgroundImage(ui::ImageRef image) {
    backgroundImage_ = std::move(image);
    if (backgroundImage_) height_ = backgroundImage_->size().height;
    setNeedsDisplay();
}

void SwSegmentedControl::willMoveToSuperview(ui::View* newSuperview) {
    if (newSuperview) layoutSegments();
}

void SwSegmentedControl::layoutSegments() {
    segmentWidth_ = 0;
    for (const std::string& title : titles_) {
        double w = ui::sizeWithFont(title, font_).width + titleEdgeInsets_.left + titleEdgeInsets_.right +
                   thumbEdgeInset_.left + thumbEdgeInset_.right;
        segmentWidth_ = std::max(segmentWidth_, w);
    }
    segmentWidth_ = 2 * std::ceil(segmentWidth_ / 2);
    setBounds({0, 0, segmentWidth_ * double(titles_.size()), height_});

    SwSegmentedThumb* t = thumb();
    thumbHeight_ = t->backgroundImage() ? t->backgroundImage()->size().height
                                        : height_ - thumbEdgeInset_.top - thumbEdgeInset_.bottom;
    // Laid out again on every entry into a superview: the rectangles are
    // made afresh, not appended to the ones of an earlier entry.
    thumbRects_.clear();
    for (size_t i = 0; i < titles_.size(); ++i) {
        thumbRects_.push_back({segmentWidth_ * double(i) + thumbEdgeInset_.left, thumbEdgeInset_.top,
                               segmentWidth_ - 2 * thumbEdgeInset_.left, thumbHeight_});
    }
    if (thumbRects_.empty()) return;
    t->setFont(font_);
    t->setFrame(thumbRects_[0]);
    t->layer().setShadowPath(ui::Path::roundedRect(t->bounds(), 2));
    t->label()->setText(titles_[0]);
    insertSubview(thumb_, 0);
    moveThumbToIndex(selectedIndex_, selectedIndex_ != 0 && animateToInitialSelection_);
}

void SwSegmentedControl::moveThumbToIndex(unsigned index, bool animate) {
    if (index >= thumbRects_.size()) return;
    selectedIndex_ = index;
    sendActionsForControlEvents(ui::kControlEventValueChanged);
    thumb()->setTintColor(index == 0 ? ui::Color::orangeColor() : ui::Color::grayColor());
    ui::Rect target = thumbRects_[index];
    if (animate) {
        thumb()->deactivate();
        auto self = std::static_pointer_cast<SwSegmentedControl>(shared_from_this());
        ui::View::animate(
            kSnapSeconds, 0, ui::kAnimationOptionCurveEaseOut,
            [self, target] {
                self->thumb()->setFrame(target);
                if (self->crossFadeLabelsOnDrag_) self->updateTitles();
            },
            [self](bool) { self->activate(); });
    } else {
        thumb()->setFrame(target);
        activate();
    }
}

void SwSegmentedControl::activate() {
    moved_ = false;
    trackingThumb_ = false;
    if (selectedIndex_ < titles_.size()) thumb()->label()->setText(titles_[selectedIndex_]);
    if (selectedSegmentChangedHandler) selectedSegmentChangedHandler(this);
    if (delegate_) delegate_->segmentedControl(this, selectedIndex_);
    auto self = std::static_pointer_cast<SwSegmentedControl>(shared_from_this());
    ui::View::animate(kActivateSeconds, 0, ui::kAnimationOptionAllowUserInteraction, [self] {
        self->activated_ = true;
        self->thumb()->activate();
    });
}

void SwSegmentedControl::toggle() {
    snapToIndex_ = snapToIndex_ == 0 ? 1 : 0;
    snap(true);
}

unsigned SwSegmentedControl::segmentAt(double x) const {
    if (segmentWidth_ <= 0 || titles_.empty()) return 0;
    double i = std::floor(x / segmentWidth_);
    if (i < 0) return 0;
    return unsigned(std::min(i, double(titles_.size() - 1)));
}

void SwSegmentedControl::snap(bool animated) {
    if (thumbRects_.empty()) return;
    thumb()->deactivate();
    if (crossFadeLabelsOnDrag_) thumb()->secondLabel()->setAlpha(0);
    unsigned index = snapToIndex_ == kNoIndex ? segmentAt(thumb()->center().x) : snapToIndex_;
    index = std::min<unsigned>(index, unsigned(thumbRects_.size() - 1));
    thumb()->label()->setText(titles_[index]);
    if (changeHandler && index != selectedIndex_ && !isTracking()) changeHandler(index);
    if (animated) {
        moveThumbToIndex(index, true);
    } else {
        thumb()->setFrame(thumbRects_[index]);
    }
}

void SwSegmentedControl::updateTitles() {
    if (titles_.empty() || segmentWidth_ <= 0) return;
    SwSegmentedThumb* t = thumb();
    double q = t->center().x / segmentWidth_;
    double n = std::floor(q);
    double f = q - n;
    size_t count = titles_.size();
    size_t ni = size_t(std::clamp(n, 0.0, double(count - 1)));
    if (f < 0.5 && n > 0) {
        t->label()->setAlpha(f + 0.5);
        t->secondLabel()->setText(titles_[ni - 1]);
        t->secondLabel()->setAlpha(0.5 - f);
    } else if (n + 1 < double(count)) {
        t->label()->setAlpha(1.5 - f);
        t->secondLabel()->setText(titles_[ni + 1]);
        t->secondLabel()->setAlpha(f - 0.5);
    } else {
        t->secondLabel()->setText("");
        t->label()->setAlpha(1);
    }
    t->label()->setText(titles_[ni]);
}

bool SwSegmentedControl::beginTrackingWithTouch(const ui::Touch& touch, const ui::Event& event) {
    ui::Control::beginTrackingWithTouch(touch, event);
    SwSegmentedThumb* t = thumb();
    ui::Point p = touch.locationInView(t);
    activated_ = false;
    snapToIndex_ = segmentAt(t->center().x);
    if (t->bounds().containsPoint(p)) {
        trackingThumb_ = true;
        t->deactivate();
        dragOffset_ = t->frame().width() / 2 - p.x;
    }
    return true;
}

bool SwSegmentedControl::continueTrackingWithTouch(const ui::Touch& touch, const ui::Event& event) {
    ui::Control::continueTrackingWithTouch(touch, event);
    SwSegmentedThumb* t = thumb();
    double p = touch.locationInView(this).x + dragOffset_;
    double half = t->frame().width() / 2;
    ui::Rect b = bounds();
    double overRight = (p + half) - (b.maxX() - 2);
    double overLeft = (b.minX() + 2) - (p - half);
    if ((overRight > 0 || overLeft > 0) && trackingThumb_) {
        snapToIndex_ = segmentAt(t->center().x);
        if (std::max(overRight, overLeft) > 10) moved_ = true;
        snap(false);
    } else if (trackingThumb_) {
        t->setCenter({p, t->center().y});
        moved_ = true;
    }
    if (crossFadeLabelsOnDrag_) updateTitles();
    return true;
}

void SwSegmentedControl::endTrackingWithTouch(const ui::Touch& touch, const ui::Event& event) {
    ui::Control::endTrackingWithTouch(touch, event);
    if (!moved_ && trackingThumb_ && titles_.size() == 2) {
        toggle();
        return;
    }
    ui::Point p = touch.locationInView(this);
    ui::Rect b = bounds();
    double x = p.x;
    if (activated_ || !b.containsPoint(p)) {
        if (x < b.minX())
            x = b.minX();
        else if (x >= b.maxX())
            x = b.maxX() - 1;
    }
    snapToIndex_ = segmentAt(x);
    snap(true);
}

void SwSegmentedControl::cancelTrackingWithEvent(const ui::Event* event) {
    ui::Control::cancelTrackingWithEvent(event);
    if (trackingThumb_) snap(false);
}

void SwSegmentedControl::drawRect(const ui::Rect& rect) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    double w = bounds().width(), h = bounds().height();
    if (backgroundImage_) {
        ctx->drawImage(*backgroundImage_, rect);
    } else {
        ctx->saveGState();
        ctx->setFillColor(ui::Color::white(1, 0.1));
        ctx->addPath(ui::Path::roundedRect({0, 0, w, h}, cornerRadius_));
        ctx->fillPath();
        ui::Path shorter = ui::Path::roundedRect({0, 0, w, h - 1}, cornerRadius_);
        ctx->addPath(shorter);
        ctx->clip();
        grayGradient(*ctx, 0.1, 0.12, h - 1);
        ctx->saveGState();
        ctx->setBlendMode(ui::BlendMode::Overlay);
        ctx->setFillColor(tintColor_);
        ctx->fillRect({0, 0, w, h});
        ctx->restoreGState();
        ctx->setShadow({0, 1}, 1, ui::Color::white(0, 0.6));
        ctx->setStrokeColor(ui::Color::white(0, 0.9));
        ctx->addPath(shorter);
        ctx->strokePath();
        ctx->restoreGState();
    }
    ctx->saveGState();
    ctx->setShadow(textShadowOffset_, 0, textShadowColor_);
    ctx->setFillColor(textColor_);
    double y = titleTop(h, font_, titleEdgeInsets_);
    for (size_t i = 0; i < titles_.size(); ++i) {
        ui::drawText(titles_[i], {segmentWidth_ * double(i), y, segmentWidth_, font_.pointSize()}, font_,
                     ui::LineBreakMode::Clip, ui::TextAlignment::Center, 1);
    }
    ctx->restoreGState();
}
