#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "lib/engine2d/effects/GxMotionStreak.h"
#include "lib/engine2d/effects/GxParallaxNode.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/gl/GL.h"
#include "tests/support/engine2d/GLFixture.h"

using namespace engine2d;

namespace {

class Effects : public testing::Test {
protected:
    void SetUp() override { GxEnvironment::shared().setScheduler(std::make_shared<GxScheduler>()); }
    void TearDown() override {
        GxEnvironment::shared().scheduler()->unscheduleAllSelectors();
        GxEnvironment::shared().setScheduler(nullptr);
    }
};

TEST_F(Effects, AStreakIsSizedByItsFadeAndRefusesANonPositiveOne) {
    auto s = GxMotionStreak::streakWithFade(2, -1, 10, {255, 0, 0}, std::shared_ptr<GxTexture2D>());
    ASSERT_NE(s, nullptr);
    EXPECT_FLOAT_EQ(s->fadeDelta(), 0.5f);
    EXPECT_EQ(s->maxPoints(), 122u);
    EXPECT_FLOAT_EQ(s->minSeg(), 4);  // width / 5, squared
    EXPECT_EQ(s->position(), (Point{0, 0}));
    EXPECT_EQ(s->anchorPoint(), (Point{0, 0}));
    EXPECT_TRUE(s->ignoreAnchorPointForPosition());
    EXPECT_TRUE(s->isFastMode());
    EXPECT_EQ(s->blendFunc(), (gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
    s->setOpacity(9);
    EXPECT_EQ(s->opacity(), 0);
    for (float fade : {0.0f, -1.0f, NAN, INFINITY})
        EXPECT_EQ(GxMotionStreak::streakWithFade(fade, 1, 10, {}, std::shared_ptr<GxTexture2D>()), nullptr) << fade;
}

TEST_F(Effects, StreakPointsAppendAgeFadeAndDrop) {
    auto s = GxMotionStreak::streakWithFade(2, -1, 10, {10, 20, 30}, std::shared_ptr<GxTexture2D>());
    // Nothing before the first head position.
    s->update(0.1f);
    EXPECT_EQ(s->nuPoints(), 0u);
    s->setPosition(Point{0, 0});
    EXPECT_EQ(s->position(), (Point{0, 0}));  // the node stays; the head moves
    EXPECT_EQ(s->head(), (Point{0, 0}));
    s->update(0);
    ASSERT_EQ(s->nuPoints(), 1u);
    // Closer than the minimum distance (2): nothing appended, it only fades.
    s->setPosition(Point{1, 1});
    s->update(0);
    EXPECT_EQ(s->nuPoints(), 1u);
    // The second point: the strip of both points, 10 wide, across the line.
    s->setPosition(Point{0, 20});
    s->update(0);
    ASSERT_EQ(s->nuPoints(), 2u);
    const gxVertex2F* v = s->vertices();
    EXPECT_NEAR(std::fabs(v[0].x - v[1].x), 10, 1e-4);
    EXPECT_NEAR(v[0].y, 0, 1e-4);
    EXPECT_NEAR(std::fabs(v[2].x - v[3].x), 10, 1e-4);
    EXPECT_NEAR(v[2].y, 20, 1e-4);
    // Texture coordinates run along the ribbon.
    EXPECT_FLOAT_EQ(s->texCoords()[2].v, 0.5f);
    EXPECT_FLOAT_EQ(s->texCoords()[3].u, 1.0f);
    // Colours: the streak's, full alpha at birth.
    EXPECT_EQ(s->colors()[4 * 2 + 0], 10);
    EXPECT_EQ(s->colors()[4 * 2 + 3], 255);

    // After 1 s of a 2 s fade the first point is half gone.
    s->update(1);
    EXPECT_EQ(s->colors()[3], 127);
    EXPECT_EQ(s->colors()[7], 127);
    // Recolouring keeps each point's alpha.
    s->tintWithColor({200, 100, 50});
    EXPECT_EQ(s->colors()[0], 200);
    EXPECT_EQ(s->colors()[3], 127);
    EXPECT_EQ(s->colors()[8 + 2], 50);
    // A third point, then the first two run out on the frame their life
    // reaches 0 and the survivor moves down.
    s->setPosition(Point{0, 40});
    s->update(0);
    ASSERT_EQ(s->nuPoints(), 3u);
    s->update(1);
    ASSERT_EQ(s->nuPoints(), 1u);
    EXPECT_EQ(s->points()[0], (Point{0, 40}));
    EXPECT_FLOAT_EQ(s->pointStates()[0], 0.5f);

    // reset, and a move starts a new ribbon at the new head.
    s->reset();
    EXPECT_EQ(s->nuPoints(), 0u);
    s->setPosition(Point{50, 50});
    s->update(0);
    EXPECT_EQ(s->nuPoints(), 1u);
    EXPECT_EQ(s->points()[0], (Point{50, 50}));
    EXPECT_FLOAT_EQ(s->texCoords()[0].v, 0);
}

TEST_F(Effects, AFullStreakStopsAppendingUntilPointsFade) {
    auto s = GxMotionStreak::streakWithFade(0.05f, 1, 4, {255, 255, 255}, std::shared_ptr<GxTexture2D>());
    EXPECT_EQ(s->maxPoints(), 5u);  // whole part of 3, plus 2
    for (int i = 0; i < 8; ++i) {
        s->setPosition(Point{float(i * 10), 0});
        s->update(0);
    }
    EXPECT_EQ(s->nuPoints(), 5u);
    EXPECT_EQ(s->points()[4], (Point{40, 0}));
    s->update(0.06f);              // all fade
    EXPECT_EQ(s->nuPoints(), 1u);  // and the head is appended anew
    EXPECT_EQ(s->points()[0], (Point{70, 0}));
}

// The effects' drawing, on a context of its own.
class EffectsGL : public testing_gl::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        GxEnvironment::shared().setScheduler(std::make_shared<GxScheduler>());
    }
    void TearDown() override {
        GxEnvironment::shared().scheduler()->unscheduleAllSelectors();
        GxEnvironment::shared().setScheduler(nullptr);
        GLTest::TearDown();
    }
};

TEST_F(EffectsGL, AStreakDrawsAFadingRibbon) {
    REQUIRE_GL();
    target(64, 64);
    {
        std::vector<uint8_t> white(4 * 4 * 4, 255);
        auto t = GxTexture2D::textureWithData(white.data(), kGxTexture2DPixelFormat_RGBA8888, 4, 4, Size{4, 4});
        auto s = GxMotionStreak::streakWithFade(1, -1, 8, {0, 255, 0}, t);
        s->setPosition(Point{10, 32});
        s->update(0);
        s->visit();  // one point draws nothing
        std::array<uint8_t, 4> px{};
        glReadPixels(30, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        EXPECT_EQ(px, (std::array<uint8_t, 4>{0, 0, 0, 255}));
        s->setPosition(Point{54, 32});
        s->update(0);
        unsigned before = GxEnvironment::shared().drawCounter;
        s->visit();
        EXPECT_EQ(GxEnvironment::shared().drawCounter, before + 1);
        glReadPixels(30, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        EXPECT_GT(px[1], 200);
        EXPECT_EQ(px[0], 0);
        glReadPixels(30, 45, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        EXPECT_EQ(px[1], 0);  // outside the 8-point width
        // Half faded: the ribbon is half as bright.
        glClear(GL_COLOR_BUFFER_BIT);
        s->update(0.5f);
        s->visit();
        glReadPixels(30, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        EXPECT_NEAR(px[1], 127, 3);
    }
}

TEST_F(Effects, ParallaxChildrenFollowTheirShareOfTheAbsolutePosition) {
    auto root = GxNode::node();
    auto p = GxParallaxNode::node();
    root->setPosition(Point{50, 0});
    p->setPosition(Point{100, 0});
    root->addChild(p);
    auto half = GxNode::node(), fixed = GxNode::node(), plain = GxNode::node();
    half->setTag(7);
    p->addChild(half, 1, Point{0.5f, 1}, Point{10, 20});
    EXPECT_EQ(half->position(), (Point{60, 20}));  // the node's own position x ratio + offset
    EXPECT_EQ(half->tag(), 7);
    EXPECT_EQ(half->zOrder(), 1);
    p->addChild(fixed, 0, Point{0, 0}, Point{5, 5});
    // The plain forms add nothing.
    p->addChild(plain);
    p->addChild(plain, 3);
    p->addChild(plain, 3, 4);
    EXPECT_EQ(p->childrenCount(), 2u);
    EXPECT_EQ(plain->parent(), nullptr);

    p->visit();
    EXPECT_EQ(p->absolutePosition(), (Point{150, 0}));
    EXPECT_EQ(half->position(), (Point{-65, 20}));
    EXPECT_EQ(fixed->position(), (Point{-145, 5}));  // cancels the scrolling

    // Unchanged absolute position: children moved by others stay put.
    half->setPosition(Point{1, 1});
    p->visit();
    EXPECT_EQ(half->position(), (Point{1, 1}));
    root->setPosition(Point{0, 10});
    p->visit();
    EXPECT_EQ(half->position(), (Point{-40, 20}));

    // Removal drops the record; an inherited child only goes the inherited way.
    p->removeChild(half.get(), true);
    EXPECT_EQ(p->parallaxArray()->count(), 1u);
    EXPECT_EQ(p->childrenCount(), 1u);
    p->removeChild(plain.get(), true);
    EXPECT_EQ(p->parallaxArray()->count(), 1u);
    p->removeAllChildrenWithCleanup(true);
    EXPECT_EQ(p->parallaxArray()->count(), 0u);
    EXPECT_EQ(p->childrenCount(), 0u);

    // At exactly (-100, -100) the first visit repositions nothing.
    auto q = GxParallaxNode::node();
    q->setPosition(Point{-100, -100});
    auto c = GxNode::node();
    q->addChild(c, 0, Point{0.5f, 0.5f}, Point{0, 0});
    c->setPosition(Point{3, 3});
    q->visit();
    EXPECT_EQ(c->position(), (Point{3, 3}));
    q->setPosition(Point{-100, 0});
    q->visit();
    EXPECT_EQ(c->position(), (Point{50, 0}));
}

}  // namespace
