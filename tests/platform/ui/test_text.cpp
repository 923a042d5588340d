#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Label.h"
#include "platform/ui/PangoSupport.h"
#include "platform/ui/Render.h"
#include "platform/ui/Text.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

using namespace ui;

namespace {

class TextTest : public uitest::UiFixture {
protected:
    void useFake() { setTextMeasurer(std::make_shared<FixedWidthTextMeasurer>(0.5, 1.25)); }
};

// Pixels darker than mid grey inside the rectangle.
int inkIn(const Image& img, Rect r) {
    int n = 0;
    for (int y = int(r.minY()); y < int(r.maxY()); ++y)
        for (int x = int(r.minX()); x < int(r.maxX()); ++x) {
            Rgba p = img.pixel(x, y);
            if (p.a > 0 && p.r + p.g + p.b < 3 * 128) ++n;
        }
    return n;
}

const char* kChinese = "禾川安全中心";
const char* kLong = "The quick brown fox jumps over the lazy dog again and again";

}  // namespace

TEST_F(TextTest, ChineseGlyphsComeFromAnInstalledFont) {
    PangoLayout* l =
        detail::makeLayout(detail::measuringContext(), kChinese, Font::systemFont(17), -1, LineBreakMode::Clip, 0);
    EXPECT_EQ(pango_layout_get_unknown_glyphs_count(l), 0) << "a CJK font must be installed";
    g_object_unref(l);
    Size s = sizeWithFont(kChinese, Font::systemFont(17));
    EXPECT_GT(s.width, 6 * 17 * 0.8);  // six full-width characters
    EXPECT_LT(s.width, 6 * 17 * 1.2);
}

TEST_F(TextTest, ChineseLabelRendersInsideItsFrame) {
    auto window = Window::create({0, 0, 200, 100});
    window->setBackgroundColor(Color::whiteColor());
    auto label = Label::create({20, 30, 160, 40});
    label->setText(kChinese);
    label->setFont(Font::boldSystemFont(20));
    label->setTextAlignment(TextAlignment::Center);
    window->addSubview(label);
    for (double scale : {1.0, 2.0}) {
        auto img = window->render(scale);
        Rect inside{20 * scale, 30 * scale, 160 * scale, 40 * scale};
        EXPECT_GT(inkIn(*img, inside), 100 * scale * scale) << "scale " << scale;
        EXPECT_EQ(inkIn(*img, {0, 0, 200 * scale, 30 * scale}), 0) << "nothing above the label";
        EXPECT_EQ(inkIn(*img, {0, 70 * scale, 200 * scale, 30 * scale}), 0) << "nothing below the label";
    }
}

TEST_F(TextTest, FakeMeasurerWrapsByWordsCjkAndCharacters) {
    useFake();
    Font f = Font::systemFont(20);  // 10 points a character, lines of 25
    struct Case {
        std::string text;
        double width;
        LineBreakMode mode;
        Size expected;
    };
    std::vector<Case> cases = {
        {"hello world foo", 60, LineBreakMode::WordWrap, {50, 75}},
        {"hello world foo", 200, LineBreakMode::WordWrap, {150, 25}},
        {"一二三四五六七", 35, LineBreakMode::WordWrap, {30, 75}},
        {"abcdefgh", 35, LineBreakMode::WordWrap, {30, 75}},  // a long word is cut
        {"ab cdefgh", 45, LineBreakMode::CharacterWrap, {40, 75}},
        {"line one\nx", 500, LineBreakMode::WordWrap, {80, 50}},
        {"", 100, LineBreakMode::WordWrap, {0, 0}},
    };
    for (auto& c : cases) {
        Size s = sizeWithFont(c.text, f, Size{c.width, 1000}, c.mode);
        EXPECT_EQ(s, c.expected) << c.text << " in " << c.width;
    }
    // The height limit counts whole lines.
    EXPECT_EQ(sizeWithFont("hello world foo", f, Size{60, 60}, LineBreakMode::WordWrap), (Size{50, 50}));
    // One line no wider than the width.
    EXPECT_EQ(sizeWithFont("hello world", f, 60, LineBreakMode::TailTruncation), (Size{60, 25}));

    auto label = Label::create({0, 0, 60, 200});
    label->setFont(f);
    label->setText("hello world foo");
    label->setNumberOfLines(2);
    EXPECT_EQ(label->sizeThatFits({60, 0}), (Size{50, 50}));
    // Centred vertically in the bounds.
    EXPECT_EQ(label->textRectForBounds(label->bounds(), 2), Rect(0, 75, 60, 50));
    label->setNumberOfLines(0);
    EXPECT_EQ(label->textRectForBounds(label->bounds(), 0), Rect(0, 62, 60, 75));
}

TEST_F(TextTest, LabelShrinksItsFontToFit) {
    useFake();
    auto label = Label::create({0, 0, 100, 30});
    label->setFont(Font::systemFont(20));
    label->setText("abcdefghijabcdefghij");  // 200 points at size 20
    EXPECT_EQ(label->fontForBounds(label->bounds()).pointSize(), 20) << "off by default";
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumFontSize(8);
    EXPECT_EQ(label->fontForBounds(label->bounds()).pointSize(), 10);
    label->setMinimumFontSize(14);
    EXPECT_EQ(label->fontForBounds(label->bounds()).pointSize(), 14);
    label->setNumberOfLines(2);
    EXPECT_EQ(label->fontForBounds(label->bounds()).pointSize(), 20) << "only single lines shrink";
}

// A shrunk line sits by its baseline adjustment: its baseline stays where the
// full-size text's is, it is centred, or its top is where the full-size top is.
TEST_F(TextTest, ShrunkTextIsPlacedByTheBaselineAdjustment) {
    // The lowest inked row: the baseline of capitals without descenders.
    auto baselineRow = [](Label& label) {
        auto img = renderLayerToImage(label.layer(), 1);
        int lowest = -1, highest = -1;
        for (int y = 0; y < int(img->pixelHeight()); ++y)
            if (inkIn(*img, {0, double(y), double(img->pixelWidth()), 1}) > 0) {
                if (highest < 0) highest = y;
                lowest = y;
            }
        return std::pair{highest, lowest};
    };
    auto make = [](double width, const char* text) {
        auto label = Label::create({0, 0, width, 60});
        label->setFont(Font::systemFont(36));
        label->setAdjustsFontSizeToFitWidth(true);
        label->setMinimumFontSize(12);
        label->setText(text);
        return label;
    };
    auto full = make(300, "HH");
    auto [fullTop, fullBase] = baselineRow(*full);
    ASSERT_GT(fullBase, 0);
    auto shrunk = make(120, "HHHHHHHHHHHH");
    ASSERT_LT(shrunk->fontForBounds(shrunk->bounds()).pointSize(), 24);
    EXPECT_EQ(shrunk->baselineAdjustment(), BaselineAdjustment::AlignBaselines) << "the default";

    std::map<BaselineAdjustment, std::pair<int, int>> rows;
    for (auto b :
         {BaselineAdjustment::AlignBaselines, BaselineAdjustment::AlignCenters, BaselineAdjustment::AlignTops}) {
        shrunk->setBaselineAdjustment(b);
        rows[b] = baselineRow(*shrunk);
    }
    EXPECT_NEAR(rows[BaselineAdjustment::AlignBaselines].second, fullBase, 1);
    // Centred: the small line's middle is the full line's middle, higher up.
    EXPECT_LT(rows[BaselineAdjustment::AlignCenters].second, fullBase - 2);
    // None: the small line starts at the full line's top, higher still.
    EXPECT_LT(rows[BaselineAdjustment::AlignTops].second, rows[BaselineAdjustment::AlignCenters].second - 2);
    // A line that needs no shrinking is the same under every adjustment.
    full->setBaselineAdjustment(BaselineAdjustment::AlignTops);
    EXPECT_EQ(baselineRow(*full), (std::pair{fullTop, fullBase}));
}

TEST_F(TextTest, LineBreakModesKeepTextInsideTheBox) {
    Font f = Font::systemFont(14);
    double lh = f.lineHeight();
    struct Case {
        LineBreakMode mode;
        bool wraps;  // a box of three lines gets more than one line
    };
    std::vector<Case> cases = {
        {LineBreakMode::WordWrap, true},       {LineBreakMode::CharacterWrap, true},
        {LineBreakMode::Clip, true},           {LineBreakMode::HeadTruncation, true},
        {LineBreakMode::TailTruncation, true}, {LineBreakMode::MiddleTruncation, true},
    };
    for (auto& c : cases) {
        // One line: nothing is drawn past the right edge.
        auto ctx = GraphicsContext::createBitmap(300, 100);
        pushContext(ctx.get());
        ctx->setFillColor(Color::blackColor());
        Size drawn = drawText(kLong, {10, 10, 100, lh}, f, c.mode, TextAlignment::Left, 1);
        popContext();
        auto img = ctx->makeImage();
        EXPECT_GT(inkIn(*img, {10, 10, 100, lh}), 20) << "mode " << int(c.mode);
        EXPECT_EQ(inkIn(*img, {112, 0, 188, 100}), 0) << "mode " << int(c.mode);
        EXPECT_LE(drawn.width, 100) << "mode " << int(c.mode);
        // Three lines: the text flows onto the second line and no further than the third.
        Size tall = sizeWithFont(kLong, f, Size{100, lh * 3}, c.mode);
        EXPECT_GT(tall.height, lh * 1.5) << "mode " << int(c.mode);
        EXPECT_LE(tall.height, lh * 3 + 1) << "mode " << int(c.mode);
        EXPECT_LE(tall.width, 100) << "mode " << int(c.mode);
    }
    // Truncation keeps the start, the end or both: the drawn pixels differ.
    auto drawMode = [&](LineBreakMode m) {
        auto ctx = GraphicsContext::createBitmap(120, 30);
        pushContext(ctx.get());
        drawText(kLong, {0, 0, 120, lh}, f, m, TextAlignment::Left, 1);
        popContext();
        return ctx->makeImage()->rgbaPixels();
    };
    EXPECT_NE(drawMode(LineBreakMode::HeadTruncation), drawMode(LineBreakMode::TailTruncation));
    EXPECT_NE(drawMode(LineBreakMode::MiddleTruncation), drawMode(LineBreakMode::TailTruncation));
}

TEST_F(TextTest, AWrappedLabelDrawsEveryLineItsFrameHolds) {
    // Latin text lays out lines lower than the font's CJK line height: the
    // label measured for two lines draws both (the message composer's bubble).
    auto window = Window::create({0, 0, 240, 100});
    window->setBackgroundColor(Color::whiteColor());
    auto label = Label::create({10, 6, 200, 52});
    label->setNumberOfLines(0);
    label->setLineBreakMode(LineBreakMode::CharacterWrap);
    label->setFont(Font::systemFont(15));
    label->setTextColor(Color::blackColor());
    label->setText("SC#B#demo@quenta.test#2926184305");
    window->addSubview(label);
    const Size two = label->sizeThatFits({200, 0});
    ASSERT_GT(two.height, 1.5 * sizeWithFont("S", Font::systemFont(15)).height) << "the text must wrap once";
    // The frame as high as the text measures, as the composer sizes it.
    label->setFrame({10, 6, 200, two.height});
    auto img = window->render(1);
    // The text's rect is centred in the frame: ink in its lower half is the second line.
    const Rect text = label->textRectForBounds(label->bounds(), 0);
    const Rect lower{10 + text.x(), 6 + text.y() + text.height() / 2 + 1, text.width(), text.height() / 2 - 1};
    EXPECT_GT(inkIn(*img, lower), 20);
    // The label knows where each of its characters goes: the end of the
    // text lies on the second line.
    EXPECT_GT(endOfText(label->text(), label->font(), 200, LineBreakMode::CharacterWrap).y, 0);
}

TEST_F(TextTest, AlignmentMovesTheInk) {
    auto inkCentre = [](TextAlignment a) {
        auto ctx = GraphicsContext::createBitmap(300, 40);
        pushContext(ctx.get());
        drawText("Quenta", {0, 0, 300, 40}, Font::systemFont(20), LineBreakMode::WordWrap, a);
        popContext();
        auto img = ctx->makeImage();
        double sum = 0;
        int n = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 300; ++x)
                if (img->pixel(x, y).a > 128) sum += x, ++n;
        return n ? sum / n : -1;
    };
    double left = inkCentre(TextAlignment::Left), centre = inkCentre(TextAlignment::Center),
           right = inkCentre(TextAlignment::Right);
    EXPECT_LT(left, 80);
    EXPECT_NEAR(centre, 150, 5);
    EXPECT_GT(right, 220);
}

TEST_F(TextTest, FontsMetricsAndNames) {
    Font f = Font::systemFont(17);
    EXPECT_GT(f.ascender(), 10);
    EXPECT_LT(f.descender(), 0);
    EXPECT_GE(f.lineHeight(), f.ascender() - f.descender() - 0.01);
    EXPECT_GT(sizeWithFont("Wide text", Font::boldSystemFont(17)).width, sizeWithFont("Wide text", f).width);
    EXPECT_NEAR(Font::systemFont(34).lineHeight(), 2 * f.lineHeight(), 1);
    auto helvetica = Font::withName("Helvetica", 15);
    ASSERT_TRUE(helvetica.has_value());
    EXPECT_EQ(helvetica->pointSize(), 15);
    EXPECT_TRUE(Font::withName("Helvetica-Bold", 12)->isBold());
    EXPECT_TRUE(Font::withName("DejaVu Sans", 12).has_value()) << "an installed family";
    EXPECT_FALSE(Font::withName("No Such Face", 12).has_value());
    EXPECT_EQ(Font::smallSystemFontSize(), 12);
}

TEST_F(TextTest, LabelShadowIsDrawnUnderTheText) {
    auto label = Label::create({0, 0, 120, 40});
    label->setText("Shadow");
    label->setFont(Font::boldSystemFont(24));
    label->setTextColor(Color::whiteColor());
    label->setBackgroundColor(Color::clearColor());
    label->setShadowColor(Color::rgba(1, 0, 0));
    label->setShadowOffset({0, 3});
    auto img = label->snapshot(1);
    int red = 0, white = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            Rgba p = img->pixel(x, y);
            if (p.a > 200 && p.r > 200 && p.g < 60) ++red;
            if (p.a > 200 && p.r > 200 && p.g > 200) ++white;
        }
    EXPECT_GT(red, 20);
    EXPECT_GT(white, 20);
    // Invalid UTF-8 is drawn as far as it goes rather than refused.
    label->setText(std::string("ok\xff\xfe"));
    EXPECT_GT(label->sizeThatFits({}).width, 0);
}
