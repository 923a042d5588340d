#include "platform/ui/Window.h"

#include "platform/foundation/Assert.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Resetters.h"
#include "platform/ui/Render.h"
#include "platform/ui/Screen.h"

namespace ui {

namespace {
Window* g_keyWindow = nullptr;
std::function<void(const Touch&, View*)>& touchObserver() {
    static std::function<void(const Touch&, View*)> observer;
    return observer;
}
// The touch observer goes with the case that set it (the gesture recognizers
// put theirs back when a recognizer is next attached).
[[maybe_unused]] const bool g_touchObserverRegistered =
    (foundation::registerResetter("ui.touchObserver", foundation::ResetPhase::SharedObject,
                                  [] { touchObserver() = nullptr; }),
     true);
}  // namespace

void Window::setTouchObserver(std::function<void(const Touch&, View*)> observer) {
    touchObserver() = std::move(observer);
}

Window::Window(const Rect& frame) : View(frame) {}

Window::~Window() {
    if (g_keyWindow == this) g_keyWindow = nullptr;
}

void Window::makeKeyAndVisible() {
    QUENTA_ASSERT_MAIN_THREAD();
    g_keyWindow = this;
    setHidden(false);
    setNeedsLayout();
}

Window* Window::keyWindow() { return g_keyWindow; }

View* Window::sendTouch(TouchPhase phase, Point p, double timestamp) {
    Event event;
    event.timestamp = timestamp;
    if (phase == TouchPhase::Began) {
        if (touch_) {
            // A new finger while one is down: end the old one as cancelled.
            sendTouch(TouchPhase::Cancelled, p, timestamp);
        }
        View* hit = hitTest(convertPointFromView(p, nullptr), &event);
        if (!hit) return nullptr;
        touch_ = std::make_shared<Touch>(hit->shared_from_this(), p, timestamp);
        event.allTouches = {touch_};
        if (touchObserver()) touchObserver()(*touch_, hit);
        hit->touchesBegan(event.allTouches, event);
        return hit;
    }
    if (!touch_) return nullptr;
    auto touch = touch_;
    touch->update(phase, p, timestamp);
    event.allTouches = {touch};
    View* target = touch->view();
    if (touchObserver()) touchObserver()(*touch, target);
    switch (phase) {
        case TouchPhase::Moved:
        case TouchPhase::Stationary:
            target->touchesMoved(event.allTouches, event);
            break;
        case TouchPhase::Ended:
            touch_.reset();
            target->touchesEnded(event.allTouches, event);
            break;
        case TouchPhase::Cancelled:
            touch_.reset();
            target->touchesCancelled(event.allTouches, event);
            break;
        case TouchPhase::Began:
            break;
    }
    return target;
}

void Window::sendText(const std::string& text) {
    if (auto* r = Responder::firstResponder()) r->insertText(text);
}

void Window::sendBackspace() {
    if (auto* r = Responder::firstResponder()) r->deleteBackward();
}

ImageRef Window::render(double scale) {
    if (scale <= 0) scale = Screen::main().scale();
    layoutIfNeeded();
    return renderLayerToImage(layer(), scale, foundation::clock().monotonic());
}

}  // namespace ui
