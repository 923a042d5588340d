#pragma once
// View controllers: a screen's view loaded on first use, the appearance
// calls, child controllers (moving between parents, with appearance
// forwarded to children whose views are shown), modal presentation with
// completion, segues through the screen map, and portrait-only answers.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace ui {

class NavigationController;
class NavigationItem;
class ScreenMap;
class StoryboardSegue;

enum class InterfaceOrientation { Portrait = 1, PortraitUpsideDown = 2, LandscapeLeft = 4, LandscapeRight = 3 };

class ViewController : public Responder, public std::enable_shared_from_this<ViewController> {
public:
    ViewController();
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;
    virtual const char* className() const { return "ViewController"; }

    // The root view, loaded (loadView, then viewDidLoad) on first use.
    View* view();
    std::shared_ptr<View> viewRef();
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(std::shared_ptr<View> view);
    // Makes a plain view of the screen's size; override to build another.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) { (void)animated; }
    virtual void viewDidAppear(bool animated) { (void)animated; }
    virtual void viewWillDisappear(bool animated) { (void)animated; }
    virtual void viewDidDisappear(bool animated) { (void)animated; }
    virtual void viewDidUnload() {}
    // Drops the view when it is not in a window (then viewDidUnload).
    virtual void didReceiveMemoryWarning();
    // A memory warning for every view controller alive, in the order they
    // were made (the application's receiveMemoryWarning sends it). Main thread.
    static void sendMemoryWarningToAll();

    // The app runs in portrait only.
    virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation o) {
        return o == InterfaceOrientation::Portrait;
    }

    const std::string& title() const { return title_; }
    virtual void setTitle(const std::string& t);
    NavigationItem* navigationItem();
    // The nearest navigation controller among this controller and its parents.
    NavigationController* navigationController() const;
    ViewController* parentViewController() const { return parent_; }

    // Children. addChildViewController calls willMoveToParentViewController
    // (taking the child from its old parent first); the caller adds the view
    // and calls didMoveToParentViewController. removeFromParentViewController
    // calls didMoveToParentViewController(nullptr); willMove... is the caller's.
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    void removeFromParentViewController();
    const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return children_; }
    virtual void willMoveToParentViewController(ViewController* parent) { (void)parent; }
    virtual void didMoveToParentViewController(ViewController* parent) { (void)parent; }
    // When true, appearance calls reach the children whose views are inside
    // this controller's view.
    virtual bool automaticallyForwardAppearanceMethods() const { return true; }

    // Appearance: will... now, did... at endAppearanceTransition. Repeated
    // calls in the same direction are ignored.
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    Appearance appearance() const { return appearance_; }
    bool isVisible() const { return appearance_ == Appearance::Appeared; }

    // Modal presentation over this controller, covering the window. Animated
    // moves take 0.3 s on the clock; completion comes after the did calls.
    void presentViewController(const std::shared_ptr<ViewController>& vc, bool animated,
                               std::function<void()> completion = {});
    void presentModalViewController(const std::shared_ptr<ViewController>& vc, bool animated) {
        presentViewController(vc, animated);
    }
    // On the presenter, or on the presented controller (it asks its presenter).
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
    void dismissModalViewControllerAnimated(bool animated) { dismissViewControllerAnimated(animated); }
    ViewController* presentedViewController() const { return presented_.get(); }
    ViewController* presentingViewController() const { return presenting_; }
    ViewController* modalViewController() const { return presented_.get(); }

    // Segues of the screen map this controller was made from.
    ScreenMap* storyboard() const { return storyboard_; }
    const std::string& screenIdentifier() const { return screenIdentifier_; }
    void performSegueWithIdentifier(const std::string& identifier, const void* sender = nullptr);
    virtual void prepareForSegue(StoryboardSegue& segue, const void* sender) {
        (void)segue;
        (void)sender;
    }

    // The responder chain: the view's superview after the controller.
    Responder* nextResponder() const override;

    // Used by the screen map.
    void setStoryboard(ScreenMap* map, const std::string& identifier) {
        storyboard_ = map;
        screenIdentifier_ = identifier;
    }

protected:
    // Forwards an appearance step to the children that should hear it.
    virtual std::vector<ViewController*> childrenForAppearanceForwarding() const;

private:
    friend class NavigationController;

    std::shared_ptr<View> view_;
    std::string title_;
    std::unique_ptr<NavigationItem> navigationItem_;
    ViewController* parent_ = nullptr;
    std::vector<std::shared_ptr<ViewController>> children_;
    Appearance appearance_ = Appearance::Disappeared;
    bool appearanceAnimated_ = false;
    std::shared_ptr<ViewController> presented_;
    ViewController* presenting_ = nullptr;
    bool transitioning_ = false;
    ScreenMap* storyboard_ = nullptr;
    std::string screenIdentifier_;
};

using ViewControllerRef = std::shared_ptr<ViewController>;

// A controller's address as a number, for notifications that name
// controllers in their user info (0 for none).
inline unsigned long long viewControllerIdentity(const ViewController* vc) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(vc));
}

// Whether a screen is moving in or out right now: a presentation, a
// dismissal, or a navigation controller's push or pop. Whoever drives the
// program from outside (a test walking the real window) waits for the moves
// to end before it taps, as a person waits for the screen to settle.
bool isScreenTransitionRunning();

// What moves on the screen now, from the code that moves it: "" when the
// screen is still, else the kinds that move, in this order and separated by
// spaces: "transition" (a screen moving in or out), "animation" (a view or
// layer animation: a fade, a slide, an alert or overlay coming or going; not
// an ambient one, see kAnimationOptionAmbient), "scroll" (a scroll view
// dragged, decelerating, bouncing back or scrolling itself) and "layout" (a
// layout asked for and not done yet). A driver outside the program (a test
// walking the real window) acts only on a still screen, so a tap lands where
// a text is and not where it was.
std::string screenMotion();
inline bool isScreenStill() { return screenMotion().empty(); }

namespace detail {
// Marks one mover (a controller presenting or dismissing, a navigation
// controller pushing or popping) as moving or still; a mover that goes away
// while moving is forgotten with it.
void setScreenTransitionRunning(const void* mover, bool running);
// The same for a scroll view whose content moves (dragged, decelerating,
// bouncing or scrolling itself).
void setScrollMoving(const void* mover, bool moving);
}  // namespace detail

}  // namespace ui
