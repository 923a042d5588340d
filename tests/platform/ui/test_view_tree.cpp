#include <cmath>
#include <memory>
#include <vector>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

using namespace ui;

namespace {

class ViewTree : public uitest::UiFixture {};

// A view that counts its drawing and its layout passes.
class CountingView : public View {
public:
    using View::View;
    void drawRect(const Rect&) override {
        ++draws;
        currentContext()->setFillColor(Color::redColor());
        currentContext()->fillRect(bounds());
    }
    void layoutSubviews() override { ++layouts; }
    int draws = 0;
    int layouts = 0;
};

class RecordingView : public View {
public:
    using View::View;
    void touchesBegan(const TouchSet& t, const Event&) override {
        events.push_back("began");
        where = t.front()->locationInView(this);
    }
    void touchesMoved(const TouchSet&, const Event&) override { events.push_back("moved"); }
    void touchesEnded(const TouchSet&, const Event&) override { events.push_back("ended"); }
    std::vector<std::string> events;
    Point where;
};

class RecordingResponder : public Responder {
public:
    void touchesBegan(const TouchSet&, const Event&) override { ++began; }
    int began = 0;
};

}  // namespace

TEST_F(ViewTree, HitTestingPicksFrontmostAndSkipsHiddenDisabledAndTransparent) {
    auto root = View::create({0, 0, 320, 480});
    auto back = View::create({0, 0, 200, 200});
    auto front = View::create({50, 50, 100, 100});
    root->addSubview(back);
    root->addSubview(front);
    EXPECT_EQ(root->hitTest({60, 60}, nullptr), front.get());
    EXPECT_EQ(root->hitTest({10, 10}, nullptr), back.get());
    EXPECT_EQ(root->hitTest({300, 400}, nullptr), root.get());
    EXPECT_EQ(root->hitTest({-1, 10}, nullptr), nullptr);

    struct Case {
        const char* what;
        std::function<void()> change;
    };
    std::vector<Case> cases = {
        {"hidden", [&] { front->setHidden(true); }},
        {"interaction off", [&] { front->setUserInteractionEnabled(false); }},
        {"alpha below 0.01", [&] { front->setAlpha(0.005); }},
    };
    for (auto& c : cases) {
        front->setHidden(false);
        front->setUserInteractionEnabled(true);
        front->setAlpha(1);
        c.change();
        EXPECT_EQ(root->hitTest({60, 60}, nullptr), back.get()) << c.what;
    }
    front->setAlpha(0.01);
    EXPECT_EQ(root->hitTest({60, 60}, nullptr), front.get()) << "alpha 0.01 still takes touches";
}

TEST_F(ViewTree, HitTestingHonoursTransforms) {
    auto root = View::create({0, 0, 320, 480});
    // 100x20 bar centred at (160, 240), turned a quarter: it now stands upright.
    auto bar = View::create({110, 230, 100, 20});
    root->addSubview(bar);
    bar->setTransform(AffineTransform::makeRotation(M_PI / 2));
    EXPECT_EQ(root->hitTest({160, 280}, nullptr), bar.get());   // inside the turned bar
    EXPECT_EQ(root->hitTest({200, 240}, nullptr), root.get());  // where the bar was before turning
    // A child of the turned bar sees points in its own axes.
    auto child = View::create({0, 0, 10, 20});
    bar->addSubview(child);
    // Bar's local (5, 10) maps to the window through the rotation about (160, 240).
    Point inWindow = bar->convertPointToView({5, 10}, nullptr);
    EXPECT_NEAR(inWindow.x, 160, 1e-9);
    EXPECT_NEAR(inWindow.y, 195, 1e-9);
    EXPECT_EQ(root->hitTest(inWindow, nullptr), child.get());
    // Scaled down to half, the bar's far end no longer covers its old place.
    bar->setTransform(AffineTransform::makeScale(0.5, 0.5));
    EXPECT_EQ(root->hitTest({180, 240}, nullptr), bar.get());
    EXPECT_EQ(root->hitTest({115, 240}, nullptr), root.get());
}

TEST_F(ViewTree, AutoresizingMasks) {
    struct Case {
        unsigned mask;
        Rect expected;  // child (20, 30, 100, 40) in a 200x100 parent grown to 300x200
    };
    std::vector<Case> cases = {
        {0, {20, 30, 100, 40}},
        // 18: flexible width and height: the growth goes to the size.
        {18, {20, 30, 200, 140}},
        // 45: all four margins flexible: shared by the margins in proportion, size kept.
        {45, {20 + 100 * 20.0 / 100, 30 + 100 * 30.0 / 60, 100, 40}},
        {kAutoresizingFlexibleLeftMargin, {120, 30, 100, 40}},
        {kAutoresizingFlexibleRightMargin | kAutoresizingFlexibleBottomMargin, {20, 30, 100, 40}},
        // Width and right margin share the growth by their lengths (100 and 80).
        {kAutoresizingFlexibleWidth | kAutoresizingFlexibleRightMargin, {20, 30, 100 + 100 * 100.0 / 180, 40}},
        {kAutoresizingFlexibleTopMargin | kAutoresizingFlexibleHeight,
         {20, 30 + 100 * 30.0 / 70, 100, 40 + 100 * 40.0 / 70}},
    };
    for (auto& c : cases) {
        auto parent = View::create({0, 0, 200, 100});
        auto child = View::create({20, 30, 100, 40});
        child->setAutoresizingMask(c.mask);
        parent->addSubview(child);
        parent->setFrame({0, 0, 300, 200});
        Rect f = child->frame();
        EXPECT_NEAR(f.x(), c.expected.x(), 1e-9) << "mask " << c.mask;
        EXPECT_NEAR(f.y(), c.expected.y(), 1e-9) << "mask " << c.mask;
        EXPECT_NEAR(f.width(), c.expected.width(), 1e-9) << "mask " << c.mask;
        EXPECT_NEAR(f.height(), c.expected.height(), 1e-9) << "mask " << c.mask;
    }
}

TEST_F(ViewTree, AutoresizingOffLeavesSubviewsAndShrinkingNeverGoesNegative) {
    auto parent = View::create({0, 0, 200, 100});
    auto child = View::create({20, 30, 100, 40});
    child->setAutoresizingMask(18);
    parent->addSubview(child);
    parent->setAutoresizesSubviews(false);
    parent->setFrame({0, 0, 300, 200});
    EXPECT_EQ(child->frame(), Rect(20, 30, 100, 40));
    parent->setAutoresizesSubviews(true);
    parent->setBounds({0, 0, 10, 10});  // shrinks by 290 x 190
    EXPECT_GE(child->frame().width(), 0);
    EXPECT_GE(child->frame().height(), 0);
}

TEST_F(ViewTree, SubviewOrderTagsAndWindow) {
    auto window = Window::create({0, 0, 320, 480});
    auto a = View::create(), b = View::create(), c = View::create();
    a->setTag(1);
    b->setTag(2);
    c->setTag(3);
    window->addSubview(a);
    window->addSubview(c);
    window->insertSubviewBelow(b, c.get());
    ASSERT_EQ(window->subviews().size(), 3u);
    EXPECT_EQ(window->subviews()[1], b);
    // Layers follow the subview order.
    EXPECT_EQ(window->layer().sublayers()[1], b->layerRef());
    window->bringSubviewToFront(a.get());
    EXPECT_EQ(window->subviews().back(), a);
    EXPECT_EQ(window->layer().sublayers().back(), a->layerRef());
    // Plain sublayers keep their place among the views' layers.
    auto plain = Layer::create();
    window->layer().addSublayer(plain);
    auto last = View::create();
    window->addSubview(last);
    EXPECT_EQ(window->layer().sublayers().back(), last->layerRef()) << "a new last view is on top";
    window->sendSubviewToBack(last.get());
    EXPECT_EQ(window->layer().sublayers().front(), last->layerRef());
    EXPECT_EQ(window->layer().sublayers().back(), plain);
    window->bringSubviewToFront(last.get());
    EXPECT_EQ(window->layer().sublayers().back(), last->layerRef());
    last->removeFromSuperview();
    plain->removeFromSuperlayer();
    auto deep = View::create();
    deep->setTag(7);
    b->addSubview(deep);
    EXPECT_EQ(window->viewWithTag(7), deep.get());
    EXPECT_EQ(window->viewWithTag(99), nullptr);
    EXPECT_EQ(deep->window(), window.get());
    EXPECT_EQ(deep->superview(), b.get());
    // Moving a view to another parent takes it out of the first.
    a->addSubview(deep);
    EXPECT_TRUE(b->subviews().empty());
    deep->removeFromSuperview();
    EXPECT_EQ(deep->window(), nullptr);
    EXPECT_EQ(deep->superview(), nullptr);
    // A view cannot become a subview of its own descendant.
    a->addSubview(deep);
    deep->addSubview(a);
    EXPECT_EQ(a->superview(), window.get());
}

TEST_F(ViewTree, SublayersMoveAboveAndBelowASibling) {
    auto root = Layer::create();
    auto a = Layer::create(), b = Layer::create(), c = Layer::create();
    for (const auto& l : {a, b, c}) root->addSublayer(l);
    using Order = std::vector<std::shared_ptr<Layer>>;
    // A sublayer that moves is counted where it stood before the move.
    root->insertSublayerAbove(a, c.get());
    EXPECT_EQ(root->sublayers(), (Order{b, c, a}));
    root->insertSublayerBelow(a, b.get());
    EXPECT_EQ(root->sublayers(), (Order{a, b, c}));
    root->insertSublayerAbove(c, a.get());
    EXPECT_EQ(root->sublayers(), (Order{a, c, b}));
    // Without the sibling among the sublayers: on top, or at the bottom.
    auto top = Layer::create(), bottom = Layer::create();
    root->insertSublayerAbove(top, nullptr);
    root->insertSublayerBelow(bottom, nullptr);
    EXPECT_EQ(root->sublayers(), (Order{bottom, a, c, b, top}));
    EXPECT_EQ(top->superlayer(), root.get());
    EXPECT_EQ(bottom->superlayer(), root.get());
}

TEST_F(ViewTree, ResponderChainGoesToControllerOfRootView) {
    RecordingResponder controller;
    auto window = Window::create({0, 0, 320, 480});
    auto root = View::create({0, 0, 320, 480});
    auto leaf = View::create({10, 10, 50, 50});
    window->addSubview(root);
    root->addSubview(leaf);
    root->setViewController(&controller);
    EXPECT_EQ(leaf->nextResponder(), root.get());
    EXPECT_EQ(root->nextResponder(), &controller);
    // An unhandled touch on the leaf travels up to the controller.
    window->sendTouch(TouchPhase::Began, {20, 20}, 0);
    window->sendTouch(TouchPhase::Ended, {20, 20}, 0.1);
    EXPECT_EQ(controller.began, 1);
}

TEST_F(ViewTree, TouchesGoToTheHitViewUntilTheyEnd) {
    auto window = Window::create({0, 0, 320, 480});
    auto target = std::make_shared<RecordingView>(Rect{100, 100, 50, 50});
    window->addSubview(target);
    EXPECT_EQ(window->sendTouch(TouchPhase::Began, {110, 120}, 0), target.get());
    EXPECT_EQ(target->where, (Point{10, 20}));
    // Moving out of the view still reports to it.
    window->sendTouch(TouchPhase::Moved, {300, 300}, 0.1);
    window->sendTouch(TouchPhase::Ended, {300, 300}, 0.2);
    EXPECT_EQ(target->events, (std::vector<std::string>{"began", "moved", "ended"}));
    EXPECT_FALSE(window->isTouching());
    EXPECT_EQ(window->sendTouch(TouchPhase::Moved, {1, 1}, 0.3), nullptr);
}

TEST_F(ViewTree, DisplayPassLaysOutThenDrawsEachDirtyViewOnce) {
    auto window = Window::create({0, 0, 320, 480});
    auto v = std::make_shared<CountingView>(Rect{0, 0, 40, 40});
    window->addSubview(v);
    turn();
    EXPECT_EQ(v->draws, 1);
    EXPECT_EQ(v->layouts, 1);
    int passes = displayPassCount();
    v->setNeedsDisplay();
    v->setNeedsDisplay();
    v->setNeedsLayout();
    v->setNeedsLayout();
    EXPECT_EQ(v->draws, 1) << "nothing is drawn before the turn ends";
    turn();
    EXPECT_EQ(v->draws, 2);
    EXPECT_EQ(v->layouts, 2);
    EXPECT_EQ(displayPassCount(), passes + 1);
    // Rendering uses the picture drawn in the pass, without drawing again.
    auto img = window->render(1);
    EXPECT_EQ(v->draws, 2);
    EXPECT_TRUE(uitest::pixelNear(*img, 20, 20, {255, 0, 0, 255}));
    // layoutIfNeeded runs a pending layout at once.
    v->setNeedsLayout();
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 3);
    turn();
    EXPECT_EQ(v->layouts, 3);
}

TEST_F(ViewTree, FrameBoundsAndCenterAgree) {
    auto v = View::create({10, 20, 100, 50});
    EXPECT_EQ(v->center(), (Point{60, 45}));
    EXPECT_EQ(v->bounds(), Rect(0, 0, 100, 50));
    v->setCenter({100, 100});
    EXPECT_EQ(v->frame(), Rect(50, 75, 100, 50));
    v->setTransform(AffineTransform::makeScale(2, 2));
    EXPECT_EQ(v->frame(), Rect(0, 50, 200, 100));
    EXPECT_EQ(v->bounds().size, (Size{100, 50}));
    v->setBounds({0, 0, 10, 10});
    EXPECT_EQ(v->center(), (Point{100, 100}));
}

TEST_F(ViewTree, FirstResponderReceivesTypedText) {
    class Field : public View {
    public:
        using View::View;
        bool canBecomeFirstResponder() const override { return true; }
        void insertText(const std::string& t) override { text += t; }
        void deleteBackward() override {
            if (!text.empty()) text.pop_back();
        }
        std::string text;
    };
    auto window = Window::create({0, 0, 320, 480});
    auto field = std::make_shared<Field>(Rect{0, 0, 100, 30});
    auto plain = View::create();
    window->addSubview(field);
    EXPECT_FALSE(plain->becomeFirstResponder());
    ASSERT_TRUE(field->becomeFirstResponder());
    window->sendText("ab");
    window->sendBackspace();
    window->sendText("c");
    EXPECT_EQ(field->text, "ac");
    // Leaving the window gives up the focus.
    field->removeFromSuperview();
    EXPECT_FALSE(field->isFirstResponder());
    window->sendText("x");
    EXPECT_EQ(field->text, "ac");
}
