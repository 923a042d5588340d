#include <gtest/gtest.h>

#include "lib/engine2d/gles/GxConfiguration.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/rendertexture/GxRenderTexture.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Image.h"
#include "tests/support/engine2d/GLFixture.h"

using namespace engine2d;
using engine2d::testing_gl::Px;

namespace {

class RenderTexture : public engine2d::testing_gl::GLTest {
protected:
    void TearDown() override {
        GxConfiguration::sharedConfiguration().setSupportsNPOT(true);
        GLTest::TearDown();
    }
};

std::shared_ptr<GxSprite> solidSprite(unsigned w, unsigned h, Px c) {
    std::vector<Px> px(size_t(w) * h, c);
    auto t = GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, w, h, Size{float(w), float(h)});
    return GxSprite::spriteWithTexture(t);
}

TEST_F(RenderTexture, SizeFollowsTheContentScaleAndPowerOfTwoRule) {
    REQUIRE_GL();
    GxConfiguration::sharedConfiguration().setSupportsNPOT(false);
    GxEnvironment::shared().contentScaleFactor = 2;
    auto rt = GxRenderTexture::renderTextureWithWidth(100, 100);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(rt->texture()->pixelsWide(), 256u);
    EXPECT_EQ(rt->texture()->pixelsHigh(), 256u);
    EXPECT_EQ(rt->texture()->contentSizeInPixels().width, 200);
    EXPECT_EQ(rt->texture()->contentSizeInPixels().height, 200);
    EXPECT_EQ(rt->sprite()->scaleY(), -1);
    EXPECT_EQ(GxRenderTexture::renderTextureWithWidth(0, 10), nullptr);
}

TEST_F(RenderTexture, DrawsIntoItsTextureAndReadsBackTopRowFirst) {
    REQUIRE_GL();
    target(64, 48);
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    auto rt = GxRenderTexture::renderTextureWithWidth(64, 48);
    ASSERT_NE(rt, nullptr);
    // A red block in the bottom left corner of a blue texture.
    auto red = solidSprite(16, 8, Px{255, 0, 0, 255});
    red->setAnchorPoint(Point{0, 0});
    rt->beginWithClear(0, 0, 1, 1);
    red->visit();
    rt->end();
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.25f);  // the caller's clear colour is kept
    EXPECT_EQ(clear[2], 0.75f);

    auto img = rt->newImage();
    ASSERT_NE(img, nullptr);
    ASSERT_EQ(img->pixelWidth(), 64);
    ASSERT_EQ(img->pixelHeight(), 48);
    auto rgba = img->rgbaPixels();
    auto px = [&](int x, int y) {
        const uint8_t* p = &rgba[(size_t(y) * 64 + size_t(x)) * 4];
        return Px{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(px(2, 47), (Px{255, 0, 0, 255}));  // bottom rows come last
    EXPECT_EQ(px(2, 0), (Px{0, 0, 255, 255}));
    EXPECT_EQ(px(20, 47), (Px{0, 0, 255, 255}));

    // The node shows its texture upright in the window.
    rt->setPosition(Point{32, 24});
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glClear(GL_COLOR_BUFFER_BIT);
    rt->visit();
    EXPECT_EQ(at(2, 2), (Px{255, 0, 0, 255}));
    EXPECT_EQ(at(2, 40), (Px{0, 0, 255, 255}));

    // Saved as PNG it decodes to the same pixels; JPEG comes close; other
    // formats write nothing.
    ASSERT_TRUE(rt->saveToFile("shot.png", kGxImageFormatPNG));
    auto png = ui::Image::fromFile(foundation::documentsDir() + "/shot.png");
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(png->rgbaPixels(), rgba);
    ASSERT_TRUE(rt->saveToFile("shot.jpg"));
    auto jpg = ui::Image::fromFile(foundation::documentsDir() + "/shot.jpg");
    ASSERT_NE(jpg, nullptr);
    EXPECT_EQ(jpg->pixelWidth(), 64);
    auto j = jpg->pixel(2, 47);
    EXPECT_GT(j.r, 230);
    EXPECT_LT(j.b, 30);
    EXPECT_FALSE(rt->saveToFile("shot.bmp", 2));
    EXPECT_FALSE(foundation::fileExists(foundation::documentsDir() + "/shot.bmp"));
}

}  // namespace

namespace {

TEST_F(RenderTexture, SizesNoTextureMayHaveAreRefusedBeforeAnythingIsAllocated) {
    REQUIRE_GL();
    const uint64_t calls = gl::callCount(gl::Call::GenTextures) + gl::callCount(gl::Call::GenFramebuffers);
    const struct {
        int w, h;
        float scale;
    } cases[] = {
        {2147483647, 1, 1},  // 8 GiB of zeros before
        {100000, 100000, 1}, {20000, 1, 1},
        {8192, 4096, 1},     // within the GL's sides, but 128 MiB: over what a texture may take
        {10000, 10, 1e30f},  // the scale takes it past every integer
    };
    for (const auto& c : cases) {
        GxEnvironment::shared().contentScaleFactor = c.scale;
        EXPECT_EQ(GxRenderTexture::renderTextureWithWidth(c.w, c.h), nullptr) << c.w << " x " << c.h;
    }
    GxEnvironment::shared().contentScaleFactor = 1;
    EXPECT_EQ(gl::callCount(gl::Call::GenTextures) + gl::callCount(gl::Call::GenFramebuffers), calls);
    auto fits = GxRenderTexture::renderTextureWithWidth(2048, 16);
    ASSERT_NE(fits, nullptr);
    EXPECT_EQ(fits->texture()->pixelsWide(), 2048u);
}

}  // namespace
