#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxGLView.h"
#include "lib/engine2d/director/GxLayerColor.h"
#include "lib/engine2d/gles/GxConfiguration.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Accelerometer.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Screen.h"
#include "tests/support/RequireGL.h"
#include "tests/support/TestSupport.h"

using namespace engine2d;
using Px = std::array<uint8_t, 4>;

namespace {

class Engine : public testing::Test {
protected:
    void TearDown() override {
        auto& d = GxDirector::sharedDirector();
        d.end();
        d.setContentScaleFactor(1);
        d.setProjection(kGxDirectorProjection3D);
        GxDirector::setStatsLabelMaker(nullptr);
        gl::Context::clearCurrent();
    }

    // A GL view of the size in points inside the driver's window, attached
    // to the director, showing a scene built by `fill`.
    std::shared_ptr<GxGLView> show(shell::Driver& driver, ui::Rect frame, int projection = kGxDirectorProjection2D) {
        auto view = GxGLView::viewWithFrame(frame, kGxColorFormatRGBA8);
        EXPECT_NE(view, nullptr);
        if (!view) return nullptr;
        driver.window().addSubview(view);
        auto& d = GxDirector::sharedDirector();
        d.setView(view);
        d.setProjection(projection);
        gl::ClearColor(0, 0, 0, 0);
        return view;
    }
};

TEST_F(Engine, EveryBuiltInProgramLinksWithTheFixedAttributeSlots) {
    REQUIRE_GL();
    auto ctx = gl::Context::create();
    ASSERT_TRUE(ctx && ctx->makeCurrent());
    GxShaderCache cache;
    cache.loadDefaultShaders();
    struct Slots {
        const char* key;
        int position, color, texCoord;
    };
    const Slots all[] = {
        {kGxShaderPositionTextureColor, 0, 1, 2},    {kGxShaderPositionTextureColorAlphaTest, 0, 1, 2},
        {kGxShaderPositionColor, 0, 1, -1},          {kGxShaderPositionTexture, 0, -1, 2},
        {kGxShaderPositionTexture_uColor, 0, -1, 2}, {kGxShaderPositionTextureA8Color, 0, 1, 2},
        {kGxShaderPosition_uColor, 0, -1, -1},
    };
    for (const Slots& s : all) {
        auto p = cache.programForKey(s.key);
        ASSERT_NE(p, nullptr) << s.key;
        GLint linked = 0;
        gl::GetProgramiv(p->program(), GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, 1) << s.key << ": " << p->programLog();
        EXPECT_TRUE(p->vertexCompiled() && p->fragmentCompiled())
            << s.key << p->vertexShaderLog() << p->fragmentShaderLog();
        EXPECT_EQ(gl::GetAttribLocation(p->program(), "a_position"), s.position) << s.key;
        EXPECT_EQ(gl::GetAttribLocation(p->program(), "a_color"), s.color) << s.key;
        EXPECT_EQ(gl::GetAttribLocation(p->program(), "a_texCoord"), s.texCoord) << s.key;
        EXPECT_GE(p->uniformMVPMatrix(), 0) << s.key;
    }
    EXPECT_EQ(cache.programForKey("NoSuchProgram"), nullptr);
    // A program that does not compile says so instead of linking silently.
    GxGLProgram broken("void main() { this is not glsl }", nullptr);
    EXPECT_FALSE(broken.vertexCompiled());
    EXPECT_FALSE(broken.vertexShaderLog().empty());
    EXPECT_FALSE(broken.link());
}

TEST_F(Engine, TheUniformCacheSkipsARepeatedMatrixAndTheStateCacheSkipsRepeatedState) {
    REQUIRE_GL();
    auto ctx = gl::Context::create();
    ASSERT_TRUE(ctx && ctx->makeCurrent());
    gxGLCacheReset();
    GxShaderCache cache;
    cache.loadDefaultShaders();
    auto p = cache.programForKey(kGxShaderPositionColor);
    p->use();
    mxMat4 m;
    mxMat4SetIdentity(&m);
    uint64_t sent = gl::callCount(gl::Call::UniformMatrix4fv);
    p->setUniformLocationMatrix4fv(p->uniformMVPMatrix(), m.mat, 1);
    p->setUniformLocationMatrix4fv(p->uniformMVPMatrix(), m.mat, 1);
    EXPECT_EQ(gl::callCount(gl::Call::UniformMatrix4fv) - sent, 1u);
    m.mat[13] = 0.5f;
    p->setUniformLocationMatrix4fv(p->uniformMVPMatrix(), m.mat, 1);
    EXPECT_EQ(gl::callCount(gl::Call::UniformMatrix4fv) - sent, 2u);

    struct Step {
        const char* what;
        std::function<void()> call;
        gl::Call counted;
        uint64_t calls;
    };
    GLuint tex = 0;
    gl::GenTextures(1, &tex);
    const Step steps[] = {
        {"same program again", [&] { p->use(); }, gl::Call::UseProgram, 0},
        {"first bind", [&] { gxGLCacheBindTexture(tex); }, gl::Call::BindTexture, 1},
        {"same bind", [&] { gxGLCacheBindTexture(tex); }, gl::Call::BindTexture, 0},
        {"delete", [&] { gxGLCacheDeleteTexture(tex); }, gl::Call::DeleteTextures, 1},
        {"bind after delete", [&] { gxGLCacheBindTexture(tex); }, gl::Call::BindTexture, 1},
        {"blend on", [] { gxGLCacheEnable(kGxGLServerStateBlend); }, gl::Call::Enable, 1},
        {"blend off", [] { gxGLCacheEnable(0); }, gl::Call::Disable, 1},
        {"blend off again", [] { gxGLCacheEnable(0); }, gl::Call::Disable, 0},
        {"three attributes", [] { gxGLCacheEnableAttribs(1 | 2 | 4); }, gl::Call::EnableVertexAttribArray, 3},
        {"drop colour", [] { gxGLCacheEnableAttribs(1 | 4); }, gl::Call::DisableVertexAttribArray, 1},
        {"same blend func",
         [] {
             gxGLCacheBlendFunc(GL_ONE, GL_ZERO);
             gxGLCacheBlendFunc(GL_ONE, GL_ZERO);
         },
         gl::Call::BlendFuncSeparate, 1},
    };
    for (const Step& s : steps) {
        uint64_t before = gl::callCount(s.counted);
        s.call();
        EXPECT_EQ(gl::callCount(s.counted) - before, s.calls) << s.what;
    }
    // Another context has its own cache: the same program name is not "already in use" there.
    auto other = gl::Context::create(ctx);
    ASSERT_TRUE(other && other->makeCurrent());
    uint64_t before = gl::callCount(gl::Call::UseProgram);
    gxGLCacheUseProgram(p->program());
    EXPECT_EQ(gl::callCount(gl::Call::UseProgram) - before, 1u);
    ctx->makeCurrent();
}

TEST_F(Engine, AFrameClearedToAColourIsPresentedAsThoseExactPixels) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 1);
    auto view = show(driver, {0, 0, 32, 32});
    ASSERT_TRUE(view);
    driver.settle();  // layout: storage, then a first frame
    ASSERT_EQ(view->surfaceSize(), (ui::Size{32, 32}));
    gl::ClearColor(1, 0.5f, 0, 1);
    GxDirector::sharedDirector().drawScene();
    EXPECT_EQ(view->presentedPixel(0, 0), (Px{255, 128, 0, 255}));
    EXPECT_EQ(view->presentedPixel(31, 31), (Px{255, 128, 0, 255}));
    EXPECT_FALSE(GxDirector::sharedDirector().enableRetinaDisplay(true)) << "a scale-1 screen has no scale 2";
    EXPECT_EQ(GxDirector::sharedDirector().contentScaleFactor(), 1);
    EXPECT_EQ(view->surfaceSize(), (ui::Size{32, 32}));
    auto contents = view->layer().contents();
    ASSERT_NE(contents, nullptr);
    EXPECT_EQ(contents->pixelWidth(), 32);
    EXPECT_EQ(contents->pixel(16, 16), (ui::Rgba{255, 128, 0, 255}));
}

TEST_F(Engine, AFrameEqualToTheShownOneLeavesTheLayerAndTheWindowAlone) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 1);
    auto view = show(driver, {0, 0, 32, 32});
    ASSERT_TRUE(view);
    driver.settle();
    auto& d = GxDirector::sharedDirector();
    auto scene = GxScene::node();
    auto square = GxLayerColor::layerWithColor({255, 0, 0, 255}, 8, 8);
    scene->addChild(square);
    d.runWithScene(scene);
    d.drawScene();
    const int presented = view->framesPresented(), handed = view->framesHandedOver();
    const ui::ImageRef first = view->layer().contents();
    ASSERT_NE(first, nullptr);
    ui::takeLayerTreeChanged();

    // The same picture again: the layer keeps its contents and nothing in
    // the window asks to be drawn.
    d.drawScene();
    EXPECT_EQ(view->framesPresented(), presented + 1);
    EXPECT_EQ(view->framesHandedOver(), handed);
    EXPECT_EQ(view->layer().contents(), first);
    EXPECT_FALSE(ui::takeLayerTreeChanged());

    // One pixel moved is a new picture, shown.
    square->setPosition({1, 0});
    d.drawScene();
    EXPECT_EQ(view->framesHandedOver(), handed + 1);
    EXPECT_TRUE(ui::takeLayerTreeChanged());
    const ui::ImageRef second = view->layer().contents();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->pixel(8, 31), (ui::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(second->pixel(0, 31), (ui::Rgba{0, 0, 0, 0}));
    EXPECT_EQ(view->presentedPixel(8, 31), (Px{255, 0, 0, 255}));

    // And back where it was: the picture before this one, shown again.
    square->setPosition({0, 0});
    d.drawScene();
    EXPECT_EQ(view->framesHandedOver(), handed + 2);
    EXPECT_EQ(view->layer().contents()->pixel(0, 31), (ui::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(view->layer().contents()->pixel(8, 31), (ui::Rgba{0, 0, 0, 0}));
}

TEST_F(Engine, AColourLayerFillsItsViewExactlyInBothProjections) {
    REQUIRE_GL();
    for (int projection : {kGxDirectorProjection2D, kGxDirectorProjection3D}) {
        shell::Driver driver({320, 480}, 1);
        auto view = show(driver, {0, 0, 32, 32}, projection);
        ASSERT_TRUE(view);
        driver.settle();
        auto scene = GxScene::node();
        scene->addChild(GxLayerColor::layerWithColor({255, 0, 0, 255}));
        auto half = GxLayerColor::layerWithColor({0, 0, 255, 255}, 16, 32);
        scene->addChild(half);
        auto& d = GxDirector::sharedDirector();
        d.runWithScene(scene);
        unsigned draws = GxEnvironment::shared().drawCounter;
        d.drawScene();
        int red = 0, blue = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                Px p = view->presentedPixel(x, y);
                if (p == Px{255, 0, 0, 255} && x >= 16) ++red;
                if (p == Px{0, 0, 255, 255} && x < 16) ++blue;
            }
        EXPECT_EQ(red, 16 * 32) << "projection " << projection;
        EXPECT_EQ(blue, 16 * 32) << "projection " << projection;
        EXPECT_EQ(GxEnvironment::shared().drawCounter - draws, 2u) << "one draw call per layer";
        d.end();
    }
}

TEST_F(Engine, AtScaleTwoTheRenderbufferHasTwiceThePointsAfterLayout) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 2);
    auto view = show(driver, {0, 0, 32, 48});
    ASSERT_TRUE(view);
    driver.settle();
    EXPECT_EQ(view->surfaceSize(), (ui::Size{32, 48}));
    auto& d = GxDirector::sharedDirector();
    EXPECT_TRUE(d.enableRetinaDisplay(true));
    EXPECT_TRUE(d.enableRetinaDisplay(true)) << "the second request holds at once";
    EXPECT_TRUE(view->needsLayout()) << "a new scale asks for new storage";
    driver.settle();
    EXPECT_EQ(view->surfaceSize(), (ui::Size{64, 96}));
    EXPECT_EQ(view->renderer()->backingWidth(), 64);
    EXPECT_EQ(view->renderer()->backingHeight(), 96);
    EXPECT_EQ(d.winSizeInPixels(), (Size{64, 96}));
    EXPECT_EQ(d.winSize(), (Size{32, 48}));
    auto scene = GxScene::node();
    scene->addChild(GxLayerColor::layerWithColor({0, 255, 0, 255}, 16, 24));
    d.runWithScene(scene);
    d.drawScene();
    EXPECT_EQ(view->presentedPixel(31, 95), (Px{0, 255, 0, 255})) << "16 points are 32 pixels";
    EXPECT_EQ(view->presentedPixel(32, 95), (Px{0, 0, 0, 0}));
    EXPECT_EQ(view->presentedPixel(0, 47), (Px{0, 0, 0, 0})) << "24 points up from the bottom";
    EXPECT_EQ(view->presentedPixel(0, 48), (Px{0, 255, 0, 255}));
    EXPECT_NEAR(d.convertToUI({0, 0.5f}).y, 47, 0);
}

TEST_F(Engine, TheGLViewIsCompositedOverWhatLiesBeneathInASnapshot) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 1);
    auto below = ui::View::create({0, 0, 100, 100});
    below->setBackgroundColor(ui::Color::rgba(0, 0, 1));
    driver.window().addSubview(below);
    auto view = show(driver, {10, 10, 40, 40});
    ASSERT_TRUE(view);
    driver.settle();
    auto scene = GxScene::node();
    auto red = GxLayerColor::layerWithColor({255, 0, 0, 255}, 20, 40);
    scene->addChild(red);
    auto& d = GxDirector::sharedDirector();
    d.runWithScene(scene);
    driver.advance(3.0 / 60);  // the display link draws on the manual clock
    EXPECT_GE(d.totalFrames(), 3u);
    auto shot = driver.snapshot();
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->pixel(20, 30), (ui::Rgba{255, 0, 0, 255})) << "the engine's red half";
    EXPECT_EQ(shot->pixel(40, 30), (ui::Rgba{0, 0, 255, 255})) << "transparent: the blue view shows through";
    EXPECT_EQ(shot->pixel(5, 5), (ui::Rgba{0, 0, 255, 255}));
    EXPECT_EQ(shot->pixel(200, 200), (ui::Rgba{255, 255, 255, 255}));
}

TEST_F(Engine, FramesFollowTheDisplayLinkTimestampsAndPauseStopsTheScheduler) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 1);
    auto view = show(driver, {0, 0, 16, 16});
    ASSERT_TRUE(view);
    driver.settle();
    auto scene = GxScene::node();
    float total = 0;
    scene->schedule("tick:", [&](float dt) { total += dt; });
    auto& d = GxDirector::sharedDirector();
    d.runWithScene(scene);
    auto link = d.displayLink();
    ASSERT_TRUE(link);
    link->tick(10.0);
    EXPECT_EQ(d.dt(), 0) << "no previous frame here: dt 0";
    link->tick(10.5);
    EXPECT_FLOAT_EQ(d.dt(), 0.5f);
    link->tick(10.25);
    EXPECT_EQ(d.dt(), 0) << "time going back gives 0, never less";
    link->tick(10.75);
    EXPECT_FLOAT_EQ(total, 0.5f) << "the timer armed on its first tick";
    d.pause();
    float before = total;
    int presented = view->framesPresented();
    // Paused, the link asks for every 15th refresh: 2 frames in 30.
    for (int i = 1; i <= 30; ++i) d.displayLink()->tick(11 + i * 0.1);
    EXPECT_EQ(view->framesPresented(), presented + 2) << "paused: frames still draw";
    EXPECT_EQ(total, before) << "paused: the scheduler stands";
    d.resume();
    d.displayLink()->tick(14.2);
    EXPECT_NEAR(d.dt(), 0.2f, 1e-5) << "after resume: the time since the last paused frame";
    EXPECT_GT(total, before);
}

TEST_F(Engine, NothingIsReadFromAnIncompleteFramebuffer) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 1);
    auto view = show(driver, {0, 0, 0, 0});
    ASSERT_TRUE(view);
    driver.settle();
    EXPECT_FALSE(view->renderer()->isComplete());
    auto& d = GxDirector::sharedDirector();
    d.runWithScene(GxScene::node());
    d.drawScene();
    EXPECT_EQ(view->framesPresented(), 0);
    EXPECT_EQ(view->layer().contents(), nullptr);
    EXPECT_EQ(gl::GetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Engine, StatisticsLabelsNeedTheirPictureAndAMissingOneLeavesThemOut) {
    REQUIRE_GL();
    ASSERT_FALSE(GxDirector::statsImagePath().empty()) << "the bundle has fps_images.png";
    int made = 0;
    GxDirector::setStatsLabelMaker([&](const std::string& text, const std::string& image, int w, int h,
                                       char first) -> std::optional<GxStatsLabel> {
        EXPECT_EQ(w, 12);
        EXPECT_EQ(h, 32);
        EXPECT_EQ(first, '.');
        EXPECT_NE(image.find("fps_images.png"), std::string::npos);
        ++made;
        auto node = GxNode::node();
        return GxStatsLabel{node, [text](const std::string&) {}};
    });
    shell::Driver driver({320, 480}, 1);
    auto view = show(driver, {0, 0, 16, 16});
    ASSERT_TRUE(view);
    EXPECT_TRUE(GxDirector::sharedDirector().hasStatsLabels());
    EXPECT_EQ(made, 3);
    GxDirector::sharedDirector().setView(nullptr);

    std::string empty = testsupport::tempDir("bundle");
    const char* old = std::getenv("QUENTA_BUNDLE");
    std::string saved = old ? old : "";
    setenv("QUENTA_BUNDLE", empty.c_str(), 1);
    auto other = GxGLView::viewWithFrame({0, 0, 16, 16}, kGxColorFormatRGBA8);
    ASSERT_TRUE(other);
    GxDirector::sharedDirector().setView(other);
    EXPECT_FALSE(GxDirector::sharedDirector().hasStatsLabels());
    GxDirector::sharedDirector().setDisplayStats(true);
    GxDirector::sharedDirector().drawScene();  // no labels: nothing to draw, nothing breaks
    GxDirector::sharedDirector().setDisplayStats(false);
    setenv("QUENTA_BUNDLE", saved.c_str(), 1);
}

TEST_F(Engine, ContextsOfOneGroupShareObjectsAndTheConfigurationReadsExtensions) {
    REQUIRE_GL();
    auto a = gl::Context::create();
    ASSERT_TRUE(a);
    auto b = gl::Context::create(a);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->sharegroup(), a);
    ASSERT_TRUE(b->makeCurrent());
    GLuint tex = 0;
    gl::GenTextures(1, &tex);
    gl::BindTexture(GL_TEXTURE_2D, tex);
    gl::Flush();
    ASSERT_TRUE(a->makeCurrent());
    EXPECT_TRUE(glIsTexture(tex)) << "a texture made in one context of the group is seen in the other";
    auto& conf = GxConfiguration::sharedConfiguration();
    EXPECT_GE(conf.maxTextureSize(), 2048);
    EXPECT_TRUE(conf.supportsNPOT());
    EXPECT_FALSE(conf.checkForGLExtension("GL_OES_vertex_array")) << "a prefix of a name is not the name";
    EXPECT_EQ(GxConfiguration::packVersion("5.0"), 0x05000000u);
    EXPECT_EQ(GxConfiguration::packVersion("4.3.5"), 0x04030500u);
    EXPECT_EQ(gl::GetError(), GLenum(GL_NO_ERROR));
}

}  // namespace

namespace {
// The presented frame of a white square turned 30 degrees on black, drawn
// by a view with or without samples: how many of its pixels are grey (the
// edge smoothed), and how many are exactly black or white.
struct EdgeCount {
    int grey = 0, pure = 0;
};
EdgeCount drawTurnedSquare(shell::Driver& driver, bool multiSampling, unsigned samples,
                           std::shared_ptr<GxGLView>* out = nullptr) {
    auto view = GxGLView::viewWithFrame({0, 0, 64, 64}, kGxColorFormatRGBA8, 0, false, nullptr, multiSampling, samples);
    EXPECT_NE(view, nullptr);
    if (!view) return {};
    driver.window().addSubview(view);
    auto& d = GxDirector::sharedDirector();
    d.setView(view);
    d.setProjection(kGxDirectorProjection2D);
    driver.settle();
    auto scene = GxScene::node();
    scene->addChild(GxLayerColor::layerWithColor({0, 0, 0, 255}));
    auto square = GxLayerColor::layerWithColor({255, 255, 255, 255}, 30, 30);
    square->setIgnoreAnchorPointForPosition(false);
    square->setPosition({32, 32});
    square->setRotation(30);
    scene->addChild(square);
    d.runWithScene(scene);
    d.drawScene();
    EdgeCount c;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            Px p = view->presentedPixel(x, y);
            EXPECT_EQ(p[3], 255);
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
            if (p[0] == 0 || p[0] == 255)
                ++c.pure;
            else
                ++c.grey;
        }
    if (out) *out = view;
    return c;
}
}  // namespace

TEST_F(Engine, MultisamplingSmoothsATurnedEdgeAndNoSamplesKeepPixelsExact) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 1);
    std::shared_ptr<GxGLView> view;
    EdgeCount plain = drawTurnedSquare(driver, false, 0, &view);
    EXPECT_EQ(plain.grey, 0) << "without samples every pixel is in or out";
    EXPECT_FALSE(view->multiSampling());
    EXPECT_EQ(view->maxSamplesAllowed(), 0);
    EXPECT_EQ(view->renderer()->msaaFramebuffer(), 0u);
    GxDirector::sharedDirector().end();

    // Far more samples than any GL allows: the maximum is used.
    EdgeCount smooth = drawTurnedSquare(driver, true, 64, &view);
    if (!view->multiSampling()) GTEST_SKIP() << "no ES 3 context here: no samples, maximum 0";
    ASSERT_GT(view->maxSamplesAllowed(), 1);
    EXPECT_EQ(view->samplesToUse(), unsigned(view->maxSamplesAllowed()));
    EXPECT_EQ(view->requestedSamples(), 64u);
    // Every pixel the edge crosses is grey: a 30-point square turned has an
    // edge of 120 points, so a good hundred of them.
    EXPECT_GT(smooth.grey, 80);
    EXPECT_EQ(smooth.grey + smooth.pure, 64 * 64);
    // A second frame resolves again into the same picture.
    GxDirector::sharedDirector().drawScene();
    int grey = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            Px p = view->presentedPixel(x, y);
            if (p[0] != 0 && p[0] != 255) ++grey;
        }
    EXPECT_EQ(grey, smooth.grey);
    GxDirector::sharedDirector().end();

    // A request below the maximum is kept.
    drawTurnedSquare(driver, true, 2, &view);
    EXPECT_EQ(view->samplesToUse(), 2u);
}

// Presenting discards, after the resolve, what the next frame does not start
// from: the depth, and with samples the multisampled colour unless the back
// buffer is preserved. (Mesa's software renderer keeps a discarded
// attachment's pixels, so the discards are seen in the call count; what the
// pixels show is that none of them comes before the picture is read.)
TEST_F(Engine, PresentingDiscardsWhatTheNextFrameDoesNotStartFrom) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 1);
    struct Case {
        bool multiSampling;
        unsigned depth;
        bool preserve;
        uint64_t discards;  // per frame
    };
    const Case cases[] = {
        {false, 0, false, 0},
        {false, GL_DEPTH_COMPONENT16, false, 1},
        {false, GL_DEPTH_COMPONENT16, true, 1},
        {true, 0, false, 1},
        {true, GL_DEPTH_COMPONENT16, false, 1},
        {true, 0, true, 0},
        {true, GL_DEPTH_COMPONENT16, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "samples " << c.multiSampling << ", depth " << c.depth << ", preserve "
                                        << c.preserve);
        auto view = GxGLView::viewWithFrame({0, 0, 64, 64}, kGxColorFormatRGBA8, c.depth, c.preserve, nullptr,
                                            c.multiSampling, 4);
        ASSERT_NE(view, nullptr);
        if (c.multiSampling && !view->multiSampling()) GTEST_SKIP() << "no ES 3 context here: no samples";
        ASSERT_TRUE(view->discardFramebufferSupported()) << "Mesa offers GL_EXT_discard_framebuffer";
        EXPECT_EQ(view->preserveBackbuffer(), c.preserve);
        driver.window().addSubview(view);
        auto& d = GxDirector::sharedDirector();
        d.setView(view);
        d.setProjection(kGxDirectorProjection2D);
        driver.settle();
        auto scene = GxScene::node();
        scene->addChild(GxLayerColor::layerWithColor({0, 0, 255, 255}));
        auto square = GxLayerColor::layerWithColor({255, 0, 0, 255}, 20, 20);
        square->setPosition({10, 30});
        scene->addChild(square);
        d.runWithScene(scene);
        d.drawScene();
        std::vector<Px> first;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) first.push_back(view->presentedPixel(x, y));
        const uint64_t before = gl::callCount(gl::Call::DiscardFramebuffer);
        d.drawScene();
        d.drawScene();
        EXPECT_EQ(gl::callCount(gl::Call::DiscardFramebuffer) - before, 2 * c.discards);
        // Each frame is whole: the same picture, its squares exact.
        std::vector<Px> third;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) third.push_back(view->presentedPixel(x, y));
        EXPECT_EQ(third, first);
        EXPECT_EQ(view->presentedPixel(20, 24), (Px{255, 0, 0, 255}));  // 14 from the top: inside the square
        EXPECT_EQ(view->presentedPixel(50, 50), (Px{0, 0, 255, 255}));
        d.end();
        view->removeFromSuperview();
    }
}

// A preserved back buffer is where the next frame starts: what a frame adds
// without clearing goes over the last one's pixels, with samples too.
TEST_F(Engine, APreservedBackBufferIsWhereTheNextFrameStarts) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 1);
    for (bool multiSampling : {false, true}) {
        SCOPED_TRACE(multiSampling ? "with samples" : "without samples");
        auto view = GxGLView::viewWithFrame({0, 0, 32, 32}, kGxColorFormatRGBA8, GL_DEPTH_COMPONENT16, true, nullptr,
                                            multiSampling, 4);
        ASSERT_NE(view, nullptr);
        driver.window().addSubview(view);
        driver.settle();
        ASSERT_TRUE(view->renderer()->isComplete());
        view->context()->makeCurrent();
        gl::BindFramebuffer(GL_FRAMEBUFFER, view->renderer()->drawFramebuffer());
        gl::Viewport(0, 0, 32, 32);
        glDisable(GL_SCISSOR_TEST);
        gl::ClearColor(1, 0, 0, 1);
        gl::Clear(GL_COLOR_BUFFER_BIT);
        view->swapBuffers();
        // The next frame draws only a green corner.
        gl::BindFramebuffer(GL_FRAMEBUFFER, view->renderer()->drawFramebuffer());
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 8, 8);
        gl::ClearColor(0, 1, 0, 1);
        gl::Clear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        view->swapBuffers();
        EXPECT_EQ(view->presentedPixel(2, 29), (Px{0, 255, 0, 255})) << "the new corner (bottom left)";
        EXPECT_EQ(view->presentedPixel(20, 10), (Px{255, 0, 0, 255})) << "the last frame's pixels";
        view->removeFromSuperview();
    }
}

namespace {
class TiltLayer : public GxLayer {
public:
    void accelerometerDidAccelerate(ui::Accelerometer&, const ui::Acceleration& a) override { readings.push_back(a); }
    std::vector<ui::Acceleration> readings;
};
}  // namespace

// The headless driver stands in for the sensor: what it injects reaches the
// running layer of the shown scene at the accelerometer's interval.
TEST_F(Engine, TheHeadlessDriverFeedsInjectedReadingsToTheRunningLayer) {
    REQUIRE_GL();
    shell::Driver driver({320, 480}, 1);
    auto view = show(driver, {0, 0, 32, 32});
    ASSERT_TRUE(view);
    driver.settle();
    auto scene = GxScene::node();
    auto layer = gxMake<TiltLayer>();
    layer->setIsAccelerometerEnabled(true);
    scene->addChild(layer);
    auto& d = GxDirector::sharedDirector();
    d.runWithScene(scene);
    driver.injectAcceleration(0.5, -1, 0);
    ui::Accelerometer::shared().setUpdateInterval(0.25);
    // The first frame enters the scene; readings follow every quarter second.
    for (int i = 0; i < 65; ++i) driver.advance(1.0 / 60);
    ASSERT_EQ(layer->readings.size(), 4u);
    EXPECT_EQ(layer->readings.back().x, 0.5);
    EXPECT_EQ(layer->readings.back().y, -1);
    d.end();
    EXPECT_EQ(ui::Accelerometer::shared().delegate(), nullptr);
}
