// 2,000 sprites of one texture drawn through a batch node, against the same
// quads drawn by a hand-written GLES loop (one buffer, one draw call).
// Like for like: both sides draw the same sprites of the same non-uniform,
// partly transparent texture with the same blend, both set their GL state
// every frame, every frame moves every sprite so both rebuild their quads
// and hand them to the GL from memory, and the two run alternately, frame
// by frame, in one process. Before and after the timed frames both sides draw the same frame
// and their read-backs must agree within 2 per channel.
//
// Reported: medians of the per-frame times of each side, wall (with
// glFinish: the software renderer's fill inside), the process's CPU (every
// thread) and the main thread's CPU, and the medians of the frame pairs'
// ratios engine / plain.
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

Point place(int i, int frame) {
    float t = float(frame) * 0.01f + float(i);
    return {320 + 280 * std::sin(t * 0.37f), 480 + 440 * std::cos(t * 0.23f)};
}

// The hand-written side: every sprite's quad written into one array and
// drawn from memory in one call, as the batch's atlas draws quads that
// change every frame.
struct PlainSprites {
    PlainQuads gl;
    PlainSprites(GLuint tex, gxBlendFunc b) : gl(kSprites, tex, b, PlainQuads::Road::FromMemory) {}

    void frame(int frame) {
        for (int i = 0; i < kSprites; ++i) {
            Point p = place(i, frame);
            float x1 = p.x - 16, y1 = p.y - 16, x2 = p.x + 16, y2 = p.y + 16;
            auto& q = gl.quads[size_t(i)];
            q.bl = {{x1, y1, 0}, {255, 255, 255, 255}, {0, 1}};
            q.br = {{x2, y1, 0}, {255, 255, 255, 255}, {1, 1}};
            q.tl = {{x1, y2, 0}, {255, 255, 255, 255}, {0, 0}};
            q.tr = {{x2, y2, 0}, {255, 255, 255, 255}, {1, 0}};
        }
        gl.draw();
    }
};

void BM_SpritesSideBySide(benchmark::State& state) {
    Target target;
    if (!target.setUp(kW, kH)) {
        state.SkipWithError("no GL context");
        return;
    }
    auto texture = patternTexture(32);
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
    Interleaved run = interleave(state, target, engineFrame, plainFrame);
    // Pixels that are not the clear colour: the sprites are really there.
    size_t drawn = 0;
    const auto& a = run.engineDrawn;
    for (size_t i = 0; i < a.size(); i += 4)
        if (a[i] != cleared[i] || a[i + 1] != cleared[i + 1] || a[i + 2] != cleared[i + 2]) ++drawn;
    if (drawn < 1000) state.SkipWithError("too few sprite pixels in the read-back");
    report(state, run, "engine", "plain");
    state.counters["sprite_pixels"] = double(drawn);
}
BENCHMARK(BM_SpritesSideBySide)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
