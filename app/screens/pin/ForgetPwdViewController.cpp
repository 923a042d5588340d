#include "app/screens/pin/ForgetPwdViewController.h"

#include "app/core/Deployment.h"
#include "app/core/Envelope.h"
#include "app/core/LogoutAccount.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/pin/PinHelp.h"
#include "app/screens/pin/PinViews.h"
#include "platform/foundation/App.h"
#include "platform/ui/Navigation.h"

ForgetPwdViewController::ForgetPwdViewController() {
    ScreenCommand verify;
    verify.tag = kTagVerify;
    verify.waitingText = "正在检验远程注销信息...请稍候";
    verify.waitSlice = 9;
    verify.handshake = false;  // the stored uuid goes with the safe phone
    verify.plainTextReply = true;
    verify.invalidReply = FailureReport::notice();
    verify.requestFailure = FailureReport::notice();
    verify.assembleURL = [](const Answer& answer, const foundation::Value& argument) -> std::optional<std::string> {
        std::vector<std::string> fields{answer.uuid.value_or("(null)")};
        if (const auto* list = argument.asArray())
            for (const auto& item : *list) fields.push_back(item.description());
        for (const auto& field : fields)
            if (field.find_first_of(",;") != std::string::npos) return std::nullopt;
        return requestAddressForPayload(TextPayload(kTagVerify, fields).text());
    };
    verify.onReply = [this](const CommandReply& reply) { verifyReply(reply); };
    registerCommand(std::move(verify));

    ScreenCommand logout;
    logout.tag = kTagLogout;
    logout.waitingText = "正在进行注销操作...请稍候";
    logout.waitSlice = 15;
    logout.handshake = true;
    logout.handshakeFailure = FailureReport::notice();
    logout.invalidReply = FailureReport::notice();
    logout.requestFailure = FailureReport::notice();
    logout.assembleURL = [](const Answer& answer, const foundation::Value&) -> std::optional<std::string> {
        std::optional<std::string> payload = LogoutAccount::payload(answer);
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    logout.onReply = [this](const CommandReply& reply) { logoutReply(reply); };
    registerCommand(std::move(logout));
}

void ForgetPwdViewController::viewDidLoad() {
    setTitle("忘记启动密码");
    view()->setBackgroundColor(ui::Color::rgba(0.94, 0.95, 0.96));
    pinviews::installBackButton(*this);
    ui::View* root = view();
    pinviews::caption(root, {20, 10, 280, 36}, "请输入开通远程注销时设置的安全手机号和注销密码", 12);
    phone_ = pinviews::field(root, {30, 50, 260, 34}, "安全手机号", ui::KeyboardType::NumberPad, false);
    password_ = pinviews::field(root, {30, 92, 260, 34}, "注销密码", ui::KeyboardType::NumberPad, true);
    safeBtn_ = pinviews::button(root, {30, 134, 260, 34}, "校验并进入软件", [this] { submit_click(); });
    fastBtn_ = pinviews::button(root, {30, 180, 260, 34}, "快速注销", [this] { fastDeleteAcc(); });
    pinviews::installHelpButton(*this, [this] { helpAction(); });
    Constants::portUIForiPhone5(35, this);
    ScreenAnalytics::trackPageview("forgetPWD");
}

void ForgetPwdViewController::testSubmit() {
    const bool blocked = !softpwd_.protectionOff() && (softpwd_.frozen() || softpwd_.failures() >= pin::kMaxFailures);
    safeBtn_->setEnabled(!blocked);
}

void ForgetPwdViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    softpwd_ = pin::softPwd::load(false);
    testSubmit();
}

void ForgetPwdViewController::submit_click() {
    if (softpwd_.safePhone == "null") {
        pinviews::notice(*this, "您没有开通远程注销服务");
        return;
    }
    const std::string phone = phone_->text(), password = password_->text();
    if (!pin::isPhoneNumber(phone)) {
        pinviews::notice(*this, "输入的手机号格式错误");
        return;
    }
    // The password may be left empty; otherwise it is what the safe phone's
    // screens accept, so no text can shift the payload's fields.
    if (!password.empty() && !pin::isDeletePassword(password)) {
        pinviews::notice(*this, "注销密码应为10位以内的纯数字密码");
        return;
    }
    pinviews::endEditing(*this);
    popOutProgressHUD(kTagVerify,
                      foundation::Value(foundation::Array{foundation::Value(phone), foundation::Value(password)}));
    ScreenAnalytics::trackEvent(Constants::kOtherCategory, "RemoteDeleteForStartPassword", std::nullopt);
}

void ForgetPwdViewController::verifyReply(const CommandReply& reply) {
    if (reply.text == "true") {
        Constants::upDateDBSetValue("null", StoreKeys::passward);
        Constants::upDateDBSetValue("null", StoreKeys::safe_time);
        Constants::upDateDBSetValue("0", StoreKeys::faild_count);
        Constants::normalAlertViewWithTitle("启动密码删除成功",
                                            "您的软件启动密码已经删除，如果需要可以重新设置启动密码，但一定要记住哦！",
                                            kClearedAlertTag, this);
        return;
    }
    if (Constants::getValueFromDBByKey(StoreKeys::safe_password) == std::optional<std::string>("1")) {
        const int count =
            std::min(pin::leadingCount(Constants::getValueFromDBByKey(StoreKeys::faild_count).value_or("0")) + 1,
                     pin::kMaxFailures);
        Constants::upDateDBSetValue(std::to_string(count), StoreKeys::faild_count);
        softpwd_.failCounts = std::to_string(count);
        softpwd_.isSafePwd = std::string("1");  // moved in: GCC's -Wrestrict misfires on = "1"
        testSubmit();
        Constants::normalAlertViewWithTitle(
            "校验失败", "您的远程注销信息校验错误！此校验错误次数也会加入到防暴力猜解保护中，错误达5次会冻结30分钟。",
            kRefusedAlertTag, this);
    } else {
        Constants::normalAlertViewWithTitle("校验失败", "您的远程注销信息校验错误！请您稍后再试！", kRefusedAlertTag,
                                            this);
    }
}

void ForgetPwdViewController::fastDeleteAcc() {
    Constants::compicatedAlertViewWithTitle("确定要快速注销？",
                                            "快速注销后，本手机将与你的禾川账号解除绑定。如需再次使用，请到禾盾官网（" +
                                                Deployment::securityCentreSite() + "）重新绑定。",
                                            kConfirmLogoutAlertTag, this);
}

void ForgetPwdViewController::logoutReply(const CommandReply& reply) {
    if (reply.text.empty() || reply.text == "{}") return;
    std::optional<LogoutAccount::Reply> read = reply.as<LogoutAccount::Reply>();
    if (!read || !read->isSuccess) {
        pinviews::notice(*this, LogoutAccount::kFailedNotice);
        return;
    }
    LogoutAccount::wipeAfterLogout(false);
    Constants::normalAlertViewWithTitle(LogoutAccount::kLoggedOutTitle, LogoutAccount::kLoggedOutMessage,
                                        LogoutAccount::kLoggedOutAlertTag, this);
}

void ForgetPwdViewController::helpAction() {
    pinhelp::Help help = pinhelp::forgetPin();
    pinviews::showHelp(*this, help.questions, help.answers, "QuickHelp/wangjiMima");
}

void ForgetPwdViewController::alertClicked(ui::AlertView* alertView, int buttonIndex) {
    switch (alertView->tag()) {
        case kRefusedAlertTag:
            if (auto* nav = navigationController()) nav->popViewControllerAnimated(true);
            break;
        case kClearedAlertTag:
            performSegueWithIdentifier("forgetSuccess");
            break;
        case kConfirmLogoutAlertTag:
            if (buttonIndex == 0) {
                popOutProgressHUD(kTagLogout);
                ScreenAnalytics::trackEvent(Constants::kOtherCategory, "QuickLogOutForStartPassword", std::nullopt);
            }
            break;
        case LogoutAccount::kLoggedOutAlertTag:
            if (buttonIndex == 0) foundation::exitApp(0);
            break;
        default:
            break;
    }
}
