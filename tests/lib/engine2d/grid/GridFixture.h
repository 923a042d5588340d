#pragma once
// A director showing a GL view of a given size in a headless window, for
// tests of grids: grids take their texture size from the director's window.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxGLView.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/shell/Driver.h"
#include "tests/support/RequireGL.h"

namespace engine2d::testing_grid {

using Px = std::array<uint8_t, 4>;

class GridTest : public testing::Test {
protected:
    void TearDown() override {
        auto& d = GxDirector::sharedDirector();
        d.end();
        d.setContentScaleFactor(1);
        d.setProjection(kGxDirectorProjection3D);
        view_.reset();
        driver_.reset();
        GxTextureCache::purgeSharedTextureCache();
        gl::Context::clearCurrent();
    }

    // A w x h point view at scale 1 attached to the director.
    bool show(int w, int h, int projection = kGxDirectorProjection2D, const char* pixelFormat = kGxColorFormatRGBA8) {
        driver_ = std::make_unique<shell::Driver>(ui::Size{320, 480}, 1);
        view_ = GxGLView::viewWithFrame({0, 0, double(w), double(h)}, pixelFormat);
        if (!view_) return false;
        driver_->window().addSubview(view_);
        auto& d = GxDirector::sharedDirector();
        d.setView(view_);
        d.setProjection(projection);
        gl::ClearColor(0, 0, 0, 0);
        driver_->settle();
        return true;
    }

    std::vector<Px> frame() const {
        std::vector<Px> out;
        auto s = view_->surfaceSize();
        for (int y = 0; y < int(s.height); ++y)
            for (int x = 0; x < int(s.width); ++x) out.push_back(view_->presentedPixel(x, y));
        return out;
    }

    // A w x h sprite in four colours: red bottom left, green bottom right,
    // blue top left, white top right (as it shows on screen).
    static std::shared_ptr<GxSprite> quadrantSprite(unsigned w, unsigned h) {
        std::vector<Px> px(size_t(w) * h);
        // Texture rows run top-down.
        for (unsigned y = 0; y < h; ++y)
            for (unsigned x = 0; x < w; ++x) {
                bool top = y < h / 2, right = x >= w / 2;
                px[size_t(y) * w + x] = top ? (right ? Px{255, 255, 255, 255} : Px{0, 0, 255, 255})
                                            : (right ? Px{0, 255, 0, 255} : Px{255, 0, 0, 255});
            }
        auto t =
            GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, w, h, Size{float(w), float(h)});
        t->setAliasTexParameters();
        return GxSprite::spriteWithTexture(t);
    }

    std::unique_ptr<shell::Driver> driver_;
    std::shared_ptr<GxGLView> view_;
};

}  // namespace engine2d::testing_grid
