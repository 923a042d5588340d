#pragma once
// Points, sizes, rectangles, edge insets and transforms. Coordinates are
// doubles in points, y grows downwards.
//
// Affine transforms use row vectors: a point p maps to p * M, where
//   M = | a  b  0 |
//       | c  d  0 |
//       | tx ty 1 |
// so concat(t1, t2) applies t1 first, then t2, and translate(t, dx, dy)
// applies the translation before t.

#include <cmath>
#include <string>

namespace ui {

struct Point {
    double x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0, height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    Point origin;
    Size size;
    bool operator==(const Rect&) const = default;

    Rect() = default;
    Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
    Rect(Point o, Size s) : origin(o), size(s) {}

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    // Min/max of a rectangle with a negative size are taken after standardising.
    double minX() const;
    double midX() const;
    double maxX() const;
    double minY() const;
    double midY() const;
    double maxY() const;
    Point center() const { return {midX(), midY()}; }

    Rect standardized() const;
    bool isEmpty() const;
    bool containsPoint(Point p) const;
    bool containsRect(const Rect& r) const;
    bool intersects(const Rect& r) const;
    Rect intersection(const Rect& r) const;  // empty rect at zero when apart
    Rect unionWith(const Rect& r) const;
    Rect insetBy(double dx, double dy) const;
    Rect offsetBy(double dx, double dy) const;
    // The smallest rectangle with whole-number edges that holds this one.
    Rect integral() const;
    std::string description() const;
};

inline const Rect kRectZero{};

struct EdgeInsets {
    double top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const EdgeInsets&) const = default;
    Rect inset(const Rect& r) const {
        return {r.x() + left, r.y() + top, r.width() - left - right, r.height() - top - bottom};
    }
};

struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    bool operator==(const AffineTransform&) const = default;

    static AffineTransform identity() { return {}; }
    static AffineTransform makeTranslation(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
    static AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    // Positive angles turn clockwise on screen (y down).
    static AffineTransform makeRotation(double angle);

    bool isIdentity() const { return *this == AffineTransform{}; }
    // this first, then t.
    AffineTransform concat(const AffineTransform& t) const;
    // The translation, scale or rotation applied before this transform.
    AffineTransform translate(double dx, double dy) const;
    AffineTransform scale(double sx, double sy) const;
    AffineTransform rotate(double angle) const;
    // nullopt-free: a singular transform gives itself back unchanged.
    AffineTransform inverted() const;
    double determinant() const { return a * d - b * c; }

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    Size apply(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
    // Bounding box of the transformed rectangle.
    Rect apply(const Rect& r) const;
};

// 4x4 transform of layers, row-vector convention as above (m41..m43 translate).
struct Transform3D {
    double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    double m41 = 0, m42 = 0, m43 = 0, m44 = 1;
    bool operator==(const Transform3D&) const = default;

    static Transform3D identity() { return {}; }
    static Transform3D makeTranslation(double tx, double ty, double tz);
    static Transform3D makeScale(double sx, double sy, double sz);
    // Rotation by angle about the axis (x, y, z); a zero axis gives identity.
    static Transform3D makeRotation(double angle, double x, double y, double z);
    static Transform3D makeAffine(const AffineTransform& t);

    bool isIdentity() const { return *this == Transform3D{}; }
    // True when the transform has no depth or perspective part.
    bool isAffine() const;
    AffineTransform affine() const { return {m11, m12, m21, m22, m41, m42}; }

    // this first, then t.
    Transform3D concat(const Transform3D& t) const;
    Transform3D translate(double tx, double ty, double tz) const;
    Transform3D scale(double sx, double sy, double sz) const;
    Transform3D rotate(double angle, double x, double y, double z) const;

    // Maps a point of the plane z = 0, with the perspective divide.
    Point project(Point p) const;
};

}  // namespace ui
