// Renders the bundled safety article through the HTML page view, the whole
// page at 320 points wide and twice the pixels, to a PNG:
//
//   html_view_snapshot <output.png> [bundle folder]
// (the picture in docs is docs/html-view.png)

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "lib/kit/HtmlPageView.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/shell/Driver.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output.png> [bundle folder]\n", argv[0]);
        return 2;
    }
    if (argc > 2) setenv("QUENTA_BUNDLE", argv[2], 1);
    auto path = foundation::bundlePath("html/safety-article", "html");
    std::ifstream in(path ? *path : std::string(), std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "the article is not in the bundle %s\n", foundation::bundleDir().c_str());
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();

    // First pass: the page's height at 320 points; second: a screen that tall.
    double height = 480;
    for (int pass = 0; pass < 2; ++pass) {
        shell::Driver driver({320, height}, 2);
        auto view = HtmlPageView::create({0, 0, 320, height});
        view->setBackgroundColor(ui::Color::whiteColor());
        driver.window().addSubview(view);
        bool done = false;
        view->loadHtmlBody(text.str(), [&](const std::optional<std::string>& error) {
            if (error) std::fprintf(stderr, "load failed: %s\n", error->c_str());
            done = true;
        });
        foundation::RunLoop::main().runUntil([&] { return view->loaded(); }, 30);
        driver.advance(0.2);
        if (!done) {
            std::fprintf(stderr, "the page did not finish\n");
            return 1;
        }
        if (pass == 0) {
            height = std::max(480.0, view->webView()->contentSize().height);
            continue;
        }
        if (!driver.saveSnapshot(argv[1])) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
