#include "app/screens/hub/KAVOMainFrameViewController.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "app/core/Constants.h"
#include "app/core/DBController.h"
#include "app/core/Deployment.h"
#include "app/core/Envelope.h"
#include "app/core/GetOtp.h"
#include "app/core/PhotoUtil.h"
#include "app/core/SharedScreenState.h"
#include "app/core/StoreKeys.h"
#include "app/core/UpdateDataToSqlite.h"
#include "app/cycle/ScreenAnalytics.h"
#include "lib/kit/DnNotificationManager.h"
#include "lib/kit/SemiModal.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/ScreenMap.h"

namespace {

constexpr const char* kBoundState = "korvxboundstate";
constexpr const char* kLastState = "laststate";
constexpr const char* kKorvexToken = "korvextoken";
constexpr const char* kAccountLock = "accountlock";
constexpr const char* kAllDayLockTime = "alldayaclocktime";

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

std::shared_ptr<ui::Label> makeLabel(const ui::Rect& frame, const ui::Font& font, const ui::Color& color) {
    auto label = std::make_shared<ui::Label>(frame);
    label->setFont(font);
    label->setTextColor(color);
    label->setBackgroundColor(ui::Color::clearColor());
    return label;
}

// A text button in the feature row.
std::shared_ptr<ui::Button> makeFeatureButton(const ui::Rect& frame, const std::string& title) {
    auto button = std::make_shared<ui::Button>(frame, ui::ButtonType::Custom);
    button->setTitle(title);
    button->setTitleColor(ui::Color::whiteColor());
    if (auto* label = button->titleLabel()) label->setFont(ui::Font::boldSystemFont(15));
    button->setBackgroundColor(ui::Color::rgba(0.05, 0.2, 0.3, 0.55));
    return button;
}

}  // namespace

KAVOMainFrameViewController::KAVOMainFrameViewController() {
    for (int i = 0; i < 6; ++i) smallImgs_.push_back(std::make_shared<ui::ImageView>());
    registerCommands();
}

KAVOMainFrameViewController::~KAVOMainFrameViewController() {
    for (auto* timer : {&OtpTimer_, &pollTimer_, &timerForOKVCountDown_, &lockTimer_})
        if (*timer) (*timer)->invalidate();
    for (auto& request : unattended_) request->clearDelegatesAndCancel();
}

bool KAVOMainFrameViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) {
    return o == ui::InterfaceOrientation::Portrait;
}

// ---------------------------------------------------------------- commands

void KAVOMainFrameViewController::registerCommands() {
    // Command 14 operation 1: the account data, on every appearance.
    ScreenCommand account;
    account.tag = kTagAccount;
    account.handshake = false;
    account.showsOverlay = false;
    account.timeOutSeconds = 15;
    account.invalidReply = FailureReport::silent();
    account.onFailure = [](http::HttpRequest&) {};
    account.assembleURL = [](const Answer& answer, const foundation::Value&) {
        return requestAddressForPayload(TextPayload(14, {answer.uuid.value_or("(null)"), "1"}).text());
    };
    account.onReply = [this](const CommandReply& reply) { handleAccountReply(reply); };
    registerCommand(std::move(account));

    // Command 21: the pending approvals.
    ScreenCommand poll;
    poll.tag = kTagPoll;
    poll.handshake = false;
    poll.showsOverlay = false;
    poll.timeOutSeconds = 4;
    poll.emptyContentIsInvalid = true;
    poll.testsRemoteLogOut = false;
    poll.invalidReply = FailureReport::silent();
    poll.onFailure = [](http::HttpRequest&) {};
    poll.assembleURL = [this](const Answer&, const foundation::Value&) -> std::optional<std::string> {
        if (pollURL_.empty()) return std::nullopt;
        return pollURL_;
    };
    poll.onReply = [this](const CommandReply& reply) { handleResponseForPullOKVRequest(reply); };
    registerCommand(std::move(poll));

    // Command 19: let the request on the alert pass.
    ScreenCommand letGo;
    letGo.tag = kTagLetGo;
    letGo.waitingText = "正在进行放行操作...";
    letGo.emptyContentIsInvalid = true;
    letGo.testsRemoteLogOut = false;
    letGo.handshakeFailure = FailureReport::alert("警告");
    // A reply that cannot be read (garbled, empty, unwrapped, an error page,
    // too large) ends the overlay with the let-go's failure, never silently.
    letGo.invalidReply = FailureReport::alert("错误", "放行操作失败", 0);
    letGo.requestFailure = FailureReport::alert("警告");
    letGo.assembleURL = [](const Answer& answer, const foundation::Value& checkid) {
        return requestAddressForPayload(
            TextPayload(19, {answer.uuid.value_or("(null)"), answer.answer.value_or(""), checkid.description()})
                .text());
    };
    letGo.onReply = [this](const CommandReply& reply) { handleResponseForLetGoOKVRequest(reply); };
    registerCommand(std::move(letGo));

    // Command 14 operation 2: the security log's unread count.
    ScreenCommand badge;
    badge.tag = kTagBadge;
    badge.handshake = false;
    badge.showsOverlay = false;
    badge.emptyContentIsInvalid = true;
    badge.testsRemoteLogOut = false;
    badge.invalidReply = FailureReport::silent();
    badge.onFailure = [this](http::HttpRequest&) { updateBadgeNumberForSafeAudition(); };
    badge.assembleURL = [](const Answer& answer, const foundation::Value&) {
        return requestAddressForPayload(TextPayload(14, {answer.uuid.value_or("(null)"), "2"}).text());
    };
    badge.onReply = [this](const CommandReply& reply) {
        if (auto count = reply.as<hub::BadgeReply>()) {
            SharedScreenState::safeAuditionBadgeCount() = int(count->count);
            updateBadgeNumberForSafeAudition();
        }
    };
    registerCommand(std::move(badge));

    // Command 23: the advert on offer.
    ScreenCommand advert;
    advert.tag = kTagAdvert;
    advert.handshake = false;
    advert.showsOverlay = false;
    advert.emptyContentIsInvalid = true;
    advert.testsRemoteLogOut = false;
    advert.invalidReply = FailureReport::silent();
    advert.onFailure = [](http::HttpRequest&) {};
    advert.assembleURL = [](const Answer&, const foundation::Value&) {
        return requestAddressForPayload(
            TextPayload(23, {Constants::getValueFromDBByKey(StoreKeys::adversion).value_or("(null)")}).text());
    };
    advert.onReply = [this](const CommandReply& reply) {
        auto offer = reply.as<hub::AdvertReply>();
        if (!offer || !offer->success) return;
        // The version is kept before the picture arrives: a missed advert is
        // not offered again until the server's version changes.
        Constants::upDateDBSetValue(*offer->version, StoreKeys::adversion);
        auto request = http::HttpRequest::requestWithURL(*offer->url);
        request->setTag(kTagAdvertPicture);
        request->setTimeOutSeconds(15);
        sendUnattended(kTagAdvertPicture, request);
    };
    registerCommand(std::move(advert));

    // Command 33: payment verification on, after the payment app handed back.
    ScreenCommand korvex;
    korvex.tag = kTagKorvex;
    korvex.waitingText = "正在进行绑定操作...";
    korvex.emptyContentIsInvalid = true;
    korvex.testsRemoteLogOut = false;
    korvex.handshakeFailure = FailureReport::alert("错误");
    korvex.invalidReply = FailureReport::silent();
    korvex.onFailure = [](http::HttpRequest&) {};
    korvex.assembleURL = [](const Answer& answer, const foundation::Value& token) -> std::optional<std::string> {
        std::optional<std::string> payload =
            JsonPayload(33, foundation::Dictionary{{"uuid", answer.uuid.value_or("(null)")},
                                                   {"answer", answer.answer.value_or("")},
                                                   {"korvexTokenId", token.description()}})
                .text();
        if (!payload) return std::nullopt;
        return requestAddressForPayload(*payload);
    };
    korvex.onReply = [this](const CommandReply& reply) { handleKorvexReply(reply); };
    registerCommand(std::move(korvex));
}

void KAVOMainFrameViewController::sendUnattended(int tag, const http::HttpRequestRef& request) {
    request->setTag(tag);
    request->setDelegate(this);
    request->setAllowCompressedResponse(true);
    unattended_.push_back(request);
    request->startAsynchronous();
}

// ---------------------------------------------------------------- life cycle

void KAVOMainFrameViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    if (auto* nav = navigationController()) nav->navigationBar()->setTintColor(ui::Color::darkGrayColor());
    if (auto push = defaults().stringForKey(StoreKeys::isPushInfo))
        Constants::upDateDBSetValue(*push, StoreKeys::isPushInfo);

    Constants::initPersonalUseCheckAndRateVar();
    Constants::personalUseCheckAndRate(kRateAlertTag, this);

    buildViews();
    InitdataWill();
    if (!SharedScreenState::versionChecked().exchange(true)) threadFuncForVersionCheck();

    alertViewForOKV_ = ui::AlertView::create(hub::kVerifyTitle, "", this, "放行", {"忽略"});
    alertViewForOKV_->setTag(kVerifyAlertTag);

    if (Constants::isTallScreen()) {
        dynamicBackGroundImage_->setFrame({0, 0, 320, 568});
        Constants::portUIForiPhone5(35, this);
        for (ui::View* v : std::initializer_list<ui::View*>{showOtpBtn_.get(), showJiuBtn_.get(), otpLabel_.get(),
                                                            otpBeeper_.get()}) {
            ui::Rect f = v->frame();
            f.origin.y += 45;
            v->setFrame(f);
        }
    }

    // The background pictures in a random order.
    std::vector<std::string> names = {"1.jpg", "2.jpg", "3.jpg"};
    std::vector<ui::ImageRef> pictures;
    std::random_device seed;
    std::mt19937 pick(seed());
    while (!names.empty()) {
        const size_t i = pick() % names.size();
        if (auto image = ui::Image::named(names[i])) pictures.push_back(image);
        names.erase(names.begin() + long(i));
    }
    dynamicBackGroundImage_->layer().setBorderColor(ui::Color::blackColor());
    dynamicBackGroundImage_->layer().setBorderWidth(1.0);
    dynamicBackGroundImage_->setDelegate(this);
    if (!pictures.empty()) dynamicBackGroundImage_->animateWithImages(pictures, 15.0f, true, true);

    ScreenAnalytics::trackPageview("appEntry");
    isATimerOn_ = false;
}

void KAVOMainFrameViewController::buildViews() {
    ui::View* root = view();
    root->setBackgroundColor(ui::Color::blackColor());
    dynamicBackGroundImage_ = KenBurnsView::create({0, 0, 320, 480});
    root->addSubview(dynamicBackGroundImage_);

    photoImg_ = std::make_shared<ui::ImageView>(ui::Rect{20, 30, 64, 64});
    photoImg_->setImage(ui::Image::named("photo_default"));
    photoImg_->setBackgroundColor(ui::Color::white(1, 0.3));
    root->addSubview(photoImg_);
    nameLabel_ = makeLabel({96, 34, 170, 28}, ui::Font::boldSystemFont(20), ui::Color::whiteColor());
    root->addSubview(nameLabel_);
    phoneLabel_ = makeLabel({96, 66, 170, 22}, ui::Font::systemFont(15), ui::Color::white(0.92));
    root->addSubview(phoneLabel_);

    auto setting = std::make_shared<ui::Button>(ui::Rect{266, 30, 46, 30}, ui::ButtonType::Custom);
    setting->setTitle("设置");
    setting->setTitleColor(ui::Color::whiteColor());
    setting->addTarget(
        this, [this](ui::Control*, const ui::Event*) { performSegueButton("showSetting"); },
        ui::kControlEventTouchUpInside);
    root->addSubview(setting);

    // The features: protections, person centre, the token tabs, the security log.
    const std::vector<std::pair<std::string, std::string>> features = {{"账号保护", "showProtect"},
                                                                       {"个人中心", "showPersonCenter"},
                                                                       {"禾盾令牌", "showProduct"},
                                                                       {"安全日志", "showSafeAudit"}};
    for (size_t i = 0; i < features.size(); ++i) {
        auto button = makeFeatureButton({double(i) * 80 + 2, 150, 76, 60}, features[i].first);
        const std::string segue = features[i].second;
        button->addTarget(
            this, [this, segue](ui::Control*, const ui::Event*) { performSegueButton(segue); },
            ui::kControlEventTouchUpInside);
        root->addSubview(button);
    }

    codePanel_ = std::make_shared<ui::View>(ui::Rect{16, 236, 288, 108});
    codePanel_->setBackgroundColor(ui::Color::rgba(0, 0.1, 0.2, 0.5));
    root->addSubview(codePanel_);
    auto codeTitle = makeLabel({28, 242, 200, 20}, ui::Font::systemFont(13), ui::Color::white(0.85));
    codeTitle->setText("动态口令");
    root->addSubview(codeTitle);
    otpLabel_ = makeLabel({28, 266, 200, 60}, ui::Font::boldSystemFont(44), ui::Color::whiteColor());
    root->addSubview(otpLabel_);
    otpBeeper_ = std::make_shared<ui::ImageView>(ui::Rect{240, 268, 48, 48});
    otpBeeper_->setImage(ui::Image::named("otp_beeper"));
    root->addSubview(otpBeeper_);
    showOtpBtn_ = std::make_shared<ui::Button>(ui::Rect{236, 264, 56, 56}, ui::ButtonType::Custom);
    showOtpBtn_->setAccessibilityLabel("朗读口令");
    showOtpBtn_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { playerSound(); }, ui::kControlEventTouchUpInside);
    root->addSubview(showOtpBtn_);
    showJiuBtn_ = std::make_shared<ui::Button>(ui::Rect{236, 320, 56, 20}, ui::ButtonType::Custom);
    showJiuBtn_->setHidden(true);
    root->addSubview(showJiuBtn_);

    quickJiuBtn_ = makeFeatureButton({16, 356, 288, 40}, "快速查看九星码");
    quickJiuBtn_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { presentSemiModalOTPView(); }, ui::kControlEventTouchUpInside);
    root->addSubview(quickJiuBtn_);

    for (int i = 0; i < 6; ++i) {
        smallImgs_[i]->setFrame({20 + double(i) * 48, 420, 36, 36});
        smallImgs_[i]->setHidden(true);
        root->addSubview(smallImgs_[i]);
    }

    dimLayer_ = std::make_shared<ui::View>(ui::Rect{0, 0, 320, 480});
    dimLayer_->setBackgroundColor(ui::Color::white(0, 0.72));
    // The lock only dims the screen: the buttons under it still work (the
    // protections screen, where the lock is lifted, among them).
    dimLayer_->setUserInteractionEnabled(false);
    dimLayer_->setHidden(true);
    root->addSubview(dimLayer_);
    lockImg_ = std::make_shared<ui::ImageView>(ui::Rect{128, 160, 64, 64});
    lockImg_->setImage(ui::Image::named("lock_overlay"));
    lockImg_->setHidden(true);
    root->addSubview(lockImg_);
    lockLabel_ = makeLabel({20, 236, 280, 48}, ui::Font::systemFont(16), ui::Color::whiteColor());
    lockLabel_->setNumberOfLines(2);
    lockLabel_->setTextAlignment(ui::TextAlignment::Center);
    lockLabel_->setText("账户在当前时段已锁定\n锁定期间无法登录和交易");
    lockLabel_->setHidden(true);
    root->addSubview(lockLabel_);
}

void KAVOMainFrameViewController::performSegueButton(const std::string& segue) {
    performSegueWithIdentifier(segue, this);
}

void KAVOMainFrameViewController::viewWillAppear(bool animated) {
    foundation::compareAndSwap(SharedScreenState::MAIN_FRAME_VISIBLE(), 0, 1);
    KAVOCommandViewController::viewWillAppear(animated);
    getBadgeNumberFromServer();
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(true, animated);
    InitdataWill();
    setUIWithData();
    startOrStopPoller();
    getADVersionAndURLFromServer();
    selectorForCheckLockState();
    if (!isATimerOn_) {
        isATimerOn_ = true;
        std::weak_ptr<KAVOMainFrameViewController> weak =
            std::static_pointer_cast<KAVOMainFrameViewController>(shared_from_this());
        lockTimer_ =
            foundation::RunLoop::main().performAfter(hub::lockRecheckDelay(foundation::clock().nowSeconds()), [weak] {
                if (auto self = weak.lock()) self->timerSelectorForLockState();
            });
    }
    dynamicBackGroundImage_->resumeAnimation();
    // The account data follow the server on every appearance.
    getDataFromServer();
}

void KAVOMainFrameViewController::viewDidAppear(bool animated) {
    KAVOCommandViewController::viewDidAppear(animated);
    checkPaymentHandBack();
}

void KAVOMainFrameViewController::viewWillDisappear(bool animated) {
    KAVOCommandViewController::viewWillDisappear(animated);
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(false, animated);
    if (mainInfo_.isOtpFast == "1" && OtpTimer_) {
        OtpTimer_->invalidate();
        OtpTimer_.reset();
    }
    DnNotificationManager::sharedManager().cleanUpNotificationQueueForAD();
    foundation::compareAndSwap(SharedScreenState::MAIN_FRAME_VISIBLE(), 1, 0);
}

void KAVOMainFrameViewController::didShowImageAtIndex(unsigned index) {
    foundation::log("main screen background: picture ", index);
}

void KAVOMainFrameViewController::didFinishAllAnimations() { foundation::log("main screen background: done"); }

// ---------------------------------------------------------------- display

void KAVOMainFrameViewController::InitdataWill() {
    std::map<std::string, std::string> rows;
    if (auto db = DBController::openExisting()) {
        rows = db->querryTable().value_or(rows);
        db->closeDatabase();
    }
    mainInfo_ = hub::accountRecord(rows);
}

void KAVOMainFrameViewController::setUIWithData() {
    nameLabel_->setText(foundation::describe(mainInfo_.userName));
    phoneLabel_->setText(foundation::describe(mainInfo_.phone));
    if (PhotoUtil::LocalHaveImage(kPhotoKey)) {
        if (auto photo = PhotoUtil::GetImageFromLocal(kPhotoKey)) photoImg_->setImage(photo);
    } else if (Constants::testResultIsValid(mainInfo_.photourl) && mainInfo_.photourl != "null") {
        downloadimg(*mainInfo_.photourl);
    }
    showFast();
}

void KAVOMainFrameViewController::showFast() {
    if (hub::showsCode(mainInfo_, defaults().integerForKey(kBoundState))) {
        showOtpBtn_->setHidden(false);
        otpLabel_->setHidden(false);
        otpBeeper_->setHidden(false);
        codePanel_->setHidden(false);
        timeAccount_ = getTimeAccount();
        showOtp();
        if (!OtpTimer_) {
            std::weak_ptr<KAVOMainFrameViewController> weak =
                std::static_pointer_cast<KAVOMainFrameViewController>(shared_from_this());
            OtpTimer_ = foundation::RunLoop::main().addTimer(1.0, true, [weak](foundation::Timer&) {
                if (auto self = weak.lock()) self->onTime();
            });
        }
    } else {
        if (OtpTimer_) OtpTimer_->invalidate();
        OtpTimer_.reset();
        showOtpBtn_->setHidden(true);
        otpLabel_->setHidden(true);
        otpBeeper_->setHidden(true);
        codePanel_->setHidden(true);
    }
    showJiuBtn_->setHidden(true);
    showIcon();
}

void KAVOMainFrameViewController::showIcon() {
    for (auto& slot : smallImgs_) slot->setHidden(true);
    const std::vector<std::string> names =
        hub::iconNames(mainInfo_, defaults().integerForKey(kAccountLock), defaults().integerForKey(kBoundState));
    for (size_t i = 0; i < names.size() && i < smallImgs_.size(); ++i) {
        smallImgs_[i]->setImage(ui::Image::named(names[i]));
        smallImgs_[i]->setAccessibilityLabel(names[i]);
        smallImgs_[i]->setHidden(false);
    }
}

int64_t KAVOMainFrameViewController::getTimeAccount() const {
    return hub::timeWindow(foundation::clock().nowSeconds(), mainInfo_.difftime);
}

void KAVOMainFrameViewController::onTime() {
    const int64_t now = getTimeAccount();
    if (now != timeAccount_) {
        timeAccount_ = now;
        showOtp();
    }
}

void KAVOMainFrameViewController::showOtp() {
    decodeArray_.clear();
    const std::string code = GetOtp::otpCreate(mainInfo_.bid.value_or("(null)"), mainInfo_.difftime.value_or("(null)"));
    for (char c : code) decodeArray_.push_back(std::string(1, c));
    otpLabel_->setText(code);
}

// ---------------------------------------------------------------- spoken digits

void KAVOMainFrameViewController::playerSound() {
    if (speaker_.isSpeaking()) return;
    const double alpha = otpBeeper_->alpha();
    otpBeeper_->setAlpha(0.15);
    showOtpBtn_->setEnabled(false);
    std::string code;
    for (const std::string& d : decodeArray_) code += d;
    std::weak_ptr<KAVOMainFrameViewController> weak =
        std::static_pointer_cast<KAVOMainFrameViewController>(shared_from_this());
    speaker_.speak(code, [weak, alpha] {
        if (auto self = weak.lock()) {
            self->showOtpBtn_->setEnabled(true);
            self->otpBeeper_->setAlpha(alpha);
        }
    });
    ScreenAnalytics::trackEvent("mainFrame", "PlayOTP", std::nullopt);
}

// ---------------------------------------------------------------- account data

void KAVOMainFrameViewController::getDataFromServer() { threadFunc(kTagAccount, {}); }

void KAVOMainFrameViewController::handleAccountReply(const CommandReply& reply) {
    if (reply.text.empty()) return;
    foundation::ErrorRef problem;
    auto data = reply.as<hub::AccountReply>(&problem);
    if (!data) {
        foundation::log("account data not read: ", problem->message);
        return;
    }
    const bool haveStore = DBController::databaseExit();
    if (data->otp && !*data->otp && defaults().integerForKey(kBoundState) == 10) {
        defaults().setInteger(kBoundState, 0);
        defaults().setInteger(kLastState, 0);
        defaults().synchronize();
        showFast();
    }
    if (!Constants::testResultIsValid(data->image) || data->image == mainInfo_.photourl) {
        mainInfo_.photourl = "";
    } else {
        mainInfo_.photourl = data->image;
        downloadimg(*data->image);
    }
    const std::string phone = hub::displayPhone(data->phone);
    phoneLabel_->setText(phone);
    if (haveStore) UpdateDataToSqlite::updateData(phone, StoreKeys::phoneNo);
    if (data->duration) alignLockWithServer(*data->duration, data->enabletime.value_or(0));
    const std::string name = hub::displayName(data->name);
    nameLabel_->setText(name);
    if (haveStore) UpdateDataToSqlite::updateData(name, StoreKeys::username);
}

void KAVOMainFrameViewController::downloadimg(const std::string& address) {
    auto request = http::HttpRequest::requestWithURL(address);
    request->setCacheStoragePolicy(1);
    request->setTimeOutSeconds(15);
    sendUnattended(kTagPhoto, request);
}

void KAVOMainFrameViewController::requestFinishedForOtherTag(http::HttpRequest& request) {
    auto keep = std::find_if(unattended_.begin(), unattended_.end(),
                             [&](const http::HttpRequestRef& r) { return r.get() == &request; });
    http::HttpRequestRef self = keep != unattended_.end() ? *keep : nullptr;
    if (keep != unattended_.end()) unattended_.erase(keep);
    const std::vector<uint8_t> data = request.responseData().value_or(std::vector<uint8_t>{});
    switch (request.tag()) {
        case kTagPhoto: {
            if (request.responseStatusCode() != 200) return;
            auto photo = ui::Image::fromData(data);
            if (!photo) return;  // not a picture: the previous one stays
            photoImg_->setImage(photo);
            if (DBController::databaseExit()) {
                if (!PhotoUtil::SaveImageToLocal(photo, kPhotoKey)) foundation::log("保存失败");
                UpdateDataToSqlite::updateData(mainInfo_.photourl.value_or(""), StoreKeys::imageUrl);
            }
            return;
        }
        case kTagAdvertPicture: {
            if (data.empty()) return;
            if (!foundation::compareAndSwap(SharedScreenState::MAIN_FRAME_VISIBLE(), 1, 1)) return;
            auto picture = ui::Image::fromData(data);
            if (!picture) return;
            DnNotificationManager::notificationWithMessageForAD(std::nullopt, picture);
            return;
        }
        case kTagStoreLookup: {
            if (auto version = hub::lastStoreVersion(request.responseString().value_or("")))
                Constants::upDateDBSetValue(*version, StoreKeys::remote_version);
            return;
        }
        default:
            return;
    }
}

void KAVOMainFrameViewController::requestFailedForOtherTag(http::HttpRequest& request) {
    unattended_.erase(std::remove_if(unattended_.begin(), unattended_.end(),
                                     [&](const http::HttpRequestRef& r) { return r.get() == &request; }),
                      unattended_.end());
}

// ---------------------------------------------------------------- one-key verification

void KAVOMainFrameViewController::startOrStopPoller() {
    if (mainInfo_.iskeylogin == "1") {
        if (isPolling()) return;
        foundation::compareAndSwap(SharedScreenState::SEIZE_MAIN_PULLING(), 1, 0);
        // The request address is built once per poller.
        pollURL_ = requestAddressForPayload(
                       TextPayload(21, {Constants::getValueFromDBByKey(StoreKeys::uuid).value_or("(null)")}).text())
                       .value_or("");
        std::weak_ptr<KAVOMainFrameViewController> weak =
            std::static_pointer_cast<KAVOMainFrameViewController>(shared_from_this());
        pollTimer_ = foundation::RunLoop::main().addTimer(kPollPeriod, true, [weak](foundation::Timer&) {
            if (auto self = weak.lock()) self->pollOnce();
        });
        pollOnce();
    } else {
        if (pollTimer_) pollTimer_->invalidate();
        pollTimer_.reset();
        foundation::compareAndSwap(SharedScreenState::SEIZE_MAIN_PULLING(), 0, 1);
    }
}

void KAVOMainFrameViewController::pollOnce() {
    if (!foundation::compareAndSwap(SharedScreenState::SEIZE_MAIN_PULLING(), 0, 0)) return;
    threadFunc(kTagPoll, {});
}

void KAVOMainFrameViewController::handleResponseForPullOKVRequest(const CommandReply& reply) {
    if (reply.text.empty()) return;
    // A reply that comes while a request is being answered changes nothing.
    if ((alertViewForOKV_ && alertViewForOKV_->isVisible()) || isWaitingForResponse(kTagLetGo)) return;
    auto poll = reply.as<hub::PollReply>();
    oneKeyVeryifyArray_.clear();
    if (poll) showVerifyRequests(*poll);
}

void KAVOMainFrameViewController::showVerifyRequests(const hub::PollReply& poll) {
    oneKeyVeryifyArray_ = hub::pendingRequests(poll, rejectedOKVDic_);
    // A request whose time has run out is no longer pending, even while the
    // server still lists it.
    const double now = foundation::clock().now();
    const long long difftime = foundation::textLongLongValue(mainInfo_.difftime.value_or("0"));
    std::erase_if(oneKeyVeryifyArray_,
                  [&](const hub::VerifyRequest& r) { return hub::countdown(r, now, difftime) < 1; });
    if (oneKeyVeryifyArray_.empty()) return;
    foundation::compareAndSwap(SharedScreenState::SEIZE_MAIN_PULLING(), 0, 1);
    raiseVerifyAlert();
}

void KAVOMainFrameViewController::raiseVerifyAlert() {
    stopCountdown();
    shownRequest_ = oneKeyVeryifyArray_.back();
    okvCountDown_ = hub::countdown(*shownRequest_, foundation::clock().now(),
                                   foundation::textLongLongValue(mainInfo_.difftime.value_or("0")));
    std::weak_ptr<KAVOMainFrameViewController> weak =
        std::static_pointer_cast<KAVOMainFrameViewController>(shared_from_this());
    timerForOKVCountDown_ = foundation::RunLoop::main().addTimer(1.0, true, [weak](foundation::Timer&) {
        if (auto self = weak.lock()) self->timerIntervalFunction();
    });
    alertViewForOKV_->setMessage(hub::verifyMessage(*shownRequest_, okvCountDown_));
    alertViewForOKV_->show();
}

void KAVOMainFrameViewController::stopCountdown() {
    if (timerForOKVCountDown_) timerForOKVCountDown_->invalidate();
    timerForOKVCountDown_.reset();
}

void KAVOMainFrameViewController::timerIntervalFunction() {
    if (oneKeyVeryifyArray_.empty() || !shownRequest_) {
        stopCountdown();
        return;
    }
    --okvCountDown_;
    if (okvCountDown_ < 1) {
        okvCountDown_ = 0;
        stopCountdown();
        if (alertViewForOKV_->isVisible()) {
            alertViewForOKV_->dismissWithClickedButtonIndex(1, true);
            answerVerifyAlert(1);
        }
    }
    alertViewForOKV_->setMessage(hub::verifyMessage(*shownRequest_, okvCountDown_));
}

void KAVOMainFrameViewController::alertClicked(ui::AlertView* alertView, int buttonIndex) {
    if (alertView->tag() == kVerifyAlertTag) {
        answerVerifyAlert(buttonIndex);
    } else if (alertView->tag() == kRateAlertTag) {
        Constants::handleRateAlertView(buttonIndex);
    }
}

void KAVOMainFrameViewController::answerVerifyAlert(int buttonIndex) {
    okvCountDown_ = 0;
    stopCountdown();
    if (!shownRequest_) return;
    if (buttonIndex == 1) {
        rejectedOKVDic_.insert({shownRequest_->time, shownRequest_->business});
        foundation::compareAndSwap(SharedScreenState::SEIZE_MAIN_PULLING(), 1, 0);
        ScreenAnalytics::trackEvent(Constants::kOtherCategory, "QuickOKV", "quickOKVIgnore");
    } else if (buttonIndex == 0) {
        if (!popOutProgressHUD(kTagLetGo, foundation::Value(shownRequest_->checkid)))
            foundation::compareAndSwap(SharedScreenState::SEIZE_MAIN_PULLING(), 1, 0);
        ScreenAnalytics::trackEvent(Constants::kOtherCategory, "QuickOKV", "quickOKVLetGo");
    }
}

void KAVOMainFrameViewController::handleResponseForLetGoOKVRequest(const CommandReply& reply) {
    if (reply.text.empty()) {
        Constants::simpleAlertViewWithTitle("错误", "与服务器握手失败，请重新绑定");
        return;
    }
    auto letGo = reply.as<hub::LetGoReply>();
    if (letGo && letGo->success) {
        oneKeyVeryifyArray_.clear();
        Constants::simpleAlertViewWithTitle("成功", "放行操作成功");
    } else {
        Constants::simpleAlertViewWithTitle("错误", "放行操作失败");
    }
}

void KAVOMainFrameViewController::hudWasHidden(ProgressHUD* hidden) {
    const bool letGo = hud(kTagLetGo).get() == hidden;
    KAVOCommandViewController::hudWasHidden(hidden);
    // The let-go has ended, however it ended: polling resumes.
    if (letGo) foundation::compareAndSwap(SharedScreenState::SEIZE_MAIN_PULLING(), 1, 0);
}

// ---------------------------------------------------------------- payment verification

void KAVOMainFrameViewController::checkPaymentHandBack() {
    if (defaults().integerForKey(kBoundState) == 1) {
        const OptionalText token = defaults().stringForKey(kKorvexToken);
        defaults().setString(kKorvexToken, "");
        defaults().setInteger(kBoundState, defaults().integerForKey(kLastState));
        const hub::HandBack handBack = hub::readHandBack(token);
        if (handBack.kind == hub::HandBack::Send) {
            popOutProgressHUD(kTagKorvex, foundation::Value(handBack.text));
        } else {
            showFast();
            Constants::simpleAlertViewWithTitle(hub::kKorvexFailedTitle, handBack.text);
        }
        ScreenAnalytics::trackEvent("binding", "InKorvexBinding", handBack.label());
    } else {
        defaults().setString(kKorvexToken, "");
    }
    defaults().synchronize();
}

void KAVOMainFrameViewController::handleKorvexReply(const CommandReply& reply) {
    std::string label = "inKorvexBindFailed";
    auto answer = reply.as<hub::KorvexReply>();
    if (!answer) {
        Constants::simpleAlertViewWithTitle("提示", "岚付通付款验证开通成功失败");
    } else if (answer->result == 202) {
        char diff[32];
        std::snprintf(diff, sizeof diff, "%lli", hub::diffFromChecktime(*answer->checktime, foundation::clock().now()));
        if (!hub::storeKorvexBinding(*answer->bid, diff)) {
            // The old key and difference stay; the state says nothing changed.
            Constants::simpleAlertViewWithTitle("提示", kDataNotSavedMessage);
            showFast();
            ScreenAnalytics::trackEvent("binding", "InKorvexBinding", label);
            return;
        }
        defaults().setInteger(kBoundState, 10);
        defaults().setInteger(kLastState, 10);
        defaults().synchronize();
        mainInfo_.bid = answer->bid;
        mainInfo_.difftime = diff;
        mainInfo_.isOtpFast = "1";
        showOtp();
        Constants::simpleAlertViewWithTitle("提示", "岚付通付款验证开通成功");
        label = "inKorvexBindSuccess";
    } else {
        Constants::simpleAlertViewWithTitle("提示", foundation::describe(answer->message));
    }
    showFast();
    ScreenAnalytics::trackEvent("binding", "InKorvexBinding", label);
}

// ---------------------------------------------------------------- lock overlay

void KAVOMainFrameViewController::selectorForCheckLockState() {
    const double now = foundation::clock().now();
    const bool locked = hub::isLocked(defaults().integerForKey(kAccountLock), int64_t(now),
                                      foundation::TimeZone::local().offsetAt(now));
    dimLayer_->setHidden(!locked);
    lockLabel_->setHidden(!locked);
    lockImg_->setHidden(!locked);
}

void KAVOMainFrameViewController::timerSelectorForLockState() {
    isATimerOn_ = false;
    selectorForCheckLockState();
}

void KAVOMainFrameViewController::alignLockWithServer(long long duration, long long enabletime) {
    const long long stored = defaults().integerForKey(kAccountLock);
    const long long serverLocal = Constants::gmt8ValueToLocalValue(duration);
    std::optional<int64_t> allDay;
    if (auto date = defaults().dateForKey(kAllDayLockTime)) allDay = int64_t(date->seconds);
    const hub::LockAlignment change = hub::alignLock(stored, serverLocal, enabletime / 1000, allDay);
    if (stored == hub::kAllDayMask && change.allDaySince)
        defaults().setObject(kAllDayLockTime, foundation::Value(foundation::Date{double(*change.allDaySince)}));
    switch (change.change) {
        case hub::LockAlignment::Unchanged:
            defaults().synchronize();
            return;
        case hub::LockAlignment::Cleared:
            defaults().setInteger(kAccountLock, 0);
            defaults().removeObjectForKey(kAllDayLockTime);
            break;
        case hub::LockAlignment::Stored:
            defaults().setInteger(kAccountLock, change.mask);
            defaults().setObject(kAllDayLockTime, foundation::Value(foundation::Date{double(*change.allDaySince)}));
            break;
        case hub::LockAlignment::Conflict:
            break;
    }
    defaults().synchronize();
    selectorForCheckLockState();
    showFast();
}

// ---------------------------------------------------------------- badge, advert, store

void KAVOMainFrameViewController::getBadgeNumberFromServer() { threadFunc(kTagBadge, {}); }

void KAVOMainFrameViewController::updateBadgeNumberForSafeAudition() {
    if (customBadge_) customBadge_->removeFromSuperview();
    customBadge_ = CustomBadge::customBadgeWithString("", ui::Color::whiteColor(), ui::Color::redColor(), true,
                                                      ui::Color::whiteColor(), 1.0, true);
    const int count = SharedScreenState::safeAuditionBadgeCount();
    customBadge_->autoBadgeSizeWithString(std::to_string(count));
    customBadge_->setCenter({290, 160});
    customBadge_->setHidden(count == 0);
    view()->addSubview(customBadge_);
    // The lock overlay stays in front.
    for (ui::View* v : std::initializer_list<ui::View*>{dimLayer_.get(), lockImg_.get(), lockLabel_.get()})
        view()->bringSubviewToFront(v);
}

void KAVOMainFrameViewController::getADVersionAndURLFromServer() { threadFunc(kTagAdvert, {}); }

void KAVOMainFrameViewController::threadFuncForVersionCheck() {
    auto request = http::HttpRequest::requestWithURL(Deployment::storeLookupAddress());
    request->setTimeOutSeconds(9);
    sendUnattended(kTagStoreLookup, request);
}

// ---------------------------------------------------------------- quick nine-star sheet

void KAVOMainFrameViewController::presentSemiModalOTPView() {
    if (!semiModalView_) {
        ui::ScreenMap* map = storyboard();
        semiModalView_ = map ? map->instantiateViewControllerWithIdentifier(kJiuXingScreen) : nullptr;
        if (!semiModalView_) return;
        semiModalView_->view()->setFrame({0, 0, 320, 295});
        // The compact form: the stars, the countdown and the bar only.
        for (int tag : SharedScreenState::kQuickJiuXingHiddenTags)
            if (ui::View* part = semiModalView_->view()->viewWithTag(tag)) part->setHidden(true);
        semiModalView_->viewWillAppear(true);
        auto closer = std::make_shared<ui::Button>(semiModalView_->view()->bounds(), ui::ButtonType::Custom);
        closer->setAccessibilityLabel("关闭九星码");
        closer->addTarget(
            this, [this](ui::Control*, const ui::Event*) { dissMissSemiModalOTPView(); },
            ui::kControlEventTouchUpInside);
        semiModalView_->view()->addSubview(closer);
    }
    presentSemiViewController(this, semiModalView_);
    ScreenAnalytics::trackEvent("mainFrame", "QuickJiuXing", std::nullopt);
}

void KAVOMainFrameViewController::dissMissSemiModalOTPView() { dismissSemiModalView(this); }
