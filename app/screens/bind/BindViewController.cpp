#include "app/screens/bind/BindViewController.h"

#include <algorithm>

#include "app/core/Constants.h"
#include "app/core/Deployment.h"
#include "app/core/DeviceIdentity.h"
#include "app/core/Envelope.h"
#include "app/core/PaymentAppHandOff.h"
#include "app/core/connectNetCheck.h"
#include "app/core/initUtil.h"
#include "app/cycle/ScreenAnalytics.h"
#include "lib/http/HttpRequest.h"
#include "lib/kit/CustomNavigationBar.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Background.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Screen.h"

using namespace BindModel;

namespace {

constexpr const char* kCategory = "binding";

const std::vector<std::string>& helpQuestions() {
    static const std::vector<std::string> questions = {
        "1.如何绑定禾盾？",           "2.什么是岚付通绑定？",     "3.总是绑定失败怎么办？",
        "4.绑定过程中我该注意什么？", "5.哪些账号可以绑定禾盾？", "6.重新安装后如何再次绑定？",
    };
    return questions;
}

const std::vector<std::string>& helpAnswers() {
    static const std::vector<std::string> answers = {
        "登录禾川网安全中心，进入“禾盾”页面，按提示获取6位序列号，在本页输入后即自动绑定；也可以选择短信绑定或岚付通绑"
        "定。",
        "如果您的禾川账号已关联岚付通账号，并且手机上装有“迅付”应用，可以直接通过岚付通账号完成绑定，同时开通付款验证，"
        "无需输入序列号。",
        "请先确认手机网络通畅、序列号输入无误且未过期；若仍然失败，可改用短信绑定或岚付通绑定，或稍后再试。",
        "序列号在生成15分钟后失效，请尽快输入；短信绑定需要使用能发送短信的设备，并且不要修改绑定短信的内容。",
        "买家账号和卖家账号都可以绑定禾盾；卖家子账号暂不支持绑定。",
        "重新安装后无需先解绑，直接使用短信绑定或岚付通绑定即可重新绑定您的账号。",
    };
    return answers;
}

void trackEvent(Road road, const std::optional<std::string>& label) {
    ScreenAnalytics::trackEvent(kCategory, roadAction(road), label);
}

}  // namespace

BindViewController::BindViewController() { registerCommands(); }

BindViewController::~BindViewController() {
    if (pollTimer_) pollTimer_->invalidate();
    if (serialTxt_) serialTxt_->setDelegate(nullptr);
}

// ---------------------------------------------------------------- commands

void BindViewController::registerCommands() {
    // Command 16: the serial, after a first-bind handshake.
    ScreenCommand serial;
    serial.tag = kTagSerial;
    serial.waitingText = "正在绑定...请稍候";
    serial.handshakeMode = "0";
    serial.testsRemoteLogOut = false;
    serial.handshakeFailure = FailureReport::notice();
    serial.invalidReply = FailureReport::notice();
    serial.assembleURL = [this](const Answer& answer, const foundation::Value& argument) -> std::optional<std::string> {
        {
            std::lock_guard<std::mutex> lock(answerMutex_);
            answer_ = answer;
        }
        const std::string* text = argument.asString();
        if (!text || !isSerial(*text)) return std::nullopt;
        return requestAddressForPayload(
            serialPayload(answer, *text, DeviceFields::of(foundation::device()), pushToken()));
    };
    serial.onReply = [this](const CommandReply& reply) { handleBindReply(reply, Road::Serial); };
    serial.onFailure = [this](http::HttpRequest&) { bindFailed(Road::Serial, kNetworkNotice, std::nullopt); };
    registerCommand(std::move(serial));

    // Command 31 op 0: the phone of the account named by the user.
    ScreenCommand lookup;
    lookup.tag = kTagPhoneLookup;
    lookup.waitingText = "正在获取用户信息";
    lookup.waitSlice = 9;
    lookup.handshake = false;
    lookup.testsRemoteLogOut = false;
    lookup.handshakeFailure = FailureReport::notice();
    lookup.invalidReply = FailureReport::notice();
    lookup.assembleURL = [](const Answer&, const foundation::Value& argument) -> std::optional<std::string> {
        const std::string* name = argument.asString();
        if (!name) return std::nullopt;
        return requestAddressForPayload(phoneLookupPayload(*name));
    };
    lookup.onFailure = [this](http::HttpRequest&) { bindFailed(Road::TextMsg, kNetworkNotice, std::nullopt); };
    lookup.onReply = [this](const CommandReply& reply) {
        const PhoneLookup lookup = PhoneLookup::of(reply.json);
        if (!lookup.sid) {
            notice(lookup.text);
            return;
        }
        sid_ = *lookup.sid;
        Constants::compicatedAlertViewWithTitle("提示", lookup.text, kAlertSmsConfirm, this);
    };
    registerCommand(std::move(lookup));

    // Command 31 op 2: the binding once the text has arrived. It runs under
    // the poll's overlay, so it shows none of its own.
    ScreenCommand textBind;
    textBind.tag = kTagTextMsgBind;
    textBind.waitingText = "正在绑定";
    textBind.handshake = false;
    textBind.showsOverlay = false;
    textBind.testsRemoteLogOut = false;
    textBind.handshakeFailure = FailureReport::notice();
    textBind.invalidReply = FailureReport::notice();
    textBind.assembleURL = [this](const Answer&, const foundation::Value&) -> std::optional<std::string> {
        Answer answer;
        {
            std::lock_guard<std::mutex> lock(answerMutex_);
            answer = answer_;
        }
        auto payload =
            smsBindPayload(answer.sid.value_or(""), answer, DeviceFields::of(foundation::device()), pushToken());
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    textBind.onReply = [this](const CommandReply& reply) { handleBindReply(reply, Road::TextMsg); };
    textBind.onFailure = [this](http::HttpRequest&) { bindFailed(Road::TextMsg, kNetworkNotice, std::nullopt); };
    textBind.onFinished = [this] { endPollOverlay(); };
    registerCommand(std::move(textBind));

    // Command 32: the payment account of the account named by the user.
    ScreenCommand account;
    account.tag = kTagKorvexAccount;
    account.waitingText = "正在获取帐户信息";
    account.waitSlice = 9;
    account.handshake = false;
    account.testsRemoteLogOut = false;
    account.handshakeFailure = FailureReport::notice();
    account.invalidReply = FailureReport::notice();
    account.assembleURL = [](const Answer&, const foundation::Value& argument) -> std::optional<std::string> {
        const std::string* name = argument.asString();
        if (!name) return std::nullopt;
        foundation::Dictionary fields;
        fields.set("nick", foundation::Value(*name));
        auto payload = JsonPayload(32, std::move(fields)).text();
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    account.onFailure = [this](http::HttpRequest&) { bindFailed(Road::Korvex, kNetworkNotice, std::nullopt); };
    account.onReply = [this](const CommandReply& reply) {
        foundation::ErrorRef problem;
        auto account = reply.as<KorvexAccountReply>(&problem);
        if (!account) {
            foundation::log("payment account reply: ", problem->message);
            notice(kNetworkNotice);
            return;
        }
        if (account->result != 202) {
            notice(korvexRefusalNotice(*account));
            return;
        }
        if (!ui::Application::shared().canOpenURL(PaymentAppHandOff::kScheme)) {
            Constants::compicatedAlertViewWithTitle(
                "警告", "您尚未安装“迅付”应用，无法进行迅付绑定操作\n现在就安装”迅付“？", kAlertInstall, this);
            trackEvent(Road::Korvex, std::string("korvexNimbraNotInstalled"));
            return;
        }
        korvexCount_ = *account->username;
        kvToken_ = std::to_string(*account->sid);
        auto& defaults = foundation::UserDefaults::standard();
        defaults.setString(kTokenFromKorvexKey, kvToken_);
        defaults.synchronize();
        Constants::compicatedAlertViewWithTitle(
            "提示", handOffQuestion(account->cert, Constants::hideKorvexName(korvexCount_)), kAlertHandOff, this);
        trackEvent(Road::Korvex, std::string(account->cert ? "korvexStopCertAndBind" : "korvexDirectBind"));
    };
    registerCommand(std::move(account));

    // Command 34: the token the payment client handed back, after a
    // first-bind handshake.
    ScreenCommand korvex;
    korvex.tag = kTagKorvexBind;
    korvex.waitingText = "正在绑定";
    korvex.handshakeMode = "0";
    korvex.testsRemoteLogOut = false;
    korvex.handshakeFailure = FailureReport::notice();
    korvex.invalidReply = FailureReport::notice();
    korvex.assembleURL = [this](const Answer& answer, const foundation::Value& argument) -> std::optional<std::string> {
        {
            std::lock_guard<std::mutex> lock(answerMutex_);
            answer_ = answer;
        }
        const std::string* token = argument.asString();
        if (!token) return std::nullopt;
        auto& defaults = foundation::UserDefaults::standard();
        const auto stored = defaults.stringForKey(kTokenFromKorvexKey);
        defaults.removeObjectForKey(kTokenFromKorvexKey);
        defaults.synchronize();
        auto payload = JsonPayload(34, korvexBindFields(answer, *token, stored, DeviceFields::of(foundation::device()),
                                                        pushToken()))
                           .text();
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    korvex.onReply = [this](const CommandReply& reply) { handleBindReply(reply, Road::Korvex); };
    korvex.onFailure = [this](http::HttpRequest&) { bindFailed(Road::Korvex, kNetworkNotice, std::nullopt); };
    registerCommand(std::move(korvex));
}

Answer BindViewController::takeAnswer() {
    std::lock_guard<std::mutex> lock(answerMutex_);
    return answer_;
}

void BindViewController::handleBindReply(const CommandReply& reply, Road road) {
    foundation::ErrorRef problem;
    auto bind = reply.as<BindReply>(&problem);
    if (!bind) {
        foundation::log("bind reply: ", problem->message);
        bindFailed(road, kNetworkNotice, std::string(failedLabel(road)));
        return;
    }
    const long long result = bind->code();
    if (result != 202) {
        bindFailed(road, refusalNotice(result, bind->nick), std::string(failedLabel(road)));
        return;
    }
    // A binding without its token key or server time would leave a store
    // whose codes are wrong: it counts as a failed one.
    if (!bind->bid || bind->bid->empty() || !bind->checktime) {
        foundation::log("bind reply: 202 without \"bid\" or \"checktime\"");
        bindFailed(road, refusalNotice(0, std::nullopt), std::string(failedLabel(road)));
        return;
    }
    const double now = foundation::clock().now();
    dkbase_.server_time = bind->checktime;
    dkbase_.bid = bind->bid;
    dkbase_.difftime = diffTime(foundation::textLongLongValue(*bind->checktime), now);
    if (!initUtil::saveDkbase(dkbase_, takeAnswer())) {
        bindFailed(road, kSaveFailedNotice, std::string());
        return;
    }
    stateAfterBinding();
    Constants::normalAlertViewWithTitle("绑定成功", "你的禾川账号绑定成功！", kAlertSuccess, this);
    trackEvent(road, std::string(successLabel(road)));
}

void BindViewController::bindFailed(Road road, const std::string& text, const std::optional<std::string>& label) {
    notice(text);
    stateAfterFailure();
    if (label) trackEvent(road, label);
}

void BindViewController::notice(const std::string& text) {
    auto self = std::static_pointer_cast<BindViewController>(shared_from_this());
    foundation::performOnMainThread([self, text] {
        DnNotificationManager::notificationWithMessageForAlert(text, ui::Image::named(kNoticeImageName), self->view());
    });
}

// ---------------------------------------------------------------- view

void BindViewController::loadView() {
    const ui::Rect screen = ui::Screen::main().bounds();
    const double width = screen.width();
    auto root = ui::View::create({0, 0, width, screen.height() - ui::NavigationBar::kHeight});
    root->setBackgroundColor(ui::Color::rgba(0.93, 0.95, 0.97));

    // A touch anywhere outside the field puts the keyboard away.
    auto board = std::make_shared<ui::Control>(root->bounds());
    board->setBackgroundColor(ui::Color::clearColor());
    board->setAutoresizingMask(ui::kAutoresizingFlexibleHeight);
    board->addTarget(
        this, [this](ui::Control*, const ui::Event*) { backBroad(); }, ui::kControlEventTouchDown);
    root->addSubview(board);

    auto title = std::make_shared<ui::Label>(ui::Rect{20, 22, width - 40, 26});
    title->setText("序列号绑定");
    title->setFont(ui::Font::boldSystemFont(19));
    title->setTextColor(ui::Color::rgba(0.07, 0.29, 0.50));
    title->setBackgroundColor(ui::Color::clearColor());
    root->addSubview(title);

    auto hint = std::make_shared<ui::Label>(ui::Rect{20, 56, width - 40, 110});
    hint->setNumberOfLines(0);
    hint->setFont(ui::Font::systemFont(14));
    hint->setTextColor(ui::Color::white(0.30));
    hint->setBackgroundColor(ui::Color::clearColor());
    hint->setText(
        "1. 在电脑上登录禾川网安全中心\n2. 进入“禾盾”页面，获取6位序列号\n3. 在下方输入序列号，输满6位即自动绑定");
    root->addSubview(hint);

    serialTxt_ = std::make_shared<ui::TextField>(ui::Rect{40, 178, width - 80, 40});
    serialTxt_->setBorderStyle(ui::TextBorderStyle::RoundedRect);
    serialTxt_->setFont(ui::Font::systemFont(20));
    serialTxt_->setTextAlignment(ui::TextAlignment::Center);
    serialTxt_->setPlaceholder(kSerialPrompt);
    serialTxt_->setPlaceholderColor(ui::Color::darkGrayColor());
    serialTxt_->traits().autocapitalizationType = ui::TextAutocapitalizationType::None;
    serialTxt_->setReturnKeyType(ui::ReturnKeyType::Done);
    serialTxt_->setDelegate(this);
    serialTxt_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { numOfTextField(); }, ui::kControlEventEditingChanged);
    root->addSubview(serialTxt_);

    auto other = std::make_shared<ui::Label>(ui::Rect{20, 240, width - 40, 22});
    other->setText("其他绑定方式");
    other->setFont(ui::Font::systemFont(13));
    other->setTextColor(ui::Color::grayColor());
    other->setTextAlignment(ui::TextAlignment::Center);
    other->setBackgroundColor(ui::Color::clearColor());
    root->addSubview(other);

    auto makeButton = [&](const std::string& text, double x, std::function<void()> action) {
        auto button = std::make_shared<ui::Button>(ui::Rect{x, 270, 125, 40}, ui::ButtonType::RoundedRect);
        button->setTitle(text);
        button->addTarget(
            this, [action](ui::Control*, const ui::Event*) { action(); }, ui::kControlEventTouchUpInside);
        root->addSubview(button);
    };
    makeButton("短信绑定", 25, [this] { textMsgBinding(); });
    makeButton("岚付通绑定", width - 150, [this] { korvexBinding(); });
    auto qr = std::make_shared<ui::Button>(ui::Rect{25, 320, width - 50, 40}, ui::ButtonType::RoundedRect);
    qr->setTitle("扫描二维码绑定");
    qr->addTarget(
        this, [this](ui::Control*, const ui::Event*) { qrBind(); }, ui::kControlEventTouchUpInside);
    root->addSubview(qr);

    kavoLabel_ = std::make_shared<ui::Label>(ui::Rect{0, 0, width, 20});
    kavoLabel_->setText("禾川账号安全中心 · 禾盾");
    kavoLabel_->setFont(ui::Font::systemFont(12));
    kavoLabel_->setTextColor(ui::Color::grayColor());
    kavoLabel_->setTextAlignment(ui::TextAlignment::Center);
    kavoLabel_->setBackgroundColor(ui::Color::clearColor());
    root->addSubview(kavoLabel_);
    setView(root);
}

void BindViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    setTitle("绑定禾盾");
    if (auto* nav = navigationController()) {
        if (auto* bar = dynamic_cast<CustomNavigationBar*>(nav->navigationBar()))
            bar->setBackgroundWith(ui::Image::named("title-bar2.png"));
        nav->navigationBar()->setTintColor(ui::Color::darkGrayColor());
    }
    navigationItem()->setRightBarButtonItem(ui::BarButtonItem::withTitle("帮助", ui::BarButtonItemStyle::Bordered,
                                                                         [this](ui::BarButtonItem*) { bindHelp(); }));
    dkbase_ = DkBase();
    answer_ = Answer();
    userName_.clear();
    sid_.clear();
    if (foundation::UserDefaults::standard().integerForKey(kBoundStateKey) != kStateHandOffPending)
        ScreenAnalytics::trackPageview("bindingView");
}

void BindViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    // The label sits 84 points above the bottom of the screen.
    ui::Rect frame = kavoLabel_->frame();
    kavoLabel_->setFrame({0, ui::Screen::main().bounds().height() - 84, frame.width(), frame.height()});
}

void BindViewController::viewDidAppear(bool animated) {
    KAVOCommandViewController::viewDidAppear(animated);
    handBackCheck();
}

void BindViewController::moveView(bool up) {
    if (up == viewMovedUp_) return;
    viewMovedUp_ = up;
    const bool tall = Constants::isTallScreen();
    const double distance = tall ? 70 : 160;
    const double duration = tall ? 0.3 : 0.5;
    auto root = viewRef();
    const ui::Rect frame = root->frame();
    const double dy = up ? -distance : distance;
    // The view grows by what it moves up, so that its own background still
    // reaches the bottom of the window (a desktop shows no keyboard there).
    const ui::Rect moved{frame.x(), frame.y() + dy, frame.width(), std::max(0.0, frame.height() - dy)};
    ui::View::animate(duration, 0, ui::kAnimationOptionBeginFromCurrentState, [root, moved] { root->setFrame(moved); });
}

// ---------------------------------------------------------------- serial road

void BindViewController::textFieldDidBeginEditing(ui::TextField*) {
    moveView(true);
    trackEvent(Road::Serial, std::string("codeInputPush"));
}

void BindViewController::textFieldDidEndEditing(ui::TextField*) { moveView(false); }

bool BindViewController::textFieldShouldChangeCharacters(ui::TextField*, ui::TextRange range, const std::string&) {
    return serialEditAllowed(range.location);
}

bool BindViewController::textFieldShouldReturn(ui::TextField*) {
    backBroad();
    return true;
}

void BindViewController::numOfTextField() {
    const std::string text = serialTxt_->text();
    if (!serialWantsSubmit(text)) return;
    serialTxt_->resignFirstResponder();
    initFinish(text);
}

void BindViewController::initFinish(const std::string& serial) {
    if (!isSerial(serial)) {
        notice(kSerialLengthNotice);
    } else if (!connectNetCheck().connectToNetwork()) {
        notice(kNetworkNotice);
    } else {
        dkbase_.serial = serial;
        popOutProgressHUD(kTagSerial, foundation::Value(serial));
        trackEvent(Road::Serial, std::string("codeStartBind"));
    }
    // The field is empty again: its placeholder asks for the serial.
    serialTxt_->setText("");
}

void BindViewController::backBroad() {
    serialTxt_->resignFirstResponder();
    serialTxt_->setText("");
}

// ---------------------------------------------------------------- help

void BindViewController::bindHelp() {
    ui::NavigationItem* item = navigationItem();
    if (auto* right = item->rightBarButtonItem()) right->setEnabled(false);
    if (auto* left = item->leftBarButtonItem()) left->setEnabled(false);
    backBroad();
    helpPanel_ = ExampleModalPanel::create(view()->bounds(), "温馨提示", helpQuestions(), helpAnswers());
    helpPanel_->setOnClosePressed([this](ModalPanel* panel) {
        panel->hideWithOnComplete([this](bool) {
            if (helpPanel_) helpPanel_->removeFromSuperview();
            helpPanel_.reset();
            ui::NavigationItem* item = navigationItem();
            if (auto* right = item->rightBarButtonItem()) right->setEnabled(true);
            if (auto* left = item->leftBarButtonItem()) left->setEnabled(true);
        });
    });
    view()->addSubview(helpPanel_);
    const ui::Rect bounds = view()->bounds();
    helpPanel_->showFromPoint({bounds.width() - 30, 0});
    ScreenAnalytics::trackPageview("QuickHelp/bangding");
}

// ---------------------------------------------------------------- alerts

void BindViewController::didDismissWithButtonIndex(ui::AlertView* alert, int buttonIndex) {
    auto& defaults = foundation::UserDefaults::standard();
    switch (alert->tag()) {
        case kAlertSuccess:
            performSegueWithIdentifier(kSegueBindSuccess);
            break;
        case kAlertSmsName:
        case kAlertKorvexName: {
            if (buttonIndex != 0) break;
            ui::TextField* field = alert->textFieldAtIndex(0);
            const std::string name = field ? foundation::trim(field->text()) : std::string();
            if (name.empty()) {
                notice(kEmptyNameNotice);
                break;
            }
            if (alert->tag() == kAlertSmsName) {
                userName_ = name;
                popOutProgressHUD(kTagPhoneLookup, foundation::Value(name));
                trackEvent(Road::TextMsg, std::string("txtSubmitName"));
            } else {
                popOutProgressHUD(kTagKorvexAccount, foundation::Value(name));
                trackEvent(Road::Korvex, std::string("korvexSubmitName"));
            }
            break;
        }
        case kAlertSmsConfirm:
            if (sid_.empty() || userName_.empty()) {
                notice("获取用户信息失败，请稍后重试");
            } else if (buttonIndex == 0) {
                composer_ = std::make_shared<ui::MessageComposeViewController>();
                composer_->setBody(smsBody(userName_, sid_));
                composer_->setRecipients({smsGateway(foundation::device().carrierName)});
                composer_->setMessageComposeDelegate(this);
                presentModalViewController(composer_, true);
                trackEvent(Road::TextMsg, std::string("txtReadyToSendMsg"));
            }
            break;
        case kAlertHandOff:
            if (buttonIndex != 0) break;
            if (auto url = PaymentAppHandOff::url(korvexCount_, kvToken_)) {
                defaults.setInteger(kBoundStateKey, kStateHandOffPending);
                defaults.synchronize();
                trackEvent(Road::Korvex, std::string("korvexCallNimbra"));
                ui::Application::shared().openURL(*url);
            } else {
                notice(kNetworkNotice);
            }
            break;
        case kAlertInstall:
            if (buttonIndex != 0) break;
            trackEvent(Road::Korvex, std::string("korvexToInstallNimbra"));
            ui::Application::shared().openURL(Deployment::paymentAppStoreAddress());
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------- SMS road

void BindViewController::textMsgBinding() {
    backBroad();
    if (auto refusal = smsRefusal(foundation::device())) {
        notice(*refusal);
    } else {
        auto alert = ui::AlertView::create("请输入您的禾川账号", "", this, "确定", {"取消"});
        alert->setAlertViewStyle(ui::AlertViewStyle::PlainTextInput);
        alert->setTag(kAlertSmsName);
        alert->show();
    }
    trackEvent(Road::TextMsg, std::string("txtButtonPush"));
}

void BindViewController::messageComposeDidFinish(ui::MessageComposeViewController* composer,
                                                 ui::MessageComposeResult result) {
    composer->dismissViewControllerAnimated(true);
    composer_.reset();
    switch (result) {
        case ui::MessageComposeResult::Sent:
            trackEvent(Road::TextMsg, std::string("txtMsgSentSuccess"));
            startPoll();
            break;
        case ui::MessageComposeResult::Failed:
            trackEvent(Road::TextMsg, std::string("txtMsgSendFailed"));
            notice("绑定短信发送失败，请稍后重试");
            break;
        case ui::MessageComposeResult::Cancelled:
            break;
    }
}

void BindViewController::startPoll() {
    if (pollHud_) return;
    ui::NavigationItem* item = navigationItem();
    if (auto* right = item->rightBarButtonItem()) right->setEnabled(false);
    if (auto* left = item->leftBarButtonItem()) left->setEnabled(false);
    ui::NavigationController* nav = navigationController();
    pollHud_ = ProgressHUD::initWithView(nav ? nav->view() : view());
    ui::View* host = view()->superview() ? view()->superview() : view();
    host->addSubview(pollHud_);
    pollHud_->setDimBackground(true);
    pollHud_->setDelegate(this);
    pollHud_->setMode(ProgressHUDModeAnnularDeterminate);
    pollHud_->setLabelText("正在绑定");
    pollHud_->setProgress(1.0f / (kPollAttempts + 1));
    pollHud_->show(true);
    auto weak = std::weak_ptr<ui::ViewController>(shared_from_this());
    pollTimer_ = foundation::RunLoop::main().performAfter(kPollInterval, [weak] {
        if (auto self = std::static_pointer_cast<BindViewController>(weak.lock())) self->pollAttempt(2);
    });
}

void BindViewController::pollAttempt(int attempt) {
    pollTimer_.reset();
    const std::string sid = sid_;
    auto step = std::make_shared<PollStep>();
    auto weak = std::weak_ptr<ui::ViewController>(shared_from_this());
    foundation::BackgroundTask::run(
        "smspoll",
        [sid, step] {
            auto address = requestAddressForPayload(pollPayload(sid));
            if (!address) {
                *step = PollStep::of(true, "");
                return;
            }
            auto request = http::HttpRequest::requestWithURL(*address);
            request->setTimeOutSeconds(kPollTimeOut);
            request->setAllowCompressedResponse(true);
            request->startSynchronous();
            *step = PollStep::of(bool(request->error()), request->responseString().value_or(""));
        },
        [weak, attempt, step] {
            if (auto self = std::static_pointer_cast<BindViewController>(weak.lock()))
                self->pollAnswered(attempt, *step);
        });
}

void BindViewController::pollAnswered(int attempt, const PollStep& step) {
    if (pollHud_) pollHud_->setProgress(float(attempt) / (kPollAttempts + 1));
    if (step.label) trackEvent(Road::TextMsg, step.label);
    if (step.stop) {
        cleanUpPull(step.outcome);
        return;
    }
    if (attempt >= kPollAttempts + 1) {
        cleanUpPull(std::string(kPollGiveUp));
        return;
    }
    auto weak = std::weak_ptr<ui::ViewController>(shared_from_this());
    pollTimer_ = foundation::RunLoop::main().performAfter(kPollInterval, [weak, attempt] {
        if (auto self = std::static_pointer_cast<BindViewController>(weak.lock())) self->pollAttempt(attempt + 1);
    });
}

void BindViewController::cleanUpPull(const std::optional<std::string>& outcome) {
    if (pollHud_) pollHud_->setProgress(1);
    if (outcome) {
        endPollOverlay();
        notice(*outcome);
        return;
    }
    // The text has arrived: bind under the same overlay, as this phone, with
    // the identifier every later handshake uses.
    Answer answer;
    answer.sid = sid_;
    answer.uuid = CreateUUID::createUUID();
    answer.mac = IdentifierAddition::firstBindIdentifier();
    if (!smsBindPayload(sid_, answer, DeviceFields::of(foundation::device()), pushToken())) {
        endPollOverlay();
        notice(refusalNotice(0, std::nullopt));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        answer_ = answer;
    }
    auto self = std::static_pointer_cast<BindViewController>(shared_from_this());
    foundation::BackgroundTask::run("textbind", [self] { self->threadFunc(kTagTextMsgBind, foundation::Value()); });
}

void BindViewController::endPollOverlay() {
    if (!pollHud_) return;
    pollHud_->hide(true);
}

void BindViewController::hudWasHidden(ProgressHUD* hud) {
    if (pollHud_ && hud == pollHud_.get()) {
        ui::NavigationItem* item = navigationItem();
        if (auto* right = item->rightBarButtonItem()) right->setEnabled(true);
        if (auto* left = item->leftBarButtonItem()) left->setEnabled(true);
        pollHud_->removeFromSuperview();
        pollHud_.reset();
        return;
    }
    KAVOCommandViewController::hudWasHidden(hud);
}

// ---------------------------------------------------------------- payment road

void BindViewController::korvexBinding() {
    backBroad();
    auto alert = ui::AlertView::create("请输入您的禾川账号", "", this, "确定", {"取消"});
    alert->setAlertViewStyle(ui::AlertViewStyle::PlainTextInput);
    alert->setTag(kAlertKorvexName);
    alert->show();
    trackEvent(Road::Korvex, std::string("korvexBindButtonPush"));
}

void BindViewController::handBackCheck() {
    auto& defaults = foundation::UserDefaults::standard();
    if (defaults.integerForKey(kBoundStateKey) != kStateHandOffPending) {
        defaults.setString(kHandBackKey, "");
        defaults.synchronize();
        return;
    }
    const auto stored = defaults.stringForKey(kHandBackKey);
    defaults.setString(kHandBackKey, "");
    const HandBack handBack = HandBack::of(stored);
    switch (handBack.kind) {
        case HandBack::Error:
            defaults.setInteger(kBoundStateKey, kStateNone);
            Constants::simpleAlertViewWithTitle("迅付绑定失败", handBack.text);
            trackEvent(Road::Korvex, std::string("korvexGetTokenFailed"));
            break;
        case HandBack::Token:
            popOutProgressHUD(kTagKorvexBind, foundation::Value(handBack.text));
            trackEvent(Road::Korvex, std::string("korvexGetTokenSucces"));
            break;
        case HandBack::Interrupted:
            defaults.setInteger(kBoundStateKey, kStateNone);
            Constants::simpleAlertViewWithTitle("迅付绑定失败", "操作中断，请重试");
            trackEvent(Road::Korvex, std::string("korvexGetTokenInterrupted"));
            break;
    }
    defaults.synchronize();
}

// ---------------------------------------------------------------- QR road

void BindViewController::qrBind() {
    backBroad();
    qrReader_ = std::make_shared<ScanReaderViewController>();
    const double H = ui::Screen::main().bounds().size.height;
    qrReader_->setScanCrop({0.5 - 112 / (H - 53), 0.15, 224 / (H - 53), 0.7});

    // The reader's own buttons give way to this screen's bar.
    ui::View* readerRoot = qrReader_->view();
    for (const auto& child : std::vector<std::shared_ptr<ui::View>>(readerRoot->subviews()))
        for (const auto& grandchild : std::vector<std::shared_ptr<ui::View>>(child->subviews()))
            if (dynamic_cast<ui::Button*>(grandchild.get())) grandchild->removeFromSuperview();
    auto bar = std::make_shared<ui::ImageView>(ui::Image::named("qrcode_bg.png"));
    bar->setFrame({0, H - 53, 320, 53});
    readerRoot->addSubview(bar);
    auto cancel = std::make_shared<ui::Button>(ui::Rect{10, H - 42, 60, 36}, ui::ButtonType::Custom);
    cancel->setTitle("取 消");
    cancel->setTitleColor(ui::Color::whiteColor());
    cancel->titleLabel()->setFont(ui::Font::systemFont(12));
    cancel->setBackgroundImage(ui::Image::named("qr_button.png"));
    std::weak_ptr<ui::ViewController> readerRef = qrReader_;
    cancel->addTarget(
        this,
        [this, readerRef](ui::Control*, const ui::Event*) {
            if (auto reader = readerRef.lock()) imagePickerControllerDidCancel(*reader);
        },
        ui::kControlEventTouchUpInside);
    readerRoot->addSubview(cancel);

    qrReader_->setReaderDelegate(this);
    // The serial comes as a QR code and nothing else: every other symbology
    // (Interleaved 2 of 5 among them) is off. A poor read of bars beside the
    // code would otherwise make the decoder's cache hold the code back.
    qrReader_->scanner()->setSymbology(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    qrReader_->scanner()->setSymbology(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    qrReader_->setTracksSymbols(true);
    qrReader_->setShowsScanControls(false);
    presentModalViewController(qrReader_, false);
    trackEvent(Road::Serial, std::string("codeQrButtonPush"));
}

void BindViewController::imagePickerControllerDidFinishPickingMediaWithInfo(ui::ViewController& reader,
                                                                            const ScanPickerInfo& info) {
    if (&reader != qrReader_.get()) return;
    qrReader_->setReaderDelegate(nullptr);  // one result is all this screen takes
    std::string text;
    if (!info.results.empty()) text = info.results.front()->data().value_or("");
    // A scanned serial is checked as a typed one before anything is sent.
    if (isSerial(text)) {
        dkbase_.serial = text;
        popOutProgressHUD(kTagSerial, foundation::Value(text));
    } else {
        Constants::simpleAlertViewWithTitle("提示", "扫描结果格式不对！请重新扫描");
    }
    dismissModalViewControllerAnimated(true);
    trackEvent(Road::Serial, std::string("codeQrStartBind"));
}

void BindViewController::imagePickerControllerDidCancel(ui::ViewController& reader) {
    if (&reader != qrReader_.get()) return;
    qrReader_->setReaderDelegate(nullptr);
    dismissModalViewControllerAnimated(true);
    if (auto* nav = navigationController()) nav->popToRootViewControllerAnimated(false);
}
