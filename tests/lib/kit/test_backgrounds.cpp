// Gradient and noise backgrounds, read back as pixels.

#include <gtest/gtest.h>

#include <memory>

#include "lib/kit/GradientBackground.h"
#include "platform/ui/Render.h"

namespace {

const double kRedToBlue[8] = {1, 0, 0, 1, 0, 0, 1, 1};

ui::ImageRef draw(const std::shared_ptr<ui::View>& view) {
    view->setNeedsDisplay();
    ui::runDisplayPass();
    return view->snapshot(1);
}

TEST(GradientBackgroundTest, DrawsEachStyleWithItsColours) {
    struct Case {
        int style;
        // Red share (0 to 255) at the top, the middle and the bottom row of a 40 x 101 view.
        int top, middle, bottom;
    };
    const Case cases[] = {
        {2, 255, 128, 0},  // first colour at the top
        {3, 0, 128, 255},  // first colour at the bottom
        {4, 255, 0, 255},  // first, second, first
        {9, -1, -1, -1},   // unknown: nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        auto view = GradientBackground::gradientWithFrame({0, 0, 40, 101}, c.style, kRedToBlue, 0);
        auto picture = draw(view);
        ASSERT_TRUE(picture);
        const int rows[3] = {0, 50, 100};
        const int want[3] = {c.top, c.middle, c.bottom};
        for (int i = 0; i < 3; ++i) {
            ui::Rgba p = picture->pixel(20, rows[i]);
            if (want[i] < 0) {
                EXPECT_EQ(p.a, 0) << "row " << rows[i];
            } else {
                EXPECT_EQ(p.a, 255);
                EXPECT_NEAR(p.r, want[i], 8) << "row " << rows[i];
                EXPECT_NEAR(p.b, 255 - want[i], 8) << "row " << rows[i];
            }
        }
    }
}

TEST(GradientBackgroundTest, RadialStylesPutTheirColoursInTheCentreAndCorners) {
    for (int style : {0, 1}) {
        SCOPED_TRACE(style);
        auto picture = draw(GradientBackground::gradientWithFrame({0, 0, 60, 60}, style, kRedToBlue, 0));
        ui::Rgba centre = picture->pixel(30, 30), corner = picture->pixel(0, 0);
        if (style == 0) {
            EXPECT_GT(centre.r, 230);
            EXPECT_GT(corner.b, 220);
        } else {
            EXPECT_GT(centre.b, 230);
            EXPECT_GT(corner.r, 220);
        }
    }
}

TEST(GradientBackgroundTest, LineModesDrawTheTopAndBottomLines) {
    const double grey[8] = {0.5, 0.5, 0.5, 1, 0.5, 0.5, 0.5, 1};
    struct Case {
        int mode;
        bool top, bottom;
    };
    const Case cases[] = {{0, false, false}, {1, false, false}, {2, true, false},
                          {4, false, true},  {8, true, true},   {6, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(GradientBackground::drawsTopLine(c.mode), c.top);
        EXPECT_EQ(GradientBackground::drawsBottomLine(c.mode), c.bottom);
        auto picture = draw(GradientBackground::gradientWithFrame({0, 0, 40, 20}, 2, grey, c.mode));
        // The lines lie on the edges, so half of each is inside the view.
        ui::Rgba top = picture->pixel(20, 0), bottom = picture->pixel(20, 19), middle = picture->pixel(20, 10);
        EXPECT_NEAR(middle.r, 128, 2);
        if (c.top)
            EXPECT_GT(top.r, 175);
        else
            EXPECT_NEAR(top.r, 128, 2);
        if (c.bottom)
            EXPECT_LT(bottom.r, 80);
        else
            EXPECT_NEAR(bottom.r, 128, 2);
    }
}

TEST(GradientBackgroundTest, InitialisersKeepTheirDefaults) {
    GradientBackground plain({0, 0, 10, 10});
    EXPECT_EQ(plain.gradientStyle(), 2);
    EXPECT_EQ(plain.lineMode(), 0);
    EXPECT_EQ(plain.colorComponents(), (GradientColorComponents{1, 1, 1, 1, 0, 0, 0, 1}));
    EXPECT_EQ(plain.autoresizingMask(), 18u);
    EXPECT_TRUE(plain.backgroundColor().isClear());

    NoisyGradientBackground blended({0, 0, 10, 10}, ui::BlendMode::Overlay);
    EXPECT_EQ(blended.blendMode(), ui::BlendMode::Overlay);
    EXPECT_DOUBLE_EQ(blended.noiseOpacity(), 0.4);
    NoisyGradientBackground faint({0, 0, 10, 10}, 0.1);
    EXPECT_DOUBLE_EQ(faint.noiseOpacity(), 0.1);
    EXPECT_EQ(faint.blendMode(), ui::BlendMode::Normal);
}

TEST(NoiseTest, TileHasItsSizeAndDots) {
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        auto tile = NoiseLayer::makeNoiseTile(scale);
        ASSERT_TRUE(tile);
        EXPECT_EQ(tile->pixelWidth(), int(50 * scale));
        EXPECT_EQ(tile->pixelHeight(), int(50 * scale));
        EXPECT_EQ(tile->size(), (ui::Size{50, 50}));
        // Dots of 0.3 x scale pixels cover part of many pixels, never whole ones.
        int marked = 0, full = 0;
        for (int y = 0; y < tile->pixelHeight(); ++y)
            for (int x = 0; x < tile->pixelWidth(); ++x) {
                uint8_t a = tile->pixel(x, y).a;
                marked += a > 0;
                full += a == 255;
            }
        EXPECT_GT(marked, tile->pixelWidth() * tile->pixelHeight() / 2);
        EXPECT_EQ(full, 0);
    }
    EXPECT_EQ(NoiseLayer::noiseTileImage(), NoiseLayer::noiseTileImage());
}

TEST(NoiseTest, NoisyGradientSpecklesItsGradient) {
    const double black[8] = {0, 0, 0, 1, 0, 0, 0, 1};
    auto plain = draw(GradientBackground::gradientWithFrame({0, 0, 60, 60}, 2, black, 0));
    auto noisy =
        draw(NoisyGradientBackground::gradientWithFrame({0, 0, 60, 60}, 2, black, 0, 1.0, ui::BlendMode::Normal));
    int lighter = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            EXPECT_EQ(plain->pixel(x, y).r, 0);
            lighter += noisy->pixel(x, y).r > 0;
        }
    EXPECT_GT(lighter, 60 * 60 / 4);
}

TEST(NoiseTest, NoiseLayerGoesUnderAViewsSublayers) {
    auto view = ui::View::create({0, 0, 120, 80});
    view->setBackgroundColor(ui::Color::blackColor());
    auto child = ui::View::create({0, 0, 10, 10});
    view->addSubview(child);
    NoiseOverlay::applyNoiseWithOpacity(*view, 0.5);
    ASSERT_FALSE(view->layer().sublayers().empty());
    auto noise = std::dynamic_pointer_cast<NoiseLayer>(view->layer().sublayers().front());
    ASSERT_TRUE(noise);
    EXPECT_EQ(noise->frame(), view->bounds());
    EXPECT_TRUE(noise->masksToBounds());
    EXPECT_DOUBLE_EQ(noise->opacity(), 0.5);
    ui::runDisplayPass();
    auto picture = view->snapshot(1);
    int lighter = 0;
    for (int x = 0; x < 120; ++x) lighter += picture->pixel(x, 40).r > 0;
    EXPECT_GT(lighter, 20);
}

}  // namespace
