#include "lib/engine2d/mathlib/Mat4.h"

#include <cmath>
#include <cstring>

#include "lib/engine2d/mathlib/Assert.h"

namespace engine2d {

namespace {
constexpr const char* kModule = "engine2d/mathlib/src/mat4";
}

mxMat4* mxMat4SetIdentity(mxMat4* out) {
    std::memset(out->mat, 0, sizeof out->mat);
    out->mat[0] = out->mat[5] = out->mat[10] = out->mat[15] = 1.0f;
    return out;
}

mxMat4* mxMat4Assign(mxMat4* out, const mxMat4* in) {
    GX_ASSERT(kModule, out != in, "You have tried to self-assign!!");
    if (out != in) std::memcpy(out->mat, in->mat, sizeof out->mat);
    return out;
}

mxMat4* mxMat4Product(mxMat4* out, const mxMat4* m1, const mxMat4* m2) {
    // Each output column is m1's columns scaled by the entries of m2's column.
    float tmp[16];
    const float* a = m1->mat;
    const float* b = m2->mat;
    for (int j = 0; j < 4; ++j) {
        const float b0 = b[j * 4], b1 = b[j * 4 + 1], b2 = b[j * 4 + 2], b3 = b[j * 4 + 3];
        for (int i = 0; i < 4; ++i) tmp[j * 4 + i] = a[i] * b0 + a[4 + i] * b1 + a[8 + i] * b2 + a[12 + i] * b3;
    }
    std::memcpy(out->mat, tmp, sizeof tmp);
    return out;
}

mxMat4* mxMat4FromTranslation(mxMat4* out, float x, float y, float z) {
    mxMat4SetIdentity(out);
    out->mat[12] = x;
    out->mat[13] = y;
    out->mat[14] = z;
    return out;
}

mxMat4* mxMat4Perspective(mxMat4* out, float fovY, float aspect, float zNear, float zFar) {
    float r = mxToRadians(fovY * 0.5f);
    double s = std::sin(double(r));
    float deltaZ = zFar - zNear;
    if (deltaZ == 0 || float(s) == 0 || aspect == 0) return nullptr;
    float cot = float(std::cos(double(r)) / s);
    mxMat4SetIdentity(out);
    out->mat[0] = cot / aspect;
    out->mat[5] = cot;
    out->mat[10] = -(zFar + zNear) / deltaZ;
    out->mat[11] = -1;
    out->mat[14] = -2 * zNear * zFar / deltaZ;
    out->mat[15] = 0;
    return out;
}

mxMat4* mxMat4Ortho(mxMat4* out, float left, float right, float bottom, float top, float nearVal, float farVal) {
    float tx = -((right + left) / (right - left));
    float ty = -((top + bottom) / (top - bottom));
    float tz = -((farVal + nearVal) / (farVal - nearVal));
    mxMat4SetIdentity(out);
    out->mat[0] = 2 / (right - left);
    out->mat[5] = 2 / (top - bottom);
    out->mat[10] = -2 / (farVal - nearVal);
    out->mat[12] = tx;
    out->mat[13] = ty;
    out->mat[14] = tz;
    return out;
}

mxMat4* mxMat4FromLookAt(mxMat4* out, const mxVector3* eye, const mxVector3* center, const mxVector3* up) {
    mxVector3 f, up1, s, u;
    mxVector3Difference(&f, center, eye);
    mxVector3Normalize(&f, &f);
    mxVector3Copy(&up1, up);
    mxVector3Normalize(&up1, &up1);
    mxVector3Cross(&s, &f, &up1);
    mxVector3Normalize(&s, &s);
    mxVector3Cross(&u, &s, &f);
    mxVector3Normalize(&s, &s);
    mxMat4SetIdentity(out);
    out->mat[0] = s.x;
    out->mat[4] = s.y;
    out->mat[8] = s.z;
    out->mat[1] = u.x;
    out->mat[5] = u.y;
    out->mat[9] = u.z;
    out->mat[2] = -f.x;
    out->mat[6] = -f.y;
    out->mat[10] = -f.z;
    mxMat4 translate;
    mxMat4FromTranslation(&translate, -eye->x, -eye->y, -eye->z);
    mxMat4Product(out, out, &translate);
    return out;
}

bool mxMat4AreEqual(const mxMat4* a, const mxMat4* b) { return std::memcmp(a->mat, b->mat, sizeof a->mat) == 0; }

mxVector3* mxVector3Set(mxVector3* out, float x, float y, float z) {
    out->x = x;
    out->y = y;
    out->z = z;
    return out;
}

float mxVector3Length(const mxVector3* in) { return std::sqrt(in->x * in->x + in->y * in->y + in->z * in->z); }

mxVector3* mxVector3Normalize(mxVector3* out, const mxVector3* in) {
    float l = 1.0f / mxVector3Length(in);
    out->x = in->x * l;
    out->y = in->y * l;
    out->z = in->z * l;
    return out;
}

mxVector3* mxVector3Cross(mxVector3* out, const mxVector3* a, const mxVector3* b) {
    mxVector3 v{a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
    *out = v;
    return out;
}

mxVector3* mxVector3Difference(mxVector3* out, const mxVector3* a, const mxVector3* b) {
    out->x = a->x - b->x;
    out->y = a->y - b->y;
    out->z = a->z - b->z;
    return out;
}

mxVector3* mxVector3Copy(mxVector3* out, const mxVector3* in) {
    if (out == in) return out;
    *out = *in;
    return out;
}

}  // namespace engine2d
