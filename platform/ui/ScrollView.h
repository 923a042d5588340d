#pragma once
// A view whose bounds origin is the content offset: content larger than the
// view is moved by dragging or from code, with paging, bouncing at the ends
// and delegate calls for scrolling, dragging and deceleration.

#include <memory>

#include "platform/ui/View.h"

namespace ui {

class ScrollView;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(ScrollView* scrollView) { (void)scrollView; }
    virtual void scrollViewWillBeginDragging(ScrollView* scrollView) { (void)scrollView; }
    virtual void scrollViewDidEndDragging(ScrollView* scrollView, bool willDecelerate) {
        (void)scrollView;
        (void)willDecelerate;
    }
    virtual void scrollViewWillBeginDecelerating(ScrollView* scrollView) { (void)scrollView; }
    virtual void scrollViewDidEndDecelerating(ScrollView* scrollView) { (void)scrollView; }
    virtual void scrollViewDidEndScrollingAnimation(ScrollView* scrollView) { (void)scrollView; }
};

class ScrollView : public View {
public:
    explicit ScrollView(const Rect& frame = {});
    ~ScrollView() override;
    const char* className() const override { return "ScrollView"; }

    Point contentOffset() const { return bounds().origin; }
    void setContentOffset(Point p);
    // Animated: moves over 0.3 s on the clock, calling scrollViewDidScroll as it
    // goes and scrollViewDidEndScrollingAnimation at the end.
    void setContentOffset(Point p, bool animated);
    Size contentSize() const { return contentSize_; }
    void setContentSize(Size s) { contentSize_ = s; }
    EdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(const EdgeInsets& i) { contentInset_ = i; }
    EdgeInsets scrollIndicatorInsets() const { return indicatorInsets_; }
    void setScrollIndicatorInsets(const EdgeInsets& i) { indicatorInsets_ = i; }

    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool e) { scrollEnabled_ = e; }
    bool isPagingEnabled() const { return paging_; }
    void setPagingEnabled(bool p) { paging_ = p; }
    bool bounces() const { return bounces_; }
    void setBounces(bool b) { bounces_ = b; }
    bool alwaysBounceVertical() const { return bounceV_; }
    void setAlwaysBounceVertical(bool b) { bounceV_ = b; }
    bool alwaysBounceHorizontal() const { return bounceH_; }
    void setAlwaysBounceHorizontal(bool b) { bounceH_ = b; }
    bool showsHorizontalScrollIndicator() const { return showsH_; }
    void setShowsHorizontalScrollIndicator(bool s) { showsH_ = s; }
    bool showsVerticalScrollIndicator() const { return showsV_; }
    void setShowsVerticalScrollIndicator(bool s) { showsV_ = s; }
    bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool s) { scrollsToTop_ = s; }
    double minimumZoomScale() const { return minZoom_; }
    void setMinimumZoomScale(double z) { minZoom_ = z; }
    double maximumZoomScale() const { return maxZoom_; }
    void setMaximumZoomScale(double z) { maxZoom_ = z; }
    bool delaysContentTouches() const { return delaysTouches_; }
    void setDelaysContentTouches(bool d) { delaysTouches_ = d; }

    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }
    bool isTracking() const { return tracking_; }

    ScrollViewDelegate* delegate() const { return delegate_; }
    void setDelegate(ScrollViewDelegate* d) { delegate_ = d; }

    // The smallest and largest offsets (content inset included).
    Point minimumContentOffset() const;
    Point maximumContentOffset() const;
    void scrollRectToVisible(const Rect& rect, bool animated);
    void flashScrollIndicators() {}

    // A drag by the user from one window point to another in steps, as the
    // window's touches would make it (used by tests and the window shell).
    void drag(Point fromWindow, Point toWindow, int steps = 4);

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

protected:
    // Called whenever the offset changes, before the delegate hears of it.
    virtual void contentOffsetDidChange() {}

private:
    Point clamp(Point p) const;
    Point settleTarget(Point p) const;
    void moveAnimated(Point to, bool endDeceleration);
    void cancelAnimation();
    // Tells screenMotion() whether the content moves (dragged or animated).
    void updateMoving();
    bool canScrollH() const;
    bool canScrollV() const;

    Size contentSize_;
    EdgeInsets contentInset_, indicatorInsets_;
    bool scrollEnabled_ = true, paging_ = false, bounces_ = true, bounceV_ = false, bounceH_ = false;
    bool showsH_ = true, showsV_ = true, scrollsToTop_ = true, delaysTouches_ = true;
    double minZoom_ = 1, maxZoom_ = 1;
    bool dragging_ = false, decelerating_ = false, tracking_ = false;
    Point dragStartOffset_, dragStartTouch_;
    ScrollViewDelegate* delegate_ = nullptr;
    struct Motion;
    std::shared_ptr<Motion> motion_;
};

}  // namespace ui
