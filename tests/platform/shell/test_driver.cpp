#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/shell/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Text.h"
#include "tests/support/TestSupport.h"

using namespace ui;

namespace {

class TapCounter : public View {
public:
    using View::View;
    void touchesBegan(const TouchSet& t, const Event&) override { path.push_back(t.front()->locationInView(this)); }
    void touchesMoved(const TouchSet& t, const Event&) override { path.push_back(t.front()->locationInView(this)); }
    void touchesEnded(const TouchSet&, const Event&) override { ++taps; }
    int taps = 0;
    std::vector<Point> path;
};

class Field : public View {
public:
    using View::View;
    bool canBecomeFirstResponder() const override { return true; }
    void touchesEnded(const TouchSet&, const Event&) override { becomeFirstResponder(); }
    void insertText(const std::string& t) override { text += t; }
    void deleteBackward() override {
        if (!text.empty()) text.pop_back();
    }
    std::string displayedText() const override { return text; }
    std::string text;
};

class DriverTest : public ::testing::Test {};

}  // namespace

TEST_F(DriverTest, FindsAndTapsViewsByTextTagAndLabel) {
    shell::Driver d({320, 480}, 1);
    auto button = std::make_shared<TapCounter>(Rect{20, 100, 120, 40});
    button->setTag(42);
    button->setAccessibilityLabel("ok-button");
    d.window().addSubview(button);
    auto caption = Label::create({0, 0, 120, 40});
    caption->setText("确定");
    caption->setUserInteractionEnabled(false);  // touches fall through to the button
    button->addSubview(caption);
    auto hiddenLabel = Label::create({0, 300, 100, 20});
    hiddenLabel->setText("确定");
    hiddenLabel->setHidden(true);
    d.window().addSubview(hiddenLabel);

    EXPECT_EQ(d.findByText("确定"), caption.get()) << "hidden views are not found";
    EXPECT_EQ(d.findByTag(42), button.get());
    EXPECT_EQ(d.findByAccessibilityLabel("ok-button"), button.get());
    EXPECT_EQ(d.findByText("absent"), nullptr);
    EXPECT_EQ(d.tapText("absent"), nullptr);

    EXPECT_EQ(d.tapText("确定"), button.get());
    EXPECT_EQ(d.tapTag(42), button.get());
    EXPECT_EQ(d.tapAccessibilityLabel("ok-button"), button.get());
    EXPECT_EQ(button->taps, 3);
    EXPECT_EQ(button->path.back(), (Point{60, 20}));  // the centre, in the button's space
    EXPECT_EQ(d.tap(Point{300, 400}), &d.window());
    EXPECT_EQ(d.visibleTexts(), std::vector<std::string>{"确定"});
}

TEST_F(DriverTest, DragsTypesAndAdvancesTheClock) {
    shell::Driver d;
    auto pad = std::make_shared<TapCounter>(Rect{0, 0, 320, 200});
    d.window().addSubview(pad);
    double t0 = d.clock().monotonic();
    d.drag({10, 10}, {110, 60}, 4, 0.05);
    ASSERT_EQ(pad->path.size(), 5u);
    EXPECT_EQ(pad->path[2], (Point{60, 35}));
    EXPECT_EQ(pad->path.back(), (Point{110, 60}));
    EXPECT_NEAR(d.clock().monotonic() - t0, 0.2, 1e-9);

    auto field = std::make_shared<Field>(Rect{0, 300, 320, 40});
    d.window().addSubview(field);
    d.type("lost");  // nobody has the focus yet
    d.tap(field.get());
    d.type("abc");
    d.backspace();
    EXPECT_EQ(field->text, "ab");
    EXPECT_EQ(d.findByText("ab"), field.get());

    // Animations move with the driver's clock.
    auto mover = View::create({0, 400, 10, 10});
    d.window().addSubview(mover);
    bool done = false;
    View::animate(
        1.0,
        [&] {
            mover->setCenter({200, 405});
        },
        [&](bool f) { done = f; });
    d.advance(0.99);
    EXPECT_FALSE(done);
    d.advance(0.02);
    EXPECT_TRUE(done);
}

TEST_F(DriverTest, TreeAndSnapshot) {
    shell::Driver d({320, 568}, 2);
    EXPECT_EQ(d.window().bounds().size, (Size{320, 568}));
    auto box = View::create({10, 20, 100, 50});
    box->setBackgroundColor(Color::rgba(0, 0.5, 1));
    box->setTag(5);
    d.window().addSubview(box);
    auto label = Label::create({10, 100, 200, 30});
    label->setText("安全日志");
    d.window().addSubview(label);
    std::string tree = d.tree();
    EXPECT_NE(tree.find("Window {{0, 0}, {320, 568}}"), std::string::npos) << tree;
    EXPECT_NE(tree.find("  View {{10, 20}, {100, 50}} tag=5"), std::string::npos) << tree;
    EXPECT_NE(tree.find("  Label {{10, 100}, {200, 30}} text=\"安全日志\""), std::string::npos) << tree;

    std::string path = testsupport::tempDir("shots") + "/screen.png";
    ASSERT_TRUE(d.saveSnapshot(path));
    auto img = Image::fromFile(path);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixelWidth(), 640);
    EXPECT_EQ(img->pixelHeight(), 1136);
    Rgba p = img->pixel(100, 80);
    EXPECT_NEAR(p.r, 0, 2);
    EXPECT_NEAR(p.g, 128, 2);
    EXPECT_NEAR(p.b, 255, 2);
    EXPECT_EQ(img->pixel(300, 300), (Rgba{255, 255, 255, 255}));
}
