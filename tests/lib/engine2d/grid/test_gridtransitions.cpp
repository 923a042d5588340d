#include <gtest/gtest.h>

#include "lib/engine2d/grid/GxGrid.h"
#include "lib/engine2d/transitions/GxTransitionGrid.h"
#include "tests/lib/engine2d/transitions/TransitionFixture.h"

using namespace engine2d;
using engine2d::testing_transitions::Px;

namespace {

class GridTransitions : public engine2d::testing_transitions::TransitionTest {
protected:
    // Starts `t` from a blue scene to a green one and answers both.
    std::pair<std::shared_ptr<GxScene>, std::shared_ptr<GxScene>> start(
        const std::function<std::shared_ptr<GxTransitionScene>(std::shared_ptr<GxScene>)>& make) {
        auto a = scene("A", kBlue), b = scene("B", kGreen);
        director().runWithScene(a);
        frame(0);
        transition_ = make(b);
        director().replaceScene(transition_);
        frame(0.1);
        return {a, b};
    }
    // Pixels of the colour over the whole window.
    int count(Px want) const {
        int n = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) n += pixel(x, y) == want;
        return n;
    }
    std::shared_ptr<GxTransitionScene> transition_;
};

constexpr Px kBluePx{0, 0, 255, 255}, kGreenPx{0, 255, 0, 255}, kClearPx{0, 0, 0, 0};

TEST_F(GridTransitions, TileGridsKeepTheirCellsAboutSquare) {
    REQUIRE_GL();
    EXPECT_EQ(gxTransitionTileGrid({480, 320}).x, 18);
    EXPECT_EQ(gxTransitionTileGrid({480, 320}).y, 12);
    EXPECT_EQ(gxTransitionTileGrid({320, 480}).x, 8);
    EXPECT_EQ(gxTransitionTileGrid({320, 0}).x, 12) << "no height: square cells are all there is";
    EXPECT_EQ(gxTransitionTileGrid({1, 480}).x, 1) << "never less than a column";

    // On the 48 x 32 window: 18 x 12 tiles on the outgoing scene.
    auto [a, b] = start([](auto s) { return GxTransitionTurnOffTiles::transitionWithDuration(1, s); });
    frame(0.1);
    auto tiles = std::dynamic_pointer_cast<GxTiledGrid3D>(a->grid());
    ASSERT_NE(tiles, nullptr);
    EXPECT_EQ(tiles->gridSize().x, 18);
    EXPECT_EQ(tiles->gridSize().y, 12);
    EXPECT_FALSE(transition_->inSceneOnTop());
    ASSERT_TRUE(runUntilRunning(b, 0.1, 30));
    EXPECT_FALSE(tiles->active()) << "the grid is stopped at the end";
    EXPECT_EQ(director().projection(), kGxDirectorProjection3D);
}

TEST_F(GridTransitions, ThePageTurnCurlsTheOutgoingSceneOrBackwardsTheIncomingOne) {
    REQUIRE_GL();
    auto [a, b] = start([](auto s) { return GxTransitionPageTurn::transitionWithDuration(1, s, false); });
    frame(0.1);
    EXPECT_FALSE(transition_->inSceneOnTop());
    auto sheet = std::dynamic_pointer_cast<GxGrid3D>(a->grid());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->gridSize().x, 16) << "a wide window: 16 x 12";
    EXPECT_EQ(sheet->gridSize().y, 12);
    frame(0.4);
    EXPECT_GT(count(kGreenPx), 0) << "the incoming scene shows where the page curled away";
    EXPECT_GT(count(kBluePx), 0);
    ASSERT_TRUE(runUntilRunning(b, 0.1, 30));
    EXPECT_FALSE(sheet->active());
    frame(0.1);
    EXPECT_EQ(count(kGreenPx), kW * kH);
    restart();

    auto [c, d] = start([](auto s) { return GxTransitionPageTurn::transitionWithDuration(1, s, true); });
    EXPECT_TRUE(transition_->inSceneOnTop());
    frame(0.1);
    auto back = std::dynamic_pointer_cast<GxGrid3D>(d->grid());
    ASSERT_NE(back, nullptr) << "backwards, the incoming scene curls in";
    EXPECT_TRUE(d->visible());
    EXPECT_EQ(c->grid(), nullptr);
    ASSERT_TRUE(runUntilRunning(d, 0.1, 30));
    EXPECT_FALSE(back->active());
}

TEST_F(GridTransitions, HalfWayTheTileFadesShowBothScenesOnTheirOwnSides) {
    REQUIRE_GL();
    struct Case {
        const char* name;
        std::function<std::shared_ptr<GxTransitionScene>(std::shared_ptr<GxScene>)> make;
        int goneX, goneY, keptX, keptY;  // a point already faded, one still whole
    };
    const Case cases[] = {
        {"FadeTR", [](auto s) { return GxTransitionFadeTR::transitionWithDuration(1, s); }, 1, 1, 46, 30},
        {"FadeBL", [](auto s) { return GxTransitionFadeBL::transitionWithDuration(1, s); }, 46, 30, 1, 1},
        {"FadeUp", [](auto s) { return GxTransitionFadeUp::transitionWithDuration(1, s); }, 24, 1, 24, 30},
        {"FadeDown", [](auto s) { return GxTransitionFadeDown::transitionWithDuration(1, s); }, 24, 30, 24, 1},
        {"TurnOffTiles", [](auto s) { return GxTransitionTurnOffTiles::transitionWithDuration(1, s); }, -1, -1, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto [a, b] = start(c.make);
        frame(0.1);  // the actions' first step, at time 0
        frame(0.5);
        const int green = count(kGreenPx), blue = count(kBluePx);
        EXPECT_GT(green, kW * kH / 8);
        EXPECT_GT(blue, kW * kH / 8);
        if (c.goneX >= 0) {
            EXPECT_EQ(pixel(c.goneX, c.goneY), kGreenPx);
            EXPECT_EQ(pixel(c.keptX, c.keptY), kBluePx);
        }
        ASSERT_TRUE(runUntilRunning(b, 0.1, 30));
        frame(0.1);
        EXPECT_EQ(count(kGreenPx), kW * kH);
        restart();
    }
}

TEST_F(GridTransitions, SplitsOpenTheOutgoingSceneThenCloseOnTheIncomingOne) {
    REQUIRE_GL();
    for (bool rows : {false, true}) {
        SCOPED_TRACE(rows ? "rows" : "cols");
        auto [a, b] = start([rows](auto s) -> std::shared_ptr<GxTransitionScene> {
            if (rows) return GxTransitionSplitRows::transitionWithDuration(1, s);
            return GxTransitionSplitCols::transitionWithDuration(1, s);
        });
        auto grid = [&] { return std::dynamic_pointer_cast<GxTiledGrid3D>(transition_->grid()); };
        frame(0.1);  // the first step, at time 0
        frame(0.3);
        ASSERT_NE(grid(), nullptr) << "the transition itself is split";
        EXPECT_EQ(grid()->gridSize().x, rows ? 1 : 3);
        EXPECT_EQ(grid()->gridSize().y, rows ? 3 : 1);
        EXPECT_FALSE(b->visible()) << "first half: only the outgoing scene, parting";
        EXPECT_EQ(count(kGreenPx), 0);
        EXPECT_GT(count(kBluePx), 0);
        EXPECT_GT(count(kClearPx), 0) << "gaps where the parts moved away";
        frame(0.5);
        EXPECT_TRUE(b->visible());
        EXPECT_FALSE(a->visible());
        EXPECT_GT(count(kGreenPx), 0);
        EXPECT_EQ(count(kBluePx), 0);
        ASSERT_TRUE(runUntilRunning(b, 0.1, 30));
        frame(0.1);
        EXPECT_EQ(count(kGreenPx), kW * kH);
        restart();
    }
}

}  // namespace
