#include "app/screens/hub/KAVOMainFrameViewController.h"

#include <algorithm>
#include <random>

#include "app/core/BindingState.h"
#include "app/core/DBController.h"
#include "app/core/Deployment.h"
#include "app/core/Envelope.h"
#include "app/core/GetOtp.h"
#include "app/core/SharedScreenState.h"
#include "app/core/StoreKeys.h"
#include "app/core/UpdateDataToSqlite.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/shared/PhotoUtil.h"
#include "lib/kit/DnNotificationManager.h"
#include "lib/kit/SemiModal.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/ScreenMap.h"

namespace {

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

KAVOMainFrameViewController::KAVOMainFrameViewController()
    : approvals_(*this, this, mainInfo_, {kTagPoll, kTagLetGo, kVerifyAlertTag, kTagLetGoRecheck}),
      badgeAndAdvert_(
          *this, {kTagBadge, kTagAdvert, kTagAdvertPicture},
          [this](int tag, const http::HttpRequestRef& request) { sendUnattended(tag, request); },
          [this] { lock_.bringToFront(*view()); }),
      handBack_(
          *this, kTagKorvex, mainInfo_, [this] { showOtp(); }, [this] { showFast(); }) {
    for (int i = 0; i < 6; ++i) smallImgs_.push_back(std::make_shared<ui::ImageView>());
    registerCommands();
}

KAVOMainFrameViewController::~KAVOMainFrameViewController() {
    for (auto& request : unattended_) request->clearDelegatesAndCancel();
}

bool KAVOMainFrameViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) {
    return o == ui::InterfaceOrientation::Portrait;
}

// ---------------------------------------------------------------- commands

void KAVOMainFrameViewController::registerCommands() {
    // Command 14 operation 1: the account data, on every appearance.
    ScreenCommand account = ScreenCommand::unattended(kTagAccount);
    account.timeOutSeconds = 15;
    account.assembleURL = [](const Answer& answer, const foundation::Value&) {
        return requestAddressForPayload(TextPayload(14, {answer.uuid.value_or("(null)"), "1"}).text());
    };
    account.onReply = [this](const CommandReply& reply) { handleAccountReply(reply); };
    registerCommand(std::move(account));

    // Commands 21 and 19: the pending approvals and the let-go.
    approvals_.registerCommands();
    // Command 14 operation 2 and command 23: the badge and the advert.
    badgeAndAdvert_.registerBadgeCommand();
    badgeAndAdvert_.registerAdvertCommand();
    // Command 33: payment verification on.
    handBack_.registerCommand();
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

    approvals_.makeAlert();

    if (Constants::isTallScreen()) {
        dynamicBackGroundImage_->setFrame({0, 0, 320, 568});
        Constants::portUIForiPhone5(kTallShift, this);
        for (ui::View* v : std::initializer_list<ui::View*>{showOtpBtn_.get(), showJiuBtn_.get(), otpLabel_.get(),
                                                            otpBeeper_.get()}) {
            ui::Rect f = v->frame();
            f.origin.y += kTallCodeDrop;
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
    lock_.forgetRecheck();
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

    // On the tall screen the code and its speaker go 45 points further down
    // than the rest of the hub: the code's panel is that much higher there,
    // and what lies under it that much lower.
    const double codeRoom = Constants::isTallScreen() ? kTallCodeDrop : 0;
    codePanel_ = std::make_shared<ui::View>(ui::Rect{16, 236, 288, 108 + codeRoom});
    codePanel_->setBackgroundColor(ui::Color::rgba(0, 0.1, 0.2, 0.5));
    root->addSubview(codePanel_);
    // The panel's caption goes with it: no title over an empty panel.
    auto codeTitle = makeLabel({12, 6, 200, 20}, ui::Font::systemFont(13), ui::Color::white(0.85));
    codeTitle->setText("动态口令");
    codePanel_->addSubview(codeTitle);
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

    quickJiuBtn_ = makeFeatureButton({16, 356 + codeRoom, 288, 40}, "快速查看九星码");
    quickJiuBtn_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { presentSemiModalOTPView(); }, ui::kControlEventTouchUpInside);
    root->addSubview(quickJiuBtn_);

    for (int i = 0; i < 6; ++i) {
        smallImgs_[i]->setFrame({20 + double(i) * 48, 420 + codeRoom, 36, 36});
        smallImgs_[i]->setHidden(true);
        root->addSubview(smallImgs_[i]);
    }

    lock_.build(*root);
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
    lock_.scheduleRecheck();
    dynamicBackGroundImage_->resumeAnimation();
    // The account data follow the server on every appearance.
    getDataFromServer();
}

void KAVOMainFrameViewController::viewDidAppear(bool animated) {
    KAVOCommandViewController::viewDidAppear(animated);
    handBack_.check();
}

void KAVOMainFrameViewController::viewWillDisappear(bool animated) {
    KAVOCommandViewController::viewWillDisappear(animated);
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(false, animated);
    if (mainInfo_.isOtpFast == "1") liveCode_.stop();
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
    if (hub::showsCode(mainInfo_, defaults().integerForKey(StoreKeys::korvxboundstate))) {
        showOtpBtn_->setHidden(false);
        otpLabel_->setHidden(false);
        otpBeeper_->setHidden(false);
        codePanel_->setHidden(false);
        showOtp();
        liveCode_.start([this](const screens::LiveCode::Tick& tick) { onTime(tick); });
    } else {
        liveCode_.stop();
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
    const std::vector<std::string> names = hub::iconNames(mainInfo_, defaults().integerForKey(StoreKeys::accountlock),
                                                          defaults().integerForKey(StoreKeys::korvxboundstate));
    for (size_t i = 0; i < names.size() && i < smallImgs_.size(); ++i) {
        smallImgs_[i]->setImage(ui::Image::named(names[i]));
        smallImgs_[i]->setAccessibilityLabel(names[i]);
        smallImgs_[i]->setHidden(false);
    }
}

void KAVOMainFrameViewController::onTime(const screens::LiveCode::Tick& tick) {
    if (tick.newWindow) showCode();
}

void KAVOMainFrameViewController::showOtp() {
    liveCode_.setToken(mainInfo_.bid.value_or("(null)"), mainInfo_.difftime.value_or("(null)"));
    liveCode_.refresh();
    showCode();
}

void KAVOMainFrameViewController::showCode() {
    decodeArray_.clear();
    const std::string& code = liveCode_.code();
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
    if (data->otp && !*data->otp && binding::paymentVerificationOn(binding::stored())) {
        binding::storeBoth(binding::BindingState::None);
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
    if (data->duration && lock_.alignWithServer(*data->duration, data->enabletime.value_or(0))) showFast();
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
        case kTagAdvertPicture:
            badgeAndAdvert_.advertPicture(data);
            return;
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

void KAVOMainFrameViewController::startOrStopPoller() { approvals_.startOrStop(mainInfo_.iskeylogin == "1"); }

void KAVOMainFrameViewController::showVerifyRequests(const hub::PollReply& poll) { approvals_.show(poll); }

void KAVOMainFrameViewController::timerIntervalFunction() { approvals_.tick(); }

void KAVOMainFrameViewController::alertClicked(ui::AlertView* alertView, int buttonIndex) {
    if (alertView->tag() == kVerifyAlertTag) {
        approvals_.answer(buttonIndex);
    } else if (alertView->tag() == kRateAlertTag) {
        Constants::handleRateAlertView(buttonIndex);
    }
}

void KAVOMainFrameViewController::hudWasHidden(ProgressHUD* hidden) {
    const bool letGo = hud(kTagLetGo).get() == hidden;
    KAVOCommandViewController::hudWasHidden(hidden);
    // The let-go has ended, however it ended: polling resumes.
    if (letGo) approvals_.letGoEnded();
}

// ---------------------------------------------------------------- lock overlay

void KAVOMainFrameViewController::selectorForCheckLockState() { lock_.check(); }

void KAVOMainFrameViewController::timerSelectorForLockState() { lock_.recheck(); }

// ---------------------------------------------------------------- badge, advert, store

void KAVOMainFrameViewController::getBadgeNumberFromServer() { badgeAndAdvert_.requestBadge(); }

void KAVOMainFrameViewController::updateBadgeNumberForSafeAudition() { badgeAndAdvert_.updateBadge(); }

void KAVOMainFrameViewController::getADVersionAndURLFromServer() { badgeAndAdvert_.requestAdvert(); }

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
