#include "lib/engine2d/actions/GxActionCamera.h"

#include <cfloat>
#include <cmath>

#include "lib/engine2d/nodes/GxCamera.h"
#include "lib/engine2d/nodes/GxNode.h"

namespace engine2d {

namespace {
constexpr float kDegreesToRadians = 0.017453292f;
constexpr float kPi = 3.1415927f;
}  // namespace

void GxActionCamera::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    GxCamera* camera = target->camera();
    camera->center(&centerXOrig_, &centerYOrig_, &centerZOrig_);
    camera->eye(&eyeXOrig_, &eyeYOrig_, &eyeZOrig_);
    camera->up(&upXOrig_, &upYOrig_, &upZOrig_);
}

GxFiniteTimeActionRef GxActionCamera::reverse() const {
    auto self = std::const_pointer_cast<GxAction>(shared_from_this());
    return GxReverseTime::actionWithAction(std::dynamic_pointer_cast<GxFiniteTimeAction>(self));
}

GxOrbitCamera::GxOrbitCamera(float d, float radius, float deltaRadius, float angleZ, float deltaAngleZ, float angleX,
                             float deltaAngleX)
    : GxActionCamera(d),
      radius_(radius),
      deltaRadius_(deltaRadius),
      angleZ_(angleZ),
      deltaAngleZ_(deltaAngleZ),
      angleX_(angleX),
      deltaAngleX_(deltaAngleX),
      radDeltaZ_(deltaAngleZ * kDegreesToRadians),
      radDeltaX_(deltaAngleX * kDegreesToRadians) {}

GxActionRef GxOrbitCamera::copy() const {
    return std::make_shared<GxOrbitCamera>(duration_, radius_, deltaRadius_, angleZ_, deltaAngleZ_, angleX_,
                                           deltaAngleX_);
}

void GxOrbitCamera::startWithTarget(GxNode* target) {
    GxActionCamera::startWithTarget(target);
    radZ_ = angleZ_ * kDegreesToRadians;
    radX_ = angleX_ * kDegreesToRadians;
}

void GxOrbitCamera::update(float t) {
    if (!target_) return;
    float r = (radius_ + deltaRadius_ * t) * GxCamera::getZEye();
    float za = radZ_ + radDeltaZ_ * t;
    float xa = radX_ + radDeltaX_ * t;
    float i = std::sin(za) * std::cos(xa) * r + centerXOrig_;
    float j = std::sin(za) * std::sin(xa) * r + centerYOrig_;
    float k = std::cos(za) * r + centerZOrig_;
    target_->camera()->setEye(i, j, k);
}

void GxOrbitCamera::sphericalRadius(float* radius, float* zenith, float* azimuth) const {
    if (!target_) {
        *radius = *zenith = *azimuth = 0;
        return;
    }
    float ex, ey, ez, cx, cy, cz;
    GxCamera* camera = target_->camera();
    camera->eye(&ex, &ey, &ez);
    camera->center(&cx, &cy, &cz);
    float x = ex - cx, y = ey - cy, z = ez - cz;
    float r = std::sqrt(x * x + y * y + z * z);
    float s = std::sqrt(x * x + y * y);
    if (s == 0) s = FLT_EPSILON;
    if (r == 0) r = FLT_EPSILON;
    *zenith = std::acos(z / r);
    *azimuth = x < 0 ? kPi - std::asin(y / s) : std::asin(y / s);
    *radius = r / GxCamera::getZEye();
}

}  // namespace engine2d
