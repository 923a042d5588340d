#pragma once
// Gesture recognizers: tap, swipe and pinch. A recognizer added to a view
// watches the touches the window delivers to that view or its subviews and
// calls its actions when it recognizes its gesture. Pinches come from the
// driver (the shell's wheel or a test) through sendPinch.

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/View.h"

namespace ui {

enum class GestureRecognizerState { Possible = 0, Began, Changed, Ended, Cancelled, Failed };

class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
public:
    using Action = std::function<void(GestureRecognizer& recognizer)>;
    explicit GestureRecognizer(Action action = {});
    virtual ~GestureRecognizer() = default;

    void addTarget(Action action);
    GestureRecognizerState state() const { return state_; }
    View* view() const { return view_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }
    bool cancelsTouchesInView() const { return cancelsTouches_; }
    void setCancelsTouchesInView(bool c) { cancelsTouches_ = c; }
    // Where the gesture is, in the view's bounds space (the window's for null).
    Point locationInView(const View* view) const;

    // Touches the window delivered (used by the window hook).
    virtual void touchBegan(const Touch& touch) { (void)touch; }
    virtual void touchMoved(const Touch& touch) { (void)touch; }
    virtual void touchEnded(const Touch& touch) { (void)touch; }
    virtual void touchCancelled(const Touch& touch);
    // Back to possible after a gesture ended, failed or was cancelled.
    virtual void reset() { state_ = GestureRecognizerState::Possible; }

    void setView(View* v) { view_ = v; }

protected:
    // Sets the state and calls the actions for began, changed, ended and cancelled.
    void setState(GestureRecognizerState s);
    Point location_;  // window points

private:
    std::vector<Action> actions_;
    GestureRecognizerState state_ = GestureRecognizerState::Possible;
    View* view_ = nullptr;
    bool enabled_ = true, cancelsTouches_ = true;
};

// Recognized when the finger lifts close to where it went down, as many
// times as required, each tap within 0.35 s of the last.
class TapGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;
    int numberOfTapsRequired() const { return taps_; }
    void setNumberOfTapsRequired(int n) { taps_ = n < 1 ? 1 : n; }
    void touchBegan(const Touch& touch) override;
    void touchMoved(const Touch& touch) override;
    void touchEnded(const Touch& touch) override;
    void reset() override;

private:
    int taps_ = 1, count_ = 0;
    double lastEnd_ = -1;
    Point start_;
    bool failed_ = false;
};

enum SwipeDirection : unsigned { kSwipeRight = 1, kSwipeLeft = 2, kSwipeUp = 4, kSwipeDown = 8 };

// Recognized when the finger travels at least 50 points in an allowed
// direction, mostly straight.
class SwipeGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;
    unsigned direction() const { return direction_; }
    void setDirection(unsigned d) { direction_ = d; }
    void touchBegan(const Touch& touch) override;
    void touchEnded(const Touch& touch) override;

private:
    unsigned direction_ = kSwipeRight;
    Point start_;
};

class PinchGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;
    // The scale since the pinch began (the handler may set it back to 1).
    double scale() const { return scale_; }
    void setScale(double s) { scale_ = s; }
    double velocity() const { return velocity_; }
    // A pinch step from the driver.
    void pinch(GestureRecognizerState phase, Point windowCenter, double scale, double velocity);

private:
    double scale_ = 1, velocity_ = 0;
};

// Attaches a recognizer to the view (the view does not own it: the
// registry keeps it while the view lives).
void addGestureRecognizer(View& view, const std::shared_ptr<GestureRecognizer>& recognizer);
void removeGestureRecognizer(View& view, GestureRecognizer* recognizer);
std::vector<GestureRecognizer*> gestureRecognizers(const View& view);

// A pinch at a window point: goes to the pinch recognizers of the view hit
// there and its superviews. Returns whether one took it.
bool sendPinch(View& window, GestureRecognizerState phase, Point windowCenter, double scale, double velocity = 0);

}  // namespace ui
