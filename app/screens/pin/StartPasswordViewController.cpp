#include "app/screens/pin/StartPasswordViewController.h"

#include "app/core/Envelope.h"
#include "app/core/StoreKeys.h"
#include "app/core/connectNetCheck.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/pin/PinHelp.h"
#include "app/screens/pin/PinViews.h"
#include "lib/kit/CustomNavigationBar.h"
#include "platform/foundation/App.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

namespace {

const char* const kFetchFailedTitle = "获取解冻时间失败";
const char* const kFrozenNoNetwork = "网络失败。你已被冻结，请检查网络是否畅通，方便软件获取你的解冻时间，谢谢！";
const char* const kFetchingAfterFive = "你已经连续输错5次，正在获取解冻时间...请稍候";

bool networkUp() { return connectNetCheck().connectToNetwork(); }

}  // namespace

StartPasswordViewController::StartPasswordViewController() {
    for (int tag : {kTagDecide, kTagOpen}) {
        ScreenCommand unfreeze;
        unfreeze.tag = tag;
        unfreeze.waitingText = "正在核对解冻时间...请稍候";
        unfreeze.waitSlice = 9;
        unfreeze.handshake = false;
        unfreeze.assembleURL = [](const Answer&, const foundation::Value&) {
            return requestAddressForPayload("22;***");
        };
        unfreeze.invalidReply = FailureReport::alert("警告", kNetworkUnstableMessage, kEndAppAlertTag);
        unfreeze.onFailure = [this](http::HttpRequest&) { timeFailed(); };
        if (tag == kTagDecide)
            unfreeze.onReply = [this](const CommandReply& reply) { decideReply(reply); };
        else
            unfreeze.onReply = [this](const CommandReply& reply) { openReply(reply); };
        registerCommand(std::move(unfreeze));
    }
}

void StartPasswordViewController::viewDidLoad() {
    setTitle("启动密码");
    view()->setBackgroundColor(ui::Color::rgba(0.94, 0.95, 0.96));
    if (auto* nav = navigationController()) {
        if (auto* bar = dynamic_cast<CustomNavigationBar*>(nav->navigationBar()))
            bar->setBackgroundWith(ui::Image::named("title-bar2"));
    }
    ui::View* root = view();
    title_ = pinviews::caption(root, {20, 14, 280, 22}, "请输入软件启动密码", 16);
    entry_ = std::make_unique<FourDotEntry>(root, 44, [this] { finishLoading(); });
    showUpdate_ = pinviews::caption(root, {20, 98, 280, 18}, "启动密码已改版，请按提示输入", 12);
    showUpdate_->setTextColor(ui::Color::rgba(0.75, 0.3, 0.1));
    showUpdate_->setHidden(true);
    txtLabel_ = pinviews::caption(root, {10, 116, 300, 20}, "", 13);
    openbtn_ = pinviews::button(root, {70, 140, 180, 30}, "检查是否已解冻", [this] { isOpenCheck(); });
    openbtn_->setHidden(true);
    forgetBtn_ = pinviews::button(root, {90, 176, 140, 26}, "忘记启动密码？", [this] { forgetPwd(); });
    pinviews::installHelpButton(*this, [this] { showHelp(); });
    Constants::portUIForiPhone5(35, this);
}

void StartPasswordViewController::setInitData(bool showNotice) {
    pin::Migration migration = pin::Migration::None;
    softpwd_ = pin::softPwd::load(true, &migration);
    if (migration != pin::Migration::None) {
        if (showNotice) Constants::simpleAlertViewWithTitle("启动密码改版", pin::migrationNotice(migration));
        showUpdate_->setHidden(false);
    }
}

void StartPasswordViewController::lockEntry(bool showOpenButton) {
    passwordTxt()->resignFirstResponder();
    passwordTxt()->setEnabled(false);
    if (showOpenButton) openbtn_->setHidden(false);
}

void StartPasswordViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    setInitData(true);
    entry_->reset();
    if (softpwd_.protectionOff()) {
        passwordTxt()->setEnabled(true);
        passwordTxt()->becomeFirstResponder();
        txtLabel_->setHidden(true);
        return;
    }
    txtLabel_->setHidden(false);
    if (!softpwd_.frozen() && softpwd_.failures() < pin::kMaxFailures) {
        passwordTxt()->setEnabled(true);
        passwordTxt()->becomeFirstResponder();
        txtLabel_->setText(pin::countLabel(softpwd_.failCounts));
        return;
    }
    if (!softpwd_.frozen()) {  // the fifth wrong PIN has not got its end yet
        if (networkUp()) {
            txtLabel_->setText(kFetchingAfterFive);
            lockEntry(true);
            popOutProgressHUD(kTagDecide);
        } else {
            Constants::normalAlertViewWithTitle(
                "网络失败",
                "网络失败。很抱歉的告诉你，由于您之前连续输入密码错误达5次，按照防暴力猜解规则，将你软件冻结30分钟，"
                "请你打开并检查网络，方便软件计算你的解冻时间，否则你的冻结初始时间会顺延，直到你连接网络为止！",
                kEndAppAlertTag, this);
            lockEntry(false);
            ScreenAnalytics::trackEvent(Constants::kOtherCategory, "WrongPasswordForFive", std::nullopt);
        }
        return;
    }
    if (networkUp()) {
        txtLabel_->setText(pin::frozenUntilLabel(pin::parseWhole(softpwd_.safeTime).value_or(0), false));
        lockEntry(true);
        popOutProgressHUD(kTagDecide);
    } else {
        Constants::normalAlertViewWithTitle(
            kFetchFailedTitle,
            "网络没有打开。很抱歉的告诉你，由于您之前连续输入密码错误达5次，按照防暴力猜解规则，已将你软件冻结。"
            "请你打开并检查网络，方便软件判断你是否已经解冻，请你打开网络后再进入软件。",
            kEndAppAlertTag, this);
        lockEntry(false);
    }
}

void StartPasswordViewController::finishLoading() {
    const std::string typed = entry_->text();
    if (typed == softpwd_.passward) {
        if (softpwd_.isSafePwd == "1") {
            Constants::upDateDBSetValue("null", StoreKeys::safe_time);
            Constants::upDateDBSetValue("0", StoreKeys::faild_count);
        }
        // A migrated PIN lets the user in once; a new one is set afterwards.
        if (!showUpdate_->isHidden()) Constants::upDateDBSetValue("null", StoreKeys::passward);
        passwordTxt()->resignFirstResponder();
        performSegueWithIdentifier("checkSuccess");
        return;
    }
    entry_->reset();
    if (softpwd_.isSafePwd != "1") {
        Constants::simpleAlertViewWithTitle("密码错误",
                                            "你输入的密码错误,如果你已开启远程注销，可以用远程注销信息找回启动密码。");
        return;
    }
    const int count = std::min(softpwd_.failures() + 1, pin::kMaxFailures);
    softpwd_.failCounts = std::to_string(count);
    Constants::upDateDBSetValue(softpwd_.failCounts, StoreKeys::faild_count);
    if (count < pin::kMaxFailures) {
        txtLabel_->setText(pin::countLabel(softpwd_.failCounts));
        Constants::simpleAlertViewWithTitle("密码错误", "目前已经连续输错" + softpwd_.failCounts +
                                                            "次，您剩余的尝试次数为" +
                                                            std::to_string(pin::kMaxFailures - count) + "次");
        return;
    }
    if (networkUp()) {
        txtLabel_->setText(kFetchingAfterFive);
        lockEntry(true);
        setInitData(false);
        popOutProgressHUD(kTagDecide);
    } else {
        lockEntry(false);
        Constants::normalAlertViewWithTitle(kFetchFailedTitle, kFrozenNoNetwork, kEndAppAlertTag, this);
    }
}

void StartPasswordViewController::timeFailed() {
    lockEntry(true);
    Constants::normalAlertViewWithTitle(kFetchFailedTitle, kFrozenNoNetwork, kEndAppAlertTag, this);
}

void StartPasswordViewController::unfreeze() {
    Constants::upDateDBSetValue("null", StoreKeys::safe_time);
    Constants::upDateDBSetValue("0", StoreKeys::faild_count);
    softpwd_.safeTime = "null";
    softpwd_.failCounts = std::string("0");  // moved in: GCC's -Wrestrict misfires on = "0"
    txtLabel_->setText(pin::countLabel("0"));
    passwordTxt()->setEnabled(true);
    openbtn_->setHidden(true);
    passwordTxt()->becomeFirstResponder();
}

void StartPasswordViewController::decideReply(const CommandReply& reply) {
    if (ReplyEnvelope::isRemoteLogOut(reply.text)) return;  // the cycle's log-out alert ends the app
    std::optional<int64_t> now = reply.json ? pin::unfreezeServerSeconds(*reply.json) : std::nullopt;
    if (!now) {
        // Without the server's time nothing may change: a freeze must not
        // start at 1970 nor end early.
        timeFailed();
        return;
    }
    if (!softpwd_.frozen()) {
        if (softpwd_.failures() < pin::kMaxFailures) return;
        const int64_t end = *now + pin::kFreezeSeconds;
        Constants::upDateDBSetValue(std::to_string(end), StoreKeys::safe_time);
        Constants::upDateDBSetValue("0", StoreKeys::faild_count);
        txtLabel_->setText(pin::frozenUntilLabel(end, true));
        return;
    }
    const int64_t end = pin::parseWhole(Constants::getValueFromDBByKey(StoreKeys::safe_time).value_or("")).value_or(0);
    if (*now < end)
        txtLabel_->setText(pin::frozenUntilLabel(pin::parseWhole(softpwd_.safeTime).value_or(end), true));
    else
        unfreeze();
}

void StartPasswordViewController::openReply(const CommandReply& reply) {
    std::optional<int64_t> now = reply.json ? pin::unfreezeServerSeconds(*reply.json) : std::nullopt;
    if (!now) {
        timeFailed();
        return;
    }
    const int64_t end = pin::parseWhole(softpwd_.safeTime).value_or(0);
    if (*now < end) {
        Constants::simpleAlertViewWithTitle("解冻时间检测", pin::remainingMessage(end - *now));
        txtLabel_->setText(pin::frozenUntilLabel(end, true));
        return;
    }
    unfreeze();
    Constants::simpleAlertViewWithTitle("软件已经解冻", "你的软件已经解冻，现在你可以继续输入密码了！");
}

void StartPasswordViewController::isOpenCheck() {
    setInitData(false);
    if (softpwd_.isSafePwd == "1" && !softpwd_.frozen() && softpwd_.failures() >= pin::kMaxFailures) {
        // A freeze that has not got its end yet is started, never skipped.
        if (networkUp()) {
            txtLabel_->setText(kFetchingAfterFive);
            popOutProgressHUD(kTagDecide);
        } else {
            Constants::normalAlertViewWithTitle(kFetchFailedTitle, kFrozenNoNetwork, kEndAppAlertTag, this);
        }
        return;
    }
    if (softpwd_.isSafePwd != "1" || !softpwd_.frozen()) {
        passwordTxt()->setEnabled(true);
        openbtn_->setHidden(true);
        passwordTxt()->becomeFirstResponder();
        txtLabel_->setText(pin::countLabel(softpwd_.failCounts));
        return;
    }
    if (networkUp()) {
        txtLabel_->setText("正在获取解冻时间...请稍候");
        popOutProgressHUD(kTagOpen);
    } else {
        Constants::normalAlertViewWithTitle(
            kFetchFailedTitle,
            "网络失败。很抱歉的告诉你，由于您之前连续输入密码错误达5次，按照防暴力猜解规则，将你软件冻结30分钟。"
            "请你打开并检查网络，方便软件判断你是否已经解冻软件，请你打开网络后再进入软件。",
            kEndAppAlertTag, this);
    }
}

void StartPasswordViewController::forgetPwd() {
    if (networkUp())
        performSegueWithIdentifier("forgetPwd");
    else
        Constants::simpleAlertViewWithTitle("检测不到网络", kNetworkUnstableMessage);
}

void StartPasswordViewController::showHelp() {
    pinhelp::Help help = pinhelp::startPin();
    pinviews::showHelp(*this, help.questions, help.answers, "QuickHelp/kaishiMima", [this] {
        if (passwordTxt()->isEnabled()) passwordTxt()->becomeFirstResponder();
    });
}

void StartPasswordViewController::alertClicked(ui::AlertView* alertView, int) {
    if (alertView->tag() == kEndAppAlertTag) foundation::exitApp(0);
}
