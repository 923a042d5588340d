#include "app/screens/bind/KorvexRoad.h"

#include "app/core/BindingState.h"
#include "app/core/Deployment.h"
#include "app/core/Envelope.h"
#include "app/core/PaymentAppHandOff.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/bind/BindViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"

using namespace BindModel;

namespace {

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

}  // namespace

KorvexRoad::KorvexRoad(BindViewController& screen, BindOutcome& outcome) : screen_(screen), outcome_(outcome) {}

void KorvexRoad::registerCommands() {
    // Command 32: the payment account of the account named by the user.
    ScreenCommand account = ScreenCommand::bindingStep(BindViewController::kTagKorvexAccount, "正在获取帐户信息");
    account.waitSlice = 9;
    account.handshake = false;
    account.assembleURL = [](const Answer&, const foundation::Value& argument) -> std::optional<std::string> {
        const std::string* name = argument.asString();
        if (!name) return std::nullopt;
        foundation::Dictionary fields;
        fields.set("nick", foundation::Value(*name));
        auto payload = JsonPayload(32, std::move(fields)).text();
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    account.onFailure = [this](http::HttpRequest&) { outcome_.failed(Road::Korvex, kNetworkNotice, std::nullopt); };
    account.onReply = [this](const CommandReply& reply) { handleAccount(reply); };
    screen_.registerCommand(std::move(account));

    // Command 34: the token the payment client handed back, after a
    // first-bind handshake.
    ScreenCommand korvex = ScreenCommand::bindingStep(BindViewController::kTagKorvexBind, "正在绑定");
    korvex.assembleURL = [this](const Answer& answer, const foundation::Value& argument) -> std::optional<std::string> {
        outcome_.rememberAnswer(answer);
        const std::string* token = argument.asString();
        if (!token) return std::nullopt;
        const auto stored = defaults().stringForKey(kTokenFromKorvexKey);
        defaults().removeObjectForKey(kTokenFromKorvexKey);
        defaults().synchronize();
        auto payload = JsonPayload(34, korvexBindFields(answer, *token, stored, DeviceFields::of(foundation::device()),
                                                        pushToken()))
                           .text();
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    korvex.onReply = [this](const CommandReply& reply) { outcome_.handleReply(reply, Road::Korvex); };
    korvex.onFailure = [this](http::HttpRequest&) { outcome_.failed(Road::Korvex, kNetworkNotice, std::nullopt); };
    screen_.registerCommand(std::move(korvex));
}

void KorvexRoad::handleAccount(const CommandReply& reply) {
    foundation::ErrorRef problem;
    auto account = reply.as<KorvexAccountReply>(&problem);
    if (!account) {
        foundation::log("payment account reply: ", problem->message);
        outcome_.notice(kNetworkNotice);
        return;
    }
    if (account->result != 202) {
        outcome_.notice(korvexRefusalNotice(*account));
        return;
    }
    if (!ui::Application::shared().canOpenURL(PaymentAppHandOff::kScheme)) {
        Constants::compicatedAlertViewWithTitle("警告",
                                                "您尚未安装“迅付”应用，无法进行迅付绑定操作\n现在就安装”迅付“？",
                                                BindViewController::kAlertInstall, &screen_);
        BindOutcome::track(Road::Korvex, std::string("korvexNimbraNotInstalled"));
        return;
    }
    korvexCount_ = *account->username;
    kvToken_ = std::to_string(*account->sid);
    defaults().setString(kTokenFromKorvexKey, kvToken_);
    defaults().synchronize();
    Constants::compicatedAlertViewWithTitle("提示",
                                            handOffQuestion(account->cert, Constants::hideKorvexName(korvexCount_)),
                                            BindViewController::kAlertHandOff, &screen_);
    BindOutcome::track(Road::Korvex, std::string(account->cert ? "korvexStopCertAndBind" : "korvexDirectBind"));
}

void KorvexRoad::start() {
    auto alert = ui::AlertView::create("请输入您的禾川账号", "", &screen_, "确定", {"取消"});
    alert->setAlertViewStyle(ui::AlertViewStyle::PlainTextInput);
    alert->setTag(BindViewController::kAlertKorvexName);
    alert->show();
    BindOutcome::track(Road::Korvex, std::string("korvexBindButtonPush"));
}

void KorvexRoad::nameGiven(const std::string& name) {
    screen_.popOutProgressHUD(BindViewController::kTagKorvexAccount, foundation::Value(name));
    BindOutcome::track(Road::Korvex, std::string("korvexSubmitName"));
}

void KorvexRoad::handOffAnswered(int buttonIndex) {
    if (buttonIndex != 0) return;
    if (auto url = PaymentAppHandOff::url(korvexCount_, kvToken_)) {
        binding::store(binding::BindingState::BindingHandedOff);
        defaults().synchronize();
        BindOutcome::track(Road::Korvex, std::string("korvexCallNimbra"));
        ui::Application::shared().openURL(*url);
    } else {
        outcome_.notice(kNetworkNotice);
    }
}

void KorvexRoad::installAnswered(int buttonIndex) {
    if (buttonIndex != 0) return;
    BindOutcome::track(Road::Korvex, std::string("korvexToInstallNimbra"));
    ui::Application::shared().openURL(Deployment::paymentAppStoreAddress());
}

void KorvexRoad::handBackCheck() {
    if (binding::stored() != binding::BindingState::BindingHandedOff) {
        defaults().setString(StoreKeys::korvextoken, "");
        defaults().synchronize();
        return;
    }
    const auto stored = defaults().stringForKey(StoreKeys::korvextoken);
    defaults().setString(StoreKeys::korvextoken, "");
    const HandBack handBack = HandBack::of(stored);
    switch (handBack.kind) {
        case HandBack::Error:
            binding::store(binding::BindingState::None);
            Constants::simpleAlertViewWithTitle("迅付绑定失败", handBack.text);
            BindOutcome::track(Road::Korvex, std::string("korvexGetTokenFailed"));
            break;
        case HandBack::Token:
            screen_.popOutProgressHUD(BindViewController::kTagKorvexBind, foundation::Value(handBack.text));
            BindOutcome::track(Road::Korvex, std::string("korvexGetTokenSucces"));
            break;
        case HandBack::Interrupted:
            binding::store(binding::BindingState::None);
            Constants::simpleAlertViewWithTitle("迅付绑定失败", "操作中断，请重试");
            BindOutcome::track(Road::Korvex, std::string("korvexGetTokenInterrupted"));
            break;
    }
    defaults().synchronize();
}
