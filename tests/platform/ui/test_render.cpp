#include <cmath>
#include <memory>

#include "platform/foundation/Paths.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Label.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Render.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"
#include "tests/support/TestSupport.h"

using namespace ui;
using uitest::pixelNear;

namespace {

class Rendering : public uitest::UiFixture {};

std::shared_ptr<Image> solid(int w, int h, Rgba c) {
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) px[i] = c.r, px[i + 1] = c.g, px[i + 2] = c.b, px[i + 3] = c.a;
    return Image::fromRgba(w, h, px.data());
}

}  // namespace

TEST_F(Rendering, SmallTreeSnapshotAtBothScales) {
    auto window = Window::create({0, 0, 100, 80});
    window->setBackgroundColor(Color::white(1));
    auto panel = View::create({10, 10, 60, 40});
    panel->setBackgroundColor(Color::rgba(1, 0, 0));
    window->addSubview(panel);
    auto veil = View::create({40, 30, 50, 40});
    veil->setBackgroundColor(Color::rgba(0, 0, 1, 0.5));
    window->addSubview(veil);
    auto hiddenView = View::create({0, 60, 30, 20});
    hiddenView->setBackgroundColor(Color::blackColor());
    hiddenView->setHidden(true);
    window->addSubview(hiddenView);
    auto faded = View::create({70, 0, 30, 20});
    faded->setBackgroundColor(Color::blackColor());
    faded->setAlpha(0.25);
    window->addSubview(faded);

    for (int scale : {1, 2}) {
        auto img = window->render(scale);
        ASSERT_EQ(img->pixelWidth(), 100 * scale);
        ASSERT_EQ(img->pixelHeight(), 80 * scale);
        auto at = [&](double x, double y, Rgba want) {
            return pixelNear(*img, int(x * scale), int(y * scale), want, 2);
        };
        EXPECT_TRUE(at(5, 5, {255, 255, 255, 255})) << scale;
        EXPECT_TRUE(at(20, 20, {255, 0, 0, 255})) << scale;
        EXPECT_TRUE(at(50, 40, {128, 0, 128, 255})) << scale;    // blue at 0.5 over red
        EXPECT_TRUE(at(80, 60, {128, 128, 255, 255})) << scale;  // blue at 0.5 over white
        EXPECT_TRUE(at(10, 70, {255, 255, 255, 255})) << scale;  // the hidden view
        EXPECT_TRUE(at(85, 10, {191, 191, 191, 255})) << scale;  // black at 0.25
    }
    // And to a PNG file that reads back the same.
    std::string path = testsupport::tempDir("snap") + "/tree.png";
    ASSERT_TRUE(window->render(1)->writePNG(path));
    auto back = Image::fromFile(path);
    ASSERT_TRUE(back);
    EXPECT_TRUE(pixelNear(*back, 50, 40, {128, 0, 128, 255}));
}

TEST_F(Rendering, CornerRadiusBorderAndMasksToBounds) {
    auto root = View::create({0, 0, 100, 100});
    auto box = View::create({10, 10, 80, 80});
    box->setBackgroundColor(Color::rgba(0, 1, 0));
    box->layer().setCornerRadius(20);
    box->layer().setBorderWidth(4);
    box->layer().setBorderColor(Color::rgba(0, 0, 1));
    root->addSubview(box);
    auto child = View::create({-10, -10, 40, 40});
    child->setBackgroundColor(Color::rgba(1, 0, 0));
    box->addSubview(child);
    auto img = root->snapshot(1);
    EXPECT_TRUE(pixelNear(*img, 50, 50, {0, 255, 0, 255}));
    EXPECT_TRUE(pixelNear(*img, 50, 11, {0, 0, 255, 255}));  // border inside the edge
    EXPECT_TRUE(pixelNear(*img, 3, 3, {255, 0, 0, 255}));    // child spills out when not clipped
    box->setClipsToBounds(true);
    img = root->snapshot(1);
    EXPECT_EQ(img->pixel(3, 3).a, 0);
    EXPECT_EQ(img->pixel(12, 12).a, 0);                      // the rounded corner is cut
    EXPECT_TRUE(pixelNear(*img, 30, 20, {255, 0, 0, 255}));  // the child inside the box
    EXPECT_TRUE(pixelNear(*img, 88, 50, {0, 0, 255, 255}));  // border drawn over the contents
}

TEST_F(Rendering, ShadowMaskAndGradientLayers) {
    auto root = Layer::create();
    root->setBounds({0, 0, 120, 120});
    root->setBackgroundColor(Color::whiteColor());

    auto shadowed = Layer::create();
    shadowed->setFrame({10, 10, 40, 40});
    shadowed->setBackgroundColor(Color::rgba(0, 0, 1));
    shadowed->setShadowOpacity(1);
    shadowed->setShadowOffset({8, 8});
    shadowed->setShadowRadius(0);
    root->addSublayer(shadowed);

    auto gradient = GradientLayer::create();
    gradient->setFrame({60, 10, 50, 100});
    gradient->setColors({Color::rgba(1, 0, 0), Color::rgba(0, 1, 0)});
    root->addSublayer(gradient);

    auto masked = Layer::create();
    masked->setFrame({10, 60, 40, 40});
    masked->setBackgroundColor(Color::blackColor());
    auto mask = GradientLayer::create();
    mask->setFrame({0, 0, 40, 40});
    mask->setColors({Color::white(0, 1), Color::white(0, 0)});
    mask->setStartPoint({0, 0.5});
    mask->setEndPoint({1, 0.5});
    masked->setMask(mask);
    root->addSublayer(masked);

    auto img = renderLayerToImage(*root, 1, clock().monotonic());
    EXPECT_TRUE(pixelNear(*img, 30, 30, {0, 0, 255, 255}));
    EXPECT_TRUE(pixelNear(*img, 54, 54, {0, 0, 0, 255}));        // hard shadow down and right
    EXPECT_TRUE(pixelNear(*img, 5, 30, {255, 255, 255, 255}));   // not to the left
    EXPECT_TRUE(pixelNear(*img, 85, 10, {255, 0, 0, 255}, 4));   // gradient top
    EXPECT_TRUE(pixelNear(*img, 85, 109, {0, 255, 0, 255}, 4));  // gradient bottom
    EXPECT_TRUE(pixelNear(*img, 85, 60, {128, 128, 0, 255}, 4));
    EXPECT_TRUE(pixelNear(*img, 11, 80, {6, 6, 6, 255}, 8));        // mask opaque on the left
    EXPECT_TRUE(pixelNear(*img, 49, 80, {249, 249, 249, 255}, 8));  // and clear on the right

    // A shadow path replaces the shape's own outline.
    shadowed->setShadowPath(Path::rect({0, 0, 10, 10}));
    img = renderLayerToImage(*root, 1, clock().monotonic());
    EXPECT_TRUE(pixelNear(*img, 54, 54, {255, 255, 255, 255}));
    EXPECT_TRUE(pixelNear(*img, 22, 22, {0, 0, 255, 255}));
}

TEST_F(Rendering, ContentsGravityAndImageViews) {
    auto root = View::create({0, 0, 100, 50});
    root->setBackgroundColor(Color::whiteColor());
    auto iv = ImageView::create(solid(10, 10, {255, 0, 0, 255}));
    EXPECT_EQ(iv->frame(), Rect(0, 0, 10, 10));
    iv->setFrame({0, 0, 100, 50});
    root->addSubview(iv);
    auto img = root->snapshot(1);
    EXPECT_TRUE(pixelNear(*img, 5, 5, {255, 0, 0, 255}));  // scale to fill covers all
    iv->setContentMode(ContentMode::ScaleAspectFit);
    img = root->snapshot(1);
    EXPECT_TRUE(pixelNear(*img, 5, 25, {255, 255, 255, 255}));
    EXPECT_TRUE(pixelNear(*img, 50, 25, {255, 0, 0, 255}));
    iv->setContentMode(ContentMode::Center);
    img = root->snapshot(1);
    EXPECT_TRUE(pixelNear(*img, 50, 25, {255, 0, 0, 255}));
    EXPECT_TRUE(pixelNear(*img, 40, 25, {255, 255, 255, 255}));
    // A scale-2 picture is drawn at its size in points.
    iv->setImage(solid(20, 20, {0, 0, 255, 255})->withScale(2));
    img = root->snapshot(1);
    EXPECT_TRUE(pixelNear(*img, 46, 21, {0, 0, 255, 255}));
    EXPECT_TRUE(pixelNear(*img, 44, 25, {255, 255, 255, 255}));
}

TEST_F(Rendering, AnimationsInFlightAreDrawnWhereTheyAre) {
    auto window = Window::create({0, 0, 100, 20});
    window->setBackgroundColor(Color::whiteColor());
    auto dot = View::create({0, 0, 10, 20});
    dot->setBackgroundColor(Color::blackColor());
    window->addSubview(dot);
    View::animate(1.0, 0, kAnimationOptionCurveLinear, [&] { dot->setFrame({80, 0, 10, 20}); });
    advance(0.5);
    auto img = window->render(1);
    EXPECT_TRUE(pixelNear(*img, 45, 10, {0, 0, 0, 255}));
    EXPECT_TRUE(pixelNear(*img, 5, 10, {255, 255, 255, 255}));
    EXPECT_TRUE(pixelNear(*img, 85, 10, {255, 255, 255, 255}));
    advance(0.5);
    img = window->render(1);
    EXPECT_TRUE(pixelNear(*img, 85, 10, {0, 0, 0, 255}));
}

TEST_F(Rendering, FadeTransitionCrossFades) {
    auto holder = View::create({0, 0, 20, 20});
    auto before = View::create({0, 0, 20, 20});
    before->setBackgroundColor(Color::rgba(1, 0, 0));
    holder->addSubview(before);
    auto fade = Transition::create();
    fade->duration = 1.0;
    holder->layer().addAnimation(fade, "fade");
    before->removeFromSuperview();
    auto after = View::create({0, 0, 20, 20});
    after->setBackgroundColor(Color::rgba(0, 0, 1));
    holder->addSubview(after);
    EXPECT_TRUE(pixelNear(*holder->snapshot(1), 10, 10, {255, 0, 0, 255}));
    advance(0.5);
    // Half way (ease-less linear timing): each at half strength.
    Rgba mid = holder->snapshot(1)->pixel(10, 10);
    EXPECT_NEAR(mid.r, mid.b, 3);
    EXPECT_GT(mid.r, 100);
    advance(0.5);
    EXPECT_TRUE(pixelNear(*holder->snapshot(1), 10, 10, {0, 0, 255, 255}));
}

TEST_F(Rendering, PerspectiveNarrowsTheFarSide) {
    auto root = View::create({0, 0, 200, 100});
    auto card = View::create({50, 20, 100, 60});
    card->setBackgroundColor(Color::blackColor());
    root->addSubview(card);
    Transform3D t;
    t.m34 = -1.0 / 300;
    card->layer().setTransform(Transform3D::makeRotation(0.6, 0, 1, 0).concat(t));
    auto img = root->snapshot(1);
    auto columnHeight = [&](int x) {
        int n = 0;
        for (int y = 0; y < 100; ++y) n += img->pixel(x, y).a > 128;
        return n;
    };
    int left = columnHeight(70), right = columnHeight(130);
    EXPECT_GT(left, 0);
    EXPECT_GT(right, 0);
    EXPECT_NE(left, right);
}

TEST_F(Rendering, StandaloneLayerDrawsOnceUntilAskedAgain) {
    class Counting : public Layer {
    public:
        static std::shared_ptr<Counting> make() { return std::shared_ptr<Counting>(new Counting()); }
        void drawInContext(GraphicsContext& ctx) override {
            ++draws;
            ctx.setFillColor(Color::rgba(0, 1, 0));
            ctx.fillRect(bounds());
        }
        int draws = 0;
    };
    auto layer = Counting::make();
    layer->setBounds({0, 0, 10, 10});
    auto a = renderLayerToImage(*layer, 1, 0);
    auto b = renderLayerToImage(*layer, 1, 0);
    EXPECT_EQ(layer->draws, 1);
    EXPECT_TRUE(pixelNear(*b, 5, 5, {0, 255, 0, 255}));
    layer->setNeedsDisplay();
    turn();
    EXPECT_EQ(layer->draws, 2);
}
