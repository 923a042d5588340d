#include "platform/ui/Path.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GraphicsContext.h"

namespace ui {

Path Path::rect(const Rect& r) {
    Path p;
    p.addRect(r);
    return p;
}

Path Path::ellipse(const Rect& r) {
    Path p;
    p.addEllipse(r);
    return p;
}

Path Path::roundedRect(const Rect& r, double radius) {
    Path p;
    p.addRoundedRect(r, radius);
    return p;
}

void Path::moveTo(Point p) { elements_.push_back({Op::Move, {p}}); }
void Path::lineTo(Point p) {
    if (elements_.empty()) {
        moveTo(p);
        return;
    }
    elements_.push_back({Op::Line, {p}});
}
void Path::curveTo(Point c1, Point c2, Point p) {
    if (elements_.empty()) moveTo(c1);
    elements_.push_back({Op::Curve, {c1, c2, p}});
}
void Path::addArc(Point c, double radius, double start, double end, bool clockwise) {
    Element e{Op::Arc, {c}};
    e.radius = radius;
    e.start = start;
    e.end = end;
    e.clockwise = clockwise;
    elements_.push_back(e);
}
void Path::close() {
    if (!elements_.empty()) elements_.push_back({Op::Close, {}});
}

void Path::addRect(const Rect& r0) {
    Rect r = r0.standardized();
    moveTo({r.minX(), r.minY()});
    lineTo({r.maxX(), r.minY()});
    lineTo({r.maxX(), r.maxY()});
    lineTo({r.minX(), r.maxY()});
    close();
}

void Path::addEllipse(const Rect& r0) {
    Rect r = r0.standardized();
    // Four cubic quarters, the usual 0.5523 control distance.
    const double k = 0.5522847498;
    double cx = r.midX(), cy = r.midY(), rx = r.width() / 2, ry = r.height() / 2;
    moveTo({cx + rx, cy});
    curveTo({cx + rx, cy + k * ry}, {cx + k * rx, cy + ry}, {cx, cy + ry});
    curveTo({cx - k * rx, cy + ry}, {cx - rx, cy + k * ry}, {cx - rx, cy});
    curveTo({cx - rx, cy - k * ry}, {cx - k * rx, cy - ry}, {cx, cy - ry});
    curveTo({cx + k * rx, cy - ry}, {cx + rx, cy - k * ry}, {cx + rx, cy});
    close();
}

void Path::addRoundedRect(const Rect& r0, double radius) {
    Rect r = r0.standardized();
    double rad = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    if (rad <= 0) {
        addRect(r);
        return;
    }
    const double pi = M_PI;
    moveTo({r.minX() + rad, r.minY()});
    addArc({r.maxX() - rad, r.minY() + rad}, rad, -pi / 2, 0, true);
    addArc({r.maxX() - rad, r.maxY() - rad}, rad, 0, pi / 2, true);
    addArc({r.minX() + rad, r.maxY() - rad}, rad, pi / 2, pi, true);
    addArc({r.minX() + rad, r.minY() + rad}, rad, pi, 3 * pi / 2, true);
    close();
}

void Path::addPath(const Path& p) { elements_.insert(elements_.end(), p.elements_.begin(), p.elements_.end()); }

void Path::replay(cairo_t* cr) const {
    for (const auto& e : elements_) {
        switch (e.op) {
            case Op::Move:
                cairo_move_to(cr, e.p[0].x, e.p[0].y);
                break;
            case Op::Line:
                cairo_line_to(cr, e.p[0].x, e.p[0].y);
                break;
            case Op::Curve:
                cairo_curve_to(cr, e.p[0].x, e.p[0].y, e.p[1].x, e.p[1].y, e.p[2].x, e.p[2].y);
                break;
            case Op::Arc:
                // cairo's positive direction is clockwise on a y-down surface.
                if (e.clockwise)
                    cairo_arc(cr, e.p[0].x, e.p[0].y, e.radius, e.start, e.end);
                else
                    cairo_arc_negative(cr, e.p[0].x, e.p[0].y, e.radius, e.start, e.end);
                break;
            case Op::Close:
                cairo_close_path(cr);
                break;
        }
    }
}

static cairo_t* scratchContext() {
    thread_local cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    thread_local cairo_t* cr = cairo_create(s);
    cairo_new_path(cr);
    cairo_identity_matrix(cr);
    return cr;
}

Rect Path::boundingBox() const {
    if (elements_.empty()) return {};
    cairo_t* cr = scratchContext();
    replay(cr);
    double x0, y0, x1, y1;
    cairo_path_extents(cr, &x0, &y0, &x1, &y1);
    cairo_new_path(cr);
    return {x0, y0, x1 - x0, y1 - y0};
}

bool Path::contains(Point p, bool evenOdd) const {
    if (elements_.empty()) return false;
    cairo_t* cr = scratchContext();
    replay(cr);
    cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    bool in = cairo_in_fill(cr, p.x, p.y);
    cairo_new_path(cr);
    return in;
}

BezierPath BezierPath::withRect(const Rect& r) {
    BezierPath b;
    b.path_.addRect(r);
    return b;
}
BezierPath BezierPath::withOval(const Rect& r) {
    BezierPath b;
    b.path_.addEllipse(r);
    return b;
}
BezierPath BezierPath::withRoundedRect(const Rect& r, double radius) {
    BezierPath b;
    b.path_.addRoundedRect(r, radius);
    return b;
}
BezierPath BezierPath::withArc(Point c, double radius, double start, double end, bool clockwise) {
    BezierPath b;
    b.path_.addArc(c, radius, start, end, clockwise);
    return b;
}

void BezierPath::fill() const {
    GraphicsContext* ctx = currentContext();
    if (!ctx) return;
    ctx->beginPath();
    ctx->addPath(path_);
    ctx->fillPath();
}

void BezierPath::stroke() const {
    GraphicsContext* ctx = currentContext();
    if (!ctx) return;
    ctx->saveGState();
    ctx->setLineWidth(lineWidth_);
    ctx->setLineCap(lineCap_);
    ctx->beginPath();
    ctx->addPath(path_);
    ctx->strokePath();
    ctx->restoreGState();
}

void BezierPath::addClip() const {
    GraphicsContext* ctx = currentContext();
    if (!ctx) return;
    ctx->beginPath();
    ctx->addPath(path_);
    ctx->clip();
}

}  // namespace ui
