#include "app/screens/settings/SuggestViewController.h"

#include "app/core/Envelope.h"
#include "app/core/StoreKeys.h"
#include "app/core/connectNetCheck.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/settings/SettingsRules.h"
#include "app/screens/shared/ScreenChrome.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Navigation.h"

namespace {
long long nowSeconds() { return (long long)foundation::clock().now(); }
}  // namespace

SuggestViewController::SuggestViewController() {
    ScreenCommand send;
    send.tag = kTagSuggest;
    send.waitingText = "正在发送...请稍候";
    send.handshake = false;
    send.timeOutSeconds = 15;
    send.plainTextReply = true;
    send.assembleURL = [](const Answer& answer, const foundation::Value& text) {
        const auto& device = foundation::device();
        const std::string field = SuggestRules::opinionField(device.model, device.systemVersion, device.appVersion,
                                                             text.asString() ? *text.asString() : std::string());
        return requestAddressForPayload(TextPayload(28, {answer.uuid.value_or("(null)"), field}).text());
    };
    // Only the wrapper counts: the content is not read.
    send.onReply = [this](const CommandReply&) {
        showAlert("发送成功", "感谢你对禾盾的支持！", kAlertLeave);
        Constants::upDateDBSetValue(std::to_string(nowSeconds()), StoreKeys::suggestTime);
    };
    send.onInvalidReply = [this] { showAlert("警告", kNetworkUnstableMessage, kAlertLeave); };
    send.onFailure = [this](http::HttpRequest&) { showAlert("发送失败", "你的网络不通，请稍后再试！", kAlertLeave); };
    registerCommand(std::move(send));
}

void SuggestViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    setTitle("意见反馈");
    ScreenChrome::installBackButton(*this);
    view()->setBackgroundColor(ui::Color::rgba(0.11, 0.12, 0.14));
    auto background = std::make_shared<ui::ImageView>(ui::Image::named("bg4.jpg"));
    background->setFrame(view()->bounds());
    view()->addSubview(background);

    suggestTxt_ = std::make_shared<ui::TextView>(ui::Rect{15, 15, 290, 150});
    suggestTxt_->setBackgroundColor(ui::Color::whiteColor());
    suggestTxt_->setFont(ui::Font::systemFont(15));
    suggestTxt_->traits().returnKeyType = ui::ReturnKeyType::Send;
    suggestTxt_->setTextDelegate(this);
    suggestTxt_->layer().setCornerRadius(6);
    view()->addSubview(suggestTxt_);

    upLabel_ = std::make_shared<ui::Label>(ui::Rect{23, 20, 274, 60});
    upLabel_->setText("请写下你对禾盾的意见和建议，写完后按键盘上的“发送”提交。");
    upLabel_->setNumberOfLines(0);
    upLabel_->setFont(ui::Font::systemFont(14));
    upLabel_->setTextColor(ui::Color::grayColor());
    upLabel_->setBackgroundColor(ui::Color::clearColor());
    view()->addSubview(upLabel_);
    hideBtn_ = ui::Button::buttonWithType(ui::ButtonType::Custom);
    hideBtn_->setFrame(suggestTxt_->frame());
    hideBtn_->addTarget(
        this,
        [this](ui::Control*, const ui::Event*) {
            hideLabel();
            suggestTxt_->becomeFirstResponder();
        },
        ui::kControlEventTouchUpInside);
    view()->addSubview(hideBtn_);

    suggestLabel_ = std::make_shared<ui::Label>(ui::Rect{15, 170, 290, 20});
    suggestLabel_->setTextAlignment(ui::TextAlignment::Right);
    suggestLabel_->setFont(ui::Font::systemFont(13));
    suggestLabel_->setTextColor(ui::Color::whiteColor());
    suggestLabel_->setBackgroundColor(ui::Color::clearColor());
    suggestLabel_->setText("您还可以输入200字");
    view()->addSubview(suggestLabel_);
    ScreenAnalytics::trackPageview("suggestView");
}

void SuggestViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    suggestTxt_->becomeFirstResponder();
}

void SuggestViewController::hideLabel() {
    if (upLabel_->isHidden()) return;
    upLabel_->setHidden(true);
    hideBtn_->setHidden(true);
}

bool SuggestViewController::textViewShouldChangeText(ui::TextView* textView, ui::TextRange range,
                                                     const std::string& replacement) {
    hideLabel();
    if (replacement == "\n") {
        sendCheck();
        return false;
    }
    if (!SuggestRules::acceptsChange(foundation::utf16Length(textView->text()), range.location, range.length,
                                     replacement))
        return false;
    suggestLabel_->setText(SuggestRules::charactersLeftText(range.location));
    return true;
}

void SuggestViewController::sendCheck() {
    if (SuggestRules::tooSoon(nowSeconds(), Constants::getValueFromDBByKey(StoreKeys::suggestTime).value_or("0"))) {
        showAlert("提交时间过短", "意见反馈的时间间隔为10分钟，请稍后再试！", 0);
    } else if (suggestTxt_->text().empty()) {
        showAlert("内容长度错误", "你的意见内容不能为空！", 0);
    } else if (!connectNetCheck().connectToNetwork()) {
        showAlert("错误", kNetworkUnstableMessage, 0);
    } else {
        suggestTxt_->resignFirstResponder();
        popOutProgressHUD(kTagSuggest, foundation::Value(suggestTxt_->text()));
        ScreenAnalytics::trackEvent("suggestView", "SubmitSuggest", std::nullopt);
    }
}

void SuggestViewController::showAlert(const std::string& title, const std::string& message, int tag) {
    auto alert = ui::AlertView::create(title, message, this, "确定");
    alert->setTag(tag);
    alert->show();
}

void SuggestViewController::alertClicked(ui::AlertView* alertView, int) {
    if (alertView->tag() == kAlertLeave && navigationController())
        navigationController()->popViewControllerAnimated(true);
}
