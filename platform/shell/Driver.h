#pragma once
// The headless driver for tests: a window of a given screen size, taps and
// drags at points or on views found by text, tag or accessibility label,
// typing, the manual clock moved forward, the tree read back, snapshots.
//
// Every action ends with the run loop's pending work done (display pass
// included), as the end of a turn would.

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/shell/Backend.h"
#include "platform/ui/Window.h"

namespace shell {

class Driver : public Backend {
public:
    // Installs a manual clock unless one is installed already.
    explicit Driver(ui::Size screen = {320, 480}, double scale = 1);
    ~Driver() override;
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    ui::Window& window() override { return *window_; }
    double scale() const override { return scale_; }
    bool isHeadless() const override { return true; }
    void present() override { settle(); }
    const std::shared_ptr<ui::Window>& windowRef() const { return window_; }
    foundation::ManualClock& clock();

    // Runs what is pending now.
    void settle();
    // Moves the clock, firing timers, animations and display-link frames
    // (60 per second) that fall due on the way.
    void advance(double seconds);

    // Finds visible views (nothing hidden on the way up); the frontmost match.
    ui::View* findByText(const std::string& text) const;
    ui::View* findByTag(int tag) const;
    ui::View* findByAccessibilityLabel(const std::string& label) const;
    std::vector<ui::View*> findAllByText(const std::string& text) const;
    // The texts of visible views, in tree order.
    std::vector<std::string> visibleTexts() const;

    // A touch down and up at a window point; returns the view that took it.
    ui::View* tap(ui::Point p);
    // At the centre of the view; nullptr when the view is missing.
    ui::View* tap(const ui::View* view);
    ui::View* tapText(const std::string& text) { return tap(findByText(text)); }
    ui::View* tapTag(int tag) { return tap(findByTag(tag)); }
    ui::View* tapAccessibilityLabel(const std::string& l) { return tap(findByAccessibilityLabel(l)); }
    // Down at from, `steps` moves to `to`, up at to; each step takes stepSeconds.
    ui::View* drag(ui::Point from, ui::Point to, int steps = 10, double stepSeconds = 0.016);
    void type(const std::string& text);
    void backspace();
    // A memory warning, as the system sends one: the application, its
    // delegate and every view controller alive get it.
    void sendMemoryWarning();

    std::string tree() const;
    ui::ImageRef snapshot() override;
    bool saveSnapshot(const std::string& path);

private:
    std::unique_ptr<foundation::ManualClockScope> ownClock_;
    std::shared_ptr<ui::Window> window_;
    double scale_;
};

}  // namespace shell
