#pragma once
// The main screen of a bound phone: the account's name, phone and photo, the
// live one-time password with its spoken digits, the icons of the
// protections in use and a slowly moving background. It is made of parts:
// the login approvals (LoginApprovals: the poll and its alert), the lock
// overlay (LockOverlay), the security log's badge and the server's advert
// (BadgeAndAdvert), payment verification after the payment app hands back
// (PaymentHandBack), and the live code (screens::LiveCode). It also opens
// the quick nine-star sheet.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/core/Models.h"
#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/hub/BadgeAndAdvert.h"
#include "app/screens/hub/HubModel.h"
#include "app/screens/hub/LockOverlay.h"
#include "app/screens/hub/LoginApprovals.h"
#include "app/screens/hub/PaymentHandBack.h"
#include "app/screens/shared/DigitSpeaker.h"
#include "app/screens/shared/LiveCode.h"
#include "lib/kit/CustomBadge.h"
#include "lib/kit/KenBurnsView.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"

class KAVOMainFrameViewController : public KAVOCommandViewController, public KenBurnsViewDelegate {
public:
    // Request tags.
    static constexpr int kTagAccount = 0;
    static constexpr int kTagPhoto = 1;
    static constexpr int kTagPoll = 100;
    static constexpr int kTagLetGo = 101;
    static constexpr int kTagBadge = 102;
    static constexpr int kTagAdvert = 103;
    static constexpr int kTagAdvertPicture = 104;
    static constexpr int kTagLetGoRecheck = 105;
    static constexpr int kTagStoreLookup = 5469;
    static constexpr int kTagKorvex = 7369;
    // Alert tags.
    static constexpr int kVerifyAlertTag = 200;
    static constexpr int kRateAlertTag = 6876;
    // Seconds between two polls of the pending approvals.
    static constexpr double kPollPeriod = hub::LoginApprovals::kPollPeriod;
    // The user-defaults key of the stored photo.
    static constexpr const char* kPhotoKey = "quentaCenter_photo";
    // The quick nine-star sheet's screen.
    static constexpr const char* kJiuXingScreen = "JIUXING";
    // The tall screen's moves (hub::kTallShift, hub::kTallCodeDrop).
    static constexpr int kTallShift = hub::kTallShift;
    static constexpr double kTallCodeDrop = hub::kTallCodeDrop;

    KAVOMainFrameViewController();
    ~KAVOMainFrameViewController() override;
    const char* className() const override { return "KAVOMainFrameViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) override;

    // --- display ---
    void InitdataWill();
    void setUIWithData();
    void showFast();
    void showIcon();
    // Reads the record's code afresh and shows it.
    void showOtp();
    // The live code's one-second tick.
    void onTime(const screens::LiveCode::Tick& tick);

    // --- spoken digits ---
    void playerSound();

    // --- data ---
    void getDataFromServer();
    void downloadimg(const std::string& address);

    // --- one-key verification ---
    // Starts or stops the poller for the record's quick-verification switch.
    void startOrStopPoller();
    void timerIntervalFunction();
    // What a poll reply does: keeps the requests not ignored and, when there
    // are any, closes the poll gate and asks the user about the last one.
    void showVerifyRequests(const hub::PollReply& reply);

    // --- side services ---
    void selectorForCheckLockState();
    void timerSelectorForLockState();
    void getBadgeNumberFromServer();
    void updateBadgeNumberForSafeAudition();
    void getADVersionAndURLFromServer();
    void threadFuncForVersionCheck();
    void presentSemiModalOTPView();
    void dissMissSemiModalOTPView();

    // --- what the screen shows, for tests and pictures ---
    const MainPageInfo& mainInfo() const { return mainInfo_; }
    ui::Label* nameLabel() const { return nameLabel_.get(); }
    ui::Label* phoneLabel() const { return phoneLabel_.get(); }
    ui::Label* otpLabel() const { return otpLabel_.get(); }
    ui::ImageView* photoImg() const { return photoImg_.get(); }
    ui::Button* showOtpBtn() const { return showOtpBtn_.get(); }
    ui::Button* showJiuBtn() const { return showJiuBtn_.get(); }
    ui::ImageView* otpBeeper() const { return otpBeeper_.get(); }
    ui::View* codePanel() const { return codePanel_.get(); }
    ui::Button* quickJiuBtn() const { return quickJiuBtn_.get(); }
    KenBurnsView* dynamicBackGroundImage() const { return dynamicBackGroundImage_.get(); }
    ui::ImageView* smallImg(int slot) const { return smallImgs_.at(slot).get(); }
    ui::View* dimLayer() const { return lock_.dimLayer(); }
    CustomBadge* customBadge() const { return badgeAndAdvert_.badge(); }
    ui::AlertView* verifyAlert() const { return approvals_.alert(); }
    int okvCountDown() const { return approvals_.countDown(); }
    bool hasCountdownTimer() const { return approvals_.hasCountdownTimer(); }
    bool isPolling() const { return approvals_.isPolling(); }
    const std::vector<hub::VerifyRequest>& pendingRequests() const { return approvals_.pending(); }
    const DigitSpeaker& speaker() const { return speaker_; }
    bool codeTimerRunning() const { return liveCode_.running(); }
    std::shared_ptr<ui::ViewController> semiModalView() const { return semiModalView_; }

    // KenBurnsViewDelegate.
    void didShowImageAtIndex(unsigned index) override;
    void didFinishAllAnimations() override;
    // ProgressHUDDelegate: the let-go's overlay reopens the poll gate.
    void hudWasHidden(ProgressHUD* hud) override;

protected:
    void requestFinishedForOtherTag(http::HttpRequest& request) override;
    void requestFailedForOtherTag(http::HttpRequest& request) override;
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    void registerCommands();
    void buildViews();
    void handleAccountReply(const CommandReply& reply);
    void showCode();
    void sendUnattended(int tag, const http::HttpRequestRef& request);
    void performSegueButton(const std::string& segue);

    MainPageInfo mainInfo_;
    std::shared_ptr<KenBurnsView> dynamicBackGroundImage_;
    std::shared_ptr<ui::Label> nameLabel_, phoneLabel_, otpLabel_;
    std::shared_ptr<ui::ImageView> photoImg_, otpBeeper_;
    std::shared_ptr<ui::View> codePanel_;
    std::shared_ptr<ui::Button> showOtpBtn_, showJiuBtn_, quickJiuBtn_;
    std::vector<std::shared_ptr<ui::ImageView>> smallImgs_;
    std::shared_ptr<ui::ViewController> semiModalView_;

    screens::LiveCode liveCode_;
    std::vector<std::string> decodeArray_;
    DigitSpeaker speaker_;

    hub::LoginApprovals approvals_;
    hub::LockOverlay lock_;
    hub::BadgeAndAdvert badgeAndAdvert_;
    hub::PaymentHandBack handBack_;

    // Requests made here rather than by the command cycle (photo, advert
    // picture, store look-up), kept alive until they end.
    std::vector<http::HttpRequestRef> unattended_;
};
