#pragma once
// Alerts and action sheets. An alert is a real view of fixed width with its
// title, message, optional text fields and buttons (Button subviews, so a
// caller may add views and move them). Showing one over another stacks it:
// the newer is in front and the older shows again when it goes. Tests and
// the window read the visible ones and press their buttons.
//
// Delegate order for a press: willPresent, didPresent (next run-loop turn
// after show), clicked, willDismiss, didDismiss. A dismissal from code calls
// no clicked.

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/WeakRef.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/Modal.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"

namespace ui {

class AlertView;

// Alerts and sheets keep their delegate weakly: a delegate destroyed while
// its alert is still up is simply not called.
class AlertViewDelegate : public foundation::Referenceable {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void clickedButtonAtIndex(AlertView* alertView, int buttonIndex) {
        (void)alertView;
        (void)buttonIndex;
    }
    virtual void alertViewCancel(AlertView*) {}
    virtual void willPresentAlertView(AlertView*) {}
    virtual void didPresentAlertView(AlertView*) {}
    virtual void willDismissWithButtonIndex(AlertView*, int) {}
    virtual void didDismissWithButtonIndex(AlertView*, int) {}
};

enum class AlertViewStyle { Default = 0, SecureTextInput, PlainTextInput, LoginAndPasswordInput };

class AlertView : public View {
public:
    static constexpr double kWidth = 284;
    static constexpr double kButtonHeight = 43;
    static constexpr double kBottomMargin = 15;
    static constexpr double kSideMargin = 11;

    AlertView(const std::string& title, const std::string& message, AlertViewDelegate* delegate,
              const std::string& cancelButtonTitle, const std::vector<std::string>& otherButtonTitles = {});
    ~AlertView() override;
    static std::shared_ptr<AlertView> create(const std::string& title, const std::string& message,
                                             AlertViewDelegate* delegate, const std::string& cancelButtonTitle,
                                             const std::vector<std::string>& otherButtonTitles = {}) {
        return std::make_shared<AlertView>(title, message, delegate, cancelButtonTitle, otherButtonTitles);
    }
    const char* className() const override { return "AlertView"; }

    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    const std::string& message() const { return message_; }
    void setMessage(const std::string& m);
    AlertViewDelegate* delegate() const { return delegate_; }
    void setDelegate(AlertViewDelegate* d) { delegate_ = d; }
    AlertViewStyle alertViewStyle() const { return style_; }
    void setAlertViewStyle(AlertViewStyle s);
    // Index 0 is the user name (or the only field), 1 the password; nullptr outside.
    TextField* textFieldAtIndex(int index) const;

    int addButtonWithTitle(const std::string& title);
    int numberOfButtons() const { return int(buttonTitles_.size()); }
    std::string buttonTitleAtIndex(int index) const;
    int cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(int i) { cancelIndex_ = i; }
    // -1 when there is none.
    int firstOtherButtonIndex() const;
    // The button view of the index (nullptr outside).
    Button* buttonAtIndex(int index) const;

    // Shows the alert (from any thread: it hops to the main thread). Showing a
    // visible alert does nothing; a dismissed one can be shown again.
    void show();
    bool isVisible() const { return modal_.isVisible(); }
    void dismissWithClickedButtonIndex(int index, bool animated);
    // What a tap on the button does: clicked, then the dismissal.
    void clickButtonAtIndex(int index);

    // Visible alerts, oldest first (the last one is in front).
    static std::vector<AlertView*> visibleAlerts();
    static AlertView* frontmost();

    // Lays the alert out for its contents (done by show before willPresent).
    void layoutAlert();
    std::string displayedText() const override { return title_; }

private:
    void present();
    void rebuildButtons();
    void rebuildFields();

    std::string title_, message_;
    foundation::WeakRef<AlertViewDelegate> delegate_;
    std::vector<std::string> buttonTitles_;
    int cancelIndex_ = -1;
    AlertViewStyle style_ = AlertViewStyle::Default;
    std::shared_ptr<Label> titleLabel_, messageLabel_;
    std::vector<std::shared_ptr<Button>> buttons_;
    std::vector<std::shared_ptr<TextField>> fields_;
    bool laidOut_ = false;
    ModalPresentation modal_;
};

class ActionSheet;

class ActionSheetDelegate : public foundation::Referenceable {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void clickedButtonAtIndex(ActionSheet* sheet, int buttonIndex) {
        (void)sheet;
        (void)buttonIndex;
    }
    virtual void actionSheetCancel(ActionSheet*) {}
    virtual void willPresentActionSheet(ActionSheet*) {}
    virtual void didPresentActionSheet(ActionSheet*) {}
    virtual void willDismissWithButtonIndex(ActionSheet*, int) {}
    virtual void didDismissWithButtonIndex(ActionSheet*, int) {}
};

// A sheet of buttons rising from the bottom of the window. Buttons are
// numbered: destructive first, then the others in order, then cancel.
class ActionSheet : public View {
public:
    ActionSheet(const std::string& title, ActionSheetDelegate* delegate, const std::string& cancelButtonTitle,
                const std::string& destructiveButtonTitle, const std::vector<std::string>& otherButtonTitles = {});
    ~ActionSheet() override;
    static std::shared_ptr<ActionSheet> create(const std::string& title, ActionSheetDelegate* delegate,
                                               const std::string& cancelButtonTitle,
                                               const std::string& destructiveButtonTitle,
                                               const std::vector<std::string>& otherButtonTitles = {}) {
        return std::make_shared<ActionSheet>(title, delegate, cancelButtonTitle, destructiveButtonTitle,
                                             otherButtonTitles);
    }
    const char* className() const override { return "ActionSheet"; }

    const std::string& title() const { return title_; }
    ActionSheetDelegate* delegate() const { return delegate_; }
    void setDelegate(ActionSheetDelegate* d) { delegate_ = d; }
    int addButtonWithTitle(const std::string& title);
    int numberOfButtons() const { return int(buttonTitles_.size()); }
    std::string buttonTitleAtIndex(int index) const;
    int cancelButtonIndex() const { return cancelIndex_; }
    int destructiveButtonIndex() const { return destructiveIndex_; }
    int firstOtherButtonIndex() const;
    Button* buttonAtIndex(int index) const;

    // Shows the sheet over the window of the view (the key window when none).
    void showInView(View* view);
    bool isVisible() const { return modal_.isVisible(); }
    void dismissWithClickedButtonIndex(int index, bool animated);
    void clickButtonAtIndex(int index);

    static std::vector<ActionSheet*> visibleSheets();
    std::string displayedText() const override { return title_; }

private:
    void layoutSheet(double width, double windowHeight);

    std::string title_;
    foundation::WeakRef<ActionSheetDelegate> delegate_;
    std::vector<std::string> buttonTitles_;
    int cancelIndex_ = -1, destructiveIndex_ = -1;
    std::shared_ptr<Label> titleLabel_;
    std::vector<std::shared_ptr<Button>> buttons_;
    ModalPresentation modal_;
};

}  // namespace ui
