#pragma once
// Camera actions: they move the eye of the target node's own camera. The
// orbit swings the eye over a sphere around the camera's centre, which
// makes the node seem to turn in depth (the code screen's digit flip).

#include <memory>

#include "lib/engine2d/actions/GxActionInterval.h"

namespace engine2d {

class GxActionCamera : public GxActionInterval {
public:
    using GxActionInterval::GxActionInterval;
    const char* className() const override { return "GxActionCamera"; }
    GxActionRef copy() const override { return std::make_shared<GxActionCamera>(duration_); }
    // Records the camera's centre, eye and up vectors.
    void startWithTarget(GxNode* target) override;
    // Plays this very action backwards: it must not run at the same time.
    GxFiniteTimeActionRef reverse() const override;

protected:
    float centerXOrig_ = 0, centerYOrig_ = 0, centerZOrig_ = 0;
    float eyeXOrig_ = 0, eyeYOrig_ = 0, eyeZOrig_ = 0;
    float upXOrig_ = 0, upYOrig_ = 0, upZOrig_ = 0;
};

class GxOrbitCamera : public GxActionCamera {
public:
    // Radius in units of the camera's standard eye distance, angles in
    // degrees: z from the camera's z axis, x in the x-y plane from the x axis.
    static std::shared_ptr<GxOrbitCamera> actionWithDuration(float d, float radius, float deltaRadius, float angleZ,
                                                             float deltaAngleZ, float angleX, float deltaAngleX) {
        return std::make_shared<GxOrbitCamera>(d, radius, deltaRadius, angleZ, deltaAngleZ, angleX, deltaAngleX);
    }
    GxOrbitCamera(float d, float radius, float deltaRadius, float angleZ, float deltaAngleZ, float angleX,
                  float deltaAngleX);
    const char* className() const override { return "GxOrbitCamera"; }
    GxActionRef copy() const override;
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    // The spherical coordinates of the camera's current eye around its
    // centre: radius in eye-distance units, angles in radians.
    void sphericalRadius(float* radius, float* zenith, float* azimuth) const;

private:
    float radius_, deltaRadius_, angleZ_, deltaAngleZ_, angleX_, deltaAngleX_;
    float radZ_ = 0, radDeltaZ_, radX_ = 0, radDeltaX_;
};

}  // namespace engine2d
