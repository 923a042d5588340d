// Draws a turned sprite twice, by a GL view without samples and by one with
// as many as the GL allows, and writes both frames magnified six times side
// by side with captions: multisampling_picture <out.png>
// (docs/engine-multisampling.png)
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <string>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxLayerColor.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/gl/GL.h"
#include "platform/shell/Driver.h"
#include "tools/picture/Picture.h"

using namespace engine2d;

namespace {

constexpr int kSize = 48, kZoom = 6, kCaption = 40;

// A card of two colours in stripes, so the texture's own edges show too.
ui::ImageRef cardPicture() {
    auto img = ui::Image::create(32, 32);
    cairo_t* cr = cairo_create(img->surface());
    for (int i = 0; i < 4; ++i) {
        if (i % 2)
            cairo_set_source_rgb(cr, 0.95, 0.75, 0.2);
        else
            cairo_set_source_rgb(cr, 0.85, 0.2, 0.2);
        cairo_rectangle(cr, 0, i * 8, 32, 8);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    return img;
}

// One frame of the turned card by a view made with these settings; the
// presented pixels, top row first.
bool drawCard(shell::Driver& driver, bool multiSampling, cairo_surface_t* out, int* samples) {
    auto view =
        GxGLView::viewWithFrame({0, 0, kSize, kSize}, kGxColorFormatRGBA8, 0, false, nullptr, multiSampling, 64);
    if (!view) return false;
    driver.window().addSubview(view);
    auto& director = GxDirector::sharedDirector();
    director.setView(view);
    director.setProjection(kGxDirectorProjection2D);
    driver.settle();
    auto scene = GxScene::node();
    scene->addChild(GxLayerColor::layerWithColor({24, 28, 40, 255}));
    auto texture = GxTextureCache::sharedTextureCache().addCGImage(cardPicture(), "card");
    auto card = GxSprite::spriteWithTexture(texture);
    if (!card) return false;
    card->setPosition({kSize / 2.0f, kSize / 2.0f});
    card->setRotation(22);
    scene->addChild(card);
    director.runWithScene(scene);
    director.drawScene();
    *samples = int(view->samplesToUse());
    cairo_surface_flush(out);
    unsigned char* data = cairo_image_surface_get_data(out);
    int stride = cairo_image_surface_get_stride(out);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            auto p = view->presentedPixel(x, y);
            auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
            row[x] = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        }
    cairo_surface_mark_dirty(out);
    view->removeFromSuperview();
    director.end();
    return true;
}

void caption(cairo_t* cr, const std::string& text, double x, double y) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("Sans 13");
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text.c_str(), -1);
    cairo_move_to(cr, x, y);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.12);
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(font);
    g_object_unref(layout);
}

}  // namespace

int main(int argc, char** argv) {
    if (auto status = picture::start(argc, argv)) return *status;
    shell::Driver driver({320, 480}, 1);
    cairo_surface_t* frames[2] = {cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize),
                                  cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize)};
    int samples[2] = {0, 0};
    if (!drawCard(driver, false, frames[0], &samples[0]) || !drawCard(driver, true, frames[1], &samples[1])) {
        std::fprintf(stderr, "cannot draw the card\n");
        return 1;
    }
    const int gap = 16, w = 2 * kSize * kZoom + 3 * gap, h = kSize * kZoom + kCaption + 2 * gap;
    cairo_surface_t* page = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(page);
    cairo_set_source_rgb(cr, 0.96, 0.95, 0.92);
    cairo_paint(cr);
    for (int i = 0; i < 2; ++i) {
        double x = gap + i * (kSize * kZoom + gap);
        cairo_save(cr);
        cairo_translate(cr, x, gap);
        cairo_scale(cr, kZoom, kZoom);
        cairo_set_source_surface(cr, frames[i], 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        cairo_restore(cr);
        std::string text =
            i == 0 ? "不采样：边缘呈锯齿" : "多重采样（" + std::to_string(samples[1]) + " 个样本）：边缘平滑";
        caption(cr, text, x, gap + kSize * kZoom + 8);
    }
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png(page, argv[1]) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(page);
    cairo_surface_destroy(frames[0]);
    cairo_surface_destroy(frames[1]);
    if (!ok) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
