#pragma once
// Shared pieces of the ui tests: a fixture that puts the screen, the text
// measurer and the clock back, and pixel checks.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Text.h"

namespace uitest {

class UiFixture : public ::testing::Test {
protected:
    void SetUp() override { clock_ = std::make_unique<foundation::ManualClockScope>(); }
    void TearDown() override {
        foundation::RunLoop::main().drain();
        clock_.reset();
    }
    foundation::ManualClock& clock() { return **clock_; }
    // Moves the clock and runs what falls due (timers, posted tasks).
    void advance(double seconds) { clock().advance(seconds); }
    void turn() { foundation::RunLoop::main().drain(); }

    std::unique_ptr<foundation::ManualClockScope> clock_;
};

inline ::testing::AssertionResult pixelNear(const ui::Image& img, int x, int y, ui::Rgba want, int tol = 2) {
    ui::Rgba got = img.pixel(x, y);
    auto close = [tol](int a, int b) { return std::abs(a - b) <= tol; };
    if (close(got.r, want.r) && close(got.g, want.g) && close(got.b, want.b) && close(got.a, want.a))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << int(got.r) << ", " << int(got.g)
                                         << ", " << int(got.b) << ", " << int(got.a) << "), want (" << int(want.r)
                                         << ", " << int(want.g) << ", " << int(want.b) << ", " << int(want.a)
                                         << ") within " << tol;
}

}  // namespace uitest
