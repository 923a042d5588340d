// Particle textures, the renderer, the batch node and the star path on real
// GLES (Mesa surfaceless EGL), read back as pixels.

#include <gtest/gtest.h>

#include <cairo.h>
#include <zlib.h>

#include <array>
#include <cmath>
#include <vector>

#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/particles/GxParticleBatchNode.h"
#include "lib/engine2d/particles/GxParticleSystemQuad.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Value.h"
#include "platform/gl/GL.h"
#include "tests/support/engine2d/GLFixture.h"

using namespace engine2d;
using testing_gl::Px;
using testing_gl::solidTexture;

namespace {

// A w x h PNG drawn with cairo: a solid colour.
std::vector<uint8_t> pngBytes(int w, int h, double r, double g, double b) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, r, g, b, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::vector<uint8_t> out;
    cairo_surface_write_to_png_stream(
        s,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* v = static_cast<std::vector<uint8_t>*>(closure);
            v->insert(v->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &out);
    cairo_surface_destroy(s);
    return out;
}

// zlib stream, or gzip with windowBits 31.
std::vector<uint8_t> deflate(const std::vector<uint8_t>& in, bool gzip) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, gzip ? 31 : 15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, uLong(in.size())) + 32);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = uInt(in.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// The particle files of the app's bundle are read.
class ParticlesGL : public testing_gl::GLTest {
protected:
    ParticlesGL() : GLTest(false) {}
    void SetUp() override {
        GxEnvironment::shared().setScheduler(std::make_shared<GxScheduler>());
        GxEnvironment::shared().winSize = Size{320, 480};
        srandom(11);
        GLTest::SetUp();
    }
    void TearDown() override {
        GxEnvironment::shared().scheduler()->unscheduleAllSelectors();
        GxEnvironment::shared().setScheduler(nullptr);
        GLTest::TearDown();
    }
    // The brightest red, green or blue in a square of radius r around (x, y).
    int brightest(int x, int y, int r) {
        std::vector<Px> px = pixels();
        int best = 0;
        for (int j = std::max(0, y - r); j <= std::min(h_ - 1, y + r); ++j)
            for (int i = std::max(0, x - r); i <= std::min(w_ - 1, x + r); ++i) {
                const Px& p = px[size_t(j) * w_ + i];
                best = std::max({best, int(p[0]), int(p[1]), int(p[2])});
            }
        return best;
    }
};

// A system that emits `n` particles of `size` at its origin in its first
// step and keeps them.
std::shared_ptr<GxParticleSystemQuad> steady(unsigned n, float size, gxColor4F colour) {
    auto s = GxParticleSystem::particleWithTotalParticles<GxParticleSystemQuad>(n);
    s->setEmissionRate(1000);
    s->setLife(100);
    s->setDuration(-1);
    s->setStartSize(size);
    s->setEndSize(-1);
    s->setStartColor(colour);
    s->setEndColor(colour);
    s->setPositionType(kGxPositionTypeGrouped);
    return s;
}

TEST_F(ParticlesGL, TextureRectanglesBecomeTextureCoordinatesOfEveryQuad) {
    REQUIRE_GL();
    auto s = GxParticleSystem::particleWithTotalParticles<GxParticleSystemQuad>(3);
    auto tex = solidTexture(64, 32, {255, 255, 255, 255});
    s->setTextureWithRect(tex, Rect{{16, 8}, {32, 16}});
    for (const auto& q : s->quads()) {
        EXPECT_FLOAT_EQ(q.tl.texCoords.u, 0.25f);
        EXPECT_FLOAT_EQ(q.tl.texCoords.v, 0.25f);
        EXPECT_FLOAT_EQ(q.br.texCoords.u, 0.75f);
        EXPECT_FLOAT_EQ(q.br.texCoords.v, 0.75f);
        EXPECT_FLOAT_EQ(q.bl.texCoords.u, 0.25f);
        EXPECT_FLOAT_EQ(q.bl.texCoords.v, 0.75f);
    }
    // Raw data is not premultiplied: straight blending.
    EXPECT_EQ(s->blendFunc(), (gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
    // The whole texture at content scale 2: the rectangle in points covers
    // twice its pixels.
    GxEnvironment::shared().contentScaleFactor = 2;
    s->initTexCoordsWithRect(Rect{{0, 0}, {16, 8}});
    EXPECT_FLOAT_EQ(s->quads()[2].tr.texCoords.u, 0.5f);
    EXPECT_FLOAT_EQ(s->quads()[2].bl.texCoords.v, 0.5f);
}

TEST_F(ParticlesGL, EmbeddedTexturesAreDecodedAndBadOnesLeaveTheSystemWithout) {
    REQUIRE_GL();
    const auto png = pngBytes(8, 4, 0, 1, 0);
    auto file = [](std::string name, std::string data) {
        foundation::Dictionary d;
        d.set("maxParticles", 4);
        d.set("particleLifespan", 1.0);
        d.set("textureFileName", name);
        if (!data.empty()) d.set("textureImageData", data);
        return d;
    };
    // gzip and zlib streams both decode; the name becomes the cache key.
    for (bool gzip : {true, false}) {
        std::string key = gzip ? "embedded-gz.png" : "embedded-z.png";
        auto s = GxParticleSystem::particleWithDictionary<GxParticleSystemQuad>(
            file(key, foundation::base64Encode(deflate(png, gzip))));
        ASSERT_NE(s, nullptr);
        ASSERT_NE(s->texture(), nullptr) << key;
        EXPECT_EQ(s->texture()->contentSizeInPixels(), (Size{8, 4})) << key;
        EXPECT_EQ(GxTextureCache::sharedTextureCache().textureForKey(key), s->texture()) << key;
        EXPECT_FLOAT_EQ(s->quads()[0].tr.texCoords.u, 1.0f) << key;
    }
    // A name that loads wins: the data is not looked at.
    auto named = GxParticleSystem::particleWithDictionary<GxParticleSystemQuad>(file("fire.png", "%%%garbage"));
    ASSERT_NE(named, nullptr);
    ASSERT_NE(named->texture(), nullptr);
    EXPECT_EQ(named->texture()->contentSizeInPixels(), (Size{32, 32}));

    // Nothing usable: a system without texture, never a crash.
    const std::string cases[] = {
        "",                                                          // no data
        "not base64 at all!",                                        // not base64
        foundation::base64Encode(png),                               // not compressed
        foundation::base64Encode(deflate({1, 2, 3, 4}, true)),       // not a picture
        foundation::base64Encode(deflate(png, true)).substr(0, 40),  // cut short
    };
    for (const auto& data : cases) {
        auto s = GxParticleSystem::particleWithDictionary<GxParticleSystemQuad>(file("no-such-file.png", data));
        ASSERT_NE(s, nullptr) << data;
        EXPECT_EQ(s->texture(), nullptr) << data;
        s->update(0.5f);
        target(8, 8);
        s->visit();
    }
}

TEST_F(ParticlesGL, ASystemDrawsItsParticlesWithOneDrawCall) {
    REQUIRE_GL();
    target(64, 64);
    auto s = steady(2, 8, {1, 0, 0, 1});
    s->setTexture(solidTexture(4, 4, {255, 255, 255, 255}));
    s->setPosition(Point{20, 20});
    s->update(0.0025f);  // births come at a rate of 1000 a second
    ASSERT_EQ(s->particleCount(), 2u);
    unsigned before = GxEnvironment::shared().drawCounter;
    s->visit();
    EXPECT_EQ(GxEnvironment::shared().drawCounter, before + 1);
    EXPECT_EQ(at(20, 20), (Px{255, 0, 0, 255}));
    EXPECT_EQ(at(20, 40), (Px{0, 0, 0, 255}));

    // After a step without live particles it draws nothing.
    s->resetSystem();
    s->stopSystem();
    s->update(0.1f);
    EXPECT_EQ(s->particleCount(), 0u);
    clear();
    s->visit();
    EXPECT_EQ(at(20, 20), (Px{0, 0, 0, 255}));
}

TEST_F(ParticlesGL, BatchBlocksFollowZOrderAndMoveOnReorderAndRemoval) {
    REQUIRE_GL();
    auto tex = solidTexture(4, 4, {255, 255, 255, 255});
    auto batch = GxParticleBatchNode::batchNodeWithTexture(tex);
    ASSERT_NE(batch, nullptr);
    EXPECT_EQ(batch->textureAtlas()->capacity(), 500u);
    auto a = steady(100, 2, {1, 0, 0, 1}), b = steady(50, 2, {0, 1, 0, 1}), c = steady(200, 2, {0, 0, 1, 1});
    for (auto& s : {a, b, c}) s->setTexture(tex);
    batch->addChild(a, 0, 1);
    batch->addChild(b, 0, 2);
    batch->addChild(c, -1, 3);
    ASSERT_EQ(batch->childrenCount(), 3u);
    EXPECT_EQ(batch->children()->objectAtIndex(0), c);
    EXPECT_EQ(batch->children()->objectAtIndex(1), a);
    EXPECT_EQ(batch->children()->objectAtIndex(2), b);
    EXPECT_EQ(c->atlasIndex(), 0u);
    EXPECT_EQ(a->atlasIndex(), 200u);
    EXPECT_EQ(b->atlasIndex(), 300u);
    EXPECT_EQ(batch->textureAtlas()->totalQuads(), 350u);
    // In the batch the systems keep no storage of their own.
    EXPECT_TRUE(a->quads().empty());
    EXPECT_EQ(a->vertexBuffer(), 0u);

    // Each writes its particles into its own block.
    for (auto& s : {a, b, c}) s->update(0.0015f);
    auto colourAt = [&](unsigned i) { return batch->textureAtlas()->quadAt(i).tl.colors; };
    EXPECT_EQ(colourAt(0), (gxColor4B{0, 0, 255, 255}));
    EXPECT_EQ(colourAt(200), (gxColor4B{255, 0, 0, 255}));
    EXPECT_EQ(colourAt(300), (gxColor4B{0, 255, 0, 255}));

    // The last child to the front: its block moves, the others follow.
    batch->reorderChild(b.get(), -2);
    EXPECT_EQ(batch->children()->objectAtIndex(0), b);
    EXPECT_EQ(b->atlasIndex(), 0u);
    EXPECT_EQ(c->atlasIndex(), 50u);
    EXPECT_EQ(a->atlasIndex(), 250u);
    EXPECT_EQ(colourAt(0), (gxColor4B{0, 255, 0, 255}));
    EXPECT_EQ(colourAt(50), (gxColor4B{0, 0, 255, 255}));
    EXPECT_EQ(colourAt(250), (gxColor4B{255, 0, 0, 255}));

    // Removing the middle one closes the gap and clears the freed tail; it
    // draws itself again.
    batch->removeChild(c.get(), true);
    EXPECT_EQ(a->atlasIndex(), 50u);
    EXPECT_EQ(batch->textureAtlas()->totalQuads(), 150u);
    EXPECT_EQ(colourAt(50), (gxColor4B{255, 0, 0, 255}));
    EXPECT_EQ(batch->textureAtlas()->quadAt(150).tl.colors, (gxColor4B{}));
    EXPECT_EQ(c->batchNode(), nullptr);
    EXPECT_EQ(c->quads().size(), 200u);
    EXPECT_FLOAT_EQ(c->quads()[0].tr.texCoords.u, 1.0f);

    // A dying particle leaves a quad that draws nothing.
    batch->disableParticle(50);
    const auto& q = batch->textureAtlas()->quadAt(50);
    EXPECT_EQ(q.tl.vertices.x + q.tl.vertices.y + q.br.vertices.x + q.br.vertices.y, 0.0f);

    // Removing all: every child draws itself again, the atlas is empty.
    batch->removeAllChildrenWithCleanup(true);
    EXPECT_EQ(batch->textureAtlas()->totalQuads(), 0u);
    for (auto& s : {a, b}) {
        EXPECT_EQ(s->batchNode(), nullptr);
        EXPECT_EQ(s->quads().size(), s->totalParticles());
        EXPECT_EQ(s->indices().size(), s->totalParticles() * 6);
    }
    target(32, 32);
    a->setPosition(Point{10, 10});
    a->update(0.01f);
    a->visit();
    EXPECT_EQ(at(10, 10), (Px{255, 0, 0, 255}));
    // An empty batch node draws nothing.
    unsigned before = GxEnvironment::shared().drawCounter;
    batch->visit();
    EXPECT_EQ(GxEnvironment::shared().drawCounter, before);
}

TEST_F(ParticlesGL, ABatchDrawsAllItsChildrenInRunsAndRefusesWhatItCannotHold) {
    REQUIRE_GL();
    target(64, 64);
    auto tex = solidTexture(4, 4, {255, 255, 255, 255});
    auto batch = GxParticleBatchNode::batchNodeWithTexture(tex, 2);
    auto left = steady(3, 6, {1, 0, 0, 1}), right = steady(3, 6, {0, 1, 0, 1});
    left->setPosition(Point{10, 30});
    right->setPosition(Point{50, 30});
    batch->addChild(left, 0, 0);
    batch->addChild(right, 1, 0);
    EXPECT_EQ(batch->textureAtlas()->capacity(), 6u);  // grew to fit
    for (auto& s : {left, right}) s->update(0.0035f);
    unsigned before = GxEnvironment::shared().drawCounter;
    batch->visit();
    EXPECT_EQ(GxEnvironment::shared().drawCounter, before + 1);
    EXPECT_EQ(at(10, 30), (Px{255, 0, 0, 255}));
    EXPECT_EQ(at(50, 30), (Px{0, 255, 0, 255}));
    EXPECT_EQ(at(30, 30), (Px{0, 0, 0, 255}));

    // More than one draw call reaches: the batch holds it and draws its
    // quads in runs. The big system goes first, so the two small ones lie in
    // the second run and their pixels show that it is drawn.
    auto huge = steady(GxParticleSystem::kMaxParticles, 2, {1, 1, 1, 1});
    huge->setPosition(Point{30, 50});
    batch->addChild(huge, -1, 0);
    EXPECT_EQ(huge->batchNode(), batch.get());
    EXPECT_EQ(batch->textureAtlas()->totalQuads(), 6u + GxParticleSystem::kMaxParticles);
    EXPECT_EQ(left->atlasIndex(), GxParticleSystem::kMaxParticles);
    huge->update(0.0015f);
    clear();
    const uint64_t draws = gl::callCount(gl::Call::DrawElements);
    batch->visit();
    EXPECT_EQ(gl::callCount(gl::Call::DrawElements) - draws, 2u) << "runs of 16384 quads";
    EXPECT_EQ(at(10, 30), (Px{255, 0, 0, 255}));
    EXPECT_EQ(at(50, 30), (Px{0, 255, 0, 255}));
    EXPECT_EQ(at(30, 50), (Px{255, 255, 255, 255}));

    // Past the largest atlas: not added, it keeps drawing itself.
    std::vector<std::shared_ptr<GxParticleSystemQuad>> more;
    while (batch->textureAtlas()->totalQuads() + GxParticleSystem::kMaxParticles <= GxTextureAtlas::kMaxCapacity) {
        more.push_back(steady(GxParticleSystem::kMaxParticles, 2, {1, 1, 1, 1}));
        batch->addChild(more.back(), 0, 0);
        ASSERT_EQ(more.back()->batchNode(), batch.get());
    }
    const unsigned held = batch->textureAtlas()->totalQuads();
    auto tooMany = steady(GxParticleSystem::kMaxParticles, 2, {1, 1, 1, 1});
    batch->addChild(tooMany, 0, 0);
    EXPECT_EQ(tooMany->parent(), nullptr);
    EXPECT_EQ(tooMany->batchNode(), nullptr);
    EXPECT_EQ(tooMany->quads().size(), size_t(GxParticleSystem::kMaxParticles));
    EXPECT_EQ(batch->textureAtlas()->totalQuads(), held);
    more.clear();

    // A batch node that goes away while its children live on: their steps
    // no longer write anywhere.
    batch.reset();
    EXPECT_EQ(left->batchNode(), nullptr);
    EXPECT_EQ(left->parent(), nullptr);
    left->update(0.1f);
    EXPECT_EQ(left->particleCount(), 3u);
}

// The nine-star screen's path 0 -> 4 -> 8: the emitter of "point.plist"
// travels 0.4 s per leg with a 0.3 s pause at each star, where a burst of
// "start2.plist" goes off, and stops emitting at the end.
TEST_F(ParticlesGL, TheStarPathLeavesATrailAndBurstsAtTheStars) {
    REQUIRE_GL();
    const Point stars[9] = {{65, 227},  {161, 227}, {256, 227}, {65, 131}, {161, 131},
                            {256, 131}, {65, 35},   {161, 35},  {256, 35}};
    const int path[3] = {0, 4, 8};
    target(320, 260);
    auto layer = GxNode::node();
    auto emitter = GxParticleSystem::particleWithFile<GxParticleSystemQuad>("point.plist");
    ASSERT_NE(emitter, nullptr);
    ASSERT_NE(emitter->texture(), nullptr);
    emitter->setPosition(stars[path[0]]);
    layer->addChild(emitter, 99, 1);
    layer->onEnter();

    auto scheduler = GxEnvironment::shared().scheduler();
    const float dt = 1 / 60.0f;
    int bursts = 0;
    for (int frame = 1; frame <= 84; ++frame) {
        const float t = frame * dt;
        const int leg = std::min(1, int(t / 0.7f));
        const float into = std::min(1.0f, (t - leg * 0.7f) / 0.4f);
        const Point from = stars[path[leg]], to = stars[path[leg + 1]];
        emitter->setPosition(gxPointLerp(from, to, into));
        if (into >= 1 && bursts == leg) {
            auto burst = GxParticleSystem::particleWithFile<GxParticleSystemQuad>("start2.plist");
            ASSERT_NE(burst, nullptr);
            ASSERT_NE(burst->texture(), nullptr);  // the embedded spark
            layer->addChild(burst, 0, 1);
            burst->setPosition(to);
            ++bursts;
        }
        scheduler->update(dt);
        clear();
        layer->visit();
    }
    emitter->stopSystem();
    EXPECT_EQ(bursts, 2);
    EXPECT_EQ(layer->childrenCount(), 3u);

    const int y = 0;                                                      // the target's rows are the layer's points
    EXPECT_GT(brightest(int(stars[8].x), int(stars[8].y) + y, 12), 200);  // emitter and burst at the end
    EXPECT_GT(brightest(int(stars[4].x), int(stars[4].y) + y, 30), 40);   // the first burst and trail
    EXPECT_LT(brightest(int(stars[0].x), int(stars[0].y) + y, 8), 10);    // faded where it began
    EXPECT_LT(brightest(int(stars[2].x), int(stars[2].y) + y, 8), 10);    // never went there
    layer->onExit();
    layer->cleanup();
}

}  // namespace
