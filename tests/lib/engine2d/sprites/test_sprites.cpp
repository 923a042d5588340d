#include <gtest/gtest.h>

#include <cairo.h>
#include <array>

#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/sprites/GxSpriteBatchNode.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/gl/GL.h"
#include "tests/support/TestSupport.h"
#include "tests/support/engine2d/GLFixture.h"

using namespace engine2d;
using testing_gl::Px;
using testing_gl::solidTexture;

namespace {

class Sprites : public testing_gl::GLTest {
protected:
    Sprites() : GLTest(false) {}
};

void expectVertex(const gxV3F_C4B_T2F& v, float x, float y, float u, float t, const char* corner) {
    EXPECT_FLOAT_EQ(v.vertices.x, x) << corner;
    EXPECT_FLOAT_EQ(v.vertices.y, y) << corner;
    EXPECT_FLOAT_EQ(v.texCoords.u, u) << corner;
    EXPECT_FLOAT_EQ(v.texCoords.v, t) << corner;
}

TEST_F(Sprites, QuadPositionsTextureCoordinatesAndFlips) {
    REQUIRE_GL();
    auto tex = solidTexture(64, 32, {255, 0, 0, 255});
    auto s = GxSprite::spriteWithTexture(tex);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->contentSize(), (Size{64, 32}));
    EXPECT_EQ(s->anchorPoint(), (Point{0.5f, 0.5f}));
    const auto& q = s->quad();
    expectVertex(q.bl, 0, 0, 0, 1, "bl");
    expectVertex(q.tr, 64, 32, 1, 0, "tr");
    s->setFlipX(true);
    expectVertex(q.bl, 0, 0, 1, 1, "bl flipped x");
    expectVertex(q.br, 64, 0, 0, 1, "br flipped x");
    s->setFlipY(true);
    expectVertex(q.bl, 0, 0, 1, 0, "bl flipped both");
    s->setFlipX(false);
    s->setFlipY(false);
    // A sub-rectangle: coordinates in texture space, positions from the origin.
    s->setTextureRect(Rect{{16, 8}, {32, 16}});
    expectVertex(q.bl, 0, 0, 0.25f, 0.75f, "bl sub");
    expectVertex(q.tr, 32, 16, 0.75f, 0.25f, "tr sub");
    // Rotated: the width runs along v, the height along u.
    s->setTextureRect(Rect{{0, 0}, {16, 32}}, true, Size{16, 32});
    expectVertex(q.bl, 0, 0, 0, 0, "bl rotated");
    expectVertex(q.br, 16, 0, 0, 0.5f, "br rotated");
    expectVertex(q.tl, 0, 32, 0.5f, 0, "tl rotated");
    // Content scale 2: the rectangle in points covers twice the pixels.
    GxEnvironment::shared().contentScaleFactor = 2;
    auto hd = GxSprite::spriteWithTexture(tex, Rect{{0, 0}, {16, 8}});
    expectVertex(hd->quad().tr, 16, 8, 0.5f, 0, "tr at scale 2");
}

TEST_F(Sprites, ColourOpacityBlendAndTextureSwaps) {
    REQUIRE_GL();
    auto straight = solidTexture(8, 8, {10, 20, 30, 255});
    auto s = GxSprite::spriteWithTexture(straight);
    // Raw data is not premultiplied: straight blending, colour left alone.
    EXPECT_EQ(s->blendFunc(), (gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
    s->setOpacity(128);
    EXPECT_EQ(s->quad().bl.colors, (gxColor4B{255, 255, 255, 128}));
    EXPECT_EQ(s->color(), (gxColor3B{255, 255, 255}));

    // A premultiplied picture multiplies opacity into the colour.
    std::string dir = testsupport::tempDir("engine2d_sprites");
    cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_t* cr = cairo_create(surf);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(surf, (dir + "/p.png").c_str());
    cairo_surface_destroy(surf);
    auto pm = GxTextureCache::sharedTextureCache().addImage(dir + "/p.png");
    ASSERT_NE(pm, nullptr);
    auto p = GxSprite::spriteWithTexture(pm);
    EXPECT_EQ(p->blendFunc(), (gxBlendFunc{GL_ONE, GL_ONE_MINUS_SRC_ALPHA}));
    p->setOpacity(128);
    EXPECT_EQ(p->quad().bl.colors, (gxColor4B{128, 128, 128, 128}));
    EXPECT_EQ(p->color(), (gxColor3B{255, 255, 255}));

    // A texture of another size shows through the old rectangle.
    auto big = solidTexture(128, 128, {0, 0, 0, 255});
    auto before = s->quad();
    s->setTexture(big);
    EXPECT_EQ(s->texture(), big);
    EXPECT_EQ(s->textureRect(), (Rect{{0, 0}, {8, 8}}));
    EXPECT_FLOAT_EQ(s->quad().tr.texCoords.u, before.tr.texCoords.u);
    EXPECT_EQ(GxSprite::spriteWithFile("no-such-file.png"), nullptr);
}

TEST_F(Sprites, TheSixDigitLayoutDrawsEachDigitAtItsPlace) {
    REQUIRE_GL();
    std::string dir = testsupport::tempDir("engine2d_digits");
    GxFileUtils::sharedFileUtils().setBundleDir(dir);
    GxFileUtils::sharedFileUtils().purgeCachedEntries();
    // Solid digit pictures, each its own colour, 24 x 34 pixels.
    const Px colours[10] = {{255, 0, 0, 255},   {0, 255, 0, 255},    {0, 0, 255, 255}, {255, 255, 0, 255},
                            {0, 255, 255, 255}, {255, 0, 255, 255},  {128, 0, 0, 255}, {0, 128, 0, 255},
                            {0, 0, 128, 255},   {128, 128, 128, 255}};
    for (int d = 0; d < 10; ++d) {
        cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 24, 34);
        cairo_t* cr = cairo_create(surf);
        cairo_set_source_rgb(cr, colours[d][0] / 255.0, colours[d][1] / 255.0, colours[d][2] / 255.0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_write_to_png(surf, (dir + "/otp_" + std::to_string(d) + ".png").c_str());
        cairo_surface_destroy(surf);
    }
    target(320, 300);
    auto layer = GxNode::node();
    const float xs[6] = {40, 87, 134, 181, 229, 277};
    std::vector<std::shared_ptr<GxSprite>> digits;
    for (int i = 0; i < 6; ++i) {
        auto s = GxSprite::spriteWithFile("otp_" + std::to_string(i) + ".png");
        ASSERT_NE(s, nullptr);
        s->setPosition(Point{xs[i], 200});
        s->setScaleX(49 / s->contentSize().width);
        s->setScaleY(68 / s->contentSize().height);
        layer->addChild(s);
        digits.push_back(s);
    }
    // A later code swaps two digits' pictures through the cache.
    digits[1]->setTexture(GxTextureCache::sharedTextureCache().addImage("otp_7.png"));
    digits[4]->setTexture(GxTextureCache::sharedTextureCache().addImage("otp_9.png"));
    layer->visit();
    const int shown[6] = {0, 7, 2, 3, 9, 5};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(at(int(xs[i]), 200), colours[shown[i]]) << "digit " << i;
        // Each fills 49 x 68 points: inside near its edges, clear outside.
        EXPECT_EQ(at(int(xs[i]) - 23, 200 + 32), colours[shown[i]]) << "digit " << i;
        EXPECT_EQ(at(int(xs[i]), 200 + 36), (Px{0, 0, 0, 255})) << "digit " << i;
    }
}

TEST_F(Sprites, AtlasMutatorsKeepOrderAndRefuseOutOfRange) {
    REQUIRE_GL();
    auto atlas = GxTextureAtlas::textureAtlasWithTexture(solidTexture(4, 4, {0, 0, 0, 255}), 10);
    ASSERT_NE(atlas, nullptr);
    auto quad = [](float tag) {
        gxV3F_C4B_T2F_Quad q{};
        q.bl.vertices.x = tag;
        return q;
    };
    auto order = [&] {
        std::string s;
        for (unsigned i = 0; i < atlas->totalQuads(); ++i) s += char('A' + int(atlas->quadAt(i).bl.vertices.x));
        return s;
    };
    for (int i = 0; i < 5; ++i) atlas->updateQuad(quad(float(i)), unsigned(i));
    EXPECT_EQ(order(), "ABCDE");
    EXPECT_TRUE(atlas->moveQuadsFromIndex(2, 2, 0));
    EXPECT_EQ(order(), "CDABE");
    EXPECT_TRUE(atlas->moveQuadsFromIndex(0, 2, 2));
    EXPECT_EQ(order(), "ABCDE");
    EXPECT_TRUE(atlas->insertQuad(quad(5), 0));
    EXPECT_EQ(order(), "FABCDE");
    EXPECT_TRUE(atlas->insertQuadFromIndex(0, 5));
    EXPECT_EQ(order(), "ABCDEF");
    EXPECT_TRUE(atlas->removeQuadsAtIndex(1, 2));
    EXPECT_EQ(order(), "ADEF");
    EXPECT_TRUE(atlas->updateQuad(quad(7), 9));  // beyond the total: the total follows
    EXPECT_EQ(atlas->totalQuads(), 10u);
    // Out of range (the atlas is full now): refused, nothing changes.
    std::string was = order();
    struct Bad {
        const char* what;
        bool result;
    } bad[] = {
        {"update past capacity", atlas->updateQuad(quad(0), 10)},
        {"insert when full", atlas->insertQuad(quad(0), 0)},
        {"insert past the total", atlas->insertQuads(nullptr, 11, 0)},
        {"move past the total", atlas->moveQuadsFromIndex(8, 3, 0)},
        {"move to past the total", atlas->moveQuadsFromIndex(0, 3, 8)},
        {"remove past the total", atlas->removeQuadsAtIndex(9, 2)},
        {"fill past capacity", atlas->fillWithEmptyQuadsFromIndex(8, 3)},
        {"capacity beyond one draw call", atlas->resizeCapacity(GxTextureAtlas::kMaxQuadsPerDraw + 1)},
    };
    for (const auto& b : bad) EXPECT_FALSE(b.result) << b.what;
    EXPECT_EQ(order(), was);
    EXPECT_EQ(atlas->capacity(), 10u);
    EXPECT_TRUE(atlas->resizeCapacity(2));
    EXPECT_EQ(atlas->totalQuads(), 2u);
    const auto& idx = atlas->indices();
    EXPECT_EQ(std::vector<uint16_t>(idx.begin(), idx.end()),
              (std::vector<uint16_t>{0, 1, 2, 3, 2, 1, 4, 5, 6, 7, 6, 5}));
}

// Quads that change between draws go to the GL from memory, with no vertex
// buffer written; quads left alone go up to the buffer once, and a change
// after that is drawn at once, not the stale copy in the buffer.
TEST_F(Sprites, ABatchDrawsChangingQuadsFromMemoryAndSettledOnesFromItsBuffer) {
    REQUIRE_GL();
    target(64, 16);
    const Px red{255, 0, 0, 255}, green{0, 255, 0, 255}, black{0, 0, 0, 255};
    auto tex = solidTexture(8, 8, {255, 255, 255, 255});
    auto batch = GxSpriteBatchNode::batchNodeWithTexture(tex, 4);
    auto sprite = GxSprite::spriteWithTexture(tex);
    batch->addChild(sprite, 0);
    sprite->setColor({255, 0, 0});
    auto uploads = [] { return gl::callCount(gl::Call::BufferSubData) + gl::callCount(gl::Call::BufferData); };
    auto draw = [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        batch->visit();
    };
    auto frame = [&](float x) {
        sprite->setPosition(Point{x, 8});
        draw();
    };
    gl::resetCallCounts();
    for (int x = 4; x < 60; x += 8) {
        frame(float(x));
        EXPECT_EQ(at(x, 8), red) << "moving, at " << x;
        EXPECT_EQ(at(x < 32 ? x + 8 : x - 8, 8), black) << "moving, beside " << x;
    }
    EXPECT_EQ(uploads(), 0u) << "quads that change every frame are not written to a buffer";
    frame(20);
    for (unsigned i = 0; i < GxTextureAtlas::kSettledDraws + 3; ++i) {
        draw();
        EXPECT_EQ(at(20, 8), red) << "still, draw " << i;
        EXPECT_EQ(at(36, 8), black) << "still, draw " << i;
    }
    EXPECT_EQ(uploads(), 1u) << "settled quads go up once";
    sprite->setColor({0, 255, 0});
    frame(36);
    EXPECT_EQ(at(36, 8), green);
    EXPECT_EQ(at(20, 8), black);
    EXPECT_EQ(uploads(), 1u);
}

TEST_F(Sprites, BatchIndicesFollowTheDrawingOrder) {
    REQUIRE_GL();
    target(200, 100);
    auto tex = solidTexture(8, 8, {255, 255, 255, 255});
    auto batch = GxSpriteBatchNode::batchNodeWithTexture(tex);
    ASSERT_NE(batch, nullptr);
    auto a = GxSprite::spriteWithTexture(tex), b = GxSprite::spriteWithTexture(tex);
    auto c = GxSprite::spriteWithTexture(tex);
    a->setPosition({20, 50});
    b->setPosition({60, 50});
    c->setPosition({100, 50});
    batch->addChild(a, 0);
    batch->addChild(b, 0);
    batch->addChild(c, -1);  // arrives last, drawn first
    EXPECT_EQ(c->atlasIndex(), 2u);
    batch->visit();
    EXPECT_EQ(c->atlasIndex(), 0u);
    EXPECT_EQ(a->atlasIndex(), 1u);
    EXPECT_EQ(b->atlasIndex(), 2u);
    EXPECT_EQ(batch->descendants()[0], c);
    // The quads moved with their sprites.
    EXPECT_FLOAT_EQ(batch->textureAtlas()->quadAt(0).bl.vertices.x, 96);
    EXPECT_FLOAT_EQ(batch->textureAtlas()->quadAt(2).bl.vertices.x, 56);
    EXPECT_EQ(at(100, 50), (Px{255, 255, 255, 255}));
    EXPECT_EQ(at(60, 50), (Px{255, 255, 255, 255}));

    // Children of a batched sprite: z -1 before the parent, z 0 after it.
    auto under = GxSprite::spriteWithTexture(tex), over = GxSprite::spriteWithTexture(tex);
    a->addChild(over, 0);
    a->addChild(under, -1);
    batch->visit();
    EXPECT_LT(under->atlasIndex(), a->atlasIndex());
    EXPECT_EQ(over->atlasIndex(), a->atlasIndex() + 1);
    for (unsigned i = 0; i < batch->descendants().size(); ++i) EXPECT_EQ(batch->descendants()[i]->atlasIndex(), i);
    EXPECT_EQ(batch->textureAtlas()->totalQuads(), 5u);

    // Removing a sprite with two children removes three quads; later indices shift down.
    batch->removeChild(a.get(), true);
    EXPECT_EQ(batch->textureAtlas()->totalQuads(), 2u);
    EXPECT_EQ(b->atlasIndex(), 1u);
    EXPECT_EQ(a->batchNode(), nullptr);
    EXPECT_EQ(a->atlasIndex(), kGxSpriteIndexNotInitialized);

    // An invisible sprite's quad collapses at the next draw.
    b->setVisible(false);
    batch->visit();
    const auto& q = batch->textureAtlas()->quadAt(b->atlasIndex());
    EXPECT_FLOAT_EQ(q.tr.vertices.x, 0);
    EXPECT_FLOAT_EQ(q.tr.vertices.y, 0);

    // The default capacity grows to 40 with the 30th sprite.
    auto grow = GxSpriteBatchNode::batchNodeWithTexture(tex);
    for (int i = 0; i < 30; ++i) grow->addChild(GxSprite::spriteWithTexture(tex), 0);
    EXPECT_EQ(grow->textureAtlas()->capacity(), 40u);
    // Drawing an empty batch makes no GL call.
    auto empty = GxSpriteBatchNode::batchNodeWithTexture(tex);
    gl::resetCallCounts();
    empty->draw();
    EXPECT_EQ(gl::callCount(gl::Call::DrawElements), 0u);
    EXPECT_EQ(gl::callCount(gl::Call::UseProgram), 0u);
}

TEST_F(Sprites, ABatchThatCannotGrowStaysAsItWas) {
    REQUIRE_GL();
    auto tex = solidTexture(2, 2, {255, 255, 255, 255});
    auto batch = GxSpriteBatchNode::batchNodeWithTexture(tex, GxTextureAtlas::kMaxQuadsPerDraw - 1);
    for (unsigned i = 0; i + 1 < GxTextureAtlas::kMaxQuadsPerDraw; ++i)
        batch->addChild(GxSprite::spriteWithTexture(tex), 0);
    // One more fits (the atlas grows to its cap); a sprite with a child no longer does.
    batch->addChild(GxSprite::spriteWithTexture(tex), 0);
    EXPECT_EQ(batch->textureAtlas()->capacity(), GxTextureAtlas::kMaxQuadsPerDraw);
    auto parent = GxSprite::spriteWithTexture(tex);
    parent->addChild(GxSprite::spriteWithTexture(tex), 0);
    auto more = GxSprite::spriteWithTexture(tex);
    batch->addChild(more, 0);
    EXPECT_EQ(more->parent(), nullptr);
    EXPECT_EQ(more->batchNode(), nullptr);
    EXPECT_EQ(batch->childrenCount(), GxTextureAtlas::kMaxQuadsPerDraw);
    EXPECT_EQ(batch->descendants().size(), size_t(GxTextureAtlas::kMaxQuadsPerDraw));
    EXPECT_EQ(batch->textureAtlas()->totalQuads(), GxTextureAtlas::kMaxQuadsPerDraw);
    batch->addChild(parent, 0);
    EXPECT_EQ(parent->parent(), nullptr);
    EXPECT_EQ(batch->textureAtlas()->totalQuads(), GxTextureAtlas::kMaxQuadsPerDraw);
}

}  // namespace
