#include "platform/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
constexpr double kScrollAnimationDuration = 0.3;
constexpr double kFrameInterval = 1.0 / 60;
double now() { return foundation::clock().monotonic(); }
}  // namespace

struct ScrollView::Motion {
    foundation::TimerRef timer;
    Point from, to;
    double start = 0;
    bool endDeceleration = false;
};

ScrollView::ScrollView(const Rect& frame) : View(frame) { setClipsToBounds(true); }

ScrollView::~ScrollView() {
    cancelAnimation();
    detail::setScrollMoving(this, false);
}

void ScrollView::updateMoving() { detail::setScrollMoving(this, motion_ || dragging_); }

Point ScrollView::minimumContentOffset() const { return {-contentInset_.left, -contentInset_.top}; }

Point ScrollView::maximumContentOffset() const {
    Size b = bounds().size;
    Point mn = minimumContentOffset();
    return {std::max(mn.x, contentSize_.width + contentInset_.right - b.width),
            std::max(mn.y, contentSize_.height + contentInset_.bottom - b.height)};
}

Point ScrollView::clamp(Point p) const {
    Point mn = minimumContentOffset(), mx = maximumContentOffset();
    return {std::clamp(p.x, mn.x, mx.x), std::clamp(p.y, mn.y, mx.y)};
}

bool ScrollView::canScrollH() const {
    return bounceH_ || contentSize_.width + contentInset_.left + contentInset_.right > bounds().width();
}
bool ScrollView::canScrollV() const {
    return bounceV_ || contentSize_.height + contentInset_.top + contentInset_.bottom > bounds().height();
}

void ScrollView::setContentOffset(Point p) {
    Rect b = bounds();
    if (b.origin == p) return;
    b.origin = p;
    setBounds(b);
    contentOffsetDidChange();
    if (delegate_) delegate_->scrollViewDidScroll(this);
}

void ScrollView::setContentOffset(Point p, bool animated) {
    cancelAnimation();
    if (!animated) {
        setContentOffset(p);
        return;
    }
    moveAnimated(p, false);
}

void ScrollView::cancelAnimation() {
    if (motion_) {
        if (motion_->timer) motion_->timer->invalidate();
        motion_.reset();
    }
    updateMoving();
}

void ScrollView::moveAnimated(Point to, bool endDeceleration) {
    cancelAnimation();
    auto m = std::make_shared<Motion>();
    m->from = contentOffset();
    m->to = to;
    m->start = now();
    m->endDeceleration = endDeceleration;
    motion_ = m;
    updateMoving();
    if (endDeceleration) decelerating_ = true;
    std::weak_ptr<View> weak = shared_from_this();
    std::weak_ptr<Motion> weakMotion = m;
    m->timer = foundation::RunLoop::main().addTimer(
        kFrameInterval, kFrameInterval,
        [weak, weakMotion](foundation::Timer& timer) {
            auto self = std::static_pointer_cast<ScrollView>(weak.lock());
            auto m = weakMotion.lock();
            if (!self || !m || self->motion_ != m) {
                timer.invalidate();
                return;
            }
            double t = std::min(1.0, (now() - m->start) / kScrollAnimationDuration);
            double e = 1 - (1 - t) * (1 - t);  // ease out
            self->setContentOffset({m->from.x + (m->to.x - m->from.x) * e, m->from.y + (m->to.y - m->from.y) * e});
            if (t >= 1) {
                timer.invalidate();
                self->motion_.reset();
                self->updateMoving();
                if (m->endDeceleration) {
                    self->decelerating_ = false;
                    if (self->delegate_) self->delegate_->scrollViewDidEndDecelerating(self.get());
                } else if (self->delegate_) {
                    self->delegate_->scrollViewDidEndScrollingAnimation(self.get());
                }
            }
        },
        foundation::kCommonModes);
}

void ScrollView::scrollRectToVisible(const Rect& rect, bool animated) {
    Point o = contentOffset();
    Size b = bounds().size;
    if (rect.minX() < o.x)
        o.x = rect.minX();
    else if (rect.maxX() > o.x + b.width)
        o.x = rect.maxX() - b.width;
    if (rect.minY() < o.y)
        o.y = rect.minY();
    else if (rect.maxY() > o.y + b.height)
        o.y = rect.maxY() - b.height;
    setContentOffset(clamp(o), animated);
}

Point ScrollView::settleTarget(Point p) const {
    Point target = clamp(p);
    if (paging_) {
        Size b = bounds().size;
        if (b.width > 0) target.x = std::round(target.x / b.width) * b.width;
        if (b.height > 0) target.y = std::round(target.y / b.height) * b.height;
        target = clamp(target);
    }
    return target;
}

void ScrollView::touchesBegan(const TouchSet& touches, const Event&) {
    if (!scrollEnabled_ || touches.empty()) return;
    cancelAnimation();
    decelerating_ = false;
    tracking_ = true;
    updateMoving();
    dragStartOffset_ = contentOffset();
    dragStartTouch_ = touches.front()->locationInView(nullptr);
}

void ScrollView::touchesMoved(const TouchSet& touches, const Event&) {
    if (!tracking_ || touches.empty()) return;
    Point p = touches.front()->locationInView(nullptr);
    double dx = canScrollH() ? p.x - dragStartTouch_.x : 0;
    double dy = canScrollV() ? p.y - dragStartTouch_.y : 0;
    if (!dragging_) {
        if (std::hypot(dx, dy) < 1) return;
        dragging_ = true;
        updateMoving();
        if (delegate_) delegate_->scrollViewWillBeginDragging(this);
    }
    Point o{dragStartOffset_.x - dx, dragStartOffset_.y - dy};
    Point c = clamp(o);
    // Past the ends the content follows at half the finger's distance when
    // bouncing, and not at all otherwise.
    if (bounces_) {
        o.x = c.x + (o.x - c.x) / 2;
        o.y = c.y + (o.y - c.y) / 2;
    } else {
        o = c;
    }
    setContentOffset(o);
}

void ScrollView::touchesEnded(const TouchSet&, const Event&) {
    tracking_ = false;
    const bool dragged = dragging_;
    dragging_ = false;
    updateMoving();
    if (!dragged) return;
    Point target = settleTarget(contentOffset());
    bool decelerate = !(target == contentOffset());
    if (delegate_) {
        delegate_->scrollViewDidEndDragging(this, decelerate);
        // The delegate may have changed the insets (a refresh header keeps
        // the content open): settle within the new ones.
        target = settleTarget(contentOffset());
        decelerate = !(target == contentOffset());
    }
    if (decelerate) {
        if (delegate_) delegate_->scrollViewWillBeginDecelerating(this);
        moveAnimated(target, true);
    }
}

void ScrollView::touchesCancelled(const TouchSet& touches, const Event& event) { touchesEnded(touches, event); }

void ScrollView::drag(Point from, Point to, int steps) {
    Window* w = window();
    if (!w || steps < 1) return;
    double t = now();
    w->sendTouch(TouchPhase::Began, from, t);
    for (int i = 1; i <= steps; ++i) {
        double f = double(i) / steps;
        w->sendTouch(TouchPhase::Moved, {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f}, t);
    }
    w->sendTouch(TouchPhase::Ended, to, t);
}

}  // namespace ui
