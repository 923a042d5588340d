#include "lib/engine2d/nodes/GxCamera.h"

#include <cfloat>
#include <cstdio>

#include "lib/engine2d/mathlib/MatrixStack.h"

namespace engine2d {

float GxCamera::getZEye() { return FLT_EPSILON; }

void GxCamera::restore() {
    eyeX_ = eyeY_ = 0;
    eyeZ_ = getZEye();
    centerX_ = centerY_ = centerZ_ = 0;
    upX_ = 0, upY_ = 1, upZ_ = 0;
    mxMat4SetIdentity(&lookupMatrix_);
    dirty_ = false;
}

void GxCamera::setEye(float x, float y, float z) { eyeX_ = x, eyeY_ = y, eyeZ_ = z, dirty_ = true; }
void GxCamera::setCenter(float x, float y, float z) { centerX_ = x, centerY_ = y, centerZ_ = z, dirty_ = true; }
void GxCamera::setUp(float x, float y, float z) { upX_ = x, upY_ = y, upZ_ = z, dirty_ = true; }
void GxCamera::eye(float* x, float* y, float* z) const { *x = eyeX_, *y = eyeY_, *z = eyeZ_; }
void GxCamera::center(float* x, float* y, float* z) const { *x = centerX_, *y = centerY_, *z = centerZ_; }
void GxCamera::up(float* x, float* y, float* z) const { *x = upX_, *y = upY_, *z = upZ_; }

void GxCamera::locate() {
    if (dirty_) {
        mxVector3 eye{eyeX_, eyeY_, eyeZ_}, center{centerX_, centerY_, centerZ_}, up{upX_, upY_, upZ_};
        mxMat4FromLookAt(&lookupMatrix_, &eye, &center, &up);
        dirty_ = false;
    }
    mxGLMultiplyTop(&lookupMatrix_);
}

std::string GxCamera::description() const {
    char buf[128];
    std::snprintf(buf, sizeof buf, "<GxCamera = %p | center = (%.2f,%.2f,%.2f)>", static_cast<const void*>(this),
                  double(centerX_), double(centerY_), double(centerZ_));
    return buf;
}

}  // namespace engine2d
