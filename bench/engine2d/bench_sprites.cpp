// 2,000 sprites of one texture drawn through a batch node, against the same
// quads drawn by a plain GLES loop (one buffer, one draw call). Every frame
// moves every sprite, so both sides rebuild and upload their quads; each
// frame ends with glFinish so the GL's work is inside the time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/Mat4.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/sprites/GxSpriteBatchNode.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

using namespace engine2d;

namespace {

constexpr int kSprites = 2000;
constexpr int kW = 640, kH = 960;

struct Target {
    std::shared_ptr<gl::Context> ctx;
    GLuint fbo = 0, color = 0;
    std::shared_ptr<GxTexture2D> texture;

    bool setUp() {
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
        ctx = gl::Context::create();
        if (!ctx || !ctx->makeCurrent()) return false;
        gxGLCacheReset();
        glGenTextures(1, &color);
        glBindTexture(GL_TEXTURE_2D, color);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kW, kH, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
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
        std::vector<uint8_t> px(32 * 32 * 4, 200);
        texture = GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, 32, 32, Size{32, 32});
        return texture != nullptr;
    }
    ~Target() {
        texture.reset();
        GxShaderCache::purgeSharedShaderCache();
        if (fbo) glDeleteFramebuffers(1, &fbo);
        if (color) glDeleteTextures(1, &color);
        gl::Context::clearCurrent();
    }
};

Point place(int i, int frame) {
    float t = float(frame) * 0.01f + float(i);
    return {320 + 280 * std::sin(t * 0.37f), 480 + 440 * std::cos(t * 0.23f)};
}

void BM_BatchNode(benchmark::State& state) {
    Target target;
    if (!target.setUp()) {
        state.SkipWithError("no GL context");
        return;
    }
    auto batch = GxSpriteBatchNode::batchNodeWithTexture(target.texture, kSprites);
    std::vector<std::shared_ptr<GxSprite>> sprites;
    for (int i = 0; i < kSprites; ++i) {
        auto s = GxSprite::spriteWithTexture(target.texture);
        batch->addChild(s, 0);
        sprites.push_back(s);
    }
    int frame = 0;
    for (auto _ : state) {
        for (int i = 0; i < kSprites; ++i) sprites[size_t(i)]->setPosition(place(i, frame));
        glClear(GL_COLOR_BUFFER_BIT);
        batch->visit();
        glFinish();
        ++frame;
    }
}
BENCHMARK(BM_BatchNode)->Unit(benchmark::kMillisecond);

void BM_PlainLoop(benchmark::State& state) {
    Target target;
    if (!target.setUp()) {
        state.SkipWithError("no GL context");
        return;
    }
    auto program = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    std::vector<gxV3F_C4B_T2F_Quad> quads(kSprites);
    std::vector<uint16_t> indices(size_t(kSprites) * 6);
    for (int i = 0; i < kSprites; ++i) {
        uint16_t b = uint16_t(i * 4);
        uint16_t* p = &indices[size_t(i) * 6];
        p[0] = b, p[1] = uint16_t(b + 1), p[2] = uint16_t(b + 2), p[3] = uint16_t(b + 3), p[4] = uint16_t(b + 2),
        p[5] = uint16_t(b + 1);
    }
    GLuint buffers[2];
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * quads.size()), nullptr, GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 2), indices.data(), GL_STATIC_DRAW);
    glUseProgram(program->program());
    program->setUniformForModelViewProjectionMatrix();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, target.texture->name());
    for (GLuint a : {0u, 1u, 2u}) glEnableVertexAttribArray(a);
    const GLsizei stride = sizeof(gxV3F_C4B_T2F);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(12));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(16));
    int frame = 0;
    for (auto _ : state) {
        for (int i = 0; i < kSprites; ++i) {
            Point p = place(i, frame);
            float x1 = p.x - 16, y1 = p.y - 16, x2 = p.x + 16, y2 = p.y + 16;
            auto& q = quads[size_t(i)];
            q.bl = {{x1, y1, 0}, {255, 255, 255, 255}, {0, 1}};
            q.br = {{x2, y1, 0}, {255, 255, 255, 255}, {1, 1}};
            q.tl = {{x1, y2, 0}, {255, 255, 255, 255}, {0, 0}};
            q.tr = {{x2, y2, 0}, {255, 255, 255, 255}, {1, 0}};
        }
        glClear(GL_COLOR_BUFFER_BIT);
        glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * quads.size()), quads.data());
        glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_SHORT, nullptr);
        glFinish();
        ++frame;
    }
    glDeleteBuffers(2, buffers);
    gxGLCacheReset();
}
BENCHMARK(BM_PlainLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
