#pragma once
// The seam between the app and what shows it: the SDL window (Shell) and the
// headless test driver (Driver) both give a window tree at a screen scale,
// show it, draw it to pixels and drive the frame clock that display links
// hang on. Code that only needs "somewhere to show views and a frame source"
// (the engine's GL view, sample programs) takes a Backend.

#include "platform/foundation/DisplayLink.h"
#include "platform/ui/Accelerometer.h"
#include "platform/ui/Image.h"
#include "platform/ui/Window.h"

namespace shell {

class Backend {
public:
    virtual ~Backend() = default;

    virtual ui::Window& window() = 0;
    // Pixels per point of the screen it shows.
    virtual double scale() const = 0;
    virtual bool isHeadless() const = 0;
    // Shows the tree now (a window repaints; the headless driver only settles).
    virtual void present() = 0;
    // The tree drawn to pixels at the screen's scale.
    virtual ui::ImageRef snapshot() = 0;

    // The frame source: the window's refreshes tick it; headless, the 60 Hz
    // run-loop timer on the injectable clock does.
    foundation::FrameClock& frameClock() { return foundation::FrameClock::main(); }

    // What the accelerometer reads from now on (in g), where no sensor feeds it.
    void injectAcceleration(double x, double y, double z) { ui::Accelerometer::shared().inject(x, y, z); }
};

}  // namespace shell
