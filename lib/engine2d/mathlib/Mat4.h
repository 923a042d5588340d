#pragma once
// 4x4 matrices (column-major: elements 12, 13, 14 hold the translation) and
// three-component vectors. Each operation writes into `out` and returns it.

namespace engine2d {

struct mxMat4 {
    float mat[16];
};

struct mxVector3 {
    float x, y, z;
};

mxMat4* mxMat4SetIdentity(mxMat4* out);
// Stops a debug build when out and in are the same matrix.
mxMat4* mxMat4Assign(mxMat4* out, const mxMat4* in);
// out = m1 x m2; out may be m1 or m2.
mxMat4* mxMat4Product(mxMat4* out, const mxMat4* m1, const mxMat4* m2);
mxMat4* mxMat4FromTranslation(mxMat4* out, float x, float y, float z);
// nullptr (out untouched) for zNear == zFar, a zero field of view or aspect 0.
mxMat4* mxMat4Perspective(mxMat4* out, float fovY, float aspect, float zNear, float zFar);
mxMat4* mxMat4Ortho(mxMat4* out, float left, float right, float bottom, float top, float nearVal, float farVal);
mxMat4* mxMat4FromLookAt(mxMat4* out, const mxVector3* eye, const mxVector3* center, const mxVector3* up);
bool mxMat4AreEqual(const mxMat4* a, const mxMat4* b);

mxVector3* mxVector3Set(mxVector3* out, float x, float y, float z);
float mxVector3Length(const mxVector3* in);
mxVector3* mxVector3Normalize(mxVector3* out, const mxVector3* in);
mxVector3* mxVector3Cross(mxVector3* out, const mxVector3* a, const mxVector3* b);
mxVector3* mxVector3Difference(mxVector3* out, const mxVector3* a, const mxVector3* b);
mxVector3* mxVector3Copy(mxVector3* out, const mxVector3* in);

inline float mxSquare(float s) { return s * s; }
// Degrees to radians with the matrix library's own single-precision factor.
inline float mxToRadians(float degrees) { return degrees * 0.017453f; }

}  // namespace engine2d
