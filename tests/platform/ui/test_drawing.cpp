#include <cmath>
#include <memory>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Path.h"
#include "tests/platform/ui/UiTest.h"

using namespace ui;
using uitest::pixelNear;

namespace {

class Drawing : public uitest::UiFixture {
protected:
    std::unique_ptr<GraphicsContext> canvas(int w = 100, int h = 100) { return GraphicsContext::createBitmap(w, h); }
};

}  // namespace

TEST_F(Drawing, LinearGradientPixelsAndExtensionOptions) {
    Gradient g = Gradient::withColors({Color::rgba(1, 0, 0), Color::rgba(0, 0, 1)});
    struct Case {
        unsigned options;
        Rgba before, after;
    };
    Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255}, none{0, 0, 0, 0};
    std::vector<Case> cases = {
        {0, none, none},
        {kGradientDrawsBeforeStartLocation, red, none},
        {kGradientDrawsAfterEndLocation, none, blue},
        {kGradientDrawsBeforeStartLocation | kGradientDrawsAfterEndLocation, red, blue},
    };
    for (auto& c : cases) {
        auto ctx = canvas();
        ctx->drawLinearGradient(g, {25, 0}, {75, 0}, c.options);
        auto img = ctx->makeImage();
        EXPECT_TRUE(pixelNear(*img, 10, 50, c.before)) << "options " << c.options;
        EXPECT_TRUE(pixelNear(*img, 90, 50, c.after)) << "options " << c.options;
        EXPECT_TRUE(pixelNear(*img, 50, 50, {128, 0, 128, 255}, 4)) << "options " << c.options;
        EXPECT_TRUE(pixelNear(*img, 26, 10, {250, 0, 5, 255}, 4)) << "options " << c.options;
    }
}

TEST_F(Drawing, RadialGradientFromCentre) {
    auto ctx = canvas();
    Gradient g = Gradient::withColors({Color::white(0, 0), Color::white(0, 0.75)}, {0, 1});
    ctx->drawRadialGradient(g, {50, 50}, 0, {50, 50}, 50, kGradientDrawsAfterEndLocation);
    auto img = ctx->makeImage();
    EXPECT_TRUE(pixelNear(*img, 50, 50, {0, 0, 0, 0}, 3));
    EXPECT_TRUE(pixelNear(*img, 75, 50, {0, 0, 0, 96}, 3));  // half way: alpha 0.375
    EXPECT_TRUE(pixelNear(*img, 1, 1, {0, 0, 0, 191}, 2));   // beyond the end circle, padded
}

TEST_F(Drawing, RoundedRectLeavesCornersEmpty) {
    auto ctx = canvas();
    ctx->setFillColor(Color::rgba(0, 1, 0));
    ctx->beginPath();
    ctx->addPath(Path::roundedRect({10, 10, 80, 60}, 20));
    ctx->fillPath();
    auto img = ctx->makeImage();
    EXPECT_TRUE(pixelNear(*img, 12, 12, {0, 0, 0, 0}));      // cut corner
    EXPECT_TRUE(pixelNear(*img, 87, 67, {0, 0, 0, 0}));      // cut corner
    EXPECT_TRUE(pixelNear(*img, 50, 40, {0, 255, 0, 255}));  // middle
    EXPECT_TRUE(pixelNear(*img, 11, 40, {0, 255, 0, 255}));  // straight left edge
    EXPECT_TRUE(pixelNear(*img, 30, 30, {0, 255, 0, 255}));  // inside the corner arc
    // A radius beyond half the height is cut to it: a capsule, no spill.
    EXPECT_EQ(Path::roundedRect({0, 0, 100, 20}, 50).boundingBox(), Rect(0, 0, 100, 20));
}

TEST_F(Drawing, ArcDirectionsFollowTheScreen) {
    // A sector from twelve o'clock to three o'clock: clockwise 0 sweeps the
    // top-right quarter; clockwise 1 goes the long way round.
    for (int clockwise : {0, 1}) {
        auto ctx = canvas();
        ctx->setFillColor(Color::whiteColor());
        ctx->beginPath();
        ctx->moveTo(50, 50);
        ctx->addArc(50, 50, 40, -M_PI / 2, 0, clockwise);
        ctx->closePath();
        ctx->fillPath();
        auto img = ctx->makeImage();
        bool topRight = img->pixel(65, 35).a > 200;
        bool bottomLeft = img->pixel(35, 65).a > 200;
        EXPECT_EQ(topRight, clockwise == 0);
        EXPECT_EQ(bottomLeft, clockwise == 1);
    }
    // Bézier paths name the screen direction directly.
    auto ctx = canvas();
    pushContext(ctx.get());
    ctx->setFillColor(Color::whiteColor());
    BezierPath p;
    p.moveTo({50, 50});
    p.addArc({50, 50}, 40, -M_PI / 2, 0, true);
    p.close();
    p.fill();
    popContext();
    auto img = ctx->makeImage();
    EXPECT_GT(img->pixel(65, 35).a, 200);
    EXPECT_EQ(img->pixel(35, 65).a, 0);
}

TEST_F(Drawing, SaveRestoreKeepsColourAlphaClipAndTransform) {
    auto ctx = canvas();
    ctx->setFillColor(Color::redColor());
    ctx->saveGState();
    ctx->setFillColor(Color::blueColor());
    ctx->setAlpha(0.5);
    ctx->setLineWidth(9);
    ctx->clipToRect({0, 0, 10, 10});
    ctx->translateCTM(50, 50);
    ctx->restoreGState();
    EXPECT_EQ(ctx->fillColor(), Color::redColor());
    EXPECT_EQ(ctx->alpha(), 1);
    EXPECT_EQ(ctx->lineWidth(), 1);
    EXPECT_TRUE(ctx->ctm().isIdentity());
    ctx->fillRect({40, 40, 20, 20});  // would be clipped away if the clip had survived
    auto img = ctx->makeImage();
    EXPECT_TRUE(pixelNear(*img, 50, 50, {255, 0, 0, 255}));
    // Restoring more often than saving is harmless.
    ctx->restoreGState();
    ctx->restoreGState();
}

TEST_F(Drawing, BlendModesAlphaAndClear) {
    auto ctx = canvas();
    ctx->setFillColor(Color::white(0.5));
    ctx->fillRect({0, 0, 100, 100});
    // Clear: the rectangle becomes transparent whatever the alpha.
    ctx->setBlendMode(BlendMode::Clear);
    ctx->setAlpha(0.3);
    ctx->fillRect({0, 0, 20, 20});
    // Overlay of white on mid grey lightens it.
    ctx->setBlendMode(BlendMode::Overlay);
    ctx->setAlpha(1);
    ctx->setFillColor(Color::whiteColor());
    ctx->fillRect({30, 0, 20, 20});
    // Soft light of black on mid grey darkens it.
    ctx->setBlendMode(BlendMode::SoftLight);
    ctx->setFillColor(Color::blackColor());
    ctx->fillRect({60, 0, 20, 20});
    // Normal at half alpha: red over grey.
    ctx->setBlendMode(BlendMode::Normal);
    ctx->setAlpha(0.5);
    ctx->setFillColor(Color::redColor());
    ctx->fillRect({0, 50, 20, 20});
    auto img = ctx->makeImage();
    EXPECT_EQ(img->pixel(10, 10).a, 0);
    EXPECT_GT(img->pixel(40, 10).r, 200);
    EXPECT_LT(img->pixel(70, 10).r, 120);
    EXPECT_TRUE(pixelNear(*img, 10, 60, {192, 64, 64, 255}, 2));
}

TEST_F(Drawing, ShadowIsBlurredOffsetAndUnderTheShape) {
    auto ctx = canvas();
    ctx->setShadow({10, 10}, 6, Color::blackColor());
    ctx->setFillColor(Color::whiteColor());
    ctx->fillRect({20, 20, 40, 40});
    auto img = ctx->makeImage();
    EXPECT_TRUE(pixelNear(*img, 40, 40, {255, 255, 255, 255}));  // the shape itself
    EXPECT_GT(img->pixel(65, 65).a, 180);                        // shadow, down and right
    EXPECT_EQ(img->pixel(15, 15).a, 0);                          // not up and left
    // Blurred: the shadow fades out past its edge rather than stopping sharply.
    int edge = img->pixel(71, 50).a, outside = img->pixel(76, 50).a;
    EXPECT_GT(edge, 0);
    EXPECT_LT(outside, edge);
    // Blur 0 gives a hard copy.
    auto hard = canvas();
    hard->setShadow({0, 5}, 0, Color::rgba(0, 0, 1));
    hard->setFillColor(Color::whiteColor());
    hard->fillRect({20, 20, 20, 20});
    auto himg = hard->makeImage();
    EXPECT_TRUE(pixelNear(*himg, 30, 43, {0, 0, 255, 255}));
    EXPECT_EQ(himg->pixel(30, 46).a, 0);
}

TEST_F(Drawing, TransparencyLayerCompositesOnceWithItsAlpha) {
    // Two overlapping squares at alpha 0.5: drawn one by one their overlap is
    // darker; inside a transparency layer the group fades as one.
    auto draw = [](GraphicsContext& ctx) {
        ctx.setFillColor(Color::blackColor());
        ctx.fillRect({10, 10, 40, 40});
        ctx.fillRect({30, 30, 40, 40});
    };
    auto separate = canvas();
    separate->setAlpha(0.5);
    draw(*separate);
    auto grouped = canvas();
    grouped->setAlpha(0.5);
    grouped->beginTransparencyLayer();
    draw(*grouped);
    grouped->endTransparencyLayer();
    auto a = separate->makeImage(), b = grouped->makeImage();
    EXPECT_NEAR(a->pixel(40, 40).a, 191, 2);
    EXPECT_NEAR(b->pixel(40, 40).a, 128, 2);
    EXPECT_NEAR(b->pixel(15, 15).a, 128, 2);
    EXPECT_EQ(grouped->alpha(), 0.5);
}

TEST_F(Drawing, StrokesHonourWidthAndCap) {
    auto ctx = canvas();
    ctx->setStrokeColor(Color::whiteColor());
    ctx->setLineWidth(10);
    ctx->setLineCap(LineCap::Butt);
    ctx->strokeLine({20, 20}, {80, 20});
    ctx->setLineCap(LineCap::Square);
    ctx->strokeLine({20, 60}, {80, 60});
    auto img = ctx->makeImage();
    EXPECT_EQ(img->pixel(50, 24).a, 255);
    EXPECT_EQ(img->pixel(50, 27).a, 0);
    EXPECT_EQ(img->pixel(17, 20).a, 0);    // butt: ends at the point
    EXPECT_EQ(img->pixel(17, 60).a, 255);  // square: half the width beyond
}

TEST_F(Drawing, ImageContextsNestAndScale) {
    beginImageContext({10, 10}, false, 2);
    currentContext()->setFillColor(Color::greenColor());
    currentContext()->fillRect({0, 0, 5, 10});
    beginImageContext({4, 4}, false, 1);
    currentContext()->setFillColor(Color::redColor());
    currentContext()->fillRect({0, 0, 4, 4});
    auto inner = imageFromCurrentImageContext();
    endImageContext();
    auto outer = imageFromCurrentImageContext();
    endImageContext();
    EXPECT_EQ(currentContext(), nullptr);
    ASSERT_TRUE(inner && outer);
    EXPECT_EQ(outer->pixelWidth(), 20);
    EXPECT_EQ(outer->scale(), 2);
    EXPECT_EQ(outer->size(), (Size{10, 10}));
    EXPECT_TRUE(pixelNear(*outer, 9, 10, {0, 255, 0, 255}));
    EXPECT_EQ(outer->pixel(11, 10).a, 0);
    EXPECT_TRUE(pixelNear(*inner, 2, 2, {255, 0, 0, 255}));
    // Without a current context nothing is drawn and nothing breaks.
    EXPECT_EQ(imageFromCurrentImageContext(), nullptr);
    endImageContext();
    BezierPath::withRect({0, 0, 1, 1}).fill();
}

TEST_F(Drawing, PatternColoursTile) {
    auto tile = Image::create(2, 2);
    {
        cairo_t* cr = cairo_create(tile->surface());
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_rectangle(cr, 0, 0, 1, 2);
        cairo_fill(cr);
        cairo_destroy(cr);
    }
    auto ctx = canvas(10, 10);
    ctx->setFillColor(Color::patternImage(tile));
    ctx->fillRect({0, 0, 10, 10});
    auto img = ctx->makeImage();
    EXPECT_TRUE(pixelNear(*img, 0, 0, {255, 0, 0, 255}));
    EXPECT_EQ(img->pixel(1, 0).a, 0);
    EXPECT_TRUE(pixelNear(*img, 8, 5, {255, 0, 0, 255}));
    EXPECT_EQ(img->pixel(9, 5).a, 0);
}
