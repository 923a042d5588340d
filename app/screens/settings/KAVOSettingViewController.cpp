#include "app/screens/settings/KAVOSettingViewController.h"

#include "app/core/BindingState.h"
#include "app/core/Deployment.h"
#include "app/core/Envelope.h"
#include "app/core/LogoutAccount.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/settings/SettingsRules.h"
#include "app/screens/shared/ScreenChrome.h"
#include "lib/analytics/TrkTracker.h"
#include "lib/http/HttpRequest.h"
#include "lib/kit/DnNotificationManager.h"
#include "lib/kit/ProgressHUD.h"
#include "platform/foundation/App.h"
#include "platform/foundation/Assert.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

namespace {

constexpr const char* kPushWarning =
    "您尚未将禾盾添加到“通知中心”，请在“设置”—“通知”中将禾盾“通知中心”选项设为开启，"
    "并将提醒、图标或声音中至少一项设为开启";
constexpr const char* kPaymentWarning =
    "本次注销不会关闭岚付通付款验证，如需关闭，请首先登录岚付通安全中心，取消手机禾钥后再注销本软件。\n\n"
    "如果你误删了本软件，可以通过短信绑定再次快速账号绑定。";

std::string storeValue(const char* key) { return Constants::getValueFromDBByKey(key).value_or("(null)"); }

// Rows without their own texts in code: the titles the screen layout gives them.
struct RowLayout {
    const char* title;
    const char* subtitle;
    const char* buttonTitle;  // nullptr: no button
};
const RowLayout kLayoutRows[] = {
    {"", "", nullptr},
    {"", "", nullptr},
    {"远程注销", "", "开启"},
    {"启动密码", "程序启动时需输入四位密码", "设置"},
    {"安全课堂", "识破常见骗术，守好你的账号", nullptr},
    {"版本信息", "", "更新"},
    {"意见反馈", "告诉我们你的想法", nullptr},
    {"使用帮助", "常见问题解答", nullptr},
    {"关于禾盾", "版权信息、许可协议和我们的团队", nullptr},
    {"注销本软件", "解除本机与账号的绑定并清除数据", "注销"},
    {"", "", nullptr},
};

}  // namespace

// Rows 4, 6, 7 and 8 lead to the screens the layout puts there.
const char* KAVOSettingViewController::segueOfRow(int row) {
    switch (row) {
        case 4:
            return "safeClass";
        case 6:
            return "suggest";
        case 7:
            return "help";
        case 8:
            return "aboutUs";
        default:
            return nullptr;
    }
}

KAVOSettingViewController::KAVOSettingViewController() {
    ScreenCommand push;
    push.tag = kTagPush;
    push.waitingText = "正在修改推送设置";
    push.plainTextReply = true;
    push.handshakeFailure = FailureReport::notice();
    push.invalidReply = FailureReport::notice();
    push.assembleURL = [](const Answer& answer, const foundation::Value& state) {
        return requestAddressForPayload(
            TextPayload(17, {answer.uuid.value_or("(null)"), answer.answer.value_or("(null)"), "1",
                             state.asString() ? *state.asString() : std::string("0")})
                .text());
    };
    push.onReply = [this](const CommandReply& reply) {
        if (reply.text.empty() || reply.text == "{}") {
            beingModified_ = -1;
            return;
        }
        if (reply.text == "true" && beingModified_ >= 0) {
            Constants::upDateDBSetValue(status_[size_t(beingModified_)], StoreKeys::isPushInfo);
            beingModified_ = -1;
            return;
        }
        rollBackForChangeANPSStatusFaliure();
        DnNotificationManager::notificationWithMessageForAlert("修改推送设置失败", ui::Image::named(kNoticeImageName),
                                                               view());
    };
    push.afterFailure = [this] { rollBackForChangeANPSStatusFaliure(); };
    registerCommand(std::move(push));

    ScreenCommand logout;
    logout.tag = kTagLogout;
    logout.waitingText = "正在进行注销操作";
    logout.handshakeFailure = FailureReport::notice();
    logout.invalidReply = FailureReport::notice();
    logout.assembleURL = [](const Answer& answer, const foundation::Value&) -> std::optional<std::string> {
        auto payload = LogoutAccount::payload(answer);
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    logout.onReply = [this](const CommandReply& reply) {
        if (reply.text.empty() || reply.text == "{}") return;
        auto answer = reply.as<LogoutAccount::Reply>();
        if (answer && answer->isSuccess) {
            logoutSucceeded();
        } else {
            DnNotificationManager::notificationWithMessageForAlert(LogoutAccount::kFailedNotice,
                                                                   ui::Image::named(kNoticeImageName), view());
        }
    };
    registerCommand(std::move(logout));

    ScreenCommand feature;
    feature.tag = kTagNewFeature;
    feature.waitingText = "正在获取版本信息";
    feature.waitSlice = 9;
    feature.handshake = false;
    feature.handshakeFailure = FailureReport::notice();
    feature.invalidReply = FailureReport::notice();
    feature.assembleURL = [](const Answer&, const foundation::Value&) {
        return requestAddressForPayload(TextPayload(25, {"1"}).text());
    };
    feature.onReply = [this](const CommandReply& reply) {
        if (reply.text.empty() || reply.text == "{}" || !reply.json) return;
        const foundation::Value* details = reply.json->get("details");
        if (!details || !details->asString()) return;
        Constants::compicatedAlertViewWithTitle("提示", *details->asString(), kAlertNewFeature, this);
        table_->reloadData();
    };
    registerCommand(std::move(feature));
}

KAVOSettingViewController::~KAVOSettingViewController() {
    if (versionCheck_) versionCheck_->clearDelegatesAndCancel();
}

void KAVOSettingViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    setTitle("设置");
    ScreenChrome::installBackButton(*this);
    table_ = ScreenChrome::makePaperTable(view()->bounds(), *this, *this);
    registerKAVOCellFactory(*table_, "SettingCustomCell1", KAVOCellClass::Operation, {320, 80});
    for (int i = 2; i <= 10; ++i) {
        const std::string id = "SettingCustomCell" + std::to_string(i);
        registerKAVOCellFactory(*table_, id, KAVOCellClass::SettingWithButton, {320, i == 9 ? 30.0 : 80.0});
    }
    view()->addSubview(table_);

    buildRows();
    status_ = {storeValue(StoreKeys::isPushInfo), storeValue(StoreKeys::keyLogin)};
    beingModified_ = -1;
    localVersion_ = foundation::device().appVersion;
    remoteVersion_ = storeValue(StoreKeys::remote_version);
    ScreenChrome::addPullDecoration(*table_);
    ScreenAnalytics::trackPageview("appSetting");
}

void KAVOSettingViewController::buildRows() {
    rows_.clear();
    rows_.push_back({"SettingCustomCell1", 80, "异常消息推送", "实时通知用户账号异常", "push_icon"});
    rows_.push_back({"SettingCustomCell1", 80, "快速一键校验", "以弹出对话框形式快速进行一键校验", "yijian"});
    rows_.push_back({"SettingCustomCell10", 80, "", "", ""});
    for (int i = 2; i <= 8; ++i) rows_.push_back({"SettingCustomCell" + std::to_string(i), 80, "", "", ""});
    rows_.push_back({"SettingCustomCell9", 30, "", "", ""});
}

void KAVOSettingViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    isPassword_ = storeValue(StoreKeys::passward);
    safePhone_ = storeValue(StoreKeys::safePhone);
    // The hub's look-up may have stored a newer version since the view loaded.
    remoteVersion_ = storeValue(StoreKeys::remote_version);
    table_->reloadData();
}

bool KAVOSettingViewController::isNeedUpdate() const {
    return SettingsRules::isNeedUpdate(localVersion_, remoteVersion_);
}

std::optional<double> KAVOSettingViewController::heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) {
    if (ip.row < 0 || ip.row >= int(rows_.size())) return std::nullopt;
    return rows_[size_t(ip.row)].height;
}

std::shared_ptr<ui::TableViewCell> KAVOSettingViewController::cellForRowAtIndexPath(ui::TableView* tableView,
                                                                                    const ui::IndexPath& ip) {
    const Row& row = rows_[size_t(ip.row)];
    auto cell = tableView->dequeueReusableCellWithIdentifier(row.cellId);
    auto* op = dynamic_cast<KAVOAccountProtectOpertationCell*>(cell.get());
    if (!op) return cell;
    op->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    op->setBackgroundColor(ui::Color::clearColor());
    op->setCellIndex(ip.row);
    op->setDelegate(this);
    op->titleLabel()->setTextColor(ui::Color::whiteColor());
    op->subTitleLabel()->setTextColor(ui::Color::white(0.7));
    if (row.cellId == "SettingCustomCell1") {
        op->titleLabel()->setText(row.title);
        op->subTitleLabel()->setText(row.subtitle);
        if (auto* image = dynamic_cast<KAVOAccountProtectImageLabelCell*>(op)->customImageView())
            image->setImage(ui::Image::named(row.image));
        op->segmentControl()->setHidden(false);
        op->segmentControl()->setEnabled(true);
        op->segmentControl()->moveThumbToIndex(status_[size_t(ip.row)] == "1" ? 0 : 1, false);
        return cell;
    }
    auto* withButton = dynamic_cast<KAVOSettingWithButton*>(op);
    const RowLayout& layout = kLayoutRows[ip.row];
    op->titleLabel()->setText(layout.title);
    op->subTitleLabel()->setText(layout.subtitle);
    op->segmentControl()->setEnabled(false);
    op->segmentControl()->setHidden(true);
    ui::Button* button = withButton ? withButton->button() : nullptr;
    if (button) {
        button->setHidden(layout.buttonTitle == nullptr);
        if (layout.buttonTitle) button->setTitle(layout.buttonTitle);
        button->removeTarget(nullptr, ui::kControlEventTouchUpInside);
    }
    switch (ip.row) {
        case 2:
            op->subTitleLabel()->setText(SettingsRules::safePhoneSubtitle(safePhone_));
            // The row's button does what selecting the row does: set up the
            // safe phone, or the sheet to change or cancel it.
            if (button) {
                button->setEnabled(true);
                if (safePhone_ != "null") button->setTitle("修改");
            }
            if (button)
                button->addTarget(
                    this,
                    [this](ui::Control*, const ui::Event*) {
                        didSelectRowAtIndexPath(table_.get(), ui::IndexPath::forRow(2, 0));
                    },
                    ui::kControlEventTouchUpInside);
            break;
        case 3:
            // As for row 2: set the PIN, or the sheet to change or delete it.
            if (button) button->setEnabled(true);
            if (button)
                button->addTarget(
                    this,
                    [this](ui::Control*, const ui::Event*) {
                        didSelectRowAtIndexPath(table_.get(), ui::IndexPath::forRow(3, 0));
                    },
                    ui::kControlEventTouchUpInside);
            break;
        case 5:
            op->subTitleLabel()->setText(SettingsRules::versionSubtitle(localVersion_, remoteVersion_));
            if (button) {
                button->setHidden(!isNeedUpdate());
                button->addTarget(
                    this,
                    [this](ui::Control*, const ui::Event*) {
                        didSelectRowAtIndexPath(table_.get(), ui::IndexPath::forRow(5, 0));
                    },
                    ui::kControlEventTouchUpInside);
            }
            break;
        case 9:
            if (button)
                button->addTarget(
                    this,
                    [op](ui::Control* sender, const ui::Event*) {
                        static_cast<KAVOSettingCell*>(op)->logoutButtonPressed(sender);
                    },
                    ui::kControlEventTouchUpInside);
            break;
        default:
            break;
    }
    return cell;
}

void KAVOSettingViewController::didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& ip) {
    tableView->deselectRowAtIndexPath(ip, true);
    switch (ip.row) {
        case 2:
            if (storeValue(StoreKeys::safePhone) == "null") {
                performSegueWithIdentifier("safePhone");
            } else {
                auto sheet =
                    ui::ActionSheet::create("远程注销设置", this, "取消", "修改远程注销信息", {"取消远程注销"});
                sheet->setTag(kSheetSafePhone);
                sheet->showInView(view());
            }
            break;
        case 3:
            if (storeValue(StoreKeys::passward) == "null") {
                performSegueWithIdentifier("setPwd");
            } else {
                auto sheet = ui::ActionSheet::create("程序启动密码设置", this, "取消", "修改密码", {"删除启动密码"});
                sheet->setTag(kSheetPin);
                sheet->showInView(view());
            }
            break;
        case 5:
            if (isNeedUpdate()) {
                ScreenAnalytics::trackEvent("appSetting", "VersionCheck", std::nullopt);
                openStorePage();
            } else {
                DnNotificationManager::notificationWithMessageForAlert("您的软件已经是最新版本",
                                                                       ui::Image::named(kNoticeImageName), view());
            }
            break;
        default:
            if (const char* segue = segueOfRow(ip.row)) performSegueWithIdentifier(segue);
            break;
    }
}

void KAVOSettingViewController::didDismissWithButtonIndex(ui::ActionSheet* sheet, int buttonIndex) {
    const bool destructive = buttonIndex == sheet->destructiveButtonIndex();
    const bool other = buttonIndex == sheet->firstOtherButtonIndex();
    if (sheet->tag() == kSheetSafePhone) {
        if (destructive) performSegueWithIdentifier("modifySafePwd");
        if (other) performSegueWithIdentifier("deleteSafePwd");
    } else if (sheet->tag() == kSheetPin) {
        if (destructive) performSegueWithIdentifier("modifyPwd");
        if (other) performSegueWithIdentifier("deletePwd");
    }
}

void KAVOSettingViewController::customCellButtonPressed(KAVOAccountProtectLabelCell*, int cellIndex, int switchIndex) {
    const std::string state = switchIndex == 0 ? "1" : "0";
    if (cellIndex == 0) {
        const unsigned types = ui::Application::shared().enabledRemoteNotificationTypes();
        if ((types & 7) == 0) {
            Constants::simpleAlertViewWithTitle("警告", kPushWarning);
            table_->reloadData();
        } else if (beingModified_ == -1) {
            beingModified_ = 0;
            status_[0] = state;
            popOutProgressHUD(kTagPush, foundation::Value(state));
        } else {
            table_->reloadData();  // a change is still waiting for the server
        }
        ScreenAnalytics::trackEvent("appSetting", "SwitchChange", std::string("apns"), state == "1" ? 1 : 0);
        return;
    }
    if (cellIndex == 1) {
        status_[1] = state;
        Constants::upDateDBSetValue(state, StoreKeys::keyLogin);
        ScreenAnalytics::trackEvent("appSetting", "SwitchChange", std::string("quickOKV"), state == "1" ? 1 : 0);
        return;
    }
    QUENTA_ASSERT(false, "no switch in this row");
}

void KAVOSettingViewController::rollBackForChangeANPSStatusFaliure() {
    if (beingModified_ >= 0 && size_t(beingModified_) < status_.size())
        status_[size_t(beingModified_)] = SettingsRules::flippedState(status_[size_t(beingModified_)]);
    beingModified_ = -1;
    table_->reloadData();
}

void KAVOSettingViewController::customCellButtonPressed(KAVOAccountProtectLabelCell*, int cellIndex) {
    if (cellIndex != 9) return;
    if (binding::paymentVerificationOn(binding::stored())) {
        auto alert = ui::AlertView::create("提示", kPaymentWarning, this, "确定注销", {"取消注销"});
        alert->setTag(kAlertPaymentWarning);
        alert->show();
        return;
    }
    showReasonList();
}

void KAVOSettingViewController::showReasonList() {
    auto alert = ui::AlertView::create("您注销安全中心的原因是？", "", this, "取消注销",
                                       {"我不关心禾川账号和信息安全", "我不喜欢安全中心现有的功能",
                                        "软件稳定性有所欠缺", "其他，请告诉我们您的宝贵建议"});
    alert->setTag(kAlertReasons);
    alert->show();
}

void KAVOSettingViewController::startLogout(const std::string& label, bool dispatchNow) {
    ScreenAnalytics::trackEvent("appSetting", "LogOut", label);
    popOutProgressHUD(kTagLogout);
    if (dispatchNow) TrkTracker::sharedTracker().dispatch();
}

void KAVOSettingViewController::alertClicked(ui::AlertView* alert, int index) {
    switch (alert->tag()) {
        case kAlertPaymentWarning:
            if (index == 0) showReasonList();
            break;
        case kAlertReasons:
            if (index >= 1 && index <= 3) {
                startLogout(alert->buttonTitleAtIndex(index), true);
            } else if (index == 4) {
                auto other = ui::AlertView::create("请告诉我们您的宝贵建议", "", this, "确定注销");
                other->setAlertViewStyle(ui::AlertViewStyle::PlainTextInput);
                other->setTag(kAlertOtherReason);
                other->show();
            }
            break;
        case kAlertOtherReason: {
            ui::TextField* field = alert->textFieldAtIndex(0);
            startLogout("其他：" + (field ? field->text() : std::string()), false);
            break;
        }
        case kAlertLoggedOut:
            if (index == 0) foundation::exitApp(0);
            break;
        case kAlertNewFeature:
            if (index == 0) openStorePage();
            break;
        default:
            break;
    }
}

void KAVOSettingViewController::logoutSucceeded() {
    // The alert is up while the data go; only its button ends the app.
    Constants::normalAlertViewWithTitle(LogoutAccount::kLoggedOutTitle, LogoutAccount::kLoggedOutMessage,
                                        kAlertLoggedOut, this);
    LogoutAccount::wipeAfterLogout(true);
}

void KAVOSettingViewController::openStorePage() { ui::Application::shared().openURL(Constants::appStorePageURL()); }

// ---------------------------------------------------------------- the store's look-up

void KAVOSettingViewController::popOutProgressHudForVersionCheck() {
    if (versionCheck_) return;  // one at a time
    ui::View* covered = navigationController() ? navigationController()->view() : view();
    versionHud_ = ProgressHUD::showHUDAddedTo(covered, true);
    versionHud_->setLabelText("正在获取版本信息");
    versionCheck_ = http::HttpRequest::requestWithURL(Deployment::storeLookupAddress());
    versionCheck_->setTag(kTagVersionCheck);
    versionCheck_->setTimeOutSeconds(9);
    versionCheck_->setAllowCompressedResponse(true);
    versionCheck_->setDelegate(this);
    versionCheck_->startAsynchronous();
}

void KAVOSettingViewController::endVersionCheck() {
    if (versionHud_) versionHud_->hide(true);
    versionHud_.reset();
    versionCheck_.reset();
}

void KAVOSettingViewController::requestFinishedForOtherTag(http::HttpRequest& request) {
    if (request.tag() != kTagVersionCheck || &request != versionCheck_.get()) return;
    std::optional<std::string> version;
    if (request.responseStatusCode() == 200)
        version = SettingsRules::storeVersion(request.responseString().value_or(""));
    endVersionCheck();
    if (!version) {
        reportFailure(FailureReport::notice());
        return;
    }
    if (!version->empty()) Constants::upDateDBSetValue(*version, StoreKeys::remote_version);
    remoteVersion_ = storeValue(StoreKeys::remote_version);
    table_->reloadData();
}

void KAVOSettingViewController::requestFailedForOtherTag(http::HttpRequest& request) {
    if (request.tag() != kTagVersionCheck || &request != versionCheck_.get()) return;
    endVersionCheck();
    reportFailure(FailureReport::notice());
}
