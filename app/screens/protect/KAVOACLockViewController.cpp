#include "app/screens/protect/KAVOACLockViewController.h"

#include "app/core/Envelope.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/protect/LockMask.h"
#include "app/screens/protect/ScreenParts.h"
#include "lib/sound/EasyAudioEngine.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

namespace {

const char* imageName(int index, bool on) {
    if (!LockRing::isBar(index)) return on ? "lock_icon_point" : "big_round_btn_pushed";
    if (LockRing::isHorizontal(index)) return on ? "ho_lock_yes" : "ho_lock_no";
    return on ? "ve_lock_yes" : "ve_lock_no";
}

const std::vector<std::string> kHelpQuestions = {
    "1.什么是账号锁定？",
    "2.我是卖家，账号锁定后，是否影响我的店铺正常营业？",
    "3.全天锁定是什么意思？",
    "4.如何自定义账号锁定的时间？",
    "5.账号锁定期间手机丢失怎么办？",
    "6.账号锁定后岚付通账号能登录吗？",
};

std::vector<std::string> helpAnswers() {
    const auto provider = Constants::serviceProvider();
    const std::string gateway = provider && *provider == "中国联通" ? "10655059111" : "10657520300";
    return {
        "账号锁定期间，您的禾川账号和讯禾都不能登录；已经登录的地方会被强制退出。",
        "不影响。账号锁定只限制登录，您的店铺照常营业。",
        "全天锁定即24小时锁定，最长有效七天，到第七天账号会自动解锁。",
        "用手指在时段上滑过即可选择，绿色表示已选；在已选的时段上再滑过一次即取消，选好后点击开启按钮。",
        "还可以用两种方式解锁：在其他设备上远程注销本软件，或者用绑定手机或安全手机发送短信“SC#UL#”加账号名到" +
            gateway + "。",
        "能。岚付通账号不受账号锁定的影响，可以正常登录使用。",
    };
}

}  // namespace

KAVOACLockViewController::KAVOACLockViewController() {
    ScreenCommand list;
    list.tag = kTagLockTypes;
    list.waitingText = "正在获取锁列表";
    list.waitSlice = 9;
    list.handshake = false;
    list.invalidReply = FailureReport::alert("警告");
    // An unreadable list offers nothing to choose.
    list.invalidReply.then = [this] { setLockKinds({}); };
    list.assembleURL = [](const Answer&, const foundation::Value&) -> std::optional<std::string> {
        foundation::Dictionary fields;
        fields.set("type", "0");
        auto text = JsonPayload(kTagLockTypes, std::move(fields)).text();
        if (!text) return std::nullopt;
        return requestAddressForPayload(*text);
    };
    list.onReply = [this](const CommandReply& reply) { setLockKinds(lockTypesFromReply(reply.json)); };
    list.onFailure = [this](http::HttpRequest&) { setLockKinds(builtInLockTypes()); };
    registerCommand(std::move(list));
}

void KAVOACLockViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    setTitle("账号锁定");
    view()->setBackgroundColor(ui::Color::rgba(0.13, 0.15, 0.18));
    if (auto bg = ui::Image::named("bg4.jpg")) {
        auto background = std::make_shared<ui::ImageView>(bg);
        background->setFrame(view()->bounds());
        background->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
        view()->addSubview(background);
    }
    ring_.setMask(foundation::UserDefaults::standard().integerForKey(StoreKeys::accountlock));

    // The ring: each bar lies over the joints beside it.
    for (int i = 0; i < LockRing::kCount; ++i) {
        auto place = std::make_shared<ui::ImageView>(ui::Image::named(imageName(i, false)));
        place->setFrame(LockRing::frameOf(i));
        place->setContentMode(ui::ContentMode::ScaleToFill);
        if (LockRing::isBar(i)) place->setAccessibilityLabel(LockRing::barLabel(i / 2));
        if (i == 0 || LockRing::isBar(i))
            view()->addSubview(place);
        else
            view()->insertSubviewBelow(place, places_.back().get());
        places_.push_back(place);
    }
    auto hint = ui::Label::create({85, 110, 150, 110});
    hint->setNumberOfLines(0);
    hint->setTextAlignment(ui::TextAlignment::Center);
    hint->setFont(ui::Font::systemFont(13));
    hint->setTextColor(ui::Color::white(0.85));
    hint->setBackgroundColor(ui::Color::clearColor());
    hint->setText("手指滑过时段即可选择\n绿色为锁定时段\n左上角为午夜0点\n顺时针每格一小时");
    view()->addSubview(hint);

    checkBox_ = std::make_shared<ui::Button>(ui::Rect{50, 332, 130, 30});
    checkBox_->setImage(ui::Image::named("checkbox_off"), ui::kControlStateNormal);
    checkBox_->setImage(ui::Image::named("checkbox_on"), ui::kControlStateSelected);
    checkBox_->setTitle(" 全天锁定");
    checkBox_->setTitleColor(ui::Color::whiteColor());
    checkBox_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { checkBoxForWholeDayPushed(); }, ui::kControlEventTouchUpInside);
    view()->addSubview(checkBox_);

    confirm_ = std::make_shared<ui::Button>(ui::Rect{50, 372, 220, 40});
    confirm_->setBackgroundImage(protectui::buttonImage(), ui::kControlStateNormal);
    confirm_->setTitle("开启账号锁定");
    confirm_->setTitleColor(ui::Color::whiteColor());
    confirm_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { submitAccountLock(); }, ui::kControlEventTouchUpInside);
    view()->addSubview(confirm_);

    navigationItem()->setRightBarButtonItem(ui::BarButtonItem::withTitle(
        "帮助", ui::BarButtonItemStyle::Bordered, [this](ui::BarButtonItem*) { wenTishiButtonPush(); }));
    refreshImage();
    Constants::portUIForiPhone5(35, this);
}

void KAVOACLockViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    protectui::installBackButton(*this);
}

void KAVOACLockViewController::viewDidAppear(bool animated) {
    KAVOCommandViewController::viewDidAppear(animated);
    popOutProgressHUD(kTagLockTypes);
    ScreenAnalytics::trackPageview("accountLockView");
}

void KAVOACLockViewController::setLockKinds(std::vector<LockType> kinds) {
    // Every type starts chosen; the choices always pair with the types.
    lockKinds_ = std::move(kinds);
    choices_.assign(lockKinds_.size(), true);
}

void KAVOACLockViewController::refreshImage() {
    for (int i = 0; i < LockRing::kCount; ++i) places_[i]->setImage(ui::Image::named(imageName(i, ring_.isOn(i))));
    if (checkBox_) checkBox_->setSelected(ring_.wholeDayChosen());
}

void KAVOACLockViewController::playClick() {
    ++clicks_;
    if (auto path = foundation::bundlePath("lock_click", "wav")) EasyAudioEngine::sharedEngine().playEffect(*path);
}

// ---------------------------------------------------------------- touches

ui::Point KAVOACLockViewController::touchPoint(const ui::Event& event, const ui::TouchSet& touches) const {
    const ui::TouchSet& all = event.allTouches.empty() ? touches : event.allTouches;
    if (all.empty()) return {-1000, -1000};
    return all.front()->locationInView(const_cast<KAVOACLockViewController*>(this)->view());
}

void KAVOACLockViewController::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
    if (ring_.touchBegan(touchPoint(event, touches))) playClick();
    refreshImage();
}

void KAVOACLockViewController::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
    if (ring_.touchMoved(touchPoint(event, touches))) playClick();
    refreshImage();
}

void KAVOACLockViewController::touchesEnded(const ui::TouchSet&, const ui::Event&) {
    ring_.touchEnded();
    refreshImage();
}

void KAVOACLockViewController::touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) {
    touchesEnded(touches, event);
}

// ---------------------------------------------------------------- buttons

void KAVOACLockViewController::checkBoxForWholeDayPushed() {
    ring_.toggleWholeDay();
    refreshImage();
}

void KAVOACLockViewController::submitAccountLock() {
    if (ring_.mask() == 0) {
        protectui::notice(view(), "锁定时段至少为一小时，请重新设置");
        return;
    }
    typeAlert_ = MsTableAlert::alertWithTitle("锁定类型", "开启");
    typeAlert_->setType(MsTableAlertTypeMultipleSelect);
    typeAlert_->view()->addButtonWithTitle("取消");
    typeAlert_->view()->setTag(kLockTypeAlertTag);
    typeAlert_->setDelegate(this);
    typeAlert_->setDataSource(this);
    typeAlert_->setRowHeight(52);
    typeAlert_->tableView()->setScrollEnabled(false);
    typeAlert_->show();
}

void KAVOACLockViewController::wenTishiButtonPush() {
    protectui::showHelpPanel(*this, "温馨提示", kHelpQuestions, helpAnswers(), "QuickHelp/zhangHaoSuo");
}

// ---------------------------------------------------------------- lock types

int KAVOACLockViewController::tableAlertNumberOfRowsInSection(MsTableAlert*, int) { return int(lockKinds_.size()); }

std::shared_ptr<ui::TableViewCell> KAVOACLockViewController::tableAlertCellForRowAtIndexPath(MsTableAlert*,
                                                                                             const ui::IndexPath& ip) {
    auto cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Subtitle, "lockType");
    if (ip.row < 0 || ip.row >= int(lockKinds_.size())) return cell;
    cell->textLabel()->setText(lockKinds_[ip.row].name);
    cell->detailTextLabel()->setText(lockKinds_[ip.row].description);
    // The sheet is narrow: the description shrinks to show whole rather than
    // end in an ellipsis.
    cell->detailTextLabel()->setFont(ui::Font::systemFont(12));
    cell->detailTextLabel()->setAdjustsFontSizeToFitWidth(true);
    cell->detailTextLabel()->setMinimumFontSize(9);
    cell->setAccessoryType(choices_[ip.row] ? ui::TableViewCellAccessoryType::Checkmark
                                            : ui::TableViewCellAccessoryType::None);
    return cell;
}

void KAVOACLockViewController::tableAlertDidSelectRowAtIndexPath(MsTableAlert* alert, const ui::IndexPath& ip) {
    if (alert->type() != MsTableAlertTypeMultipleSelect || ip.row < 0 || ip.row >= int(choices_.size())) return;
    choices_[ip.row] = !choices_[ip.row];
    if (ui::TableViewCell* cell = alert->tableView()->cellForRowAtIndexPath(ip))
        cell->setAccessoryType(choices_[ip.row] ? ui::TableViewCellAccessoryType::Checkmark
                                                : ui::TableViewCellAccessoryType::None);
    alert->tableView()->deselectRowAtIndexPath(ip, true);
}

void KAVOACLockViewController::tableAlertDidDismissWithButtonIndex(MsTableAlert* alert, int buttonIndex) {
    if (alert->view()->tag() != kLockTypeAlertTag || buttonIndex != 0) return;
    auto& defaults = foundation::UserDefaults::standard();
    defaults.setInteger(StoreKeys::accountlock, ring_.mask());
    defaults.setInteger(lockmask::kShouldOpenLockKey, chosenLockTypeSum(lockKinds_, choices_));
    defaults.synchronize();
    if (navigationController()) navigationController()->popViewControllerAnimated(true);
}
