#include "platform/ui/Control.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Text.h"

namespace ui {

// ---------------------------------------------------------------- Control

Control::Control(const Rect& frame) : View(frame) {}

void Control::addTarget(const void* target, ControlAction action, unsigned events) {
    if (!action || events == 0) return;
    actions_.push_back({target, std::move(action), events});
}

void Control::removeTarget(const void* target, unsigned events) {
    for (auto it = actions_.begin(); it != actions_.end();) {
        if (target == nullptr || it->target == target) {
            it->events &= ~events;
            if (it->events == 0) {
                it = actions_.erase(it);
                continue;
            }
        }
        ++it;
    }
}

unsigned Control::controlEventsForTarget(const void* target) const {
    unsigned e = 0;
    for (const auto& a : actions_)
        if (a.target == target) e |= a.events;
    return e;
}

void Control::sendActionsForControlEvents(unsigned events) { sendActions(events, nullptr); }

void Control::sendActions(unsigned events, const Event* event) {
    // Copy first: an action may add or remove actions, or drop the control.
    auto self = shared_from_this();
    std::vector<ControlAction> toCall;
    for (const auto& a : actions_)
        if (a.events & events) toCall.push_back(a.action);
    for (auto& fn : toCall) fn(this, event);
}

void Control::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    if (!e) highlighted_ = false;
    stateDidChange();
}

void Control::setSelected(bool s) {
    if (selected_ == s) return;
    selected_ = s;
    stateDidChange();
}

void Control::setHighlighted(bool h) {
    if (highlighted_ == h) return;
    highlighted_ = h;
    stateDidChange();
}

unsigned Control::state() const {
    unsigned s = kControlStateNormal;
    if (highlighted_) s |= kControlStateHighlighted;
    if (!enabled_) s |= kControlStateDisabled;
    if (selected_) s |= kControlStateSelected;
    return s;
}

bool Control::beginTrackingWithTouch(const Touch&, const Event&) { return true; }
bool Control::continueTrackingWithTouch(const Touch&, const Event&) { return true; }
void Control::endTrackingWithTouch(const Touch&, const Event&) {}
void Control::cancelTrackingWithEvent(const Event*) {}

namespace {
// Touches this far outside the bounds still count as inside.
constexpr double kTouchSlop = 70;
}  // namespace

void Control::touchesBegan(const TouchSet& touches, const Event& event) {
    if (!enabled_ || touches.empty()) return;  // a disabled control swallows the touch
    const Touch& t = *touches.front();
    touchInside_ = true;
    setHighlighted(true);
    tracking_ = beginTrackingWithTouch(t, event);
    sendActions(t.tapCount() > 1 ? (kControlEventTouchDown | kControlEventTouchDownRepeat) : kControlEventTouchDown,
                &event);
}

void Control::touchesMoved(const TouchSet& touches, const Event& event) {
    if (!enabled_ || touches.empty()) return;
    const Touch& t = *touches.front();
    bool inside = bounds().insetBy(-kTouchSlop, -kTouchSlop).containsPoint(t.locationInView(this));
    bool was = touchInside_;
    touchInside_ = inside;
    setHighlighted(inside);
    if (tracking_) tracking_ = continueTrackingWithTouch(t, event);
    unsigned e = inside ? kControlEventTouchDragInside : kControlEventTouchDragOutside;
    if (inside && !was) e |= kControlEventTouchDragEnter;
    if (!inside && was) e |= kControlEventTouchDragExit;
    sendActions(e, &event);
}

void Control::touchesEnded(const TouchSet& touches, const Event& event) {
    if (touches.empty()) return;
    const Touch& t = *touches.front();
    bool wasTracking = tracking_;
    tracking_ = false;
    if (!enabled_) {
        touchInside_ = false;
        return;
    }
    bool inside = bounds().insetBy(-kTouchSlop, -kTouchSlop).containsPoint(t.locationInView(this));
    touchInside_ = inside;
    setHighlighted(false);
    if (wasTracking) endTrackingWithTouch(t, event);
    auto keep = shared_from_this();
    sendActions(inside ? kControlEventTouchUpInside : kControlEventTouchUpOutside, &event);
    touchInside_ = false;
}

void Control::touchesCancelled(const TouchSet&, const Event& event) {
    bool wasTracking = tracking_;
    tracking_ = false;
    touchInside_ = false;
    if (!enabled_) return;
    setHighlighted(false);
    if (wasTracking) cancelTrackingWithEvent(&event);
    sendActions(kControlEventTouchCancel, &event);
}

// ---------------------------------------------------------------- Button

Button::Button(const Rect& frame, ButtonType type) : Control(frame), type_(type) {
    backgroundView_ = std::make_shared<ImageView>(bounds());
    backgroundView_->setHidden(true);
    addSubview(backgroundView_);
    imageView_ = std::make_shared<ImageView>(Rect{});
    imageView_->setHidden(true);
    addSubview(imageView_);
    titleLabel_ = std::make_shared<Label>(Rect{});
    titleLabel_->setHidden(true);
    titleLabel_->setBackgroundColor(Color::clearColor());
    titleLabel_->setFont(Font::boldSystemFont(type == ButtonType::RoundedRect ? 15 : 18));
    titleLabel_->setLineBreakMode(LineBreakMode::MiddleTruncation);
    titleLabel_->setUserInteractionEnabled(false);
    addSubview(titleLabel_);
    if (type == ButtonType::RoundedRect) {
        setBackgroundColor(Color::whiteColor());
        layer().setCornerRadius(9);
        layer().setBorderWidth(1);
        layer().setBorderColor(Color::white(0.6));
        titleColors_[kControlStateNormal] = Color::rgba(0.2, 0.31, 0.52);
        titleColors_[kControlStateHighlighted] = Color::whiteColor();
    } else {
        titleColors_[kControlStateNormal] = Color::whiteColor();
    }
    if (type == ButtonType::DetailDisclosure || type == ButtonType::InfoLight || type == ButtonType::InfoDark ||
        type == ButtonType::ContactAdd) {
        setFrame({frame.origin, {22, 22}});
        // The small round buttons: a mark in a ring.
        titles_[kControlStateNormal] = type == ButtonType::ContactAdd         ? "+"
                                       : type == ButtonType::DetailDisclosure ? "\u203A"
                                                                              : "i";
        Color mark = type == ButtonType::InfoDark ? Color::darkGrayColor() : Color::whiteColor();
        titleColors_[kControlStateNormal] = mark;
        titleLabel_->setFont(Font::boldSystemFont(15));
        titleLabel_->setTextAlignment(TextAlignment::Center);
        layer().setCornerRadius(11);
        layer().setBorderWidth(2);
        layer().setBorderColor(mark);
    }
    update();
}

std::shared_ptr<Button> Button::buttonWithType(ButtonType type) { return std::make_shared<Button>(Rect{}, type); }

template <typename T>
T Button::lookup(const std::map<unsigned, T>& m, unsigned state, T fallback) {
    auto it = m.find(state);
    if (it != m.end()) return it->second;
    // Highlighted wins over selected for a button both highlighted and selected.
    if (state & kControlStateHighlighted) {
        it = m.find(kControlStateHighlighted);
        if (it != m.end()) return it->second;
    }
    if (state & kControlStateSelected) {
        it = m.find(kControlStateSelected);
        if (it != m.end()) return it->second;
    }
    if (state & kControlStateDisabled) {
        it = m.find(kControlStateDisabled);
        if (it != m.end()) return it->second;
    }
    it = m.find(kControlStateNormal);
    return it != m.end() ? it->second : fallback;
}

void Button::setTitle(const std::string& title, unsigned state) {
    titles_[state] = title;
    update();
}
std::string Button::titleForState(unsigned state) const { return lookup<std::string>(titles_, state, ""); }
void Button::setTitleColor(const Color& color, unsigned state) {
    titleColors_[state] = color;
    update();
}
Color Button::titleColorForState(unsigned state) const { return lookup(titleColors_, state, Color::whiteColor()); }
void Button::setTitleShadowColor(const Color& color, unsigned state) {
    shadowColors_[state] = color;
    update();
}
Color Button::titleShadowColorForState(unsigned state) const {
    return lookup(shadowColors_, state, Color::clearColor());
}
void Button::setImage(ImageRef image, unsigned state) {
    images_[state] = std::move(image);
    update();
}
ImageRef Button::imageForState(unsigned state) const { return lookup<ImageRef>(images_, state, nullptr); }
void Button::setBackgroundImage(ImageRef image, unsigned state) {
    backgroundImages_[state] = std::move(image);
    update();
}
ImageRef Button::backgroundImageForState(unsigned state) const {
    return lookup<ImageRef>(backgroundImages_, state, nullptr);
}

void Button::update() {
    unsigned s = state();
    auto bg = backgroundImageForState(s);
    backgroundView_->setImage(bg);
    backgroundView_->setHidden(!bg);
    auto img = imageForState(s);
    imageView_->setImage(img);
    imageView_->setHidden(!img);
    // Without its own highlighted picture, a highlighted button dims its image.
    bool dim = adjustsImage_ && isHighlighted() && !images_.count(kControlStateHighlighted);
    imageView_->setAlpha(dim ? 0.6 : (isEnabled() ? 1.0 : 0.5));
    std::string title = titleForState(s);
    titleLabel_->setText(title);
    titleLabel_->setHidden(title.empty());
    titleLabel_->setTextColor(titleColorForState(s));
    titleLabel_->setShadowColor(titleShadowColorForState(s));
    // A disabled button draws its title faded, unless it has a colour of its
    // own for that state.
    titleLabel_->setEnabled(isEnabled() || titleColors_.count(kControlStateDisabled) != 0);
    if (type_ == ButtonType::RoundedRect)
        setBackgroundColor(isHighlighted() ? Color::rgba(0.2, 0.4, 0.9) : Color::whiteColor());
    setNeedsLayout();
    setNeedsDisplay();
}

Size Button::titleSize() const {
    const std::string& t = titleLabel_->text();
    if (t.empty()) return {};
    return sizeWithFont(t, titleLabel_->font());
}

Rect Button::imageRectForContentRect(const Rect& content) const {
    auto img = currentImage();
    if (!img) return {content.center(), {0, 0}};
    Size is = img->size();
    Size ts = titleSize();
    double avail = content.width() - titleInsets_.left - titleInsets_.right;
    double total = is.width + std::min(ts.width, std::max(0.0, avail - is.width));
    double x = content.x() + std::round((content.width() - total) / 2);
    double y = content.y() + std::round((content.height() - is.height) / 2);
    Rect r{x, y, is.width, is.height};
    return r.offsetBy(imageInsets_.left - imageInsets_.right, imageInsets_.top - imageInsets_.bottom);
}

Rect Button::titleRectForContentRect(const Rect& content) const {
    Size ts = titleSize();
    if (ts.width == 0 && ts.height == 0) return {content.center(), {0, 0}};
    auto img = currentImage();
    double iw = img ? img->size().width : 0;
    Rect avail = titleInsets_.inset(content);
    double w = std::max(0.0, std::min(ts.width, avail.width() - iw));
    double h = std::min(ts.height, std::max(0.0, avail.height()));
    double total = iw + w;
    double x = avail.x() + std::round((avail.width() - total) / 2) + iw;
    double y = avail.y() + std::round((avail.height() - h) / 2);
    return {x, y, w, h};
}

void Button::layoutSubviews() {
    Rect b = bounds();
    backgroundView_->setFrame(backgroundRectForBounds(b));
    Rect content = contentRectForBounds(b);
    imageView_->setFrame(imageRectForContentRect(content));
    titleLabel_->setFrame(titleRectForContentRect(content));
}

Size Button::sizeThatFits(Size) const {
    Size ts = titleSize();
    auto img = currentImage();
    Size is = img ? img->size() : Size{};
    Size s{ts.width + is.width + contentInsets_.left + contentInsets_.right + titleInsets_.left + titleInsets_.right,
           std::max(ts.height, is.height) + contentInsets_.top + contentInsets_.bottom};
    if (auto bg = currentBackgroundImage()) {
        s.width = std::max(s.width, bg->size().width);
        s.height = std::max(s.height, bg->size().height);
    }
    return s;
}

// ---------------------------------------------------------------- ActivityIndicatorView

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorStyle style) : View(Rect{}), style_(style) {
    setStyle(style);
    setHidden(true);
    setUserInteractionEnabled(false);
}

void ActivityIndicatorView::setStyle(ActivityIndicatorStyle s) {
    style_ = s;
    double side = s == ActivityIndicatorStyle::WhiteLarge ? 37 : 20;
    Point c = center();
    setBounds({0, 0, side, side});
    setCenter(c);
    setNeedsDisplay();
}

Size ActivityIndicatorView::sizeThatFits(Size) const {
    double side = style_ == ActivityIndicatorStyle::WhiteLarge ? 37 : 20;
    return {side, side};
}

Color ActivityIndicatorView::color() const {
    return style_ == ActivityIndicatorStyle::Gray ? Color::grayColor() : Color::whiteColor();
}

void ActivityIndicatorView::startAnimating() {
    animating_ = true;
    setHidden(false);
    setNeedsDisplay();
}

void ActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicatorView::setHidesWhenStopped(bool h) {
    hidesWhenStopped_ = h;
    if (!animating_) setHidden(h);
}

void ActivityIndicatorView::drawRect(const Rect&) {
    auto* ctx = currentContext();
    if (!ctx) return;
    Rect b = bounds();
    double r = std::min(b.width(), b.height()) / 2;
    Point c = b.center();
    ctx->setLineWidth(r / 4.5);
    ctx->setLineCap(LineCap::Round);
    for (int i = 0; i < 12; ++i) {
        double a = i * M_PI / 6;
        Color col = color();
        ctx->setStrokeColor(Color::rgba(col.red(), col.green(), col.blue(), 0.25 + 0.75 * (i / 11.0)));
        ctx->strokeLine({c.x + std::cos(a) * r * 0.5, c.y + std::sin(a) * r * 0.5},
                        {c.x + std::cos(a) * r * 0.9, c.y + std::sin(a) * r * 0.9});
    }
}

// ---------------------------------------------------------------- ProgressView

ProgressView::ProgressView(ProgressViewStyle style) : View(Rect{0, 0, 150, 9}), style_(style) {
    setBackgroundColor(Color::clearColor());
    setUserInteractionEnabled(false);
}

void ProgressView::setProgress(double p, bool) {
    if (std::isnan(p)) p = 0;
    progress_ = std::clamp(p, 0.0, 1.0);
    setNeedsDisplay();
}

void ProgressView::drawRect(const Rect&) {
    auto* ctx = currentContext();
    if (!ctx) return;
    Rect b = bounds();
    ctx->setFillColor(track_);
    ctx->fillRect(b);
    ctx->setFillColor(tint_);
    ctx->fillRect({b.x(), b.y(), b.width() * progress_, b.height()});
}

// ---------------------------------------------------------------- PageControl

PageControl::PageControl(const Rect& frame) : Control(frame) {}

void PageControl::setNumberOfPages(int n) {
    pages_ = std::max(0, n);
    if (current_ >= pages_) current_ = std::max(0, pages_ - 1);
    displayed_ = current_;
    updateHidden();
    setNeedsDisplay();
}

void PageControl::setCurrentPage(int p) {
    current_ = std::clamp(p, 0, std::max(0, pages_ - 1));
    displayed_ = current_;
    setNeedsDisplay();
}

void PageControl::setHidesForSinglePage(bool h) {
    hidesForSingle_ = h;
    updateHidden();
}

void PageControl::updateHidden() {
    if (hidesForSingle_) setHidden(pages_ <= 1);
}

void PageControl::updateCurrentPageDisplay() {
    displayed_ = current_;
    setNeedsDisplay();
}

Size PageControl::sizeForNumberOfPages(int n) const { return {n > 0 ? n * 16.0 - 9 : 0, 36}; }

void PageControl::endTrackingWithTouch(const Touch& touch, const Event&) {
    if (pages_ == 0) return;
    Point p = touch.locationInView(this);
    if (!bounds().containsPoint(p)) return;
    int before = current_;
    int next = std::clamp(p.x < bounds().midX() ? current_ - 1 : current_ + 1, 0, pages_ - 1);
    current_ = next;
    if (!defers_) displayed_ = current_;
    setNeedsDisplay();
    if (next != before) sendActions(kControlEventValueChanged, nullptr);
}

void PageControl::drawRect(const Rect&) {
    auto* ctx = currentContext();
    if (!ctx || pages_ == 0) return;
    Size s = sizeForNumberOfPages(pages_);
    Rect b = bounds();
    double x = b.x() + (b.width() - s.width) / 2;
    double y = b.midY() - 3.5;
    for (int i = 0; i < pages_; ++i) {
        ctx->setFillColor(i == displayed_ ? Color::whiteColor() : Color::white(1, 0.3));
        ctx->fillEllipseInRect({x + i * 16.0, y, 7, 7});
    }
}

}  // namespace ui
