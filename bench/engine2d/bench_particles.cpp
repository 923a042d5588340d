// Particle systems per frame: one step (update) and one draw of 1,000 and
// 10,000 live particles, and ten systems of 1,000 drawn separately against
// the same ten systems in one particle batch node. Each frame ends with
// glFinish so the GL's work is inside the time; the step alone is measured
// too, without drawing.
//
// Side by side: ten systems of 1,000 (update + draw) against a hand-written
// loop running the same particle equations (gravity mode: radial,
// tangential and gravity acceleration, colour, size and spin) over the same
// 10,000 particles (copied from the systems once they are full) into one
// vertex buffer drawn in one call; frames alternate in one process and both
// set their GL state every frame. Both draw the same pixels: the read-backs
// before and after the timed frames must agree within 2 per channel.
// Reported: medians of main-thread CPU time and of wall time, their ratios,
// and the software renderer's fill (the hand-written draw's wall time less
// the same draw scissored to one pixel).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/engine2d/SideBySide.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/particles/GxParticleBatchNode.h"
#include "lib/engine2d/particles/GxParticleSystemQuad.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureCache.h"

using namespace engine2d;
using namespace engine2d::bench;

namespace {

constexpr int kW = 640, kH = 960;
constexpr float kFrame = 1 / 60.0f;

// The bench's target with a scheduler for the systems and their texture.
struct ParticleTarget : Target {
    std::shared_ptr<GxTexture2D> texture;

    // False (the bench skipped) without a GL context.
    bool setUp(benchmark::State& state) {
        GxEnvironment::shared().setScheduler(std::make_shared<GxScheduler>());
        if (Target::setUp(kW, kH) && (texture = patternTexture(16))) return true;
        state.SkipWithError("no GL context");
        return false;
    }
    ~ParticleTarget() {
        GxEnvironment::shared().scheduler()->unscheduleAllSelectors();
        texture.reset();
        GxTextureCache::purgeSharedTextureCache();
    }
};

// A full system of n particles that live for ever, moving under gravity
// with some spread, and filled before timing starts. The system stays at
// the origin and emits from `at`, so that its particles' places are their
// places on the screen.
std::shared_ptr<GxParticleSystemQuad> fullSystem(unsigned n, const std::shared_ptr<GxTexture2D>& texture, Point at) {
    auto s = GxParticleSystem::particleWithTotalParticles<GxParticleSystemQuad>(n);
    s->setTexture(texture);
    s->setSourcePosition(at);
    s->setEmissionRate(1e9f);
    s->setLife(1e6f);
    s->setDuration(-1);
    s->setSpeed(40);
    s->setSpeedVar(30);
    s->setAngleVar(360);
    s->setGravity(Point{0, -2});
    s->setRadialAccel(-3);
    s->setStartSize(8);
    s->setStartSizeVar(4);
    s->setEndSize(2);
    s->setStartSpin(0);
    s->setEndSpin(90);
    s->setStartColor({1, 0.8f, 0.4f, 1});
    s->setEndColor({1, 0.2f, 0.1f, 0.2f});
    s->update(kFrame);
    return s;
}

void BM_StepAndDraw(benchmark::State& state) {
    ParticleTarget target;
    if (!target.setUp(state)) return;
    const unsigned n = unsigned(state.range(0));
    auto s = fullSystem(n, target.texture, Point{kW / 2, kH / 2});
    for (auto _ : state) {
        s->update(kFrame);
        glClear(GL_COLOR_BUFFER_BIT);
        s->visit();
        glFinish();
    }
    state.counters["particles"] = double(s->particleCount());
    state.SetItemsProcessed(int64_t(state.iterations()) * n);
}
BENCHMARK(BM_StepAndDraw)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StepOnly(benchmark::State& state) {
    ParticleTarget target;
    if (!target.setUp(state)) return;
    const unsigned n = unsigned(state.range(0));
    auto s = fullSystem(n, target.texture, Point{kW / 2, kH / 2});
    for (auto _ : state) s->update(kFrame);
    state.SetItemsProcessed(int64_t(state.iterations()) * n);
}
BENCHMARK(BM_StepOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kSystems = 10;
constexpr unsigned kEach = 1000;

Point spot(int i) { return Point{float(80 + (i % 5) * 120), float(240 + (i / 5) * 480)}; }

// Ten full systems of kEach particles at their spots, children of `parent`.
std::vector<std::shared_ptr<GxParticleSystemQuad>> tenSystems(const ParticleTarget& target, GxNode& parent) {
    std::vector<std::shared_ptr<GxParticleSystemQuad>> systems;
    for (int i = 0; i < kSystems; ++i) {
        systems.push_back(fullSystem(kEach, target.texture, spot(i)));
        parent.addChild(systems.back(), 0, i);
    }
    return systems;
}

// One frame: every system steps, then `top` draws them.
void stepAndDraw(const std::vector<std::shared_ptr<GxParticleSystemQuad>>& systems, GxNode& top) {
    for (auto& s : systems) s->update(kFrame);
    glClear(GL_COLOR_BUFFER_BIT);
    top.visit();
    glFinish();
}

void BM_SeparateSystems(benchmark::State& state) {
    ParticleTarget target;
    if (!target.setUp(state)) return;
    auto root = GxNode::node();
    auto systems = tenSystems(target, *root);
    for (auto _ : state) stepAndDraw(systems, *root);
    state.SetItemsProcessed(int64_t(state.iterations()) * kSystems * kEach);
    root->removeAllChildrenWithCleanup(true);
}
BENCHMARK(BM_SeparateSystems)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BatchNode(benchmark::State& state) {
    ParticleTarget target;
    if (!target.setUp(state)) return;
    auto batch = GxParticleBatchNode::batchNodeWithTexture(target.texture, kSystems * kEach);
    auto systems = tenSystems(target, *batch);
    for (auto _ : state) stepAndDraw(systems, *batch);
    state.SetItemsProcessed(int64_t(state.iterations()) * kSystems * kEach);
    batch->removeAllChildrenWithCleanup(true);
}
BENCHMARK(BM_BatchNode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The hand-written side: the same equations over flat arrays of the same
// particles, in the same order of operations, so that the quads come out
// the same to the bit.
struct PlainParticles {
    struct P {
        float x, y, vx, vy, radial, tangential, r, g, b, a, dr, dg, db, da, size, dsize, rot, drot;
    };
    std::vector<P> ps;
    PlainQuads gl;

    PlainParticles(const std::vector<std::shared_ptr<GxParticleSystemQuad>>& systems, GLuint tex, gxBlendFunc b)
        : gl(size_t(kSystems) * kEach, tex, b, PlainQuads::Road::ThroughBuffer) {
        for (auto& sys : systems)
            for (unsigned i = 0; i < sys->particleCount(); ++i) {
                const sGxParticle& q = sys->particles()[i];
                ps.push_back({q.location.x, q.location.y, q.mode.A.velocity.x, q.mode.A.velocity.y,
                              q.mode.A.radialAccel, q.mode.A.tangentialAccel, q.color.r, q.color.g, q.color.b,
                              q.color.a, q.colorDelta.r, q.colorDelta.g, q.colorDelta.b, q.colorDelta.a, q.size,
                              q.sizeDelta, q.rotation, q.rotationDelta});
            }
        // The texture rectangle is the whole texture, as the systems have it.
        for (auto& q : gl.quads) {
            q.bl.texCoords = {0, 1}, q.br.texCoords = {1, 1}, q.tl.texCoords = {0, 0}, q.tr.texCoords = {1, 0};
            q.bl.vertices.z = q.br.vertices.z = q.tl.vertices.z = q.tr.vertices.z = 0;
        }
    }

    void step(float dt) {
        const float gx = 0, gy = -2;
        auto byte = [](float c) {
            float v = c * 255;
            return uint8_t(v >= 255 ? 255 : v > 0 ? int(v) : 0);
        };
        for (size_t i = 0; i < ps.size(); ++i) {
            P& p = ps[i];
            float nx = 0, ny = 0;
            if (p.x != 0 || p.y != 0) {
                const float inverse = 1.0f / std::sqrt(p.x * p.x + p.y * p.y);
                nx = p.x * inverse, ny = p.y * inverse;
            }
            const float ax = nx * p.radial + -ny * p.tangential + gx, ay = ny * p.radial + nx * p.tangential + gy;
            p.vx = p.vx + ax * dt, p.vy = p.vy + ay * dt;
            p.x = p.x + p.vx * dt, p.y = p.y + p.vy * dt;
            p.r += p.dr * dt, p.g += p.dg * dt, p.b += p.db * dt, p.a += p.da * dt;
            p.size = std::max(0.0f, p.size + p.dsize * dt);
            p.rot += p.drot * dt;
            gxV3F_C4B_T2F_Quad& q = gl.quads[i];
            const gxColor4B c{byte(p.r), byte(p.g), byte(p.b), byte(p.a)};
            q.bl.colors = q.br.colors = q.tl.colors = q.tr.colors = c;
            const float h = p.size / 2;
            if (p.rot == 0) {
                q.bl.vertices.x = p.x - h, q.bl.vertices.y = p.y - h;
                q.br.vertices.x = p.x + h, q.br.vertices.y = p.y - h;
                q.tl.vertices.x = p.x - h, q.tl.vertices.y = p.y + h;
                q.tr.vertices.x = p.x + h, q.tr.vertices.y = p.y + h;
                continue;
            }
            const float turn = -(p.rot * 0.017453292f), cr = std::cos(turn), sr = std::sin(turn);
            q.bl.vertices.x = -h * cr - -h * sr + p.x, q.bl.vertices.y = -h * sr + -h * cr + p.y;
            q.br.vertices.x = h * cr - -h * sr + p.x, q.br.vertices.y = h * sr + -h * cr + p.y;
            q.tr.vertices.x = h * cr - h * sr + p.x, q.tr.vertices.y = h * sr + h * cr + p.y;
            q.tl.vertices.x = -h * cr - h * sr + p.x, q.tl.vertices.y = -h * sr + h * cr + p.y;
        }
    }
};

void BM_SystemsSideBySide(benchmark::State& state) {
    ParticleTarget target;
    if (!target.setUp(state)) return;
    auto root = GxNode::node();
    auto systems = tenSystems(target, *root);
    PlainParticles plain(systems, target.texture->name(), systems[0]->blendFunc());
    auto engineFrame = [&](int) { stepAndDraw(systems, *root); };
    auto plainDraw = [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        plain.gl.draw();
        glFinish();
    };
    auto plainFrame = [&](int) {
        plain.step(kFrame);
        plainDraw();
    };
    // The same hand-written draw with every fragment scissored away.
    std::vector<double> drawn, unfilled;
    auto fill = [&] {
        drawn.push_back(timeFrame(plainDraw).wall);
        target.forgetState();
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 1, 1);
        unfilled.push_back(timeFrame(plainDraw).wall);
        glDisable(GL_SCISSOR_TEST);
        target.forgetState();
    };
    Interleaved run = interleave(state, target, engineFrame, plainFrame, fill);
    report(state, run, "engine", "plain");
    state.counters["fill_ms"] = (median(drawn) - median(unfilled)) * 1e3;
    root->removeAllChildrenWithCleanup(true);
}
BENCHMARK(BM_SystemsSideBySide)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace

BENCHMARK_MAIN();
