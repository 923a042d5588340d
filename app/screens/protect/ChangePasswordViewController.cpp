#include "app/screens/protect/ChangePasswordViewController.h"

#include "app/core/Envelope.h"
#include "app/core/Replies.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/protect/PasswordChange.h"
#include "app/screens/protect/ScreenParts.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

namespace {

// The verdict of the server: {"isSuccess", "message"}.
struct PasswordReply {
    bool isSuccess = false;
    std::optional<std::string> message;
    static std::optional<PasswordReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
        ReplyReader r(value);
        PasswordReply out;
        out.isSuccess = r.optionalBoolean("isSuccess").value_or(false);
        out.message = r.optionalText("message");
        return r.finish(out, error);
    }
};

}  // namespace

ChangePasswordViewController::ChangePasswordViewController() {
    ScreenCommand change;
    change.tag = kTagChangePassword;
    change.waitingText = "正在修改密码";
    change.waitSlice = 15;
    change.handshakeFailure = FailureReport::notice();
    change.invalidReply = FailureReport::alert("警告", kLeaveAlertTag);
    change.stopOnRequestError = true;
    // The password is in the argument only: it is never logged.
    change.assembleURL = [](const Answer& answer, const foundation::Value& argument) -> std::optional<std::string> {
        const std::string* password = argument.asString();
        if (!password) return std::nullopt;
        return requestAddressForPayload(
            TextPayload(kTagChangePassword, {answer.uuid.value_or("(null)"), answer.answer.value_or("(null)"),
                                             passwordchange::escapePassword(*password)})
                .text());
    };
    change.onReply = [this](const CommandReply& reply) { handleReply(reply); };
    registerCommand(std::move(change));
}

void ChangePasswordViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    setTitle("修改密码");
    view()->setBackgroundColor(ui::Color::white(0.93));

    auto intro = ui::Label::create({20, 24, 280, 40});
    intro->setNumberOfLines(2);
    intro->setFont(ui::Font::systemFont(13));
    intro->setTextColor(ui::Color::white(0.35));
    intro->setBackgroundColor(ui::Color::clearColor());
    intro->setText("为禾川账号设置新的登录密码，密码规则以服务器的校验为准。");
    view()->addSubview(intro);

    wordLabel_ = ui::Label::create({20, 80, 60, 36});
    wordLabel_->setText("新密码");
    wordLabel_->setFont(ui::Font::boldSystemFont(15));
    wordLabel_->setTextColor(ui::Color::white(30.0 / 255));
    wordLabel_->setBackgroundColor(ui::Color::clearColor());
    view()->addSubview(wordLabel_);

    passwordTxt_ = std::make_shared<ui::TextField>(ui::Rect{80, 80, 170, 36});
    passwordTxt_->setBorderStyle(ui::TextBorderStyle::RoundedRect);
    passwordTxt_->setPlaceholder("请输入新密码");
    passwordTxt_->setSecureTextEntry(true);
    passwordTxt_->setDelegate(this);
    view()->addSubview(passwordTxt_);

    displayPassword_ = std::make_shared<ui::Button>(ui::Rect{256, 80, 48, 36});
    displayPassword_->setBackgroundImage(ui::Image::named("dis_pass_up.png"));
    displayPassword_->setTitle("显示");
    // Light on both the slate and the teal picture.
    displayPassword_->setTitleColor(ui::Color::whiteColor());
    displayPassword_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { dispalypassword(); }, ui::kControlEventTouchUpInside);
    view()->addSubview(displayPassword_);

    auto confirm = std::make_shared<ui::Button>(ui::Rect{20, 140, 280, 40});
    confirm->setBackgroundImage(protectui::buttonImage());
    confirm->setTitle("确认修改");
    confirm->setTitleColor(ui::Color::whiteColor());
    confirm->addTarget(
        this, [this](ui::Control*, const ui::Event*) { changePassWord(); }, ui::kControlEventTouchUpInside);
    view()->addSubview(confirm);

    display_ = false;
    Constants::portUIForiPhone5(35, this);
    ScreenAnalytics::trackPageview("changePassword");
}

void ChangePasswordViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    protectui::installBackButton(*this);
}

void ChangePasswordViewController::viewDidAppear(bool animated) {
    KAVOCommandViewController::viewDidAppear(animated);
    passwordTxt_->becomeFirstResponder();
}

void ChangePasswordViewController::viewWillDisappear(bool animated) {
    passwordTxt_->setText("");
    KAVOCommandViewController::viewWillDisappear(animated);
}

bool ChangePasswordViewController::textFieldShouldReturn(ui::TextField* field) {
    field->resignFirstResponder();
    return true;
}

void ChangePasswordViewController::changePassWord() {
    passwordTxt_->resignFirstResponder();
    const std::string password = passwordTxt_->text();
    if (password.empty()) {
        protectui::notice(view(), "新密码不能为空");
        passwordTxt_->becomeFirstResponder();
        return;
    }
    if (popOutProgressHUD(kTagChangePassword, foundation::Value(password)))
        ScreenAnalytics::trackEvent("changePassword", "ChangePassWord", std::string("changePwdButtonPushed"));
}

void ChangePasswordViewController::dispalypassword() {
    if (display_) {
        displayPassword_->setBackgroundImage(ui::Image::named("dis_pass_up.png"));
        displayPassword_->setTitle("显示");
        displayPassword_->setTitleColor(ui::Color::white(0.2));
        wordLabel_->setTextColor(ui::Color::white(30.0 / 255));
        wordLabel_->setShadowOffset({0, 0});
        passwordTxt_->resignFirstResponder();
        passwordTxt_->setSecureTextEntry(true);
        display_ = false;
    } else {
        displayPassword_->setBackgroundImage(ui::Image::named("dis_pass_on.png"));
        displayPassword_->setTitle("隐藏");
        displayPassword_->setTitleColor(ui::Color::whiteColor());
        wordLabel_->setShadowColor(ui::Color::rgba(2.0 / 255, 83.0 / 255, 103.0 / 255));
        wordLabel_->setShadowOffset({0, -1});
        wordLabel_->setTextColor(ui::Color::rgba(0, 204.0 / 255, 1));
        passwordTxt_->setSecureTextEntry(false);
        display_ = true;
    }
}

void ChangePasswordViewController::handleReply(const CommandReply& reply) {
    foundation::ErrorRef problem;
    auto verdict = reply.as<PasswordReply>(&problem);
    if (verdict && verdict->isSuccess) {
        Constants::normalAlertViewWithTitle("提示", "密码修改成功", kLeaveAlertTag, this);
        ScreenAnalytics::trackEvent("changePassword", "ChangePassWord", std::string("changePwdSuccess"));
        return;
    }
    if (verdict && verdict->message) protectui::notice(view(), passwordchange::refusalNotice(*verdict->message));
}

void ChangePasswordViewController::alertClicked(ui::AlertView* alertView, int) {
    if (alertView->tag() == kLeaveAlertTag && navigationController())
        navigationController()->popViewControllerAnimated(true);
}
