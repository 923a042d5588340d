// One frame of each code tab's engine layer, as the display link draws it:
// the scheduler's step (actions, particles), the draw at scale 2 (640 pixels
// wide) and the read-back that hands the picture to the view. The digits are
// turned over every second and the star path is traced again every 1.5 s,
// so the frames measured are the animated ones.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/screens/token/CodeEngine.h"
#include "app/screens/token/KAVOMainLayer.h"
#include "app/screens/token/OTPLayer.h"
#include "lib/engine2d/director/GxDirector.h"
#include "platform/gl/Context.h"
#include "platform/shell/Driver.h"

namespace {

struct Stage {
    shell::Driver driver{{320, 480}, 2};
    std::shared_ptr<ui::View> host = ui::View::create({0, 0, 320, 260});
    std::shared_ptr<engine2d::GxGLView> view;
    Stage() {
        driver.window().addSubview(host);
        view = CodeEngine::attach(*host, host->bounds(), nullptr);
    }
    ~Stage() {
        CodeEngine::stop(nullptr);
        engine2d::GxDirector::sharedDirector().end();
    }
};

void BM_CodeTabFrameWithDigitsFlipping(benchmark::State& state) {
    Stage stage;
    if (!stage.view) {
        state.SkipWithError("no EGL display");
        return;
    }
    auto pair = OTPLayer::initParam();
    CodeEngine::run(pair.scene);
    const std::vector<std::string> codes[2] = {{"9", "2", "1", "3", "0", "0"}, {"7", "3", "2", "3", "0", "3"}};
    pair.layer->changeNum(codes[0]);
    long frame = 0;
    for (auto _ : state) {
        if (frame % 60 == 0) pair.layer->changeNum(codes[(frame / 60) % 2]);
        ++frame;
        stage.driver.advance(1.0 / 60);
    }
    state.counters["pixels_wide"] = stage.view->surfaceSize().width;
    state.counters["frames_presented"] = stage.view->framesPresented();
}
BENCHMARK(BM_CodeTabFrameWithDigitsFlipping)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_NineStarTabFrameWithTheEmitterRunning(benchmark::State& state) {
    Stage stage;
    if (!stage.view) {
        state.SkipWithError("no EGL display");
        return;
    }
    auto pair = KAVOMainLayer::initParam();
    CodeEngine::run(pair.scene);
    long frame = 0;
    for (auto _ : state) {
        if (frame % 90 == 0) pair.layer->changeMoving(frame % 180 ? "0413" : "048");
        ++frame;
        stage.driver.advance(1.0 / 60);
    }
    state.counters["pixels_wide"] = stage.view->surfaceSize().width;
}
BENCHMARK(BM_NineStarTabFrameWithTheEmitterRunning)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    setenv("QUENTA_BUNDLE", QUENTA_RESOURCES, 0);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
