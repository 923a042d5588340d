#include "app/screens/hub/PaymentHandBack.h"

#include <cstdio>

#include "app/core/BindingState.h"
#include "app/core/Envelope.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/hub/HubModel.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"

namespace hub {

namespace {

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

}  // namespace

PaymentHandBack::PaymentHandBack(KAVOCommandViewController& screen, int tag, MainPageInfo& info,
                                 std::function<void()> showCode, std::function<void()> showFast)
    : screen_(screen), tag_(tag), info_(info), showCode_(std::move(showCode)), showFast_(std::move(showFast)) {}

void PaymentHandBack::registerCommand() {
    // Command 33: payment verification on, after the payment app handed back.
    ScreenCommand korvex;
    korvex.tag = tag_;
    korvex.waitingText = "正在进行绑定操作...";
    korvex.emptyContentIsInvalid = true;
    korvex.testsRemoteLogOut = false;
    korvex.handshakeFailure = FailureReport::alert("错误");
    korvex.invalidReply = FailureReport::silent();
    korvex.onFailure = [](http::HttpRequest&) {};
    korvex.assembleURL = [](const Answer& answer, const foundation::Value& token) -> std::optional<std::string> {
        std::optional<std::string> payload =
            JsonPayload(33, foundation::Dictionary{{"uuid", answer.uuid.value_or("(null)")},
                                                   {"answer", answer.answer.value_or("")},
                                                   {"korvexTokenId", token.description()}})
                .text();
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    korvex.onReply = [this](const CommandReply& reply) { handleReply(reply); };
    screen_.registerCommand(std::move(korvex));
}

void PaymentHandBack::check() {
    if (binding::stored() == binding::BindingState::VerificationHandedOff) {
        const OptionalText token = defaults().stringForKey(StoreKeys::korvextoken);
        defaults().setString(StoreKeys::korvextoken, "");
        binding::store(binding::storedLast());
        const HandBack handBack = readHandBack(token);
        if (handBack.kind == HandBack::Send) {
            screen_.popOutProgressHUD(tag_, foundation::Value(handBack.text));
        } else {
            showFast_();
            Constants::simpleAlertViewWithTitle(kKorvexFailedTitle, handBack.text);
        }
        ScreenAnalytics::trackEvent("binding", "InKorvexBinding", handBack.label());
    } else {
        defaults().setString(StoreKeys::korvextoken, "");
    }
    defaults().synchronize();
}

void PaymentHandBack::handleReply(const CommandReply& reply) {
    std::string label = "inKorvexBindFailed";
    auto answer = reply.as<KorvexReply>();
    if (!answer) {
        Constants::simpleAlertViewWithTitle("提示", "岚付通付款验证开通成功失败");
    } else if (answer->result == 202) {
        char diff[32];
        std::snprintf(diff, sizeof diff, "%lli", diffFromChecktime(*answer->checktime, foundation::clock().now()));
        if (!storeKorvexBinding(*answer->bid, diff)) {
            // The old key and difference stay; the state says nothing changed.
            Constants::simpleAlertViewWithTitle("提示", kDataNotSavedMessage);
            showFast_();
            ScreenAnalytics::trackEvent("binding", "InKorvexBinding", label);
            return;
        }
        binding::storeBoth(binding::BindingState::PaymentVerification);
        defaults().synchronize();
        info_.bid = answer->bid;
        info_.difftime = diff;
        // Moved in: g++ 12 at -O2 warns falsely (-Wrestrict) on copying the literal.
        info_.isOtpFast = std::string("1");
        showCode_();
        Constants::simpleAlertViewWithTitle("提示", "岚付通付款验证开通成功");
        label = "inKorvexBindSuccess";
    } else {
        Constants::simpleAlertViewWithTitle("提示", foundation::describe(answer->message));
    }
    showFast_();
    ScreenAnalytics::trackEvent("binding", "InKorvexBinding", label);
}

}  // namespace hub
