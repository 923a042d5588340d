#include "platform/ui/GraphicsContext.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ui/Screen.h"

namespace ui {

Gradient Gradient::withColors(std::vector<Color> colors, std::vector<double> locations) {
    Gradient g;
    g.colors = std::move(colors);
    g.locations = std::move(locations);
    return g;
}

Gradient Gradient::withComponents(const double* c, const double* locations, size_t count) {
    Gradient g;
    for (size_t i = 0; i < count; ++i) {
        g.colors.push_back(Color::rgba(c[i * 4], c[i * 4 + 1], c[i * 4 + 2], c[i * 4 + 3]));
        if (locations) g.locations.push_back(locations[i]);
    }
    return g;
}

Gradient Gradient::withGrayComponents(const double* c, const double* locations, size_t count) {
    Gradient g;
    for (size_t i = 0; i < count; ++i) {
        g.colors.push_back(Color::white(c[i * 2], c[i * 2 + 1]));
        if (locations) g.locations.push_back(locations[i]);
    }
    return g;
}

cairo_operator_t cairoOperator(BlendMode m) {
    switch (m) {
        case BlendMode::Normal:
            return CAIRO_OPERATOR_OVER;
        case BlendMode::Multiply:
            return CAIRO_OPERATOR_MULTIPLY;
        case BlendMode::Screen:
            return CAIRO_OPERATOR_SCREEN;
        case BlendMode::Overlay:
            return CAIRO_OPERATOR_OVERLAY;
        case BlendMode::Darken:
            return CAIRO_OPERATOR_DARKEN;
        case BlendMode::Lighten:
            return CAIRO_OPERATOR_LIGHTEN;
        case BlendMode::ColorDodge:
            return CAIRO_OPERATOR_COLOR_DODGE;
        case BlendMode::ColorBurn:
            return CAIRO_OPERATOR_COLOR_BURN;
        case BlendMode::SoftLight:
            return CAIRO_OPERATOR_SOFT_LIGHT;
        case BlendMode::HardLight:
            return CAIRO_OPERATOR_HARD_LIGHT;
        case BlendMode::Difference:
            return CAIRO_OPERATOR_DIFFERENCE;
        case BlendMode::Exclusion:
            return CAIRO_OPERATOR_EXCLUSION;
        case BlendMode::Hue:
            return CAIRO_OPERATOR_HSL_HUE;
        case BlendMode::Saturation:
            return CAIRO_OPERATOR_HSL_SATURATION;
        case BlendMode::Color:
            return CAIRO_OPERATOR_HSL_COLOR;
        case BlendMode::Luminosity:
            return CAIRO_OPERATOR_HSL_LUMINOSITY;
        case BlendMode::Clear:
            return CAIRO_OPERATOR_CLEAR;
        case BlendMode::Copy:
            return CAIRO_OPERATOR_SOURCE;
        case BlendMode::SourceIn:
            return CAIRO_OPERATOR_IN;
        case BlendMode::SourceOut:
            return CAIRO_OPERATOR_OUT;
        case BlendMode::SourceAtop:
            return CAIRO_OPERATOR_ATOP;
        case BlendMode::DestinationOver:
            return CAIRO_OPERATOR_DEST_OVER;
        case BlendMode::DestinationIn:
            return CAIRO_OPERATOR_DEST_IN;
        case BlendMode::DestinationOut:
            return CAIRO_OPERATOR_DEST_OUT;
        case BlendMode::DestinationAtop:
            return CAIRO_OPERATOR_DEST_ATOP;
        case BlendMode::XOR:
            return CAIRO_OPERATOR_XOR;
        case BlendMode::PlusDarker:
            return CAIRO_OPERATOR_DARKEN;
        case BlendMode::PlusLighter:
            return CAIRO_OPERATOR_ADD;
    }
    return CAIRO_OPERATOR_OVER;
}

void setCairoSource(cairo_t* cr, const Color& c) {
    if (c.pattern()) {
        const Image& img = *c.pattern();
        cairo_pattern_t* p = cairo_pattern_create_for_surface(img.surface());
        cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
        cairo_matrix_t m;
        cairo_matrix_init_scale(&m, img.scale(), img.scale());
        cairo_pattern_set_matrix(p, &m);
        cairo_set_source(cr, p);
        cairo_pattern_destroy(p);
        return;
    }
    cairo_set_source_rgba(cr, c.clampedRed(), c.clampedGreen(), c.clampedBlue(), c.clampedAlpha());
}

namespace {
// One box pass of the given radius along rows (horizontal) or columns.
void boxPass(std::vector<float>& a, std::vector<float>& tmp, int w, int h, int r, bool horizontal) {
    if (r <= 0) return;
    int n = horizontal ? w : h, lines = horizontal ? h : w;
    float norm = 1.0f / float(2 * r + 1);
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> float& { return horizontal ? a[size_t(l) * w + i] : a[size_t(i) * w + l]; };
        double sum = 0;
        for (int i = -r; i <= r; ++i) sum += (i >= 0 && i < n) ? at(i) : 0;
        for (int i = 0; i < n; ++i) {
            tmp[i] = float(sum) * norm;
            int out = i - r, in = i + r + 1;
            if (out >= 0 && out < n) sum -= at(out);
            if (in >= 0 && in < n) sum += at(in);
        }
        for (int i = 0; i < n; ++i) at(i) = tmp[i];
    }
}
}  // namespace

void blurToShadow(cairo_surface_t* surface, double radius, const Color& color) {
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    if (!data || w <= 0 || h <= 0) return;
    std::vector<float> alpha(size_t(w) * h), tmp(std::max(w, h));
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x) alpha[size_t(y) * w + x] = float(row[x] >> 24) / 255.0f;
    }
    double sigma = radius / 2;
    if (sigma > 0.3) {
        int box = int(std::lround(std::sqrt(4.0 * sigma * sigma + 1.0)));
        int r = std::max(1, box / 2);
        for (int pass = 0; pass < 3; ++pass) {
            boxPass(alpha, tmp, w, h, r, true);
            boxPass(alpha, tmp, w, h, r, false);
        }
    }
    double ca = color.clampedAlpha();
    double cr = color.clampedRed(), cg = color.clampedGreen(), cb = color.clampedBlue();
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x) {
            double a = std::clamp(double(alpha[size_t(y) * w + x]), 0.0, 1.0) * ca;
            uint32_t A = uint32_t(std::lround(a * 255));
            uint32_t R = uint32_t(std::lround(cr * a * 255)), G = uint32_t(std::lround(cg * a * 255)),
                     B = uint32_t(std::lround(cb * a * 255));
            row[x] = (A << 24) | (R << 16) | (G << 8) | B;
        }
    }
    cairo_surface_mark_dirty(surface);
}

GraphicsContext::GraphicsContext(cairo_t* cr, double baseScale) : cr_(cr), baseScale_(baseScale) {
    cairo_reference(cr_);
}

GraphicsContext::~GraphicsContext() { cairo_destroy(cr_); }

std::unique_ptr<GraphicsContext> GraphicsContext::createBitmap(int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_t* cr = cairo_create(s);
    cairo_surface_destroy(s);
    auto ctx = std::make_unique<GraphicsContext>(cr, 1);
    cairo_destroy(cr);
    ctx->owns_ = true;
    return ctx;
}

std::shared_ptr<Image> GraphicsContext::makeImage(double scale) const {
    cairo_surface_t* target = cairo_get_target(cr_);
    if (!owns_ || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return nullptr;
    cairo_surface_flush(target);
    int w = cairo_image_surface_get_width(target), h = cairo_image_surface_get_height(target);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* c = cairo_create(copy);
    cairo_set_source_surface(c, target, 0, 0);
    cairo_set_operator(c, CAIRO_OPERATOR_SOURCE);
    cairo_paint(c);
    cairo_destroy(c);
    auto img = Image::fromSurface(copy, scale);
    cairo_surface_destroy(copy);
    return img;
}

void GraphicsContext::saveGState() {
    stack_.push_back(state_);
    cairo_save(cr_);
}

void GraphicsContext::restoreGState() {
    if (stack_.empty()) return;
    state_ = stack_.back();
    stack_.pop_back();
    cairo_restore(cr_);
}

void GraphicsContext::translateCTM(double tx, double ty) { cairo_translate(cr_, tx, ty); }
void GraphicsContext::scaleCTM(double sx, double sy) { cairo_scale(cr_, sx, sy); }
void GraphicsContext::rotateCTM(double angle) { cairo_rotate(cr_, angle); }
void GraphicsContext::concatCTM(const AffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(cr_, &m);
}
AffineTransform GraphicsContext::ctm() const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void GraphicsContext::setFillColor(const Color& c) { state_.fill = c; }
void GraphicsContext::setStrokeColor(const Color& c) { state_.stroke = c; }
void GraphicsContext::setLineWidth(double w) { state_.lineWidth = w < 0 ? 0 : w; }
void GraphicsContext::setAlpha(double a) { state_.alpha = std::clamp(a, 0.0, 1.0); }

void GraphicsContext::setShadow(Size offset, double blur, const Color& color) {
    state_.shadow.on = !color.isClear();
    state_.shadow.offset = offset;
    state_.shadow.blur = std::max(0.0, blur);
    state_.shadow.color = color;
}
void GraphicsContext::setShadow(Size offset, double blur) { setShadow(offset, blur, Color::white(0, 1.0 / 3.0)); }
void GraphicsContext::clearShadow() { state_.shadow = Shadow{}; }

void GraphicsContext::beginPath() { cairo_new_path(cr_); }
void GraphicsContext::moveTo(double x, double y) { cairo_move_to(cr_, x, y); }
void GraphicsContext::addLineTo(double x, double y) {
    if (!cairo_has_current_point(cr_))
        cairo_move_to(cr_, x, y);
    else
        cairo_line_to(cr_, x, y);
}
void GraphicsContext::addCurveTo(double c1x, double c1y, double c2x, double c2y, double x, double y) {
    cairo_curve_to(cr_, c1x, c1y, c2x, c2y, x, y);
}
void GraphicsContext::addArc(double x, double y, double r, double start, double end, int clockwise) {
    if (clockwise == 0)
        cairo_arc(cr_, x, y, r, start, end);
    else
        cairo_arc_negative(cr_, x, y, r, start, end);
}
void GraphicsContext::addRect(const Rect& r) { Path::rect(r).replay(cr_); }
void GraphicsContext::addEllipseInRect(const Rect& r) { Path::ellipse(r).replay(cr_); }
void GraphicsContext::addPath(const Path& p) { p.replay(cr_); }
void GraphicsContext::closePath() { cairo_close_path(cr_); }
bool GraphicsContext::isPathEmpty() const {
    double x0, y0, x1, y1;
    cairo_path_extents(cr_, &x0, &y0, &x1, &y1);
    return !cairo_has_current_point(cr_) && x0 == x1 && y0 == y1;
}

void GraphicsContext::setSource(const Color& c) { setCairoSource(cr_, c); }

void paintGroupShadow(cairo_t* cr, cairo_pattern_t* group, double dx, double dy, double radius, const Color& color) {
    cairo_surface_t* gs = nullptr;
    if (cairo_pattern_get_surface(group, &gs) != CAIRO_STATUS_SUCCESS || !gs) return;
    cairo_surface_t* img = cairo_surface_map_to_image(gs, nullptr);
    int w = cairo_image_surface_get_width(img), h = cairo_image_surface_get_height(img);
    cairo_surface_t* sh = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    {
        cairo_t* c = cairo_create(sh);
        cairo_set_source_surface(c, img, 0, 0);
        cairo_set_operator(c, CAIRO_OPERATOR_SOURCE);
        cairo_paint(c);
        cairo_destroy(c);
    }
    cairo_surface_unmap_image(gs, img);
    double ox, oy;
    cairo_surface_get_device_offset(gs, &ox, &oy);
    cairo_surface_set_device_offset(sh, ox, oy);
    blurToShadow(sh, radius, color);

    cairo_pattern_t* p = cairo_pattern_create_for_surface(sh);
    cairo_matrix_t m, shift;
    cairo_pattern_get_matrix(group, &m);
    cairo_matrix_init_translate(&shift, -dx, -dy);
    cairo_matrix_multiply(&m, &m, &shift);
    cairo_pattern_set_matrix(p, &m);
    cairo_save(cr);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(p);
    cairo_surface_destroy(sh);
}

void GraphicsContext::paintShadow(cairo_pattern_t* group, const Shadow& shadow) {
    paintGroupShadow(cr_, group, shadow.offset.width * baseScale_, shadow.offset.height * baseScale_,
                     shadow.blur * baseScale_, shadow.color);
}

void GraphicsContext::compositeGroup(cairo_pattern_t* group, const State& with) {
    cairo_save(cr_);
    cairo_set_operator(cr_, cairoOperator(with.blend));
    if (with.shadow.on && with.blend != BlendMode::Clear) paintShadow(group, with.shadow);
    cairo_set_source(cr_, group);
    if (with.alpha >= 1)
        cairo_paint(cr_);
    else
        cairo_paint_with_alpha(cr_, with.alpha);
    cairo_restore(cr_);
}

void GraphicsContext::paint(const std::function<void(cairo_t*)>& draw) {
    bool group = (state_.shadow.on && state_.blend != BlendMode::Clear) ||
                 (state_.alpha < 1 && state_.blend != BlendMode::Clear);
    if (!group) {
        cairo_save(cr_);
        cairo_set_operator(cr_, cairoOperator(state_.blend));
        draw(cr_);
        cairo_restore(cr_);
        return;
    }
    cairo_push_group(cr_);
    draw(cr_);
    cairo_pattern_t* p = cairo_pop_group(cr_);
    compositeGroup(p, state_);
    cairo_pattern_destroy(p);
}

void GraphicsContext::fillPath() {
    Color c = state_.fill;
    paint([&](cairo_t* cr) {
        setCairoSource(cr, c);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill_preserve(cr);
    });
    cairo_new_path(cr_);
}

void GraphicsContext::eoFillPath() {
    Color c = state_.fill;
    paint([&](cairo_t* cr) {
        setCairoSource(cr, c);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill_preserve(cr);
    });
    cairo_new_path(cr_);
}

static cairo_line_cap_t cairoCap(LineCap c) {
    switch (c) {
        case LineCap::Round:
            return CAIRO_LINE_CAP_ROUND;
        case LineCap::Square:
            return CAIRO_LINE_CAP_SQUARE;
        default:
            return CAIRO_LINE_CAP_BUTT;
    }
}

void GraphicsContext::strokePath() {
    Color c = state_.stroke;
    double w = state_.lineWidth;
    LineCap cap = state_.lineCap;
    paint([&](cairo_t* cr) {
        setCairoSource(cr, c);
        cairo_set_line_width(cr, w);
        cairo_set_line_cap(cr, cairoCap(cap));
        cairo_stroke_preserve(cr);
    });
    cairo_new_path(cr_);
}

void GraphicsContext::fillRect(const Rect& r) {
    beginPath();
    addRect(r);
    fillPath();
}

void GraphicsContext::strokeRect(const Rect& r) {
    beginPath();
    addRect(r);
    strokePath();
}

void GraphicsContext::clearRect(const Rect& r) {
    cairo_save(cr_);
    cairo_new_path(cr_);
    Path::rect(r).replay(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void GraphicsContext::fillEllipseInRect(const Rect& r) {
    beginPath();
    addEllipseInRect(r);
    fillPath();
}

void GraphicsContext::strokeEllipseInRect(const Rect& r) {
    beginPath();
    addEllipseInRect(r);
    strokePath();
}

void GraphicsContext::strokeLine(Point a, Point b) {
    beginPath();
    moveTo(a.x, a.y);
    addLineTo(b.x, b.y);
    strokePath();
}

void GraphicsContext::clip() {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr_);
}

void GraphicsContext::eoClip() {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr_);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
}

void GraphicsContext::clipToRect(const Rect& r) {
    cairo_new_path(cr_);
    Path::rect(r).replay(cr_);
    clip();
}

static void addStops(cairo_pattern_t* p, const Gradient& g) {
    size_t n = g.colors.size();
    for (size_t i = 0; i < n; ++i) {
        double loc = i < g.locations.size() ? g.locations[i] : (n > 1 ? double(i) / double(n - 1) : 0);
        const Color& c = g.colors[i];
        cairo_pattern_add_color_stop_rgba(p, loc, c.clampedRed(), c.clampedGreen(), c.clampedBlue(), c.clampedAlpha());
    }
}

void GraphicsContext::drawLinearGradient(const Gradient& g, Point s, Point e, unsigned options) {
    if (g.colors.empty()) return;
    bool before = options & kGradientDrawsBeforeStartLocation, after = options & kGradientDrawsAfterEndLocation;
    cairo_pattern_t* p = cairo_pattern_create_linear(s.x, s.y, e.x, e.y);
    addStops(p, g);
    cairo_pattern_set_extend(p, (before || after) ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    double dx = e.x - s.x, dy = e.y - s.y, len = std::hypot(dx, dy);
    cairo_save(cr_);
    if ((before != after) && len > 0) {
        // Keep the padded side only: clip to the half-plane on that side of
        // the far end of the gradient.
        const double big = 1e6;
        double ux = dx / len, uy = dy / len, nx = -uy, ny = ux;
        Point edge = before ? e : s;   // the side that must not extend
        double dir = before ? -1 : 1;  // towards the kept region
        cairo_new_path(cr_);
        cairo_move_to(cr_, edge.x + nx * big, edge.y + ny * big);
        cairo_line_to(cr_, edge.x - nx * big, edge.y - ny * big);
        cairo_line_to(cr_, edge.x - nx * big + dir * ux * big, edge.y - ny * big + dir * uy * big);
        cairo_line_to(cr_, edge.x + nx * big + dir * ux * big, edge.y + ny * big + dir * uy * big);
        cairo_close_path(cr_);
        cairo_clip(cr_);
    }
    paint([&](cairo_t* cr) {
        cairo_set_source(cr, p);
        cairo_paint(cr);
    });
    cairo_restore(cr_);
    cairo_pattern_destroy(p);
}

void GraphicsContext::drawRadialGradient(const Gradient& g, Point c0, double r0, Point c1, double r1,
                                         unsigned options) {
    if (g.colors.empty()) return;
    bool before = options & kGradientDrawsBeforeStartLocation, after = options & kGradientDrawsAfterEndLocation;
    cairo_pattern_t* p = cairo_pattern_create_radial(c0.x, c0.y, r0, c1.x, c1.y, r1);
    addStops(p, g);
    cairo_pattern_set_extend(p, (before || after) ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    cairo_save(cr_);
    if (before && !after) {
        cairo_new_path(cr_);
        cairo_arc(cr_, c1.x, c1.y, std::max(0.0, r1), 0, 2 * M_PI);
        cairo_clip(cr_);
    } else if (after && !before && r0 > 0) {
        const double big = 1e6;
        cairo_new_path(cr_);
        cairo_rectangle(cr_, -big, -big, 2 * big, 2 * big);
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, c0.x, c0.y, r0, 0, 2 * M_PI);
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_clip(cr_);
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    }
    paint([&](cairo_t* cr) {
        cairo_set_source(cr, p);
        cairo_paint(cr);
    });
    cairo_restore(cr_);
    cairo_pattern_destroy(p);
}

void GraphicsContext::drawImage(const Image& image, const Rect& rect) {
    paint([&](cairo_t* cr) { image.draw(cr, rect); });
}

void GraphicsContext::drawImageAtPoint(const Image& image, Point p) { drawImage(image, Rect{p, image.size()}); }

void GraphicsContext::drawTiledImage(const Rect& rect, const Image& image) {
    paint([&](cairo_t* cr) {
        cairo_pattern_t* p = cairo_pattern_create_for_surface(image.surface());
        cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
        cairo_matrix_t m;
        Size s = image.size();
        double sx = s.width > 0 ? image.pixelWidth() / rect.width() : 1;
        double sy = s.height > 0 ? image.pixelHeight() / rect.height() : 1;
        if (rect.width() <= 0 || rect.height() <= 0) sx = sy = image.scale();
        cairo_matrix_init_scale(&m, sx, sy);
        cairo_matrix_translate(&m, -rect.x(), -rect.y());
        cairo_pattern_set_matrix(p, &m);
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
    });
}

void GraphicsContext::beginTransparencyLayer() {
    layerStack_.push_back(state_);
    saveGState();
    state_.alpha = 1;
    state_.blend = BlendMode::Normal;
    state_.shadow = Shadow{};
    cairo_push_group(cr_);
}

void GraphicsContext::endTransparencyLayer() {
    if (layerStack_.empty()) return;
    cairo_pattern_t* p = cairo_pop_group(cr_);
    restoreGState();
    State with = layerStack_.back();
    layerStack_.pop_back();
    compositeGroup(p, with);
    cairo_pattern_destroy(p);
}

namespace {
thread_local std::vector<GraphicsContext*> contextStack;
thread_local std::vector<std::pair<std::unique_ptr<GraphicsContext>, double>> imageContexts;
}  // namespace

GraphicsContext* currentContext() { return contextStack.empty() ? nullptr : contextStack.back(); }
void pushContext(GraphicsContext* ctx) { contextStack.push_back(ctx); }
void popContext() {
    if (!contextStack.empty()) contextStack.pop_back();
}

void beginImageContext(Size size, bool opaque, double scale) {
    if (scale <= 0) scale = Screen::main().scale();
    int w = std::max(1, int(std::ceil(size.width * scale))), h = std::max(1, int(std::ceil(size.height * scale)));
    auto ctx = GraphicsContext::createBitmap(w, h);
    if (!ctx) return;
    // The picture context keeps the same base so shadows scale with points.
    GraphicsContext* raw = ctx.get();
    cairo_scale(raw->cairo(), scale, scale);
    if (opaque) {
        cairo_set_source_rgb(raw->cairo(), 0, 0, 0);
        cairo_paint(raw->cairo());
    }
    auto owned = std::make_unique<GraphicsContext>(raw->cairo(), scale);
    // Replace the bitmap context's bookkeeping by one with the right base scale.
    imageContexts.push_back({std::move(ctx), scale});
    GraphicsContext* top = owned.release();
    imageContexts.push_back({std::unique_ptr<GraphicsContext>(top), -1});
    pushContext(top);
}

std::shared_ptr<Image> imageFromCurrentImageContext() {
    if (imageContexts.size() < 2) return nullptr;
    auto& bitmap = imageContexts[imageContexts.size() - 2];
    return bitmap.first->makeImage(bitmap.second);
}

void endImageContext() {
    if (imageContexts.size() < 2) return;
    GraphicsContext* top = imageContexts.back().first.get();
    if (currentContext() == top) popContext();
    imageContexts.pop_back();
    imageContexts.pop_back();
}

}  // namespace ui
