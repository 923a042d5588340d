#include "platform/ui/Animation.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Resetters.h"
#include "platform/ui/Layer.h"

namespace ui {

double TimingFunction::evaluate(double x) const {
    if (x <= 0) return 0;
    if (x >= 1) return 1;
    auto bez = [](double p1, double p2, double s) {
        double u = 1 - s;
        return 3 * u * u * s * p1 + 3 * u * s * s * p2 + s * s * s;
    };
    auto dbez = [](double p1, double p2, double s) {
        double u = 1 - s;
        return 3 * u * u * p1 + 6 * u * s * (p2 - p1) + 3 * s * s * (1 - p2);
    };
    double s = x;
    for (int i = 0; i < 8; ++i) {
        double err = bez(x1_, x2_, s) - x;
        if (std::fabs(err) < 1e-9) return bez(y1_, y2_, s);
        double dv = dbez(x1_, x2_, s);
        if (std::fabs(dv) < 1e-9) break;
        s -= err / dv;
    }
    double lo = 0, hi = 1;
    s = x;
    for (int i = 0; i < 60; ++i) {
        double v = bez(x1_, x2_, s);
        if (std::fabs(v - x) < 1e-10) break;
        if (v < x)
            lo = s;
        else
            hi = s;
        s = (lo + hi) / 2;
    }
    return bez(y1_, y2_, s);
}

namespace {
double lerp(double a, double b, double t) { return a + (b - a) * t; }

struct Decomposed {
    double sx, sy, shear, angle, tx, ty;
};

bool decompose(const AffineTransform& m, Decomposed& out) {
    double sx = std::hypot(m.a, m.b);
    if (sx == 0) return false;
    double c = m.a / sx, s = m.b / sx;
    double k = c * m.c + s * m.d;
    double rx = m.c - k * c, ry = m.d - k * s;
    double sy = -rx * s + ry * c;
    out = {sx, sy, k, std::atan2(s, c), m.tx, m.ty};
    return true;
}

AffineTransform recompose(const Decomposed& d) {
    double c = std::cos(d.angle), s = std::sin(d.angle);
    return {d.sx * c, d.sx * s, d.shear * c - d.sy * s, d.shear * s + d.sy * c, d.tx, d.ty};
}

Transform3D lerpMatrix(const Transform3D& a, const Transform3D& b, double t) {
    Transform3D r;
    const double* pa = &a.m11;
    const double* pb = &b.m11;
    double* pr = &r.m11;
    for (int i = 0; i < 16; ++i) pr[i] = lerp(pa[i], pb[i], t);
    return r;
}
}  // namespace

AnimatableValue interpolate(const AnimatableValue& from, const AnimatableValue& to, double t) {
    if (from.index() != to.index()) return t < 1 ? from : to;
    if (auto* a = std::get_if<double>(&from)) return lerp(*a, std::get<double>(to), t);
    if (auto* a = std::get_if<Point>(&from)) {
        auto& b = std::get<Point>(to);
        return Point{lerp(a->x, b.x, t), lerp(a->y, b.y, t)};
    }
    if (auto* a = std::get_if<Size>(&from)) {
        auto& b = std::get<Size>(to);
        return Size{lerp(a->width, b.width, t), lerp(a->height, b.height, t)};
    }
    if (auto* a = std::get_if<Rect>(&from)) {
        auto& b = std::get<Rect>(to);
        return Rect{lerp(a->x(), b.x(), t), lerp(a->y(), b.y(), t), lerp(a->width(), b.width(), t),
                    lerp(a->height(), b.height(), t)};
    }
    if (auto* a = std::get_if<Color>(&from)) {
        auto& b = std::get<Color>(to);
        if (a->pattern() || b.pattern()) return t < 0.5 ? *a : b;
        return Color::rgba(lerp(a->red(), b.red(), t), lerp(a->green(), b.green(), t), lerp(a->blue(), b.blue(), t),
                           lerp(a->alpha(), b.alpha(), t));
    }
    auto& a = std::get<Transform3D>(from);
    auto& b = std::get<Transform3D>(to);
    Decomposed da, db;
    if (a.isAffine() && b.isAffine() && decompose(a.affine(), da) && decompose(b.affine(), db)) {
        Decomposed d{lerp(da.sx, db.sx, t),       lerp(da.sy, db.sy, t), lerp(da.shear, db.shear, t),
                     lerp(da.angle, db.angle, t), lerp(da.tx, db.tx, t), lerp(da.ty, db.ty, t)};
        return Transform3D::makeAffine(recompose(d));
    }
    return lerpMatrix(a, b, t);
}

void Animation::applyAt(LayerState& state, const LayerState& model, double t) const {
    double d = effectiveDuration();
    double local = t - beginTime;
    if (local < 0) {
        if (fillMode == FillMode::Backwards || fillMode == FillMode::Both)
            apply(state, model, timingFunction.evaluate(0), 0);
        return;
    }
    if (local >= d) {
        if (fillMode == FillMode::Forwards || fillMode == FillMode::Both) apply(state, model, 1, d);
        return;
    }
    apply(state, model, timingFunction.evaluate(local / d), local);
}

void BasicAnimation::apply(LayerState& state, const LayerState& model, double progress, double) const {
    auto current = valueForKeyPath(state, keyPath);
    if (!current) return;
    AnimatableValue from = fromValue ? *fromValue : *current;
    AnimatableValue to = toValue ? *toValue : *valueForKeyPath(model, keyPath);
    setValueForKeyPath(state, keyPath, interpolate(from, to, progress));
}

std::shared_ptr<Animation> AnimationGroup::clone() const {
    auto g = std::make_shared<AnimationGroup>(*this);
    for (auto& a : g->animations) a = a->clone();
    return g;
}

void AnimationGroup::apply(LayerState& state, const LayerState& model, double, double localTime) const {
    for (auto& a : animations) a->applyAt(state, model, localTime);
}

// ---------------------------------------------------------------- transactions

namespace {
struct TransactionFrame {
    std::optional<double> duration;
    std::optional<bool> disable;
    std::optional<TimingFunction> timing;
};
std::vector<TransactionFrame>& transactions() {
    static std::vector<TransactionFrame> t;
    // A transaction a case began and never committed does not set the next
    // case's durations.
    static const bool registered =
        (foundation::registerResetter("ui.transactions", foundation::ResetPhase::SharedObject, [] { t.clear(); }),
         true);
    (void)registered;
    return t;
}
}  // namespace

void Transaction::begin() { transactions().emplace_back(); }
void Transaction::commit() {
    if (!transactions().empty()) transactions().pop_back();
}
void Transaction::setAnimationDuration(double d) {
    if (transactions().empty()) return;
    transactions().back().duration = d;
}
double Transaction::animationDuration() {
    for (auto it = transactions().rbegin(); it != transactions().rend(); ++it)
        if (it->duration) return *it->duration;
    return 0.25;
}
void Transaction::setDisableActions(bool disable) {
    if (transactions().empty()) return;
    transactions().back().disable = disable;
}
bool Transaction::disableActions() {
    for (auto it = transactions().rbegin(); it != transactions().rend(); ++it)
        if (it->disable) return *it->disable;
    return false;
}
void Transaction::setAnimationTimingFunction(const TimingFunction& f) {
    if (transactions().empty()) return;
    transactions().back().timing = f;
}
TimingFunction Transaction::animationTimingFunction() {
    for (auto it = transactions().rbegin(); it != transactions().rend(); ++it)
        if (it->timing) return *it->timing;
    return TimingFunction::easeInEaseOut();
}

// ---------------------------------------------------------------- key paths

std::optional<AnimatableValue> valueForKeyPath(const LayerState& s, const std::string& k) {
    if (k == "position") return s.position;
    if (k == "position.x") return s.position.x;
    if (k == "position.y") return s.position.y;
    if (k == "bounds") return s.bounds;
    if (k == "bounds.size") return s.bounds.size;
    if (k == "bounds.origin") return s.bounds.origin;
    if (k == "bounds.size.width") return s.bounds.size.width;
    if (k == "bounds.size.height") return s.bounds.size.height;
    if (k == "anchorPoint") return s.anchorPoint;
    if (k == "transform") return s.transform;
    if (k == "transform.scale" || k == "transform.scale.x") return s.transform.m11;
    if (k == "transform.scale.y") return s.transform.m22;
    if (k == "transform.rotation" || k == "transform.rotation.z") return std::atan2(s.transform.m12, s.transform.m11);
    if (k == "transform.translation.x") return s.transform.m41;
    if (k == "transform.translation.y") return s.transform.m42;
    if (k == "opacity") return s.opacity;
    if (k == "backgroundColor") return s.backgroundColor;
    if (k == "cornerRadius") return s.cornerRadius;
    if (k == "borderWidth") return s.borderWidth;
    if (k == "borderColor") return s.borderColor;
    if (k == "shadowColor") return s.shadowColor;
    if (k == "shadowOpacity") return s.shadowOpacity;
    if (k == "shadowOffset") return s.shadowOffset;
    if (k == "shadowRadius") return s.shadowRadius;
    return std::nullopt;
}

bool setValueForKeyPath(LayerState& s, const std::string& k, const AnimatableValue& v) {
    auto num = std::get_if<double>(&v);
    auto pt = std::get_if<Point>(&v);
    auto sz = std::get_if<Size>(&v);
    if (k == "position" && pt)
        s.position = *pt;
    else if (k == "position.x" && num)
        s.position.x = *num;
    else if (k == "position.y" && num)
        s.position.y = *num;
    else if (k == "bounds" && std::holds_alternative<Rect>(v))
        s.bounds = std::get<Rect>(v);
    else if (k == "bounds.size" && sz)
        s.bounds.size = *sz;
    else if (k == "bounds.origin" && pt)
        s.bounds.origin = *pt;
    else if (k == "bounds.size.width" && num)
        s.bounds.size.width = *num;
    else if (k == "bounds.size.height" && num)
        s.bounds.size.height = *num;
    else if (k == "anchorPoint" && pt)
        s.anchorPoint = *pt;
    else if (k == "transform" && std::holds_alternative<Transform3D>(v))
        s.transform = std::get<Transform3D>(v);
    // The component key paths set that component of an otherwise plain
    // transform: a uniform scale, a rotation about z, or a translation.
    else if ((k == "transform.scale") && num)
        s.transform = Transform3D::makeScale(*num, *num, 1);
    else if (k == "transform.scale.x" && num)
        s.transform.m11 = *num;
    else if (k == "transform.scale.y" && num)
        s.transform.m22 = *num;
    else if ((k == "transform.rotation" || k == "transform.rotation.z") && num)
        s.transform = Transform3D::makeRotation(*num, 0, 0, 1);
    else if (k == "transform.translation.x" && num)
        s.transform.m41 = *num;
    else if (k == "transform.translation.y" && num)
        s.transform.m42 = *num;
    else if (k == "opacity" && num)
        s.opacity = *num;
    else if (k == "backgroundColor" && std::holds_alternative<Color>(v))
        s.backgroundColor = std::get<Color>(v);
    else if (k == "cornerRadius" && num)
        s.cornerRadius = *num;
    else if (k == "borderWidth" && num)
        s.borderWidth = *num;
    else if (k == "borderColor" && std::holds_alternative<Color>(v))
        s.borderColor = std::get<Color>(v);
    else if (k == "shadowColor" && std::holds_alternative<Color>(v))
        s.shadowColor = std::get<Color>(v);
    else if (k == "shadowOpacity" && num)
        s.shadowOpacity = *num;
    else if (k == "shadowOffset" && sz)
        s.shadowOffset = *sz;
    else if (k == "shadowRadius" && num)
        s.shadowRadius = *num;
    else
        return false;
    return true;
}

}  // namespace ui
