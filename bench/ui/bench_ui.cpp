// Rendering a 320x480 tree of 200 views (text, gradients, custom drawing)
// at scale 2: the time of one frame, against the 16.7 ms of 60 frames a second.
#include <benchmark/benchmark.h>

#include "bench/ui/SampleTree.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Screen.h"

namespace {

int countViews(const ui::View& v) {
    int n = 1;
    for (auto& s : v.subviews()) n += countViews(*s);
    return n;
}

// A steady frame: pictures drawn by the views are reused, the tree is composited.
void BM_Frame200ViewsScale2(benchmark::State& state) {
    ui::Screen::main().setScale(2);
    auto window = sample::buildBenchTree();
    foundation::RunLoop::main().drain();
    window->render(2);
    for (auto _ : state) {
        auto img = window->render(2);
        benchmark::DoNotOptimize(img);
    }
    state.counters["views"] = countViews(*window) - 1;
}

// Every view draws itself again before the frame (text laid out anew).
void BM_Frame200ViewsScale2AllRedrawn(benchmark::State& state) {
    ui::Screen::main().setScale(2);
    auto window = sample::buildBenchTree();
    foundation::RunLoop::main().drain();
    std::function<void(ui::View&)> dirty = [&](ui::View& v) {
        v.setNeedsDisplay();
        for (auto& s : v.subviews()) dirty(*s);
    };
    for (auto _ : state) {
        dirty(*window);
        foundation::RunLoop::main().drain();
        auto img = window->render(2);
        benchmark::DoNotOptimize(img);
    }
}

}  // namespace

BENCHMARK(BM_Frame200ViewsScale2)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_Frame200ViewsScale2AllRedrawn)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    foundation::RunLoop::setMainThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
