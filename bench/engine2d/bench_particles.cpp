// Particle systems per frame: one step (update) and one draw of 1,000 and
// 10,000 live particles, and ten systems of 1,000 drawn separately against
// the same ten systems in one particle batch node. Each frame ends with
// glFinish so the GL's work is inside the time; the step alone is measured
// too, without drawing.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

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

}  // namespace

BENCHMARK_MAIN();
