#include <gtest/gtest.h>

#include <cmath>

#include "platform/ui/Geometry.h"

using namespace ui;

namespace {
void expectPoint(Point got, Point want) {
    EXPECT_NEAR(got.x, want.x, 1e-9);
    EXPECT_NEAR(got.y, want.y, 1e-9);
}
}  // namespace

TEST(AffineTransform, TranslateAppliesBeforeTheTransform) {
    // Scaling by 2 after translating by (10, 0): the point moves 10, then doubles.
    AffineTransform t = AffineTransform::makeScale(2, 2).translate(10, 0);
    expectPoint(t.apply(Point{1, 1}), {22, 2});
    // The reverse order, made with concat: scale first, then translate.
    AffineTransform u = AffineTransform::makeScale(2, 2).concat(AffineTransform::makeTranslation(10, 0));
    expectPoint(u.apply(Point{1, 1}), {12, 2});
}

TEST(AffineTransform, RotationTurnsClockwiseOnScreenAndInverts) {
    AffineTransform r = AffineTransform::makeRotation(M_PI / 2);
    expectPoint(r.apply(Point{1, 0}), {0, 1});  // x axis turns towards y (down)
    AffineTransform t = AffineTransform::makeScale(3, 0.5).rotate(0.7).translate(5, -2);
    expectPoint(t.inverted().apply(t.apply(Point{4, 9})), {4, 9});
    // A singular transform gives itself back rather than dividing by zero.
    AffineTransform flat = AffineTransform::makeScale(0, 1);
    EXPECT_EQ(flat.inverted(), flat);
}

TEST(AffineTransform, BoundingBoxOfRotatedRect) {
    Rect r = AffineTransform::makeRotation(M_PI / 2).apply(Rect{0, 0, 20, 10});
    EXPECT_NEAR(r.x(), -10, 1e-9);
    EXPECT_NEAR(r.y(), 0, 1e-9);
    EXPECT_NEAR(r.width(), 10, 1e-9);
    EXPECT_NEAR(r.height(), 20, 1e-9);
}

TEST(Transform3D, AffinePartsAndPerspective) {
    Transform3D t = Transform3D::makeScale(2, 3, 1).translate(1, 1, 0);
    EXPECT_TRUE(t.isAffine());
    expectPoint(t.project({1, 1}), {4, 6});
    Transform3D rz = Transform3D::makeRotation(M_PI / 2, 0, 0, 1);
    expectPoint(rz.project({1, 0}), {0, 1});
    EXPECT_EQ(Transform3D::makeRotation(1, 0, 0, 0), Transform3D::identity());

    // Perspective: a layer turned about y shrinks on the far side.
    Transform3D p;
    p.m34 = -1.0 / 500;
    Transform3D tilt = Transform3D::makeRotation(0.5, 0, 1, 0).concat(p);
    EXPECT_FALSE(tilt.isAffine());
    Point nearEdge = tilt.project({-100, 100}), farEdge = tilt.project({100, 100});
    EXPECT_NE(std::fabs(nearEdge.y), std::fabs(farEdge.y));
}

TEST(Rect, EdgesContainmentAndIntegral) {
    Rect r{10, 20, -4, 6};  // negative width: standardised for min and max
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_TRUE(r.containsPoint({7, 21}));
    EXPECT_FALSE(Rect(0, 0, 10, 10).containsPoint({10, 5}));  // max edge is outside
    EXPECT_TRUE(Rect(0, 0, 10, 10).containsRect({0, 0, 10, 10}));
    EXPECT_EQ(Rect(0.5, 1.2, 2.1, 3.9).integral(), Rect(0, 1, 3, 5));
    EXPECT_TRUE(Rect(0, 0, 10, 10).intersection({20, 20, 5, 5}).isEmpty());
    EXPECT_EQ(Rect(0, 0, 10, 10).insetBy(2, 3), Rect(2, 3, 6, 4));
    EXPECT_EQ((EdgeInsets{1, 2, 3, 4}.inset(Rect{0, 0, 10, 10})), Rect(2, 1, 4, 6));
}
