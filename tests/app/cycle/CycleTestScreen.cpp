#include "tests/app/cycle/CycleTestScreen.h"

#include "app/core/Envelope.h"
#include "platform/ui/Navigation.h"

CycleTestScreen::CycleTestScreen() {
    ScreenCommand password;
    password.tag = kTagPassword;
    password.waitingText = "正在修改密码";
    password.assembleURL = [](const Answer& answer, const foundation::Value& argument) {
        return assembleURLForChangePassword(answer, argument.description());
    };
    password.onReply = [this](const CommandReply& reply) {
        handled.push_back({kTagPassword, reply.text, reply.json.has_value()});
    };
    registerCommand(std::move(password));

    ScreenCommand korvex;
    korvex.tag = kTagKorvex;
    korvex.waitingText = "正在进行绑定操作...";
    korvex.handshakeFailure = FailureReport::alert("错误");
    korvex.assembleURL = [](const Answer& answer, const foundation::Value& argument) {
        return assembleURLForBindKorvex(answer, argument.description());
    };
    korvex.onReply = [this](const CommandReply& reply) {
        handled.push_back({kTagKorvex, reply.text, reply.json.has_value()});
    };
    registerCommand(std::move(korvex));

    ScreenCommand time;
    time.tag = kTagTime;
    time.waitingText = "正在校准时间";
    time.waitSlice = 9;
    time.handshake = false;
    time.plainTextReply = true;
    time.requestFailure = FailureReport::alert("警告");
    time.assembleURL = [](const Answer& answer, const foundation::Value&) {
        return assembleURLForCalibrateTime(answer);
    };
    time.onReply = [this](const CommandReply& reply) {
        handled.push_back({kTagTime, reply.text, reply.json.has_value()});
    };
    registerCommand(std::move(time));
}

void CycleTestScreen::viewDidLoad() {
    setTitle("测试");
    navigationItem()->setRightBarButtonItem(
        ui::BarButtonItem::withTitle("修改", ui::BarButtonItemStyle::Bordered,
                                     [this](ui::BarButtonItem*) { popOutProgressHUDForChangePassword("abc123"); }));
    navigationItem()->setLeftBarButtonItem(
        ui::BarButtonItem::withTitle("返回", ui::BarButtonItemStyle::Bordered, [](ui::BarButtonItem*) {}));
}

bool CycleTestScreen::popOutProgressHUDForChangePassword(const std::string& newPassword) {
    return popOutProgressHUD(kTagPassword, newPassword);
}

bool CycleTestScreen::popOutProgressHUDForBindKorvex(const std::string& token) {
    return popOutProgressHUD(kTagKorvex, token);
}

bool CycleTestScreen::popOutProgressHUDForCalibrateTime() { return popOutProgressHUD(kTagTime); }

std::optional<std::string> CycleTestScreen::assembleURLForChangePassword(const Answer& answer,
                                                                         const std::string& password) {
    TextPayload payload(15, {answer.uuid.value_or("(null)"), answer.answer.value_or("(null)"), password});
    return requestAddressForPayload(payload.text());
}

std::optional<std::string> CycleTestScreen::assembleURLForBindKorvex(const Answer& answer, const std::string& token) {
    JsonPayload payload(33, foundation::Dictionary{{"uuid", answer.uuid.value_or("(null)")},
                                                   {"answer", answer.answer.value_or("(null)")},
                                                   {"korvexTokenId", token}});
    auto text = payload.text();
    if (!text) return std::nullopt;
    return requestAddressForPayload(*text);
}

std::optional<std::string> CycleTestScreen::assembleURLForCalibrateTime(const Answer& answer) {
    return requestAddressForPayload(TextPayload(20, {answer.uuid.value_or("(null)")}).text());
}

void CycleTestScreen::alertClicked(ui::AlertView* alertView, int) { otherAlertsClicked.push_back(alertView->tag()); }
