// 100 bitmap-font labels of 16 characters whose text changes every frame,
// drawn, against a hand-written GLES2 batch of the same glyph quads: each
// frame it looks every character up in the font description, writes its
// quad (place and texture rectangle) into one array and draws them all in
// one call. Both sides draw the same pixels (the read-backs must agree
// within 2 per channel), set their state every frame and run alternately,
// frame by frame, in one process.
//
// Reported: medians of the per-frame CPU time, of the whole process (every
// thread, the software renderer's included: both frames end in glFinish)
// and of the main thread, of the wall time, and the ratios labels / plain.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/engine2d/SideBySide.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/labels/GxLabelBMFont.h"
#include "lib/engine2d/textures/GxTextureCache.h"

using namespace engine2d;
using namespace engine2d::bench;

namespace {

constexpr int kLabels = 100, kChars = 16;
constexpr int kW = 640, kH = 960;
const char kGlyphs[] = "0123456789ABCDEF";

// A font of the 16 glyphs above, 12 x 20 cells in one row, each glyph a
// block of its own shade, advance 12, line height 20.
std::string writeFont(const std::string& dir) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 16 * 12, 20);
    cairo_t* cr = cairo_create(s);
    for (int i = 0; i < 16; ++i) {
        cairo_set_source_rgba(cr, 0.3 + i * 0.04, 1 - i * 0.05, 0.5, 0.6 + i * 0.025);
        cairo_rectangle(cr, i * 12 + 1, 2 + i % 5, 10, 16 - i % 5);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, (dir + "/bench.png").c_str());
    cairo_surface_destroy(s);
    std::string fnt =
        "info face=\"Bench\" size=20\ncommon lineHeight=20 base=16 scaleW=192 scaleH=20 pages=1\n"
        "page id=0 file=\"bench.png\"\nchars count=16\n";
    for (int i = 0; i < 16; ++i) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "char id=%d x=%d y=0 width=12 height=20 xoffset=0 yoffset=0 xadvance=12 page=0 chnl=0\n",
                      int(kGlyphs[i]), i * 12);
        fnt += line;
    }
    std::ofstream(dir + "/bench.fnt") << fnt;
    return "bench.fnt";
}

std::string textOf(int label, int frame) {
    std::string s(kChars, '0');
    unsigned v = unsigned(label * 2654435761u + unsigned(frame) * 40503u);
    for (int i = 0; i < kChars; ++i) {
        s[size_t(i)] = kGlyphs[v % 16];
        v = v * 1103515245u + 12345u;
    }
    return s;
}

Point labelPlace(int label) { return {20.0f + float(label % 3) * 200, 20.0f + float(label / 3) * 28}; }

void BM_LabelsSideBySide(benchmark::State& state) {
    Target target;
    if (!target.setUp(kW, kH)) {
        state.SkipWithError("no GL context");
        return;
    }
    std::string dir = std::filesystem::temp_directory_path() / "quenta-bench-labels";
    std::filesystem::create_directories(dir);
    GxFileUtils::sharedFileUtils().setBundleDir(dir);
    std::string fnt = writeFont(dir);

    std::vector<std::shared_ptr<GxLabelBMFont>> labels;
    for (int i = 0; i < kLabels; ++i) {
        auto l = GxLabelBMFont::labelWithString(textOf(i, 0), fnt);
        if (!l) {
            state.SkipWithError("the font does not load");
            return;
        }
        l->setAnchorPoint({0, 0});
        l->setPosition(labelPlace(i));
        labels.push_back(l);
    }
    // The hand-written side: the glyph rectangles straight from the description.
    auto config = FNTConfigurationForFile(fnt);
    auto texture = labels[0]->texture();
    const float texW = float(texture->pixelsWide()), texH = float(texture->pixelsHigh());
    PlainQuads plain(size_t(kLabels * kChars), texture->name(), labels[0]->blendFunc(), PlainQuads::Road::FromMemory);
    auto labelFrame = [&](int frame) {
        for (int i = 0; i < kLabels; ++i) labels[size_t(i)]->setString(textOf(i, frame));
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        for (auto& l : labels) l->visit();
        glFinish();
    };
    auto plainFrame = [&](int frame) {
        const gxColor4B white{255, 255, 255, 255};
        for (int i = 0; i < kLabels; ++i) {
            std::string text = textOf(i, frame);
            const Point at = labelPlace(i);
            float x = 0;
            for (int c = 0; c < kChars; ++c) {
                const GxBMFontDef* d = config->fontDef(unsigned(uint8_t(text[size_t(c)])));
                const float w = d->rect.size.width, h = d->rect.size.height;
                const float x1 = at.x + x + float(d->xOffset), y2 = at.y + 20.0f - float(d->yOffset);
                const float x2 = x1 + w, y1 = y2 - h;
                const float left = d->rect.origin.x / texW, right = (d->rect.origin.x + w) / texW;
                const float top = d->rect.origin.y / texH, bottom = (d->rect.origin.y + h) / texH;
                auto& q = plain.quads[size_t(i * kChars + c)];
                q.bl = {{x1, y1, 0}, white, {left, bottom}};
                q.br = {{x2, y1, 0}, white, {right, bottom}};
                q.tl = {{x1, y2, 0}, white, {left, top}};
                q.tr = {{x2, y2, 0}, white, {right, top}};
                x += float(d->xAdvance);
            }
        }
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        plain.draw();
        glFinish();
    };
    Interleaved run = interleave(state, target, labelFrame, plainFrame);
    report(state, run, "labels", "plain");
    labels.clear();
    GxLabelBMFont::purgeCachedData();
    GxTextureCache::purgeSharedTextureCache();
    GxFileUtils::sharedFileUtils().setBundleDir("");
}
BENCHMARK(BM_LabelsSideBySide)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace

BENCHMARK_MAIN();
