#include "lib/engine2d/actions/GxActionSplines.h"

#include <algorithm>

#include "lib/engine2d/nodes/GxNode.h"

namespace engine2d {

// --- point array ------------------------------------------------------------

std::shared_ptr<GxPointArray> GxPointArray::copy() const {
    auto a = std::make_shared<GxPointArray>(10);
    a->controlPoints_ = controlPoints_;
    return a;
}

void GxPointArray::insertControlPoint(Point p, unsigned index) {
    if (index > controlPoints_.size()) return;
    controlPoints_.insert(controlPoints_.begin() + long(index), p);
}

void GxPointArray::replaceControlPoint(Point p, unsigned index) {
    if (index < controlPoints_.size()) controlPoints_[index] = p;
}

void GxPointArray::removeControlPointAtIndex(unsigned index) {
    if (index < controlPoints_.size()) controlPoints_.erase(controlPoints_.begin() + long(index));
}

Point GxPointArray::getControlPointAtIndex(int index) const {
    if (controlPoints_.empty()) return {};
    index = std::clamp(index, 0, int(controlPoints_.size()) - 1);
    return controlPoints_[size_t(index)];
}

std::shared_ptr<GxPointArray> GxPointArray::reverse() const {
    auto a = std::make_shared<GxPointArray>(count());
    a->controlPoints_.assign(controlPoints_.rbegin(), controlPoints_.rend());
    return a;
}

void GxPointArray::reverseInline() {
    const size_t n = controlPoints_.size();
    for (size_t i = 0; i < n / 2; ++i) std::swap(controlPoints_[i], controlPoints_[n - 1 - i]);
}

// --- splines ----------------------------------------------------------------

Point gxCardinalSplineAt(Point p0, Point p1, Point p2, Point p3, float tension, float t) {
    float t2 = t * t, t3 = t2 * t;
    float s = (1 - tension) / 2;
    float b1 = s * ((-t3 + (2 * t2)) - t);
    float b2 = s * (-t3 + t2) + (2 * t3 - 3 * t2 + 1);
    float b3 = s * (t3 - 2 * t2 + t) + (-2 * t3 + 3 * t2);
    float b4 = s * (t3 - t2);
    return {p0.x * b1 + p1.x * b2 + p2.x * b3 + p3.x * b4, p0.y * b1 + p1.y * b2 + p2.y * b3 + p3.y * b4};
}

void GxCardinalSplineTo::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    unsigned n = points_ ? points_->count() : 0;
    deltaT_ = n ? 1.0f / float(n) : 0;
}

void GxCardinalSplineTo::update(float t) {
    if (!points_ || points_->count() == 0 || deltaT_ == 0) return;
    int p;
    float lt;
    if (t == 1) {
        p = int(points_->count()) - 1;
        lt = 1;
    } else {
        p = int(t / deltaT_);
        lt = (t - deltaT_ * float(p)) / deltaT_;
    }
    Point pp0 = points_->getControlPointAtIndex(p - 1), pp1 = points_->getControlPointAtIndex(p),
          pp2 = points_->getControlPointAtIndex(p + 1), pp3 = points_->getControlPointAtIndex(p + 2);
    updatePosition(gxCardinalSplineAt(pp0, pp1, pp2, pp3, tension_, lt));
}

void GxCardinalSplineTo::updatePosition(Point p) {
    if (target_) target_->setPosition(p);
}

GxFiniteTimeActionRef GxCardinalSplineTo::reverse() const {
    return std::make_shared<GxCardinalSplineTo>(duration_, points_ ? points_->reverse() : nullptr, tension_);
}

void GxCardinalSplineBy::startWithTarget(GxNode* target) {
    GxCardinalSplineTo::startWithTarget(target);
    startPosition_ = target->position();
}

void GxCardinalSplineBy::updatePosition(Point p) {
    if (target_) target_->setPosition(p + startPosition_);
}

namespace {

// Offsets from the first point become the offsets that walk the path back
// from its end.
std::shared_ptr<GxPointArray> reversedOffsets(const std::shared_ptr<GxPointArray>& points) {
    if (!points || points->count() == 0) return std::make_shared<GxPointArray>();
    std::vector<Point> list = points->controlPoints();
    // Each point as its step from the one before.
    Point prev = list[0];
    for (size_t i = 1; i < list.size(); ++i) {
        Point current = list[i];
        list[i] = current - prev;
        prev = current;
    }
    std::reverse(list.begin(), list.end());
    // The old first point goes to the front, negated.
    Point first = list.back();
    list.pop_back();
    list.insert(list.begin(), Point{} - first);
    // Running sums of the negated steps.
    for (size_t i = 1; i < list.size(); ++i) list[i] = (Point{} - list[i]) + list[i - 1];
    auto out = std::make_shared<GxPointArray>(unsigned(list.size()));
    out->setControlPoints(std::move(list));
    return out;
}

}  // namespace

GxFiniteTimeActionRef GxCardinalSplineBy::reverse() const {
    return std::make_shared<GxCardinalSplineBy>(duration_, reversedOffsets(points_), tension_);
}

GxFiniteTimeActionRef GxCatmullRomTo::reverse() const {
    return std::make_shared<GxCatmullRomTo>(duration_, points_ ? points_->reverse() : nullptr);
}

GxFiniteTimeActionRef GxCatmullRomBy::reverse() const {
    return std::make_shared<GxCatmullRomBy>(duration_, reversedOffsets(points_));
}

}  // namespace engine2d
