#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "lib/engine2d/grideffects/GxTiledEffects.h"
#include "lib/engine2d/nodes/GxScene.h"
#include "tests/lib/engine2d/grid/GridFixture.h"

using namespace engine2d;
using engine2d::testing_grid::Px;

namespace {

class TiledEffects : public engine2d::testing_grid::GridTest {
protected:
    GxTiledGrid3D* start(const std::shared_ptr<GxTiledGrid3DAction>& effect) {
        node_ = GxNode::node();
        node_->runAction(effect);
        return dynamic_cast<GxTiledGrid3D*>(node_->grid().get());
    }
    GxNodeRef node_;
};

bool same(const gxQuad3& a, const gxQuad3& b) {
    const float* x = &a.bl.x;
    const float* y = &b.bl.x;
    for (int i = 0; i < 12; ++i)
        if (x[i] != y[i]) return false;
    return true;
}

bool hidden(const gxQuad3& q) { return same(q, gxQuad3{}); }

TEST_F(TiledEffects, AShuffleReplaysFromItsSeedAndEndsExactlyOnTheCells) {
    REQUIRE_GL();
    // 30 x 20 over 4 x 2 cells: a step of 7.5 x 10, not whole points.
    ASSERT_TRUE(show(30, 20));
    auto a = GxShuffleTiles::actionWithSeed(7, {4, 2}, 1);
    GxTiledGrid3D* g = start(a);
    ASSERT_NE(g, nullptr);
    std::vector<int> order = a->tilesOrder();
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7})) << "a permutation of the cells";

    // Halfway the offsets are whole points.
    a->update(0.5f);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 2; ++j) {
            gxQuad3 q = g->tile({i, j}), o = g->originalTile({i, j});
            EXPECT_EQ(q.bl.x - o.bl.x, std::trunc(q.bl.x - o.bl.x));
            EXPECT_EQ(q.tr.y - o.tr.y, std::trunc(q.tr.y - o.tr.y));
        }
    auto halfway = g->vertices();

    // At the end every tile covers its destination cell exactly, and every
    // cell is covered once.
    a->update(1);
    std::set<int> covered;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 2; ++j) {
            int d = order[size_t(i * 2 + j)];
            gxGridSize dest{d / 2, d % 2};
            EXPECT_TRUE(same(g->tile({i, j}), g->originalTile(dest))) << "tile " << i << "," << j;
            covered.insert(d);
        }
    EXPECT_EQ(covered.size(), 8u);

    // The same seed on another node: the same order and the same frames.
    // Seed -1 takes the sequence as it stands.
    gxSrand(12345);
    auto b = GxShuffleTiles::actionWithSeed(7, {4, 2}, 1);
    g = start(b);
    EXPECT_EQ(b->tilesOrder(), order);
    b->update(0.5f);
    for (size_t k = 0; k < halfway.size(); ++k) EXPECT_TRUE(same(g->vertices()[k], halfway[k]));
    gxSrand(7);
    auto c = GxShuffleTiles::actionWithSeed(-1, {4, 2}, 1);
    start(c);
    EXPECT_EQ(c->tilesOrder(), order);
    auto copy = std::dynamic_pointer_cast<GxShuffleTiles>(a->copy());
    start(copy);
    EXPECT_EQ(copy->tilesOrder(), order) << "a copy keeps the seed";
    auto other = GxShuffleTiles::actionWithSeed(8, {4, 2}, 1);
    start(other);
    auto o2 = GxShuffleTiles::actionWithSeed(9, {4, 2}, 1);
    start(o2);
    EXPECT_TRUE(other->tilesOrder() != order || o2->tilesOrder() != order) << "other seeds, other orders";
}

TEST_F(TiledEffects, TurningOffHidesTheFirstTilesOfTheShuffledOrder) {
    REQUIRE_GL();
    ASSERT_TRUE(show(64, 64));
    auto a = GxTurnOffTiles::actionWithSeed(3, {4, 4}, 1);
    GxTiledGrid3D* g = start(a);
    ASSERT_NE(g, nullptr);
    const auto order = a->tilesOrder();
    ASSERT_EQ(order.size(), 16u);
    auto countHidden = [&] {
        int n = 0;
        for (const gxQuad3& q : g->vertices()) n += hidden(q);
        return n;
    };
    a->update(0);
    EXPECT_EQ(countHidden(), 0);
    a->update(0.5f);
    EXPECT_EQ(countHidden(), 8);
    for (size_t k = 0; k < 16; ++k) {
        gxGridSize pos{order[k] / 4, order[k] % 4};
        EXPECT_EQ(hidden(g->tile(pos)), k < 8) << k;
    }
    a->update(1);
    EXPECT_EQ(countHidden(), 16);
    a->update(0.25f);
    EXPECT_EQ(countHidden(), 4) << "tiles come back on when time goes back";

    // Made by size alone it reseeds with 0 every time.
    auto bySize = GxTurnOffTiles::actionWithSize({4, 4}, 1);
    start(bySize);
    auto zero = GxTurnOffTiles::actionWithSeed(0, {4, 4}, 1);
    start(zero);
    EXPECT_EQ(bySize->tilesOrder(), zero->tilesOrder());
}

TEST_F(TiledEffects, FadesShrinkTilesTowardsTheirCentreAndHideThemAtTheFront) {
    REQUIRE_GL();
    ASSERT_TRUE(show(64, 64));  // a 4 x 4 grid: cells of 16 x 16
    enum Look { Whole, Shrunk, ShrunkVertically, Hidden };
    struct Case {
        const char* name;
        std::shared_ptr<GxFadeOutTRTiles> (*make)();
        float t;
        gxGridSize tile;
        Look look;
        float distance;  // for shrunk tiles
    };
    auto tr = [] { return GxFadeOutTRTiles::actionWithSize({4, 4}, 1); };
    auto bl = []() -> std::shared_ptr<GxFadeOutTRTiles> { return GxFadeOutBLTiles::actionWithSize({4, 4}, 1); };
    auto up = []() -> std::shared_ptr<GxFadeOutTRTiles> { return GxFadeOutUpTiles::actionWithSize({4, 4}, 1); };
    auto down = []() -> std::shared_ptr<GxFadeOutTRTiles> { return GxFadeOutDownTiles::actionWithSize({4, 4}, 1); };
    const Case cases[] = {
        {"TR t 0", tr, 0, {0, 0}, Whole, 0},
        {"TR t 0", tr, 0, {3, 3}, Whole, 0},
        {"TR t 1 far corner", tr, 1, {3, 3}, Shrunk, 0.17797852f},  // (6/8)^6
        {"TR t 1 near corner", tr, 1, {0, 0}, Hidden, 0},
        {"TR t 0.5", tr, 0.5f, {2, 2}, Whole, 0},  // (4/4)^6
        {"BL t 0.3", bl, 0.3f, {0, 0}, Whole, 0},
        {"BL t 1", bl, 1, {0, 0}, Whole, 0},
        {"BL t 1", bl, 1, {1, 0}, Hidden, 0},
        {"BL t 0.75", bl, 0.75f, {1, 2}, Shrunk, 0.087791f},  // (2/3)^6
        {"Up t 0.5 row 0", up, 0.5f, {1, 0}, Hidden, 0},
        {"Up t 0.5 row 1", up, 0.5f, {1, 1}, ShrunkVertically, 0.015625f},  // (1/2)^6
        {"Up t 0.5 row 3", up, 0.5f, {1, 3}, Whole, 0},
        {"Down t 0.5 row 0", down, 0.5f, {2, 0}, Whole, 0},
        {"Down t 0.5 row 3", down, 0.5f, {2, 3}, ShrunkVertically, 0.087791f},  // (2/3)^6
        {"Down t 1 row 1", down, 1, {2, 1}, Hidden, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " tile " << c.tile.x << "," << c.tile.y);
        auto a = c.make();
        const float distance = a->testFunc(c.tile, c.t);
        if (c.look == Whole)
            EXPECT_GE(distance, 1);
        else
            EXPECT_NEAR(distance, c.look == Hidden ? 0 : c.distance, 1e-5);
        GxTiledGrid3D* g = start(a);
        a->update(c.t);
        gxQuad3 q = g->tile(c.tile), o = g->originalTile(c.tile);
        const float shrink = 8 * (1 - c.distance);
        switch (c.look) {
            case Whole:
                EXPECT_TRUE(same(q, o));
                break;
            case Hidden:
                EXPECT_TRUE(hidden(q));
                break;
            case Shrunk:
                EXPECT_NEAR(q.bl.x, o.bl.x + shrink, 1e-3);
                EXPECT_NEAR(q.bl.y, o.bl.y + shrink, 1e-3);
                EXPECT_NEAR(q.tr.x, o.tr.x - shrink, 1e-3);
                EXPECT_NEAR(q.tr.y, o.tr.y - shrink, 1e-3);
                break;
            case ShrunkVertically:
                EXPECT_EQ(q.bl.x, o.bl.x);
                EXPECT_EQ(q.tr.x, o.tr.x);
                EXPECT_NEAR(q.br.y, o.br.y + shrink, 1e-3);
                EXPECT_NEAR(q.tl.y, o.tl.y - shrink, 1e-3);
                break;
        }
        node_->stopAllActions();
    }
}

TEST_F(TiledEffects, SplitsWavesAndJumps) {
    REQUIRE_GL();
    ASSERT_TRUE(show(60, 30));
    auto rows = GxSplitRows::actionWithRows(3, 1);
    GxTiledGrid3D* g = start(rows);
    ASSERT_EQ(g->gridSize().x, 1);
    ASSERT_EQ(g->gridSize().y, 3);
    rows->update(0.5f);
    EXPECT_FLOAT_EQ(g->tile({0, 0}).bl.x, -30);
    EXPECT_FLOAT_EQ(g->tile({0, 1}).tr.x, 60 + 30);
    EXPECT_FLOAT_EQ(g->tile({0, 2}).br.x, 60 - 30);
    EXPECT_FLOAT_EQ(g->tile({0, 2}).br.y, g->originalTile({0, 2}).br.y);

    auto cols = GxSplitCols::actionWithCols(2, 1);
    g = start(cols);
    cols->update(1);
    EXPECT_FLOAT_EQ(g->tile({0, 0}).tl.y, 30 - 30);
    EXPECT_FLOAT_EQ(g->tile({1, 0}).bl.y, 30);

    // Waves set one height on all four corners: sin(pi/2 + 0) at tile (0, 0).
    auto waves = GxWavesTiles3D::actionWithWaves(1, 10, {3, 3}, 1);
    g = start(waves);
    waves->update(0.25f);
    gxQuad3 q = g->tile({0, 0});
    EXPECT_FLOAT_EQ(q.bl.z, 10);
    EXPECT_FLOAT_EQ(q.tr.z, 10);
    waves->setAmplitudeRate(0.5f);
    waves->update(0.25f);
    EXPECT_FLOAT_EQ(g->tile({0, 0}).br.z, 5);

    // Jumps: even tiles by s1, odd by s2.
    auto jumps = GxJumpTiles3D::actionWithJumps(1, 10, {3, 3}, 1);
    g = start(jumps);
    jumps->update(0.25f);
    EXPECT_NEAR(g->tile({0, 0}).bl.z, 10, 1e-4);
    EXPECT_NEAR(g->tile({1, 0}).tl.z, -10, 1e-4);
    EXPECT_NEAR(g->tile({1, 1}).tr.z, 10, 1e-4);
    jumps->update(0);
    EXPECT_EQ(g->tile({0, 0}).bl.z, 0);
    EXPECT_NEAR(g->tile({0, 1}).bl.z, 0, 1e-5);
}

TEST_F(TiledEffects, ShakingAndShatteringReplayFromASeedAndEmptyRangesStayStill) {
    REQUIRE_GL();
    ASSERT_TRUE(show(40, 40));
    auto shaky = GxShakyTiles3D::actionWithRange(2, false, {2, 2}, 1);
    GxTiledGrid3D* g = start(shaky);
    gxSrand(99);
    shaky->update(0.1f);
    auto first = g->vertices();
    gxSrand(99);
    shaky->update(0.2f);
    bool moved = false;
    for (size_t k = 0; k < first.size(); ++k) {
        EXPECT_TRUE(same(g->vertices()[k], first[k]));
        EXPECT_EQ(first[k].bl.z, 0) << "no depth without shakeZ";
        float d = first[k].br.x - g->originalVertices()[k].br.x;
        EXPECT_TRUE(d >= -2 && d <= 1);
        moved |= d != 0;
    }
    EXPECT_TRUE(moved);

    auto still = GxShakyTiles3D::actionWithRange(0, true, {2, 2}, 1);
    g = start(still);
    still->update(0.5f);
    EXPECT_TRUE(same(g->tile({1, 1}), g->originalTile({1, 1})));

    // Shattered: scattered on the first update, then left alone; a new run
    // on a fresh grid scatters again.
    auto shattered = GxShatteredTiles3D::actionWithRange(3, true, {2, 2}, 1);
    g = start(shattered);
    gxSrand(5);
    shattered->update(0);
    auto scattered = g->vertices();
    shattered->update(0.5f);
    for (size_t k = 0; k < scattered.size(); ++k) EXPECT_TRUE(same(g->vertices()[k], scattered[k]));
    node_->stopAllActions();
    auto again = GxNode::node();
    again->runAction(shattered);
    auto* fresh = dynamic_cast<GxTiledGrid3D*>(again->grid().get());
    ASSERT_NE(fresh, nullptr);
    gxSrand(5);
    shattered->update(0);
    for (size_t k = 0; k < scattered.size(); ++k) EXPECT_TRUE(same(fresh->vertices()[k], scattered[k]));
    again->stopAllActions();
}

TEST_F(TiledEffects, TilesTurnedOffDrawNothingAndTilesOnDrawTheNode) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    auto scene = GxScene::node();
    auto holder = GxNode::node();
    auto sprite = quadrantSprite(32, 32);
    sprite->setAnchorPoint(Point{0, 0});
    holder->addChild(sprite);
    scene->addChild(holder);
    auto& d = GxDirector::sharedDirector();
    d.runWithScene(scene);
    d.drawScene();
    auto plain = frame();
    auto off = GxTurnOffTiles::actionWithSeed(1, {4, 4}, 1);
    holder->runAction(off);
    d.pause();  // frames draw, the action is moved by hand
    off->update(0);
    d.drawScene();
    EXPECT_EQ(frame(), plain);
    off->update(1);
    d.drawScene();
    for (const Px& p : frame()) ASSERT_EQ(p, (Px{0, 0, 0, 0}));
    // Half the tiles: exactly half the pixels are left.
    off->update(0.5f);
    d.drawScene();
    int lit = 0;
    for (const Px& p : frame()) lit += p[3] != 0;
    EXPECT_EQ(lit, 32 * 32 / 2);
    holder->stopAllActions();
    d.resume();
}

}  // namespace
