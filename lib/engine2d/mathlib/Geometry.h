#pragma once
// The engine's geometry in points (origin bottom left, y up), single
// precision as the GL data it feeds, and its small helpers.

#include <cstdint>

#include "lib/engine2d/mathlib/Mat4.h"

namespace engine2d {

struct Point {
    float x = 0, y = 0;
    bool operator==(const Point&) const = default;
    Point operator+(Point o) const { return {x + o.x, y + o.y}; }
    Point operator-(Point o) const { return {x - o.x, y - o.y}; }
    Point operator*(float s) const { return {x * s, y * s}; }
};

struct Size {
    float width = 0, height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    Point origin;
    Size size;
    bool operator==(const Rect&) const = default;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct AffineTransform {
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    bool operator==(const AffineTransform&) const = default;

    static AffineTransform identity() { return {}; }
    // t1 then t2.
    static AffineTransform concat(const AffineTransform& t1, const AffineTransform& t2);
    AffineTransform translated(float x, float y) const;
    // The identity when it cannot be inverted.
    AffineTransform inverted() const;
    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // The axis-aligned box around the transformed rectangle.
    Rect apply(const Rect& r) const;
};

// Degrees to radians as the node uses it.
inline float gxDegreesToRadians(float degrees) { return degrees * 0.017453292f; }

uint32_t gxNextPowerOfTwo(uint32_t x);
float gxPointLength(Point v);
Point gxPointNormalize(Point v);
Point gxPointLerp(Point a, Point b, float alpha);
float gxClampFloat(float value, float bound1, float bound2);
Point gxPointClamp(Point p, Point minInclusive, Point maxInclusive);
Point gxPointRotateAbout(Point v, Point pivot, float angle);
bool gxPointLineIntersect(Point A, Point B, Point C, Point D, float* S, float* T);
bool gxLineIntersectParameter(float Ax, float Ay, float Bx, float By, float Cx, float Cy, float Dx, float Dy, float* T);
struct gxVertex2F;
void gxPolylineToStrip(const Point* points, float stroke, gxVertex2F* vertices, unsigned offset, unsigned count);
void gxAffineToMatrix(const AffineTransform& t, mxMat4* out);

}  // namespace engine2d
