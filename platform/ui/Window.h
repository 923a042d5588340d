#pragma once
// The window: the root of a view tree on the screen. It turns touches at
// window points into touch events for the view found by hit testing and
// renders its tree to a picture.

#include <functional>
#include <memory>

#include "platform/ui/View.h"

namespace ui {

class Window : public View {
public:
    explicit Window(const Rect& frame = {});
    ~Window() override;
    static std::shared_ptr<Window> create(const Rect& frame) { return std::make_shared<Window>(frame); }
    const char* className() const override { return "Window"; }

    Window* window() const override { return const_cast<Window*>(this); }
    void makeKeyAndVisible();
    bool isKeyWindow() const { return keyWindow() == this; }
    static Window* keyWindow();

    // One finger: Began hit-tests and keeps the view until Ended/Cancelled.
    // Returns the view that received the touch (nullptr when none).
    View* sendTouch(TouchPhase phase, Point windowPoint, double timestamp);
    bool isTouching() const { return touch_ != nullptr; }

    // Sees every touch the window delivers, just before the touched view
    // does (gesture recognizers watch touches through it).
    static void setTouchObserver(std::function<void(const Touch& touch, View* view)> observer);

    // Typed text and backspace go to the first responder.
    void sendText(const std::string& text);
    void sendBackspace();

    // The whole tree, at the clock's now, as a picture of the window's size.
    ImageRef render(double scale = 0);

private:
    std::shared_ptr<Touch> touch_;
};

}  // namespace ui
