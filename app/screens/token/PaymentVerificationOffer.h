#pragma once
// Turning payment verification on from the code screen: the screen's button
// asks the server for the user's payment-service account (command 32 in its
// uuid form), the user confirms, the hand-off is marked pending
// (BindingState::VerificationHandedOff) and the payment client app is opened; the main screen
// finishes the switch when the app hands back. Without the payment app the
// user is offered its store page.
//
// The screen owns one offer, calls boudnNimbra() from its button and hands
// its alert answers to alertClicked() first.

#include <optional>
#include <string>

#include "app/cycle/KAVOCommandViewController.h"

class PaymentVerificationOffer {
public:
    static constexpr int kTagGetKorvexID = 1369;
    static constexpr int kInstallAlertTag = 9987;
    static constexpr int kConfirmAlertTag = 1368;

    // Registers command 32 on the screen.
    explicit PaymentVerificationOffer(KAVOCommandViewController& screen);

    // The payment-verification buttons' action.
    void boudnNimbra();
    // True when the alert was the offer's (and was answered here).
    bool alertClicked(ui::AlertView* alertView, int buttonIndex);

    // From the last reply 202: the payment-service account and its token.
    const std::optional<std::string>& korvexCount() const { return korvexCount_; }
    const std::optional<std::string>& kvToken() const { return kvToken_; }

    // The confirmation's message for the account.
    static std::string confirmMessage(const std::string& account, bool cert);
    static constexpr const char* kNotInstalledMessage =
        "您尚未安装应用“迅付”\n无法进行付款验证开通操作\n是否现在就安装”迅付“？";

private:
    void handleReply(const CommandReply& reply);
    void notice(const std::string& message);

    KAVOCommandViewController& screen_;
    std::optional<std::string> korvexCount_;
    std::optional<std::string> kvToken_;
};
