#pragma once
// The security products: three tab buttons switch the content between the
// one-time-password tab ("OTP"), the one-key-verify tab ("OKV") and the
// nine-star tab ("JIUXING"). The last tab shown is remembered for the rest
// of the process; a user without payment verification is told once how to
// turn it on; a help panel answers nine questions.
//
// The container adds a tab's view to its own and keeps the tab as a child
// controller, so the tab hears the container's own appearance calls; when
// it switches tabs while on screen it gives the outgoing and incoming tabs
// their appearance calls itself (the tabs start and stop their clocks and
// pollers there).

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ViewController.h"

class KAVOSafeProductViewController : public ui::ViewController {
public:
    static constexpr const char* kScreenIdentifier = "KAVOSafeProductViewController";
    // The tab identifiers (the tab screens' identifiers too).
    static constexpr const char* kOTP = "OTP";
    static constexpr const char* kOKV = "OKV";
    static constexpr const char* kJIUXING = "JIUXING";
    static constexpr const char* kNoticeTitle = "提示";
    static constexpr const char* kNoticeMessage = "您尚未开通岚付通付款验证功能\n请点击页面下方的红色按钮开启";
    static constexpr const char* kNoticeKey = "nokorvexnotify";
    static constexpr const char* kHelpTitle = "温馨提示";
    static constexpr const char* kHelpButtonTitle = "帮助";
    // Where a tab's view is centred (y), on the 3.5-inch and the 4-inch
    // screen, for a tab as high as the phone drew it: the 480-point screen
    // less its 20-point status bar, 460, and the tall screen's 568 less the
    // same, 548.
    static constexpr double kTabCenterY = 330;
    static constexpr double kTabDesignHeight = 460;
    static constexpr double kTallTabCenterY = 400;
    static constexpr double kTallVerifyTabCenterY = 380;
    static constexpr double kTallTabDesignHeight = 548;
    // The room a code tab has: from the top of a tab of the design height to
    // the foot of the container (the window less the 44-point navigation bar).
    static constexpr double kTabRoomHeight = 480 - 44 - (kTabCenterY - kTabDesignHeight / 2);
    static constexpr double kTallTabRoomHeight = 568 - 44 - (kTallTabCenterY - kTallTabDesignHeight / 2);

    // The last tab shown in this process ("OTP" at first).
    static const std::string& lastSafeProductTab();

    KAVOSafeProductViewController();
    ~KAVOSafeProductViewController() override;
    const char* className() const override { return "KAVOSafeProductViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidUnload() override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) override {
        return o == ui::InterfaceOrientation::Portrait;
    }

    // The tab buttons' actions, each named for the tab it shows.
    void OTPButtonPressed();
    void OKVButtonPressed();
    void JIUXINGButtonPressed();
    // Puts the shown tab controller's view in the content area.
    void presentSpecificView(const std::string& tab);
    void customBackButtonSelector();
    // The help panel, opened from the point.
    void showHelp(ui::Point from);

    // The help panel's questions and answers, in order.
    static const std::vector<std::string>& helpQuestions();
    static const std::vector<std::string>& helpAnswers();

    // What a test reads.
    ui::Button* OTPButton() const { return OTPButton_.get(); }
    ui::Button* OKVButton() const { return OKVButton_.get(); }
    ui::Button* JIUXINGButton() const { return JIUXINGButton_.get(); }
    ui::Button* helpButton() const { return helpButton_.get(); }
    ui::ViewController* OTPViewController() const { return OTPViewController_.get(); }
    ui::ViewController* OKVViewController() const { return OKVViewController_.get(); }
    ui::ViewController* JIUXINGViewController() const { return JIUXINGViewController_.get(); }
    ui::ViewController* curShowedView() const { return curShowedView_; }
    ui::View* lastShowedView() const { return lastShowedView_; }
    ui::View* helpPanel() const { return helpPanel_.get(); }

private:
    void showTab(const char* tab);
    void setBarButtonsEnabled(bool enabled);

    std::shared_ptr<ui::Button> OTPButton_, OKVButton_, JIUXINGButton_, helpButton_;
    std::shared_ptr<ui::ViewController> OTPViewController_, OKVViewController_, JIUXINGViewController_;
    ui::ViewController* curShowedView_ = nullptr;
    ui::View* lastShowedView_ = nullptr;
    std::shared_ptr<ui::View> helpPanel_;
    // Holds a tab that reaches below the window, so its lower part can be
    // scrolled up; made on first need.
    std::shared_ptr<ui::ScrollView> tabScroller_;
};
