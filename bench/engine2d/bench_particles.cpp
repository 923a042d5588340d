// Particle systems per frame: one step (update) and one draw of 1,000 and
// 10,000 live particles, and ten systems of 1,000 drawn separately against
// the same ten systems in one particle batch node. Each frame ends with
// glFinish so the GL's work is inside the time; the step alone is measured
// too, without drawing.
//
// Side by side: ten systems of 1,000 (update + draw) against a hand-written
// loop running the same particle equations (gravity mode: radial,
// tangential and gravity acceleration, colour, size and spin) over the same
// 10,000 particles into one vertex buffer drawn in one call; frames
// alternate in one process. Reported: medians of main-thread CPU time and
// of wall time, their ratios, and the software renderer's fill (the
// hand-written frame's wall time less the same frame with drawing scissored
// to one pixel).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/engine2d/SideBySide.h"

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/Mat4.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/particles/GxParticleBatchNode.h"
#include "lib/engine2d/particles/GxParticleSystemQuad.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

using namespace engine2d;

namespace {

constexpr int kW = 640, kH = 960;
constexpr float kFrame = 1 / 60.0f;

struct Target {
    std::shared_ptr<gl::Context> ctx;
    GLuint fbo = 0, color = 0;
    std::shared_ptr<GxTexture2D> texture;

    bool setUp() {
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
        GxEnvironment::shared().setScheduler(std::make_shared<GxScheduler>());
        ctx = gl::Context::create();
        if (!ctx || !ctx->makeCurrent()) return false;
        gxGLCacheReset();
        glGenTextures(1, &color);
        glBindTexture(GL_TEXTURE_2D, color);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kW, kH, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        gxGLCacheReset();
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
        glViewport(0, 0, kW, kH);
        mxMat4 ortho;
        mxMat4Ortho(&ortho, 0, kW, 0, kH, -1024, 1024);
        mxGLMatrixMode(MX_GL_PROJECTION);
        mxGLSetIdentity();
        mxGLMultiplyTop(&ortho);
        mxGLMatrixMode(MX_GL_MODELVIEW);
        mxGLSetIdentity();
        std::vector<uint8_t> px(16 * 16 * 4, 200);
        texture = GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, 16, 16, Size{16, 16});
        return texture != nullptr;
    }
    ~Target() {
        GxEnvironment::shared().scheduler()->unscheduleAllSelectors();
        texture.reset();
        GxTextureCache::purgeSharedTextureCache();
        GxShaderCache::purgeSharedShaderCache();
        if (fbo) glDeleteFramebuffers(1, &fbo);
        if (color) glDeleteTextures(1, &color);
        gl::Context::clearCurrent();
    }
};

// A full system of n particles that live for ever, moving under gravity
// with some spread, and filled before timing starts.
std::shared_ptr<GxParticleSystemQuad> fullSystem(unsigned n, const std::shared_ptr<GxTexture2D>& texture, Point at) {
    auto s = GxParticleSystem::particleWithTotalParticles<GxParticleSystemQuad>(n);
    s->setTexture(texture);
    s->setPosition(at);
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
    Target target;
    if (!target.setUp()) {
        state.SkipWithError("no GL context");
        return;
    }
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
    Target target;
    if (!target.setUp()) {
        state.SkipWithError("no GL context");
        return;
    }
    const unsigned n = unsigned(state.range(0));
    auto s = fullSystem(n, target.texture, Point{kW / 2, kH / 2});
    for (auto _ : state) s->update(kFrame);
    state.SetItemsProcessed(int64_t(state.iterations()) * n);
}
BENCHMARK(BM_StepOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kSystems = 10;
constexpr unsigned kEach = 1000;

Point spot(int i) { return Point{float(80 + (i % 5) * 120), float(240 + (i / 5) * 480)}; }

void BM_SeparateSystems(benchmark::State& state) {
    Target target;
    if (!target.setUp()) {
        state.SkipWithError("no GL context");
        return;
    }
    auto root = GxNode::node();
    std::vector<std::shared_ptr<GxParticleSystemQuad>> systems;
    for (int i = 0; i < kSystems; ++i) {
        systems.push_back(fullSystem(kEach, target.texture, spot(i)));
        root->addChild(systems.back());
    }
    for (auto _ : state) {
        for (auto& s : systems) s->update(kFrame);
        glClear(GL_COLOR_BUFFER_BIT);
        root->visit();
        glFinish();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kSystems * kEach);
    root->removeAllChildrenWithCleanup(true);
}
BENCHMARK(BM_SeparateSystems)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BatchNode(benchmark::State& state) {
    Target target;
    if (!target.setUp()) {
        state.SkipWithError("no GL context");
        return;
    }
    auto batch = GxParticleBatchNode::batchNodeWithTexture(target.texture, kSystems * kEach);
    std::vector<std::shared_ptr<GxParticleSystemQuad>> systems;
    for (int i = 0; i < kSystems; ++i) {
        systems.push_back(fullSystem(kEach, target.texture, spot(i)));
        batch->addChild(systems.back(), 0, i);
    }
    for (auto _ : state) {
        for (auto& s : systems) s->update(kFrame);
        glClear(GL_COLOR_BUFFER_BIT);
        batch->visit();
        glFinish();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kSystems * kEach);
    batch->removeAllChildrenWithCleanup(true);
}
BENCHMARK(BM_BatchNode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The hand-written side: the same equations over flat arrays.
struct PlainParticles {
    struct P {
        float x, y, vx, vy, radial, tangential, r, g, b, a, dr, dg, db, da, size, dsize, rot, drot, ox, oy;
    };
    std::vector<P> ps;
    std::vector<gxV3F_C4B_T2F_Quad> quads;
    std::vector<uint16_t> indices;
    GLuint buffers[2] = {0, 0};
    std::shared_ptr<GxGLProgram> program;
    GLuint texture = 0;
    gxBlendFunc blend{};

    PlainParticles(GLuint tex, gxBlendFunc b) : texture(tex), blend(b) {
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> m11(-1, 1);
        const float life = 1e6f;
        for (int sys = 0; sys < kSystems; ++sys)
            for (unsigned i = 0; i < kEach; ++i) {
                P p{};
                Point o = spot(sys);
                p.ox = o.x, p.oy = o.y;
                float a = (0 + 360 * m11(rng)) * 3.14159265f / 180, sp = 40 + 30 * m11(rng);
                p.vx = std::cos(a) * sp, p.vy = std::sin(a) * sp;
                p.radial = -3, p.tangential = 0;
                p.r = 1, p.g = 0.8f, p.b = 0.4f, p.a = 1;
                p.dr = 0, p.dg = (0.2f - 0.8f) / life, p.db = (0.1f - 0.4f) / life, p.da = (0.2f - 1) / life;
                p.size = std::max(0.0f, 8 + 4 * m11(rng));
                p.dsize = (2 - p.size) / life;
                p.rot = 0, p.drot = 90 / life;
                ps.push_back(p);
            }
        quads.resize(ps.size());
        for (auto& q : quads) {
            q.bl.texCoords = {0, 1}, q.br.texCoords = {1, 1}, q.tl.texCoords = {0, 0}, q.tr.texCoords = {1, 0};
            q.bl.vertices.z = q.br.vertices.z = q.tl.vertices.z = q.tr.vertices.z = 0;
        }
        indices.resize(ps.size() * 6);
        for (size_t i = 0; i < ps.size(); ++i) {
            uint16_t v = uint16_t(i * 4);
            uint16_t* p = &indices[i * 6];
            p[0] = v, p[1] = uint16_t(v + 1), p[2] = uint16_t(v + 2), p[3] = uint16_t(v + 3), p[4] = uint16_t(v + 2),
            p[5] = uint16_t(v + 1);
        }
        glGenBuffers(2, buffers);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * quads.size()), nullptr, GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 2), indices.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        program = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    }
    ~PlainParticles() { glDeleteBuffers(2, buffers); }

    void frame(float dt) {
        const float gx = 0, gy = -2;
        auto byte = [](float c) {
            float v = c * 255;
            return uint8_t(v >= 255 ? 255 : v > 0 ? int(v) : 0);
        };
        for (size_t i = 0; i < ps.size(); ++i) {
            P& p = ps[i];
            float rx = 0, ry = 0;
            if (p.x != 0 || p.y != 0) {
                float l = std::sqrt(p.x * p.x + p.y * p.y);
                rx = p.x / l, ry = p.y / l;
            }
            float ax = rx * p.radial - ry * p.tangential + gx, ay = ry * p.radial + rx * p.tangential + gy;
            p.vx += ax * dt, p.vy += ay * dt;
            p.x += p.vx * dt, p.y += p.vy * dt;
            p.r += p.dr * dt, p.g += p.dg * dt, p.b += p.db * dt, p.a += p.da * dt;
            p.size = std::max(0.0f, p.size + p.dsize * dt);
            p.rot += p.drot * dt;
            gxV3F_C4B_T2F_Quad& q = quads[i];
            gxColor4B c{byte(p.r), byte(p.g), byte(p.b), byte(p.a)};
            q.bl.colors = q.br.colors = q.tl.colors = q.tr.colors = c;
            const float h = p.size / 2, px = p.x + p.ox, py = p.y + p.oy;
            const float r = -p.rot * 3.14159265f / 180, cr = std::cos(r), sr = std::sin(r);
            q.bl.vertices.x = -h * cr + h * sr + px, q.bl.vertices.y = -h * sr - h * cr + py;
            q.br.vertices.x = h * cr + h * sr + px, q.br.vertices.y = h * sr - h * cr + py;
            q.tr.vertices.x = h * cr - h * sr + px, q.tr.vertices.y = h * sr + h * cr + py;
            q.tl.vertices.x = -h * cr - h * sr + px, q.tl.vertices.y = -h * sr + h * cr + py;
        }
        glUseProgram(program->program());
        program->setUniformForModelViewProjectionMatrix();
        glEnable(GL_BLEND);
        glBlendFunc(blend.src, blend.dst);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * quads.size()), quads.data());
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        for (GLuint a : {0u, 1u, 2u}) glEnableVertexAttribArray(a);
        const GLsizei stride = sizeof(gxV3F_C4B_T2F);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
        glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(12));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(16));
        glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_SHORT, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
};

void BM_SystemsSideBySide(benchmark::State& state) {
    Target target;
    if (!target.setUp()) {
        state.SkipWithError("no GL context");
        return;
    }
    auto root = GxNode::node();
    std::vector<std::shared_ptr<GxParticleSystemQuad>> systems;
    for (int i = 0; i < kSystems; ++i) {
        systems.push_back(fullSystem(kEach, target.texture, spot(i)));
        root->addChild(systems.back());
    }
    PlainParticles plain(target.texture->name(), systems[0]->blendFunc());
    auto engineFrame = [&] {
        for (auto& s : systems) s->update(kFrame);
        glClear(GL_COLOR_BUFFER_BIT);
        root->visit();
        glFinish();
    };
    auto plainFrame = [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        plain.frame(kFrame);
        glFinish();
    };
    auto restore = [] {
        gxGLCacheReset();
        mxMat4 ortho;
        mxMat4Ortho(&ortho, 0, kW, 0, kH, -1024, 1024);
        mxGLMatrixMode(MX_GL_PROJECTION);
        mxGLSetIdentity();
        mxGLMultiplyTop(&ortho);
        mxGLMatrixMode(MX_GL_MODELVIEW);
        mxGLSetIdentity();
    };
    bench::SideBySide times;
    std::vector<double> unfilled;
    for (auto _ : state) {
        bench::FrameTime e = bench::timeFrame(engineFrame);
        bench::FrameTime p = bench::timeFrame(plainFrame);
        restore();
        times.add(e, p);
        // The same hand-written frame with every fragment scissored away.
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 1, 1);
        unfilled.push_back(bench::timeFrame(plainFrame).wall);
        glDisable(GL_SCISSOR_TEST);
        restore();
    }
    const double ec = bench::median(times.engineCpu), pc = bench::median(times.plainCpu);
    const double ew = bench::median(times.engineWall), pw = bench::median(times.plainWall);
    state.counters["engine_cpu_ms"] = ec * 1e3;
    state.counters["plain_cpu_ms"] = pc * 1e3;
    state.counters["cpu_ratio"] = pc > 0 ? ec / pc : 0;
    state.counters["engine_wall_ms"] = ew * 1e3;
    state.counters["plain_wall_ms"] = pw * 1e3;
    state.counters["wall_ratio"] = pw > 0 ? ew / pw : 0;
    state.counters["fill_ms"] = (pw - bench::median(unfilled)) * 1e3;
    root->removeAllChildrenWithCleanup(true);
}
BENCHMARK(BM_SystemsSideBySide)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace

BENCHMARK_MAIN();
