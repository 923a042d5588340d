#include "app/screens/pin/SetPinScreens.h"

#include "app/core/StoreKeys.h"
#include "app/core/UpdateDataToSqlite.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/pin/PinHelp.h"
#include "app/screens/pin/PinViews.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

void PinStepScreen::buildCommon(const std::string& title, const std::string& firstPrompt, const std::string& pageWord) {
    setTitle(title);
    view()->setBackgroundColor(ui::Color::rgba(0.94, 0.95, 0.96));
    pinviews::installBackButton(*this);
    prompt_ = pinviews::caption(view(), {20, 16, 280, 22}, firstPrompt, 15);
    entry_ = std::make_unique<FourDotEntry>(view(), 48, [this] { finishLoading(); });
    Constants::portUIForiPhone5(35, this);
    ScreenAnalytics::trackPageview(pageWord);
}

void PinStepScreen::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    entry_->field()->becomeFirstResponder();
}

void PinStepScreen::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
}

void PinStepScreen::clickedButtonAtIndex(ui::AlertView* alertView, int) {
    if (alertView->tag() == kDoneAlertTag) {
        if (auto* nav = navigationController()) nav->popViewControllerAnimated(true);
    }
}

// ------------------------------------------------------------------ set

void SoftPasswordViewController::viewDidLoad() {
    buildCommon("设置启动密码", "请输入软件启动密码", "setStartPassword");
    safePasswordBtn_ = std::make_shared<ui::Button>(ui::Rect{60, 112, 200, 26});
    safePasswordBtn_->setImage(ui::Image::named("check_on"));
    safePasswordBtn_->setImage(ui::Image::named("check_off"), ui::kControlStateSelected);
    safePasswordBtn_->setTitle(" 开启防暴力猜解");
    safePasswordBtn_->setTitleColor(ui::Color::rgba(0.2, 0.22, 0.25));
    safePasswordBtn_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { safePassword(); }, ui::kControlEventTouchUpInside);
    view()->addSubview(safePasswordBtn_);
    pinviews::installHelpButton(*this, [this] { helpBtn(); });
}

void SoftPasswordViewController::viewWillAppear(bool animated) {
    PinStepScreen::viewWillAppear(animated);
    isSafePassword_ = true;
    safePasswordBtn_->setSelected(false);
}

void SoftPasswordViewController::safePassword() {
    isSafePassword_ = !isSafePassword_;
    safePasswordBtn_->setSelected(!isSafePassword_);
    if (isSafePassword_)
        Constants::simpleAlertViewWithTitle(
            "开启防暴力猜解", "如果连续输错密码达5次，软件将被冻结30分钟。具体信息请点击本页右上角的帮助按钮查看！");
    else
        Constants::simpleAlertViewWithTitle("关闭防暴力猜解",
                                            "输入密码错误次数无限制，具体信息请点击本页右上角的帮助按钮查看！");
}

void SoftPasswordViewController::finishLoading() {
    const std::string typed = entry_->text();
    if (firstPwd_ == "null") {
        firstPwd_ = typed;
        prompt_->setText("重新输入软件启动密码");
        entry_->reset();
        return;
    }
    if (typed != firstPwd_) {
        prompt_->setText("两次输入的密码不一致，请重新输入");
        firstPwd_ = "null";
        entry_->reset();
        return;
    }
    UpdateDataToSqlite::updateData(firstPwd_, StoreKeys::passward);
    UpdateDataToSqlite::updateData(isSafePassword_ ? "1" : "0", StoreKeys::safe_password);
    std::string message =
        std::string("软件启动密码设置成功，你") + (isSafePassword_ ? "开启了" : "没有开启") + "防暴力猜解，" +
        (isSafePassword_ ? "如果输入5次密码连续错误，将会冻结软件30分钟。" : "输入密码错误次数不受限制。");
    Constants::normalAlertViewWithTitle("设置成功", message, kDoneAlertTag, this);
    ScreenAnalytics::trackEvent("setStartPassWord", "CreateStartPassword", std::nullopt);
}

void SoftPasswordViewController::helpBtn() {
    pinhelp::Help help = pinhelp::setPin();
    pinviews::showHelp(*this, help.questions, help.answers, "QuickHelp/shezhiqidongMima",
                       [this] { entry_->field()->becomeFirstResponder(); });
}

// ------------------------------------------------------------------ change

void ModifySoftPwdViewController::viewDidLoad() { buildCommon("修改启动密码", "请输入旧密码", "modifyStartPassword"); }

void ModifySoftPwdViewController::finishLoading() {
    const std::string typed = entry_->text();
    if (firstPwd_ == "null") {
        if (typed == Constants::getValueFromDBByKey(StoreKeys::passward).value_or("(null)")) {
            firstPwd_ = typed;
            prompt_->setText("请输入新密码");
        } else {
            prompt_->setText("旧密码输入错误，请重新输入");
        }
    } else if (secondPwd_ == "null") {
        secondPwd_ = typed;
        prompt_->setText("再次输入新密码");
    } else {
        thirdPwd_ = typed;
        if (thirdPwd_ == secondPwd_) {
            Constants::upDateDBSetValue(secondPwd_, StoreKeys::passward);
            Constants::normalAlertViewWithTitle("修改成功", "软件启动密码修改成功", kDoneAlertTag, this);
        } else {
            secondPwd_ = thirdPwd_ = "null";
            prompt_->setText("两次新密码输入不一致，请重新输入");
        }
    }
    entry_->reset();
}

// ------------------------------------------------------------------ delete

void DeleteSoftPwdViewController::viewDidLoad() { buildCommon("删除启动密码", "请输入旧密码", "deleteStartPassword"); }

void DeleteSoftPwdViewController::finishLoading() {
    const std::string typed = entry_->text();
    if (typed == Constants::getValueFromDBByKey(StoreKeys::passward).value_or("(null)")) {
        Constants::upDateDBSetValue("null", StoreKeys::passward);
        Constants::normalAlertViewWithTitle("删除成功", "软件启动密码删除成功！", kDoneAlertTag, this);
        return;
    }
    entry_->reset();
    prompt_->setText("旧密码输入错误，请重新输入");
}
