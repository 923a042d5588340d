#include "app/screens/bind/SerialRoad.h"

#include <algorithm>

#include "app/core/Envelope.h"
#include "app/core/connectNetCheck.h"
#include "app/cycle/Constants.h"
#include "app/screens/bind/BindViewController.h"
#include "platform/ui/Font.h"

using namespace BindModel;

SerialRoad::SerialRoad(BindViewController& screen, BindOutcome& outcome) : screen_(screen), outcome_(outcome) {}

void SerialRoad::registerCommand() {
    // Command 16: the serial, after a first-bind handshake.
    ScreenCommand serial = ScreenCommand::bindingStep(BindViewController::kTagSerial, "正在绑定...请稍候");
    serial.assembleURL = [this](const Answer& answer, const foundation::Value& argument) -> std::optional<std::string> {
        outcome_.rememberAnswer(answer);
        const std::string* text = argument.asString();
        if (!text || !isSerial(*text)) return std::nullopt;
        return requestAddressForPayload(
            serialPayload(answer, *text, DeviceFields::of(foundation::device()), pushToken()));
    };
    serial.onReply = [this](const CommandReply& reply) { outcome_.handleReply(reply, Road::Serial); };
    serial.onFailure = [this](http::HttpRequest&) { outcome_.failed(Road::Serial, kNetworkNotice, std::nullopt); };
    screen_.registerCommand(std::move(serial));
}

std::shared_ptr<ui::TextField> SerialRoad::makeField(const ui::Rect& frame) {
    field_ = std::make_shared<ui::TextField>(frame);
    field_->setBorderStyle(ui::TextBorderStyle::RoundedRect);
    field_->setFont(ui::Font::systemFont(20));
    field_->setTextAlignment(ui::TextAlignment::Center);
    field_->setPlaceholder(kSerialPrompt);
    field_->setPlaceholderColor(ui::Color::darkGrayColor());
    field_->traits().autocapitalizationType = ui::TextAutocapitalizationType::None;
    field_->setReturnKeyType(ui::ReturnKeyType::Done);
    field_->setDelegate(&screen_);
    field_->addTarget(
        &screen_, [this](ui::Control*, const ui::Event*) { numOfTextField(); }, ui::kControlEventEditingChanged);
    return field_;
}

void SerialRoad::numOfTextField() {
    const std::string text = field_->text();
    if (!serialWantsSubmit(text)) return;
    field_->resignFirstResponder();
    initFinish(text);
}

void SerialRoad::initFinish(const std::string& serial) {
    if (!isSerial(serial)) {
        outcome_.notice(kSerialLengthNotice);
    } else if (!connectNetCheck().connectToNetwork()) {
        outcome_.notice(kNetworkNotice);
    } else {
        submit(serial);
        BindOutcome::track(Road::Serial, std::string("codeStartBind"));
    }
    // The field is empty again: its placeholder asks for the serial.
    field_->setText("");
}

void SerialRoad::submit(const std::string& serial) {
    outcome_.setSerial(serial);
    screen_.popOutProgressHUD(BindViewController::kTagSerial, foundation::Value(serial));
}

void SerialRoad::backBroad() {
    field_->resignFirstResponder();
    field_->setText("");
}

void SerialRoad::didBeginEditing() {
    moveView(true);
    BindOutcome::track(Road::Serial, std::string("codeInputPush"));
}

void SerialRoad::didEndEditing() { moveView(false); }

void SerialRoad::moveView(bool up) {
    if (up == viewMovedUp_) return;
    viewMovedUp_ = up;
    const bool tall = Constants::isTallScreen();
    const double distance = tall ? 70 : 160;
    const double duration = tall ? 0.3 : 0.5;
    auto root = screen_.viewRef();
    const ui::Rect frame = root->frame();
    const double dy = up ? -distance : distance;
    // The view grows by what it moves up, so that its own background still
    // reaches the bottom of the window (a desktop shows no keyboard there).
    const ui::Rect moved{frame.x(), frame.y() + dy, frame.width(), std::max(0.0, frame.height() - dy)};
    ui::View::animate(duration, 0, ui::kAnimationOptionBeginFromCurrentState, [root, moved] { root->setFrame(moved); });
}
