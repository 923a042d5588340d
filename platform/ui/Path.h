#pragma once
// A reusable path of lines, curves and arcs, and the drawable Bézier path
// that carries its own line width and cap.

#include <cairo.h>

#include <memory>
#include <vector>

#include "platform/ui/Geometry.h"

namespace ui {

enum class LineCap { Butt = 0, Round = 1, Square = 2 };

class Path {
public:
    static Path rect(const Rect& r);
    static Path ellipse(const Rect& r);
    // Corners of the given radius (cut to half the shorter side), made of
    // circular quarter arcs starting on the top edge and going clockwise.
    static Path roundedRect(const Rect& r, double radius);

    void moveTo(Point p);
    void lineTo(Point p);
    void curveTo(Point c1, Point c2, Point p);
    // An arc from angle start to end around c. clockwise means clockwise as
    // seen on screen (y down); a line joins the current point to its start.
    void addArc(Point c, double radius, double start, double end, bool clockwise);
    void addRect(const Rect& r);
    void addEllipse(const Rect& r);
    void addRoundedRect(const Rect& r, double radius);
    void addPath(const Path& p);
    void close();

    bool isEmpty() const { return elements_.empty(); }
    // Bounding box of the points the path passes through (control points included).
    Rect boundingBox() const;
    // Nonzero-winding (or even-odd) containment of a point.
    bool contains(Point p, bool evenOdd = false) const;

    // Appends the path to cairo's current path.
    void replay(cairo_t* cr) const;

private:
    enum class Op { Move, Line, Curve, Arc, Close };
    struct Element {
        Op op;
        Point p[3];
        double radius = 0, start = 0, end = 0;
        bool clockwise = true;
    };
    std::vector<Element> elements_;
};

// A path with drawing attributes, drawn into the current context.
class BezierPath {
public:
    BezierPath() = default;
    static BezierPath withRect(const Rect& r);
    static BezierPath withOval(const Rect& r);
    static BezierPath withRoundedRect(const Rect& r, double radius);
    static BezierPath withArc(Point c, double radius, double start, double end, bool clockwise);

    void moveTo(Point p) { path_.moveTo(p); }
    void lineTo(Point p) { path_.lineTo(p); }
    void curveTo(Point c1, Point c2, Point p) { path_.curveTo(c1, c2, p); }
    void addArc(Point c, double radius, double start, double end, bool clockwise) {
        path_.addArc(c, radius, start, end, clockwise);
    }
    void close() { path_.close(); }
    void append(const BezierPath& other) { path_.addPath(other.path_); }

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double w) { lineWidth_ = w; }
    LineCap lineCapStyle() const { return lineCap_; }
    void setLineCapStyle(LineCap c) { lineCap_ = c; }
    const Path& path() const { return path_; }
    Rect bounds() const { return path_.boundingBox(); }
    bool containsPoint(Point p) const { return path_.contains(p); }

    // Draw into the current graphics context with its colours and state.
    void fill() const;
    void stroke() const;
    void addClip() const;

private:
    Path path_;
    double lineWidth_ = 1;
    LineCap lineCap_ = LineCap::Butt;
};

}  // namespace ui
