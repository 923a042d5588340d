#pragma once
// The main screen of a bound phone: the account's name, phone and photo, the
// live one-time password with its spoken digits, the icons of the
// protections in use and a slowly moving background. It also polls the
// pending login approvals and asks the user about them, dims itself in the
// account's locked hours, shows the security log's unread count and the
// server's advert, finishes turning payment verification on after the
// payment app hands back, and opens the quick nine-star sheet.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/Models.h"
#include "app/cycle/DigitSpeaker.h"
#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/hub/HubModel.h"
#include "lib/kit/CustomBadge.h"
#include "lib/kit/KenBurnsView.h"
#include "platform/foundation/RunLoop.h"
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
    static constexpr int kTagStoreLookup = 5469;
    static constexpr int kTagKorvex = 7369;
    // Alert tags.
    static constexpr int kVerifyAlertTag = 200;
    static constexpr int kRateAlertTag = 6876;
    // Seconds between two polls of the pending approvals.
    static constexpr double kPollPeriod = 6.0;
    // The user-defaults key of the stored photo.
    static constexpr const char* kPhotoKey = "quentaCenter_photo";
    // The quick nine-star sheet's screen.
    static constexpr const char* kJiuXingScreen = "JIUXING";

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
    void showOtp();
    int64_t getTimeAccount() const;
    void onTime();

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
    ui::ImageView* otpBeeper() const { return otpBeeper_.get(); }
    ui::ImageView* smallImg(int slot) const { return smallImgs_.at(slot).get(); }
    ui::View* dimLayer() const { return dimLayer_.get(); }
    CustomBadge* customBadge() const { return customBadge_.get(); }
    ui::AlertView* verifyAlert() const { return alertViewForOKV_.get(); }
    int okvCountDown() const { return okvCountDown_; }
    bool hasCountdownTimer() const { return timerForOKVCountDown_ && timerForOKVCountDown_->isValid(); }
    bool isPolling() const { return pollTimer_ && pollTimer_->isValid(); }
    const std::vector<hub::VerifyRequest>& pendingRequests() const { return oneKeyVeryifyArray_; }
    const DigitSpeaker& speaker() const { return speaker_; }
    bool codeTimerRunning() const { return OtpTimer_ && OtpTimer_->isValid(); }
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
    void alignLockWithServer(long long duration, long long enabletime);
    void handleResponseForPullOKVRequest(const CommandReply& reply);
    void raiseVerifyAlert();
    void answerVerifyAlert(int buttonIndex);
    void handleResponseForLetGoOKVRequest(const CommandReply& reply);
    void handleKorvexReply(const CommandReply& reply);
    void pollOnce();
    void stopCountdown();
    void checkPaymentHandBack();
    void sendUnattended(int tag, const http::HttpRequestRef& request);
    void performSegueButton(const std::string& segue);

    MainPageInfo mainInfo_;
    std::shared_ptr<KenBurnsView> dynamicBackGroundImage_;
    std::shared_ptr<ui::Label> nameLabel_, phoneLabel_, otpLabel_, lockLabel_;
    std::shared_ptr<ui::ImageView> photoImg_, otpBeeper_, lockImg_;
    std::shared_ptr<ui::View> dimLayer_, codePanel_;
    std::shared_ptr<ui::Button> showOtpBtn_, showJiuBtn_, quickJiuBtn_;
    std::vector<std::shared_ptr<ui::ImageView>> smallImgs_;
    std::shared_ptr<CustomBadge> customBadge_;
    std::shared_ptr<ui::AlertView> alertViewForOKV_;
    std::shared_ptr<ui::ViewController> semiModalView_;

    foundation::TimerRef OtpTimer_;
    foundation::TimerRef pollTimer_;
    foundation::TimerRef timerForOKVCountDown_;
    foundation::TimerRef lockTimer_;
    int64_t timeAccount_ = 0;
    int okvCountDown_ = 0;
    bool isATimerOn_ = false;
    std::vector<std::string> decodeArray_;
    DigitSpeaker speaker_;

    // Approvals: the list of the last poll, the request on the alert (taken
    // when the alert is raised) and the requests the user ignored.
    std::vector<hub::VerifyRequest> oneKeyVeryifyArray_;
    std::optional<hub::VerifyRequest> shownRequest_;
    hub::IgnoredRequests rejectedOKVDic_;
    std::string pollURL_;

    // Requests made here rather than by the command cycle (photo, advert
    // picture, store look-up), kept alive until they end.
    std::vector<http::HttpRequestRef> unattended_;
};
