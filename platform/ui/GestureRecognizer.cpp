#include "platform/ui/GestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Resetters.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
constexpr double kTapSlop = 10;
constexpr double kTapInterval = 0.35;
constexpr double kSwipeDistance = 50;

struct Attachment {
    std::weak_ptr<View> view;
    const View* raw;
    std::shared_ptr<GestureRecognizer> recognizer;
};

std::vector<Attachment>& registry() {
    static std::vector<Attachment> list;
    return list;
}

void purge() {
    auto& r = registry();
    r.erase(std::remove_if(r.begin(), r.end(),
                           [](const Attachment& a) {
                               if (!a.view.expired()) return false;
                               a.recognizer->setView(nullptr);
                               return true;
                           }),
            r.end());
}

// The recognizers that watch the current touch.
std::vector<std::shared_ptr<GestureRecognizer>>& watching() {
    static std::vector<std::shared_ptr<GestureRecognizer>> list;
    // A touch a case left down is not followed into the next one.
    static const bool registered =
        (foundation::registerResetter("ui.watchedTouch", foundation::ResetPhase::SharedObject, [] { list.clear(); }),
         true);
    (void)registered;
    return list;
}

std::vector<std::shared_ptr<GestureRecognizer>> recognizersFor(View* hit) {
    purge();
    std::vector<std::shared_ptr<GestureRecognizer>> found;
    for (View* v = hit; v; v = v->superview())
        for (auto& a : registry())
            if (a.raw == v && a.recognizer->isEnabled()) found.push_back(a.recognizer);
    return found;
}

void observeTouch(const Touch& touch, View* view) {
    if (touch.phase() == TouchPhase::Began) watching() = recognizersFor(view);
    auto list = watching();
    for (auto& r : list) {
        switch (touch.phase()) {
            case TouchPhase::Began:
                r->touchBegan(touch);
                break;
            case TouchPhase::Moved:
            case TouchPhase::Stationary:
                r->touchMoved(touch);
                break;
            case TouchPhase::Ended:
                r->touchEnded(touch);
                break;
            case TouchPhase::Cancelled:
                r->touchCancelled(touch);
                break;
        }
    }
    if (touch.phase() == TouchPhase::Ended || touch.phase() == TouchPhase::Cancelled) watching().clear();
}

// The window's touch observer is reset between cases; the next recognizer
// attached installs the hook again.
bool g_hookInstalled = false;
[[maybe_unused]] const bool g_hookRegistered =
    (foundation::registerResetter("ui.gestureHook", foundation::ResetPhase::SharedObject,
                                  [] { g_hookInstalled = false; }),
     true);

void installHook() {
    if (g_hookInstalled) return;
    g_hookInstalled = true;
    Window::setTouchObserver(observeTouch);
}
}  // namespace

GestureRecognizer::GestureRecognizer(Action action) {
    if (action) actions_.push_back(std::move(action));
}

void GestureRecognizer::addTarget(Action action) {
    if (action) actions_.push_back(std::move(action));
}

Point GestureRecognizer::locationInView(const View* view) const {
    return view ? view->convertPointFromView(location_, nullptr) : location_;
}

void GestureRecognizer::touchCancelled(const Touch&) {
    if (state_ == GestureRecognizerState::Began || state_ == GestureRecognizerState::Changed)
        setState(GestureRecognizerState::Cancelled);
    reset();
}

void GestureRecognizer::setState(GestureRecognizerState s) {
    state_ = s;
    if (s == GestureRecognizerState::Possible || s == GestureRecognizerState::Failed) return;
    auto keep = shared_from_this();
    auto actions = actions_;
    for (auto& a : actions) a(*this);
}

// ---------------------------------------------------------------- tap

void TapGestureRecognizer::touchBegan(const Touch& touch) {
    if (count_ > 0 && touch.timestamp() - lastEnd_ > kTapInterval) count_ = 0;
    start_ = touch.locationInView(nullptr);
    failed_ = false;
}

void TapGestureRecognizer::touchMoved(const Touch& touch) {
    Point p = touch.locationInView(nullptr);
    if (std::hypot(p.x - start_.x, p.y - start_.y) > kTapSlop) failed_ = true;
}

void TapGestureRecognizer::touchEnded(const Touch& touch) {
    touchMoved(touch);
    if (failed_) {
        count_ = 0;
        return;
    }
    ++count_;
    lastEnd_ = touch.timestamp();
    location_ = touch.locationInView(nullptr);
    if (count_ >= taps_) {
        count_ = 0;
        setState(GestureRecognizerState::Ended);
        GestureRecognizer::reset();
    }
}

void TapGestureRecognizer::reset() {
    GestureRecognizer::reset();
    count_ = 0;
    failed_ = false;
}

// ---------------------------------------------------------------- swipe

void SwipeGestureRecognizer::touchBegan(const Touch& touch) { start_ = touch.locationInView(nullptr); }

void SwipeGestureRecognizer::touchEnded(const Touch& touch) {
    Point p = touch.locationInView(nullptr);
    double dx = p.x - start_.x, dy = p.y - start_.y;
    unsigned dir = 0;
    if (std::abs(dx) >= kSwipeDistance && std::abs(dy) <= std::abs(dx) / 2)
        dir = dx > 0 ? kSwipeRight : kSwipeLeft;
    else if (std::abs(dy) >= kSwipeDistance && std::abs(dx) <= std::abs(dy) / 2)
        dir = dy > 0 ? kSwipeDown : kSwipeUp;
    if (!(dir & direction_)) return;
    location_ = start_;
    setState(GestureRecognizerState::Ended);
    reset();
}

// ---------------------------------------------------------------- pinch

void PinchGestureRecognizer::pinch(GestureRecognizerState phase, Point center, double scale, double velocity) {
    location_ = center;
    scale_ = scale;
    velocity_ = velocity;
    switch (phase) {
        case GestureRecognizerState::Began:
        case GestureRecognizerState::Changed:
            setState(state() == GestureRecognizerState::Possible ? GestureRecognizerState::Began
                                                                 : GestureRecognizerState::Changed);
            break;
        case GestureRecognizerState::Ended:
        case GestureRecognizerState::Cancelled:
            if (state() != GestureRecognizerState::Possible) setState(phase);
            reset();
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------- registry

void addGestureRecognizer(View& view, const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (!recognizer) return;
    installHook();
    purge();
    if (View* old = recognizer->view()) removeGestureRecognizer(*old, recognizer.get());
    recognizer->setView(&view);
    registry().push_back({view.weak_from_this(), &view, recognizer});
}

void removeGestureRecognizer(View& view, GestureRecognizer* recognizer) {
    auto& r = registry();
    r.erase(std::remove_if(r.begin(), r.end(),
                           [&](const Attachment& a) {
                               if (a.raw != &view || a.recognizer.get() != recognizer) return false;
                               a.recognizer->setView(nullptr);
                               return true;
                           }),
            r.end());
}

std::vector<GestureRecognizer*> gestureRecognizers(const View& view) {
    purge();
    std::vector<GestureRecognizer*> v;
    for (auto& a : registry())
        if (a.raw == &view) v.push_back(a.recognizer.get());
    return v;
}

bool sendPinch(View& window, GestureRecognizerState phase, Point center, double scale, double velocity) {
    View* hit = window.hitTest(window.convertPointFromView(center, nullptr), nullptr);
    bool taken = false;
    for (auto& r : recognizersFor(hit)) {
        if (auto* p = dynamic_cast<PinchGestureRecognizer*>(r.get())) {
            p->pinch(phase, center, scale, velocity);
            taken = true;
        }
    }
    return taken;
}

}  // namespace ui
