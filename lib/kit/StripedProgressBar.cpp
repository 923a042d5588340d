#include "lib/kit/StripedProgressBar.h"

#include <cmath>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Window.h"

namespace {
ui::Color rgb(int r, int g, int b, double a = 1) { return ui::Color::rgba(r / 255.0, g / 255.0, b / 255.0, a); }
}  // namespace

StripedProgressBar::StripedProgressBar(const ui::Rect& frame) : ui::ProgressView(ui::ProgressViewStyle::Default) {
    setFrame(frame);
    setBackgroundColor(ui::Color::clearColor());
    setOpaque(false);
    initializeProgressBar();
}

StripedProgressBar::~StripedProgressBar() { stopTimer(); }

void StripedProgressBar::initializeProgressBar() {
    progressOffset_ = 0;
    timer_.reset();
    setAnimated(true);
}

void StripedProgressBar::setAnimated(bool animated) {
    animated_ = animated;
    if (animated_ && window())
        startTimer();
    else if (!animated_)
        stopTimer();
}

void StripedProgressBar::startTimer() {
    if (timer_ && timer_->isValid()) return;  // never a second timer
    // The timer belongs to this bar and is stopped before the bar goes, so
    // it may call the bar directly.
    timer_ = foundation::RunLoop::main().addTimer(
        kFrameSeconds, true, [this](foundation::Timer&) { setNeedsDisplay(); }, foundation::kCommonModes);
}

void StripedProgressBar::stopTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

// A bar off screen stops redrawing; it starts again when it comes back.
void StripedProgressBar::didMoveToWindow() {
    ui::ProgressView::didMoveToWindow();
    if (window() && animated_)
        startTimer();
    else
        stopTimer();
}

ui::Path StripedProgressBar::stripeWithOrigin(ui::Point o, const ui::Rect& bounds) {
    double h = bounds.height();
    ui::Path p;
    p.moveTo(o);
    p.lineTo({o.x + 7, o.y});
    p.lineTo({o.x - 1, o.y + h});
    p.lineTo({o.x - 8, o.y + h});
    p.close();
    return p;
}

void StripedProgressBar::drawRect(const ui::Rect& rect) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    double w = rect.width(), h = rect.height();
    cornerRadius_ = h / 2;
    progressOffset_ = progressOffset_ > 13 ? 0 : progressOffset_ + 1;

    // The trough.
    ctx->saveGState();
    ctx->setStrokeColor(ui::Color::white(1, 0.2));
    ctx->addPath(ui::Path::roundedRect({0.5, 0, w - 1, h - 1}, cornerRadius_));
    ctx->strokePath();
    ctx->setFillColor(rgb(25, 29, 33));
    ctx->addPath(ui::Path::roundedRect({0, 0, w, h - 1}, cornerRadius_));
    ctx->fillPath();
    ctx->setStrokeColor(rgb(17, 20, 23));
    ctx->strokeLine({cornerRadius_, 0}, {w - cornerRadius_, 0});
    ctx->restoreGState();

    if (progress() <= 0) return;
    ui::Rect bar{1, 1, w * progress() - 2, h - 2};
    if (bar.width() <= 0) return;
    ui::Path rounded = ui::Path::roundedRect(bar, cornerRadius_);

    // The bar.
    ctx->saveGState();
    ctx->addPath(rounded);
    ctx->clip();
    const double barColors[8] = {80 / 255.0, 35 / 255.0, 46 / 255.0, 1, 183 / 255.0, 100 / 255.0, 65 / 255.0, 1};
    const double ends[2] = {0, 1};
    ctx->drawLinearGradient(ui::Gradient::withComponents(barColors, ends, 2), {bar.minX(), 0}, {bar.maxX(), 0},
                            ui::kGradientDrawsBeforeStartLocation | ui::kGradientDrawsAfterEndLocation);
    ctx->restoreGState();

    // The stripes.
    ctx->saveGState();
    ctx->addPath(rounded);
    ctx->clip();
    ui::Path stripes;
    for (int i = 0; i <= bar.width() / kStripeSpacing + 14; ++i)
        stripes.addPath(stripeWithOrigin({i * kStripeSpacing + progressOffset_, 1}, bar));
    ctx->addPath(stripes);
    ctx->clip();
    ctx->setFillColor(ui::Color::white(0, 0.28));
    ctx->fillRect(bar);
    ctx->restoreGState();

    // The gloss: a light gradient over the lower half, a soft shadow along
    // the middle, and a faint outline.
    ctx->saveGState();
    ctx->setBlendMode(ui::BlendMode::Overlay);
    ctx->clipToRect({bar.x(), bar.y() + std::floor(bar.height()) / 2, bar.width(), std::floor(bar.height()) / 2});
    ctx->beginTransparencyLayer();
    const double glossColors[8] = {0, 0, 0, 0, 1, 1, 1, 0.47};
    ctx->drawLinearGradient(ui::Gradient::withComponents(glossColors, ends, 2), {0, 0}, {0, bar.width()}, 0);
    ctx->endTransparencyLayer();
    ctx->restoreGState();

    ctx->saveGState();
    ctx->setBlendMode(ui::BlendMode::SoftLight);
    ctx->beginTransparencyLayer();
    ui::Rect lower{bar.x(), bar.y() + std::floor(bar.height() / 2), bar.width(), std::floor(bar.height() / 2)};
    ctx->setBlendMode(ui::BlendMode::Normal);
    ctx->setShadow({0, -1}, 4, ui::Color::white(0, 0.56));
    ctx->setFillColor(ui::Color::blackColor());
    ctx->fillRect(lower);
    ctx->clearShadow();
    ctx->clearRect(lower);
    ctx->endTransparencyLayer();
    ctx->restoreGState();

    ctx->saveGState();
    ctx->setBlendMode(ui::BlendMode::Overlay);
    ctx->setStrokeColor(ui::Color::white(1, 0.12));
    ctx->setLineWidth(2);
    ctx->addPath(rounded);
    ctx->strokePath();
    ctx->restoreGState();
}
