#include "lib/kit/ProgressHUD.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/foundation/Background.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/DeviceOrientation.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Text.h"
#include "platform/ui/Window.h"

namespace {
constexpr double kPadding = 4;  // between stacked elements
constexpr double kAnimationSeconds = 0.3;
constexpr double kPi = 3.14159265358979323846;

double monotonicNow() { return foundation::clock().monotonic(); }
}  // namespace

// ---------------------------------------------------------------- RoundProgressView

RoundProgressView::RoundProgressView() : RoundProgressView(ui::Rect(0, 0, 37, 37)) {}

RoundProgressView::RoundProgressView(const ui::Rect& frame) : ui::View(frame) {
    setBackgroundColor(ui::Color::clearColor());
    setOpaque(false);
}

void RoundProgressView::setProgress(float p) {
    progress_ = p;
    setNeedsDisplay();
}

void RoundProgressView::setAnnular(bool a) {
    annular_ = a;
    setNeedsDisplay();
}

void RoundProgressView::drawRect(const ui::Rect&) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    ui::Rect all = bounds();
    double w = all.width(), h = all.height();
    ui::Point center{w / 2, h / 2};
    double start = -kPi / 2;
    double end = double(progress_) * 2 * kPi - kPi / 2;
    if (annular_) {
        ctx->saveGState();
        ctx->setLineWidth(5);
        ctx->setLineCap(ui::LineCap::Round);
        double radius = (w - 5) / 2;
        // The track, then the progress arc; flag 0 sweeps clockwise on screen.
        ctx->setStrokeColor(ui::Color::white(1, 0.1));
        ctx->beginPath();
        ctx->addArc(center.x, center.y, radius, start, 3 * kPi / 2, 0);
        ctx->strokePath();
        ctx->setStrokeColor(ui::Color::white(1, 1));
        ctx->beginPath();
        ctx->addArc(center.x, center.y, radius, start, end, 0);
        ctx->strokePath();
        ctx->restoreGState();
        return;
    }
    ui::Rect circle = all.insetBy(2, 2);
    ctx->saveGState();
    ctx->setRGBStrokeColor(1, 1, 1, 1);
    ctx->setRGBFillColor(1, 1, 1, 0.1);
    ctx->setLineWidth(2);
    ctx->fillEllipseInRect(circle);
    ctx->strokeEllipseInRect(circle);
    ctx->setRGBFillColor(1, 1, 1, 1);
    double radius = (w - 4) / 2;
    ctx->beginPath();
    ctx->moveTo(center.x, center.y);
    ctx->addArc(center.x, center.y, radius, start, end, 0);
    ctx->closePath();
    ctx->fillPath();
    ctx->restoreGState();
}

// ---------------------------------------------------------------- ProgressHUD

ProgressHUD::ProgressHUD(const ui::Rect& frame) : ui::View(frame) {
    setOpaque(false);
    setBackgroundColor(ui::Color::clearColor());
    setAlpha(0);
    setAutoresizingMask(ui::kAutoresizingFlexibleLeftMargin | ui::kAutoresizingFlexibleRightMargin |
                        ui::kAutoresizingFlexibleTopMargin | ui::kAutoresizingFlexibleBottomMargin);

    auto makeLabel = [this](const ui::Font& font, const std::string& text) {
        auto l = ui::Label::create(bounds());
        l->setAdjustsFontSizeToFitWidth(false);
        l->setTextAlignment(ui::TextAlignment::Center);
        l->setOpaque(false);
        l->setBackgroundColor(ui::Color::clearColor());
        l->setTextColor(ui::Color::whiteColor());
        l->setFont(font);
        l->setText(text);
        return l;
    };
    label_ = makeLabel(labelFont_, labelText_);
    detailsLabel_ = makeLabel(detailsLabelFont_, detailsLabelText_);
    detailsLabel_->setNumberOfLines(0);
    addSubview(label_);
    addSubview(detailsLabel_);
    updateIndicators();

    foundation::NotificationCenter::defaultCenter().addObserver(
        this, ui::kDeviceOrientationDidChangeNotification, [this](const foundation::Notification&) {
            // Notifications may come from any thread; the views change on the main one.
            std::weak_ptr<View> weak = weak_from_this();
            foundation::performOnMainThread([weak] {
                if (auto self = std::static_pointer_cast<ProgressHUD>(weak.lock())) self->deviceOrientationDidChange();
            });
        });
}

ProgressHUD::~ProgressHUD() {
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    cancelTimers();
}

std::shared_ptr<ProgressHUD> ProgressHUD::create(const ui::Rect& frame) { return std::make_shared<ProgressHUD>(frame); }

std::shared_ptr<ProgressHUD> ProgressHUD::initWithView(ui::View* view) {
    auto hud = create(view ? view->bounds() : ui::Rect());
    if (dynamic_cast<ui::Window*>(view)) hud->setTransformForCurrentOrientation(false);
    return hud;
}

std::shared_ptr<ProgressHUD> ProgressHUD::showHUDAddedTo(ui::View* view, bool animated) {
    auto hud = initWithView(view);
    if (view) view->addSubview(hud);
    hud->show(animated);
    return hud;
}

std::shared_ptr<ProgressHUD> ProgressHUD::HUDForView(ui::View* view) {
    if (!view) return nullptr;
    const auto& subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it)
        if (auto hud = std::dynamic_pointer_cast<ProgressHUD>(*it)) return hud;
    return nullptr;
}

std::vector<std::shared_ptr<ProgressHUD>> ProgressHUD::allHUDsForView(ui::View* view) {
    std::vector<std::shared_ptr<ProgressHUD>> huds;
    if (!view) return huds;
    for (const auto& v : view->subviews())
        if (auto hud = std::dynamic_pointer_cast<ProgressHUD>(v)) huds.push_back(hud);
    return huds;
}

bool ProgressHUD::hideHUDForView(ui::View* view, bool animated) {
    auto hud = HUDForView(view);
    if (!hud) return false;
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hide(animated);
    return true;
}

size_t ProgressHUD::hideAllHUDsForView(ui::View* view, bool animated) {
    auto huds = allHUDsForView(view);
    for (auto& hud : huds) {
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hide(animated);
    }
    return huds.size();
}

// ---------------------------------------------------------------- showing and hiding

void ProgressHUD::show(bool animated) {
    float grace;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        useAnimation_ = animated;
        grace = graceTime_;
    }
    if (grace > 0) {
        if (graceTimer_) graceTimer_->invalidate();
        std::weak_ptr<View> weak = weak_from_this();
        graceTimer_ = foundation::RunLoop::current().addTimer(grace, false, [weak](foundation::Timer&) {
            if (auto self = std::static_pointer_cast<ProgressHUD>(weak.lock())) self->handleGraceTimer();
        });
        return;
    }
    setNeedsDisplay();
    showUsingAnimation(animated);
}

void ProgressHUD::handleGraceTimer() {
    graceTimer_.reset();
    if (!taskInProgress()) return;
    setNeedsDisplay();
    showUsingAnimation(useAnimation());
}

void ProgressHUD::hide(bool animated) {
    float minShow;
    std::optional<double> started;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        useAnimation_ = animated;
        minShow = minShowTime_;
        started = showStarted_;
    }
    // Once hiding, a pending grace period must not bring the overlay back.
    if (graceTimer_) {
        graceTimer_->invalidate();
        graceTimer_.reset();
    }
    if (minShow > 0 && started) {
        double shown = monotonicNow() - *started;
        if (shown < minShow) {
            if (minShowTimer_) minShowTimer_->invalidate();
            std::weak_ptr<View> weak = weak_from_this();
            minShowTimer_ = foundation::RunLoop::current().addTimer(minShow - shown, false, [weak](foundation::Timer&) {
                if (auto self = std::static_pointer_cast<ProgressHUD>(weak.lock())) self->handleMinShowTimer();
            });
            return;
        }
    }
    hideUsingAnimation(animated);
}

void ProgressHUD::handleMinShowTimer() {
    minShowTimer_.reset();
    hideUsingAnimation(useAnimation());
}

void ProgressHUD::hide(bool animated, double delay) {
    if (delayedHide_) delayedHide_->invalidate();
    std::weak_ptr<View> weak = weak_from_this();
    delayedHide_ = foundation::RunLoop::current().performAfter(delay, [weak, animated] {
        if (auto self = std::static_pointer_cast<ProgressHUD>(weak.lock())) {
            self->delayedHide_.reset();
            self->hide(animated);
        }
    });
}

void ProgressHUD::showUsingAnimation(bool animated) {
    setAlpha(0);
    bool zoom = animationType() == ProgressHUDAnimationZoom;
    ui::AffineTransform rotation = rotationTransform();
    if (animated && zoom) setTransform(rotation.scale(1.5, 1.5));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        showStarted_ = monotonicNow();
    }
    if (!animated) {
        setAlpha(1);
        return;
    }
    ui::View::animate(kAnimationSeconds, [&] {
        setAlpha(1);
        if (zoom) setTransform(rotation);
    });
}

void ProgressHUD::hideUsingAnimation(bool animated) {
    std::optional<double> started = showStarted();
    if (animated && started) {
        bool zoom = animationType() == ProgressHUDAnimationZoom;
        std::weak_ptr<View> weak = weak_from_this();
        ui::View::beginAnimations();
        ui::View::setAnimationDuration(kAnimationSeconds);
        ui::View::setAnimationDidStop([weak](const std::string&, bool, void*) {
            if (auto self = std::static_pointer_cast<ProgressHUD>(weak.lock())) self->animationFinished();
        });
        if (zoom) setTransform(rotationTransform().scale(0.5, 0.5));
        setAlpha(0.02);
        ui::View::commitAnimations();
    } else {
        setAlpha(0);
        done();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    showStarted_.reset();
}

void ProgressHUD::animationFinished() { done(); }

void ProgressHUD::done() {
    // The delegate may drop the last reference to the overlay.
    auto keep = shared_from_this();
    ProgressHUDDelegate* delegate;
    bool remove;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        isFinished_ = true;
        delegate = delegate_;
        remove = removeFromSuperViewOnHide_;
    }
    setAlpha(0);
    if (delegate) delegate->hudWasHidden(this);
    if (remove) removeFromSuperview();
}

void ProgressHUD::cancelTimers() {
    for (auto* t : {&graceTimer_, &minShowTimer_, &delayedHide_}) {
        if (*t) (*t)->invalidate();
        t->reset();
    }
}

// ---------------------------------------------------------------- the task

void ProgressHUD::showWhileExecuting(std::function<void()> task, bool animated) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taskInProgress_ = true;
    }
    auto self = std::static_pointer_cast<ProgressHUD>(shared_from_this());
    // The background task releases the task (and what it held) on the main
    // thread before the clean-up hides the overlay.
    foundation::BackgroundTask::run("hud.task", std::move(task), [self] { self->cleanUp(); });
    show(animated);
}

void ProgressHUD::cleanUp() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taskInProgress_ = false;
    }
    indicator_.reset();
    hide(useAnimation());
}

// ---------------------------------------------------------------- properties

#define HUD_GETTER(type, name, field)             \
    type ProgressHUD::name() const {              \
        std::lock_guard<std::mutex> lock(mutex_); \
        return field;                             \
    }
#define HUD_PLAIN_SETTER(type, name, field)       \
    void ProgressHUD::name(type v) {              \
        std::lock_guard<std::mutex> lock(mutex_); \
        field = v;                                \
    }

HUD_GETTER(ProgressHUDDelegate*, delegate, delegate_)
HUD_PLAIN_SETTER(ProgressHUDDelegate*, setDelegate, delegate_)
HUD_GETTER(int, mode, mode_)
HUD_GETTER(int, animationType, animationType_)
HUD_PLAIN_SETTER(int, setAnimationType, animationType_)
HUD_GETTER(std::shared_ptr<ui::View>, customView, customView_)
HUD_GETTER(std::string, labelText, labelText_)
HUD_GETTER(std::string, detailsLabelText, detailsLabelText_)
HUD_GETTER(ui::Font, labelFont, labelFont_)
HUD_GETTER(ui::Font, detailsLabelFont, detailsLabelFont_)
HUD_GETTER(float, progress, progress_)
HUD_GETTER(float, opacity, opacity_)
HUD_PLAIN_SETTER(float, setOpacity, opacity_)
HUD_GETTER(float, xOffset, xOffset_)
HUD_PLAIN_SETTER(float, setXOffset, xOffset_)
HUD_GETTER(float, yOffset, yOffset_)
HUD_PLAIN_SETTER(float, setYOffset, yOffset_)
HUD_GETTER(float, margin, margin_)
HUD_PLAIN_SETTER(float, setMargin, margin_)
HUD_GETTER(ui::Size, minSize, minSize_)
HUD_PLAIN_SETTER(ui::Size, setMinSize, minSize_)
HUD_GETTER(bool, isSquare, square_)
HUD_PLAIN_SETTER(bool, setSquare, square_)
HUD_GETTER(bool, dimBackground, dimBackground_)
HUD_PLAIN_SETTER(bool, setDimBackground, dimBackground_)
HUD_GETTER(float, graceTime, graceTime_)
HUD_PLAIN_SETTER(float, setGraceTime, graceTime_)
HUD_GETTER(float, minShowTime, minShowTime_)
HUD_PLAIN_SETTER(float, setMinShowTime, minShowTime_)
HUD_GETTER(bool, removeFromSuperViewOnHide, removeFromSuperViewOnHide_)
HUD_PLAIN_SETTER(bool, setRemoveFromSuperViewOnHide, removeFromSuperViewOnHide_)
HUD_GETTER(bool, taskInProgress, taskInProgress_)
HUD_GETTER(bool, isFinished, isFinished_)
HUD_GETTER(bool, useAnimation, useAnimation_)
HUD_GETTER(std::optional<double>, showStarted, showStarted_)
HUD_GETTER(ui::Size, size, size_)
HUD_GETTER(ui::AffineTransform, rotationTransform, rotationTransform_)

#undef HUD_GETTER
#undef HUD_PLAIN_SETTER

std::shared_ptr<ui::View> ProgressHUD::indicator() const { return indicator_; }
bool ProgressHUD::hasPendingGraceTimer() const { return graceTimer_ && graceTimer_->isValid(); }
bool ProgressHUD::hasPendingMinShowTimer() const { return minShowTimer_ && minShowTimer_->isValid(); }

void ProgressHUD::setMode(int m) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mode_ = m;
    }
    observeValueForKeyPath("mode");
}

void ProgressHUD::setCustomView(std::shared_ptr<ui::View> v) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        customView_ = std::move(v);
    }
    observeValueForKeyPath("customView");
}

void ProgressHUD::setLabelText(const std::string& t) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        labelText_ = t;
    }
    observeValueForKeyPath("labelText");
}

void ProgressHUD::setDetailsLabelText(const std::string& t) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        detailsLabelText_ = t;
    }
    observeValueForKeyPath("detailsLabelText");
}

void ProgressHUD::setLabelFont(const ui::Font& f) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        labelFont_ = f;
    }
    observeValueForKeyPath("labelFont");
}

void ProgressHUD::setDetailsLabelFont(const ui::Font& f) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        detailsLabelFont_ = f;
    }
    observeValueForKeyPath("detailsLabelFont");
}

void ProgressHUD::setProgress(float p) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_ = p;
    }
    observeValueForKeyPath("progress");
}

void ProgressHUD::observeValueForKeyPath(const char* keyPath) {
    std::weak_ptr<View> weak = weak_from_this();
    std::string key = keyPath;
    foundation::performOnMainThread([weak, key] {
        if (auto self = std::static_pointer_cast<ProgressHUD>(weak.lock())) self->updateUIForKeypath(key);
    });
}

void ProgressHUD::updateUIForKeypath(const std::string& keyPath) {
    if (keyPath == "mode" || keyPath == "customView") {
        updateIndicators();
    } else if (keyPath == "labelText") {
        label_->setText(labelText());
    } else if (keyPath == "labelFont") {
        label_->setFont(labelFont());
    } else if (keyPath == "detailsLabelText") {
        detailsLabel_->setText(detailsLabelText());
    } else if (keyPath == "detailsLabelFont") {
        detailsLabel_->setFont(detailsLabelFont());
    } else if (keyPath == "progress") {
        if (auto round = std::dynamic_pointer_cast<RoundProgressView>(indicator_)) round->setProgress(progress());
        return;
    }
    setNeedsLayout();
    setNeedsDisplay();
}

void ProgressHUD::updateIndicators() {
    int m = mode();
    if (m == ProgressHUDModeIndeterminate) {
        if (!std::dynamic_pointer_cast<ui::ActivityIndicatorView>(indicator_)) {
            if (indicator_) indicator_->removeFromSuperview();
            auto spinner = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorStyle::WhiteLarge);
            spinner->startAnimating();
            indicator_ = spinner;
            addSubview(indicator_);
        }
    } else if (m == ProgressHUDModeDeterminate || m == ProgressHUDModeAnnularDeterminate) {
        auto round = std::dynamic_pointer_cast<RoundProgressView>(indicator_);
        if (!round) {
            if (indicator_) indicator_->removeFromSuperview();
            round = std::make_shared<RoundProgressView>();
            indicator_ = round;
            addSubview(indicator_);
        }
        // Going back to the pie keeps an existing ring.
        if (m == ProgressHUDModeAnnularDeterminate) round->setAnnular(true);
    } else if (m == ProgressHUDModeCustomView) {
        auto custom = customView();
        if (indicator_ != custom) {
            if (indicator_) indicator_->removeFromSuperview();
            indicator_ = custom;
            if (indicator_) addSubview(indicator_);
        }
    } else if (m == ProgressHUDModeText) {
        if (indicator_) indicator_->removeFromSuperview();
        indicator_.reset();
    }
}

// ---------------------------------------------------------------- layout and drawing

void ProgressHUD::layoutSubviews() {
    if (View* parent = superview()) setFrame(parent->bounds());
    ui::Rect b = bounds();
    double W = b.width(), H = b.height();
    double m, xOff, yOff;
    bool square;
    ui::Size least;
    std::string caption, detail;
    ui::Font captionFont = labelFont(), detailFont = detailsLabelFont();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        m = margin_;
        xOff = xOffset_;
        yOff = yOffset_;
        square = square_;
        least = minSize_;
        caption = labelText_;
        detail = detailsLabelText_;
    }
    double maxWidth = W - 4 * m;

    ui::Rect indicatorFrame = indicator_ ? indicator_->bounds() : ui::Rect();
    indicatorFrame.size.width = std::min(indicatorFrame.width(), maxWidth);
    double totalWidth = indicatorFrame.width();
    double totalHeight = indicatorFrame.height();

    ui::Size captionSize;
    if (!caption.empty()) captionSize = ui::sizeWithFont(caption, captionFont);
    captionSize.width = std::min(captionSize.width, maxWidth);
    totalWidth = std::max(totalWidth, captionSize.width);
    totalHeight += captionSize.height;
    if (captionSize.height > 0 && indicatorFrame.height() > 0) totalHeight += kPadding;

    // What is left for the detail; never negative on a small overlay.
    double remainingHeight = std::max(0.0, H - totalHeight - kPadding - 4 * m);
    ui::Size detailSize;
    if (!detail.empty())
        detailSize = ui::sizeWithFont(detail, detailFont, ui::Size{std::max(0.0, maxWidth), remainingHeight},
                                      detailsLabel_->lineBreakMode());
    totalWidth = std::max(totalWidth, detailSize.width);
    totalHeight += detailSize.height;
    if (detailSize.height > 0 && (indicatorFrame.height() > 0 || captionSize.height > 0)) totalHeight += kPadding;

    totalWidth += 2 * m;
    totalHeight += 2 * m;

    double yPos = std::round((H - totalHeight) / 2) + m + yOff;
    double xPos = xOff;
    indicatorFrame.origin = {std::round((W - indicatorFrame.width()) / 2) + xPos, yPos};
    if (indicator_) indicator_->setFrame(indicatorFrame);
    yPos += indicatorFrame.height();

    if (captionSize.height > 0 && indicatorFrame.height() > 0) yPos += kPadding;
    label_->setFrame({std::round((W - captionSize.width) / 2) + xPos, yPos, captionSize.width, captionSize.height});
    yPos += captionSize.height;

    if (detailSize.height > 0 && (indicatorFrame.height() > 0 || captionSize.height > 0)) yPos += kPadding;
    detailsLabel_->setFrame({std::round((W - detailSize.width) / 2) + xPos, yPos, detailSize.width, detailSize.height});

    if (square) {
        double s = std::max(totalWidth, totalHeight);
        if (s <= W - 2 * m) totalWidth = s;
        if (s <= H - 2 * m) totalHeight = s;
    }
    totalWidth = std::max(totalWidth, least.width);
    totalHeight = std::max(totalHeight, least.height);
    std::lock_guard<std::mutex> lock(mutex_);
    size_ = {totalWidth, totalHeight};
}

void ProgressHUD::drawRect(const ui::Rect&) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    ui::Rect b = bounds();
    ui::Size box;
    float alpha, xOff, yOff;
    bool dim;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        box = size_;
        alpha = opacity_;
        xOff = xOffset_;
        yOff = yOffset_;
        dim = dimBackground_;
    }
    if (dim) {
        const double components[] = {0, 0, 0, 0, 0, 0, 0, 0.75};
        const double locations[] = {0, 1};
        ui::Gradient shade = ui::Gradient::withComponents(components, locations, 2);
        ui::Point c{b.width() / 2, b.height() / 2};
        double radius = std::min(b.width(), b.height());
        ctx->drawRadialGradient(shade, c, 0, c, radius, ui::kGradientDrawsAfterEndLocation);
    }
    ui::Rect r{std::round((b.width() - box.width) / 2) + xOff, std::round((b.height() - box.height) / 2) + yOff,
               box.width, box.height};
    const double radius = 10;
    ctx->saveGState();
    ctx->setGrayFillColor(0, alpha);
    ctx->beginPath();
    ctx->moveTo(r.minX() + radius, r.minY());
    ctx->addArc(r.maxX() - radius, r.minY() + radius, radius, 3 * kPi / 2, 0, 0);
    ctx->addArc(r.maxX() - radius, r.maxY() - radius, radius, 0, kPi / 2, 0);
    ctx->addArc(r.minX() + radius, r.maxY() - radius, radius, kPi / 2, kPi, 0);
    ctx->addArc(r.minX() + radius, r.minY() + radius, radius, kPi, 3 * kPi / 2, 0);
    ctx->closePath();
    ctx->fillPath();
    ctx->restoreGState();
}

// ---------------------------------------------------------------- orientation

void ProgressHUD::deviceOrientationDidChange() {
    View* parent = superview();
    if (!parent) return;
    if (dynamic_cast<ui::Window*>(parent)) {
        setTransformForCurrentOrientation(true);
    } else {
        setBounds(parent->bounds());
        setNeedsDisplay();
    }
}

void ProgressHUD::setTransformForCurrentOrientation(bool animated) {
    if (View* parent = superview()) {
        setBounds(parent->bounds());
        setNeedsDisplay();
    }
    int orientation = ui::Application::shared().statusBarOrientation();
    double angle = 0;
    if (orientation == 3 || orientation == 4) {
        angle = orientation == 3 ? kPi / 2 : -kPi / 2;
        ui::Rect b = bounds();
        setBounds({0, 0, b.height(), b.width()});
    } else if (orientation == 2) {
        angle = kPi;
    }
    ui::AffineTransform rotation = ui::AffineTransform::makeRotation(angle);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rotationTransform_ = rotation;
    }
    if (animated) {
        ui::View::beginAnimations();
        setTransform(rotation);
        ui::View::commitAnimations();
    } else {
        setTransform(rotation);
    }
}
