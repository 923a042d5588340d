#include "lib/engine2d/mathlib/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "lib/engine2d/mathlib/Types.h"

namespace engine2d {

AffineTransform AffineTransform::concat(const AffineTransform& t1, const AffineTransform& t2) {
    return {t1.a * t2.a + t1.b * t2.c, t1.a * t2.b + t1.b * t2.d,           t1.c * t2.a + t1.d * t2.c,
            t1.c * t2.b + t1.d * t2.d, t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

AffineTransform AffineTransform::translated(float x, float y) const {
    AffineTransform t{1, 0, 0, 1, x, y};
    return concat(t, *this);
}

AffineTransform AffineTransform::inverted() const {
    float det = a * d - b * c;
    if (det == 0) return identity();
    return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
}

Rect AffineTransform::apply(const Rect& r) const {
    Point p[4] = {apply(r.origin), apply(Point{r.origin.x + r.size.width, r.origin.y}),
                  apply(Point{r.origin.x, r.origin.y + r.size.height}),
                  apply(Point{r.origin.x + r.size.width, r.origin.y + r.size.height})};
    float minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
    for (auto& q : p) {
        minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
        minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
    }
    return {{minX, minY}, {maxX - minX, maxY - minY}};
}

uint32_t gxNextPowerOfTwo(uint32_t x) {
    x = x - 1;
    x |= x >> 1;
    x |= x >> 2;
    x |= x >> 4;
    x |= x >> 8;
    x |= x >> 16;
    return x + 1;
}

float gxPointLength(Point v) { return std::sqrt(v.x * v.x + v.y * v.y); }

Point gxPointNormalize(Point v) { return v * (1.0f / gxPointLength(v)); }

Point gxPointLerp(Point a, Point b, float alpha) { return a * (1.f - alpha) + b * alpha; }

float gxClampFloat(float value, float bound1, float bound2) {
    float lo = std::min(bound1, bound2), hi = std::max(bound1, bound2);
    return value < lo ? lo : value > hi ? hi : value;
}

Point gxPointClamp(Point p, Point minInclusive, Point maxInclusive) {
    return {gxClampFloat(p.x, minInclusive.x, maxInclusive.x), gxClampFloat(p.y, minInclusive.y, maxInclusive.y)};
}

Point gxPointRotateAbout(Point v, Point pivot, float angle) {
    Point r = v - pivot;
    float c = std::cos(angle), s = std::sin(angle);
    return {r.x * c - r.y * s + pivot.x, r.x * s + r.y * c + pivot.y};
}

bool gxPointLineIntersect(Point A, Point B, Point C, Point D, float* S, float* T) {
    if (A == B || C == D) return false;
    Point BA = B - A, DC = D - C, AC = A - C;
    *S = DC.x * AC.y - DC.y * AC.x;
    *T = BA.x * AC.y - BA.y * AC.x;
    float denom = DC.y * BA.x - DC.x * BA.y;
    if (denom == 0) return *S == 0 || *T == 0;
    *S = *S / denom;
    *T = *T / denom;
    return true;
}

bool gxLineIntersectParameter(float Ax, float Ay, float Bx, float By, float Cx, float Cy, float Dx, float Dy,
                              float* T) {
    if ((Ax == Bx && Ay == By) || (Cx == Dx && Cy == Dy)) return false;
    float dx = Bx - Ax, dy = By - Ay;
    float d = std::sqrt(dx * dx + dy * dy);
    float cs = dx / d, sn = dy / d;
    Cx -= Ax, Cy -= Ay, Dx -= Ax, Dy -= Ay;
    float yC = Cy * cs - Cx * sn;
    float yD = Dy * cs - Dx * sn;
    if (yC == yD) return false;
    float xC = Cy * sn + Cx * cs;
    float xD = Dy * sn + Dx * cs;
    *T = (xD + yD * (xC - xD) / (yD - yC)) / d;
    return true;
}

namespace {
Point perp(Point p) { return {-p.y, p.x}; }
float dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }
}  // namespace

void gxPolylineToStrip(const Point* p, float stroke, gxVertex2F* vertices, unsigned offset, unsigned count) {
    unsigned n = offset + count;
    if (n < 2) return;
    float half = stroke * 0.5f;
    for (unsigned i = offset; i < n; ++i) {
        Point p1 = p[i], pr;
        if (i == 0) {
            pr = perp(gxPointNormalize(p1 - p[1]));
        } else if (i == n - 1) {
            pr = perp(gxPointNormalize(p[i - 1] - p1));
        } else {
            Point a = gxPointNormalize(p[i + 1] - p1);
            Point b = gxPointNormalize(p[i - 1] - p1);
            float angle = std::acos(std::clamp(dot(a, b), -1.f, 1.f));
            Point m = gxPointNormalize((a + b) * 0.5f);
            if (angle < 1.2217305f)
                pr = perp(m);
            else if (angle < 2.9670596f)
                pr = m;
            else
                pr = perp(gxPointNormalize(p[i + 1] - p[i - 1]));
        }
        vertices[2 * i] = {p1.x + pr.x * half, p1.y + pr.y * half};
        vertices[2 * i + 1] = {p1.x - pr.x * half, p1.y - pr.y * half};
    }
    for (unsigned i = offset == 0 ? 0 : offset - 1; i + 1 < n; ++i) {
        gxVertex2F P = vertices[2 * i], Q = vertices[2 * i + 1], R = vertices[2 * i + 2], S = vertices[2 * i + 3];
        float t = 0;
        if (!gxLineIntersectParameter(P.x, P.y, S.x, S.y, Q.x, Q.y, R.x, R.y, &t) || t < 0 || t > 1)
            std::swap(vertices[2 * i + 2], vertices[2 * i + 3]);
    }
}

void gxAffineToMatrix(const AffineTransform& t, mxMat4* out) {
    std::memset(out->mat, 0, sizeof out->mat);
    out->mat[0] = t.a;
    out->mat[1] = t.b;
    out->mat[4] = t.c;
    out->mat[5] = t.d;
    out->mat[12] = t.tx;
    out->mat[13] = t.ty;
    out->mat[10] = out->mat[15] = 1;
}

}  // namespace engine2d
