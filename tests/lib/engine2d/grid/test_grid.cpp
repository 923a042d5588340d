#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "lib/engine2d/grid/GxGrid.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxCamera.h"
#include "lib/engine2d/nodes/GxScene.h"
#include "lib/engine2d/sprites/GxSpriteBatchNode.h"
#include "tests/lib/engine2d/grid/GridFixture.h"

using namespace engine2d;
using engine2d::testing_grid::Px;

namespace {

class Grids : public engine2d::testing_grid::GridTest {};

std::shared_ptr<GxTexture2D> blankTexture(unsigned w, unsigned h, Size content,
                                          int format = kGxTexture2DPixelFormat_RGBA8888) {
    std::vector<uint8_t> zeros(size_t(w) * h * 4, 0);
    return GxTexture2D::textureWithData(zeros.data(), format, w, h, content);
}

void expectVertex(gxVertex3F v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

TEST_F(Grids, ASheetSharesItsVerticesAndMapsThemOntoTheTexture) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    // A 1 x 1 sheet: four vertices, two triangles a b d, b c d.
    auto one = GxGrid3D::gridWithSize({1, 1}, blankTexture(64, 64, {40, 30}), false);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->indices(), (std::vector<uint16_t>{0, 2, 1, 2, 3, 1}));
    ASSERT_EQ(one->vertices().size(), 4u);
    EXPECT_FLOAT_EQ(one->step().x, 40);
    EXPECT_FLOAT_EQ(one->step().y, 30);
    expectVertex(one->vertex({1, 0}), 40, 0, 0);
    expectVertex(one->vertex({0, 1}), 0, 30, 0);
    const auto& tc = one->texCoordinates();
    EXPECT_FLOAT_EQ(tc[0], 0);
    EXPECT_FLOAT_EQ(tc[1], 0);
    EXPECT_FLOAT_EQ(tc[3 * 2], 40.0f / 64);  // vertex (1, 1)
    EXPECT_FLOAT_EQ(tc[3 * 2 + 1], 30.0f / 64);

    // Flipped, rows are counted down from the top of the picture; setting the
    // same value again lays nothing out anew (a moved vertex stays moved).
    one->setVertex({0, 0}, {5, 5, 5});
    one->setIsTextureFlipped(false);
    expectVertex(one->vertex({0, 0}), 5, 5, 5);
    one->setIsTextureFlipped(true);
    expectVertex(one->vertex({0, 0}), 0, 0, 0);
    EXPECT_FLOAT_EQ(one->texCoordinates()[1], 30.0f / 64);
    EXPECT_FLOAT_EQ(one->texCoordinates()[3 * 2 + 1], 0);

    // A 3 x 2 sheet: vertex (x, y) is element x * 3 + y; cell (x, y)'s six
    // indices start at (y * 3 + x) * 6.
    auto sheet = GxGrid3D::gridWithSize({3, 2}, blankTexture(64, 64, {60, 40}), false);
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->vertices().size(), 12u);
    ASSERT_EQ(sheet->indices().size(), 36u);
    expectVertex(sheet->vertices()[2 * 3 + 1], 40, 20, 0);
    const uint16_t* cell = &sheet->indices()[(1 * 3 + 2) * 6];  // cell (2, 1)
    EXPECT_EQ((std::vector<uint16_t>(cell, cell + 6)), (std::vector<uint16_t>{7, 10, 8, 10, 11, 8}));
    EXPECT_EQ(sheet->description().find("<GxGrid3D = 0x"), 0u);
    EXPECT_NE(sheet->description().find("| Dimensions = 3x2>"), std::string::npos);

    // Outside the sheet: zeros read, nothing written.
    sheet->setVertex({4, 0}, {9, 9, 9});
    sheet->setVertex({-1, 0}, {9, 9, 9});
    expectVertex(sheet->vertex({4, 0}), 0, 0, 0);
    expectVertex(sheet->originalVertex({0, 3}), 0, 0, 0);
    expectVertex(sheet->vertex({3, 2}), 60, 40, 0);
}

TEST_F(Grids, ATiledGridHasOneQuadPerCell) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    auto tiled = GxTiledGrid3D::gridWithSize({2, 3}, blankTexture(64, 64, {40, 60}), false);
    ASSERT_NE(tiled, nullptr);
    ASSERT_EQ(tiled->vertices().size(), 6u);
    // Tile (1, 2) is element 1 * 3 + 2.
    gxQuad3 q = tiled->tile({1, 2});
    expectVertex(q.bl, 20, 40, 0);
    expectVertex(q.br, 40, 40, 0);
    expectVertex(q.tl, 20, 60, 0);
    expectVertex(q.tr, 40, 60, 0);
    const float* tc = &tiled->texCoordinates()[5 * 8];
    EXPECT_FLOAT_EQ(tc[0], 20.0f / 64);
    EXPECT_FLOAT_EQ(tc[1], 40.0f / 64);
    EXPECT_FLOAT_EQ(tc[7], 60.0f / 64);
    const uint16_t* idx = &tiled->indices()[5 * 6];
    EXPECT_EQ((std::vector<uint16_t>(idx, idx + 6)), (std::vector<uint16_t>{20, 21, 22, 21, 22, 23}));
    tiled->setIsTextureFlipped(true);
    EXPECT_FLOAT_EQ(tiled->texCoordinates()[5 * 8 + 1], 20.0f / 64);  // 60 - 40
    EXPECT_FLOAT_EQ(tiled->texCoordinates()[5 * 8 + 7], 0);

    tiled->setTile({2, 0}, gxQuad3{{1, 1, 1}, {}, {}, {}});
    expectVertex(tiled->tile({2, 0}).bl, 0, 0, 0);
    expectVertex(tiled->originalTile({0, 3}).tr, 0, 0, 0);
}

TEST_F(Grids, AGridMadeForTheWindowTakesAPowerOfTwoTextureOfItsPixelFormat) {
    REQUIRE_GL();
    ASSERT_TRUE(show(480, 320));
    auto g = GxGrid3D::gridWithSize({15, 10});
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->texture()->pixelsWide(), 512u);
    EXPECT_EQ(g->texture()->pixelsHigh(), 512u);
    EXPECT_EQ(g->texture()->contentSizeInPixels(), (Size{480, 320}));
    EXPECT_EQ(g->texture()->pixelFormat(), kGxTexture2DPixelFormat_RGBA8888);
    EXPECT_FLOAT_EQ(g->step().x, 32);
    EXPECT_FLOAT_EQ(g->step().y, 32);
    EXPECT_FALSE(g->active());
    EXPECT_EQ(g->reuseGrid(), 0);
    EXPECT_FALSE(g->isTextureFlipped());
    EXPECT_EQ(g->texture().use_count(), 1) << "the grid holds the only reference";
    EXPECT_NE(g->shaderProgram(), nullptr);
    GxDirector::sharedDirector().end();

    ASSERT_TRUE(show(30, 20, kGxDirectorProjection2D, kGxColorFormatRGB565));
    auto t = GxTiledGrid3D::gridWithSize({3, 2});
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->texture()->pixelFormat(), kGxTexture2DPixelFormat_RGB565);
    EXPECT_EQ(t->texture()->pixelsWide(), 32u);
}

TEST_F(Grids, SizesWithoutACellOrBeyondSixteenBitIndicesAreRefused) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    auto tex = blankTexture(64, 64, {64, 64});
    EXPECT_EQ(GxGrid3D::gridWithSize({0, 3}, tex, false), nullptr);
    EXPECT_EQ(GxGrid3D::gridWithSize({3, -1}, tex, false), nullptr);
    EXPECT_EQ(GxTiledGrid3D::gridWithSize({0, 0}, tex, false), nullptr);
    EXPECT_EQ(GxGrid3D::gridWithSize({2, 2}, nullptr, false), nullptr);
    // 256 x 256 cells have 257 x 257 = 66,049 vertices; 255 x 255 have 65,536.
    EXPECT_EQ(GxGrid3D::gridWithSize({256, 256}, tex, false), nullptr);
    auto largest = GxGrid3D::gridWithSize({255, 255}, tex, false);
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(largest->indices()[(254 * 255 + 254) * 6 + 4], 65535) << "the last vertex is reachable";
    EXPECT_EQ(GxTiledGrid3D::gridWithSize({128, 129}, tex, false), nullptr);
    EXPECT_NE(GxTiledGrid3D::gridWithSize({128, 128}, tex, false), nullptr);
}

TEST_F(Grids, ReuseCopiesTheShapeOnlyWhileTheCountLasts) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    auto g = GxGrid3D::gridWithSize({2, 2}, blankTexture(32, 32, {32, 32}), false);
    ASSERT_NE(g, nullptr);
    g->setVertex({1, 1}, {1, 2, 3});
    g->reuse();
    expectVertex(g->originalVertex({1, 1}), 16, 16, 0);
    g->setReuseGrid(2);
    g->reuse();
    expectVertex(g->originalVertex({1, 1}), 1, 2, 3);
    EXPECT_EQ(g->reuseGrid(), 1);

    auto t = GxTiledGrid3D::gridWithSize({2, 2}, blankTexture(32, 32, {32, 32}), false);
    ASSERT_NE(t, nullptr);
    t->setTile({1, 0}, gxQuad3{{7, 7, 7}, {}, {}, {}});
    t->setReuseGrid(1);
    t->reuse();
    expectVertex(t->originalTile({1, 0}).bl, 7, 7, 7);
    EXPECT_EQ(t->reuseGrid(), 0);
}

TEST_F(Grids, TheBaseGridAndAnUnattachableTextureRaise) {
    REQUIRE_GL();
    ASSERT_TRUE(show(32, 32));
    try {
        GxGridBase::gridWithSize({2, 2});
        FAIL() << "a base grid lays out no mesh";
    } catch (const GxEngineException& e) {
        EXPECT_EQ(e.name(), "GridBase");
        EXPECT_EQ(e.reason(), "Abstract class needs implementation");
    }
    // An alpha-only texture cannot be a colour attachment.
    auto alpha = blankTexture(32, 32, {32, 32}, kGxTexture2DPixelFormat_A8);
    ASSERT_NE(alpha, nullptr);
    GLint before = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &before);
    try {
        GxGrid3D::gridWithSize({1, 1}, alpha, false);
        FAIL() << "the framebuffer is not complete";
    } catch (const GxEngineException& e) {
        EXPECT_EQ(e.name(), "Frame Grabber");
        EXPECT_EQ(e.reason(), "Could not attach texture to framebuffer");
    }
    GLint after = -2;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &after);
    EXPECT_EQ(after, before) << "the caller's framebuffer is bound again";
}

// The scene with the sprite, drawn by the director, as presented pixels.
TEST_F(Grids, ASpriteDrawnThroughAnUndeformedGridMatchesItsPlainDrawing) {
    REQUIRE_GL();
    for (auto kind : {0, 1}) {
        for (int projection : {kGxDirectorProjection2D, kGxDirectorProjection3D}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " projection " << projection);
            ASSERT_TRUE(show(48, 32, projection));
            auto scene = GxScene::node();
            auto holder = GxNode::node();
            auto sprite = quadrantSprite(20, 12);
            sprite->setPosition(Point{17, 11});
            holder->addChild(sprite);
            scene->addChild(holder);
            auto& d = GxDirector::sharedDirector();
            d.runWithScene(scene);
            d.drawScene();
            auto plain = frame();
            ASSERT_EQ(view_->presentedPixel(10, 32 - 1 - 8), (Px{255, 0, 0, 255})) << "the sprite is drawn";
            ASSERT_EQ(view_->presentedPixel(25, 32 - 1 - 15), (Px{255, 255, 255, 255}));

            std::shared_ptr<GxGridBase> grid;
            if (kind == 0)
                grid = GxGrid3D::gridWithSize({4, 3});
            else
                grid = GxTiledGrid3D::gridWithSize({4, 3});
            ASSERT_NE(grid, nullptr);
            holder->setGrid(grid);
            grid->setActive(true);
            unsigned draws = GxEnvironment::shared().drawCounter;
            d.drawScene();
            EXPECT_EQ(GxEnvironment::shared().drawCounter - draws, 2u) << "the sprite, then the mesh";
            auto through = frame();
            // In the orthographic projection every pixel is the same; the
            // perspective one samples a hair off the texel centres, which
            // blends a few levels across the colour edges (in alpha too: a
            // sample that takes 3% of the sprite's edge covers 3% of the
            // pixel).
            int differ = 0, worst = 0;
            for (size_t i = 0; i < plain.size(); ++i) {
                differ += plain[i] != through[i];
                for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(int(plain[i][c]) - int(through[i][c])));
            }
            if (projection == kGxDirectorProjection2D)
                EXPECT_EQ(differ, 0);
            else
                EXPECT_LE(worst, 8);
            EXPECT_EQ(d.projection(), projection);

            // Stopped, the grid leaves the node drawing plainly again.
            grid->setActive(false);
            d.drawScene();
            EXPECT_EQ(frame(), plain);
            d.end();
        }
    }
}

// At content scale 2 the grid's texture has the window's pixels, but the
// subtree is drawn into it with the capture's projection of one texel per
// point: a checkerboard of single pixels comes through an undeformed grid as
// one colour, at half the resolution.
TEST_F(Grids, AtContentScaleTwoAGridCapturesAtPointResolution) {
    REQUIRE_GL();
    driver_ = std::make_unique<shell::Driver>(ui::Size{320, 480}, 2);
    view_ = GxGLView::viewWithFrame({0, 0, 48, 32}, kGxColorFormatRGBA8);
    ASSERT_NE(view_, nullptr);
    driver_->window().addSubview(view_);
    auto& d = GxDirector::sharedDirector();
    d.setView(view_);
    d.setProjection(kGxDirectorProjection2D);
    ASSERT_TRUE(d.enableRetinaDisplay(true));
    gl::ClearColor(0, 0, 0, 0);
    driver_->settle();
    ASSERT_EQ(view_->surfaceSize().width, 96);
    ASSERT_EQ(view_->surfaceSize().height, 64);

    const unsigned n = 32;  // pixels: 16 points at scale 2
    std::vector<Px> px(size_t(n) * n);
    for (unsigned y = 0; y < n; ++y)
        for (unsigned x = 0; x < n; ++x)
            px[size_t(y) * n + x] = (x + y) % 2 ? Px{255, 255, 255, 255} : Px{255, 0, 0, 255};
    auto t = GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, n, n, Size{float(n), float(n)});
    ASSERT_NE(t, nullptr);
    t->setAliasTexParameters();
    auto sprite = GxSprite::spriteWithTexture(t);
    ASSERT_FLOAT_EQ(sprite->contentSize().width, 16) << "32 pixels are 16 points";
    sprite->setAnchorPoint(Point{0, 0});
    sprite->setPosition(Point{10, 6});
    auto scene = GxScene::node();
    auto holder = GxNode::node();
    holder->addChild(sprite);
    scene->addChild(holder);
    d.runWithScene(scene);
    // The colours seen inside the sprite (pixels 20 to 51 across, 12 to 43
    // up), away from its edges.
    auto inside = [&] {
        std::set<Px> colours;
        for (int y = 22; y < 50; ++y)
            for (int x = 22; x < 50; ++x) colours.insert(view_->presentedPixel(x, y));
        return colours;
    };
    d.drawScene();
    EXPECT_EQ(inside(), (std::set<Px>{{255, 0, 0, 255}, {255, 255, 255, 255}})) << "plainly every pixel shows";

    auto grid = GxGrid3D::gridWithSize({4, 3});
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->texture()->pixelsWide(), 128u) << "the window's 96 pixels, to a power of two";
    EXPECT_EQ(grid->texture()->pixelsHigh(), 64u);
    holder->setGrid(grid);
    grid->setActive(true);
    d.drawScene();
    EXPECT_EQ(inside().size(), 1u) << "one texel a point: every other pixel of the checkerboard is taken";
}

TEST_F(Grids, ABatchNodeUnderAMovedParentDrawsThroughItsGridInPlace) {
    REQUIRE_GL();
    ASSERT_TRUE(show(48, 32));
    auto scene = GxScene::node();
    auto parent = GxNode::node();
    parent->setPosition(Point{6, 4});  // the grid starts from the window: the batch adds its ancestors
    auto batch = GxSpriteBatchNode::batchNodeWithTexture(quadrantSprite(20, 12)->texture());
    ASSERT_NE(batch, nullptr);
    auto sprite = GxSprite::spriteWithTexture(batch->texture());
    sprite->setPosition(Point{15, 10});
    batch->addChild(sprite);
    parent->addChild(batch);
    scene->addChild(parent);
    auto& d = GxDirector::sharedDirector();
    d.runWithScene(scene);
    d.drawScene();
    auto plain = frame();
    ASSERT_EQ(view_->presentedPixel(12, 32 - 1 - 10), (Px{255, 0, 0, 255})) << "the sprite is drawn";
    auto grid = GxTiledGrid3D::gridWithSize({3, 2});
    ASSERT_NE(grid, nullptr);
    batch->setGrid(grid);
    grid->setActive(true);
    d.drawScene();
    EXPECT_EQ(frame(), plain);
}

TEST_F(Grids, StoppingAGridGivesTheDirectorsProjectionBack) {
    REQUIRE_GL();
    ASSERT_TRUE(show(40, 30, kGxDirectorProjection3D));
    auto g = GxGrid3D::gridWithSize({2, 2});
    ASSERT_NE(g, nullptr);
    mxMat4 want, got;
    mxGLCopyTop(MX_GL_PROJECTION, &want);
    g->setActive(true);
    g->set2DProjection();
    mxGLCopyTop(MX_GL_PROJECTION, &got);
    EXPECT_NE(std::vector<float>(got.mat, got.mat + 16), std::vector<float>(want.mat, want.mat + 16));
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 40);
    g->setActive(false);
    mxGLCopyTop(MX_GL_PROJECTION, &got);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(got.mat[i], want.mat[i]) << i;
}

TEST_F(Grids, AfterDrawAppliesTheTargetsCameraOnlyWhenItChanged) {
    REQUIRE_GL();
    ASSERT_TRUE(show(40, 30, kGxDirectorProjection2D));
    auto g = GxGrid3D::gridWithSize({2, 2});
    ASSERT_NE(g, nullptr);
    auto node = GxNode::node();
    node->setContentSize(Size{20, 10});
    node->setAnchorPoint(Point{0.5f, 0.5f});
    g->setActive(true);
    auto modelView = [] {
        mxMat4 m;
        mxGLCopyTop(MX_GL_MODELVIEW, &m);
        return std::vector<float>(m.mat, m.mat + 16);
    };
    mxGLPushMatrix();
    g->beforeDraw();
    node->camera()->setDirty(false);
    g->afterDraw(node.get());
    auto identity = modelView();
    EXPECT_FLOAT_EQ(identity[0], 1);
    EXPECT_FLOAT_EQ(identity[12], 0);
    EXPECT_FLOAT_EQ(identity[14], 0);
    g->beforeDraw();
    node->camera()->setEye(0, 0, 50);
    ASSERT_TRUE(node->camera()->dirty());
    g->afterDraw(node.get());
    EXPECT_NE(modelView(), identity) << "a moved camera turns the mesh";
    EXPECT_FALSE(node->camera()->dirty());
    mxGLPopMatrix();
}

}  // namespace
