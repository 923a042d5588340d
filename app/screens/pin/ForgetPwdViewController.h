#pragma once
// The forgotten-PIN screen: the safe phone and the de-registration password
// prove the owner (command 26); then the PIN and the freeze are cleared and
// the user goes in. Under the anti-brute-force protection a refused check
// counts as a wrong PIN. The quick de-registration (command 24) unbinds the
// phone, wipes the app's data and ends it.

#include <memory>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/pin/PinModel.h"

class ForgetPwdViewController : public KAVOCommandViewController {
public:
    static constexpr int kTagVerify = 26;
    static constexpr int kTagLogout = 24;
    static constexpr int kRefusedAlertTag = 3;
    static constexpr int kClearedAlertTag = 4;
    static constexpr int kConfirmLogoutAlertTag = 150;

    ForgetPwdViewController();
    const char* className() const override { return "ForgetPwdViewController"; }
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void submit_click();
    void fastDeleteAcc();
    void helpAction();

    ui::TextField* pwdSafePhone() const { return phone_.get(); }
    ui::TextField* pwdSafePwd() const { return password_.get(); }
    ui::Button* safeBtn() const { return safeBtn_.get(); }

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    void verifyReply(const CommandReply& reply);
    void logoutReply(const CommandReply& reply);
    // The submit button is off while the app is frozen or about to be.
    void testSubmit();

    pin::softPwd softpwd_;
    std::shared_ptr<ui::TextField> phone_, password_;
    std::shared_ptr<ui::Button> safeBtn_, fastBtn_;
};
