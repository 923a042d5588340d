// The camera orbit (the digit flip) and the easing curves.

#include <gmock/gmock.h>

#include <cfloat>
#include <cmath>

#include "lib/engine2d/actions/GxActionCamera.h"
#include "lib/engine2d/actions/GxActionEase.h"
#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/actions/GxActionTransform.h"
#include "lib/engine2d/nodes/GxCamera.h"
#include "tests/lib/engine2d/actions/ActionsTestSupport.h"

using namespace engine2d;
using namespace engine2d::testing;

namespace {

using Orbit = ActionsTest;

struct Eye {
    float x, y, z;
};

Eye eyeOf(GxNode& n) {
    Eye e;
    n.camera()->eye(&e.x, &e.y, &e.z);
    return e;
}

void expectEye(GxNode& n, Eye want, const char* where) {
    Eye e = eyeOf(n);
    const float z = GxCamera::getZEye();
    EXPECT_NEAR(e.x / z, want.x, 1e-5) << where;
    EXPECT_NEAR(e.y / z, want.y, 1e-5) << where;
    EXPECT_NEAR(e.z / z, want.z, 1e-5) << where;
}

// The code screen's flip: half one turns the digit edge-on, a callback
// swaps its picture, half two turns it back face-on.
TEST_F(Orbit, TheDigitFlipMovesTheEyeEdgeOnAndBackWithTheSwapInBetween) {
    auto digit = runningNode();
    std::vector<Eye> atSwap;
    static char name[] = "otp_7";
    void* received = nullptr;
    GxNode* receivedNode = nullptr;
    auto swap = GxCallFuncND::actionWithTarget(
        node, "swap:data:",
        [&](GxNode* n, void* data) {
            receivedNode = n;
            received = data;
            atSwap.push_back(eyeOf(*n));
        },
        name);
    digit->runAction(GxSequence::actions({GxOrbitCamera::actionWithDuration(0.5f, 1, 0, 0, 90, 90, 0), swap,
                                          GxOrbitCamera::actionWithDuration(0.5f, 1, 0, -90, 90, 90, 0)}));
    manager->update(0);
    expectEye(*digit, {0, 0, 1}, "start: face-on");
    manager->update(0.25f);
    const float h = std::sqrt(0.5f);
    expectEye(*digit, {0, h, h}, "a quarter: 45 degrees");
    manager->update(0.25f);
    // Half one ended edge-on (what the swap saw); half two starts edge-on
    // from the other side in the same frame.
    expectEye(*digit, {0, -1, 0}, "half way: edge-on, second half begun");
    ASSERT_EQ(atSwap.size(), 1u) << "the swap comes once, at half time";
    EXPECT_NEAR(atSwap[0].y / GxCamera::getZEye(), 1, 1e-5);
    EXPECT_NEAR(atSwap[0].z / GxCamera::getZEye(), 0, 1e-5);
    EXPECT_EQ(receivedNode, digit.get());
    EXPECT_EQ(received, static_cast<void*>(name));
    manager->update(0.25f);
    expectEye(*digit, {0, -h, h}, "three quarters: from the other side");
    manager->update(0.25f);
    expectEye(*digit, {0, 0, 1}, "end: face-on again");
    EXPECT_EQ(digit->numberOfRunningActions(), 0u);
    EXPECT_EQ(atSwap.size(), 1u);
}

TEST_F(Orbit, AFullTurnComesBackAndTheReversePlaysTheSamePathBackwards) {
    auto orbit = GxOrbitCamera::actionWithDuration(1, 2, 1, 30, 360, 0, 0);
    orbit->startWithTarget(node.get());
    orbit->update(0);
    Eye start = eyeOf(*node);
    orbit->update(0.3f);
    Eye mid = eyeOf(*node);
    orbit->update(1);
    Eye end = eyeOf(*node);
    const float z = GxCamera::getZEye();
    EXPECT_NEAR(end.x / z, start.x / z * 1.5f, 1e-4) << "radius 2 grew to 3";
    EXPECT_NEAR(end.z / z, start.z / z * 1.5f, 1e-4);

    auto back = orbit->reverse();
    back->startWithTarget(node.get());
    back->update(0.7f);
    Eye again = eyeOf(*node);
    EXPECT_NEAR(again.x / z, mid.x / z, 1e-4);
    EXPECT_NEAR(again.z / z, mid.z / z, 1e-4);

    auto copy = std::dynamic_pointer_cast<GxOrbitCamera>(orbit->copy());
    copy->startWithTarget(node.get());
    copy->update(0.3f);
    EXPECT_NEAR(eyeOf(*node).x / z, mid.x / z, 1e-4) << "the copy runs like the original";
}

TEST_F(Orbit, SphericalCoordinatesOfTheEye) {
    auto orbit = GxOrbitCamera::actionWithDuration(1, 1, 0, 0, 0, 0, 0);
    orbit->startWithTarget(node.get());
    float r, zenith, azimuth;
    node->camera()->setEye(0, 0, 0);  // on the centre
    orbit->sphericalRadius(&r, &zenith, &azimuth);
    EXPECT_FLOAT_EQ(r, 1) << "epsilon / eye distance";
    EXPECT_FLOAT_EQ(zenith, float(M_PI / 2));
    EXPECT_FLOAT_EQ(azimuth, 0);
    const float z = GxCamera::getZEye();
    node->camera()->setEye(-z, z, 0);
    orbit->sphericalRadius(&r, &zenith, &azimuth);
    EXPECT_NEAR(r, std::sqrt(2.0f), 1e-5);
    EXPECT_NEAR(zenith, M_PI / 2, 1e-5);
    EXPECT_NEAR(azimuth, 3 * M_PI / 4, 1e-5) << "x < 0: pi - asin";
}

// An inner action that keeps the last progress it was given.
class Last : public GxActionInterval {
public:
    Last() : GxActionInterval(1) {}
    GxActionRef copy() const override { return std::make_shared<Last>(); }
    void update(float t) override { value = t; }
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<Last>(); }
    float value = -99;
};

struct Curve {
    const char* name;
    std::function<std::shared_ptr<GxActionEase>(GxActionIntervalRef)> make;
    float at[5];  // t = 0, 1/4, 1/2, 3/4, 1
    const char* reverseClass;
};

TEST(Ease, EveryCurveAtTheQuartersAndTheClassOfItsReverse) {
    const std::vector<Curve> curves = {
        {"in 2", [](auto a) { return GxEaseIn::actionWithAction(a, 2); }, {0, 0.0625f, 0.25f, 0.5625f, 1}, "GxEaseIn"},
        {"out 2",
         [](auto a) { return GxEaseOut::actionWithAction(a, 2); },
         {0, 0.5f, 0.70711f, 0.86603f, 1},
         "GxEaseOut"},
        {"in-out 3",
         [](auto a) { return GxEaseInOut::actionWithAction(a, 3); },
         {0, 0.0625f, 0.5f, 0.9375f, 1},
         "GxEaseInOut"},
        {"exponential in",
         [](auto a) { return GxEaseExponentialIn::actionWithAction(a); },
         {0, 0.00452f, 0.03025f, 0.17578f, 0.999f},
         "GxEaseExponentialOut"},
        {"exponential out",
         [](auto a) { return GxEaseExponentialOut::actionWithAction(a); },
         {0, 0.82322f, 0.96875f, 0.99448f, 1},
         "GxEaseExponentialIn"},
        {"exponential in-out",
         [](auto a) { return GxEaseExponentialInOut::actionWithAction(a); },
         {0.00049f, 0.01562f, 0.5f, 0.98438f, 0.99951f},
         "GxEaseExponentialInOut"},
        {"sine in",
         [](auto a) { return GxEaseSineIn::actionWithAction(a); },
         {0, 0.07612f, 0.29289f, 0.61732f, 1},
         "GxEaseSineOut"},
        {"sine out",
         [](auto a) { return GxEaseSineOut::actionWithAction(a); },
         {0, 0.38268f, 0.70711f, 0.92388f, 1},
         "GxEaseSineIn"},
        {"sine in-out",
         [](auto a) { return GxEaseSineInOut::actionWithAction(a); },
         {0, 0.14645f, 0.5f, 0.85355f, 1},
         "GxEaseSineInOut"},
        {"elastic in",
         [](auto a) { return GxEaseElasticIn::actionWithAction(a); },
         {0, -0.00552f, -0.01562f, 0.08839f, 1},
         "GxEaseElasticOut"},
        {"elastic out",
         [](auto a) { return GxEaseElasticOut::actionWithAction(a); },
         {0, 0.91161f, 1.01562f, 1.00552f, 1},
         "GxEaseElasticIn"},
        {"elastic in-out",
         [](auto a) { return GxEaseElasticInOut::actionWithAction(a); },
         {0, -0.00781f, 0.5f, 1.00781f, 1},
         "GxEaseElasticInOut"},
        {"bounce in",
         [](auto a) { return GxEaseBounceIn::actionWithAction(a); },
         {0, 0.02734f, 0.23437f, 0.52734f, 1},
         "GxEaseBounceOut"},
        {"bounce out",
         [](auto a) { return GxEaseBounceOut::actionWithAction(a); },
         {0, 0.47266f, 0.76563f, 0.97266f, 1},
         "GxEaseBounceIn"},
        {"bounce in-out",
         [](auto a) { return GxEaseBounceInOut::actionWithAction(a); },
         {0, 0.11719f, 0.5f, 0.88281f, 1},
         "GxEaseBounceInOut"},
        {"back in",
         [](auto a) { return GxEaseBackIn::actionWithAction(a); },
         {0, -0.06414f, -0.0877f, 0.18259f, 1},
         "GxEaseBackOut"},
        {"back out",
         [](auto a) { return GxEaseBackOut::actionWithAction(a); },
         {0, 0.81741f, 1.0877f, 1.06414f, 1},
         "GxEaseBackIn"},
        {"back in-out",
         [](auto a) { return GxEaseBackInOut::actionWithAction(a); },
         {0, -0.09968f, 0.5f, 1.09968f, 1},
         "GxEaseBackInOut"},
        {"plain", [](auto a) { return GxActionEase::actionWithAction(a); }, {0, 0.25f, 0.5f, 0.75f, 1}, "GxActionEase"},
    };
    auto node = GxNode::node();
    for (const Curve& c : curves) {
        auto inner = std::make_shared<Last>();
        auto ease = c.make(inner);
        ease->startWithTarget(node.get());
        for (int i = 0; i < 5; ++i) {
            ease->update(float(i) / 4);
            EXPECT_NEAR(inner->value, c.at[i], 2e-5) << c.name << " at " << i << "/4";
        }
        auto back = ease->reverse();
        ASSERT_NE(back, nullptr) << c.name;
        EXPECT_STREQ(back->className(), c.reverseClass) << c.name;
        // A copy eases the same way.
        auto copy = std::dynamic_pointer_cast<GxActionEase>(ease->copy());
        ASSERT_NE(copy, nullptr) << c.name;
        EXPECT_STREQ(copy->className(), ease->className());
        copy->startWithTarget(node.get());
        copy->update(0.25f);
        EXPECT_NEAR(std::static_pointer_cast<Last>(copy->innerAction())->value, c.at[1], 2e-5) << c.name << " copy";
    }
}

TEST(Ease, RatesPeriodsAndWhatHasNoReverse) {
    auto inner = std::make_shared<Last>();
    auto in = GxEaseIn::actionWithAction(inner, 2);
    EXPECT_FLOAT_EQ(std::dynamic_pointer_cast<GxEaseIn>(in->reverse())->rate(), 0.5f);
    EXPECT_FLOAT_EQ(std::dynamic_pointer_cast<GxEaseInOut>(GxEaseInOut::actionWithAction(inner, 3)->reverse())->rate(),
                    3);
    EXPECT_FLOAT_EQ(
        std::dynamic_pointer_cast<GxEaseElasticOut>(GxEaseElasticIn::actionWithAction(inner, 0.5f)->reverse())
            ->period(),
        0.5f);
    EXPECT_EQ(GxEaseElastic::actionWithAction(inner)->reverse(), nullptr);
    EXPECT_EQ(GxEaseSineIn::actionWithAction(GxMoveTo::actionWithDuration(1, {}))->reverse(), nullptr)
        << "an inner action without reverse";

    auto node = GxNode::node();
    auto inOut = GxEaseElasticInOut::actionWithAction(inner, 0);
    inOut->startWithTarget(node.get());
    inOut->update(0.25f);
    EXPECT_FLOAT_EQ(inOut->period(), 0.45f);
    // A period of 0 on the in and out curves gives numbers, not NaN.
    for (auto e : {std::shared_ptr<GxActionEase>(GxEaseElasticIn::actionWithAction(inner, 0)),
                   std::shared_ptr<GxActionEase>(GxEaseElasticOut::actionWithAction(inner, 0))}) {
        e->startWithTarget(node.get());
        e->update(0.25f);
        EXPECT_TRUE(std::isfinite(inner->value)) << e->className();
    }
    // Through the manager, an eased move starts and ends where the move does.
    auto manager = std::make_shared<GxActionManager>();
    node->setActionManager(manager);
    node->onEnter();
    node->runAction(GxEaseBackInOut::actionWithAction(GxMoveTo::actionWithDuration(1, {100, 0})));
    manager->update(0);
    manager->update(0.25f);
    EXPECT_NEAR(node->position().x, -9.968f, 1e-2) << "overshoots backwards first";
    manager->update(0.75f);
    EXPECT_FLOAT_EQ(node->position().x, 100);
}

}  // namespace
