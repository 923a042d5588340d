#pragma once
// What the engine's side-by-side benches share: an off-screen target on a
// surfaceless context, both clocks of a frame (wall, with glFinish so the
// GL's work is inside, and the main thread's own CPU time, which leaves out
// the software renderer's rasterising threads), medians, and a read-back
// for comparing what the two sides drew.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/Mat4.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
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
inline double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The two clocks of one call of f.
struct FrameTime {
    double wall = 0, cpu = 0;
};
template <class F>
FrameTime timeFrame(F&& f) {
    double w = wallSeconds(), c = threadSeconds();
    f();
    return {wallSeconds() - w, threadSeconds() - c};
}

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Per-frame times of two sides run alternately, and their medians.
struct SideBySide {
    std::vector<double> engineWall, engineCpu, plainWall, plainCpu;
    void add(FrameTime engine, FrameTime plain) {
        engineWall.push_back(engine.wall);
        engineCpu.push_back(engine.cpu);
        plainWall.push_back(plain.wall);
        plainCpu.push_back(plain.cpu);
    }
};

}  // namespace engine2d::bench
