#pragma once
// The one-time-password tab ("OTP"): the six digits flipping on the engine
// layer, the countdown text and bar of the 30-second window, time
// calibration against the server, reading the code aloud, the switch that
// puts the code on the main screen, and turning payment verification on.
// Live only while the payment-binding state is 3 or 10; otherwise it shows
// an information text alone.

#include <memory>
#include <string>
#include <vector>

#include "app/core/BindingState.h"
#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/shared/DigitSpeaker.h"
#include "app/screens/shared/LiveCode.h"
#include "app/screens/token/CodeScreenParts.h"
#include "app/screens/token/OTPLayer.h"
#include "app/screens/token/PaymentVerificationOffer.h"
#include "app/screens/token/ProductTab.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/kit/StripedProgressBar.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"

class OtpViewController : public KAVOCommandViewController, public ProductTab, public engine2d::GxDirectorDelegate {
public:
    static constexpr const char* kScreenIdentifier = "OTP";
    static constexpr int kTagServerTime = 1396;

    OtpViewController();
    ~OtpViewController() override;
    const char* className() const override { return "OtpViewController"; }

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) override {
        return o == ui::InterfaceOrientation::Portrait;
    }

    // Actions.
    void timeCheck();
    void playerSound();
    void showFast();
    void boudnNimbra();
    // The live code's one-second tick.
    void onTime(const screens::LiveCode::Tick& tick);

    // What a test reads.
    bool isLive() const { return live_; }
    const std::string& code() const { return code_; }
    int amount() const { return amount_; }
    const std::shared_ptr<OTPLayer>& layer() const { return layArray_.layer; }
    const std::shared_ptr<engine2d::GxScene>& scene() const { return layArray_.scene; }
    ui::Label* lable() const { return lable_.get(); }
    StripedProgressBar* progressView() const { return progressView_.get(); }
    ui::Button* fastShowButton() const { return fast_show_btn_.get(); }
    ui::Button* soundButton() const { return soundBtn_.get(); }
    ui::Button* timeButton() const { return timeButton_.get(); }
    ui::Button* paymentButton() const { return show_korvex_B_.get(); }
    ui::ImageView* backGroundImage() const { return backGroundImage_.get(); }
    ui::Label* notificateBar() const { return notificateBar_.get(); }
    ui::Label* notificateArea() const { return notificateArea_.get(); }
    bool hasTimer() const { return liveCode_.hasTimer(); }
    const DigitSpeaker& speaker() const { return speaker_; }
    const PaymentVerificationOffer& offer() const { return offer_; }

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    void setInitDate();
    void showAomunt();
    void showDcode();
    void showButton();
    void showCountdown(int moment);
    std::shared_ptr<ui::Button> roundButton(const ui::Rect& frame, const std::string& title);

    token::StoredToken dkbase_;
    bool live_ = false;
    binding::BindingState boundState_ = binding::BindingState::None;
    int amount_ = 0;
    std::string code_;
    std::vector<std::string> decodeArray_;
    bool showFast_ = false;
    OTPLayer::Pair layArray_;
    screens::LiveCode liveCode_;
    bool engineAttached_ = false;
    DigitSpeaker speaker_;
    PaymentVerificationOffer offer_;

    std::shared_ptr<ui::Button> soundBtn_, timeButton_, fast_show_btn_, show_korvex_, show_korvex_B_;
    std::shared_ptr<StripedProgressBar> progressView_;
    std::shared_ptr<ui::Label> lable_, notificateBar_, notificateArea_;
    std::shared_ptr<ui::ImageView> backGroundImage_;
};
