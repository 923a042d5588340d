// Time to build and lay out a 20 KB article page at 320 points: the page
// builder's steps on the fragment, then parsing, style and layout in the web
// view. Run with --benchmark_repetitions=9 and read the median.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <fstream>
#include <sstream>
#include <string>

#include "lib/kit/HtmlPageView.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/WebView.h"

namespace {

std::string article20k() {
    std::ifstream in(std::string(QUENTA_SOURCE_DIR) + "/resources/html/safety-article.html", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string one = ss.str(), page;
    while (page.size() < 20 * 1024) page += one;
    return page;
}

void BM_BuildAndLayOutArticle(benchmark::State& state) {
    const std::string fragment = article20k();
    auto view = HtmlPageView::create({0, 0, 320, 480});
    const std::string base = std::string("file://") + QUENTA_SOURCE_DIR + "/resources/";
    for (auto _ : state) {
        std::string page = view->buildPage(fragment);
        view->webView()->loadHTMLString(page, base);
        foundation::RunLoop::main().drain();
        benchmark::DoNotOptimize(view->webView()->contentSize());
    }
    state.counters["page_height"] = view->webView()->contentSize().height;
    state.SetLabel(std::to_string(fragment.size()) + " bytes");
}
BENCHMARK(BM_BuildAndLayOutArticle)->Unit(benchmark::kMillisecond);

// Loads the page into one web view once an iteration.
void loadRepeatedly(benchmark::State& state, const std::string& page) {
    auto web = ui::WebView::create({0, 0, 320, 480});
    for (auto _ : state) {
        web->loadHTMLString(page, "");
        foundation::RunLoop::main().drain();
        benchmark::DoNotOptimize(web->contentSize());
    }
}

// A hostile page: n elements nested one in another, loaded (parsed, converted,
// laid out) by the web view. Deeper than the view's limit is dropped.
void BM_LoadDeeplyNestedPage(benchmark::State& state) {
    const int n = int(state.range(0));
    std::string page = "<html><body>";
    for (int i = 0; i < n; ++i) page += "<div>";
    page += "深";
    for (int i = 0; i < n; ++i) page += "</div>";
    page += "</body></html>";
    loadRepeatedly(state, page);
}
BENCHMARK(BM_LoadDeeplyNestedPage)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

// n sibling paragraphs: a long flat page.
void BM_LoadManySiblings(benchmark::State& state) {
    const int n = int(state.range(0));
    std::string page = "<html><body>";
    for (int i = 0; i < n; ++i) page += "<p>段落" + std::to_string(i) + "</p>";
    page += "</body></html>";
    loadRepeatedly(state, page);
}
BENCHMARK(BM_LoadManySiblings)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Hostile pages, one per process for the peak (--benchmark_filter=<name>):
// the time the main thread is held by one load, and the process's peak
// resident memory afterwards (peak_rss_mb).
void reportPeak(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = double(usage.ru_maxrss) / 1024.0;
}

// n inline scripts that never end.
void BM_LoadPageOfEndlessScripts(benchmark::State& state) {
    const int n = int(state.range(0));
    std::string page = "<html><body>";
    for (int i = 0; i < n; ++i) page += "<script>while (true) {}</script>";
    page += "</body></html>";
    loadRepeatedly(state, page);
    reportPeak(state);
}
BENCHMARK(BM_LoadPageOfEndlessScripts)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(1);

// One script setting the body's innerHTML to n elements.
void BM_ScriptBuildsElements(benchmark::State& state) {
    const int doublings = int(state.range(0));
    const std::string page = "<html><body><script>var m = '<i></i>'; for (var k = 0; k < " + std::to_string(doublings) +
                             "; k++) m += m; document.body.innerHTML = m;</script></body></html>";
    loadRepeatedly(state, page);
    state.SetLabel(std::to_string(1 << doublings) + " elements asked for");
    reportPeak(state);
}
BENCHMARK(BM_ScriptBuildsElements)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1);

// The deeply nested page at 100,000 levels, with its peak.
void BM_LoadVeryDeeplyNestedPage(benchmark::State& state) {
    BM_LoadDeeplyNestedPage(state);
    reportPeak(state);
}
BENCHMARK(BM_LoadVeryDeeplyNestedPage)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
