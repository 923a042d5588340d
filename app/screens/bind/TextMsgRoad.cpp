#include "app/screens/bind/TextMsgRoad.h"

#include "app/core/DeviceIdentity.h"
#include "app/core/Envelope.h"
#include "app/cycle/Constants.h"
#include "app/screens/bind/BindViewController.h"
#include "lib/http/HttpRequest.h"
#include "platform/foundation/Background.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Navigation.h"

using namespace BindModel;

TextMsgRoad::TextMsgRoad(BindViewController& screen, BindOutcome& outcome) : screen_(screen), outcome_(outcome) {}

TextMsgRoad::~TextMsgRoad() {
    if (pollTimer_) pollTimer_->invalidate();
}

void TextMsgRoad::registerCommands() {
    // Command 31 op 0: the phone of the account named by the user.
    ScreenCommand lookup = ScreenCommand::bindingStep(BindViewController::kTagPhoneLookup, "正在获取用户信息");
    lookup.waitSlice = 9;
    lookup.handshake = false;
    lookup.assembleURL = [](const Answer&, const foundation::Value& argument) -> std::optional<std::string> {
        const std::string* name = argument.asString();
        if (!name) return std::nullopt;
        return requestAddressForPayload(phoneLookupPayload(*name));
    };
    lookup.onFailure = [this](http::HttpRequest&) { outcome_.failed(Road::TextMsg, kNetworkNotice, std::nullopt); };
    lookup.onReply = [this](const CommandReply& reply) {
        const PhoneLookup lookup = PhoneLookup::of(reply.json);
        if (!lookup.sid) {
            outcome_.notice(lookup.text);
            return;
        }
        sid_ = *lookup.sid;
        Constants::compicatedAlertViewWithTitle("提示", lookup.text, BindViewController::kAlertSmsConfirm, &screen_);
    };
    screen_.registerCommand(std::move(lookup));

    // Command 31 op 2: the binding once the text has arrived. It runs under
    // the poll's overlay, so it shows none of its own.
    ScreenCommand textBind = ScreenCommand::bindingStep(BindViewController::kTagTextMsgBind, "正在绑定");
    textBind.handshake = false;
    textBind.showsOverlay = false;
    textBind.assembleURL = [this](const Answer&, const foundation::Value&) -> std::optional<std::string> {
        const Answer answer = outcome_.answer();
        auto payload =
            smsBindPayload(answer.sid.value_or(""), answer, DeviceFields::of(foundation::device()), pushToken());
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    textBind.onReply = [this](const CommandReply& reply) { outcome_.handleReply(reply, Road::TextMsg); };
    textBind.onFailure = [this](http::HttpRequest&) { outcome_.failed(Road::TextMsg, kNetworkNotice, std::nullopt); };
    textBind.onFinished = [this] { endPollOverlay(); };
    screen_.registerCommand(std::move(textBind));
}

void TextMsgRoad::reset() {
    userName_.clear();
    sid_.clear();
}

void TextMsgRoad::start() {
    if (auto refusal = smsRefusal(foundation::device())) {
        outcome_.notice(*refusal);
    } else {
        auto alert = ui::AlertView::create("请输入您的禾川账号", "", &screen_, "确定", {"取消"});
        alert->setAlertViewStyle(ui::AlertViewStyle::PlainTextInput);
        alert->setTag(BindViewController::kAlertSmsName);
        alert->show();
    }
    BindOutcome::track(Road::TextMsg, std::string("txtButtonPush"));
}

void TextMsgRoad::nameGiven(const std::string& name) {
    userName_ = name;
    screen_.popOutProgressHUD(BindViewController::kTagPhoneLookup, foundation::Value(name));
    BindOutcome::track(Road::TextMsg, std::string("txtSubmitName"));
}

void TextMsgRoad::confirmed(int buttonIndex) {
    if (sid_.empty() || userName_.empty()) {
        outcome_.notice("获取用户信息失败，请稍后重试");
    } else if (buttonIndex == 0) {
        composer_ = std::make_shared<ui::MessageComposeViewController>();
        composer_->setBody(smsBody(userName_, sid_));
        composer_->setRecipients({smsGateway(foundation::device().carrierName)});
        composer_->setMessageComposeDelegate(&screen_);
        screen_.presentModalViewController(composer_, true);
        BindOutcome::track(Road::TextMsg, std::string("txtReadyToSendMsg"));
    }
}

void TextMsgRoad::composeFinished(ui::MessageComposeViewController* composer, ui::MessageComposeResult result) {
    composer->dismissViewControllerAnimated(true);
    composer_.reset();
    switch (result) {
        case ui::MessageComposeResult::Sent:
            BindOutcome::track(Road::TextMsg, std::string("txtMsgSentSuccess"));
            startPoll();
            break;
        case ui::MessageComposeResult::Failed:
            BindOutcome::track(Road::TextMsg, std::string("txtMsgSendFailed"));
            outcome_.notice("绑定短信发送失败，请稍后重试");
            break;
        case ui::MessageComposeResult::Cancelled:
            break;
    }
}

void TextMsgRoad::startPoll() {
    if (pollHud_) return;
    screen_.setBarButtonsEnabled(false);
    ui::NavigationController* nav = screen_.navigationController();
    ui::View* view = screen_.view();
    pollHud_ = ProgressHUD::initWithView(nav ? nav->view() : view);
    ui::View* host = view->superview() ? view->superview() : view;
    host->addSubview(pollHud_);
    pollHud_->setDimBackground(true);
    pollHud_->setDelegate(&screen_);
    pollHud_->setMode(ProgressHUDModeAnnularDeterminate);
    pollHud_->setLabelText("正在绑定");
    pollHud_->setProgress(1.0f / (kPollAttempts + 1));
    pollHud_->show(true);
    std::weak_ptr<ui::ViewController> weak = screen_.shared_from_this();
    pollTimer_ = foundation::RunLoop::main().performAfter(kPollInterval, [this, weak] {
        if (weak.lock()) pollAttempt(2);
    });
}

void TextMsgRoad::pollAttempt(int attempt) {
    pollTimer_.reset();
    const std::string sid = sid_;
    auto step = std::make_shared<PollStep>();
    std::weak_ptr<ui::ViewController> weak = screen_.shared_from_this();
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
        [this, weak, attempt, step] {
            if (weak.lock()) pollAnswered(attempt, *step);
        });
}

void TextMsgRoad::pollAnswered(int attempt, const PollStep& step) {
    if (pollHud_) pollHud_->setProgress(float(attempt) / (kPollAttempts + 1));
    if (step.label) BindOutcome::track(Road::TextMsg, step.label);
    if (step.stop) {
        cleanUpPull(step.outcome);
        return;
    }
    if (attempt >= kPollAttempts + 1) {
        cleanUpPull(std::string(kPollGiveUp));
        return;
    }
    std::weak_ptr<ui::ViewController> weak = screen_.shared_from_this();
    pollTimer_ = foundation::RunLoop::main().performAfter(kPollInterval, [this, weak, attempt] {
        if (weak.lock()) pollAttempt(attempt + 1);
    });
}

void TextMsgRoad::cleanUpPull(const std::optional<std::string>& outcome) {
    if (pollHud_) pollHud_->setProgress(1);
    if (outcome) {
        endPollOverlay();
        outcome_.notice(*outcome);
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
        outcome_.notice(refusalNotice(0, std::nullopt));
        return;
    }
    outcome_.rememberAnswer(answer);
    auto self = std::static_pointer_cast<BindViewController>(screen_.shared_from_this());
    foundation::BackgroundTask::run(
        "textbind", [self] { self->threadFunc(BindViewController::kTagTextMsgBind, foundation::Value()); });
}

void TextMsgRoad::endPollOverlay() {
    if (!pollHud_) return;
    pollHud_->hide(true);
}

bool TextMsgRoad::overlayHidden(ProgressHUD* hud) {
    if (!pollHud_ || hud != pollHud_.get()) return false;
    screen_.setBarButtonsEnabled(true);
    pollHud_->removeFromSuperview();
    pollHud_.reset();
    return true;
}
