#include "platform/ui/Geometry.h"

#include <algorithm>
#include <cstdio>

namespace ui {

Rect Rect::standardized() const {
    Rect r = *this;
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

double Rect::minX() const { return standardized().origin.x; }
double Rect::midX() const {
    Rect r = standardized();
    return r.origin.x + r.size.width / 2;
}
double Rect::maxX() const {
    Rect r = standardized();
    return r.origin.x + r.size.width;
}
double Rect::minY() const { return standardized().origin.y; }
double Rect::midY() const {
    Rect r = standardized();
    return r.origin.y + r.size.height / 2;
}
double Rect::maxY() const {
    Rect r = standardized();
    return r.origin.y + r.size.height;
}

bool Rect::isEmpty() const { return size.width == 0 || size.height == 0; }

bool Rect::containsPoint(Point p) const {
    if (isEmpty()) return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::containsRect(const Rect& r) const {
    if (isEmpty()) return false;
    Rect s = r.standardized();
    return s.minX() >= minX() && s.maxX() <= maxX() && s.minY() >= minY() && s.maxY() <= maxY();
}

bool Rect::intersects(const Rect& r) const { return !intersection(r).isEmpty(); }

Rect Rect::intersection(const Rect& r) const {
    double x0 = std::max(minX(), r.minX()), y0 = std::max(minY(), r.minY());
    double x1 = std::min(maxX(), r.maxX()), y1 = std::min(maxY(), r.maxY());
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::unionWith(const Rect& r) const {
    if (isEmpty()) return r.standardized();
    if (r.isEmpty()) return standardized();
    double x0 = std::min(minX(), r.minX()), y0 = std::min(minY(), r.minY());
    double x1 = std::max(maxX(), r.maxX()), y1 = std::max(maxY(), r.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::insetBy(double dx, double dy) const {
    Rect r = standardized();
    return {r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy};
}

Rect Rect::offsetBy(double dx, double dy) const { return {origin.x + dx, origin.y + dy, size.width, size.height}; }

Rect Rect::integral() const {
    Rect r = standardized();
    double x0 = std::floor(r.minX()), y0 = std::floor(r.minY());
    double x1 = std::ceil(r.maxX()), y1 = std::ceil(r.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

std::string Rect::description() const {
    char buf[128];
    std::snprintf(buf, sizeof buf, "{{%g, %g}, {%g, %g}}", origin.x, origin.y, size.width, size.height);
    return buf;
}

AffineTransform AffineTransform::makeRotation(double angle) {
    double c = std::cos(angle), s = std::sin(angle);
    return {c, s, -s, c, 0, 0};
}

AffineTransform AffineTransform::concat(const AffineTransform& t) const {
    return {a * t.a + b * t.c, a * t.b + b * t.d,          c * t.a + d * t.c,
            c * t.b + d * t.d, tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
}

AffineTransform AffineTransform::translate(double dx, double dy) const { return makeTranslation(dx, dy).concat(*this); }
AffineTransform AffineTransform::scale(double sx, double sy) const { return makeScale(sx, sy).concat(*this); }
AffineTransform AffineTransform::rotate(double angle) const { return makeRotation(angle).concat(*this); }

AffineTransform AffineTransform::inverted() const {
    double det = determinant();
    if (det == 0) return *this;
    AffineTransform r;
    r.a = d / det;
    r.b = -b / det;
    r.c = -c / det;
    r.d = a / det;
    r.tx = (c * ty - d * tx) / det;
    r.ty = (b * tx - a * ty) / det;
    return r;
}

Rect AffineTransform::apply(const Rect& r0) const {
    Rect r = r0.standardized();
    Point p[4] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}), apply(Point{r.minX(), r.maxY()}),
                  apply(Point{r.maxX(), r.maxY()})};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (auto& q : p) {
        x0 = std::min(x0, q.x);
        x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y);
        y1 = std::max(y1, q.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

Transform3D Transform3D::makeTranslation(double tx, double ty, double tz) {
    Transform3D t;
    t.m41 = tx;
    t.m42 = ty;
    t.m43 = tz;
    return t;
}

Transform3D Transform3D::makeScale(double sx, double sy, double sz) {
    Transform3D t;
    t.m11 = sx;
    t.m22 = sy;
    t.m33 = sz;
    return t;
}

Transform3D Transform3D::makeRotation(double angle, double x, double y, double z) {
    double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0) return {};
    x /= len;
    y /= len;
    z /= len;
    double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    Transform3D r;
    r.m11 = t * x * x + c;
    r.m12 = t * x * y + s * z;
    r.m13 = t * x * z - s * y;
    r.m21 = t * x * y - s * z;
    r.m22 = t * y * y + c;
    r.m23 = t * y * z + s * x;
    r.m31 = t * x * z + s * y;
    r.m32 = t * y * z - s * x;
    r.m33 = t * z * z + c;
    return r;
}

Transform3D Transform3D::makeAffine(const AffineTransform& a) {
    Transform3D t;
    t.m11 = a.a;
    t.m12 = a.b;
    t.m21 = a.c;
    t.m22 = a.d;
    t.m41 = a.tx;
    t.m42 = a.ty;
    return t;
}

bool Transform3D::isAffine() const {
    return m13 == 0 && m14 == 0 && m23 == 0 && m24 == 0 && m31 == 0 && m32 == 0 && m33 == 1 && m34 == 0 && m43 == 0 &&
           m44 == 1;
}

Transform3D Transform3D::concat(const Transform3D& b) const {
    const double A[4][4] = {{m11, m12, m13, m14}, {m21, m22, m23, m24}, {m31, m32, m33, m34}, {m41, m42, m43, m44}};
    const double B[4][4] = {{b.m11, b.m12, b.m13, b.m14},
                            {b.m21, b.m22, b.m23, b.m24},
                            {b.m31, b.m32, b.m33, b.m34},
                            {b.m41, b.m42, b.m43, b.m44}};
    double R[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += A[i][k] * B[k][j];
            R[i][j] = s;
        }
    return {R[0][0], R[0][1], R[0][2], R[0][3], R[1][0], R[1][1], R[1][2], R[1][3],
            R[2][0], R[2][1], R[2][2], R[2][3], R[3][0], R[3][1], R[3][2], R[3][3]};
}

Transform3D Transform3D::translate(double tx, double ty, double tz) const {
    return makeTranslation(tx, ty, tz).concat(*this);
}
Transform3D Transform3D::scale(double sx, double sy, double sz) const { return makeScale(sx, sy, sz).concat(*this); }
Transform3D Transform3D::rotate(double angle, double x, double y, double z) const {
    return makeRotation(angle, x, y, z).concat(*this);
}

Point Transform3D::project(Point p) const {
    double x = p.x * m11 + p.y * m21 + m41;
    double y = p.x * m12 + p.y * m22 + m42;
    double w = p.x * m14 + p.y * m24 + m44;
    if (w == 0 || !std::isfinite(w)) return {x, y};
    return {x / w, y / w};
}

}  // namespace ui
