#include "app/screens/token/OtpViewController.h"

#include "app/core/BindingState.h"
#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/core/connectNetCheck.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/token/CodeEngine.h"
#include "app/screens/token/KAVOSafeProductViewController.h"
#include "app/screens/token/TokenModel.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace {

constexpr const char* kCategory = "otpView";

bool tallScreen() { return Constants::isTallScreen(); }
// The screen as drawn for the phone is 460 points high, 548 on the tall
// screen; the engine view takes its height less 200 (less 300 on the tall
// screen), whatever room the tab has. The room under the product
// container's tab buttons is 336 points (398 on the tall screen): the part
// under the digits moves up so that its foot is the room's, and the screen
// is no higher than the room.
using Container = KAVOSafeProductViewController;
constexpr double kShortScreenLift = 96;
constexpr double kTallScreenLift = 89;
double designHeight() { return tallScreen() ? Container::kTallTabDesignHeight : Container::kTabDesignHeight; }
double viewHeight() { return tallScreen() ? Container::kTallTabRoomHeight : Container::kTabRoomHeight; }
double lift() { return tallScreen() ? kTallScreenLift : kShortScreenLift; }

void moveDown(ui::View& view, double by) {
    ui::Rect f = view.frame();
    f.origin.y += by;
    view.setFrame(f);
}

}  // namespace

OtpViewController::OtpViewController() : offer_(*this) {
    token::registerCalibration(*this, *this, kTagServerTime, [this](const std::string& difference) {
        dkbase_.difftime = difference;
        liveCode_.setToken(dkbase_.bid, dkbase_.difftime);
    });
}

OtpViewController::~OtpViewController() { CodeEngine::stop(this); }

std::shared_ptr<ui::Button> OtpViewController::roundButton(const ui::Rect& frame, const std::string& title) {
    auto button = std::make_shared<ui::Button>(frame, ui::ButtonType::Custom);
    button->setBackgroundImage(ui::Image::named("round_btn_nomaol.png"));
    button->setTitle(title);
    button->setTitleColor(ui::Color::whiteColor());
    button->titleLabel()->setFont(ui::Font::systemFont(13));
    return button;
}

void OtpViewController::loadView() {
    setView(std::make_shared<ui::View>(ui::Rect{0, 0, 320, viewHeight()}));
    view()->setBackgroundColor(ui::Color::rgba(0.05, 0.09, 0.16));
}

void OtpViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    ui::View& root = *view();

    backGroundImage_ = std::make_shared<ui::ImageView>(ui::Rect{0, 202, 320, 258});
    backGroundImage_->setBackgroundColor(ui::Color::rgba(0.94, 0.95, 0.97));
    root.addSubview(backGroundImage_);

    lable_ = std::make_shared<ui::Label>(ui::Rect{20, 212, 280, 24});
    lable_->setTextAlignment(ui::TextAlignment::Center);
    lable_->setBackgroundColor(ui::Color::clearColor());
    lable_->setOpaque(false);
    lable_->setFont(ui::Font::systemFont(15));
    lable_->setTextColor(ui::Color::rgba(0.12, 0.23, 0.40));
    root.addSubview(lable_);

    progressView_ = StripedProgressBar::create({30, 242, 260, 12});
    root.addSubview(progressView_);

    soundBtn_ = roundButton({28, 268, 72, 72}, "朗读");
    soundBtn_->setAccessibilityLabel("朗读口令");
    timeButton_ = roundButton({124, 268, 72, 72}, "校准");
    timeButton_->setAccessibilityLabel("时间校准");
    fast_show_btn_ = roundButton({220, 268, 72, 72}, "首页显示");
    fast_show_btn_->setAccessibilityLabel("首页显示动态口令");
    soundBtn_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { playerSound(); }, ui::kControlEventTouchUpInside);
    timeButton_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { timeCheck(); }, ui::kControlEventTouchUpInside);
    fast_show_btn_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { showFast(); }, ui::kControlEventTouchUpInside);
    root.addSubview(soundBtn_);
    root.addSubview(timeButton_);
    root.addSubview(fast_show_btn_);

    show_korvex_B_ = std::make_shared<ui::Button>(ui::Rect{40, 352, 240, 36}, ui::ButtonType::Custom);
    show_korvex_B_->setBackgroundColor(ui::Color::rgba(0.93, 0.42, 0.13));
    show_korvex_B_->setTitle("开启岚付通付款验证");
    show_korvex_B_->setTitleColor(ui::Color::whiteColor());
    show_korvex_B_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { boudnNimbra(); }, ui::kControlEventTouchUpInside);
    root.addSubview(show_korvex_B_);

    notificateBar_ = std::make_shared<ui::Label>(ui::Rect{10, 396, 300, 36});
    notificateBar_->setNumberOfLines(2);
    notificateBar_->setTextAlignment(ui::TextAlignment::Center);
    notificateBar_->setFont(ui::Font::systemFont(12));
    notificateBar_->setTextColor(ui::Color::rgba(0.35, 0.38, 0.45));
    root.addSubview(notificateBar_);
    // The notice line is a second way in to payment verification.
    show_korvex_ = std::make_shared<ui::Button>(notificateBar_->frame(), ui::ButtonType::Custom);
    show_korvex_->setAccessibilityLabel("付款验证说明");
    show_korvex_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { boudnNimbra(); }, ui::kControlEventTouchUpInside);
    root.addSubview(show_korvex_);

    notificateArea_ = std::make_shared<ui::Label>(ui::Rect{24, 120, 272, 160});
    notificateArea_->setNumberOfLines(0);
    notificateArea_->setTextAlignment(ui::TextAlignment::Center);
    notificateArea_->setFont(ui::Font::systemFont(15));
    notificateArea_->setTextColor(ui::Color::rgba(0.2, 0.24, 0.32));
    notificateArea_->setText(
        "动态口令尚未启用\n\n请回到首页完成手机绑定，\n或在岚付通应用中完成付款验证开通后再来查看。");
    notificateArea_->setHidden(true);
    root.addSubview(notificateArea_);

    boundState_ = binding::stored();
    live_ = binding::showsLiveCode(boundState_);
    if (!live_) {
        for (ui::View* v : {static_cast<ui::View*>(soundBtn_.get()), static_cast<ui::View*>(timeButton_.get()),
                            static_cast<ui::View*>(fast_show_btn_.get()), static_cast<ui::View*>(progressView_.get()),
                            static_cast<ui::View*>(notificateBar_.get()), static_cast<ui::View*>(show_korvex_.get()),
                            static_cast<ui::View*>(show_korvex_B_.get()), static_cast<ui::View*>(lable_.get())})
            v->setHidden(true);
        backGroundImage_->setFrame({0, 0, 320, 640});
        notificateArea_->setHidden(false);
        return;
    }

    layArray_ = OTPLayer::initParam();
    if (auto background = ui::Image::named("bg4.jpg"))
        root.setBackgroundColor(
            ui::Color::patternImage(background->withScale(background->size().width / 320 * background->scale())));

    if (tallScreen()) {
        for (ui::View* v : {static_cast<ui::View*>(soundBtn_.get()), static_cast<ui::View*>(timeButton_.get()),
                            static_cast<ui::View*>(fast_show_btn_.get())})
            moveDown(*v, 25);
        moveDown(*progressView_, 10);
        moveDown(*show_korvex_B_, 45);
        moveDown(*notificateBar_, 55);
        moveDown(*show_korvex_, 55);
    }
    if (binding::paymentVerificationOn(boundState_)) {
        show_korvex_B_->setHidden(true);
        show_korvex_->setHidden(true);
        notificateBar_->setText("本动态口令已全面支持岚付通付款验证");
        for (ui::View* v : {static_cast<ui::View*>(soundBtn_.get()), static_cast<ui::View*>(timeButton_.get()),
                            static_cast<ui::View*>(fast_show_btn_.get())})
            moveDown(*v, 40);
        moveDown(*progressView_, 15);
    } else {
        show_korvex_B_->setHidden(false);
        notificateBar_->setText("当前口令不支持岚付通付款验证，点击上方按钮开启");
    }
    // The part under the digits, moved up to end at the room's foot.
    for (ui::View* v : {static_cast<ui::View*>(backGroundImage_.get()), static_cast<ui::View*>(lable_.get()),
                        static_cast<ui::View*>(progressView_.get()), static_cast<ui::View*>(soundBtn_.get()),
                        static_cast<ui::View*>(timeButton_.get()), static_cast<ui::View*>(fast_show_btn_.get()),
                        static_cast<ui::View*>(show_korvex_B_.get()), static_cast<ui::View*>(show_korvex_.get()),
                        static_cast<ui::View*>(notificateBar_.get())})
        moveDown(*v, -lift());
    backGroundImage_->setFrame({0, 202 - lift(), 320, viewHeight() - (202 - lift())});
}

void OtpViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    if (!live_) return;
    // The engine view comes here from wherever it was last shown, and this
    // screen's digits become the running scene again.
    const ui::Rect bounds = view()->bounds();
    const double less = tallScreen() ? 300 : 200;
    // The digits sit at a fixed height over the engine view's bottom: the
    // engine keeps the height of the screen as drawn, whatever the room.
    const double height = std::max(bounds.size.height, designHeight());
    engineAttached_ =
        CodeEngine::attach(*view(), {0, 0, bounds.size.width, std::max(0.0, height - less)}, this) != nullptr;
    CodeEngine::run(layArray_.scene);

    setInitDate();
    liveCode_.setToken(dkbase_.bid, dkbase_.difftime);
    liveCode_.refresh();
    amount_ = liveCode_.secondsIn();
    showAomunt();
    showDcode();
    showButton();
    liveCode_.restart([this](const screens::LiveCode::Tick& tick) { onTime(tick); });
}

void OtpViewController::viewWillDisappear(bool animated) {
    KAVOCommandViewController::viewWillDisappear(animated);
    if (live_) CodeEngine::stop(this);
}

void OtpViewController::viewDidDisappear(bool animated) {
    KAVOCommandViewController::viewDidDisappear(animated);
    liveCode_.finish();
    speaker_.cancel();
    if (soundBtn_) soundBtn_->setEnabled(true);
}

void OtpViewController::setInitDate() {
    dkbase_ = token::loadStoredToken();
    showFast_ = dkbase_.otpFast != "0" && binding::showsLiveCode(boundState_);
}

void OtpViewController::showCountdown(int moment) {
    token::Countdown c = token::countdown(token::CountdownKind::Otp, token::CountdownMoment(moment), amount_);
    lable_->setText(c.text);
    progressView_->setProgress(c.progress);
}

void OtpViewController::showAomunt() { showCountdown(int(token::CountdownMoment::Appearance)); }

void OtpViewController::onTime(const screens::LiveCode::Tick& tick) {
    amount_ = tick.secondsIn;
    if (!tick.newWindow) {
        showCountdown(int(token::CountdownMoment::SameWindowTick));
        return;
    }
    showDcode();
    showCountdown(int(token::CountdownMoment::NewWindowTick));
}

void OtpViewController::showDcode() {
    decodeArray_.clear();
    code_ = liveCode_.code();
    for (char c : code_) decodeArray_.push_back(std::string(1, c));
    // Only a layer on the engine view draws; without it (the quick sheet, no
    // GL) nothing loads its textures.
    if (engineAttached_ && layArray_.layer) layArray_.layer->changeNum(decodeArray_);
}

void OtpViewController::showButton() {
    fast_show_btn_->setBackgroundImage(ui::Image::named(showFast_ ? "round_btn_active.png" : "round_btn_nomaol.png"));
    fast_show_btn_->setSelected(showFast_);
}

void OtpViewController::timeCheck() {
    if (!connectNetCheck().connectToNetwork())
        token::showNotice(*this, *this, kNetworkUnstableMessage);
    else
        popOutProgressHUD(kTagServerTime);
    ScreenAnalytics::trackEvent(kCategory, "otpTimeCheck", std::nullopt);
}

void OtpViewController::playerSound() {
    if (!speaker_.isSpeaking()) {
        soundBtn_->setEnabled(false);
        std::string digits;
        for (const std::string& d : decodeArray_) digits += d;
        std::weak_ptr<OtpViewController> weak = std::static_pointer_cast<OtpViewController>(shared_from_this());
        speaker_.speak(digits, [weak] {
            if (auto self = weak.lock()) self->soundBtn_->setEnabled(true);
        });
    }
    ScreenAnalytics::trackEvent(kCategory, "PlayOTP", std::nullopt);
}

void OtpViewController::showFast() {
    const bool on = !showFast_;
    auto db = DBController::openExisting();
    const bool written = db && db->UpdataTable(on ? "1" : "0", StoreKeys::otpFast);
    if (db) db->closeDatabase();
    if (!written) {
        // The switch stays as the store has it.
        token::showNotice(*this, *this, "设置失败，请稍后再试");
        return;
    }
    showFast_ = on;
    showButton();
    token::showNotice(*this, *this, on ? "您已成功设置首页显示动态口令" : "您已成功取消首页显示动态口令");
    ScreenAnalytics::trackEvent(kCategory, "ShowOTPFast", std::string(on ? "otpFastOpen" : "otpFastClose"));
}

void OtpViewController::boudnNimbra() { offer_.boudnNimbra(); }

void OtpViewController::alertClicked(ui::AlertView* alertView, int buttonIndex) {
    offer_.alertClicked(alertView, buttonIndex);
}
