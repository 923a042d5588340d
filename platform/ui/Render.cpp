#include "platform/ui/Render.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Clock.h"
#include "platform/ui/GraphicsContext.h"

namespace ui {

namespace {

// Places the layer: position, transform about the anchor point, bounds origin.
void applyPlacement(cairo_t* cr, const LayerState& s) {
    double w = s.bounds.width(), h = s.bounds.height();
    cairo_translate(cr, s.position.x, s.position.y);
    AffineTransform a = s.transform.affine();
    if (!a.isIdentity()) {
        if (a.determinant() == 0) {
            // A flat layer draws nothing; keep cairo's matrix invertible.
            cairo_scale(cr, 1e-9, 1e-9);
        } else {
            cairo_matrix_t m;
            cairo_matrix_init(&m, a.a, a.b, a.c, a.d, a.tx, a.ty);
            cairo_transform(cr, &m);
        }
    }
    cairo_translate(cr, -s.anchorPoint.x * w - s.bounds.x(), -s.anchorPoint.y * h - s.bounds.y());
}

Rect gravityRect(const Rect& b, Size img, ContentsGravity g) {
    double w = img.width, h = img.height;
    switch (g) {
        case ContentsGravity::Resize:
            return b;
        case ContentsGravity::ResizeAspect:
        case ContentsGravity::ResizeAspectFill: {
            if (w <= 0 || h <= 0) return b;
            double sx = b.width() / w, sy = b.height() / h;
            double s = g == ContentsGravity::ResizeAspect ? std::min(sx, sy) : std::max(sx, sy);
            return {b.midX() - w * s / 2, b.midY() - h * s / 2, w * s, h * s};
        }
        case ContentsGravity::Center:
            return {b.midX() - w / 2, b.midY() - h / 2, w, h};
        case ContentsGravity::Top:
            return {b.midX() - w / 2, b.minY(), w, h};
        case ContentsGravity::Bottom:
            return {b.midX() - w / 2, b.maxY() - h, w, h};
        case ContentsGravity::Left:
            return {b.minX(), b.midY() - h / 2, w, h};
        case ContentsGravity::Right:
            return {b.maxX() - w, b.midY() - h / 2, w, h};
    }
    return b;
}

void renderBody(cairo_t* cr, Layer& layer, const LayerState& s, double time, double scale) {
    Rect b = s.bounds;
    Path shape = Path::roundedRect(b, s.cornerRadius);
    if (!s.backgroundColor.isClear()) {
        cairo_new_path(cr);
        shape.replay(cr);
        setCairoSource(cr, s.backgroundColor);
        cairo_fill(cr);
    }
    cairo_save(cr);
    if (layer.masksToBounds()) {
        cairo_new_path(cr);
        shape.replay(cr);
        cairo_clip(cr);
    }
    if (layer.contents()) {
        const Image& img = *layer.contents();
        layer.contents()->draw(cr, gravityRect(b, img.size(), layer.contentsGravity()));
    } else if (layer.drawsDirectly()) {
        layer.displayIfNeeded();
        GraphicsContext ctx(cr, scale);
        layer.drawInContext(ctx);
    } else if (layer.drawsContent()) {
        // A backing made at another scale, or none yet, is drawn again.
        bool stale =
            layer.contentsScale() != scale || (!layer.backingStore() && !b.isEmpty() && layer.displayCount() == 0);
        if (stale) {
            layer.setContentsScale(scale);
            layer.setNeedsDisplay();
        }
        layer.displayIfNeeded();
        if (layer.backingStore()) layer.backingStore()->draw(cr, b);
    }
    std::vector<Layer*> subs;
    for (auto& l : layer.sublayers()) subs.push_back(l.get());
    std::stable_sort(subs.begin(), subs.end(), [](Layer* a, Layer* c) { return a->zPosition() < c->zPosition(); });
    for (Layer* sub : subs) renderLayer(cr, *sub, time, scale);
    cairo_restore(cr);
    if (s.borderWidth > 0 && !s.borderColor.isClear()) {
        double bw = s.borderWidth;
        cairo_new_path(cr);
        Path::roundedRect(b.insetBy(bw / 2, bw / 2), std::max(0.0, s.cornerRadius - bw / 2)).replay(cr);
        setCairoSource(cr, s.borderColor);
        cairo_set_line_width(cr, bw);
        cairo_stroke(cr);
    }
}

void renderState(cairo_t* cr, Layer& layer, const LayerState& s, double time, double scale) {
    auto transition = layer.transitionAt(time);
    bool shadow = s.shadowOpacity > 0 && !s.shadowColor.isClear();
    bool group = s.opacity < 1 || layer.mask() || shadow || transition;
    if (!group) {
        renderBody(cr, layer, s, time, scale);
        return;
    }
    cairo_push_group(cr);
    if (transition) {
        if (transition->from && transition->progress < 1)
            transition->from->draw(cr, transition->fromBounds, 1 - transition->progress);
        if (transition->progress > 0) {
            // old x (1 - p) + new x p: a true dissolve.
            cairo_push_group(cr);
            renderBody(cr, layer, s, time, scale);
            cairo_pop_group_to_source(cr);
            cairo_save(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
            cairo_paint_with_alpha(cr, transition->progress);
            cairo_restore(cr);
        }
    } else {
        renderBody(cr, layer, s, time, scale);
    }
    cairo_pattern_t* content = cairo_pop_group(cr);

    if (layer.mask()) {
        cairo_push_group(cr);
        renderLayer(cr, *layer.mask(), time, scale);
        cairo_pattern_t* mask = cairo_pop_group(cr);
        cairo_push_group(cr);
        cairo_set_source(cr, content);
        cairo_mask(cr, mask);
        cairo_pattern_destroy(content);
        cairo_pattern_destroy(mask);
        content = cairo_pop_group(cr);
    }

    cairo_push_group(cr);
    if (shadow) {
        Color c = s.shadowColor.withAlpha(s.shadowColor.clampedAlpha() * std::clamp(s.shadowOpacity, 0.0, 1.0));
        double dx = s.shadowOffset.width * scale, dy = s.shadowOffset.height * scale;
        if (layer.shadowPath()) {
            cairo_push_group(cr);
            cairo_new_path(cr);
            layer.shadowPath()->replay(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_fill(cr);
            cairo_pattern_t* shape = cairo_pop_group(cr);
            paintGroupShadow(cr, shape, dx, dy, s.shadowRadius * scale, c);
            cairo_pattern_destroy(shape);
        } else {
            paintGroupShadow(cr, content, dx, dy, s.shadowRadius * scale, c);
        }
    }
    cairo_set_source(cr, content);
    cairo_paint(cr);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, std::clamp(s.opacity, 0.0, 1.0));
    cairo_pattern_destroy(content);
}

}  // namespace

// A layer with depth or perspective: its picture is cut into a grid of
// cells, and each cell is drawn with the affine map that sends three of its
// corners where the full projection sends them.
static void renderProjected(cairo_t* cr, Layer& layer, const LayerState& s, double time, double scale) {
    Rect b = s.bounds;
    if (b.width() <= 0 || b.height() <= 0) return;
    int pw = std::max(1, int(std::ceil(b.width() * scale))), ph = std::max(1, int(std::ceil(b.height() * scale)));
    cairo_surface_t* pic = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    cairo_t* pc = cairo_create(pic);
    cairo_scale(pc, scale, scale);
    cairo_translate(pc, -b.x(), -b.y());
    renderState(pc, layer, s, time, scale);
    cairo_destroy(pc);

    cairo_save(cr);
    cairo_translate(cr, s.position.x, s.position.y);
    const Transform3D& t = s.transform;
    double ax = s.anchorPoint.x * b.width(), ay = s.anchorPoint.y * b.height();
    const int grid = 16;
    double cw = b.width() / grid, ch = b.height() / grid;
    for (int j = 0; j < grid; ++j)
        for (int i = 0; i < grid; ++i) {
            Point p0{i * cw - ax, j * ch - ay};
            Point q0 = t.project(p0), q1 = t.project({p0.x + cw, p0.y}), q2 = t.project({p0.x, p0.y + ch}),
                  q3 = t.project({p0.x + cw, p0.y + ch});
            cairo_matrix_t m;
            cairo_matrix_init(&m, (q1.x - q0.x) / cw, (q1.y - q0.y) / cw, (q2.x - q0.x) / ch, (q2.y - q0.y) / ch, q0.x,
                              q0.y);
            if (std::fabs(m.xx * m.yy - m.xy * m.yx) < 1e-12) continue;
            cairo_save(cr);
            cairo_new_path(cr);
            cairo_move_to(cr, q0.x, q0.y);
            cairo_line_to(cr, q1.x, q1.y);
            cairo_line_to(cr, q3.x, q3.y);
            cairo_line_to(cr, q2.x, q2.y);
            cairo_close_path(cr);
            cairo_clip(cr);
            cairo_transform(cr, &m);
            // The cell's own pixels, from a grid cell of the picture.
            cairo_scale(cr, 1.0 / scale, 1.0 / scale);
            cairo_set_source_surface(cr, pic, -i * cw * scale, -j * ch * scale);
            cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
            cairo_paint(cr);
            cairo_restore(cr);
        }
    cairo_restore(cr);
    cairo_surface_destroy(pic);
}

void renderLayer(cairo_t* cr, Layer& layer, double time, double scale) {
    if (layer.isHidden()) return;
    LayerState s = layer.presentationState(time);
    if (s.opacity <= 0) return;
    if (!s.transform.isAffine()) {
        renderProjected(cr, layer, s, time, scale);
        return;
    }
    cairo_save(cr);
    applyPlacement(cr, s);
    renderState(cr, layer, s, time, scale);
    cairo_restore(cr);
}

void renderLayerBody(cairo_t* cr, Layer& layer, double time, double scale) {
    LayerState s = layer.presentationState(time);
    cairo_save(cr);
    renderState(cr, layer, s, time, scale);
    cairo_restore(cr);
}

ImageRef renderLayerToImage(Layer& layer, double scale, double time) {
    if (scale <= 0) scale = 1;
    Rect b = layer.presentationState(time).bounds;
    int w = std::max(1, int(std::ceil(b.width() * scale))), h = std::max(1, int(std::ceil(b.height() * scale)));
    auto img = Image::create(w, h, scale);
    if (!img) return nullptr;
    cairo_t* cr = cairo_create(img->surface());
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -b.x(), -b.y());
    renderLayerBody(cr, layer, time, scale);
    cairo_destroy(cr);
    cairo_surface_flush(img->surface());
    return img;
}

ImageRef renderLayerToImage(Layer& layer, double scale) {
    return renderLayerToImage(layer, scale, foundation::clock().monotonic());
}

}  // namespace ui
