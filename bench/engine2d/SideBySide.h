#pragma once
// What the engine's side-by-side benches share: an off-screen target on a
// surfaceless context, the clocks of a frame (wall, with glFinish so the
// GL's work is inside; the process's CPU time, every thread, the software
// renderer's rasterising threads included, which is the CPU the frame
// costs; and the main thread's own CPU time, which leaves those out), medians, a read-back for
// comparing what the two sides drew, the hand-written side's quad drawing,
// the interleaved run of the two sides and the counters they report.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/Mat4.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d::bench {

struct Target {
    std::shared_ptr<gl::Context> ctx;
    GLuint fbo = 0, color = 0;
    int width = 0, height = 0;

    bool setUp(int w, int h) {
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
        width = w;
        height = h;
        ctx = gl::Context::create();
        if (!ctx || !ctx->makeCurrent()) return false;
        gxGLCacheReset();
        glGenTextures(1, &color);
        glBindTexture(GL_TEXTURE_2D, color);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
        glViewport(0, 0, w, h);
        setProjection();
        return true;
    }
    void setProjection() const {
        mxMat4 ortho;
        mxMat4Ortho(&ortho, 0, float(width), 0, float(height), -1024, 1024);
        mxGLMatrixMode(MX_GL_PROJECTION);
        mxGLSetIdentity();
        mxGLMultiplyTop(&ortho);
        mxGLMatrixMode(MX_GL_MODELVIEW);
        mxGLSetIdentity();
    }
    // After a hand-written side: the engine's state cache trusts nothing it
    // left (the reset drops the matrix stacks, so the projection comes back).
    void forgetState() const {
        gxGLCacheReset();
        setProjection();
    }
    std::vector<uint8_t> readBack() const {
        std::vector<uint8_t> px(size_t(width) * size_t(height) * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return px;
    }
    ~Target() {
        GxShaderCache::purgeSharedShaderCache();
        if (fbo) glDeleteFramebuffers(1, &fbo);
        if (color) glDeleteTextures(1, &color);
        gl::Context::clearCurrent();
    }
};

// n x n (n a multiple of 4): colour ramps across and down, a transparent
// corner, so a wrong texture coordinate, orientation or blend shows in the
// read-back.
inline std::shared_ptr<GxTexture2D> patternTexture(int n) {
    std::vector<uint8_t> px(size_t(n) * size_t(n) * 4);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            uint8_t* p = &px[size_t(y * n + x) * 4];
            p[0] = uint8_t(x * 256 / n);
            p[1] = uint8_t(y * 256 / n);
            p[2] = uint8_t(255 - x * 128 / n - y * 96 / n);
            p[3] = (x < n / 4 && y < n / 4) ? 0 : uint8_t(128 + x * 128 / n);
        }
    return GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, unsigned(n), unsigned(n),
                                        Size{float(n), float(n)});
}

// The largest difference of one channel between two read-backs.
inline int maxChannelDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return 256;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

inline double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}
inline double processSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}
inline double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The clocks of one call of f.
struct FrameTime {
    double wall = 0, cpu = 0, processCpu = 0;
};
template <class F>
FrameTime timeFrame(F&& f) {
    double w = wallSeconds(), c = threadSeconds(), pc = processSeconds();
    f();
    return {wallSeconds() - w, threadSeconds() - c, processSeconds() - pc};
}

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Per-frame times of two sides run alternately, and their medians.
struct SideBySide {
    std::vector<double> engineWall, engineCpu, engineProcess, plainWall, plainCpu, plainProcess;
    // Each frame pair's own ratios: the two frames are next to each other
    // in time, so a busy machine slows both.
    std::vector<double> cpuRatios, processRatios, wallRatios;
    void add(FrameTime engine, FrameTime plain) {
        engineWall.push_back(engine.wall);
        engineCpu.push_back(engine.cpu);
        engineProcess.push_back(engine.processCpu);
        plainWall.push_back(plain.wall);
        plainCpu.push_back(plain.cpu);
        plainProcess.push_back(plain.processCpu);
        if (plain.cpu > 0) cpuRatios.push_back(engine.cpu / plain.cpu);
        if (plain.processCpu > 0) processRatios.push_back(engine.processCpu / plain.processCpu);
        if (plain.wall > 0) wallRatios.push_back(engine.wall / plain.wall);
    }
};

// The hand-written side's drawing: its quads of one texture, drawn with the
// engine's shader in one indexed call, every piece of GL state set on each
// draw, blending as the engine blends (colours by the given factors,
// coverage as one layer over another). The quads go to the GL from memory,
// or through a vertex buffer written before the draw, whichever the
// engine's side being compared does.
struct PlainQuads {
    enum class Road { FromMemory, ThroughBuffer };
    std::vector<gxV3F_C4B_T2F_Quad> quads;
    std::vector<uint16_t> indices;
    std::shared_ptr<GxGLProgram> program;
    GLuint texture = 0;
    gxBlendFunc blend{};
    Road road;
    GLuint buffers[2] = {0, 0};

    PlainQuads(size_t n, GLuint tex, gxBlendFunc b, Road r)
        : quads(n), indices(n * 6), texture(tex), blend(b), road(r) {
        program = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
        for (size_t i = 0; i < n; ++i) {
            const auto v = uint16_t(i * 4);
            uint16_t* p = &indices[i * 6];
            p[0] = v, p[1] = uint16_t(v + 1), p[2] = uint16_t(v + 2), p[3] = uint16_t(v + 3), p[4] = uint16_t(v + 2),
            p[5] = uint16_t(v + 1);
        }
        if (road == Road::FromMemory) return;
        glGenBuffers(2, buffers);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * n), nullptr, GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 2), indices.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
    ~PlainQuads() {
        if (road == Road::ThroughBuffer) glDeleteBuffers(2, buffers);
    }
    PlainQuads(const PlainQuads&) = delete;
    PlainQuads& operator=(const PlainQuads&) = delete;

    void draw() const {
        glUseProgram(program->program());
        program->setUniformForModelViewProjectionMatrix();
        glEnable(GL_BLEND);
        glBlendFuncSeparate(blend.src, blend.dst, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture);
        const bool buffered = road == Road::ThroughBuffer;
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        if (buffered)
            glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * quads.size()), quads.data());
        const uintptr_t base = buffered ? 0 : reinterpret_cast<uintptr_t>(quads.data());
        for (GLuint a : {0u, 1u, 2u}) glEnableVertexAttribArray(a);
        const GLsizei stride = sizeof(gxV3F_C4B_T2F);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(base + offsetof(gxV3F_C4B_T2F, vertices)));
        glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              reinterpret_cast<const void*>(base + offsetof(gxV3F_C4B_T2F, colors)));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(base + offsetof(gxV3F_C4B_T2F, texCoords)));
        glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_SHORT, buffered ? nullptr : indices.data());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
};

// Two sides run alternately, one frame each per iteration of the state,
// each side's frame timed on both clocks. The engine's state cache is
// forgotten after each side (outside the times), so that both set their
// state every frame. Before the first and after the last timed frame both
// sides draw one more frame and their read-backs are compared. `between` runs
// after each timed pair, outside the times.
struct Interleaved {
    SideBySide times;
    int worst = 0;                     // the largest channel difference of the compared frames
    std::vector<uint8_t> engineDrawn;  // the engine's read-back of the last compared frame
};
template <class Engine, class Plain, class Between>
Interleaved interleave(benchmark::State& state, const Target& target, Engine&& engine, Plain&& plain,
                       Between&& between) {
    Interleaved out;
    int frame = 0;
    auto compare = [&] {
        engine(frame);
        out.engineDrawn = target.readBack();
        target.forgetState();
        plain(frame);
        out.worst = std::max(out.worst, maxChannelDifference(out.engineDrawn, target.readBack()));
        target.forgetState();
        ++frame;
    };
    compare();
    for (auto _ : state) {
        FrameTime e = timeFrame([&] { engine(frame); });
        target.forgetState();
        FrameTime p = timeFrame([&] { plain(frame); });
        target.forgetState();
        out.times.add(e, p);
        between();
        ++frame;
    }
    compare();
    if (out.worst > 2) state.SkipWithError("the two sides drew different pixels");
    return out;
}
template <class Engine, class Plain>
Interleaved interleave(benchmark::State& state, const Target& target, Engine&& engine, Plain&& plain) {
    return interleave(state, target, engine, plain, [] {});
}

// The medians of both sides on each clock, in ms, the medians of the frame
// pairs' ratios (engine over plain): cpu_ratio of the process's CPU time
// (every thread), thread_cpu_ratio of the main thread's, wall_ratio of the
// wall time; and the largest channel difference.
inline void report(benchmark::State& state, const Interleaved& run, const std::string& engine,
                   const std::string& plain) {
    const auto& t = run.times;
    state.counters[engine + "_cpu_ms"] = median(t.engineProcess) * 1e3;
    state.counters[plain + "_cpu_ms"] = median(t.plainProcess) * 1e3;
    state.counters["cpu_ratio"] = median(t.processRatios);
    state.counters[engine + "_thread_cpu_ms"] = median(t.engineCpu) * 1e3;
    state.counters[plain + "_thread_cpu_ms"] = median(t.plainCpu) * 1e3;
    state.counters["thread_cpu_ratio"] = median(t.cpuRatios);
    state.counters[engine + "_wall_ms"] = median(t.engineWall) * 1e3;
    state.counters[plain + "_wall_ms"] = median(t.plainWall) * 1e3;
    state.counters["wall_ratio"] = median(t.wallRatios);
    state.counters["max_channel_diff"] = run.worst;
}

}  // namespace engine2d::bench
