#pragma once
// Navigation: bar button items, navigation items, the navigation bar and
// the navigation controller (a stack of screens under a bar, push and pop
// with appearance calls, and the "did show" notification).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"

namespace ui {

// Posted after a push or pop finished, with the navigation controller as
// object; userInfo "viewController" holds the shown controller's class name,
// and the two keys below the addresses (unsigned integers) of the controller
// that was on top before and of the one on top now (0 when none); compare
// them with viewControllerIdentity().
inline constexpr const char* kNavigationControllerDidShowViewControllerNotification =
    "NavigationControllerDidShowViewControllerNotification";
inline constexpr const char* kNavigationControllerLastVisibleViewControllerKey =
    "NavigationControllerLastVisibleViewController";
inline constexpr const char* kNavigationControllerNextVisibleViewControllerKey =
    "NavigationControllerNextVisibleViewController";

enum class BarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };
enum class BarButtonSystemItem {
    Done = 0,
    Cancel,
    Edit,
    Save,
    Add,
    FlexibleSpace,
    FixedSpace,
    Compose,
    Reply,
    Action,
    Organize,
    Bookmarks,
    Search,
    Refresh,
    Stop,
    Camera,
    Trash,
    Play,
    Pause,
    Rewind,
    FastForward
};

class BarButtonItem {
public:
    using Action = std::function<void(BarButtonItem* item)>;
    BarButtonItem(const std::string& title, BarButtonItemStyle style, Action action);
    BarButtonItem(BarButtonSystemItem systemItem, Action action);
    explicit BarButtonItem(std::shared_ptr<View> customView);
    static std::shared_ptr<BarButtonItem> withTitle(const std::string& title, BarButtonItemStyle style, Action action) {
        return std::make_shared<BarButtonItem>(title, style, std::move(action));
    }
    static std::shared_ptr<BarButtonItem> withSystemItem(BarButtonSystemItem item, Action action) {
        return std::make_shared<BarButtonItem>(item, std::move(action));
    }
    static std::shared_ptr<BarButtonItem> withCustomView(std::shared_ptr<View> view) {
        return std::make_shared<BarButtonItem>(std::move(view));
    }

    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    BarButtonItemStyle style() const { return style_; }
    bool isSystemItem() const { return system_; }
    BarButtonSystemItem systemItem() const { return systemItem_; }
    bool isEnabled() const { return enabled_; }
    // Also enables or disables a custom view that is a control.
    void setEnabled(bool e);
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    View* customView() const { return customView_.get(); }
    const Action& action() const { return action_; }
    void setAction(Action a) { action_ = std::move(a); }
    double width() const { return width_; }
    void setWidth(double w) { width_ = w; }

    // The view the bar shows: the custom view, or a button made on first use.
    std::shared_ptr<View> barView();
    // What a tap does (nothing while disabled).
    void press();

private:
    std::string title_;
    BarButtonItemStyle style_ = BarButtonItemStyle::Plain;
    bool system_ = false;
    BarButtonSystemItem systemItem_ = BarButtonSystemItem::Done;
    bool enabled_ = true;
    int tag_ = 0;
    double width_ = 0;
    Action action_;
    std::shared_ptr<View> customView_;
    std::shared_ptr<Button> button_;
};

class NavigationBar;

class NavigationItem {
public:
    explicit NavigationItem(const std::string& title = "") : title_(title) {}
    ~NavigationItem();
    NavigationItem(const NavigationItem&) = delete;
    NavigationItem& operator=(const NavigationItem&) = delete;
    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    const std::string& prompt() const { return prompt_; }
    void setPrompt(const std::string& p);
    View* titleView() const { return titleView_.get(); }
    void setTitleView(std::shared_ptr<View> v);
    BarButtonItem* leftBarButtonItem() const { return left_.get(); }
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
    BarButtonItem* rightBarButtonItem() const { return right_.get(); }
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
    // The item the next screen's back button shows for this one.
    BarButtonItem* backBarButtonItem() const { return back_.get(); }
    void setBackBarButtonItem(std::shared_ptr<BarButtonItem> item);
    bool hidesBackButton() const { return hidesBack_; }
    void setHidesBackButton(bool h, bool animated = false);

    // The bar showing the item, told of changes.
    void setBar(NavigationBar* bar) { bar_ = bar; }

private:
    void changed();
    std::string title_, prompt_;
    std::shared_ptr<View> titleView_;
    std::shared_ptr<BarButtonItem> left_, right_, back_;
    bool hidesBack_ = false;
    NavigationBar* bar_ = nullptr;
};

enum class BarStyle { Default = 0, Black = 1, BlackTranslucent = 2 };

class NavigationBar : public View {
public:
    static constexpr double kHeight = 44;
    static constexpr double kPromptHeight = 30;

    explicit NavigationBar(const Rect& frame = {0, 0, 320, kHeight});
    ~NavigationBar() override;
    const char* className() const override { return "NavigationBar"; }

    // Items, bottom first; the items are not owned (their controllers own them).
    const std::vector<NavigationItem*>& items() const { return items_; }
    void setItems(const std::vector<NavigationItem*>& items, bool animated = false);
    NavigationItem* topItem() const { return items_.empty() ? nullptr : items_.back(); }
    NavigationItem* backItem() const { return items_.size() < 2 ? nullptr : items_[items_.size() - 2]; }
    void pushNavigationItem(NavigationItem* item, bool animated = false);
    void popNavigationItem(bool animated = false);

    BarStyle barStyle() const { return barStyle_; }
    void setBarStyle(BarStyle s) {
        barStyle_ = s;
        setNeedsDisplay();
    }
    Color tintColor() const { return tint_; }
    void setTintColor(const Color& c) {
        tint_ = c;
        setNeedsDisplay();
    }
    // Called when the back button is tapped.
    void setBackAction(std::function<void()> action) { backAction_ = std::move(action); }

    // The views now shown.
    Label* titleLabel() const { return titleLabel_.get(); }
    Label* promptLabel() const { return promptLabel_.get(); }
    Button* backButton() const { return backButton_.get(); }
    View* leftView() const { return leftView_.get(); }
    View* rightView() const { return rightView_.get(); }

    Size sizeThatFits(Size size) const override;
    void layoutSubviews() override;
    void drawRect(const Rect& rect) override;
    // Rebuilds the views for the top item.
    void itemsChanged();
    // Drops an item that goes away.
    void forgetItem(NavigationItem* item);

private:
    std::vector<NavigationItem*> items_;
    BarStyle barStyle_ = BarStyle::Default;
    Color tint_ = Color::rgba(0.43, 0.52, 0.64);
    std::function<void()> backAction_;
    std::shared_ptr<Label> titleLabel_, promptLabel_;
    std::shared_ptr<Button> backButton_;
    std::shared_ptr<View> leftView_, rightView_, titleView_;
};

class NavigationControllerDelegate {
public:
    virtual ~NavigationControllerDelegate() = default;
    virtual void willShowViewController(NavigationController*, ViewController*, bool) {}
    virtual void didShowViewController(NavigationController*, ViewController*, bool) {}
};

class NavigationController : public ViewController {
public:
    explicit NavigationController(const std::shared_ptr<ViewController>& root = nullptr,
                                  std::shared_ptr<NavigationBar> bar = nullptr);
    ~NavigationController() override;
    const char* className() const override { return "NavigationController"; }

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return childViewControllers(); }
    void setViewControllers(const std::vector<std::shared_ptr<ViewController>>& vcs, bool animated);
    ViewController* topViewController() const;
    // The presented controller of the top one, else the top one.
    ViewController* visibleViewController() const;

    void pushViewController(const std::shared_ptr<ViewController>& vc, bool animated);
    // Pops the top controller (never the root); returns it, or nullptr.
    std::shared_ptr<ViewController> popViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToRootViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToViewController(ViewController* vc, bool animated);

    NavigationBar* navigationBar() const { return bar_.get(); }
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    NavigationControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(NavigationControllerDelegate* d) { delegate_ = d; }
    // True while a push or pop moves.
    bool isTransitioning() const { return moving_; }

    void loadView() override;
    void viewDidLoad() override;

protected:
    std::vector<ViewController*> childrenForAppearanceForwarding() const override;

private:
    // Shows `to` in place of `from` (either may be null).
    void transition(ViewController* from, const std::shared_ptr<ViewController>& to, bool push, bool animated,
                    std::vector<std::shared_ptr<ViewController>> removed);
    Rect contentFrame() const;
    void layoutContent();

    std::shared_ptr<NavigationBar> bar_;
    std::shared_ptr<View> container_;
    bool barHidden_ = false;
    bool moving_ = false;
    NavigationControllerDelegate* delegate_ = nullptr;
};

}  // namespace ui
