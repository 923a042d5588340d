// The count badge, the striped progress bar and the custom navigation bar:
// sizes from measured text, the bar's redraw timer on the manual clock, and
// pixels of what they draw.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lib/kit/CustomBadge.h"
#include "lib/kit/CustomNavigationBar.h"
#include "lib/kit/StripedProgressBar.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Text.h"
#include "platform/ui/ViewController.h"
#include "tests/lib/kit/WidgetFixture.h"

namespace {

// Fixed-width text: bold 12 is 6 points a character.
class KitWidgetsTest : public kittest::WidgetFixture {};

TEST_F(KitWidgetsTest, BadgeSizesAndFontsFollowTheText) {
    struct Case {
        std::string text;
        double scale;
        ui::Size size;
        double fontSize;
    };
    const Case cases[] = {
        {"", 1, {25, 25}, 16.2},
        {"5", 1, {25, 25}, 16.2},
        {"开", 1, {25, 25}, 16.2},           // one character of three bytes
        {"12", 1, {25 + 12 + 2, 25}, 13.5},  // 25 + width in bold 12 + 2 characters
        {"123", 2, {(25 + 18 + 3) * 2, 50}, 27},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto badge = CustomBadge::customBadgeWithString(c.text, ui::Color::whiteColor(), ui::Color::redColor(), true,
                                                        ui::Color::whiteColor(), c.scale, true);
        EXPECT_EQ(badge->frame().size, c.size);
        EXPECT_DOUBLE_EQ(badge->badgeFont().pointSize(), c.fontSize);
        EXPECT_TRUE(badge->badgeFont().isBold());
        EXPECT_EQ(badge->badgeText(), c.text);
    }
    EXPECT_DOUBLE_EQ(CustomBadge::customBadgeWithString("1")->frameLineWidth(), 2);
    EXPECT_DOUBLE_EQ(CustomBadge("1", 2, true).frameLineWidth(), 2.5);
}

TEST_F(KitWidgetsTest, SettingBadgeTextKeepsTheSizeAutoSizingChangesIt) {
    auto badge = CustomBadge::customBadgeWithString("");
    badge->setFrame({280, 150, 25, 25});
    badge->setBadgeText("12");
    EXPECT_EQ(badge->frame(), ui::Rect(280, 150, 25, 25));
    badge->autoBadgeSizeWithString("12");
    EXPECT_EQ(badge->frame(), ui::Rect(280, 150, 39, 25));
}

TEST_F(KitWidgetsTest, BadgeDrawsAFramedRedLozenge) {
    auto badge = CustomBadge::customBadgeWithString("");
    badge->setBadgeShining(false);
    host->addSubview(badge);
    driver->settle();
    auto picture = badge->snapshot(1);
    ASSERT_TRUE(picture);
    ui::Rgba inside = picture->pixel(12, 15);
    EXPECT_GT(inside.r, 220);
    EXPECT_LT(inside.g, 30);
    // The white frame runs along the margin of 2.5 points.
    ui::Rgba frame = picture->pixel(2, 12);
    EXPECT_GT(frame.g, 180);
    // The corner outside the rounding is clear, or only the faint shadow.
    EXPECT_LT(picture->pixel(0, 0).a, 60);

    // With a text the centre carries white glyph pixels over the red.
    auto counted = CustomBadge::customBadgeWithString("8");
    counted->setBadgeShining(false);
    host->addSubview(counted);
    ui::setTextMeasurer(nullptr);
    counted->setNeedsDisplay();
    driver->settle();
    auto withText = counted->snapshot(1);
    int whiteish = 0;
    for (int y = 7; y < 18; ++y)
        for (int x = 8; x < 17; ++x) whiteish += withText->pixel(x, y).g > 150;
    EXPECT_GT(whiteish, 5);
}

TEST_F(KitWidgetsTest, StripedBarAdvancesItsStripesOnePointPerFrame) {
    auto bar = StripedProgressBar::create({10, 10, 200, 20});
    bar->setProgress(0.5);
    host->addSubview(bar);
    driver->settle();
    std::vector<double> offsets;
    for (int i = 0; i < 16; ++i) {
        driver->advance(StripedProgressBar::kFrameSeconds);
        offsets.push_back(bar->progressOffset());
    }
    // One step per tick, 0 after 14: a period of 15 frames.
    std::vector<double> expected;
    double o = offsets.front();
    for (int i = 0; i < 16; ++i) {
        expected.push_back(o);
        o = o > 13 ? 0 : o + 1;
    }
    EXPECT_EQ(offsets, expected);
    EXPECT_NE(std::find(offsets.begin(), offsets.end(), 14.0), offsets.end());
    EXPECT_NE(std::find(offsets.begin(), offsets.end(), 0.0), offsets.end());
    EXPECT_DOUBLE_EQ(bar->cornerRadius(), 10);
}

TEST_F(KitWidgetsTest, StripedBarKeepsOneTimerAndStopsOffScreen) {
    auto bar = StripedProgressBar::create({0, 0, 100, 12});
    EXPECT_TRUE(bar->isAnimated());
    EXPECT_EQ(bar->animationTimer(), nullptr) << "no window yet, nothing to redraw";
    host->addSubview(bar);
    foundation::TimerRef first = bar->animationTimer();
    ASSERT_TRUE(first);
    bar->setAnimated(true);
    bar->setAnimated(true);
    EXPECT_EQ(bar->animationTimer(), first);

    bar->setAnimated(false);
    EXPECT_EQ(bar->animationTimer(), nullptr);
    EXPECT_FALSE(first->isValid());
    driver->settle();
    double still = bar->progressOffset();
    driver->advance(0.5);
    EXPECT_EQ(bar->progressOffset(), still);

    bar->setAnimated(true);
    foundation::TimerRef second = bar->animationTimer();
    ASSERT_TRUE(second);
    bar->removeFromSuperview();
    EXPECT_FALSE(second->isValid());
    EXPECT_EQ(bar->animationTimer(), nullptr);
    // Off screen it still counts as animated and picks up again when shown.
    EXPECT_TRUE(bar->isAnimated());
    host->addSubview(bar);
    ASSERT_TRUE(bar->animationTimer());
    driver->settle();
    double before = bar->progressOffset();
    driver->advance(StripedProgressBar::kFrameSeconds);
    EXPECT_NE(bar->progressOffset(), before);

    // A bar that goes away stops its timer.
    foundation::TimerRef last = bar->animationTimer();
    bar->removeFromSuperview();
    bar.reset();
    EXPECT_FALSE(last->isValid());
}

TEST_F(KitWidgetsTest, StripedBarDrawsTroughAndBar) {
    struct Case {
        double progress;
        bool warmAt50, warmAt150;
    };
    const Case cases[] = {{0, false, false}, {0.5, true, false}, {1, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.progress);
        auto bar = StripedProgressBar::create({0, 0, 200, 20});
        bar->setProgress(c.progress);
        host->addSubview(bar);
        driver->settle();
        auto picture = bar->snapshot(1);
        ASSERT_TRUE(picture);
        for (int x : {50, 150}) {
            bool warm = x == 50 ? c.warmAt50 : c.warmAt150;
            ui::Rgba p = picture->pixel(x, 6);
            if (warm) {
                EXPECT_GT(int(p.r), int(p.b) + 15) << "x " << x;
            } else {
                // The trough, RGB (25, 29, 33).
                EXPECT_NEAR(p.r, 25, 2) << "x " << x;
                EXPECT_NEAR(p.g, 29, 2) << "x " << x;
                EXPECT_NEAR(p.b, 33, 2) << "x " << x;
            }
        }
        bar->removeFromSuperview();
    }
}

TEST_F(KitWidgetsTest, BackButtonWidthFollowsTheTitleUpTo160) {
    CustomNavigationBar bar;
    ui::NavigationItem item("");
    bar.pushNavigationItem(&item);
    ui::ImageRef normal = ui::Image::named("navigationBarBackButton");
    ASSERT_TRUE(normal);
    struct Case {
        std::string title;
        double width;
    };
    // Bold 12: 6 points a character.
    const Case cases[] = {
        {"", 21},                        // 1.5 x 14 alone
        {std::string(7, 'a'), 42 + 21},  // 42 + 21
        {std::string(40, 'a'), 160},     // 240 + 21, cut to 160
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        item.setTitle(c.title);
        auto button = bar.backButtonWith(normal, nullptr, 14);
        EXPECT_EQ(button->frame(), ui::Rect(0, 0, c.width, normal->size().height));
        EXPECT_EQ(button->titleForState(ui::kControlStateNormal), c.title);
        EXPECT_EQ(button->titleLabel()->lineBreakMode(), ui::LineBreakMode::TailTruncation);
        EXPECT_EQ(button->titleLabel()->font(), ui::Font::boldSystemFont(12));
        EXPECT_EQ(button->titleEdgeInsets(), (ui::EdgeInsets{0, 6, 0, 3}));
        ASSERT_TRUE(button->backgroundImageForState(ui::kControlStateHighlighted));
        EXPECT_EQ(button->backgroundImageForState(ui::kControlStateNormal)->leftCapWidth(), 14);
    }
    EXPECT_DOUBLE_EQ(bar.backButtonCapWidth(), 14);

    // The long title is cut at the tail inside the 160 points.
    item.setTitle(std::string(40, 'a'));
    auto button = bar.backButtonWith(normal, nullptr, 14);
    button->layoutIfNeeded();
    EXPECT_LE(button->titleLabel()->frame().maxX(), 160 - 3);
    EXPECT_LT(button->titleLabel()->frame().width(), 240);
    bar.popNavigationItem();
}

TEST_F(KitWidgetsTest, BackButtonPopsItsNavigationControllerWhenThereIsOne) {
    auto bar = CustomNavigationBar::create();
    auto root = std::make_shared<ui::ViewController>();
    auto nav = std::make_shared<ui::NavigationController>(root, bar);
    host->addSubview(nav->viewRef());
    nav->pushViewController(std::make_shared<ui::ViewController>(), false);
    ASSERT_EQ(nav->viewControllers().size(), 2u);
    auto button = bar->backButtonWith(ui::Image::named("navigationBarBackButton"), nullptr, 14);
    // Nothing set: the tap does nothing.
    button->sendActionsForControlEvents(ui::kControlEventTouchUpInside);
    driver->advance(1);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    bar->setNavigationController(nav.get());
    button->sendActionsForControlEvents(ui::kControlEventTouchUpInside);
    driver->advance(1);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    nav->viewRef()->removeFromSuperview();
}

TEST_F(KitWidgetsTest, NavigationBarDrawsItsPictureOrTheStandardLook) {
    auto standard = CustomNavigationBar::create();
    auto custom = CustomNavigationBar::create();
    host->addSubview(standard);
    host->addSubview(custom);
    ui::ImageRef picture = ui::Image::named("title-bar2.png");
    ASSERT_TRUE(picture);
    custom->setBackgroundWith(picture);
    EXPECT_EQ(custom->navigationBarBackgroundImage()->frame(), custom->frame());
    driver->settle();
    auto look = custom->snapshot(1);
    auto plain = standard->snapshot(1);
    // The picture's warm line along the lower edge.
    ui::Rgba edge = look->pixel(160, 43);
    EXPECT_EQ(edge.r, 255);
    EXPECT_NEAR(edge.g, 144, 2);
    EXPECT_NEAR(edge.b, 105, 2);
    EXPECT_NE(plain->pixel(160, 43), edge);

    custom->clearBackground();
    EXPECT_EQ(custom->navigationBarBackgroundImage(), nullptr);
    driver->settle();
    auto again = custom->snapshot(1);
    for (int y : {2, 22, 43}) EXPECT_EQ(again->pixel(160, y), plain->pixel(160, y)) << y;
}

}  // namespace
