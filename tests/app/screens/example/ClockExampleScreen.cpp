#include "tests/app/screens/example/ClockExampleScreen.h"

#include "app/core/Envelope.h"
#include "platform/foundation/Clock.h"
#include "platform/ui/Navigation.h"

ClockExampleScreen::ClockExampleScreen() {
    ScreenCommand time;
    time.tag = kTagTime;
    time.waitingText = "正在校准时间";
    time.handshake = false;  // the time command carries the stored uuid only
    time.plainTextReply = true;
    time.assembleURL = [](const Answer& answer, const foundation::Value&) {
        return requestAddressForPayload(TextPayload(kTagTime, {answer.uuid.value_or("(null)")}).text());
    };
    time.onReply = [this](const CommandReply& reply) {
        ClockExampleModel model = ClockExampleModel::fromReply(reply.text, foundation::clock().now());
        caption_->setText(model.caption());
    };
    registerCommand(std::move(time));
}

void ClockExampleScreen::viewDidLoad() {
    setTitle("时间");
    view()->setBackgroundColor(ui::Color::whiteColor());
    caption_ = std::make_shared<ui::Label>(ui::Rect{20, 40, 280, 30});
    caption_->setTextAlignment(ui::TextAlignment::Center);
    caption_->setText("尚未校准");
    view()->addSubview(caption_);
    navigationItem()->setRightBarButtonItem(ui::BarButtonItem::withTitle(
        "校准", ui::BarButtonItemStyle::Bordered, [this](ui::BarButtonItem*) { popOutProgressHUD(kTagTime); }));
}
