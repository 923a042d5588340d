#include "lib/kit/GradientBackground.h"

#include <cmath>
#include <mutex>
#include <random>

#include "platform/ui/Screen.h"

namespace {
constexpr double kWhiteToBlack[8] = {1, 1, 1, 1, 0, 0, 0, 1};
}  // namespace

// ---------------------------------------------------------------- GradientBackground

GradientBackground::GradientBackground(const ui::Rect& frame, int style, const double* colors, int lineMode)
    : ui::View(frame), style_(style), lineMode_(lineMode) {
    setColorComponents(colors ? colors : kWhiteToBlack);
    setUp();
}

GradientBackground::GradientBackground(const ui::Rect& frame, int style)
    : GradientBackground(frame, style, kWhiteToBlack, 0) {}

GradientBackground::GradientBackground(const ui::Rect& frame, const double* colors)
    : GradientBackground(frame, 2, colors, 0) {}

GradientBackground::GradientBackground(const ui::Rect& frame) : GradientBackground(frame, 2, kWhiteToBlack, 0) {}

void GradientBackground::setUp() {
    setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    setAutoresizesSubviews(true);
    setBackgroundColor(ui::Color::clearColor());
    setOpaque(false);
}

std::shared_ptr<GradientBackground> GradientBackground::gradientWithFrame(const ui::Rect& frame, int style,
                                                                          const double* colors, int lineMode) {
    return std::make_shared<GradientBackground>(frame, style, colors, lineMode);
}
std::shared_ptr<GradientBackground> GradientBackground::gradientWithFrame(const ui::Rect& frame, int style) {
    return std::make_shared<GradientBackground>(frame, style);
}
std::shared_ptr<GradientBackground> GradientBackground::gradientWithFrame(const ui::Rect& frame, const double* colors) {
    return std::make_shared<GradientBackground>(frame, colors);
}
std::shared_ptr<GradientBackground> GradientBackground::gradientWithFrame(const ui::Rect& frame) {
    return std::make_shared<GradientBackground>(frame);
}

void GradientBackground::setColorComponents(const double* colors) {
    if (!colors) return;
    for (size_t i = 0; i < colors_.size(); ++i) colors_[i] = colors[i];
    setNeedsDisplay();
}

void GradientBackground::drawRect(const ui::Rect& rect) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    const double* c = colors_.data();
    const double swapped[8] = {c[4], c[5], c[6], c[7], c[0], c[1], c[2], c[3]};
    const double mirrored[12] = {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[0], c[1], c[2], c[3]};
    const double twoStops[2] = {0, 1};
    const double threeStops[3] = {0, 0.5, 1};
    double w = rect.width(), h = rect.height();
    switch (style_) {
        case 0:
        case 1: {
            auto g = ui::Gradient::withComponents(style_ == 0 ? c : swapped, twoStops, 2);
            ui::Point centre{w / 2, h / 2};
            ctx->drawRadialGradient(g, centre, 0, centre, std::hypot(w / 2, h / 2), 0);
            break;
        }
        case 2:
            ctx->drawLinearGradient(ui::Gradient::withComponents(c, twoStops, 2), {0, 0}, {0, h + 1}, 0);
            break;
        case 3:
            ctx->drawLinearGradient(ui::Gradient::withComponents(c, twoStops, 2), {0, h + 1}, {0, 0}, 0);
            break;
        case 4:
            ctx->drawLinearGradient(ui::Gradient::withComponents(mirrored, threeStops, 3), {0, 0}, {0, h + 1}, 0);
            break;
        default:
            break;  // an unknown style draws only the lines
    }
    ui::Rect f = frame();
    if (drawsTopLine(lineMode_)) {
        ctx->setStrokeColor(ui::Color::whiteColor());
        ctx->strokeLine({0, 0}, {f.width(), 0});
    }
    if (drawsBottomLine(lineMode_)) {
        ctx->setStrokeColor(ui::Color::blackColor());
        ctx->strokeLine({0, f.height()}, {f.width(), f.height()});
    }
}

// ---------------------------------------------------------------- NoisyGradientBackground

NoisyGradientBackground::NoisyGradientBackground(const ui::Rect& frame) : GradientBackground(frame) {}

NoisyGradientBackground::NoisyGradientBackground(const ui::Rect& frame, int style, const double* colors, int lineMode,
                                                 double noiseOpacity, ui::BlendMode blendMode)
    : GradientBackground(frame, style, colors, lineMode), noiseOpacity_(noiseOpacity), blendMode_(blendMode) {}

NoisyGradientBackground::NoisyGradientBackground(const ui::Rect& frame, double noiseOpacity)
    : NoisyGradientBackground(frame) {
    noiseOpacity_ = noiseOpacity;
}

NoisyGradientBackground::NoisyGradientBackground(const ui::Rect& frame, ui::BlendMode blendMode)
    : NoisyGradientBackground(frame) {
    blendMode_ = blendMode;
}

std::shared_ptr<NoisyGradientBackground> NoisyGradientBackground::gradientWithFrame(const ui::Rect& frame, int style,
                                                                                    const double* colors, int lineMode,
                                                                                    double noiseOpacity,
                                                                                    ui::BlendMode blendMode) {
    return std::make_shared<NoisyGradientBackground>(frame, style, colors, lineMode, noiseOpacity, blendMode);
}
std::shared_ptr<NoisyGradientBackground> NoisyGradientBackground::gradientWithFrame(const ui::Rect& frame,
                                                                                    double noiseOpacity) {
    return std::make_shared<NoisyGradientBackground>(frame, noiseOpacity);
}
std::shared_ptr<NoisyGradientBackground> NoisyGradientBackground::gradientWithFrame(const ui::Rect& frame,
                                                                                    ui::BlendMode blendMode) {
    return std::make_shared<NoisyGradientBackground>(frame, blendMode);
}

void NoisyGradientBackground::drawRect(const ui::Rect& rect) {
    GradientBackground::drawRect(rect);
    NoiseOverlay::drawCGNoiseWithOpacity(*this, noiseOpacity_, blendMode_);
}

// ---------------------------------------------------------------- NoiseLayer

void NoiseLayer::drawPixelInContext(ui::GraphicsContext& ctx, ui::Point point, double width, double opacity,
                                    double whiteLevel) {
    ctx.setGrayFillColor(whiteLevel, opacity);
    ctx.fillEllipseInRect({point.x - width / 2, point.y - width / 2, width, width});
}

ui::ImageRef NoiseLayer::makeNoiseTile(double scale) {
    double s = scale > 0 ? scale : 1;
    int n = int(s * kTilePoints);
    auto ctx = ui::GraphicsContext::createBitmap(n, n);
    std::random_device seed;
    std::mt19937 random(seed());
    for (int i = 0; i < kDotCount; ++i) {
        uint32_t r1 = random(), r2 = random(), r3 = random(), r4 = random();
        double x = r1 % uint32_t(n + 1), y = r2 % uint32_t(n + 1);
        // The alpha is a whole number from 0 to 99, clamped where it is used:
        // every dot but the few with 0 is opaque.
        double alpha = r3 % 100;
        double gray = (r4 % 100) / 100.0;
        drawPixelInContext(*ctx, {x, y}, s * 0.3, alpha, gray);
    }
    return ctx->makeImage(s);
}

ui::ImageRef NoiseLayer::noiseTileImage() {
    static std::once_flag once;
    static ui::ImageRef tile;
    std::call_once(once, [] { tile = makeNoiseTile(ui::Screen::main().scale()); });
    return tile;
}

void NoiseLayer::setFrame(const ui::Rect& r) {
    ui::Layer::setFrame(r);
    setNeedsDisplay();
}

void NoiseLayer::drawInContext(ui::GraphicsContext& ctx) {
    ui::ImageRef tile = noiseTileImage();
    if (!tile) return;
    ui::Rect b = bounds();
    ctx.saveGState();
    ctx.clipToRect(b);
    ctx.drawTiledImage({b.origin, tile->size()}, *tile);
    ctx.restoreGState();
}

// ---------------------------------------------------------------- NoiseOverlay

namespace NoiseOverlay {

void applyNoise(ui::View& view) { applyNoiseWithOpacity(view, 0.4); }

void applyNoiseWithOpacity(ui::View& view, double opacity) { applyNoiseWithOpacity(view, opacity, 0); }

void applyNoiseWithOpacity(ui::View& view, double opacity, size_t layerIndex) {
    auto layer = NoiseLayer::create();
    layer->setFrame(view.bounds());
    layer->setMasksToBounds(true);
    layer->setOpacity(opacity);
    view.layer().insertSublayer(layer, layerIndex);
}

void drawCGNoise(ui::View& view) { drawCGNoiseWithOpacity(view, 0.4); }

void drawCGNoiseWithOpacity(ui::View& view, double opacity) {
    drawCGNoiseWithOpacity(view, opacity, ui::BlendMode::Normal);
}

void drawCGNoiseWithOpacity(ui::View& view, double opacity, ui::BlendMode blendMode) {
    ui::GraphicsContext* ctx = ui::currentContext();
    ui::ImageRef tile = NoiseLayer::noiseTileImage();
    if (!ctx || !tile) return;
    ui::Rect b = view.bounds();
    ctx->saveGState();
    ctx->clipToRect(b);
    ctx->setBlendMode(blendMode);
    ctx->setAlpha(opacity);
    ctx->drawTiledImage({b.origin, tile->size()}, *tile);
    ctx->restoreGState();
}

}  // namespace NoiseOverlay
