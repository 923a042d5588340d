#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "lib/engine2d/grideffects/GxEffects3D.h"
#include "tests/lib/engine2d/grid/GridFixture.h"

using namespace engine2d;

namespace {

class Effects3D : public engine2d::testing_grid::GridTest {
protected:
    // Starts the effect on a fresh node and answers the node's sheet.
    GxGrid3D* start(const std::shared_ptr<GxGrid3DAction>& effect) {
        node_ = GxNode::node();
        node_->runAction(effect);
        return dynamic_cast<GxGrid3D*>(node_->grid().get());
    }
    GxNodeRef node_;
};

struct Expect3 {
    float x, y, z;
};

TEST_F(Effects3D, EffectsMoveVerticesAsWorkedOutByHand) {
    REQUIRE_GL();
    struct Case {
        const char* name;
        int winW, winH;
        std::function<std::shared_ptr<GxGrid3DAction>()> make;
        float t;
        gxGridSize at;
        Expect3 want;
    };
    const Case cases[] = {
        // Waves across the diagonal: sin(pi/2) at vertex (0, 0).
        {"Waves3D t 0.25",
         100,
         100,
         [] {
             return GxWaves3D::actionWithWaves(1, 10, {2, 2}, 1);
         },
         0.25f,
         {0, 0},
         {0, 0, 10}},
        {"Waves3D t 0",
         100,
         100,
         [] {
             return GxWaves3D::actionWithWaves(1, 10, {2, 2}, 1);
         },
         0,
         {0, 0},
         {0, 0, 0}},
        // The centre vertex has the full factor: 10 sin(pi/2 + 10).
        {"Ripple3D centre",
         200,
         200,
         [] {
             return GxRipple3D::actionWithPosition({50, 50}, 100, 2, 10, {4, 4}, 1);
         },
         0.125f,
         {1, 1},
         {50, 50, -8.3907153f}},
        // 50 from the centre: 10 sin(pi/2 + 5) (50/100)^2.
        {"Ripple3D inside",
         200,
         200,
         [] {
             return GxRipple3D::actionWithPosition({50, 50}, 100, 2, 10, {4, 4}, 1);
         },
         0.125f,
         {2, 1},
         {100, 50, 0.70915546f}},
        {"Ripple3D outside",
         200,
         200,
         [] {
             return GxRipple3D::actionWithPosition({50, 50}, 100, 2, 10, {4, 4}, 1);
         },
         0.125f,
         {3, 3},
         {150, 150, 0}},
        // (30, 40) is 50 from the lens centre: 0.5^0.7 x 100 x 0.7.
        {"Lens3D",
         60,
         80,
         [] {
             return GxLens3D::actionWithPosition({0, 0}, 100, {2, 2}, 1);
         },
         0.3f,
         {1, 1},
         {30, 40, 43.090054f}},
        {"Lens3D on the centre",
         60,
         80,
         [] {
             return GxLens3D::actionWithPosition({0, 0}, 100, {2, 2}, 1);
         },
         0.3f,
         {0, 0},
         {0, 0, 0}},
        // Half turned: x - x cos(pi/4) and |floor(x / 4)|.
        {"FlipX3D a", 320, 100, [] { return GxFlipX3D::actionWithDuration(1); }, 0.5f, {0, 0}, {93.72583f, 0, 80}},
        {"FlipX3D b", 320, 100, [] { return GxFlipX3D::actionWithDuration(1); }, 0.5f, {0, 1}, {93.72583f, 100, 80}},
        {"FlipX3D c", 320, 100, [] { return GxFlipX3D::actionWithDuration(1); }, 0.5f, {1, 0}, {226.27417f, 0, -80}},
        {"FlipX3D t 0", 320, 100, [] { return GxFlipX3D::actionWithDuration(1); }, 0, {1, 1}, {320, 100, 0}},
        {"FlipY3D a", 100, 200, [] { return GxFlipY3D::actionWithDuration(1); }, 0.5f, {0, 0}, {0, 58.578644f, 50}},
        {"FlipY3D b", 100, 200, [] { return GxFlipY3D::actionWithDuration(1); }, 0.5f, {0, 1}, {0, 141.42136f, -50}},
        {"FlipY3D c", 100, 200, [] { return GxFlipY3D::actionWithDuration(1); }, 0.5f, {1, 0}, {100, 58.578644f, 50}},
        // Inner vertices sway by 10 cos(0.5); the border stays.
        {"Liquid inner",
         100,
         100,
         [] {
             return GxLiquid::actionWithWaves(1, 10, {2, 2}, 1);
         },
         0.25f,
         {1, 1},
         {58.775826f, 58.775826f, 0}},
        {"Liquid border",
         100,
         100,
         [] {
             return GxLiquid::actionWithWaves(1, 10, {2, 2}, 1);
         },
         0.25f,
         {2, 1},
         {100, 50, 0}},
        // Sideways first, then up and down from the new x.
        {"Waves both",
         100,
         100,
         [] {
             return GxWaves::actionWithWaves(1, 10, true, true, {2, 2}, 1);
         },
         0.25f,
         {1, 1},
         {58.775826f, 58.321858f, 0}},
        {"Waves vertical",
         100,
         100,
         [] {
             return GxWaves::actionWithWaves(1, 10, false, true, {2, 2}, 1);
         },
         0.25f,
         {1, 1},
         {58.775826f, 50, 0}},
        // One cell left of the middle: turned by -1 radian about (0, 0).
        {"Twirl",
         100,
         100,
         [] {
             return GxTwirl::actionWithPosition({0, 0}, 1, 10, {2, 2}, 1);
         },
         0.25f,
         {0, 1},
         {-42.073549f, 27.015115f, 0}},
        {"Twirl t 0",
         100,
         100,
         [] {
             return GxTwirl::actionWithPosition({0, 0}, 1, 10, {2, 2}, 1);
         },
         0,
         {2, 2},
         {100, 100, 0}},
        {"PageTurn3D t 0",
         200,
         200,
         [] {
             return GxPageTurn3D::actionWithSize({2, 2}, 1);
         },
         0,
         {1, 2},
         {100, 200, 0.5f}},
        {"PageTurn3D t 0.5",
         200,
         200,
         [] {
             return GxPageTurn3D::actionWithSize({2, 2}, 1);
         },
         0.5f,
         {1, 1},
         {88.94946f, 101.14695f, 5.63555f}},
    };
    int shownW = 0, shownH = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.winW != shownW || c.winH != shownH) {
            GxDirector::sharedDirector().end();
            ASSERT_TRUE(show(c.winW, c.winH));
            shownW = c.winW, shownH = c.winH;
        }
        auto effect = c.make();
        GxGrid3D* g = start(effect);
        ASSERT_NE(g, nullptr);
        effect->update(c.t);
        gxVertex3F v = g->vertex(c.at);
        EXPECT_NEAR(v.x, c.want.x, 1e-2);
        EXPECT_NEAR(v.y, c.want.y, 1e-2);
        EXPECT_NEAR(v.z, c.want.z, 1e-2);
        node_->stopAllActions();
    }
}

TEST_F(Effects3D, OneCellGridsAndEmptyRangesAreHarmless) {
    REQUIRE_GL();
    ASSERT_TRUE(show(100, 100));
    for (gxGridSize size : {gxGridSize{1, 1}, gxGridSize{2, 1}}) {
        auto liquid = GxLiquid::actionWithWaves(3, 40, size, 1);
        GxGrid3D* g = start(liquid);
        ASSERT_NE(g, nullptr);
        liquid->update(0.3f);
        for (size_t i = 0; i < g->vertices().size(); ++i) {
            EXPECT_EQ(g->vertices()[i].x, g->originalVertices()[i].x);
            EXPECT_EQ(g->vertices()[i].y, g->originalVertices()[i].y);
        }
    }
    for (int range : {0, -4}) {
        auto shaky = GxShaky3D::actionWithRange(range, true, {2, 2}, 1);
        GxGrid3D* g = start(shaky);
        ASSERT_NE(g, nullptr);
        shaky->update(0.5f);
        gxVertex3F v = g->vertex({1, 1});
        EXPECT_EQ(v.x, 50);
        EXPECT_EQ(v.y, 50);
        EXPECT_EQ(v.z, 0);
    }
    // Ripples and lenses of radius 0 touch nothing.
    auto ripple = GxRipple3D::actionWithPosition({50, 50}, 0, 2, 10, {2, 2}, 1);
    GxGrid3D* g = start(ripple);
    ripple->update(0.5f);
    EXPECT_EQ(g->vertex({1, 1}).z, 0);
    auto lens = GxLens3D::actionWithPosition({50, 50}, 0, {2, 2}, 1);
    g = start(lens);
    lens->update(0.5f);
    EXPECT_EQ(g->vertex({1, 0}).z, 0);
}

TEST_F(Effects3D, ShakingIsReproducibleFromASeedAndStaysInRange) {
    REQUIRE_GL();
    ASSERT_TRUE(show(100, 100));
    auto shaky = GxShaky3D::actionWithRange(3, true, {4, 4}, 1);
    GxGrid3D* g = start(shaky);
    ASSERT_NE(g, nullptr);
    gxSrand(42);
    shaky->update(0.1f);
    auto first = g->vertices();
    shaky->update(0.2f);
    auto second = g->vertices();
    gxSrand(42);
    shaky->update(0.3f);
    auto again = g->vertices();
    bool moved = false, differs = false;
    for (size_t i = 0; i < first.size(); ++i) {
        const gxVertex3F& o = g->originalVertices()[i];
        for (float d : {first[i].x - o.x, first[i].y - o.y, first[i].z - o.z}) {
            EXPECT_GE(d, -3);
            EXPECT_LE(d, 2);
            moved |= d != 0;
        }
        EXPECT_EQ(again[i].x, first[i].x);
        EXPECT_EQ(again[i].y, first[i].y);
        EXPECT_EQ(again[i].z, first[i].z);
        differs |= second[i].x != first[i].x || second[i].z != first[i].z;
    }
    EXPECT_TRUE(moved);
    EXPECT_TRUE(differs) << "each frame shakes anew";
}

TEST_F(Effects3D, TheLensWorksOnlyAfterItsPositionChangesAndAgainOnEveryRun) {
    REQUIRE_GL();
    ASSERT_TRUE(show(60, 80));
    auto lens = GxLens3D::actionWithPosition({0, 0}, 100, {2, 2}, 1);
    EXPECT_FLOAT_EQ(lens->lensEffect(), 0.7f);
    GxGrid3D* g = start(lens);
    lens->update(0.1f);
    EXPECT_FALSE(lens->dirty());
    g->setVertex({1, 1}, {1, 2, 3});
    lens->setPosition({0, 0});
    EXPECT_FALSE(lens->dirty()) << "the same position is no change";
    lens->update(0.2f);
    EXPECT_EQ(g->vertex({1, 1}).z, 3) << "no work without a change";
    lens->setPosition({60, 80});
    lens->update(0.3f);
    EXPECT_NEAR(g->vertex({1, 1}).z, 43.090054f, 1e-3) << "(30, 40) is 50 from (60, 80) too";

    // Run again on a node of its own: a fresh, flat grid gets its lens.
    node_->stopAllActions();
    auto other = GxNode::node();
    other->runAction(lens);
    auto* fresh = dynamic_cast<GxGrid3D*>(other->grid().get());
    ASSERT_NE(fresh, nullptr);
    lens->update(0);
    EXPECT_NEAR(fresh->vertex({1, 1}).z, 43.090054f, 1e-3);
    other->stopAllActions();
}

TEST_F(Effects3D, RatesCopiesAndReversesOfEffects) {
    REQUIRE_GL();
    ASSERT_TRUE(show(100, 100));
    auto waves = GxWaves3D::actionWithWaves(1, 10, {2, 2}, 2);
    waves->setAmplitudeRate(0.5f);
    GxGrid3D* g = start(waves);
    waves->update(0.25f);
    EXPECT_NEAR(g->vertex({0, 0}).z, 5, 1e-4);
    EXPECT_FLOAT_EQ(gxGetAmplitudeRate(*waves), 0.5f);

    auto copy = std::dynamic_pointer_cast<GxWaves3D>(waves->copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->amplitudeRate(), 1) << "a copy starts at the full amplitude";
    EXPECT_EQ(copy->amplitude(), 10);
    EXPECT_EQ(copy->duration(), 2);
    g = start(copy);
    copy->update(0.25f);
    EXPECT_NEAR(g->vertex({0, 0}).z, 10, 1e-4);

    // Played backwards: a quarter of the way through is three quarters of
    // the effect.
    auto rev = waves->reverse();
    ASSERT_NE(rev, nullptr);
    g = start(std::dynamic_pointer_cast<GxGrid3DAction>(waves->copy()));
    auto revNode = GxNode::node();
    revNode->runAction(rev);
    auto* rg = dynamic_cast<GxGrid3D*>(revNode->grid().get());
    ASSERT_NE(rg, nullptr);
    std::dynamic_pointer_cast<GxActionInterval>(rev)->update(0.25f);
    EXPECT_NEAR(rg->vertex({1, 1}).z, 10 * std::sin(3.1415927f * 1.5f + 1), 1e-4);
    revNode->stopAllActions();

    // An amplitude action drives the effect it wraps through the frames.
    auto eased = GxAccelDeccelAmplitude::actionWithAction(GxWaves3D::actionWithWaves(1, 10, {2, 2}, 1), 1);
    auto easedNode = GxNode::node();
    easedNode->runAction(eased);
    auto* eg = dynamic_cast<GxGrid3D*>(easedNode->grid().get());
    ASSERT_NE(eg, nullptr);
    eased->update(0.25f);
    EXPECT_NEAR(eg->vertex({0, 0}).z, 5, 1e-4) << "half the amplitude a quarter of the way";
    easedNode->stopAllActions();
}

TEST_F(Effects3D, FlipsNeedOneCellAndThePageTurnEndsInvisibleButFinite) {
    REQUIRE_GL();
    ASSERT_TRUE(show(200, 100));
    try {
        GxFlipX3D flip(gxGridSize{2, 1}, 1);
        FAIL();
    } catch (const GxEngineException& e) {
        EXPECT_EQ(e.name(), "FlipX3D");
        EXPECT_EQ(e.reason(), "Grid size must be (1,1)");
    }
    EXPECT_THROW(GxFlipY3D(gxGridSize{1, 2}, 1), GxEngineException);
    EXPECT_EQ(std::dynamic_pointer_cast<GxFlipY3D>(GxFlipY3D::actionWithDuration(1)->copy())->gridSize().x, 1);

    // Flipped the other way round (reversed by a previous flip kept through
    // reuse), the right-hand corners move instead.
    auto flip = GxFlipX3D::actionWithDuration(1);
    GxGrid3D* g = start(flip);
    g->setVertex({0, 0}, {200, 0, 0});
    g->setVertex({0, 1}, {200, 100, 0});
    g->setVertex({1, 0}, {0, 0, 0});
    g->setVertex({1, 1}, {0, 100, 0});
    g->setReuseGrid(1);
    g->reuse();
    flip->update(0.5f);
    EXPECT_NEAR(g->vertex({1, 0}).x, 200 - 200 * std::cos(3.1415927f / 4), 1e-3);
    EXPECT_NEAR(g->vertex({1, 0}).z, 50, 1e-3);
    EXPECT_NEAR(g->vertex({0, 0}).x, 200 - (200 - 200 * std::cos(3.1415927f / 4)), 1e-3);

    auto page = GxPageTurn3D::actionWithSize({4, 2}, 1);
    g = start(page);
    page->update(1);
    for (const gxVertex3F& v : g->vertices()) {
        EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
        EXPECT_EQ(v.x, 0) << "folded onto one line: no area to draw";
    }
}

}  // namespace
