#pragma once
// A node's optional look-at camera; the node applies it in its transform.

#include <string>

#include "lib/engine2d/mathlib/Mat4.h"

namespace engine2d {

class GxCamera {
public:
    GxCamera() { restore(); }
    static float getZEye();
    void restore();
    void setEye(float x, float y, float z);
    void setCenter(float x, float y, float z);
    void setUp(float x, float y, float z);
    void eye(float* x, float* y, float* z) const;
    void center(float* x, float* y, float* z) const;
    void up(float* x, float* y, float* z) const;
    bool dirty() const { return dirty_; }
    void setDirty(bool d) { dirty_ = d; }
    // Rebuilds the look-at matrix when dirty, then multiplies the current matrix by it.
    void locate();
    const mxMat4& lookupMatrix() const { return lookupMatrix_; }
    std::string description() const;

private:
    float eyeX_, eyeY_, eyeZ_, centerX_, centerY_, centerZ_, upX_, upY_, upZ_;
    bool dirty_;
    mxMat4 lookupMatrix_;
};

}  // namespace engine2d
