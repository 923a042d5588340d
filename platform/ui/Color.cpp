#include "platform/ui/Color.h"

#include <algorithm>

namespace ui {

static double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

Color Color::patternImage(std::shared_ptr<Image> image) {
    Color c(0, 0, 0, 1);
    c.pattern_ = std::move(image);
    return c;
}

double Color::clampedRed() const { return clamp01(r_); }
double Color::clampedGreen() const { return clamp01(g_); }
double Color::clampedBlue() const { return clamp01(b_); }
double Color::clampedAlpha() const { return clamp01(a_); }

}  // namespace ui
