// Frame time of the engine on Mesa's surfaceless EGL at 320x480 points,
// scale 2 (640x960 pixels): an empty scene, a scene of 500 coloured layers,
// each including the hand-over of the frame to the view's layer, and the
// hand-over (read back, flip, swizzle, set as contents) alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxLayerColor.h"
#include "platform/foundation/RunLoop.h"
#include "platform/gl/Context.h"
#include "platform/shell/Driver.h"

using namespace engine2d;

namespace {

struct Stage {
    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<GxGLView> view;

    explicit Stage(int layers) {
        driver = std::make_unique<shell::Driver>(ui::Size{320, 480}, 2);
        view = GxGLView::viewWithFrame({0, 0, 320, 480}, kGxColorFormatRGBA8);
        driver->window().addSubview(view);
        auto& d = GxDirector::sharedDirector();
        d.setView(view);
        d.enableRetinaDisplay(true);
        driver->settle();
        auto scene = GxScene::node();
        for (int i = 0; i < layers; ++i) {
            auto l =
                GxLayerColor::layerWithColor({uint8_t(i * 7), uint8_t(255 - i % 256), uint8_t(i * 13), 200}, 40, 40);
            l->setPosition({float((i * 37) % 280), float((i * 53) % 440)});
            scene->addChild(l);
        }
        d.pushScene(scene);
    }
    ~Stage() {
        GxDirector::sharedDirector().end();
        view.reset();
        driver.reset();
    }
};

bool haveGL(benchmark::State& state) {
    if (gl::Context::available()) return true;
    state.SkipWithError("no EGL display");
    return false;
}

void BM_EmptySceneFrame(benchmark::State& state) {
    if (!haveGL(state)) return;
    Stage stage(0);
    for (auto _ : state) GxDirector::sharedDirector().drawScene();
    state.counters["px"] = stage.view->surfaceSize().width * stage.view->surfaceSize().height;
}

void BM_FiveHundredColourLayersFrame(benchmark::State& state) {
    if (!haveGL(state)) return;
    Stage stage(500);
    for (auto _ : state) GxDirector::sharedDirector().drawScene();
}

void BM_FrameHandOver(benchmark::State& state) {
    if (!haveGL(state)) return;
    Stage stage(0);
    GxDirector::sharedDirector().drawScene();
    for (auto _ : state) stage.view->swapBuffers();
}

BENCHMARK(BM_EmptySceneFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FiveHundredColourLayersFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameHandOver)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    foundation::RunLoop::setMainThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
