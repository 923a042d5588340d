#pragma once
// The main screen: its size in points and its scale (pixels per point).
// The 320x480-point screen has scale 1 or 2; the tall screen is 320x568
// points at scale 2 (640x1136 pixels).

#include "platform/ui/Geometry.h"

namespace ui {

class Screen {
public:
    static Screen& main();
    Rect bounds() const { return {0, 0, size_.width, size_.height}; }
    double scale() const { return scale_; }
    void setSize(Size s) { size_ = s; }
    void setScale(double s) { scale_ = s > 0 ? s : 1; }
    // Back to 320x480 points at scale 1.
    void reset() {
        size_ = {320, 480};
        scale_ = 1;
    }

private:
    Size size_{320, 480};
    double scale_ = 1;
};

}  // namespace ui
