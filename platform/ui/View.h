#pragma once
// The view tree: geometry (backed by a layer), looks, subviews, autoresizing,
// layout and display requests, touches through the responder chain, hit
// testing and view animations on the foundation clock.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Animation.h"
#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Layer.h"

namespace ui {

class View;
class Window;

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

class Touch {
public:
    Touch(std::shared_ptr<View> view, Point windowLocation, double timestamp, int tapCount = 1);
    View* view() const { return view_.get(); }
    Window* window() const;
    TouchPhase phase() const { return phase_; }
    int tapCount() const { return tapCount_; }
    double timestamp() const { return timestamp_; }
    // The location in the view's bounds space (the window's when view is null).
    Point locationInView(const View* view) const;
    Point previousLocationInView(const View* view) const;

    // Used by the window while the touch moves.
    void update(TouchPhase phase, Point windowLocation, double timestamp);

private:
    std::shared_ptr<View> view_;
    Point location_, previous_;
    double timestamp_;
    int tapCount_;
    TouchPhase phase_ = TouchPhase::Began;
};

using TouchSet = std::vector<std::shared_ptr<Touch>>;

struct Event {
    double timestamp = 0;
    TouchSet allTouches;
};

class Responder {
public:
    virtual ~Responder();
    virtual Responder* nextResponder() const { return nullptr; }

    // The default of each touch method passes the touches to the next responder.
    virtual void touchesBegan(const TouchSet& touches, const Event& event);
    virtual void touchesMoved(const TouchSet& touches, const Event& event);
    virtual void touchesEnded(const TouchSet& touches, const Event& event);
    virtual void touchesCancelled(const TouchSet& touches, const Event& event);

    // Keyboard focus: typed text goes to the first responder.
    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    static Responder* firstResponder();
    virtual void insertText(const std::string& text) { (void)text; }
    virtual void deleteBackward() {}
};

enum AutoresizingMask : unsigned {
    kAutoresizingNone = 0,
    kAutoresizingFlexibleLeftMargin = 1,
    kAutoresizingFlexibleWidth = 2,
    kAutoresizingFlexibleRightMargin = 4,
    kAutoresizingFlexibleTopMargin = 8,
    kAutoresizingFlexibleHeight = 16,
    kAutoresizingFlexibleBottomMargin = 32,
};

enum class ContentMode { ScaleToFill, ScaleAspectFit, ScaleAspectFill, Redraw, Center, Top, Bottom, Left, Right };

enum class AnimationCurve { EaseInOut = 0, EaseIn = 1, EaseOut = 2, Linear = 3 };

enum AnimationOptions : unsigned {
    kAnimationOptionLayoutSubviews = 1,
    kAnimationOptionAllowUserInteraction = 2,
    kAnimationOptionBeginFromCurrentState = 4,
    // Motion that goes on while the screen is otherwise still and moves
    // nothing a person taps: a ticker sliding its text inside its label, a
    // slow pan over a picture. It does not count as the screen moving
    // (screenMotion() in ViewController.h).
    kAnimationOptionAmbient = 8,
    kAnimationOptionCurveEaseInOut = 0,
    kAnimationOptionCurveEaseIn = 0x10000,
    kAnimationOptionCurveEaseOut = 0x20000,
    kAnimationOptionCurveLinear = 0x30000,
};

TimingFunction timingFunctionForCurve(AnimationCurve curve);

class View : public Responder, public LayerDelegate, public std::enable_shared_from_this<View> {
public:
    explicit View(const Rect& frame = {});
    ~View() override;
    View(const View&) = delete;
    View& operator=(const View&) = delete;
    static std::shared_ptr<View> create(const Rect& frame = {}) { return std::make_shared<View>(frame); }
    virtual const char* className() const { return "View"; }

    Layer& layer() const { return *layer_; }
    const std::shared_ptr<Layer>& layerRef() const { return layer_; }

    // Geometry.
    Rect frame() const;
    virtual void setFrame(const Rect& frame);
    Rect bounds() const { return layer_->bounds(); }
    virtual void setBounds(const Rect& bounds);
    Point center() const { return layer_->position(); }
    void setCenter(Point c) { layer_->setPosition(c); }
    AffineTransform transform() const { return layer_->affineTransform(); }
    void setTransform(const AffineTransform& t) { layer_->setAffineTransform(t); }
    double contentScaleFactor() const { return layer_->contentsScale(); }
    void setContentScaleFactor(double s);

    // Looks.
    double alpha() const { return layer_->opacity(); }
    void setAlpha(double a) { layer_->setOpacity(a); }
    bool isHidden() const { return layer_->isHidden(); }
    void setHidden(bool h) { layer_->setHidden(h); }
    bool isOpaque() const { return layer_->isOpaque(); }
    void setOpaque(bool o) { layer_->setOpaque(o); }
    Color backgroundColor() const { return layer_->backgroundColor(); }
    void setBackgroundColor(const Color& c) { layer_->setBackgroundColor(c); }
    bool clipsToBounds() const { return layer_->masksToBounds(); }
    void setClipsToBounds(bool c) { layer_->setMasksToBounds(c); }
    ContentMode contentMode() const { return contentMode_; }
    virtual void setContentMode(ContentMode m) { contentMode_ = m; }

    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    // This view or the first descendant (depth first, in subview order) with the tag.
    View* viewWithTag(int tag);
    bool isUserInteractionEnabled() const { return userInteraction_; }
    void setUserInteractionEnabled(bool e) { userInteraction_ = e; }
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(const std::string& l) { accessibilityLabel_ = l; }
    // The text the view shows (labels, buttons), for finding views by text.
    virtual std::string displayedText() const { return {}; }

    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned m) { autoresizingMask_ = m; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool a) { autoresizesSubviews_ = a; }

    // Tree.
    View* superview() const { return superview_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubview(const std::shared_ptr<View>& view, size_t index);
    void insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling);
    void insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const View* view);
    void sendSubviewToBack(const View* view);
    bool isDescendantOfView(const View* view) const;
    virtual Window* window() const;

    virtual void willMoveToSuperview(View* newSuperview) { (void)newSuperview; }
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(Window* newWindow) { (void)newWindow; }
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(View* subview) { (void)subview; }
    virtual void willRemoveSubview(View* subview) { (void)subview; }

    // Layout: setNeedsLayout asks for layoutSubviews in the next display pass;
    // layoutIfNeeded runs it now for this view and its subviews.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    virtual Size sizeThatFits(Size size) const {
        (void)size;
        return bounds().size;
    }
    void sizeToFit();

    // Drawing: drawRect runs in the next display pass after setNeedsDisplay,
    // into the view's backing picture; the default draws nothing.
    void setNeedsDisplay();
    virtual void drawRect(const Rect& rect);

    // Coordinates (model values); a null view means the window.
    Point convertPointToView(Point p, const View* view) const;
    Point convertPointFromView(Point p, const View* view) const;
    Rect convertRectToView(const Rect& r, const View* view) const;
    Rect convertRectFromView(const Rect& r, const View* view) const;

    // Hit testing: the frontmost descendant containing the point, skipping
    // hidden views, views with interaction off, views with alpha below 0.01
    // and views animating without the allow-interaction option.
    virtual View* hitTest(Point p, const Event* event);
    virtual bool pointInside(Point p, const Event* event) const;

    // The responder chain: a controller's root view passes to its controller,
    // other views to their superview.
    Responder* nextResponder() const override;
    void setViewController(Responder* controller) { controller_ = controller; }
    Responder* viewController() const { return controller_; }

    // The view and its subviews as a picture at scale (0: the screen's).
    ImageRef snapshot(double scale = 0) const;
    // One line per view, indented by depth: class, frame, tag, text.
    std::string describeTree() const;

    // View animations, old form.
    static void beginAnimations(const std::string& animationID = "", void* context = nullptr);
    static void setAnimationDuration(double seconds);
    static void setAnimationDelay(double seconds);
    static void setAnimationCurve(AnimationCurve curve);
    static void setAnimationBeginsFromCurrentState(bool fromCurrent);
    static void setAnimationDidStop(
        std::function<void(const std::string& animationID, bool finished, void* context)> fn);
    static void commitAnimations();
    // Block form. The changes made inside animations set the model values at
    // once; the screen moves from the old (or current, with the option)
    // values over duration after delay. completion(finished) comes at
    // delay + duration, with false when an animation was replaced or removed;
    // a duration of 0 applies at once and completes on the next turn.
    static void animate(double duration, const std::function<void()>& animations,
                        std::function<void(bool)> completion = {});
    static void animate(double duration, double delay, unsigned options, const std::function<void()>& animations,
                        std::function<void(bool)> completion = {});
    static bool isInAnimationBlock();

    // LayerDelegate.
    void drawLayer(Layer& layer, GraphicsContext& ctx) override;
    std::shared_ptr<Animation> actionForLayer(Layer& layer, const std::string& key,
                                              const AnimatableValue& oldModel) override;

protected:
    // Lays a subview out again after this view's size went from oldSize.
    void resizeSubviews(Size oldSize);
    void autoresize(Size oldSuperSize, Size newSuperSize);

private:
    friend class Window;
    void setSuperview(View* parent);
    void placeSublayer(size_t index);
    void notifyWindowChange(Window* oldWindow, Window* newWindow);
    void boundsSizeChanged(Size oldSize);

    std::shared_ptr<Layer> layer_;
    View* superview_ = nullptr;
    std::vector<std::shared_ptr<View>> subviews_;
    Responder* controller_ = nullptr;
    int tag_ = 0;
    bool userInteraction_ = true;
    std::string accessibilityLabel_;
    unsigned autoresizingMask_ = kAutoresizingNone;
    bool autoresizesSubviews_ = true;
    bool needsLayout_ = false;
    ContentMode contentMode_ = ContentMode::ScaleToFill;
};

// The display pass: lays out the views that asked for it, then redraws each
// view (and layer) that asked for it, once. It runs as a task at the end of
// the current run-loop turn of the main loop.
void scheduleDisplayPass();
void runDisplayPass();
int displayPassCount();
// Called after every display pass (the window shell repaints).
void setDisplayPassObserver(std::function<void()> observer);
// A view of a window has asked for a layout that has not run yet.
bool isLayoutPending();

}  // namespace ui
