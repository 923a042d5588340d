#include "platform/ui/ViewController.h"

#include <algorithm>
#include <set>

#include "platform/foundation/Assert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Resetters.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
constexpr double kModalDuration = 0.3;
}

namespace {

std::set<const void*>& movingScreens() {
    static std::set<const void*> movers;
    // A push, pop or presentation a case left half done does not hold the
    // next case's screens still.
    static const bool registered =
        (foundation::registerResetter("ui.screenTransitions", foundation::ResetPhase::SharedObject,
                                      [] { movers.clear(); }),
         true);
    (void)registered;
    return movers;
}

}  // namespace

bool isScreenTransitionRunning() { return !movingScreens().empty(); }

void detail::setScreenTransitionRunning(const void* mover, bool running) {
    if (running)
        movingScreens().insert(mover);
    else
        movingScreens().erase(mover);
}

namespace {

std::set<const void*>& movingScrollViews() {
    static std::set<const void*> movers;
    return movers;
}

// Every view controller alive, in the order they were made. Main thread.
std::vector<ViewController*>& liveControllers() {
    static std::vector<ViewController*> live;
    return live;
}

}  // namespace

void detail::setScrollMoving(const void* mover, bool moving) {
    if (moving)
        movingScrollViews().insert(mover);
    else
        movingScrollViews().erase(mover);
}

std::string screenMotion() {
    std::string kinds;
    auto add = [&](const char* kind) { kinds += kinds.empty() ? kind : std::string(" ") + kind; };
    if (isScreenTransitionRunning()) add("transition");
    if (movingAnimationCount() > 0) add("animation");
    if (!movingScrollViews().empty()) add("scroll");
    if (isLayoutPending()) add("layout");
    return kinds;
}

ViewController::ViewController() { liveControllers().push_back(this); }

ViewController::~ViewController() {
    auto& live = liveControllers();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    detail::setScreenTransitionRunning(this, false);
    if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
    for (auto& c : children_) c->parent_ = nullptr;
    if (presented_) presented_->presenting_ = nullptr;
}

void ViewController::loadView() {
    auto v = std::make_shared<View>(Screen::main().bounds());
    v->setBackgroundColor(Color::whiteColor());
    v->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
    view_ = v;
}

View* ViewController::view() { return viewRef().get(); }

std::shared_ptr<View> ViewController::viewRef() {
    if (!view_) {
        loadView();
        if (!view_) loadView();  // an override that made nothing gets the plain view
        if (!view_) ViewController::loadView();
        view_->setViewController(this);
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
    if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
    view_ = std::move(view);
    if (view_) view_->setViewController(this);
}

void ViewController::sendMemoryWarningToAll() {
    QUENTA_ASSERT_MAIN_THREAD();
    // A controller let go by another one's handling is skipped; the one
    // handling it stays alive until it is done.
    const std::vector<ViewController*> each = liveControllers();
    for (ViewController* c : each) {
        const auto& live = liveControllers();
        if (std::find(live.begin(), live.end(), c) == live.end()) continue;
        std::shared_ptr<ViewController> keep = c->weak_from_this().lock();
        c->didReceiveMemoryWarning();
    }
}

void ViewController::didReceiveMemoryWarning() {
    if (view_ && !view_->window()) {
        view_->setViewController(nullptr);
        view_.reset();
        viewDidUnload();
    }
}

void ViewController::setTitle(const std::string& t) {
    title_ = t;
    navigationItem()->setTitle(t);
}

NavigationItem* ViewController::navigationItem() {
    if (!navigationItem_) navigationItem_ = std::make_unique<NavigationItem>(title_);
    return navigationItem_.get();
}

NavigationController* ViewController::navigationController() const {
    for (const ViewController* c = this; c; c = c->parent_)
        if (auto* nav = dynamic_cast<NavigationController*>(const_cast<ViewController*>(c)); nav && nav != this)
            return nav;
    return nullptr;
}

Responder* ViewController::nextResponder() const { return view_ ? view_->superview() : nullptr; }

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child) {
    if (!child || child.get() == this) return;
    if (child->parent_ == this) return;
    auto keep = child;
    if (child->parent_) {
        child->willMoveToParentViewController(nullptr);
        child->removeFromParentViewController();
    }
    child->willMoveToParentViewController(this);
    children_.push_back(child);
    child->parent_ = this;
}

void ViewController::removeFromParentViewController() {
    ViewController* p = parent_;
    if (!p) return;
    auto self = shared_from_this();
    auto& list = p->children_;
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    parent_ = nullptr;
    didMoveToParentViewController(nullptr);
}

std::vector<ViewController*> ViewController::childrenForAppearanceForwarding() const {
    std::vector<ViewController*> v;
    if (!automaticallyForwardAppearanceMethods() || !view_) return v;
    for (const auto& c : children_)
        if (c->view_ && c->view_->isDescendantOfView(view_.get())) v.push_back(c.get());
    return v;
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
    if (appearing) {
        if (appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing) return;
        view();
        appearance_ = Appearance::Appearing;
        appearanceAnimated_ = animated;
        viewWillAppear(animated);
    } else {
        if (appearance_ == Appearance::Disappeared || appearance_ == Appearance::Disappearing) return;
        appearance_ = Appearance::Disappearing;
        appearanceAnimated_ = animated;
        viewWillDisappear(animated);
    }
    for (auto* c : childrenForAppearanceForwarding()) c->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition() {
    auto keep = shared_from_this();
    auto forward = childrenForAppearanceForwarding();
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        viewDidAppear(appearanceAnimated_);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        viewDidDisappear(appearanceAnimated_);
    } else {
        return;
    }
    for (auto* c : forward) c->endAppearanceTransition();
}

void ViewController::presentViewController(const std::shared_ptr<ViewController>& vc, bool animated,
                                           std::function<void()> completion) {
    QUENTA_ASSERT_MAIN_THREAD();
    if (!vc) return;
    // The screen that covers the window presents.
    ViewController* host = this;
    while (host->parent_) host = host->parent_;
    while (host->presented_) host = host->presented_.get();
    if (vc->presenting_ || vc->parent_ || vc.get() == host) {
        foundation::log("ViewController: ", vc->className(), " is already shown; not presenting it again");
        return;
    }
    if (host->transitioning_) {
        foundation::log("ViewController: a presentation is already moving; ", vc->className(), " not presented");
        return;
    }
    host->presented_ = vc;
    vc->presenting_ = host;
    host->transitioning_ = true;
    detail::setScreenTransitionRunning(host, true);
    Window* w = host->view_ ? host->view_->window() : nullptr;
    if (!w) w = Window::keyWindow();
    Rect full = w ? w->bounds() : Screen::main().bounds();
    auto v = vc->viewRef();
    v->setFrame(full);
    vc->beginAppearanceTransition(true, animated);
    host->beginAppearanceTransition(false, animated);
    if (w) w->addSubview(v);
    std::weak_ptr<ViewController> weakHost = host->shared_from_this();
    auto finish = [weakHost, vc, completion]() {
        auto h = weakHost.lock();
        if (h) {
            h->transitioning_ = false;
            detail::setScreenTransitionRunning(h.get(), false);
            // The covered screen leaves the window until the dismissal.
            if (h->view_ && h->view_->superview() && vc->view_ && vc->view_->superview()) h->view_->setHidden(true);
        }
        vc->endAppearanceTransition();
        if (h) h->endAppearanceTransition();
        if (completion) completion();
    };
    if (animated && w) {
        v->setFrame(full.offsetBy(0, full.height()));
        View::animate(
            kModalDuration, [v, full]() { v->setFrame(full); }, [finish](bool) { finish(); });
    } else {
        finish();
    }
}

void ViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
    QUENTA_ASSERT_MAIN_THREAD();
    ViewController* host = nullptr;
    if (presented_)
        host = this;
    else if (presenting_)
        host = presenting_;
    else
        for (ViewController* p = parent_; p && !host; p = p->parent_)
            if (p->presented_)
                host = p;
            else if (p->presenting_)
                host = p->presenting_;
    if (!host || !host->presented_) {
        if (completion) completion();
        return;
    }
    auto vc = host->presented_;
    // Screens presented above go first.
    if (vc->presented_) vc->dismissViewControllerAnimated(false);
    auto hostRef = host->shared_from_this();
    host->transitioning_ = true;
    detail::setScreenTransitionRunning(host, true);
    vc->beginAppearanceTransition(false, animated);
    if (host->view_) host->view_->setHidden(false);
    host->beginAppearanceTransition(true, animated);
    auto finish = [hostRef, vc, completion]() {
        if (vc->view_) vc->view_->removeFromSuperview();
        hostRef->presented_.reset();
        hostRef->transitioning_ = false;
        detail::setScreenTransitionRunning(hostRef.get(), false);
        vc->presenting_ = nullptr;
        vc->endAppearanceTransition();
        hostRef->endAppearanceTransition();
        if (completion) completion();
    };
    auto v = vc->view_;
    if (animated && v && v->window()) {
        Rect f = v->frame();
        View::animate(
            kModalDuration, [v, f]() { v->setFrame(f.offsetBy(0, f.height())); }, [finish](bool) { finish(); });
    } else {
        finish();
    }
}

}  // namespace ui
