// The marquee label on the manual clock: the slide cycle's timing for a text
// that overflows, texts that fit, the same text again, the fade mask, the
// shown-as-label mode, and stopping and restarting with its screen and the app.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "lib/kit/MarqueeLabel.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Application.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Text.h"

namespace {

// 20 characters: 160 points at 16 points a size (8 a character).
const std::string kLong = "abcdefghijklmnopqrst";

class MarqueeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setTextMeasurer(std::make_shared<ui::FixedWidthTextMeasurer>());
        driver = std::make_unique<shell::Driver>();
    }
    void TearDown() override {
        if (marquee) marquee->removeFromSuperview();
        marquee.reset();
        driver.reset();
    }
    std::shared_ptr<MarqueeLabel> make(double duration, float fade = 0) {
        marquee = MarqueeLabel::createWithDuration({10, 10, 100, 20}, duration, fade);
        marquee->setFont(ui::Font::systemFont(16));
        driver->window().addSubview(marquee);
        return marquee;
    }
    // Where the inner label is on screen.
    double labelX() const { return marquee->subLabel()->layer().presentationState().frame().x(); }
    double labelAlpha() const { return marquee->subLabel()->layer().presentationState().opacity; }
    // Moves the clock to `t` seconds after `start`.
    void at(double start, double t) {
        double now = foundation::clock().monotonic();
        driver->advance(start + t - now);
    }
    static double now() { return foundation::clock().monotonic(); }

public:
    struct Sample {
        double t;
        double x;
        bool away;
    };

protected:
    // One cycle of a 160-point text in a 100-point view with 4-second slides:
    // pause 1 s, slide left 60 points in 4 s, pause 0.3 s, slide back in 4 s.
    void expectCycle(double start, const Sample* samples, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            at(start, samples[i].t);
            EXPECT_NEAR(labelX(), samples[i].x, 1e-6) << "at " << samples[i].t;
            EXPECT_EQ(marquee->awayFromHome(), samples[i].away) << "at " << samples[i].t;
        }
    }

    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<MarqueeLabel> marquee;
};

// Times from the start of a cycle (the left slide's delay begins at 0).
const MarqueeTest::Sample kCycle[] = {
    {0.5, 0, true},         {1.0 + 2.0, -30, true}, {5.1, -60, true}, {5.25, -60, true},
    {5.3 + 2.0, -30, true}, {9.35, 0, true},        {9.4, 0, true},   {10.3 + 2.0, -30, true},
};

TEST_F(MarqueeTest, AnOverflowingTextFadesInThenSlidesBackAndForth) {
    make(4);
    const double start = now();
    marquee->setText(kLong);
    EXPECT_EQ(marquee->homeLabelFrame(), ui::Rect(0, 0, 160, 20));
    EXPECT_EQ(marquee->awayLabelFrame(), ui::Rect(-60, 0, 160, 20));
    EXPECT_TRUE(marquee->labelShouldScroll());
    EXPECT_DOUBLE_EQ(marquee->animationDuration(), 4);

    at(start, 0.05);
    EXPECT_NEAR(labelAlpha(), 0.5, 1e-6) << "fading out";
    at(start, 0.15);
    EXPECT_NEAR(labelAlpha(), 0.5, 1e-6) << "fading in";
    EXPECT_EQ(marquee->subLabel()->text(), kLong);
    EXPECT_FALSE(marquee->awayFromHome());
    at(start, 0.2);
    EXPECT_NEAR(labelAlpha(), 1, 1e-6);
    expectCycle(start + 0.2, kCycle, std::size(kCycle));
}

TEST_F(MarqueeTest, TheSlideTimeComesFromTheDurationOrTheRate) {
    struct Case {
        double duration;
        float rate;
        std::string text;
        double expected;
    };
    const Case cases[] = {
        {4, 0, kLong, 4},
        // 200 points in a 100-point view: 100 points at 20 a second.
        {0, 20, kLong + kLong.substr(0, 5), 5},
        {0, 40, kLong + kLong.substr(0, 5), 2.5},
    };
    for (const Case& c : cases) {
        auto m = c.rate > 0 ? MarqueeLabel::createWithRate({0, 0, 100, 20}, c.rate, 0)
                            : MarqueeLabel::createWithDuration({0, 0, 100, 20}, c.duration, 0);
        m->setFont(ui::Font::systemFont(16));
        m->setText(c.text);
        EXPECT_DOUBLE_EQ(m->animationDuration(), c.expected) << c.text.size() << " characters at rate " << c.rate;
    }
    EXPECT_DOUBLE_EQ(MarqueeLabel::create({0, 0, 100, 20})->lengthOfScroll(), 7);
}

TEST_F(MarqueeTest, ATextThatFitsFadesInAndStaysStill) {
    make(4);
    marquee->setText(std::string("abcdefghijkl"));  // 96 points
    EXPECT_FALSE(marquee->labelShouldScroll());
    driver->advance(0.2);
    EXPECT_EQ(marquee->subLabel()->text(), "abcdefghijkl");
    for (int i = 0; i < 10; ++i) {
        driver->advance(1.5);
        EXPECT_EQ(labelX(), 0);
        EXPECT_FALSE(marquee->awayFromHome());
        EXPECT_FALSE(marquee->subLabel()->layer().hasAnimations());
    }
    // No text at all never slides either.
    auto empty = MarqueeLabel::create({0, 0, 10, 20});
    EXPECT_FALSE(empty->labelShouldScroll());
}

TEST_F(MarqueeTest, TheSameTextAgainStartsNothing) {
    make(4);
    const double start = now();
    marquee->setText(kLong);
    at(start, 0.2 + 3.0);
    marquee->setText(kLong);
    EXPECT_EQ(marquee->subLabel()->layer().animationForKey("opacity"), nullptr) << "no fade";
    EXPECT_NEAR(labelAlpha(), 1, 1e-6);
    // The cycle goes on as before.
    expectCycle(start + 0.2, kCycle + 2, std::size(kCycle) - 2);

    // A new text ends the running slide and starts one cycle for itself.
    const double second = now();
    marquee->setText(kLong + "uv");
    at(second, 0.2);
    EXPECT_EQ(labelX(), 0);
    at(second, 0.2 + 1.0 + 4.0 + 0.1);
    EXPECT_NEAR(labelX(), -76, 1e-6);
}

TEST_F(MarqueeTest, TheFadeMaskCoversTheEdges) {
    struct Case {
        float fade;
        float stored;
        std::vector<double> locations;
    };
    const Case cases[] = {
        {10, 10, {0, 0.1, 0.9, 1}},
        {80, 50, {0, 0.5, 0.5, 1}},  // at most half the width
        {0, 0, {}},
    };
    for (const Case& c : cases) {
        auto m = MarqueeLabel::createWithDuration({0, 0, 100, 20}, 4, c.fade);
        EXPECT_EQ(m->fadeLength(), c.stored);
        auto* mask = dynamic_cast<ui::GradientLayer*>(m->layer().mask().get());
        if (c.locations.empty()) {
            EXPECT_EQ(mask, nullptr);
            continue;
        }
        ASSERT_NE(mask, nullptr) << c.fade;
        EXPECT_EQ(mask->locations(), c.locations);
        EXPECT_EQ(mask->colors(), (std::vector<ui::Color>{ui::Color::clearColor(), ui::Color::blackColor(),
                                                          ui::Color::blackColor(), ui::Color::clearColor()}));
        EXPECT_EQ(mask->startPoint().x, 0);
        EXPECT_EQ(mask->endPoint().x, 1);
        EXPECT_EQ(mask->startPoint().y, mask->endPoint().y) << "a horizontal fade";
        EXPECT_EQ(mask->bounds(), m->layer().bounds());
    }

    // Read back: a black marquee over white fades out at its edges.
    auto white = ui::View::create({0, 0, 320, 480});
    white->setBackgroundColor(ui::Color::whiteColor());
    driver->window().addSubview(white);
    make(4, 30);
    marquee->ui::View::setBackgroundColor(ui::Color::blackColor());
    driver->advance(0.5);
    auto shot = driver->snapshot();
    EXPECT_GT(shot->pixel(10 + 1, 20).r, 220) << "the left edge is faded out";
    EXPECT_GT(shot->pixel(10 + 98, 20).r, 220) << "the right edge is faded out";
    EXPECT_LT(shot->pixel(10 + 50, 20).r, 10) << "the middle is not";
    EXPECT_GT(shot->pixel(10 + 15, 20).r, shot->pixel(10 + 25, 20).r) << "the fade deepens inwards";
    white->removeFromSuperview();
}

TEST_F(MarqueeTest, AsAPlainLabelANewTextShowsAtOnce) {
    make(4);
    marquee->setLabelize(true);
    marquee->setText(kLong);
    EXPECT_EQ(marquee->subLabel()->text(), kLong);
    EXPECT_EQ(marquee->subLabel()->frame(), marquee->homeLabelFrame());
    EXPECT_FALSE(marquee->subLabel()->layer().hasAnimations());
    driver->advance(10);
    EXPECT_EQ(labelX(), 0);
    // Back to a marquee: the cycle starts.
    const double start = now();
    marquee->setLabelize(false);
    at(start, 1.0 + 2.0);
    EXPECT_NEAR(labelX(), -30, 1e-6);
}

TEST_F(MarqueeTest, LeavingItsScreenStopsTheCycleAndComingBackRestartsItOnce) {
    auto screen = std::make_shared<ui::ViewController>();
    auto nav = std::make_shared<ui::NavigationController>(screen);
    nav->view()->setFrame({0, 0, 320, 480});
    driver->window().addSubview(nav->viewRef());
    nav->beginAppearanceTransition(true, false);
    nav->endAppearanceTransition();
    marquee = MarqueeLabel::createWithDuration({10, 10, 100, 20}, 4, 0);
    marquee->setFont(ui::Font::systemFont(16));
    auto holder = ui::View::create({0, 0, 320, 100});
    holder->addSubview(marquee);
    screen->view()->addSubview(holder);
    EXPECT_EQ(firstAvailableUIViewController(marquee.get()), screen.get());

    double start = now();
    marquee->setText(kLong);
    at(start, 0.2 + 3.0);
    ASSERT_NEAR(labelX(), -30, 1e-6);

    nav->pushViewController(std::make_shared<ui::ViewController>(), false);
    driver->settle();
    EXPECT_EQ(labelX(), 0) << "covered: the label is home";
    EXPECT_FALSE(marquee->awayFromHome());
    driver->advance(20);
    EXPECT_EQ(labelX(), 0);
    EXPECT_FALSE(marquee->subLabel()->layer().hasAnimations());

    nav->popViewControllerAnimated(false);
    driver->settle();
    expectCycle(now(), kCycle, std::size(kCycle));

    // The app going away and coming back (two notifications on the way back)
    // gives one cycle from the return.
    auto& app = ui::Application::shared();
    app.resignActive();
    app.enterBackground();
    driver->settle();
    EXPECT_EQ(labelX(), 0);
    driver->advance(30);
    EXPECT_EQ(labelX(), 0);
    app.enterForeground();
    app.becomeActive();
    driver->settle();
    expectCycle(now(), kCycle, std::size(kCycle));
    marquee->removeFromSuperview();
}

// The label attributes the marquee has no storage for go to its inner label.
TEST_F(MarqueeTest, LabelAttributesAreThoseOfTheInnerLabel) {
    make(7);
    marquee->setAdjustsFontSizeToFitWidth(true);
    marquee->setMinimumFontSize(9);
    marquee->setBaselineAdjustment(ui::BaselineAdjustment::AlignCenters);
    EXPECT_TRUE(marquee->subLabel()->adjustsFontSizeToFitWidth());
    EXPECT_EQ(marquee->subLabel()->minimumFontSize(), 9);
    EXPECT_EQ(marquee->subLabel()->baselineAdjustment(), ui::BaselineAdjustment::AlignCenters);
    marquee->subLabel()->setBaselineAdjustment(ui::BaselineAdjustment::AlignTops);
    EXPECT_EQ(marquee->baselineAdjustment(), ui::BaselineAdjustment::AlignTops);
}

}  // namespace
