// Writes the showcase screen as a PNG: sample_snapshot <out.png> [scale]
#include <cstdio>
#include <cstdlib>

#include "bench/ui/SampleTree.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Screen.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [scale]\n", argv[0]);
        return 2;
    }
    double scale = argc > 2 ? std::atof(argv[2]) : 2;
    if (scale != 1 && scale != 2) scale = 2;
    foundation::RunLoop::setMainThread();
    ui::Screen::main().setScale(scale);
    auto window = sample::buildShowcase();
    foundation::RunLoop::main().drain();
    auto img = window->render(scale);
    if (!img || !img->writePNG(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
