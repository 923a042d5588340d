// The progress timer's vertices, and its drawing on real GLES (Mesa
// surfaceless EGL) read back as pixels.

#include <gmock/gmock.h>

#include "lib/engine2d/misc/GxProgressTimer.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "tests/support/engine2d/GLFixture.h"

using namespace engine2d;

namespace {

// A timer over a texture-less sprite of 100 x 50 points: positions are the
// alpha points scaled by (100, 50).
std::shared_ptr<GxProgressTimer> timerOver100x50() {
    auto sprite = gxMake<GxSprite>();
    sprite->setTextureRect(Rect{{0, 0}, {100, 50}});
    return GxProgressTimer::progressWithSprite(sprite);
}

std::vector<Point> positions(const GxProgressTimer& t) {
    std::vector<Point> out;
    for (int i = 0; i < t.vertexDataCount(); ++i)
        out.push_back({t.vertexData()[i].vertices.x, t.vertexData()[i].vertices.y});
    return out;
}

MATCHER_P2(Near, x, y, "") { return std::abs(arg.x - x) < 1e-3f && std::abs(arg.y - y) < 1e-3f; }

TEST(ProgressTimer, DefaultsAndPercentageClamping) {
    auto t = timerOver100x50();
    EXPECT_EQ(t->type(), kGxProgressTimerTypeRadial);
    EXPECT_EQ(t->midpoint(), (Point{0.5f, 0.5f}));
    EXPECT_EQ(t->barChangeRate(), (Point{1, 1}));
    EXPECT_EQ(t->contentSize(), (Size{100, 50}));
    EXPECT_EQ(t->vertexData(), nullptr) << "nothing until the percentage changes";
    t->setPercentage(150);
    EXPECT_FLOAT_EQ(t->percentage(), 100);
    t->setPercentage(-5);
    EXPECT_FLOAT_EQ(t->percentage(), 0);
    t->setMidpoint({2, -1});
    EXPECT_EQ(t->midpoint(), (Point{1, 0}));
    auto none = gxMake<GxProgressTimer>();
    none->setPercentage(50);
    EXPECT_EQ(none->vertexData(), nullptr) << "no sprite, no vertices";
    EXPECT_EQ(none->opacity(), 0);
}

TEST(ProgressTimer, RadialVerticesAtZeroQuarterAndFull) {
    auto t = timerOver100x50();
    t->setPercentage(0.001f);
    t->setPercentage(0);
    EXPECT_THAT(positions(*t), ::testing::ElementsAre(Near(50, 25), Near(50, 50), Near(50, 50)));
    t->setPercentage(25);
    EXPECT_THAT(positions(*t), ::testing::ElementsAre(Near(50, 25), Near(50, 50), Near(100, 50), Near(100, 25)))
        << "to the middle of the right edge, past one corner";
    t->setPercentage(100);
    EXPECT_THAT(positions(*t), ::testing::ElementsAre(Near(50, 25), Near(50, 50), Near(100, 50), Near(100, 0),
                                                      Near(0, 0), Near(0, 50), Near(50, 50)));
    t->setReverseDirection(true);
    t->setPercentage(25);
    EXPECT_THAT(positions(*t), ::testing::ElementsAre(Near(50, 25), Near(50, 50), Near(0, 50), Near(0, 25)))
        << "counter-clockwise to the middle of the left edge";
}

TEST(ProgressTimer, BarRegionsArePushedInsideTheSprite) {
    auto t = timerOver100x50();
    t->setType(kGxProgressTimerTypeBar);
    t->setBarChangeRate({1, 0});
    t->setMidpoint({0, 0.5f});
    t->setPercentage(50);
    EXPECT_THAT(positions(*t), ::testing::ElementsAre(Near(0, 50), Near(0, 0), Near(50, 50), Near(50, 0)));
    t->setBarChangeRate({1, 1});
    t->setMidpoint({0.9f, 0.5f});
    t->setPercentage(40);
    EXPECT_THAT(positions(*t), ::testing::ElementsAre(Near(60, 35), Near(60, 15), Near(100, 35), Near(100, 15)));
    t->setPercentage(25);
    EXPECT_EQ(t->vertexDataCount(), 4);
    t->setPercentage(100);
    EXPECT_THAT(positions(*t), ::testing::ElementsAre(Near(0, 50), Near(0, 0), Near(100, 50), Near(100, 0)));
}

// Changing direction or type between updates never writes a list of one
// layout as another (a bar of 4 vertices turned round needs 8).
TEST(ProgressTimer, ChangingDirectionOrTypeRebuildsTheVertexList) {
    auto t = timerOver100x50();
    t->setType(kGxProgressTimerTypeBar);
    t->setBarChangeRate({1, 0});
    t->setMidpoint({0.5f, 0.5f});
    t->setPercentage(50);
    ASSERT_EQ(t->vertexDataCount(), 4);
    t->setReverseDirection(true);
    EXPECT_EQ(t->vertexData(), nullptr);
    t->setPercentage(60);
    EXPECT_THAT(positions(*t), ::testing::ElementsAre(Near(0, 50), Near(0, 0), Near(20, 50), Near(20, 0), Near(80, 50),
                                                      Near(80, 0), Near(100, 50), Near(100, 0)));
    t->setReverseDirection(false);
    t->setPercentage(50);
    EXPECT_EQ(t->vertexDataCount(), 4);
    t->setType(kGxProgressTimerTypeRadial);
    t->setPercentage(100);
    EXPECT_EQ(t->vertexDataCount(), 7);
    t->setType(kGxProgressTimerTypeBar);
    t->setReverseDirection(true);
    t->setPercentage(10);
    EXPECT_EQ(t->vertexDataCount(), 8);
}

TEST(ProgressTimer, VerticesTakeTheSpritesTopLeftColour) {
    auto t = timerOver100x50();
    t->setPercentage(30);
    t->setColor({10, 20, 30});
    t->setOpacity(255);
    const gxColor4B c = t->sprite()->quad().tl.colors;
    for (int i = 0; i < t->vertexDataCount(); ++i) EXPECT_EQ(t->vertexData()[i].colors, c);
    EXPECT_EQ(t->color(), (gxColor3B{10, 20, 30}));
}

using testing_gl::Px;

// Cases draw into a 64 x 64 point target.
class ProgressTimerGL : public testing_gl::GLTest {
protected:
    void SetUp() override {
        REQUIRE_GL();
        GLTest::SetUp();
        target(64, 64);
    }
    bool red(int x, int y) {
        Px p = at(x, y);
        return p[0] > 200 && p[1] < 50 && p[2] < 50;
    }
    std::shared_ptr<GxProgressTimer> redTimer() {
        std::vector<Px> px(64 * 64, Px{255, 0, 0, 255});
        auto tex = GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, 64, 64, Size{64, 64});
        return GxProgressTimer::progressWithSprite(GxSprite::spriteWithTexture(tex));
    }
};

TEST_F(ProgressTimerGL, RadialAndBarTimersCoverTheirShareOfTheSprite) {
    auto t = redTimer();
    clear();
    t->draw();
    EXPECT_FALSE(red(48, 48)) << "a new timer draws nothing";

    t->setPercentage(25);
    unsigned draws = GxEnvironment::shared().drawCounter;
    clear();
    t->draw();
    EXPECT_EQ(GxEnvironment::shared().drawCounter, draws + 1);
    EXPECT_TRUE(red(48, 48)) << "top right quarter";
    EXPECT_FALSE(red(16, 48));
    EXPECT_FALSE(red(16, 16));
    EXPECT_FALSE(red(48, 16));

    t->setPercentage(100);
    clear();
    t->draw();
    EXPECT_TRUE(red(16, 16) && red(48, 16) && red(16, 48) && red(48, 48));

    t->setType(kGxProgressTimerTypeBar);
    t->setBarChangeRate({1, 0});
    t->setMidpoint({0, 0.5f});
    t->setPercentage(50);
    clear();
    t->draw();
    EXPECT_TRUE(red(16, 32));
    EXPECT_FALSE(red(48, 32));

    // Turned round: the two strips outside the region.
    t->setMidpoint({0.5f, 0.5f});
    t->setReverseDirection(true);
    t->setPercentage(25);
    draws = GxEnvironment::shared().drawCounter;
    clear();
    t->draw();
    EXPECT_EQ(GxEnvironment::shared().drawCounter, draws + 2);
    EXPECT_TRUE(red(8, 32));
    EXPECT_FALSE(red(32, 32));
    EXPECT_TRUE(red(56, 32));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ProgressTimerGL, ARotatedFrameMapsAlphaXToTheOtherTextureAxis) {
    auto t = redTimer();
    auto sprite = t->sprite();
    const auto& q = sprite->quad();
    Point plain = t->textureCoordFromAlphaPoint({1, 0});
    EXPECT_FLOAT_EQ(plain.x, q.tr.texCoords.u);
    EXPECT_FLOAT_EQ(plain.y, q.bl.texCoords.v);
    sprite->setTextureRect(Rect{{0, 0}, {32, 64}}, true, Size{32, 64});
    Point rotated = t->textureCoordFromAlphaPoint({1, 0});
    EXPECT_FLOAT_EQ(rotated.x, sprite->quad().bl.texCoords.u) << "alpha x follows v";
    EXPECT_FLOAT_EQ(rotated.y, sprite->quad().tr.texCoords.v);
}

}  // namespace
