#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxLayerColor.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxCamera.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/nodes/GxScene.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Accelerometer.h"

using namespace engine2d;

namespace {

std::vector<std::string>* journal = nullptr;

// A node that writes what happens to it into the journal.
template <class Base>
class Recorder : public Base {
public:
    std::string name;
    bool init() override { return Base::init(); }
    void draw() override { note("draw"); }
    void onEnter() override {
        note("enter");
        Base::onEnter();
    }
    void onEnterTransitionDidFinish() override {
        note("enterDone");
        Base::onEnterTransitionDidFinish();
    }
    void onExit() override {
        note("exit");
        Base::onExit();
    }
    void cleanup() override {
        note("cleanup");
        Base::cleanup();
    }
    void visit() override {
        if (journal && this->visible()) note("visit");
        Base::visit();
    }

private:
    void note(const char* what) {
        if (journal) journal->push_back(name + ":" + what);
    }
};

template <class Base = GxNode>
std::shared_ptr<Recorder<Base>> recorder(std::string name) {
    auto n = gxMake<Recorder<Base>>();
    n->name = std::move(name);
    return n;
}

class Nodes : public testing::Test {
protected:
    void SetUp() override {
        journal = &log;
        GxEnvironment::shared().winSize = {320, 480};
    }
    void TearDown() override {
        journal = nullptr;
        GxDirector::sharedDirector().end();
        mxGLReleaseStacks();
    }
    std::vector<std::string> log;
};

TEST_F(Nodes, ChildrenDrawByZOrderThenArrivalAroundTheParent) {
    auto parent = recorder("p");
    auto first = recorder("m1"), zero = recorder("z0"), second = recorder("m2");
    parent->addChild(first, -1);
    parent->addChild(zero, 0);
    parent->addChild(second, -1);
    parent->visit();
    EXPECT_EQ(log, (std::vector<std::string>{"p:visit", "m1:visit", "m1:draw", "m2:visit", "m2:draw", "p:draw",
                                             "z0:visit", "z0:draw"}));
    // Reordering with the same z puts the child after its equals.
    log.clear();
    parent->reorderChild(first.get(), -1);
    parent->visit();
    EXPECT_EQ(log[1], "m2:visit");
    EXPECT_EQ(log[3], "m1:visit");
    // An invisible node skips its whole subtree.
    log.clear();
    second->setVisible(false);
    parent->visit();
    EXPECT_EQ(std::count(log.begin(), log.end(), "m2:draw"), 0);
}

TEST_F(Nodes, AddingNullOrAChildWithAParentIsRefused) {
    auto a = GxNode::node(), b = GxNode::node(), child = GxNode::node();
    a->addChild(child);
    EXPECT_DEBUG_DEATH(b->addChild(child), "already added");
    EXPECT_DEBUG_DEATH(b->addChild(nullptr), "non-nil");
#ifdef NDEBUG
    b->addChild(child);
    EXPECT_EQ(b->childrenCount(), 0u);
#endif
    EXPECT_EQ(child->parent(), a);
    EXPECT_EQ(a->childrenCount(), 1u);
    // Once removed it may be added elsewhere; the parent link is weak.
    a->removeChild(child.get(), true);
    EXPECT_EQ(child->parent(), nullptr);
    b->addChild(child, 0, 7);
    EXPECT_EQ(b->getChildByTag(7), child);
    std::weak_ptr<GxNode> weakParent = b;
    b.reset();
    EXPECT_TRUE(weakParent.expired()) << "a child does not keep its parent alive";
    EXPECT_EQ(child->parent(), nullptr);
}

TEST_F(Nodes, GeometryAnchorsRotationAndConversions) {
    auto n = GxNode::node();
    n->setAnchorPoint({0.5f, 0.5f});
    n->setContentSize({100, 50});
    EXPECT_EQ(n->anchorPointInPoints(), (Point{50, 25}));
    n->setContentSize({200, 50});
    EXPECT_EQ(n->anchorPointInPoints(), (Point{100, 25}));
    n->setPosition({10, 20});
    // The anchor sits on the position.
    Point p = n->convertToWorldSpace(n->anchorPointInPoints());
    EXPECT_NEAR(p.x, 10, 1e-4);
    EXPECT_NEAR(p.y, 20, 1e-4);
    n->setIgnoreAnchorPointForPosition(true);
    p = n->convertToWorldSpace({0, 0});
    EXPECT_NEAR(p.x, 10, 1e-4) << "with the anchor ignored the origin sits on the position";
    EXPECT_NEAR(p.y, 20, 1e-4);

    auto r = GxNode::node();
    r->setPosition({5, 5});
    r->setRotation(90);
    Point q = r->convertToWorldSpace({1, 0});
    EXPECT_NEAR(q.x - 5, 0, 1e-5);
    EXPECT_NEAR(q.y - 5, -1, 1e-5) << "positive rotation turns clockwise";
    Point back = r->convertToNodeSpace(q);
    EXPECT_NEAR(back.x, 1, 1e-5);
    EXPECT_NEAR(back.y, 0, 1e-5);

    // The node's own transform goes first, then its ancestors'.
    auto parent = GxNode::node();
    parent->setScale(2);
    parent->setPosition({100, 0});
    auto child = GxNode::node();
    child->setPosition({10, 0});
    parent->addChild(child);
    EXPECT_EQ(child->convertToWorldSpace({1, 0}), (Point{122, 0}));
    EXPECT_EQ(child->convertToWindowSpace({1, 0.5f}), (Point{122, 479}));
}

// A touch is taken from its own view (here 20 points below the window's
// top), turned to GL coordinates and then into a node that is moved, scaled
// twice and turned a quarter clockwise inside a moved parent; the AR form
// measures from the anchor point.
TEST_F(Nodes, TouchesConvertIntoAMovedScaledAndTurnedNode) {
    auto root = std::make_shared<ui::View>(ui::Rect{0, 0, 320, 500});
    auto glView = std::make_shared<ui::View>(ui::Rect{0, 20, 320, 480});
    root->addSubview(glView);
    struct Row {
        ui::Point window;
        Point local, fromAnchor;
    };
    struct Case {
        Point anchor;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {{0.5f, 0.5f},
         {{{90, 240}, {0, 0}, {-20, -10}}, {{130, 320}, {40, 20}, {20, 10}}, {{110, 280}, {20, 10}, {0, 0}}}},
        {{0, 0}, {{{110, 280}, {0, 0}, {0, 0}}, {{150, 360}, {40, 20}, {40, 20}}}},
    };
    for (const Case& c : cases) {
        auto parent = GxNode::node();
        parent->setPosition({10, 20});
        auto n = GxNode::node();
        n->setContentSize({40, 20});
        n->setAnchorPoint(c.anchor);
        n->setPosition({100, 200});
        n->setScale(2);
        n->setRotation(90);
        parent->addChild(n);
        for (const Row& r : c.rows) {
            SCOPED_TRACE(testing::Message()
                         << "anchor " << c.anchor.x << ", touch " << r.window.x << "," << r.window.y);
            ui::Touch touch(glView, r.window, 0);
            Point local = n->convertTouchToNodeSpace(touch);
            EXPECT_NEAR(local.x, r.local.x, 1e-3);
            EXPECT_NEAR(local.y, r.local.y, 1e-3);
            Point ar = n->convertTouchToNodeSpaceAR(touch);
            EXPECT_NEAR(ar.x, r.fromAnchor.x, 1e-3);
            EXPECT_NEAR(ar.y, r.fromAnchor.y, 1e-3);
        }
    }
}

TEST_F(Nodes, RunWithSceneAndReplaceSceneEnterExitAndCleanUpInOrder) {
    auto& director = GxDirector::sharedDirector();
    auto first = recorder<GxScene>("s1");
    auto layer = recorder<GxLayer>("l1");
    first->addChild(layer);
    director.runWithScene(first);
    EXPECT_TRUE(log.empty()) << "nothing happens before the next frame";
    director.drawScene();
    EXPECT_EQ(log, (std::vector<std::string>{"s1:enter", "l1:enter", "s1:enterDone", "l1:enterDone", "s1:visit",
                                             "s1:draw", "l1:visit", "l1:draw"}));
    log.clear();
    auto second = recorder<GxScene>("s2");
    director.replaceScene(second);
    director.drawScene();
    EXPECT_EQ(log, (std::vector<std::string>{"s1:exit", "l1:exit", "s1:cleanup", "l1:cleanup", "s2:enter",
                                             "s2:enterDone", "s2:visit", "s2:draw"}));
    EXPECT_EQ(director.runningScene(), second);
    // A pushed scene covers the running one without cleaning it up.
    log.clear();
    auto third = recorder<GxScene>("s3");
    director.pushScene(third);
    director.drawScene();
    EXPECT_EQ(log[0], "s2:exit");
    EXPECT_EQ(std::count(log.begin(), log.end(), "s2:cleanup"), 0);
    director.popScene();
    director.popScene();
    EXPECT_EQ(director.runningScene(), nullptr) << "popping the last scene ends the director";
    EXPECT_FALSE(director.isAnimating());
}

TEST_F(Nodes, ReplaceOnAnEmptyStackPushesAndPopOnAnEmptyStackDoesNothing) {
    auto& director = GxDirector::sharedDirector();
    director.popScene();
    EXPECT_EQ(director.sceneCount(), 0u);
    auto s = recorder<GxScene>("s");
    director.replaceScene(s);
    EXPECT_EQ(director.sceneCount(), 1u);
    director.drawScene();
    EXPECT_EQ(director.runningScene(), s);
    EXPECT_EQ(log.front(), "s:enter");
}

TEST_F(Nodes, ScheduledSelectorsPauseOutsideTheRunningTreeAndStopAtCleanup) {
    auto& director = GxDirector::sharedDirector();
    auto scene = GxScene::node();
    auto n = GxNode::node();
    int calls = 0;
    n->schedule("tick:", [&](float) { ++calls; });
    auto tick = [&] { director.scheduler()->update(0.1f); };
    tick(), tick();
    EXPECT_EQ(calls, 0) << "a node that is not running has its timers paused";
    scene->addChild(n);
    director.runWithScene(scene);
    director.drawScene();  // enters
    tick(), tick();
    EXPECT_GT(calls, 0);
    int before = calls;
    scene->removeChild(n.get(), true);
    tick(), tick();
    EXPECT_EQ(calls, before);
    EXPECT_EQ(director.scheduler()->timerCountFor(n.get()), 0u);
}

TEST_F(Nodes, DirectorConversionsAndFrameIntervals) {
    auto& director = GxDirector::sharedDirector();
    GxEnvironment::shared().winSize = {320, 480};
    // Without a view the window is empty: y -0.5 truncates toward zero.
    EXPECT_EQ(director.convertToUI({3, 0.5f}).y, 0);
    EXPECT_EQ(director.convertToGL({3, 0.5f}), (Point{3, -0.5f}));
    director.setAnimationInterval(1.0 / 60);
    director.startAnimation();
    EXPECT_EQ(director.displayLink()->frameInterval(), 1);
    director.pause();
    EXPECT_EQ(director.displayLink()->frameInterval(), 15);
    director.resume();
    EXPECT_EQ(director.displayLink()->frameInterval(), 1);
    director.setAnimationInterval(1.0 / 30);
    EXPECT_EQ(director.displayLink()->frameInterval(), 2);
    director.setAnimationInterval(1.0 / 60);
    EXPECT_FALSE(director.enableRetinaDisplay(true)) << "no view: no high-resolution display";
    director.stopAnimation();
}

TEST_F(Nodes, GradientColoursFollowTheVector) {
    struct Case {
        Point vector;
        bool compressed;
        float t[4];  // share of the start colour per corner (0,0), (w,0), (0,h), (w,h)
    };
    const float mid = 0.5f;
    const Case cases[] = {
        {{0, -1}, true, {0, 0, 1, 1}},
        {{1, 1}, true, {1, mid, mid, 0}},
        {{1, 1}, false, {1, mid, mid, 0}},
    };
    for (const Case& c : cases) {
        auto g = GxLayerGradient::layerWithColor({255, 0, 0, 255}, {0, 0, 255, 255}, c.vector);
        g->setCompressedInterpolation(c.compressed);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(g->squareColors()[i].r, c.t[i], 1e-5) << i;
            EXPECT_NEAR(g->squareColors()[i].b, 1 - c.t[i], 1e-5) << i;
        }
    }
    auto flat = GxLayerGradient::layerWithColor({255, 0, 0, 128}, {0, 0, 255, 255}, {0, 0});
    for (int i = 0; i < 4; ++i) EXPECT_EQ(flat->squareColors()[i], (gxColor4F{1, 0, 0, 1})) << "zero vector: flat";
    auto faded = GxLayerGradient::layerWithColor({255, 0, 0, 255}, {0, 0, 255, 255}, {0, -1});
    faded->setOpacity(51);
    EXPECT_NEAR(faded->squareColors()[0].a, 0.2f, 1e-5);
    EXPECT_NEAR(faded->squareColors()[3].a, 0.2f, 1e-5);
}

TEST_F(Nodes, ACameraRebuildsItsLookAtOnlyAfterAChange) {
    GxCamera camera;
    mxGLReleaseStacks();
    mxGLMatrixMode(MX_GL_MODELVIEW);
    camera.locate();
    mxMat4 top, identity;
    mxGLCopyTop(MX_GL_MODELVIEW, &top);
    mxMat4SetIdentity(&identity);
    EXPECT_TRUE(mxMat4AreEqual(&top, &identity)) << "a fresh camera multiplies by the identity";
    camera.setEye(0, 0, 10);
    EXPECT_TRUE(camera.dirty());
    camera.locate();
    EXPECT_FALSE(camera.dirty());
    EXPECT_FLOAT_EQ(camera.lookupMatrix().mat[14], -10);
    mxGLCopyTop(MX_GL_MODELVIEW, &top);
    EXPECT_FLOAT_EQ(top.mat[14], -10);
}

TEST_F(Nodes, MultiplexIgnoresIndicesItCannotShow) {
    auto a = recorder<GxLayer>("a"), b = recorder<GxLayer>("b");
    auto m = GxLayerMultiplex::layerWithLayers({a, b});
    EXPECT_EQ(a->parent(), m);
    m->switchTo(5);
    EXPECT_EQ(m->enabledLayer(), 0u);
    EXPECT_EQ(a->parent(), m);
    m->switchToAndReleaseMe(1);
    EXPECT_EQ(b->parent(), m);
    EXPECT_EQ(a->parent(), nullptr);
    EXPECT_EQ(a.use_count(), 1) << "the multiplex let go of the layer it left";
    m->switchTo(0);  // the emptied slot
    EXPECT_EQ(m->enabledLayer(), 1u);
    EXPECT_EQ(b->parent(), m);
}

}  // namespace

namespace {
// A layer that keeps the readings it is handed.
class TiltLayer : public GxLayer {
public:
    void accelerometerDidAccelerate(ui::Accelerometer&, const ui::Acceleration& a) override { readings.push_back(a); }
    std::vector<ui::Acceleration> readings;
};

// Moves the manual clock in small steps, running what falls due.
void runFor(double seconds) {
    auto& clock = static_cast<foundation::ManualClock&>(foundation::clock());
    for (double t = 0; t < seconds - 1e-9; t += 0.01) {
        clock.advance(0.01);
        foundation::RunLoop::main().drain();
    }
}
}  // namespace

TEST_F(Nodes, ALayerTakesAccelerometerReadingsOnlyWhileRunning) {
    foundation::ManualClockScope manual;
    auto& accelerometer = ui::Accelerometer::shared();
    accelerometer.setUpdateInterval(0.05);
    accelerometer.inject(0.25, -0.75, 0.5);
    auto& director = GxDirector::sharedDirector();
    auto scene = GxScene::node();
    auto layer = gxMake<TiltLayer>();
    scene->addChild(layer);

    // Not running: the flag is only stored.
    layer->setIsAccelerometerEnabled(true);
    EXPECT_TRUE(layer->isAccelerometerEnabled());
    EXPECT_EQ(accelerometer.delegate(), nullptr);
    runFor(0.2);
    EXPECT_TRUE(layer->readings.empty());

    // Entering makes it the delegate; readings come every interval.
    director.runWithScene(scene);
    director.drawScene();
    EXPECT_EQ(accelerometer.delegate(), layer.get());
    double start = foundation::clock().monotonic();
    runFor(0.5);
    ASSERT_EQ(layer->readings.size(), 10u);
    EXPECT_EQ(layer->readings[0].x, 0.25);
    EXPECT_EQ(layer->readings[0].y, -0.75);
    EXPECT_EQ(layer->readings[0].z, 0.5);
    EXPECT_NEAR(layer->readings[0].timestamp - start, 0.05, 1e-6);
    EXPECT_NEAR(layer->readings[9].timestamp - layer->readings[8].timestamp, 0.05, 1e-6);
    accelerometer.inject(0, 0, -1);
    runFor(0.05);
    EXPECT_EQ(layer->readings.back().z, -1);

    // Switched off and on while running: at once.
    layer->setIsAccelerometerEnabled(false);
    EXPECT_EQ(accelerometer.delegate(), nullptr);
    size_t before = layer->readings.size();
    runFor(0.2);
    EXPECT_EQ(layer->readings.size(), before);
    layer->setIsAccelerometerEnabled(true);
    EXPECT_EQ(accelerometer.delegate(), layer.get());

    // Leaving the screen clears the delegate; nothing more arrives.
    director.replaceScene(GxScene::node());
    director.drawScene();
    EXPECT_EQ(accelerometer.delegate(), nullptr);
    before = layer->readings.size();
    runFor(0.2);
    EXPECT_EQ(layer->readings.size(), before);
    EXPECT_TRUE(layer->isAccelerometerEnabled());
}

TEST_F(Nodes, ALeavingLayerLeavesAnotherLayersAccelerometerAlone) {
    foundation::ManualClockScope manual;
    auto& accelerometer = ui::Accelerometer::shared();
    accelerometer.inject(1, 0, 0);
    auto& director = GxDirector::sharedDirector();
    auto scene = GxScene::node();
    auto first = gxMake<TiltLayer>();
    auto second = gxMake<TiltLayer>();
    first->setIsAccelerometerEnabled(true);
    scene->addChild(first);
    director.runWithScene(scene);
    director.drawScene();
    EXPECT_EQ(accelerometer.delegate(), first.get());
    // The last to ask holds it; the first leaving does not take it away.
    second->setIsAccelerometerEnabled(true);
    scene->addChild(second);
    EXPECT_EQ(accelerometer.delegate(), second.get());
    scene->removeChild(first.get(), true);
    EXPECT_EQ(accelerometer.delegate(), second.get());
    // A layer that goes away while it holds the accelerometer lets it go.
    scene->removeChild(second.get(), true);
    EXPECT_EQ(accelerometer.delegate(), nullptr);
    auto orphan = gxMake<TiltLayer>();
    accelerometer.setDelegate(orphan.get());
    orphan.reset();
    EXPECT_EQ(accelerometer.delegate(), nullptr);
    runFor(0.3);  // nothing is told
}
