// Time to build and lay out a 20 KB article page at 320 points: the page
// builder's steps on the fragment, then parsing, style and layout in the web
// view. Run with --benchmark_repetitions=9 and read the median.

#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
