// 2,000 sprites of one texture drawn through a batch node, against the same
// quads drawn by a hand-written GLES loop (one buffer, one draw call).
// Like for like: both sides draw the same sprites of the same non-uniform,
// partly transparent texture with the same blend function, both set their
// GL state every frame, every frame moves every sprite so both rebuild and
// upload their quads, and the two run alternately, frame by frame, in one
// process. Before and after the timed frames both sides draw the same frame
// and their read-backs must agree within 2 per channel.
//
// Reported: medians of the per-frame times of each side, wall (with
// glFinish: the software renderer's fill inside) and the main thread's CPU,
// and the ratios engine / plain.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/engine2d/SideBySide.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/sprites/GxSpriteBatchNode.h"
#include "lib/engine2d/textures/GxTexture2D.h"

using namespace engine2d;
using namespace engine2d::bench;

namespace {

constexpr int kSprites = 2000;
constexpr int kW = 640, kH = 960;

// 32 x 32: colour ramps across and down, a transparent corner, so a wrong
// texture coordinate, orientation or blend shows in the read-back.
std::shared_ptr<GxTexture2D> patternTexture() {
    std::vector<uint8_t> px(32 * 32 * 4);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t* p = &px[size_t(y * 32 + x) * 4];
            p[0] = uint8_t(x * 8);
            p[1] = uint8_t(y * 8);
            p[2] = uint8_t(255 - x * 4 - y * 3);
            p[3] = (x < 8 && y < 8) ? 0 : uint8_t(128 + x * 4);
        }
    return GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, 32, 32, Size{32, 32});
}

Point place(int i, int frame) {
    float t = float(frame) * 0.01f + float(i);
    return {320 + 280 * std::sin(t * 0.37f), 480 + 440 * std::cos(t * 0.23f)};
}

// The hand-written side: its own buffers, all of its state set each frame.
struct PlainSprites {
    std::shared_ptr<GxGLProgram> program;
    GLuint texture = 0;
    gxBlendFunc blend{};
    std::vector<gxV3F_C4B_T2F_Quad> quads = std::vector<gxV3F_C4B_T2F_Quad>(kSprites);
    std::vector<uint16_t> indices = std::vector<uint16_t>(size_t(kSprites) * 6);
    GLuint buffers[2] = {0, 0};

    PlainSprites(GLuint tex, gxBlendFunc b) : texture(tex), blend(b) {
        program = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
        for (int i = 0; i < kSprites; ++i) {
            uint16_t v = uint16_t(i * 4);
            uint16_t* p = &indices[size_t(i) * 6];
            p[0] = v, p[1] = uint16_t(v + 1), p[2] = uint16_t(v + 2), p[3] = uint16_t(v + 3), p[4] = uint16_t(v + 2),
            p[5] = uint16_t(v + 1);
        }
        glGenBuffers(2, buffers);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * quads.size()), nullptr, GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 2), indices.data(), GL_STATIC_DRAW);
    }
    ~PlainSprites() { glDeleteBuffers(2, buffers); }

    void frame(int frame) {
        for (int i = 0; i < kSprites; ++i) {
            Point p = place(i, frame);
            float x1 = p.x - 16, y1 = p.y - 16, x2 = p.x + 16, y2 = p.y + 16;
            auto& q = quads[size_t(i)];
            q.bl = {{x1, y1, 0}, {255, 255, 255, 255}, {0, 1}};
            q.br = {{x2, y1, 0}, {255, 255, 255, 255}, {1, 1}};
            q.tl = {{x1, y2, 0}, {255, 255, 255, 255}, {0, 0}};
            q.tr = {{x2, y2, 0}, {255, 255, 255, 255}, {1, 0}};
        }
        glUseProgram(program->program());
        program->setUniformForModelViewProjectionMatrix();
        glEnable(GL_BLEND);
        glBlendFunc(blend.src, blend.dst);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        for (GLuint a : {0u, 1u, 2u}) glEnableVertexAttribArray(a);
        const GLsizei stride = sizeof(gxV3F_C4B_T2F);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
        glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(12));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(16));
        glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * quads.size()), quads.data());
        glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_SHORT, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
};

void BM_SpritesSideBySide(benchmark::State& state) {
    Target target;
    if (!target.setUp(kW, kH)) {
        state.SkipWithError("no GL context");
        return;
    }
    auto texture = patternTexture();
    auto batch = GxSpriteBatchNode::batchNodeWithTexture(texture, kSprites);
    std::vector<std::shared_ptr<GxSprite>> sprites;
    for (int i = 0; i < kSprites; ++i) {
        auto s = GxSprite::spriteWithTexture(texture);
        batch->addChild(s, 0);
        sprites.push_back(s);
    }
    PlainSprites plain(texture->name(), batch->blendFunc());
    auto engineFrame = [&](int frame) {
        for (int i = 0; i < kSprites; ++i) sprites[size_t(i)]->setPosition(place(i, frame));
        glClearColor(0.1f, 0.2f, 0.3f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        batch->visit();
        glFinish();
    };
    auto plainFrame = [&](int frame) {
        glClearColor(0.1f, 0.2f, 0.3f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        plain.frame(frame);
        glFinish();
    };
    glClearColor(0.1f, 0.2f, 0.3f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const auto cleared = target.readBack();
    int worst = 0;
    size_t drawn = 0;
    auto compare = [&](int frame) {
        engineFrame(frame);
        auto a = target.readBack();
        plainFrame(frame);
        target.forgetState();
        auto b = target.readBack();
        worst = std::max(worst, maxChannelDifference(a, b));
        // Pixels that are not the clear colour: the sprites are really there.
        drawn = 0;
        for (size_t i = 0; i < a.size(); i += 4)
            if (a[i] != cleared[i] || a[i + 1] != cleared[i + 1] || a[i + 2] != cleared[i + 2]) ++drawn;
    };
    compare(0);
    SideBySide times;
    int frame = 1;
    for (auto _ : state) {
        FrameTime e = timeFrame([&] { engineFrame(frame); });
        FrameTime p = timeFrame([&] { plainFrame(frame); });
        target.forgetState();  // outside the time: the engine's side sets its state itself
        times.add(e, p);
        ++frame;
    }
    compare(frame);
    if (worst > 2) state.SkipWithError("the two sides drew different pixels");
    if (drawn < 1000) state.SkipWithError("too few sprite pixels in the read-back");
    const double ew = median(times.engineWall), pw = median(times.plainWall);
    const double ec = median(times.engineCpu), pc = median(times.plainCpu);
    state.counters["engine_wall_ms"] = ew * 1e3;
    state.counters["plain_wall_ms"] = pw * 1e3;
    state.counters["wall_ratio"] = pw > 0 ? ew / pw : 0;
    state.counters["engine_cpu_ms"] = ec * 1e3;
    state.counters["plain_cpu_ms"] = pc * 1e3;
    state.counters["cpu_ratio"] = pc > 0 ? ec / pc : 0;
    state.counters["max_channel_diff"] = worst;
    state.counters["sprite_pixels"] = double(drawn);
}
BENCHMARK(BM_SpritesSideBySide)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
