#pragma once
// Moving a node along a cardinal spline through control points (tension
// 0.5 is Catmull-Rom). The "To" actions take the points as positions, the
// "By" actions as offsets from where the node was when it started. The
// point array is shared between an action and its copies.

#include <memory>
#include <vector>

#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/mathlib/Geometry.h"

namespace engine2d {

class GxPointArray {
public:
    static std::shared_ptr<GxPointArray> arrayWithCapacity(unsigned capacity) {
        return std::make_shared<GxPointArray>(capacity);
    }
    explicit GxPointArray(unsigned capacity = 50) { controlPoints_.reserve(capacity); }
    std::shared_ptr<GxPointArray> copy() const;

    void addControlPoint(Point p) { controlPoints_.push_back(p); }
    // Out-of-range indices are ignored (an insert at the end appends).
    void insertControlPoint(Point p, unsigned index);
    void replaceControlPoint(Point p, unsigned index);
    void removeControlPointAtIndex(unsigned index);
    unsigned count() const { return unsigned(controlPoints_.size()); }
    // The index is clamped into the list; an empty list gives (0, 0).
    Point getControlPointAtIndex(int index) const;
    std::shared_ptr<GxPointArray> reverse() const;
    void reverseInline();
    const std::vector<Point>& controlPoints() const { return controlPoints_; }
    void setControlPoints(std::vector<Point> p) { controlPoints_ = std::move(p); }

private:
    std::vector<Point> controlPoints_;
};

class GxCardinalSplineTo : public GxActionInterval {
public:
    static std::shared_ptr<GxCardinalSplineTo> actionWithDuration(float d, std::shared_ptr<GxPointArray> points,
                                                                  float tension) {
        return std::make_shared<GxCardinalSplineTo>(d, std::move(points), tension);
    }
    GxCardinalSplineTo(float d, std::shared_ptr<GxPointArray> points, float tension)
        : GxActionInterval(d), points_(std::move(points)), tension_(tension) {}
    const char* className() const override { return "GxCardinalSplineTo"; }
    GxActionRef copy() const override { return std::make_shared<GxCardinalSplineTo>(duration_, points_, tension_); }
    void startWithTarget(GxNode* target) override;
    // Nothing without points.
    void update(float t) override;
    virtual void updatePosition(Point p);
    GxFiniteTimeActionRef reverse() const override;
    const std::shared_ptr<GxPointArray>& points() const { return points_; }
    void setPoints(std::shared_ptr<GxPointArray> p) { points_ = std::move(p); }
    float tension() const { return tension_; }

protected:
    std::shared_ptr<GxPointArray> points_;
    float deltaT_ = 0;
    float tension_;
};

class GxCardinalSplineBy : public GxCardinalSplineTo {
public:
    static std::shared_ptr<GxCardinalSplineBy> actionWithDuration(float d, std::shared_ptr<GxPointArray> points,
                                                                  float tension) {
        return std::make_shared<GxCardinalSplineBy>(d, std::move(points), tension);
    }
    using GxCardinalSplineTo::GxCardinalSplineTo;
    const char* className() const override { return "GxCardinalSplineBy"; }
    GxActionRef copy() const override { return std::make_shared<GxCardinalSplineBy>(duration_, points_, tension_); }
    void startWithTarget(GxNode* target) override;
    void updatePosition(Point p) override;
    // Offsets that retrace the path from where this one ends.
    GxFiniteTimeActionRef reverse() const override;

protected:
    Point startPosition_;
};

class GxCatmullRomTo : public GxCardinalSplineTo {
public:
    static std::shared_ptr<GxCatmullRomTo> actionWithDuration(float d, std::shared_ptr<GxPointArray> points) {
        return std::make_shared<GxCatmullRomTo>(d, std::move(points));
    }
    GxCatmullRomTo(float d, std::shared_ptr<GxPointArray> points) : GxCardinalSplineTo(d, std::move(points), 0.5f) {}
    const char* className() const override { return "GxCatmullRomTo"; }
    GxActionRef copy() const override { return std::make_shared<GxCatmullRomTo>(duration_, points_); }
    GxFiniteTimeActionRef reverse() const override;
};

class GxCatmullRomBy : public GxCardinalSplineBy {
public:
    static std::shared_ptr<GxCatmullRomBy> actionWithDuration(float d, std::shared_ptr<GxPointArray> points) {
        return std::make_shared<GxCatmullRomBy>(d, std::move(points));
    }
    GxCatmullRomBy(float d, std::shared_ptr<GxPointArray> points) : GxCardinalSplineBy(d, std::move(points), 0.5f) {}
    const char* className() const override { return "GxCatmullRomBy"; }
    GxActionRef copy() const override { return std::make_shared<GxCatmullRomBy>(duration_, points_); }
    GxFiniteTimeActionRef reverse() const override;
};

// The point of a cardinal spline between p1 and p2 at local time t.
Point gxCardinalSplineAt(Point p0, Point p1, Point p2, Point p3, float tension, float t);

}  // namespace engine2d
