#include <gtest/gtest.h>

#include "lib/engine2d/grideffects/GxGridActions.h"
#include "lib/engine2d/nodes/GxScene.h"
#include "tests/lib/engine2d/grid/GridFixture.h"

using namespace engine2d;
using engine2d::testing_grid::Px;

namespace {

class GridActions : public engine2d::testing_grid::GridTest {};

// An effect with an amplitude that records what it is given and moves
// vertex (1, 1) up by the time, so shapes can be told apart.
class Recorder : public GxGrid3DAction, public GxAmplitudeProtocol {
public:
    Recorder(gxGridSize s, float d) : GxGrid3DAction(s, d) {}
    GxActionRef copy() const override { return std::make_shared<Recorder>(gridSize_, duration_); }
    GxFiniteTimeActionRef reverse() const override {
        auto r = std::make_shared<Recorder>(gridSize_, duration_);
        r->reversed = true;
        return r;
    }
    void setAmplitudeRate(float r) override { rate = r; }
    float getAmplitudeRate() const override { return rate; }
    void update(float t) override {
        lastT = t;
        gxVertex3F v = originalVertex({1, 1});
        v.y += 10 * t;
        setVertex({1, 1}, v);
    }
    float rate = -1, lastT = -1;
    bool reversed = false;
};

TEST_F(GridActions, AmplitudeActionsShapeTheRateAndPassTheTimeOn) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    auto node = GxNode::node();
    struct Case {
        const char* name;
        float rate, t, want;
    };
    const Case cases[] = {
        {"AccelDeccel", 1, 0, 0}, {"AccelDeccel", 1, 0.5f, 1},      {"AccelDeccel", 1, 0.75f, 0.5f},
        {"AccelDeccel", 1, 1, 0}, {"AccelDeccel", 2, 0.25f, 0.25f}, {"Accel", 2, 0.5f, 0.25f},
        {"Accel", 1, 0.3f, 0.3f}, {"Deccel", 2, 0.5f, 0.25f},       {"Deccel", 2, 0, 1},
        {"Deccel", 1, 1, 0},
    };
    for (const Case& c : cases) {
        auto inner = std::make_shared<Recorder>(gxGridSize{2, 2}, 1);
        std::shared_ptr<GxAmplitudeAction> a;
        if (std::string(c.name) == "AccelDeccel")
            a = GxAccelDeccelAmplitude::actionWithAction(inner, 1);
        else if (std::string(c.name) == "Accel")
            a = GxAccelAmplitude::actionWithAction(inner, 1);
        else
            a = GxDeccelAmplitude::actionWithAction(inner, 1);
        EXPECT_EQ(a->rate(), 1);
        a->setRate(c.rate);
        node->runAction(a);
        EXPECT_EQ(inner->target(), node.get()) << "the wrapped effect starts with the wrapper";
        a->update(c.t);
        EXPECT_NEAR(inner->rate, c.want, 1e-6) << c.name << " rate " << c.rate << " t " << c.t;
        EXPECT_EQ(inner->lastT, c.t);
        node->stopAllActions();
    }
}

TEST_F(GridActions, ACopyOfAnAmplitudeActionRunsLikeTheOriginalAndTheReverseStartsAtRateOne) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    auto inner = std::make_shared<Recorder>(gxGridSize{2, 2}, 3);
    auto a = GxAccelAmplitude::actionWithAction(inner, 3);
    a->setRate(2);
    auto copy = std::dynamic_pointer_cast<GxAccelAmplitude>(a->copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->rate(), 2);
    EXPECT_EQ(copy->duration(), 3);
    auto copiedInner = std::dynamic_pointer_cast<Recorder>(copy->other());
    ASSERT_NE(copiedInner, nullptr) << "the copy wraps its own effect";
    EXPECT_NE(copiedInner, inner);
    auto node = GxNode::node();
    node->runAction(copy);
    copy->update(0.5f);
    EXPECT_FLOAT_EQ(copiedInner->rate, 0.25f);
    EXPECT_EQ(inner->rate, -1) << "the original's effect is untouched";

    auto rev = std::dynamic_pointer_cast<GxAccelAmplitude>(a->reverse());
    ASSERT_NE(rev, nullptr);
    EXPECT_EQ(rev->rate(), 1);
    EXPECT_EQ(rev->duration(), 3);
    auto revInner = std::dynamic_pointer_cast<Recorder>(rev->other());
    ASSERT_NE(revInner, nullptr);
    EXPECT_TRUE(revInner->reversed);

    // An interval action without an amplitude cannot be driven.
    auto plain = GxAccelAmplitude::actionWithAction(GxDelayTime::actionWithDuration(1), 1);
    auto other = GxNode::node();
    other->runAction(plain);
    try {
        plain->update(0.5f);
        FAIL();
    } catch (const GxEngineException& e) {
        EXPECT_EQ(e.name(), "IntervalAction (Amplitude)");
        EXPECT_EQ(e.reason(), "Abstract class needs implementation");
    }
    EXPECT_EQ(GxAccelAmplitude::actionWithAction(nullptr, 1), nullptr);
}

TEST_F(GridActions, AGridActionInstallsAFreshGridOrContinuesFromAReusedOne) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    auto node = GxNode::node();
    EXPECT_EQ(node->grid(), nullptr);
    auto first = std::make_shared<Recorder>(gxGridSize{2, 2}, 1);
    node->runAction(first);
    auto g1 = std::dynamic_pointer_cast<GxGrid3D>(node->grid());
    ASSERT_NE(g1, nullptr);
    EXPECT_TRUE(g1->active());
    EXPECT_EQ(g1->gridSize().x, 2);
    first->update(1);
    EXPECT_FLOAT_EQ(g1->vertex({1, 1}).y, 26);  // 16 + 10

    // Marked for one reuse, the next effect of the same kind and size keeps
    // the grid and starts from the shape the first left.
    node->runAction(GxReuseGrid::actionWithTimes(1));
    EXPECT_EQ(g1->reuseGrid(), 1);
    auto second = std::make_shared<Recorder>(gxGridSize{2, 2}, 1);
    node->runAction(second);
    EXPECT_EQ(node->grid(), g1);
    EXPECT_EQ(g1->reuseGrid(), 0);
    second->update(0.5f);
    EXPECT_FLOAT_EQ(g1->vertex({1, 1}).y, 31);  // 26 + 5

    // The count used up, a third installs a fresh grid and stops the old.
    auto third = std::make_shared<Recorder>(gxGridSize{2, 2}, 1);
    node->runAction(third);
    auto g3 = std::dynamic_pointer_cast<GxGrid3D>(node->grid());
    ASSERT_NE(g3, nullptr);
    EXPECT_NE(g3, g1);
    EXPECT_FALSE(g1->active());
    EXPECT_TRUE(g3->active());
    EXPECT_FLOAT_EQ(g3->originalVertex({1, 1}).y, 16);
    node->stopAllActions();
}

TEST_F(GridActions, ReusingAGridOfAnotherKindSizeOrStateRaisesAndTheNodeDrawsOn) {
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
    holder->runAction(GxGrid3DAction::actionWithSize({2, 2}, 5));
    auto grid = std::dynamic_pointer_cast<GxGridBase>(holder->grid());
    ASSERT_NE(grid, nullptr);
    grid->setReuseGrid(1);

    auto expectCannotReuse = [&](GxActionRef a, const char* what, bool active = true) {
        SCOPED_TRACE(what);
        try {
            holder->runAction(a);
            ADD_FAILURE() << "reused";
        } catch (const GxEngineException& e) {
            EXPECT_EQ(e.name(), "GridBase");
            EXPECT_EQ(e.reason(), "Cannot reuse grid");
        }
        EXPECT_EQ(holder->grid(), grid);
        EXPECT_EQ(grid->active(), active);
        EXPECT_EQ(grid->reuseGrid(), 1);
    };
    expectCannotReuse(GxTiledGrid3DAction::actionWithSize({2, 2}, 1), "another kind");
    expectCannotReuse(GxGrid3DAction::actionWithSize({3, 2}, 1), "another size");
    EXPECT_NO_THROW(d.drawScene());
    EXPECT_EQ(view_->presentedPixel(2, 30), (Px{255, 0, 0, 255})) << "still drawn through its grid";
    EXPECT_EQ(view_->presentedPixel(30, 2), (Px{255, 255, 255, 255}));
    grid->setActive(false);
    expectCannotReuse(GxGrid3DAction::actionWithSize({2, 2}, 1), "stopped", false);
}

TEST_F(GridActions, StopGridAndReuseGridActOnlyOnAnActiveGrid) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32, kGxDirectorProjection3D));
    auto node = GxNode::node();
    node->runAction(GxStopGrid::action());  // no grid: nothing
    node->runAction(GxReuseGrid::actionWithTimes(2));
    EXPECT_EQ(node->grid(), nullptr);

    node->runAction(GxTiledGrid3DAction::actionWithSize({2, 2}, 1));
    auto grid = std::dynamic_pointer_cast<GxGridBase>(node->grid());
    ASSERT_NE(grid, nullptr);
    auto reuse = GxReuseGrid::actionWithTimes(2);
    node->runAction(reuse->copy());
    EXPECT_EQ(grid->reuseGrid(), 2) << "a copy adds as much as the original";
    grid->set2DProjection();
    node->runAction(GxStopGrid::action());
    EXPECT_FALSE(grid->active());
    EXPECT_EQ(node->grid(), grid) << "the grid stays attached";
    EXPECT_EQ(GxDirector::sharedDirector().projection(), kGxDirectorProjection3D);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 32);
    node->runAction(reuse);
    EXPECT_EQ(grid->reuseGrid(), 2) << "a stopped grid takes no reuses";
    node->stopAllActions();
}

TEST_F(GridActions, AccessorsWithoutAGridAndThePlainGridAction) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    auto a = GxGrid3DAction::actionWithSize({2, 2}, 1);
    auto v = a->vertex({1, 1});
    EXPECT_EQ(v.x + v.y + v.z, 0);
    a->setVertex({1, 1}, {1, 1, 1});  // nothing to write into
    auto t = GxTiledGrid3DAction::actionWithSize({2, 2}, 1);
    auto q = t->originalTile({0, 0});
    EXPECT_EQ(q.tr.x + q.tr.y + q.bl.z, 0);

    auto node = GxNode::node();
    try {
        node->runAction(GxGridAction::actionWithSize({2, 2}, 1));
        FAIL();
    } catch (const GxEngineException& e) {
        EXPECT_EQ(e.name(), "GridBase");
        EXPECT_EQ(e.reason(), "Abstract class needs implementation");
    }
    EXPECT_EQ(node->grid(), nullptr);

    auto rev = std::dynamic_pointer_cast<GxReverseTime>(a->reverse());
    ASSERT_NE(rev, nullptr);
    EXPECT_EQ(rev->duration(), 1);
    auto copy = std::dynamic_pointer_cast<GxGrid3DAction>(a->copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->gridSize().x, 2);
}

}  // namespace
