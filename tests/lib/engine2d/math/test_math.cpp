#include <gtest/gtest.h>

#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/mathlib/Types.h"

using namespace engine2d;

namespace {

TEST(Matrix, OrthoHoldsTheScaleAndTranslationOfTheBox) {
    mxMat4 m;
    mxMat4Ortho(&m, 0, 320, 0, 480, -1024, 1024);
    const float expected[16] = {2.f / 320, 0, 0, 0, 0, 2.f / 480, 0, 0, 0, 0, -2.f / 2048, 0, -1, -1, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m.mat[i], expected[i]) << "element " << i;
    // The box's corners land on the clip cube's.
    mxMat4 t;
    mxMat4FromTranslation(&t, 320, 480, 0);
    mxMat4Product(&t, &m, &t);
    EXPECT_FLOAT_EQ(t.mat[12], 1);
    EXPECT_FLOAT_EQ(t.mat[13], 1);
}

TEST(Matrix, PerspectiveRefusesDegenerateInputAndLeavesOutAlone) {
    struct Case {
        float fov, aspect, zNear, zFar;
    };
    for (Case c : {Case{60, 1, 1, 1}, Case{0, 1, 0.1f, 10}, Case{60, 0, 0.1f, 10}}) {
        mxMat4 out;
        mxMat4SetIdentity(&out);
        out.mat[3] = 42;
        EXPECT_EQ(mxMat4Perspective(&out, c.fov, c.aspect, c.zNear, c.zFar), nullptr);
        EXPECT_EQ(out.mat[3], 42);
    }
    mxMat4 p;
    ASSERT_NE(mxMat4Perspective(&p, 60, 320.f / 480, 0.1f, 830), nullptr);
    EXPECT_EQ(p.mat[11], -1);
    EXPECT_EQ(p.mat[15], 0);
    EXPECT_NEAR(p.mat[5], 1.7320508f, 1e-4);
}

TEST(Matrix, LookAtFromAboveTheCentreMovesTheEyeToTheOrigin) {
    mxVector3 eye{160, 240, 415}, center{160, 240, 0}, up{0, 1, 0};
    mxMat4 m;
    mxMat4FromLookAt(&m, &eye, &center, &up);
    EXPECT_FLOAT_EQ(m.mat[12], -160);
    EXPECT_FLOAT_EQ(m.mat[13], -240);
    EXPECT_FLOAT_EQ(m.mat[14], -415);
    EXPECT_FLOAT_EQ(m.mat[0], 1);
    EXPECT_FLOAT_EQ(m.mat[5], 1);
}

TEST(MatrixStack, GrowsWhenAPushFillsItAndPopsDownToNoTop) {
    mx_mat4_stack s;
    mx_mat4_stack_setup(&s);
    EXPECT_EQ(s.capacity, 30);
    mxMat4 m;
    mxMat4SetIdentity(&m);
    for (int i = 0; i < 29; ++i) mx_mat4_stack_push(&s, &m);
    EXPECT_EQ(s.capacity, 30);
    m.mat[12] = 7;
    mx_mat4_stack_push(&s, &m);
    EXPECT_EQ(s.item_count, 30);
    EXPECT_EQ(s.capacity, 80) << "the 30th push already grew the stack";
    EXPECT_EQ(s.top->mat[12], 7) << "the top survives the move to the new array";
    for (int i = 0; i < 30; ++i) mx_mat4_stack_pop(&s);
    EXPECT_EQ(s.item_count, 0);
    EXPECT_EQ(s.top, nullptr);
    EXPECT_DEBUG_DEATH(mx_mat4_stack_pop(&s), "engine2d/mathlib/src/GL/mat4stack.*Cannot pop an empty stack");
    mx_mat4_stack_free(&s);
}

TEST(MatrixStack, CurrentMatricesPushMultiplyPopAndCopyTop) {
    mxGLReleaseStacks();
    EXPECT_DEBUG_DEATH(mxGLPopMatrix(), "Cannot Pop empty matrix stack");
    mxGLMatrixMode(MX_GL_MODELVIEW);
    EXPECT_EQ(mxGLStackDepth(MX_GL_MODELVIEW), 1);
    mxGLPushMatrix();
    mxGLTranslateTop(5, 6, 7);
    mxMat4 top;
    mxGLCopyTop(MX_GL_MODELVIEW, &top);
    EXPECT_EQ(top.mat[12], 5);
    EXPECT_EQ(top.mat[14], 7);
    mxGLPopMatrix();
    mxGLCopyTop(MX_GL_MODELVIEW, &top);
    EXPECT_EQ(top.mat[12], 0);
    mxMat4 untouched;
    untouched.mat[0] = 99;
    mxGLCopyTop(0, &untouched);
    EXPECT_EQ(untouched.mat[0], 99) << "an unknown mode copies nothing";
    EXPECT_DEBUG_DEATH(mxGLMatrixMode(0x1234), "Invalid matrix mode specified");
    mxMat4 m;
    EXPECT_DEBUG_DEATH(mxMat4Assign(&m, &m), "You have tried to self-assign!!");
    mxGLReleaseStacks();
}

TEST(Geometry, NextPowerOfTwoAndClamping) {
    const std::pair<uint32_t, uint32_t> pots[] = {{0, 0}, {1, 1}, {3, 4}, {1024, 1024}, {1025, 2048}};
    for (auto [in, out] : pots) EXPECT_EQ(gxNextPowerOfTwo(in), out) << in;
    struct Clamp {
        float v, b1, b2, out;
    };
    for (Clamp c : {Clamp{5, 10, 0, 5}, Clamp{-1, 10, 0, 0}, Clamp{11, 0, 10, 10}, Clamp{3, 3, 3, 3}})
        EXPECT_EQ(gxClampFloat(c.v, c.b1, c.b2), c.out) << c.v << " in " << c.b1 << ".." << c.b2;
    EXPECT_EQ(gxPointClamp({-5, 50}, {10, 0}, {0, 20}), (Point{0, 20}));
}

TEST(Geometry, LineIntersectionAndRotation) {
    float s = 0, t = 0;
    // Collinear, overlapping: they coincide, S and T stay undivided (0).
    EXPECT_TRUE(gxPointLineIntersect({0, 0}, {2, 0}, {1, 0}, {3, 0}, &s, &t));
    EXPECT_EQ(s, 0);
    EXPECT_EQ(t, 0);
    EXPECT_FALSE(gxPointLineIntersect({0, 0}, {2, 0}, {0, 1}, {2, 1}, &s, &t)) << "parallel";
    EXPECT_FALSE(gxPointLineIntersect({1, 1}, {1, 1}, {0, 1}, {2, 1}, &s, &t)) << "a point is no line";
    ASSERT_TRUE(gxPointLineIntersect({0, 0}, {2, 2}, {0, 2}, {2, 0}, &s, &t));
    EXPECT_FLOAT_EQ(s, 0.5f);
    EXPECT_FLOAT_EQ(t, 0.5f);
    Point r = gxPointRotateAbout({2, 1}, {1, 1}, 3.14159265f / 2);
    EXPECT_NEAR(r.x, 1, 1e-6);
    EXPECT_NEAR(r.y, 2, 1e-6);
}

TEST(Geometry, AffineTransformsBecomeColumnMajorMatrices) {
    AffineTransform t{1, 2, 3, 4, 5, 6};
    mxMat4 m;
    gxAffineToMatrix(t, &m);
    const float expected[16] = {1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 1, 0, 5, 6, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m.mat[i], expected[i]) << i;
    AffineTransform inv = t.inverted();
    Point p = inv.apply(t.apply(Point{7, -3}));
    EXPECT_NEAR(p.x, 7, 1e-4);
    EXPECT_NEAR(p.y, -3, 1e-4);
    EXPECT_EQ(sizeof(gxV3F_C4B_T2F_Quad), 96u);
}

}  // namespace
