#include "app/screens/protect/PersonCenterViewController.h"

#include "app/core/DBController.h"
#include "app/core/Envelope.h"
#include "app/core/Replies.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/protect/LockMask.h"
#include "app/screens/protect/ScreenParts.h"
#include "app/screens/shared/PhotoUtil.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

namespace {

std::shared_ptr<ui::Label> makeLabel(ui::View* parent, const ui::Rect& frame, double size, bool bold, ui::Color color,
                                     const std::string& text = "") {
    auto label = ui::Label::create(frame);
    label->setFont(bold ? ui::Font::boldSystemFont(size) : ui::Font::systemFont(size));
    label->setTextColor(color);
    label->setBackgroundColor(ui::Color::clearColor());
    label->setText(text);
    parent->addSubview(label);
    return label;
}

std::shared_ptr<ui::View> makeRow(ui::View* parent, double y, double height) {
    auto row = std::make_shared<ui::View>(ui::Rect{0, y, 320, height});
    row->setBackgroundColor(ui::Color::white(1, 0.08));
    auto rule = std::make_shared<ui::View>(ui::Rect{0, height - 1, 320, 1});
    rule->setBackgroundColor(ui::Color::white(1, 0.15));
    row->addSubview(rule);
    parent->addSubview(row);
    return row;
}

// The check-in reply: {"isSuccess", "safepoint"}.
struct CheckInReply {
    bool isSuccess = false;
    long long safepoint = 0;
    static std::optional<CheckInReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
        ReplyReader r(value);
        CheckInReply out;
        out.isSuccess = r.optionalBoolean("isSuccess").value_or(false);
        out.safepoint = r.optionalInteger("safepoint").value_or(0);
        return r.finish(out, error);
    }
};

const std::vector<std::string> kHelpQuestions = {
    "1.忘记启动密码怎么办？",
    "2.什么是防暴力猜解？",
    "3.忘记启动密码，又没有开启远程注销怎么办？",
    "4.开启防暴力猜解后，软件就绝对安全了吗？",
    "5.软件被冻结后，为什么需要联网？",
};
const std::vector<std::string> kHelpAnswers = {
    "可以在启动密码界面选择忘记密码，通过远程注销解除本机的绑定后重新绑定账号。",
    "连续输错启动密码时，软件会被冻结一段时间，防止他人反复猜测您的启动密码。",
    "请删除本软件后重新安装，再重新绑定您的禾川账号。",
    "不是。请同时保管好手机，不要把启动密码告诉他人。",
    "输错5次启动密码后软件会被冻结，解冻时间以服务器的时间为准，不受手机时间的影响。",
};

}  // namespace

PersonCenterViewController::PersonCenterViewController() {
    ScreenCommand overview;
    overview.tag = kTagOverview;
    overview.waitingText = "正在获取个人安全信息...";
    overview.waitSlice = 9;
    overview.handshake = false;
    overview.invalidReply = FailureReport::alert("错误", kLeaveAlertTag);
    overview.requestFailure = FailureReport::alert("错误", kLeaveAlertTag);
    overview.assembleURL = [](const Answer&, const foundation::Value& argument) -> std::optional<std::string> {
        const std::string* uuid = argument.asString();
        return requestAddressForPayload(TextPayload(kTagOverview, {uuid ? *uuid : "(null)", "0"}).text());
    };
    overview.onReply = [this](const CommandReply& reply) { handleOverview(reply); };
    registerCommand(std::move(overview));

    ScreenCommand checkIn;
    checkIn.tag = kTagCheckIn;
    checkIn.waitingText = "正在签到...";
    checkIn.waitSlice = 15;
    checkIn.handshakeFailure = FailureReport::notice();
    // An unreadable check-in reply tells nothing.
    checkIn.invalidReply = {FailureReport::Notice, "", "", 0, {}};
    checkIn.assembleURL = [](const Answer& answer, const foundation::Value&) -> std::optional<std::string> {
        return requestAddressForPayload(
            TextPayload(kTagCheckIn, {answer.uuid.value_or("(null)"), answer.answer.value_or("(null)")}).text());
    };
    checkIn.onReply = [this](const CommandReply& reply) { handleCheckIn(reply); };
    registerCommand(std::move(checkIn));
}

PersonCenterViewController::~PersonCenterViewController() {
    stopTimer();
    if (photoRequest_) photoRequest_->clearDelegatesAndCancel();
}

void PersonCenterViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    setTitle("个人中心");
    view()->setBackgroundColor(ui::Color::rgba(0.11, 0.13, 0.16));
    if (auto bg = ui::Image::named("bg4.jpg")) {
        auto background = std::make_shared<ui::ImageView>(bg);
        background->setFrame(view()->bounds());
        background->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
        view()->addSubview(background);
    }
    const ui::Color white = ui::Color::whiteColor(), soft = ui::Color::white(0.8);

    auto row0 = makeRow(view(), 0, 90);
    photo_ = std::make_shared<ui::ImageView>(ui::Rect{15, 10, 70, 70});
    photo_->setImage(ui::Image::named("person_photo"));
    row0->addSubview(photo_);
    name_ = makeLabel(row0.get(), {100, 18, 205, 26}, 19, true, white);
    phoneNo_ = makeLabel(row0.get(), {100, 52, 205, 20}, 14, false, soft);

    auto row1 = makeRow(view(), 90, 60);
    makeLabel(row1.get(), {15, 18, 80, 24}, 15, false, soft, "安全评分");
    safeScoreNo_ = makeLabel(row1.get(), {95, 10, 70, 40}, 30, true, ui::Color::rgba(0.45, 0.85, 0.35));
    auto barBack = std::make_shared<ui::View>(ui::Rect{166, 41, 130, 9});
    barBack->setBackgroundColor(ui::Color::white(1, 0.2));
    row1->addSubview(barBack);
    progressImg_ = std::make_shared<ui::ImageView>(ui::Rect{166, 41, 0, 9});
    progressImg_->setImage(ui::Image::named("score_bar"));
    progressImg_->setBackgroundColor(ui::Color::rgba(0.45, 0.85, 0.35));
    row1->addSubview(progressImg_);
    makeLabel(row1.get(), {166, 14, 130, 20}, 12, false, soft, "满分100分");

    auto row2 = makeRow(view(), 150, 44);
    makeLabel(row2.get(), {15, 12, 140, 20}, 15, false, soft, "危险登录（次）");
    dangouslogin_ = makeLabel(row2.get(), {200, 12, 105, 20}, 16, true, white);
    dangouslogin_->setTextAlignment(ui::TextAlignment::Right);

    auto row3 = makeRow(view(), 194, 44);
    makeLabel(row3.get(), {15, 12, 140, 20}, 15, false, soft, "已开启保护（项）");
    openProtect_ = makeLabel(row3.get(), {200, 12, 105, 20}, 16, true, white);
    openProtect_->setTextAlignment(ui::TextAlignment::Right);

    auto row4 = makeRow(view(), 238, 60);
    makeLabel(row4.get(), {15, 8, 80, 20}, 15, false, soft, "最近登录");
    lastTime_ = makeLabel(row4.get(), {150, 8, 155, 20}, 14, false, white);
    lastTime_->setTextAlignment(ui::TextAlignment::Right);
    makeLabel(row4.get(), {15, 34, 80, 18}, 13, false, soft, "登录地点");
    locationLabel_ = MarqueeLabel::createWithDuration({192, 36, 108, 16}, 4, 0);
    locationLabel_->setNumberOfLines(1);
    locationLabel_->setTextAlignment(ui::TextAlignment::Left);
    locationLabel_->setTextColor(white);
    locationLabel_->setBackgroundColor(ui::Color::clearColor());
    locationLabel_->setShadowOffset({0, -1});
    locationLabel_->setFont(ui::Font::withName("Helvetica", 13).value_or(ui::Font::systemFont(13)));
    row4->addSubview(locationLabel_);

    auto row5 = makeRow(view(), 298, 118);
    makeLabel(row5.get(), {15, 10, 80, 20}, 15, false, soft, "签到积分");
    safeScore_ = makeLabel(row5.get(), {95, 8, 80, 24}, 18, true, white);
    scoreBtn_ = std::make_shared<ui::Button>(ui::Rect{225, 5, 80, 30});
    scoreBtn_->setBackgroundImage(protectui::buttonImage());
    scoreBtn_->setTitle("签到");
    scoreBtn_->setTitle("已签到", ui::kControlStateDisabled);
    scoreBtn_->setTitleColor(white);
    scoreBtn_->setTitleColor(ui::Color::white(0.6), ui::kControlStateDisabled);
    scoreBtn_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { checkIn(); }, ui::kControlEventTouchUpInside);
    row5->addSubview(scoreBtn_);
    imageScrollView_ = std::make_shared<ui::ScrollView>(ui::Rect{0, 42, 320, 71});
    imageScrollView_->setMinimumZoomScale(0.75);
    imageScrollView_->setMaximumZoomScale(4);
    imageScrollView_->setClipsToBounds(false);
    imageScrollView_->setBounces(true);
    imageScrollView_->setContentSize({31, 71});
    row5->addSubview(imageScrollView_);

    // The lock views, over everything.
    dimLayer_ = std::make_shared<ui::View>(view()->bounds());
    dimLayer_->setBackgroundColor(ui::Color::white(0, 0.65));
    // The lock only dims the screen: check-in and the rows still work.
    dimLayer_->setUserInteractionEnabled(false);
    dimLayer_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    lockImage_ = std::make_shared<ui::ImageView>(ui::Rect{120, 120, 80, 80});
    lockImage_->setImage(ui::Image::named("person_lock"));
    dimLayer_->addSubview(lockImage_);
    lockLabel_ = makeLabel(dimLayer_.get(), {20, 210, 280, 24}, 16, true, white, "账号锁定中，当前时段禁止登录");
    lockLabel_->setTextAlignment(ui::TextAlignment::Center);
    dimLayer_->setHidden(true);
    view()->addSubview(dimLayer_);

    navigationItem()->setRightBarButtonItem(ui::BarButtonItem::withTitle(
        "帮助", ui::BarButtonItemStyle::Bordered, [this](ui::BarButtonItem*) { personCenterhelp(); }));

    // What the store knows before the server answers.
    if (auto db = DBController::openExisting()) {
        if (auto rows = db->querryTable()) {
            auto row = [&](const char* key) -> std::string {
                auto it = rows->find(key);
                return it == rows->end() ? "(null)" : it->second;
            };
            info_.state = row("state");
            info_.uuid = row(StoreKeys::uuid);
            info_.userName = row("username");
            info_.phone = row("phoneNo");
            info_.photourl = row("imageUrl");
        }
    }
    ScreenAnalytics::trackPageview("personCenter");
}

void PersonCenterViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    protectui::installBackButton(*this);
    popOutProgressHUD(kTagOverview, foundation::Value(info_.uuid.value_or("(null)")));
    scoreBtn_->setEnabled(info_.getScroeState.value_or("false") == "false");
    selectorForCheckLockState();
    if (!timer_) {
        auto weak = std::weak_ptr<PersonCenterViewController>(
            std::static_pointer_cast<PersonCenterViewController>(shared_from_this()));
        timer_ = foundation::RunLoop::main().addTimer(secondsToNextLockCheck(foundation::clock().now()), false,
                                                      [weak](foundation::Timer&) {
                                                          if (auto self = weak.lock()) {
                                                              self->timer_.reset();
                                                              self->selectorForCheckLockState();
                                                          }
                                                      });
    }
}

void PersonCenterViewController::viewWillDisappear(bool animated) {
    stopTimer();
    KAVOCommandViewController::viewWillDisappear(animated);
}

void PersonCenterViewController::stopTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void PersonCenterViewController::selectorForCheckLockState() {
    const long long mask = foundation::UserDefaults::standard().integerForKey(StoreKeys::accountlock);
    const bool locked = lockmask::lockedAt(mask, foundation::clock().now(), foundation::TimeZone::local());
    if (dimLayer_) dimLayer_->setHidden(!locked);
}

// ---------------------------------------------------------------- overview

void PersonCenterViewController::handleOverview(const CommandReply& reply) {
    if (reply.text.empty() || reply.text == "{}") return;
    if (!reply.json || !reply.json->isDictionary()) {
        foundation::log("person centre: the overview is not a JSON object");
        return;
    }
    const PersonCenterView shown = applyPersonCenterReply(*reply.json, info_, foundation::TimeZone::local());
    if (shown.userType) Constants::upDateDBSetValue(*shown.userType, "userType");
    name_->setText(shown.name);
    phoneNo_->setText(shown.phone);
    safeScoreNo_->setText(shown.scoreText);
    progressImg_->setFrame({166, 41, shown.barWidth, 9});
    dangouslogin_->setText(shown.dangerous);
    safeScore_->setText(shown.points);
    lastTime_->setText(shown.lastTime);
    if (shown.city) locationLabel_->setText(*shown.city);
    scoreBtn_->setEnabled(shown.checkInEnabled);
    openProtect_->setText(shown.openProtect);
    showPhoto();
    presentSafeProtectionLogo();
}

void PersonCenterViewController::presentSafeProtectionLogo() {
    // The logos of an earlier reply go first.
    for (auto& logo : logos_) logo->removeFromSuperview();
    logos_.clear();
    const double midY = imageScrollView_->bounds().height() / 2;
    int i = 0;
    for (const foundation::Value& code : info_.openedProtectProduct.value_or(foundation::Array{})) {
        const std::string name = code.isString() ? *code.asString() : code.description();
        auto logo = std::make_shared<ui::View>(ui::Rect{0, 0, 50, 70});
        auto image = std::make_shared<ui::ImageView>(ui::Rect{0, 0, 50, 50});
        image->setImage(ui::Image::named(name + ".png"));
        logo->addSubview(image);
        auto label = ui::Label::create({0, 50, 50, 20});
        label->setTextAlignment(ui::TextAlignment::Center);
        label->setTextColor(ui::Color::whiteColor());
        label->setBackgroundColor(ui::Color::clearColor());
        label->setFont(ui::Font::withName("Helvetica-Bold", 10).value_or(ui::Font::boldSystemFont(10)));
        label->setText(productLabel(name));
        logo->addSubview(label);
        logo->setCenter({31.0 + 60 * i, midY});
        imageScrollView_->addSubview(logo);
        logos_.push_back(logo);
        ++i;
    }
    imageScrollView_->setContentSize({31.0 + 60 * i, 71});
}

// ---------------------------------------------------------------- photo

bool PersonCenterViewController::photoAddressAllowed(const std::string& url) {
    const std::string lower = foundation::toLower(url);
    return (foundation::startsWith(lower, "http://") && lower.size() > 7) ||
           (foundation::startsWith(lower, "https://") && lower.size() > 8);
}

void PersonCenterViewController::showPhoto() {
    if (PhotoUtil::LocalHaveImage(kPhotoKey)) {
        if (auto saved = PhotoUtil::GetImageFromLocal(kPhotoKey)) photo_->setImage(saved);
        return;
    }
    downloadimg(info_.photourl.value_or(""));
}

void PersonCenterViewController::downloadimg(const std::string& url) {
    if (!photoAddressAllowed(url) || photoRequest_) return;
    auto request = http::HttpRequest::requestWithURL(url);
    request->setTag(kTagPhoto);
    request->setTimeOutSeconds(15);
    request->setCacheStoragePolicy(1);
    request->setDelegate(this);
    // The body is kept only up to the cap.
    auto body = std::make_shared<foundation::Bytes>();
    auto tooLarge = std::make_shared<bool>(false);
    request->setDataReceivedBlock([body, tooLarge](const foundation::Bytes& piece) {
        if (*tooLarge) return;
        if (body->size() + piece.size() > kPhotoSizeCap) {
            *tooLarge = true;
            body->clear();
            body->shrink_to_fit();
            return;
        }
        body->insert(body->end(), piece.begin(), piece.end());
    });
    std::weak_ptr<PersonCenterViewController> weak =
        std::static_pointer_cast<PersonCenterViewController>(shared_from_this());
    request->setCompletionBlock([weak, body, tooLarge, url] {
        auto self = weak.lock();
        if (!self) return;
        auto request = std::move(self->photoRequest_);
        if (!request || request->responseStatusCode() != 200) return;
        if (*tooLarge) {
            foundation::log("person centre: the photo is larger than the cap; not taken");
            return;
        }
        auto image = ui::Image::fromData(*body);
        if (!image) return;
        self->photo_->setImage(image);
        if (PhotoUtil::SaveImageToLocal(image, kPhotoKey))
            Constants::upDateDBSetValue(url, "imageUrl");
        else
            foundation::log("保存失败");
    });
    request->setFailedBlock([weak] {
        if (auto self = weak.lock()) self->photoRequest_.reset();
    });
    photoRequest_ = request;
    request->startAsynchronous();
}

void PersonCenterViewController::requestFinishedForOtherTag(http::HttpRequest&) {}

// ---------------------------------------------------------------- check-in

void PersonCenterViewController::checkIn() {
    if (popOutProgressHUD(kTagCheckIn)) ScreenAnalytics::trackEvent("personCenter", "CheckIn", std::nullopt);
}

void PersonCenterViewController::handleCheckIn(const CommandReply& reply) {
    if (reply.text.empty()) return;
    auto result = reply.as<CheckInReply>();
    if (!reply.json) return;
    if (result && result->isSuccess) {
        info_.safeScroe = foundation::format("%d", int(result->safepoint));
        info_.getScroeState = "true";
        safeScore_->setText(*info_.safeScroe);
        scoreBtn_->setEnabled(false);
        protectui::notice(view(), "恭喜您，签到成功");
    } else {
        protectui::notice(view(), "签到操作失败！");
    }
}

void PersonCenterViewController::personCenterhelp() {
    protectui::showHelpPanel(*this, "校验启动密码－温馨提示", kHelpQuestions, kHelpAnswers, "QuickHelp/gerenZhongxin");
}

void PersonCenterViewController::alertClicked(ui::AlertView* alertView, int) {
    if (alertView->tag() == kLeaveAlertTag && navigationController())
        navigationController()->popViewControllerAnimated(true);
}
