// The particle simulation, particle files and the quad values, without GL.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/particles/GxParticleExamples.h"
#include "lib/engine2d/particles/GxParticleSystem.h"
#include "lib/engine2d/particles/GxParticleSystemQuad.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Value.h"
#include "tests/support/TestSupport.h"

using namespace engine2d;

namespace {

// Remembers where each particle was handed to the writer in the last step.
class Recorder : public GxParticleSystem {
public:
    std::vector<Point> written;
    void updateQuadWithParticle(sGxParticle&, Point p) override { written.push_back(p); }
    void clear() { written.clear(); }
};

class Particles : public testing::Test {
protected:
    void SetUp() override {
        GxEnvironment::shared().setScheduler(std::make_shared<GxScheduler>());
        GxEnvironment::shared().winSize = Size{320, 480};
        srandom(7);
    }
    void TearDown() override {
        // The scheduler holds what it updates until unscheduled.
        GxEnvironment::shared().scheduler()->unscheduleAllSelectors();
        GxEnvironment::shared().setScheduler(nullptr);
    }
    // A system of n particles that emits one particle every 1/rate seconds
    // with every variance 0.
    static std::shared_ptr<Recorder> still(unsigned n, float rate, float life) {
        auto s = GxParticleSystem::particleWithTotalParticles<Recorder>(n);
        s->setEmissionRate(rate);
        s->setLife(life);
        s->setDuration(kGxParticleDurationInfinity);
        s->setStartColor({1, 1, 1, 1});
        s->setEndColor({1, 1, 1, 1});
        s->setStartSize(4);
        s->setEndSize(kGxParticleStartSizeEqualToEndSize);
        return s;
    }
};

foundation::Dictionary gravityFile() {
    foundation::Dictionary d;
    d.set("maxParticles", 100);
    d.set("angle", 45.0);
    d.set("angleVariance", "10");  // a text holding a number reads as the number
    d.set("duration", -1.0);
    d.set("blendFuncSource", 770);
    d.set("blendFuncDestination", 1);
    d.set("startColorRed", 0.25);
    d.set("finishColorAlpha", 0.5);
    d.set("startParticleSize", 12.0);
    d.set("finishParticleSize", -1.0);
    d.set("sourcePositionx", 160.0);
    d.set("sourcePositiony", 240.0);
    d.set("sourcePositionVariancex", 5.0);
    d.set("rotationEnd", 90.0);
    d.set("emitterType", 0);
    d.set("gravityx", 3.0);
    d.set("gravityy", -9.0);
    d.set("speed", 70.0);
    d.set("speedVariance", 7.0);
    d.set("radialAcceleration", -2.0);
    d.set("tangentialAccelVariance", 4.0);
    d.set("maxRadius", 111.0);  // a radius key: not read in gravity mode
    d.set("particleLifespan", 2.0);
    d.set("particleLifespanVariance", 0.5);
    return d;
}

TEST_F(Particles, AFileSetsCapacityRatePositionAndTheKeysOfItsMode) {
    auto s = GxParticleSystem::particleWithDictionary(gravityFile());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->totalParticles(), 100u);
    EXPECT_FLOAT_EQ(s->emissionRate(), 50.0f);  // capacity / life
    EXPECT_EQ(s->position(), (Point{160, 240}));
    EXPECT_EQ(s->sourcePosition(), (Point{0, 0}));
    EXPECT_EQ(s->posVar(), (Point{5, 0}));
    EXPECT_FLOAT_EQ(s->angleVar(), 10);
    EXPECT_EQ(s->blendFunc(), (gxBlendFunc{770, 1}));
    EXPECT_FLOAT_EQ(s->startColor().r, 0.25f);
    EXPECT_FLOAT_EQ(s->endColor().a, 0.5f);
    EXPECT_FLOAT_EQ(s->endSize(), -1);
    EXPECT_FLOAT_EQ(s->endSpin(), 90);
    EXPECT_EQ(s->emitterMode(), kGxParticleModeGravity);
    EXPECT_EQ(s->gravity(), (Point{3, -9}));
    EXPECT_FLOAT_EQ(s->speed(), 70);
    EXPECT_FLOAT_EQ(s->speedVar(), 7);
    EXPECT_FLOAT_EQ(s->radialAccel(), -2);
    EXPECT_FLOAT_EQ(s->tangentialAccelVar(), 4);
    EXPECT_FLOAT_EQ(s->life(), 2);
    EXPECT_FLOAT_EQ(s->lifeVar(), 0.5f);
    EXPECT_EQ(s->positionType(), kGxPositionTypeFree);
    EXPECT_FALSE(s->autoRemoveOnFinish());
    EXPECT_EQ(s->texture(), nullptr);

    // Radius mode reads the radius keys and ignores gravity ones; the
    // shared storage shows them through both views.
    auto radius = gravityFile();
    radius.set("emitterType", 1);
    radius.set("maxRadiusVariance", 6.0);
    radius.set("minRadius", 20.0);
    radius.set("rotatePerSecond", 30.0);
    auto r = GxParticleSystem::particleWithDictionary(radius);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->emitterMode(), kGxParticleModeRadius);
    EXPECT_FLOAT_EQ(r->startRadius(), 111);
    EXPECT_FLOAT_EQ(r->startRadiusVar(), 6);
    EXPECT_FLOAT_EQ(r->endRadius(), 20);
    EXPECT_FLOAT_EQ(r->endRadiusVar(), 0);
    EXPECT_FLOAT_EQ(r->rotatePerSecond(), 30);
    EXPECT_EQ(r->gravity(), (Point{111, 6}));  // the same storage
    EXPECT_FLOAT_EQ(r->speed(), 20);

    // Another emitter type reads neither group.
    auto neither = gravityFile();
    neither.set("emitterType", 2);
    auto n = GxParticleSystem::particleWithDictionary(neither);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->gravity(), (Point{0, 0}));
    EXPECT_FLOAT_EQ(n->speed(), 0);
    EXPECT_FLOAT_EQ(n->rotatePerSecond(), 0);
}

TEST_F(Particles, FilesAreReadFromDiskAndAnUnreadableOneIsAnEmptySystem) {
    std::string dir = testsupport::tempDir("plist");
    std::string path = dir + "/one.plist";
    std::ofstream(path) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                           "<key>maxParticles</key><integer>30</integer>"
                           "<key>particleLifespan</key><real>3</real>"
                           "<key>emitterType</key><integer>1</integer>"
                           "<key>minRadius</key><string>-1</string>"
                           "</dict></plist>";
    auto s = GxParticleSystem::particleWithFile(path);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->totalParticles(), 30u);
    EXPECT_FLOAT_EQ(s->emissionRate(), 10);
    EXPECT_FLOAT_EQ(s->endRadius(), -1);

    auto missing = GxParticleSystem::particleWithFile(dir + "/missing.plist");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->totalParticles(), 0u);
    missing->update(1);
    EXPECT_EQ(missing->particleCount(), 0u);

    // Lifespan 0: the rate is infinite and the first positive step fills it.
    auto instant = gravityFile();
    instant.set("maxParticles", 40);
    instant.set("particleLifespan", 0.0);
    instant.set("particleLifespanVariance", 0.0);
    auto i = GxParticleSystem::particleWithDictionary(instant);
    ASSERT_NE(i, nullptr);
    EXPECT_TRUE(std::isinf(i->emissionRate()));
    i->setLife(5);  // so that the births outlive the step
    i->update(0.01f);
    EXPECT_EQ(i->particleCount(), 40u);
}

TEST_F(Particles, CapacitiesBeyondWhatQuadsCanAddressAreRefused) {
    EXPECT_EQ(GxParticleSystem::particleWithTotalParticles(GxParticleSystem::kMaxParticles + 1), nullptr);
    EXPECT_EQ(GxParticleSystem::particleWithTotalParticles<GxParticleSystemQuad>(100000), nullptr);
    auto d = gravityFile();
    d.set("maxParticles", -5);
    EXPECT_EQ(GxParticleSystem::particleWithDictionary(d), nullptr);
    d.set("maxParticles", 2000000000);
    EXPECT_EQ(GxParticleSystem::particleWithDictionary<GxParticleSystemQuad>(d), nullptr);

    auto q = GxParticleSystem::particleWithTotalParticles<GxParticleSystemQuad>(GxParticleSystem::kMaxParticles);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->indices().back(), uint16_t(GxParticleSystem::kMaxParticles * 4 - 3));

    // Growing: past the limit refused and nothing changes; within it the
    // storage follows and the base system (no storage of its own) refuses.
    auto small = GxParticleSystem::particleWithTotalParticles<GxParticleSystemQuad>(4);
    EXPECT_FALSE(small->setTotalParticles(GxParticleSystem::kMaxParticles + 1));
    EXPECT_EQ(small->totalParticles(), 4u);
    EXPECT_TRUE(small->setTotalParticles(10));
    EXPECT_EQ(small->quads().size(), 10u);
    EXPECT_EQ(small->indices().size(), 60u);
    EXPECT_TRUE(small->setTotalParticles(2));
    EXPECT_EQ(small->totalParticles(), 2u);
    EXPECT_EQ(small->allocatedParticles(), 10u);
    auto base = GxParticleSystem::particleWithTotalParticles(4);
    EXPECT_FALSE(base->setTotalParticles(5));
    EXPECT_EQ(base->totalParticles(), 4u);
}

TEST_F(Particles, AZeroVarianceGravitySystemFollowsTheClosedFormStep) {
    auto s = still(1, 10, 10);
    s->setPositionType(kGxPositionTypeGrouped);
    s->setGravity(Point{0, -10});
    s->setSpeed(100);
    s->setAngle(0);
    s->setRadialAccel(0);
    s->setStartSize(10);
    s->setEndSize(30);
    s->setStartColor({1, 0, 0, 1});
    s->setEndColor({0, 0, 1, 0});
    s->setStartSpin(0);
    s->setEndSpin(100);
    const float dt = 0.125f;
    for (int k = 1; k <= 5; ++k) {
        s->clear();
        s->update(dt);
        ASSERT_EQ(s->particleCount(), 1u);  // born in the first step, moved in it too
        const sGxParticle& p = s->particles()[0];
        // Semi-implicit steps: v_k = v0 + g k dt, x_k = v0 k dt + g dt^2 k (k + 1) / 2.
        EXPECT_NEAR(p.mode.A.velocity.x, 100, 1e-3) << k;
        EXPECT_NEAR(p.mode.A.velocity.y, -10 * k * dt, 1e-3) << k;
        EXPECT_NEAR(p.location.x, 100 * k * dt, 1e-3) << k;
        EXPECT_NEAR(p.location.y, -10 * dt * dt * k * (k + 1) / 2, 1e-3) << k;
        const float t = k * dt;  // the particle's age
        EXPECT_NEAR(p.size, 10 + 2 * t, 1e-3) << k;
        EXPECT_NEAR(p.color.r, 1 - t / 10, 1e-4) << k;
        EXPECT_NEAR(p.color.b, t / 10, 1e-4) << k;
        EXPECT_NEAR(p.rotation, 10 * t, 1e-3) << k;
        EXPECT_NEAR(p.timeToLive, 10 - t, 1e-4) << k;
        ASSERT_EQ(s->written.size(), 1u);
        EXPECT_EQ(s->written[0], p.location);  // grouped: the location itself
    }

    // Radial and tangential acceleration point along and across the location.
    auto r = still(1, 10, 10);
    r->setPositionType(kGxPositionTypeGrouped);
    r->setSourcePosition(Point{10, 0});
    r->setRadialAccel(5);
    r->setTangentialAccel(3);
    r->update(0.125f);
    EXPECT_NEAR(r->particles()[0].mode.A.velocity.x, 5 * 0.125f, 1e-4);
    EXPECT_NEAR(r->particles()[0].mode.A.velocity.y, 3 * 0.125f, 1e-4);

    // Radius mode: the angle turns, the radius shrinks, the location is
    // the point opposite the angle at that radius; endRadius -1 keeps it.
    auto m = still(1, 10, 4);
    m->setPositionType(kGxPositionTypeGrouped);
    m->setEmitterMode(kGxParticleModeRadius);
    m->setStartRadius(100);
    m->setEndRadius(20);
    m->setRotatePerSecond(90);
    m->setAngle(0);
    for (int k = 1; k <= 3; ++k) m->update(0.5f);
    const sGxParticle& p = m->particles()[0];
    EXPECT_NEAR(p.mode.B.radius, 100 - 20 * 1.5f, 1e-3);
    EXPECT_NEAR(p.mode.B.angle, gxDegreesToRadians(135), 1e-4);
    EXPECT_NEAR(p.location.x, -std::cos(p.mode.B.angle) * p.mode.B.radius, 1e-3);
    EXPECT_NEAR(p.location.y, -std::sin(p.mode.B.angle) * p.mode.B.radius, 1e-3);
    m->setEndRadius(kGxParticleStartRadiusEqualToEndRadius);
    m->resetSystem();
    m->update(0.5f);  // retires the old one
    m->update(0.5f);  // and a new one is born with a constant radius
    ASSERT_EQ(m->particleCount(), 1u);
    EXPECT_FLOAT_EQ(m->particles()[0].mode.B.radiusDelta, 0);
}

TEST_F(Particles, EmissionTimingDurationFullSystemsStopAndReset) {
    // The comparison is strict: one period exactly emits nothing, the next one.
    auto s = still(3, 10, 100);
    s->update(0.1f);
    EXPECT_EQ(s->particleCount(), 0u);
    s->update(0.1f);
    EXPECT_EQ(s->particleCount(), 1u);
    // Full: the emission clock stands still until a particle dies.
    s->update(0.25f);
    EXPECT_EQ(s->particleCount(), 3u);
    const float counter = s->emitCounter();
    s->update(0.3f);
    EXPECT_FLOAT_EQ(s->emitCounter(), counter);
    EXPECT_TRUE(s->isActive());

    // stopSystem: no more births, the live ones go on.
    s->setDuration(7);
    s->stopSystem();
    EXPECT_FALSE(s->isActive());
    EXPECT_FLOAT_EQ(s->elapsed(), 7);
    EXPECT_FLOAT_EQ(s->emitCounter(), 0);
    EXPECT_EQ(s->particleCount(), 3u);
    const Point before = s->particles()[0].location;
    s->update(0.2f);
    EXPECT_EQ(s->particleCount(), 3u);
    EXPECT_EQ(s->particles()[0].location, before);                                      // speed 0
    EXPECT_NEAR(s->particles()[0].timeToLive, 100 - 0.1f - 0.25f - 0.3f - 0.2f, 1e-4);  // born in the second step

    // resetSystem: the next step retires every live one (births come
    // first in a step, and the system was full), the one after emits anew.
    s->resetSystem();
    EXPECT_TRUE(s->isActive());
    EXPECT_FLOAT_EQ(s->elapsed(), 0);
    s->update(0.15f);
    EXPECT_EQ(s->particleCount(), 0u);
    s->update(0.15f);
    EXPECT_EQ(s->particleCount(), 1u);
    EXPECT_NEAR(s->particles()[0].timeToLive, 100 - 0.15f, 1e-4);

    // Duration 0: births only in the first step.
    auto once = still(50, 100, 100);
    once->setDuration(0);
    once->update(0.055f);
    EXPECT_EQ(once->particleCount(), 5u);
    EXPECT_FALSE(once->isActive());
    once->update(0.5f);
    EXPECT_EQ(once->particleCount(), 5u);

    // Rate 0: nothing, and the clock does not run.
    auto none = still(5, 0, 1);
    none->setDuration(1);
    none->update(2);
    EXPECT_EQ(none->particleCount(), 0u);
    EXPECT_FLOAT_EQ(none->elapsed(), 0);
    EXPECT_TRUE(none->isActive());

    // Invisible: births and the clock go on, the particles do not age.
    auto hidden = still(5, 10, 1);
    hidden->setVisible(false);
    hidden->update(0.25f);
    EXPECT_EQ(hidden->particleCount(), 2u);
    EXPECT_FLOAT_EQ(hidden->particles()[0].timeToLive, 1);
    EXPECT_TRUE(hidden->written.empty());

    // A particle born without life never reaches the writer.
    auto dead = still(5, 10, 0);
    dead->update(0.15f);
    EXPECT_EQ(dead->particleCount(), 0u);
    EXPECT_TRUE(dead->written.empty());
}

TEST_F(Particles, PositionTypesWhenTheNodeOrItsParentMoves) {
    struct Case {
        int type;
        Point afterParentMove;  // where the particle is drawn, in the system's space
        Point afterOwnMove;
    };
    // The parent moves by (10, 0), then the system itself by (0, 5).
    const Case cases[] = {
        {kGxPositionTypeFree, {-10, 0}, {-10, -5}},  // stays put in the world
        {kGxPositionTypeRelative, {0, 0}, {0, -5}},  // follows the parent, not the node
        {kGxPositionTypeGrouped, {0, 0}, {0, 0}},    // follows the node
    };
    for (const Case& c : cases) {
        auto parent = GxNode::node();
        auto s = still(1, 10, 100);
        s->setPositionType(c.type);
        s->setPosition(Point{50, 50});
        parent->addChild(s);
        s->update(0.15f);
        ASSERT_EQ(s->written.size(), 1u);
        EXPECT_EQ(s->written[0], (Point{0, 0})) << c.type;
        parent->setPosition(Point{10, 0});
        s->clear();
        s->update(0.01f);
        EXPECT_EQ(s->written.at(0), c.afterParentMove) << c.type;
        s->setPosition(Point{50, 55});
        s->clear();
        s->update(0.01f);
        EXPECT_EQ(s->written.at(0), c.afterOwnMove) << c.type;
    }
}

TEST_F(Particles, AutoRemovalLeavesTheParentWithoutFreeingTheSystemMidStep) {
    auto parent = GxNode::node();
    std::weak_ptr<GxParticleSystem> weak;
    {
        auto s = GxParticleSystem::particleWithTotalParticles<GxParticleSystemQuad>(2);
        s->setEmissionRate(10);
        s->setLife(0.3f);
        s->setDuration(0.2f);
        s->setAutoRemoveOnFinish(true);
        parent->addChild(s);
        weak = s;
    }
    // Scheduled through the scheduler as a running scene would be.
    parent->onEnter();
    auto scheduler = GxEnvironment::shared().scheduler();
    int frames = 0;
    while (!weak.expired() && frames < 100) {
        scheduler->update(0.1f);
        ++frames;
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(parent->childrenCount(), 0u);
    EXPECT_GT(frames, 3);
    parent->onExit();

    // A system that never emitted is never removed this way.
    auto idle = GxParticleSystem::particleWithTotalParticles(2);
    idle->setAutoRemoveOnFinish(true);
    parent->addChild(idle);
    idle->update(1);
    EXPECT_EQ(parent->childrenCount(), 1u);
}

TEST_F(Particles, TheQuadOfAParticleTakesItsSizeRotationAndColour) {
    auto q = GxParticleSystem::particleWithTotalParticles<GxParticleSystemQuad>(3);
    ASSERT_NE(q, nullptr);
    // The index buffer: two triangles (tl, bl, tr) and (br, tr, bl) per quad.
    const std::vector<uint16_t> expected{0, 1, 2, 3, 2, 1, 4, 5, 6, 7, 6, 5, 8, 9, 10, 11, 10, 9};
    EXPECT_EQ(q->indices(), expected);

    sGxParticle p;
    p.size = 10;
    p.color = {0.5f, 1.2f, -0.3f, 0.999f};  // past 1 and below 0: saturated, not wrapped
    q->updateQuadWithParticle(p, Point{100, 50});
    const gxV3F_C4B_T2F_Quad& quad = q->quads()[0];
    auto at = [](const gxV3F_C4B_T2F& v) { return Point{v.vertices.x, v.vertices.y}; };
    EXPECT_EQ(at(quad.tl), (Point{95, 55}));
    EXPECT_EQ(at(quad.bl), (Point{95, 45}));
    EXPECT_EQ(at(quad.tr), (Point{105, 55}));
    EXPECT_EQ(at(quad.br), (Point{105, 45}));
    for (const auto* v : {&quad.tl, &quad.bl, &quad.tr, &quad.br}) EXPECT_EQ(v->colors, (gxColor4B{127, 255, 0, 254}));

    // Positive rotation turns clockwise.
    p.rotation = 90;
    q->updateQuadWithParticle(p, Point{0, 0});
    auto near = [](Point a, Point b) { return std::fabs(a.x - b.x) < 1e-4f && std::fabs(a.y - b.y) < 1e-4f; };
    EXPECT_TRUE(near(at(quad.bl), Point{-5, 5}));
    EXPECT_TRUE(near(at(quad.br), Point{-5, -5}));
    EXPECT_TRUE(near(at(quad.tr), Point{5, -5}));
    EXPECT_TRUE(near(at(quad.tl), Point{5, 5}));

    // A step writes the quads of the live particles in order.
    q->setEmissionRate(100);
    q->setLife(10);
    q->setStartSize(2);
    q->setEndSize(-1);
    q->setPositionType(kGxPositionTypeGrouped);
    q->setSourcePosition(Point{7, 8});
    q->update(0.025f);
    EXPECT_EQ(q->particleCount(), 2u);
    EXPECT_EQ(q->particleIdx(), 2u);
    EXPECT_EQ(at(q->quads()[1].bl), (Point{6, 7}));
}

TEST_F(Particles, PresetsCarryTheirCapacitiesRatesAndLooks) {
    struct Case {
        std::shared_ptr<GxParticleSystemQuad> system;
        unsigned capacity;
        float rate, duration;
        Point position;
        bool additive;
    };
    const Case cases[] = {
        {GxParticleFireworks::node(), 1500, 1500 / 3.5f, -1, {160, 240}, false},
        {GxParticleFire::node(), 250, 250 / 3.0f, -1, {160, 60}, true},
        {GxParticleSun::node(), 350, 350, -1, {160, 240}, true},
        {GxParticleGalaxy::node(), 200, 50, -1, {160, 240}, true},
        {GxParticleFlower::node(), 250, 62.5f, -1, {160, 240}, true},
        {GxParticleMeteor::node(), 150, 75, -1, {160, 240}, true},
        {GxParticleSpiral::node(), 500, 500 / 12.0f, -1, {160, 240}, false},
        {GxParticleExplosion::node(), 700, 7000, 0.1f, {160, 240}, false},
        {GxParticleSmoke::node(), 200, 50, -1, {160, 0}, false},
        {GxParticleSnow::node(), 700, 10, -1, {160, 490}, false},
        {GxParticleRain::node(), 1000, 20, -1, {160, 480}, false},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.system, nullptr);
        const char* name = c.system->className();
        EXPECT_EQ(c.system->totalParticles(), c.capacity) << name;
        EXPECT_NEAR(c.system->emissionRate(), c.rate, 1e-2) << name;
        EXPECT_FLOAT_EQ(c.system->duration(), c.duration) << name;
        EXPECT_EQ(c.system->position(), c.position) << name;
        EXPECT_EQ(c.system->blendAdditive(), c.additive) << name;
        EXPECT_EQ(c.system->emitterMode(), kGxParticleModeGravity) << name;
        EXPECT_FLOAT_EQ(c.system->endSize(), -1) << name;
        EXPECT_EQ(c.system->positionType(), kGxPositionTypeFree) << name;
    }
    auto galaxy = GxParticleGalaxy::node();
    EXPECT_FLOAT_EQ(galaxy->radialAccel(), -80);
    EXPECT_FLOAT_EQ(galaxy->tangentialAccel(), 80);
    EXPECT_EQ(galaxy->startColor(), (gxColor4F{0.12f, 0.25f, 0.76f, 1}));
    auto snow = GxParticleSnow::node();
    EXPECT_EQ(snow->posVar(), (Point{160, 0}));
    EXPECT_FLOAT_EQ(snow->angle(), -90);
    EXPECT_FLOAT_EQ(snow->lifeVar(), 15);

    // Rates follow the capacity given, except the two fixed ones.
    auto fire = GxParticleSystem::particleWithTotalParticles<GxParticleFire>(100);
    EXPECT_NEAR(fire->emissionRate(), 100 / 3.0f, 1e-4);
    auto rain = GxParticleSystem::particleWithTotalParticles<GxParticleRain>(100);
    EXPECT_FLOAT_EQ(rain->emissionRate(), 20);

    // The explosion's whole burst leaves within the first steps, then it stops.
    auto boom = GxParticleExplosion::node();
    for (int i = 0; i < 7; ++i) boom->update(1 / 60.0f);
    EXPECT_FALSE(boom->isActive());
    EXPECT_GT(boom->particleCount(), 650u);
}

}  // namespace
