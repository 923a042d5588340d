// Draws a small engine scene inside a view tree and writes the window as a
// PNG: engine2d_first_pixels <out.png>  (docs/engine-first-pixels.png)
//
// A header label and a patterned view of the UI kit, the engine's GL view
// over them with a gradient and six tilted digit cards, and a caption below:
// the engine's frame composes with the views around and beneath it.
#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxLayerColor.h"
#include "platform/gl/GL.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Label.h"
#include "tools/picture/Picture.h"

using namespace engine2d;

int main(int argc, char** argv) {
    if (auto status = picture::start(argc, argv)) return *status;
    shell::Driver driver({320, 480}, 2);
    auto& window = driver.window();
    picture::paintPage(driver);
    picture::addHeader(driver, "禾盾 · 动态口令", {0, 24, 320, 40}, 20);

    // Stripes beneath the GL view: they show where the engine's frame is clear.
    for (int i = 0; i < 8; ++i) {
        auto stripe = ui::View::create({0, 80.0 + i * 40, 320, 20});
        stripe->setBackgroundColor(ui::Color::rgba(0.85, 0.88, 0.93));
        window.addSubview(stripe);
    }

    auto view = GxGLView::viewWithFrame({20, 90, 280, 280}, kGxColorFormatRGBA8);
    if (!view) return 1;
    window.addSubview(view);
    auto& director = GxDirector::sharedDirector();
    director.setView(view);
    director.setAnimationInterval(1.0 / 60);
    director.enableRetinaDisplay(true);
    gl::ClearColor(0, 0, 0, 0);

    auto scene = GxScene::node();
    // A gradient disc of light behind the cards: a gradient layer, half transparent at the bottom.
    auto glow = GxLayerGradient::layerWithColor({255, 120, 40, 230}, {255, 200, 80, 60}, {0, -1});
    glow->changeWidthHeight(240, 120);
    glow->setPosition({20, 140});
    scene->addChild(glow, -1);
    const gxColor3B colours[] = {{200, 40, 40}, {220, 120, 30}, {200, 170, 20},
                                 {40, 150, 70}, {30, 110, 200}, {110, 60, 180}};
    for (int i = 0; i < 6; ++i) {
        auto card = GxLayerColor::layerWithColor({colours[i].r, colours[i].g, colours[i].b, 255}, 36, 54);
        card->setIgnoreAnchorPointForPosition(false);
        card->setAnchorPoint({0.5f, 0.5f});
        card->setPosition({35.0f + i * 42, 80});
        card->setRotation(-12.0f + i * 5);
        scene->addChild(card, i);
    }
    auto bar = GxLayerColor::layerWithColor({30, 30, 40, 200}, 240, 8);
    bar->setPosition({20, 30});
    scene->addChild(bar);
    director.runWithScene(scene);
    driver.advance(4.0 / 60);

    auto caption = ui::Label::create({0, 390, 320, 30});
    caption->setText("上方图案由引擎绘制，叠在界面视图之上");
    caption->setFont(ui::Font::systemFont(13));
    caption->setTextAlignment(ui::TextAlignment::Center);
    window.addSubview(caption);

    int status = picture::save(driver, argv[1]);
    director.end();
    return status;
}
