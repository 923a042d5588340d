#include "app/screens/token/PaymentVerificationOffer.h"

#include "app/core/BindingState.h"
#include "app/core/Deployment.h"
#include "app/core/Envelope.h"
#include "app/core/PaymentAppHandOff.h"
#include "app/core/Replies.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"

namespace {

constexpr const char* kCategory = "binding";
constexpr const char* kAction = "InKorvexBinding";

void track(const char* label) { ScreenAnalytics::trackEvent(kCategory, kAction, std::string(label)); }

}  // namespace

PaymentVerificationOffer::PaymentVerificationOffer(KAVOCommandViewController& screen) : screen_(screen) {
    ScreenCommand command;
    command.tag = kTagGetKorvexID;
    command.waitingText = "正在获取帐户信息";
    command.waitSlice = 9;
    command.handshake = false;
    command.invalidReply = FailureReport::notice();
    command.assembleURL = [](const Answer&, const foundation::Value&) -> std::optional<std::string> {
        std::optional<std::string> payload =
            JsonPayload(
                32,
                foundation::Dictionary{{"uuid", Constants::getValueFromDBByKey(StoreKeys::uuid).value_or("(null)")}})
                .text();
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    command.onReply = [this](const CommandReply& reply) { handleReply(reply); };
    screen_.registerCommand(std::move(command));
}

void PaymentVerificationOffer::boudnNimbra() {
    track("inKorvexBindButtonPush");
    if (ui::Application::shared().canOpenURL(PaymentAppHandOff::kScheme)) {
        screen_.popOutProgressHUD(kTagGetKorvexID);
        return;
    }
    Constants::compicatedAlertViewWithTitle("警告", kNotInstalledMessage, kInstallAlertTag, &screen_);
    track("inKorvexNimbraNotInstalled");
}

std::string PaymentVerificationOffer::confirmMessage(const std::string& account, bool cert) {
    if (cert)
        return "检测到您是岚付通数字证书用户\n是否停用数字证书并为帐号\n" + account +
               "\n开通付款验证？\n(更加便捷，安全性不变)";
    return "是否为岚付通帐号\n" + account + "\n开通付款验证？";
}

void PaymentVerificationOffer::handleReply(const CommandReply& reply) {
    foundation::ErrorRef problem;
    auto answer = reply.as<KorvexAccountReply>(&problem);
    if (answer && answer->result == 202) {
        korvexCount_ = answer->username;
        kvToken_ = std::to_string(*answer->sid);
        Constants::compicatedAlertViewWithTitle("提示", confirmMessage(*korvexCount_, answer->cert), kConfirmAlertTag,
                                                &screen_);
        track(answer->cert ? "inKorvexStopCertAndBind" : "inKorvexDirectBind");
        return;
    }
    if (!answer) foundation::log("payment account reply: ", problem->message);
    // A reply that cannot be read says no more than "no payment account".
    notice(korvexRefusalNotice(answer.value_or(KorvexAccountReply{})));
}

void PaymentVerificationOffer::notice(const std::string& message) {
    DnNotificationManager::notificationWithMessageForAlert(message, ui::Image::named(kNoticeImageName), screen_.view());
}

bool PaymentVerificationOffer::alertClicked(ui::AlertView* alertView, int buttonIndex) {
    const int tag = alertView->tag();
    if (tag != kInstallAlertTag && tag != kConfirmAlertTag) return false;
    if (buttonIndex != 0) return true;  // "取消"
    if (tag == kInstallAlertTag) {
        track("inKorvexToInstallNimbra");
        ui::Application::shared().openURL(Deployment::paymentAppStoreAddress());
        return true;
    }
    if (!korvexCount_ || !kvToken_) return true;
    std::optional<std::string> url = PaymentAppHandOff::url(*korvexCount_, *kvToken_);
    if (!url) return true;
    auto& defaults = foundation::UserDefaults::standard();
    binding::store(binding::BindingState::VerificationHandedOff);
    defaults.synchronize();
    track("inKorvexCallNimbra");
    ui::Application::shared().openURL(*url);
    return true;
}
