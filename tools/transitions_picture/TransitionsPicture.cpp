// Draws three scene transitions caught half way and writes the window as a
// PNG: transitions_picture <out.png>  (docs/engine-transitions.png)
//
// Three GL views, one under the other, each showing the same pair of scenes
// (a warm "old" scene with a title card and a cool "new" one) in the middle
// of a different transition: rotate-and-zoom, a flip around the vertical
// axis and a clockwise radial wipe. The director draws into one view at a
// time; a view keeps its last frame when the director moves to the next.
#include <cstdio>
#include <functional>
#include <string>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxLayerColor.h"
#include "lib/engine2d/labels/GxLabelTTF.h"
#include "lib/engine2d/transitions/GxTransition.h"
#include "lib/engine2d/transitions/GxTransitionProgress.h"
#include "platform/gl/GL.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Label.h"
#include "tools/picture/Picture.h"

using namespace engine2d;

namespace {

constexpr float kW = 280, kH = 110;

// A scene of a gradient, a card and a caption.
std::shared_ptr<GxScene> makeScene(gxColor4B top, gxColor4B bottom, gxColor4B card, const std::string& text) {
    auto scene = GxScene::node();
    auto back = GxLayerGradient::layerWithColor(top, bottom, {0, -1});
    scene->addChild(back, -1);
    for (int i = 0; i < 5; ++i) {
        auto c = GxLayerColor::layerWithColor(card, 26, 40);
        c->setIgnoreAnchorPointForPosition(false);
        c->setAnchorPoint({0.5f, 0.5f});
        c->setPosition({24.0f + i * 32, 40});
        c->setRotation(-10.0f + i * 5);
        scene->addChild(c, i);
    }
    if (auto label = GxLabelTTF::labelWithString(text, "WenQuanYi Micro Hei", 22)) {
        label->setPosition({kW - 60, kH / 2});
        scene->addChild(label, 10);
    }
    return scene;
}

}  // namespace

int main(int argc, char** argv) {
    if (auto status = picture::start(argc, argv)) return *status;
    shell::Driver driver({320, 480}, 2);
    auto& window = driver.window();
    picture::paintPage(driver);
    picture::addHeader(driver, "禾盾 · 场景过渡", {0, 14, 320, 34}, 19)
        ->setBackgroundColor(ui::Color::rgba(0, 0, 0, 0));

    struct Panel {
        const char* caption;
        float at;  // seconds into a one-second transition
        std::function<std::shared_ptr<GxTransitionScene>(std::shared_ptr<GxScene>)> make;
    };
    const Panel panels[] = {
        {"旋转缩放：新场景转着从中心长出，旧场景转着缩小", 0.3f,
         [](std::shared_ptr<GxScene> s) { return GxTransitionRotoZoom::transitionWithDuration(1, std::move(s)); }},
        {"绕竖轴翻转：前半程旧场景翻走，后半程新场景翻来", 0.2f,
         [](std::shared_ptr<GxScene> s) { return GxTransitionFlipX::transitionWithDuration(1, std::move(s), 1); }},
        {"径向擦除：旧场景的画面按顺时针方向被擦去", 0.5f,
         [](std::shared_ptr<GxScene> s) {
             return GxTransitionProgressRadialCW::transitionWithDuration(1, std::move(s));
         }},
    };

    auto& director = GxDirector::sharedDirector();
    director.setAnimationInterval(1.0 / 60);
    double now = 10;
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        const Panel& p = panels[i];
        const double top = 56 + i * 140;
        auto view = GxGLView::viewWithFrame({20, top, kW, kH}, kGxColorFormatRGBA8);
        if (!view) return 1;
        window.addSubview(view);
        auto caption = ui::Label::create({0, top + kH + 4, 320, 20});
        caption->setText(p.caption);
        caption->setFont(ui::Font::systemFont(12));
        caption->setTextAlignment(ui::TextAlignment::Center);
        caption->setBackgroundColor(ui::Color::rgba(0, 0, 0, 0));
        window.addSubview(caption);
        driver.settle();

        director.setView(view);
        director.enableRetinaDisplay(true);
        driver.settle();
        gl::ClearColor(0, 0, 0, 0);
        auto oldScene = makeScene({250, 180, 90, 255}, {210, 80, 50, 255}, {255, 240, 210, 255}, "旧场景");
        auto newScene = makeScene({80, 170, 230, 255}, {40, 80, 170, 255}, {220, 240, 255, 255}, "新场景");
        director.setNextDeltaTimeZero(true);
        director.runWithScene(oldScene);
        director.displayLink()->tick(now);
        auto t = p.make(newScene);
        director.replaceScene(t);
        // Frames of 1/60 s up to the moment wanted.
        director.displayLink()->tick(now += 1.0 / 60);
        for (float at = 0; at + 1.0f / 120 < p.at; at += 1.0f / 60) director.displayLink()->tick(now += 1.0 / 60);
        if (director.runningScene() != t) {
            std::fprintf(stderr, "panel %d: the transition is not running\n", i);
            ok = false;
        }
        director.end();
    }
    if (int status = picture::save(driver, argv[1])) return status;
    return ok ? 0 : 1;
}
