#include "lib/kit/CustomBadge.h"

#include <cmath>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Text.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kSide = 25;

size_t characterCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// The lozenge: four quarter arcs inside rect, a margin of 0.1 x h from its
// edges and a corner radius of roundness x h, h being the rectangle's max y.
void addBadgePath(ui::GraphicsContext& ctx, const ui::Rect& rect, double roundness) {
    double h = rect.maxY();
    double m = 0.1 * h, r = roundness * h;
    ctx.beginPath();
    ctx.addArc(rect.maxX() - m - r, rect.minY() + m + r, r, 3 * kPi / 2, 0, 0);
    ctx.addArc(rect.maxX() - m - r, rect.maxY() - m - r, r, 0, kPi / 2, 0);
    ctx.addArc(rect.minX() + m + r, rect.maxY() - m - r, r, kPi / 2, kPi, 0);
    ctx.addArc(rect.minX() + m + r, rect.minY() + m + r, r, kPi, 3 * kPi / 2, 0);
    ctx.closePath();
}
}  // namespace

CustomBadge::CustomBadge(const std::string& text, double scale, bool shining)
    : CustomBadge(text, ui::Color::whiteColor(), ui::Color::redColor(), true, ui::Color::whiteColor(), scale, shining) {
}

CustomBadge::CustomBadge(const std::string& text, const ui::Color& textColor, const ui::Color& insetColor, bool frame,
                         const ui::Color& frameColor, double scale, bool shining)
    : ui::View(ui::Rect{0, 0, kSide, kSide}),
      textColor_(textColor),
      insetColor_(insetColor),
      frameColor_(frameColor),
      frame_(frame),
      shining_(shining),
      scale_(scale) {
    setContentScaleFactor(ui::Screen::main().scale());
    setBackgroundColor(ui::Color::clearColor());
    setOpaque(false);
    autoBadgeSizeWithString(text);
}

std::shared_ptr<CustomBadge> CustomBadge::customBadgeWithString(const std::string& text) {
    return std::make_shared<CustomBadge>(text, 1.0, true);
}

std::shared_ptr<CustomBadge> CustomBadge::customBadgeWithString(const std::string& text, const ui::Color& textColor,
                                                                const ui::Color& insetColor, bool frame,
                                                                const ui::Color& frameColor, double scale,
                                                                bool shining) {
    return std::make_shared<CustomBadge>(text, textColor, insetColor, frame, frameColor, scale, shining);
}

void CustomBadge::autoBadgeSizeWithString(const std::string& text) {
    ui::Rect f = frame();
    size_t chars = characterCount(text);
    if (chars < 2) {
        setFrame({f.x(), f.y(), kSide * scale_, kSide * scale_});
    } else {
        double textWidth = ui::sizeWithFont(text, ui::Font::boldSystemFont(12)).width;
        setFrame({f.x(), f.y(), (kSide + textWidth + double(chars)) * scale_, kSide * scale_});
    }
    badgeText_ = text;
    setNeedsDisplay();
}

ui::Font CustomBadge::badgeFont() const {
    double size = 13.5 * scale_;
    if (characterCount(badgeText_) < 2) size *= 1.2;
    return ui::Font::boldSystemFont(size);
}

void CustomBadge::drawRect(const ui::Rect&) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    ui::Rect rect = bounds();
    double h = rect.maxY(), m = 0.1 * h;

    ctx->saveGState();
    ctx->setShadow({1, 1}, 3, ui::Color::blackColor());
    ctx->setFillColor(insetColor_);
    addBadgePath(*ctx, rect, roundness_);
    ctx->fillPath();
    ctx->restoreGState();

    if (shining_) {
        ctx->saveGState();
        addBadgePath(*ctx, rect, roundness_);
        ctx->clip();
        const double components[8] = {0.92, 0.92, 0.92, 1, 0.82, 0.82, 0.82, 0.4};
        const double locations[2] = {0, 0.4};
        ctx->drawLinearGradient(ui::Gradient::withComponents(components, locations, 2), {0, 0}, {0, h - m}, 0);
        ctx->restoreGState();
    }

    if (frame_) {
        ctx->saveGState();
        ctx->setLineWidth(frameLineWidth());
        ctx->setStrokeColor(frameColor_);
        addBadgePath(*ctx, rect, roundness_);
        ctx->strokePath();
        ctx->restoreGState();
    }

    if (!badgeText_.empty()) {
        ui::Font font = badgeFont();
        ui::Size size = ui::sizeWithFont(badgeText_, font);
        ctx->saveGState();
        ctx->setFillColor(textColor_);
        ui::drawText(badgeText_, {rect.midX() - size.width / 2, rect.midY() - size.height / 2}, font);
        ctx->restoreGState();
    }
}
