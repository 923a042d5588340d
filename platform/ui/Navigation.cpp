#include "platform/ui/Navigation.h"

#include <algorithm>

#include "platform/foundation/Assert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Text.h"

namespace ui {

namespace {
constexpr double kPushDuration = 0.35;

const char* systemTitle(BarButtonSystemItem item) {
    switch (item) {
        case BarButtonSystemItem::Done:
            return "Done";
        case BarButtonSystemItem::Cancel:
            return "Cancel";
        case BarButtonSystemItem::Edit:
            return "Edit";
        case BarButtonSystemItem::Save:
            return "Save";
        case BarButtonSystemItem::Add:
            return "+";
        case BarButtonSystemItem::Refresh:
            return "\u21BB";
        case BarButtonSystemItem::Stop:
            return "\u2715";
        default:
            return "";
    }
}
}  // namespace

// ---------------------------------------------------------------- BarButtonItem

BarButtonItem::BarButtonItem(const std::string& title, BarButtonItemStyle style, Action action)
    : title_(title), style_(style), action_(std::move(action)) {}

BarButtonItem::BarButtonItem(BarButtonSystemItem systemItem, Action action)
    : title_(systemTitle(systemItem)),
      style_(systemItem == BarButtonSystemItem::Done || systemItem == BarButtonSystemItem::Save
                 ? BarButtonItemStyle::Done
                 : BarButtonItemStyle::Bordered),
      system_(true),
      systemItem_(systemItem),
      action_(std::move(action)) {}

BarButtonItem::BarButtonItem(std::shared_ptr<View> customView) : customView_(std::move(customView)) {}

void BarButtonItem::setTitle(const std::string& t) {
    title_ = t;
    if (button_) {
        button_->setTitle(t);
        Size s = button_->sizeThatFits({});
        button_->setBounds({0, 0, std::max(width_, s.width + 20), 30});
    }
}

void BarButtonItem::setEnabled(bool e) {
    enabled_ = e;
    if (auto* c = dynamic_cast<Control*>(customView_.get())) c->setEnabled(e);
    if (button_) button_->setEnabled(e);
}

std::shared_ptr<View> BarButtonItem::barView() {
    if (customView_) return customView_;
    if (!button_) {
        button_ = Button::buttonWithType(ButtonType::Custom);
        button_->setTitle(title_);
        button_->titleLabel()->setFont(Font::boldSystemFont(12));
        button_->setTitleColor(Color::whiteColor());
        button_->setTitleColor(Color::white(1, 0.5), kControlStateDisabled);
        button_->setBackgroundColor(style_ == BarButtonItemStyle::Done ? Color::rgba(0.2, 0.4, 0.85)
                                                                       : Color::white(0, 0.2));
        button_->layer().setCornerRadius(style_ == BarButtonItemStyle::Plain ? 0 : 5);
        button_->setEnabled(enabled_);
        Size s = button_->sizeThatFits({});
        button_->setBounds({0, 0, std::max(width_, s.width + 20), 30});
        button_->addTarget(
            this, [this](Control*, const Event*) { press(); }, kControlEventTouchUpInside);
    }
    return button_;
}

void BarButtonItem::press() {
    if (!enabled_) return;
    if (action_) action_(this);
}

// ---------------------------------------------------------------- NavigationItem

NavigationItem::~NavigationItem() {
    if (bar_) bar_->forgetItem(this);
}

void NavigationItem::changed() {
    if (bar_) bar_->itemsChanged();
}
void NavigationItem::setTitle(const std::string& t) {
    title_ = t;
    changed();
}
void NavigationItem::setPrompt(const std::string& p) {
    prompt_ = p;
    changed();
}
void NavigationItem::setTitleView(std::shared_ptr<View> v) {
    titleView_ = std::move(v);
    changed();
}
void NavigationItem::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool) {
    left_ = std::move(item);
    changed();
}
void NavigationItem::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool) {
    right_ = std::move(item);
    changed();
}
void NavigationItem::setBackBarButtonItem(std::shared_ptr<BarButtonItem> item) {
    back_ = std::move(item);
    changed();
}
void NavigationItem::setHidesBackButton(bool h, bool) {
    hidesBack_ = h;
    changed();
}

// ---------------------------------------------------------------- NavigationBar

NavigationBar::NavigationBar(const Rect& frame) : View(frame) {
    setAutoresizingMask(kAutoresizingFlexibleWidth);
    titleLabel_ = std::make_shared<Label>(Rect{});
    titleLabel_->setFont(Font::boldSystemFont(20));
    titleLabel_->setTextColor(Color::whiteColor());
    titleLabel_->setShadowColor(Color::white(0, 0.5));
    titleLabel_->setBackgroundColor(Color::clearColor());
    titleLabel_->setTextAlignment(TextAlignment::Center);
    addSubview(titleLabel_);
    promptLabel_ = std::make_shared<Label>(Rect{});
    promptLabel_->setFont(Font::systemFont(13));
    promptLabel_->setTextColor(Color::whiteColor());
    promptLabel_->setBackgroundColor(Color::clearColor());
    promptLabel_->setTextAlignment(TextAlignment::Center);
    promptLabel_->setHidden(true);
    addSubview(promptLabel_);
}

NavigationBar::~NavigationBar() {
    for (auto* item : items_) item->setBar(nullptr);
}

void NavigationBar::forgetItem(NavigationItem* item) {
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
    itemsChanged();
}

void NavigationBar::setItems(const std::vector<NavigationItem*>& items, bool) {
    for (auto* item : items_) item->setBar(nullptr);
    items_ = items;
    for (auto* item : items_) item->setBar(this);
    itemsChanged();
}

void NavigationBar::pushNavigationItem(NavigationItem* item, bool) {
    if (!item) return;
    items_.push_back(item);
    item->setBar(this);
    itemsChanged();
}

void NavigationBar::popNavigationItem(bool) {
    if (items_.empty()) return;
    items_.back()->setBar(nullptr);
    items_.pop_back();
    itemsChanged();
}

void NavigationBar::itemsChanged() {
    if (leftView_) leftView_->removeFromSuperview();
    if (rightView_) rightView_->removeFromSuperview();
    if (titleView_) titleView_->removeFromSuperview();
    leftView_.reset();
    rightView_.reset();
    titleView_.reset();
    backButton_.reset();
    NavigationItem* top = topItem();
    titleLabel_->setText(top ? top->title() : "");
    promptLabel_->setText(top ? top->prompt() : "");
    promptLabel_->setHidden(!top || top->prompt().empty());
    if (top) {
        if (top->leftBarButtonItem()) {
            leftView_ = top->leftBarButtonItem()->barView();
        } else if (NavigationItem* back = backItem(); back && !top->hidesBackButton()) {
            std::string title = back->backBarButtonItem() ? back->backBarButtonItem()->title() : back->title();
            if (title.empty()) title = "Back";
            backButton_ = Button::buttonWithType(ButtonType::Custom);
            backButton_->setTitle(title);
            backButton_->titleLabel()->setFont(Font::boldSystemFont(12));
            backButton_->setBackgroundColor(Color::white(0, 0.2));
            backButton_->layer().setCornerRadius(5);
            backButton_->setTitleEdgeInsets({0, 6, 0, 3});
            Size s = backButton_->sizeThatFits({});
            backButton_->setBounds({0, 0, std::min(160.0, s.width + 12), 30});
            backButton_->addTarget(
                this,
                [this](Control*, const Event*) {
                    if (backAction_)
                        backAction_();
                    else
                        popNavigationItem(true);
                },
                kControlEventTouchUpInside);
            leftView_ = backButton_;
        }
        if (top->rightBarButtonItem()) rightView_ = top->rightBarButtonItem()->barView();
        if (top->titleView()) titleView_ = top->titleView()->shared_from_this();
    }
    if (leftView_) addSubview(leftView_);
    if (rightView_) addSubview(rightView_);
    if (titleView_) addSubview(titleView_);
    titleLabel_->setHidden(titleView_ != nullptr);
    setNeedsLayout();
    setNeedsDisplay();
}

Size NavigationBar::sizeThatFits(Size size) const {
    NavigationItem* top = topItem();
    double h = kHeight + (top && !top->prompt().empty() ? kPromptHeight : 0);
    return {size.width > 0 ? size.width : bounds().width(), h};
}

void NavigationBar::layoutSubviews() {
    Rect b = bounds();
    double top = 0;
    if (!promptLabel_->isHidden()) {
        promptLabel_->setFrame({0, 0, b.width(), kPromptHeight});
        top = kPromptHeight;
    }
    double cy = top + kHeight / 2;
    double leftEdge = 5, rightEdge = b.width() - 5;
    if (leftView_) {
        Size s = leftView_->bounds().size;
        leftView_->setFrame({5, std::round(cy - s.height / 2), s.width, s.height});
        leftEdge = 5 + s.width + 5;
    }
    if (rightView_) {
        Size s = rightView_->bounds().size;
        rightView_->setFrame({b.width() - 5 - s.width, std::round(cy - s.height / 2), s.width, s.height});
        rightEdge = b.width() - 10 - s.width;
    }
    // The title is centred on the bar when it fits between the buttons.
    double side = std::max(leftEdge, b.width() - rightEdge);
    Rect titleRect{side, top, std::max(0.0, b.width() - 2 * side), kHeight};
    if (titleView_) {
        Size s = titleView_->bounds().size;
        titleView_->setFrame({std::round(b.midX() - s.width / 2), std::round(cy - s.height / 2), s.width, s.height});
    }
    titleLabel_->setFrame(titleRect);
}

void NavigationBar::drawRect(const Rect&) {
    auto* ctx = currentContext();
    if (!ctx) return;
    Rect b = bounds();
    Color base = barStyle_ == BarStyle::Default ? tint_ : Color::white(0.1);
    Color light = Color::rgba(std::min(1.0, base.red() + 0.15), std::min(1.0, base.green() + 0.15),
                              std::min(1.0, base.blue() + 0.15));
    ctx->drawLinearGradient(Gradient::withColors({light, base}), {0, 0}, {0, b.height()}, 0);
    ctx->setFillColor(Color::white(0, 0.3));
    ctx->fillRect({0, b.height() - 1, b.width(), 1});
}

// ---------------------------------------------------------------- NavigationController

NavigationController::~NavigationController() { detail::setScreenTransitionRunning(&moving_, false); }

NavigationController::NavigationController(const std::shared_ptr<ViewController>& root,
                                           std::shared_ptr<NavigationBar> bar)
    : bar_(bar ? std::move(bar) : std::make_shared<NavigationBar>()) {
    bar_->setBackAction([this]() { popViewControllerAnimated(true); });
    if (root) {
        addChildViewController(root);
        root->didMoveToParentViewController(this);
    }
}

void NavigationController::loadView() {
    ViewController::loadView();
    container_ = std::make_shared<View>(view()->bounds());
    container_->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
    container_->setClipsToBounds(true);
}

void NavigationController::viewDidLoad() {
    View* v = view();
    v->addSubview(container_);
    v->addSubview(bar_);
    std::vector<NavigationItem*> items;
    for (auto& c : childViewControllers()) items.push_back(c->navigationItem());
    bar_->setItems(items);
    if (auto* top = topViewController()) container_->addSubview(top->viewRef());
    layoutContent();
}

Rect NavigationController::contentFrame() const {
    Rect b = view_ ? view_->bounds() : Rect{};
    double barH = barHidden_ ? 0 : bar_->sizeThatFits({b.width(), 0}).height;
    return {0, barH, b.width(), std::max(0.0, b.height() - barH)};
}

void NavigationController::layoutContent() {
    if (!view_) return;
    Rect b = view_->bounds();
    Size bs = bar_->sizeThatFits({b.width(), 0});
    bar_->setFrame({0, 0, b.width(), bs.height});
    bar_->setHidden(barHidden_);
    container_->setFrame(contentFrame());
    if (auto* top = topViewController())
        if (top->isViewLoaded()) top->view()->setFrame(container_->bounds());
}

ViewController* NavigationController::topViewController() const {
    return childViewControllers().empty() ? nullptr : childViewControllers().back().get();
}

ViewController* NavigationController::visibleViewController() const {
    if (presentedViewController()) return presentedViewController();
    ViewController* top = topViewController();
    return top && top->presentedViewController() ? top->presentedViewController() : top;
}

std::vector<ViewController*> NavigationController::childrenForAppearanceForwarding() const {
    if (moving_) return {};
    if (auto* top = topViewController()) return {top};
    return {};
}

void NavigationController::setNavigationBarHidden(bool hidden, bool) {
    barHidden_ = hidden;
    layoutContent();
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& vc, bool animated) {
    QUENTA_ASSERT_MAIN_THREAD();
    if (!vc) return;
    if (vc->parentViewController() == this) {
        foundation::log("NavigationController: ", vc->className(), " is already on the stack; not pushed");
        return;
    }
    if (moving_) {
        foundation::log("NavigationController: push of ", vc->className(), " while a move is running; done at once");
        animated = false;
    }
    ViewController* from = topViewController();
    addChildViewController(vc);
    bar_->pushNavigationItem(vc->navigationItem(), animated);
    transition(from, vc, true, animated, {});
}

std::shared_ptr<ViewController> NavigationController::popViewControllerAnimated(bool animated) {
    QUENTA_ASSERT_MAIN_THREAD();
    if (childViewControllers().size() < 2) return nullptr;
    auto removed = popToViewController(childViewControllers()[childViewControllers().size() - 2].get(), animated);
    return removed.empty() ? nullptr : removed.front();
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewControllerAnimated(bool animated) {
    QUENTA_ASSERT_MAIN_THREAD();
    if (childViewControllers().empty()) return {};
    return popToViewController(childViewControllers().front().get(), animated);
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToViewController(ViewController* target,
                                                                                       bool animated) {
    QUENTA_ASSERT_MAIN_THREAD();
    auto& stack = childViewControllers();
    auto it = std::find_if(stack.begin(), stack.end(), [target](const auto& c) { return c.get() == target; });
    if (it == stack.end() || it + 1 == stack.end()) return {};
    if (moving_) animated = false;
    std::vector<std::shared_ptr<ViewController>> removed(it + 1, stack.end());
    std::reverse(removed.begin(), removed.end());  // the top first
    auto to = *it;
    ViewController* from = topViewController();
    transition(from, to, false, animated, removed);
    return removed;
}

void NavigationController::setViewControllers(const std::vector<std::shared_ptr<ViewController>>& vcs, bool) {
    ViewController* from = topViewController();
    auto keepFrom = from ? from->shared_from_this() : nullptr;
    bool visible = appearance() == Appearance::Appeared;
    if (from && visible) from->beginAppearanceTransition(false, false);
    if (from && from->isViewLoaded()) from->view()->removeFromSuperview();
    if (from && visible) from->endAppearanceTransition();
    for (auto& c : std::vector<std::shared_ptr<ViewController>>(childViewControllers())) {
        if (std::find(vcs.begin(), vcs.end(), c) != vcs.end()) continue;
        c->willMoveToParentViewController(nullptr);
        c->removeFromParentViewController();
    }
    // Rebuild in the given order.
    children_.clear();
    std::vector<NavigationItem*> items;
    for (auto& c : vcs) {
        if (c->parent_ != this) c->willMoveToParentViewController(this);
        c->parent_ = this;
        children_.push_back(c);
        items.push_back(c->navigationItem());
    }
    for (auto& c : vcs) c->didMoveToParentViewController(this);
    bar_->setItems(items);
    if (auto* top = topViewController(); top && isViewLoaded()) {
        if (visible) top->beginAppearanceTransition(true, false);
        container_->addSubview(top->viewRef());
        layoutContent();
        if (visible) top->endAppearanceTransition();
    }
}

void NavigationController::transition(ViewController* from, const std::shared_ptr<ViewController>& to, bool push,
                                      bool animated, std::vector<std::shared_ptr<ViewController>> removed) {
    auto self = std::static_pointer_cast<NavigationController>(shared_from_this());
    auto keepFrom = from ? from->shared_from_this() : nullptr;
    bool visible = appearance() == Appearance::Appeared || appearance() == Appearance::Appearing;
    bool loaded = isViewLoaded();
    if (loaded) to->view();
    if (delegate_) delegate_->willShowViewController(this, to.get(), animated);
    if (visible) {
        if (from) from->beginAppearanceTransition(false, animated);
        to->beginAppearanceTransition(true, animated);
    }
    if (!push) {
        for (size_t i = 0; i < removed.size(); ++i) bar_->popNavigationItem(animated);
    }
    moving_ = true;
    detail::setScreenTransitionRunning(&moving_, true);
    Rect content = loaded ? container_->bounds() : Rect{};
    if (loaded) {
        auto tv = to->viewRef();
        tv->setFrame(content);
        if (push)
            container_->addSubview(tv);
        else
            container_->insertSubview(tv, 0);
    }
    auto finish = [self, keepFrom, to, push, animated, visible, removed](bool) {
        if (keepFrom && keepFrom.get() != to.get() && keepFrom->isViewLoaded()) keepFrom->view()->removeFromSuperview();
        for (auto& r : removed) {
            if (r->isViewLoaded() && r.get() != keepFrom.get()) r->view()->removeFromSuperview();
            r->willMoveToParentViewController(nullptr);
            r->removeFromParentViewController();
        }
        if (push) to->didMoveToParentViewController(self.get());
        self->moving_ = false;
        detail::setScreenTransitionRunning(&self->moving_, false);
        if (visible) {
            if (keepFrom) keepFrom->endAppearanceTransition();
            to->endAppearanceTransition();
        }
        if (self->delegate_) self->delegate_->didShowViewController(self.get(), to.get(), animated);
        foundation::Dictionary info;
        info.set("viewController", std::string(to->className()));
        info.set(kNavigationControllerLastVisibleViewControllerKey, viewControllerIdentity(keepFrom.get()));
        info.set(kNavigationControllerNextVisibleViewControllerKey, viewControllerIdentity(to.get()));
        foundation::NotificationCenter::defaultCenter().post(kNavigationControllerDidShowViewControllerNotification,
                                                             self.get(), info);
    };
    if (animated && loaded && visible) {
        auto tv = to->viewRef();
        auto fv = keepFrom && keepFrom->isViewLoaded() ? keepFrom->viewRef() : nullptr;
        double w = content.width();
        tv->setFrame(content.offsetBy(push ? w : -w / 3, 0));
        View::animate(
            kPushDuration,
            [tv, fv, content, push, w]() {
                tv->setFrame(content);
                if (fv) fv->setFrame(content.offsetBy(push ? -w / 3 : w, 0));
            },
            finish);
    } else {
        finish(true);
    }
}

}  // namespace ui
