#include "app/screens/pin/SafePhoneScreens.h"

#include "app/core/Envelope.h"
#include "app/core/StoreKeys.h"
#include "app/core/UpdateDataToSqlite.h"
#include "app/core/connectNetCheck.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/pin/PinHelp.h"
#include "app/screens/pin/PinModel.h"
#include "app/screens/pin/PinViews.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

namespace {

const char* const kEmptyNotice = "你有输入为空，请全部输入后再试！";
const char* const kPhoneNotice = "手机号应该为11位纯数字，请检查后再试！";
const char* const kPasswordNotice = "注销密码长度不可以超过10位，请检查后重新输入！";

std::shared_ptr<ui::Button> keepButton(ui::View* parent, const ui::Rect& frame, std::function<void()> action) {
    auto b = std::make_shared<ui::Button>(frame);
    b->setImage(ui::Image::named("check_on"));
    b->setImage(ui::Image::named("check_off"), ui::kControlStateSelected);
    b->setTitle(" 保留所有操作保护");
    b->setTitleColor(ui::Color::rgba(0.2, 0.22, 0.25));
    b->addTarget(
        b.get(), [action = std::move(action)](ui::Control*, const ui::Event*) { action(); },
        ui::kControlEventTouchUpInside);
    parent->addSubview(b);
    return b;
}

// The checks of the change and cancel screens: a notice for the first
// problem, or nullptr. Phones are 11 ASCII digits, passwords 1 to 10.
const char* fieldProblem(const std::vector<std::string>& phones, const std::vector<std::string>& passwords) {
    for (const auto* list : {&phones, &passwords})
        for (const auto& text : *list)
            if (text.empty()) return kEmptyNotice;
    for (const auto& phone : phones)
        if (!pin::isPhoneNumber(phone)) return kPhoneNotice;
    for (const auto& password : passwords)
        if (!pin::isDeletePassword(password)) return kPasswordNotice;
    return nullptr;
}

}  // namespace

SafePhoneScreen::SafePhoneScreen(std::string operation, std::string waitingText, std::string handshakeNotice)
    : operation_(std::move(operation)) {
    ScreenCommand update;
    update.tag = kCommand;
    update.waitingText = std::move(waitingText);
    update.waitSlice = 15;
    update.handshake = true;
    update.plainTextReply = true;
    update.handshakeFailure = {FailureReport::Notice, "", std::move(handshakeNotice), 0, {}};
    update.invalidReply = FailureReport::alert("警告", kNetworkUnstableMessage, kBadReplyAlertTag);
    update.requestFailure = FailureReport::notice();
    update.assembleURL = [op = operation_](const Answer& answer,
                                           const foundation::Value& argument) -> std::optional<std::string> {
        std::vector<std::string> fields{answer.uuid.value_or("(null)"), answer.answer.value_or("(null)"), op};
        if (const auto* list = argument.asArray())
            for (const auto& item : *list) fields.push_back(item.description());
        for (const auto& field : fields)
            if (field.find_first_of(",;") != std::string::npos) return std::nullopt;
        return requestAddressForPayload(TextPayload(kCommand, fields).text());
    };
    update.onReply = [this](const CommandReply& reply) {
        if (reply.text == "true")
            accepted();
        else
            refused();
    };
    registerCommand(std::move(update));
}

void SafePhoneScreen::buildCommon(const std::string& title, const std::string& pageWord) {
    setTitle(title);
    view()->setBackgroundColor(ui::Color::rgba(0.94, 0.95, 0.96));
    pinviews::installBackButton(*this);
    Constants::portUIForiPhone5(35, this);
    ScreenAnalytics::trackPageview(pageWord);
}

void SafePhoneScreen::send() {
    foundation::Array fields;
    for (const auto& f : operationFields()) fields.push_back(foundation::Value(f));
    popOutProgressHUD(kCommand, foundation::Value(std::move(fields)));
}

void SafePhoneScreen::alertClicked(ui::AlertView* alertView, int buttonIndex) {
    if (alertView->tag() == kDoneAlertTag) {
        if (auto* nav = navigationController()) nav->popViewControllerAnimated(true);
    } else if (alertView->tag() == kConfirmAlertTag && buttonIndex == 0) {
        confirmed();
    }
}

// ------------------------------------------------------------------ open

RemoteDeleteViewController::RemoteDeleteViewController()
    : SafePhoneScreen("0", "正在开启远程注销...请稍候", kNetworkUnstableMessage) {}

void RemoteDeleteViewController::viewDidLoad() {
    buildCommon("开通远程注销", "remoteDelete");
    ui::View* root = view();
    pinviews::caption(root, {20, 12, 280, 36}, "请设置安全手机号和注销密码，手机丢失时可用安全手机号远程注销本软件",
                      12);
    safePhone_ = pinviews::field(root, {30, 54, 260, 34}, "安全手机号（11位）", ui::KeyboardType::NumberPad, false);
    deletePassword_ =
        pinviews::field(root, {30, 96, 260, 34}, "注销密码（10位以内数字）", ui::KeyboardType::NumberPad, true);
    protectBtn_ = keepButton(root, {30, 138, 260, 26}, [this] { checkProtect(); });
    pinviews::button(root, {30, 172, 260, 34}, "开通远程注销", [this] { RemoteSubmit(); });
    pinviews::installHelpButton(*this, [this] { helpRemote(); });
}

void RemoteDeleteViewController::RemoteSubmit() {
    const std::string phone = safePhone_->text(), password = deletePassword_->text();
    if (!pin::isPhoneNumber(phone)) {
        safePhone_->setText("");
        pinviews::notice(*this, "请输入11位数安全手机号");
        return;
    }
    if (!pin::isDeletePassword(password)) {
        deletePassword_->setText("");
        pinviews::notice(*this, "注销密码应为10位以内的纯数字密码");
        return;
    }
    Constants::compicatedAlertViewWithTitle("确认开启远程注销",
                                            "安全手机号：" + phone + "，注销密码为：" + password + "，注销之后将会" +
                                                keepText() +
                                                "账号注销前的保护状态，请你一定要牢记安全手机号和注销密码！",
                                            kConfirmAlertTag, this);
}

void RemoteDeleteViewController::checkProtect() {
    isSavaStory_ = !isSavaStory_;
    protectBtn_->setSelected(!isSavaStory_);
    pinviews::notice(*this, isSavaStory_ ? "远程注销后,所有操作将保留原有状态" : "远程注销后，所有操作保护将设为关闭");
}

void RemoteDeleteViewController::helpRemote() {
    pinhelp::Help help = pinhelp::remoteDelete();
    pinviews::showHelp(*this, help.questions, help.answers, "QuickHelp/ycZhuxiao");
}

std::vector<std::string> RemoteDeleteViewController::operationFields() const {
    return {safePhone_->text(), deletePassword_->text(), isSavaStory_ ? "0" : "1"};
}

void RemoteDeleteViewController::confirmed() {
    if (connectNetCheck().connectToNetwork()) {
        send();
        ScreenAnalytics::trackEvent("remoteDelete", "SubmitRemoteDelete", std::nullopt);
    } else {
        Constants::normalAlertViewWithTitle("错误", kNetworkUnstableMessage, kNoNetworkAlertTag, this);
    }
}

void RemoteDeleteViewController::accepted() {
    UpdateDataToSqlite::updateData(pin::maskPhone(safePhone_->text()), StoreKeys::safePhone);
    Constants::normalAlertViewWithTitle(
        "开通成功", "请牢记你的安全手机号与注销密码！如果安全手机号不再使用，请及时换绑安全手机号！", kDoneAlertTag,
        this);
}

void RemoteDeleteViewController::refused() {
    Constants::normalAlertViewWithTitle("开通失败", "请你到禾盾官网确定你的账号已经激活了安全中心手机版。",
                                        kRefusedAlertTag, this);
}

// ------------------------------------------------------------------ change

modifySafePhoneViewController::modifySafePhoneViewController()
    : SafePhoneScreen("2", "正在修改远程注销信息...请稍候", kNetworkUnstableMessage) {}

void modifySafePhoneViewController::viewDidLoad() {
    buildCommon("修改远程注销", "modifyRemoteDelete");
    ui::View* root = view();
    const char* placeholders[] = {"原安全手机号", "原注销密码", "新安全手机号（11位）", "新注销密码（10位以内数字）"};
    for (int i = 0; i < 4; ++i)
        fields_.push_back(pinviews::field(root, {30, 12.0 + i * 40, 260, 34}, placeholders[i],
                                          ui::KeyboardType::NumberPad, i % 2 == 1));
    saveStory_ = keepButton(root, {30, 172, 260, 26}, [this] { changeSaveProtect(); });
    pinviews::button(root, {30, 204, 260, 34}, "确认修改", [this] { Modify_Action(); });
}

void modifySafePhoneViewController::viewWillAppear(bool animated) {
    SafePhoneScreen::viewWillAppear(animated);
    fields_[0]->becomeFirstResponder();
}

void modifySafePhoneViewController::Modify_Action() {
    if (const char* problem =
            fieldProblem({fields_[0]->text(), fields_[2]->text()}, {fields_[1]->text(), fields_[3]->text()})) {
        pinviews::notice(*this, problem);
        return;
    }
    Constants::compicatedAlertViewWithTitle("确认修改远程注销",
                                            "安全手机号：" + fields_[2]->text() + " ,注销密码为：" +
                                                fields_[3]->text() + " ,注销之后将会" + keepText() +
                                                "账号注销前的保护状态,请你一定要牢记修改之后的安全手机号和注销密码！",
                                            kConfirmAlertTag, this);
}

void modifySafePhoneViewController::changeSaveProtect() {
    isSavaStory_ = !isSavaStory_;
    saveStory_->setSelected(!isSavaStory_);
    if (isSavaStory_)
        Constants::simpleAlertViewWithTitle("保留所有操作保护",
                                            "远程注销后你的账号的所有操作保护将保留当时的开启状态，如有疑问，"
                                            "请点击本页右上角的帮助按钮查看！");
    else
        Constants::simpleAlertViewWithTitle("关闭所有操作保护",
                                            "所有操作保护将设为关闭，如有疑问，请点击本页右上角的帮助按钮查看！");
}

std::vector<std::string> modifySafePhoneViewController::operationFields() const {
    return {fields_[0]->text(), fields_[1]->text(), fields_[2]->text(), fields_[3]->text(), isSavaStory_ ? "0" : "1"};
}

void modifySafePhoneViewController::accepted() {
    UpdateDataToSqlite::updateData(pin::maskPhone(fields_[2]->text()), StoreKeys::safePhone);
    Constants::normalAlertViewWithTitle(
        "修改成功", "请牢记新的安全手机号与注销密码！如果安全手机号不再使用，请及时换绑安全手机号！", kDoneAlertTag,
        this);
}

void modifySafePhoneViewController::refused() {
    Constants::normalAlertViewWithTitle("修改失败", "你输入的远程注销的旧信息错误，请重新再试！", kRefusedAlertTag,
                                        this);
}

// The change screen's confirmation sends at once (no network test).
void modifySafePhoneViewController::confirmed() {
    pinviews::endEditing(*this);
    send();
}

// ------------------------------------------------------------------ cancel

deleteSafePwdViewController::deleteSafePwdViewController()
    : SafePhoneScreen("3", "正在取消远程注销信息...请稍候", "取消失败，你的网络不稳定，请稍后再试！") {}

void deleteSafePwdViewController::viewDidLoad() {
    buildCommon("取消远程注销", "deleteRemoteDelete");
    ui::View* root = view();
    oldSafePhone_ = pinviews::field(root, {30, 16, 260, 34}, "安全手机号", ui::KeyboardType::NumberPad, false);
    oldSafePwd_ = pinviews::field(root, {30, 58, 260, 34}, "注销密码", ui::KeyboardType::NumberPad, true);
    pinviews::button(root, {30, 104, 260, 34}, "取消远程注销", [this] { submit_btn(); });
}

void deleteSafePwdViewController::viewWillAppear(bool animated) {
    SafePhoneScreen::viewWillAppear(animated);
    oldSafePhone_->becomeFirstResponder();
}

void deleteSafePwdViewController::submit_btn() {
    if (const char* problem = fieldProblem({oldSafePhone_->text()}, {oldSafePwd_->text()})) {
        pinviews::notice(*this, problem);
        return;
    }
    pinviews::endEditing(*this);
    send();
}

std::vector<std::string> deleteSafePwdViewController::operationFields() const {
    return {oldSafePhone_->text(), oldSafePwd_->text()};
}

void deleteSafePwdViewController::accepted() {
    UpdateDataToSqlite::updateData("null", StoreKeys::safePhone);
    Constants::normalAlertViewWithTitle("取消服务成功", "取消远程注销服务成功！", kDoneAlertTag, this);
}

void deleteSafePwdViewController::refused() {
    oldSafePhone_->setText("");
    oldSafePwd_->setText("");
    pinviews::notice(*this, "请确定你输入的旧信息是否正确");
}
