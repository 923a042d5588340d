// The two code layers on the engine, rendered for real on surfaceless GL in
// the driver's window and read back where the check is about pixels.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "app/screens/token/CodeEngine.h"
#include "app/screens/token/KAVOMainLayer.h"
#include "app/screens/token/OTPLayer.h"
#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/gl/Context.h"
#include "platform/shell/Driver.h"
#include "tests/support/RequireGL.h"

using namespace engine2d;

namespace {

std::vector<std::string> digits(const std::string& code) {
    std::vector<std::string> out;
    for (char c : code) out.push_back(std::string(1, c));
    return out;
}

class CodeLayers : public testing::Test {
protected:
    void SetUp() override {
        if (!gl::Context::available()) return;
        host = ui::View::create({0, 0, 320, 260});
        driver.window().addSubview(host);
        view = CodeEngine::attach(*host, host->bounds(), nullptr);
    }
    void TearDown() override {
        auto& d = GxDirector::sharedDirector();
        d.end();
        d.setContentScaleFactor(1);
        GxTextureCache::sharedTextureCache().removeAllTextures();
        gl::Context::clearCurrent();
    }
    // Dark (digit-ink) pixels in the card of sprite i, as last presented.
    int inkOf(int i) {
        const int cx = int(OTPLayer::kCentreX[i]), cy = 260 - int(OTPLayer::kCentreY);
        int n = 0;
        for (int y = cy - 30; y < cy + 30; ++y)
            for (int x = cx - 20; x < cx + 20; ++x) {
                auto p = view->presentedPixel(x, y);
                if (p[3] > 200 && p[0] < 110 && p[2] > p[0]) ++n;
            }
        return n;
    }

    shell::Driver driver{{320, 480}, 1};
    std::shared_ptr<ui::View> host;
    std::shared_ptr<GxGLView> view;
};

TEST_F(CodeLayers, TheFirstCodePlacesSixDigitsAndALaterOneFlipsEachToItsNewPicture) {
    REQUIRE_GL();
    ASSERT_TRUE(view);
    auto pair = OTPLayer::initParam();
    ASSERT_EQ(pair.layer->parent(), pair.scene);
    CodeEngine::run(pair.scene);
    pair.layer->changeNum({});
    EXPECT_TRUE(pair.layer->array().empty()) << "an empty code shows nothing";

    pair.layer->changeNum(digits("111111"));
    ASSERT_EQ(pair.layer->array().size(), 6u);
    for (int i = 0; i < 6; ++i) {
        auto& s = pair.layer->array()[i];
        EXPECT_EQ(s->position().x, OTPLayer::kCentreX[i]);
        EXPECT_EQ(s->position().y, OTPLayer::kCentreY);
        EXPECT_FLOAT_EQ(s->contentSize().width * s->scaleX(), 49);
        EXPECT_FLOAT_EQ(s->contentSize().height * s->scaleY(), 68);
        EXPECT_EQ(s->numberOfRunningActions(), 0u) << "no animation on the first code";
    }
    driver.advance(2.0 / 60);
    const int inkOfOne = inkOf(0);
    EXPECT_GT(inkOfOne, 50) << "the digit card is drawn";
    EXPECT_EQ(view->presentedPixel(160, 200)[3], 0) << "below the cards the view stays clear";

    // The same digits again still flip all six; new ones end on their pictures.
    srandom(7);
    pair.layer->changeNum(digits("111111"));
    for (auto& s : pair.layer->array()) EXPECT_EQ(s->numberOfRunningActions(), 1u);
    driver.advance(2.5);
    pair.layer->changeNum(digits("888880"));
    driver.advance(2.5);
    auto& cache = GxTextureCache::sharedTextureCache();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(pair.layer->array()[i]->texture(), cache.addImage("otp_8.png")) << i;
    EXPECT_EQ(pair.layer->array()[5]->texture(), cache.addImage("otp_0.png"));
    for (auto& s : pair.layer->array()) EXPECT_EQ(s->numberOfRunningActions(), 0u);
    EXPECT_GT(inkOf(0), inkOfOne + 20) << "an 8 carries more ink than a 1";
    EXPECT_GT(inkOf(2), inkOfOne + 20);

    // Characters that are no digit keep the old picture; extra ones are ignored.
    pair.layer->changeNum(digits("x8888888"));
    driver.advance(2.5);
    EXPECT_EQ(pair.layer->array()[0]->texture(), cache.addImage("otp_8.png"));
}

TEST_F(CodeLayers, TheFlipTurnsEdgeOnHalfwayAndEachDigitTakesItsOwnTime) {
    REQUIRE_GL();
    ASSERT_TRUE(view);
    auto pair = OTPLayer::initParam();
    CodeEngine::run(pair.scene);
    pair.layer->changeNum(digits("888888"));
    driver.advance(2.0 / 60);
    srandom(11);
    pair.layer->changeNum(digits("888888"));
    std::array<float, 6> durations{};
    for (int i = 0; i < 6; ++i) {
        auto action = GxDirector::sharedDirector().actionManager()->getActionByTag(OTPLayer::kFlipTag,
                                                                                   pair.layer->array()[i].get());
        auto* sequence = dynamic_cast<GxFiniteTimeAction*>(action.get());
        ASSERT_TRUE(sequence);
        durations[i] = sequence->duration();
        EXPECT_LT(durations[i], 2.0f);
    }
    EXPECT_NE(durations[0], durations[1]);
}

TEST_F(CodeLayers, TheEmitterTravelsThePathWithABurstAtEachStarAndANewPathReplacesIt) {
    REQUIRE_GL();
    ASSERT_TRUE(view);
    auto pair = KAVOMainLayer::initParam();
    ASSERT_EQ(pair.layer->set().size(), 9u);
    EXPECT_EQ(pair.layer->set()[4]->position(), (Point{161, 131}));
    CodeEngine::run(pair.scene);
    driver.advance(1.0 / 60);

    pair.layer->changeMoving("048");
    auto emitter = pair.layer->system();
    ASSERT_TRUE(emitter);
    EXPECT_EQ(emitter->position(), (Point{65, 227}));
    EXPECT_EQ(pair.layer->childrenCount(), 1u) << "the anchors leave the layer";
    EXPECT_EQ(pair.layer->getChildByTag(KAVOMainLayer::kEmitterTag), emitter);

    driver.advance(0.45);  // the first leg and its burst
    EXPECT_EQ(emitter->position(), (Point{161, 131}));
    EXPECT_EQ(pair.layer->childrenCount(), 2u);
    EXPECT_TRUE(emitter->isActive());
    driver.advance(1.0);  // two legs take 1.4 s
    EXPECT_EQ(emitter->position(), (Point{256, 35}));
    EXPECT_EQ(pair.layer->childrenCount(), 3u) << "two bursts for three stars";
    EXPECT_FALSE(emitter->isActive()) << "it stops emitting at the end";
    // The trace is drawn where the path went and not where it never was.
    int lit = 0;
    for (int y = 260 - 35 - 6; y < 260 - 35 + 6; ++y)
        for (int x = 256 - 6; x < 256 + 6; ++x) lit += view->presentedPixel(x, y)[3] > 0;
    EXPECT_GT(lit, 0);
    EXPECT_EQ(view->presentedPixel(256, 260 - 227)[3], 0);

    // A new path halfway: the old emitter and bursts go at once.
    pair.layer->changeMoving("1234");
    driver.advance(0.2);
    pair.layer->changeMoving("21");
    EXPECT_EQ(pair.layer->childrenCount(), 1u);
    EXPECT_NE(pair.layer->system(), emitter);
    EXPECT_EQ(pair.layer->system()->position(), (Point{256, 227}));
    driver.advance(0.8);
    EXPECT_EQ(pair.layer->system()->position(), (Point{161, 227}));
    EXPECT_EQ(pair.layer->childrenCount(), 2u);

    pair.layer->changeMoving("z");  // nothing to trace
    EXPECT_EQ(pair.layer->childrenCount(), 0u);
    EXPECT_EQ(pair.layer->system(), nullptr);
}

}  // namespace
