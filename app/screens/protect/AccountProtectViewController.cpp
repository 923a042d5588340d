#include "app/screens/protect/AccountProtectViewController.h"

#include "app/core/Envelope.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/protect/LockMask.h"
#include "app/screens/protect/ProtectScreens.h"
#include "app/screens/protect/ScreenParts.h"
#include "app/screens/shared/ScreenChrome.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/ScreenMap.h"

#include <utility>

namespace {

constexpr const char* kChangingText = "正在修改安全操作状态";

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

long long storedMask() { return defaults().integerForKey(StoreKeys::accountlock); }

// [row, switch index, optional third] from a change argument.
struct ChangeArgument {
    int row = -1;
    int switchIndex = 1;
    std::optional<long long> third;
};

ChangeArgument readArgument(const foundation::Value& argument) {
    ChangeArgument out;
    const foundation::Array* items = argument.asArray();
    if (!items || items->size() < 2) return out;
    out.row = (*items)[0].intValue();
    out.switchIndex = (*items)[1].intValue();
    if (items->size() > 2) out.third = (*items)[2].longLongValue();
    return out;
}

}  // namespace

AccountProtectViewController::AccountProtectViewController() {
    ScreenCommand status;
    status.tag = kTagStatus;
    status.waitingText = "正在获取安全操作列表";
    status.waitSlice = 9;
    status.handshake = false;
    status.stopOnRequestError = true;
    status.onInvalidReply = [this] { statusReadFailed(); };
    status.assembleURL = [](const Answer&, const foundation::Value&) -> std::optional<std::string> {
        const std::string uuid = Constants::getValueFromDBByKey(StoreKeys::uuid).value_or("(null)");
        return requestAddressForPayload(TextPayload(kTagStatus, {uuid}).text());
    };
    status.onReply = [this](const CommandReply& reply) { handleStatusReply(reply); };
    status.onFailure = [this](http::HttpRequest&) {
        statusReadFailed();
        reloadTable();
    };
    registerCommand(std::move(status));
    registerCommand(changeCommand(kTagChange));
    registerCommand(changeCommand(kTagLock));
}

ScreenCommand AccountProtectViewController::changeCommand(int tag) {
    ScreenCommand change;
    change.tag = tag;
    change.waitingText = kChangingText;
    change.waitSlice = 15;
    change.stopOnRequestError = true;
    change.invalidReply = FailureReport::alert("警告", kLeaveAlertTag);
    change.handshakeFailure = FailureReport::notice([this] {
        cleanUpForOpenACLockFailed();
        reloadTable();
    });
    change.assembleURL = [tag](const Answer& answer, const foundation::Value& argument) -> std::optional<std::string> {
        const ChangeArgument a = readArgument(argument);
        if (a.row < 0 || a.row >= int(protectRows().size()) || !protectRows()[a.row].serverId) return std::nullopt;
        const std::string uuid = answer.uuid.value_or("(null)");
        if (tag == kTagLock) {
            // The hours travel in the server's zone; closing sends the hours stored now.
            const long long mask = Constants::localLockValueToGMT8(storedMask());
            foundation::Dictionary fields;
            fields.set("uuid", uuid);
            fields.set("duration", std::to_string(mask));
            fields.set("type", a.switchIndex == 0 ? "2" : "1");
            fields.set("lock", a.switchIndex == 0 ? a.third.value_or(0) : 0LL);
            auto text = JsonPayload(kTagLock, std::move(fields)).text();
            if (!text) return std::nullopt;
            return requestAddressForPayload(*text);
        }
        std::vector<std::string> fields = {uuid, answer.answer.value_or("(null)"), protectRows()[a.row].serverId,
                                           a.switchIndex == 0 ? "1" : "0"};
        if (a.third) fields.push_back(std::to_string(*a.third));
        return requestAddressForPayload(TextPayload(kTagChange, fields).text());
    };
    change.onReply = [this](const CommandReply& reply) { handleChangeReply(reply); };
    if (tag == kTagChange) {
        // No reply, or one that cannot be read: the server may have made the
        // change all the same, so what it holds is asked again.
        change.onFailure = [this](http::HttpRequest&) { changeOutcomeUnknown(); };
        change.onInvalidReply = [this] { changeOutcomeUnknown(); };
        return change;
    }
    change.onFailure = [this](http::HttpRequest&) {
        cleanUpForOpenACLockFailed();
        reportFailure(FailureReport::notice());
        reloadTable();
    };
    return change;
}

void AccountProtectViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    setTitle("安全保护");
    view()->setBackgroundColor(ui::Color::whiteColor());
    table_ = ScreenChrome::makePaperTable(view()->bounds(), *this, *this);
    registerKAVOCellFactory(*table_, "APCustomCell1", KAVOCellClass::Label, {320, 44});
    registerKAVOCellFactory(*table_, "APCustomCell2", KAVOCellClass::Label, {320, 50});
    registerKAVOCellFactory(*table_, "APCustomCell3", KAVOCellClass::Operation, {320, 80});
    registerKAVOCellFactory(*table_, "APCustomCell4", KAVOCellClass::Operation, {320, 80});
    ScreenChrome::addPullDecoration(*table_);
    view()->addSubview(table_);
    ScreenAnalytics::trackPageview("accountProtect");
}

void AccountProtectViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    protectui::installBackButton(*this);
    if (firstTimeShow_) {
        firstTimeShow_ = false;
        statuses_.reset();
        reloadTable();
        popOutProgressHUD(kTagStatus);
        return;
    }
    // Back from the lock-period editor.
    const long long shouldOpen = defaults().integerForKey(lockmask::kShouldOpenLockKey);
    if (shouldOpen > 0) {
        lockEditorOpened_ = false;
        if (storedMask() != 0) {
            isOpenLockGoingOn_ = true;
            startChange(kLockRow, 0, shouldOpen);
        }
        defaults().setInteger(lockmask::kShouldOpenLockKey, 0);
        protectui::synchronizeDefaults();
        return;
    }
    if (lockEditorOpened_) {
        // The editor was left without confirming: no lock.
        defaults().setInteger(StoreKeys::accountlock, 0);
        protectui::synchronizeDefaults();
        lockEditorOpened_ = false;
        reloadTable();
    }
}

// ---------------------------------------------------------------- table

int AccountProtectViewController::numberOfRowsInSection(ui::TableView*, int) { return int(protectRows().size()); }

std::optional<double> AccountProtectViewController::heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) {
    if (ip.row < 0 || ip.row >= int(protectRows().size())) return std::nullopt;
    return protectRows()[ip.row].height;
}

std::shared_ptr<ui::TableViewCell> AccountProtectViewController::cellForRowAtIndexPath(ui::TableView* tableView,
                                                                                       const ui::IndexPath& ip) {
    const ProtectRow& row = protectRows().at(ip.row);
    auto cell = tableView->dequeueReusableCellWithIdentifier(row.cellId);
    if (locationLabel_ && locationLabel_->superview() && cell &&
        (locationLabel_->superview() == cell.get() || locationLabel_->superview() == cell->contentView()))
        removeLocationLabel();
    auto* labelCell = dynamic_cast<KAVOAccountProtectLabelCell*>(cell.get());
    if (!labelCell) return cell;
    labelCell->setCellIndex(ip.row);
    labelCell->setSelectionStyle(row.tag == 4 ? ui::TableViewCellSelectionStyle::Gray
                                              : ui::TableViewCellSelectionStyle::None);
    if (row.tag == 1) return cell;
    if (labelCell->titleLabel()) labelCell->titleLabel()->setText(row.title ? row.title : "");
    if (row.tag == 2) {
        if (labelCell->subTitleLabel()) labelCell->subTitleLabel()->setText("");
        return cell;
    }
    auto* op = dynamic_cast<KAVOAccountProtectOpertationCell*>(cell.get());
    if (!op) return cell;
    if (op->subTitleLabel()) op->subTitleLabel()->setText(row.subtitle ? row.subtitle : "");
    if (op->customImageView()) op->customImageView()->setImage(ui::Image::named(row.icon ? row.icon : ""));
    if (row.tag == 4) {
        op->segmentControl()->setEnabled(false);
        op->segmentControl()->setHidden(true);
        op->setDelegate(nullptr);
        return cell;
    }
    op->segmentControl()->setEnabled(true);
    op->segmentControl()->setHidden(false);
    const std::string id = row.serverId;
    op->segmentControl()->moveThumbToIndex(statuses_.status(id) == ProtectionStatuses::kOn ? 0 : 1, false);
    if (ip.row == kLockRow && statuses_.isOn(ProtectionStatuses::kLock)) {
        showLockText(*op);
    } else if (ip.row == kLoginRow) {
        if (auto hint = statuses_.loginHint()) op->subTitleLabel()->setText(*hint);
    }
    op->setDelegate(this);
    return cell;
}

void AccountProtectViewController::showLockText(KAVOAccountProtectOpertationCell& cell) {
    const long long mask = storedMask();
    if (mask <= 0) return;
    ui::Label* subtitle = cell.subTitleLabel();
    if (mask == lockmask::kWholeDay) {
        if (auto start = defaults().dateForKey(StoreKeys::alldayaclocktime)) {
            subtitle->setText(lockmask::allDayText(start->seconds, foundation::TimeZone::local()));
            return;
        }
    }
    subtitle->setText("锁定时段:");
    removeLocationLabel();
    const std::string text = lockmask::periodText(mask);
    const size_t length = foundation::utf16Length(text);
    // Just after the caption, on its line.
    const ui::Rect caption = subtitle->frame();
    const double x = caption.origin.x + subtitle->sizeThatFits({caption.width(), caption.height()}).width + 4;
    const ui::Rect frame{x, caption.origin.y + (caption.height() - 15) / 2, length == 13 ? 137.0 : 119.0, 15};
    locationLabel_ = MarqueeLabel::createWithDuration(frame, double(length) / 24 * 3, 0);
    locationLabel_->setNumberOfLines(1);
    locationLabel_->setOpaque(false);
    locationLabel_->setEnabled(true);
    locationLabel_->setShadowOffset({0, -1});
    locationLabel_->setTextAlignment(ui::TextAlignment::Left);
    locationLabel_->setTextColor(subtitle->textColor());
    locationLabel_->setFont(subtitle->font());
    locationLabel_->setBackgroundColor(ui::Color::clearColor());
    locationLabel_->setText(text);
    cell.contentView()->addSubview(locationLabel_);
}

void AccountProtectViewController::removeLocationLabel() {
    if (locationLabel_) locationLabel_->removeFromSuperview();
    locationLabel_.reset();
}

void AccountProtectViewController::didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& ip) {
    tableView->deselectRowAtIndexPath(ip, true);
    if (ip.row == kPasswordRow) performSegueWithIdentifier(kChangePasswordSegue);
}

void AccountProtectViewController::reloadTable() {
    if (table_) table_->reloadData();
}

// ---------------------------------------------------------------- switches

void AccountProtectViewController::customCellButtonPressed(KAVOAccountProtectLabelCell*, int cellIndex,
                                                           int switchIndex) {
    if (cellIndex < 0 || cellIndex >= int(protectRows().size()) || !protectRows()[cellIndex].serverId) return;
    if (switchIndex == 0 && cellIndex == kLockRow) {
        std::shared_ptr<ui::ViewController> editor =
            storyboard() ? storyboard()->instantiateViewControllerWithIdentifier(kAccountLockScreen) : nullptr;
        if (editor && navigationController()) {
            lockEditorOpened_ = true;
            navigationController()->pushViewController(editor, true);
        } else {
            reloadTable();
        }
        return;
    }
    if (switchIndex == 0 && cellIndex == kLoginRow) {
        pendingLoginSwitch_ = cellIndex;
        auto alert = ui::AlertView::create("提示",
                                           "是否同时开启“强验证”？\n是：每次登录操作都会进行安全验证\n否：检测到登录的"
                                           "电脑安全时，将不进行安全验证，但登录保护仍然开启",
                                           this, "是", {"否"});
        alert->setTag(kStrongVerificationAlertTag);
        alert->show();
        return;
    }
    startChange(cellIndex, switchIndex, std::nullopt);
    trackChange(cellIndex, switchIndex == 0 ? 1 : 0);
}

void AccountProtectViewController::startChange(int row, int switchIndex, std::optional<long long> third) {
    foundation::Array argument = {row, switchIndex};
    if (third) argument.push_back(*third);
    if (row == kLockRow && switchIndex == 0) trackChange(row, 1);
    if (!popOutProgressHUD(row == kLockRow ? kTagLock : kTagChange, foundation::Value(argument))) reloadTable();
}

void AccountProtectViewController::trackChange(int row, int value) {
    const char* label = protectRows().at(row).analyticsLabel;
    ScreenAnalytics::trackEvent("accountProtect", "ChangeAPStatus",
                                label ? std::optional<std::string>(label) : std::nullopt, value);
}

void AccountProtectViewController::alertClicked(ui::AlertView* alertView, int buttonIndex) {
    if (alertView->tag() == kLeaveAlertTag) {
        if (navigationController()) navigationController()->popViewControllerAnimated(true);
        return;
    }
    if (alertView->tag() == kStrongVerificationAlertTag && pendingLoginSwitch_) {
        const int row = *pendingLoginSwitch_;
        pendingLoginSwitch_.reset();
        startChange(row, 0, buttonIndex == 0 ? 1 : 0);
        trackChange(row, 1);
    }
}

// ---------------------------------------------------------------- replies

void AccountProtectViewController::changeOutcomeUnknown() {
    foundation::log("protections: the outcome of a change is unknown; reading the statuses again");
    recheckingChange_ = true;
    if (!popOutProgressHUD(kTagStatus)) {
        recheckingChange_ = false;
        reportFailure(FailureReport::alert("警告", kChangeUnknownNoListText, kLeaveAlertTag));
    }
    reloadTable();
}

void AccountProtectViewController::statusReadFailed() {
    const bool unknownChange = std::exchange(recheckingChange_, false);
    reportFailure(FailureReport::alert(
        "警告", unknownChange ? std::string(kChangeUnknownNoListText) : std::string(kNetworkUnstableMessage),
        kLeaveAlertTag));
}

void AccountProtectViewController::handleStatusReply(const CommandReply& reply) {
    if (reply.text.empty() && recheckingChange_) {
        statusReadFailed();
        return;
    }
    if (reply.text.empty()) {
        Constants::normalAlertViewWithTitle("错误", "获取安全操作列表失败，请重新绑定账号", kLeaveAlertTag, this);
        return;
    }
    foundation::ErrorRef problem;
    auto status = reply.as<ProtectionStatusReply>(&problem);
    if (!status) {
        // An unreadable list says nothing about the protections: it is a
        // failed look-up, never a list of none (which would switch them off).
        foundation::log("protections: ", problem->message);
        statusReadFailed();
        return;
    }
    const bool unknownChange = std::exchange(recheckingChange_, false);
    auto outcome = statuses_.applyStatusReply(*status, storedMask());
    if (outcome.clearStoredMask) {
        defaults().setInteger(StoreKeys::accountlock, 0);
        protectui::synchronizeDefaults();
    }
    if (unknownChange)
        protectui::notice(view(), kChangeUnknownText);
    else if (outcome.noProtectionNotice)
        protectui::notice(view(), "您没有开通任何操作保护");
    reloadTable();
}

void AccountProtectViewController::handleChangeReply(const CommandReply& reply) {
    foundation::ErrorRef problem;
    auto change = reply.as<ProtectionChangeReply>(&problem);
    if (!change || !change->isSuccess) {
        cleanUpForOpenACLockFailed();
        protectui::notice(view(), change && change->tips ? *change->tips : std::string("操作失败，请重试"));
        reloadTable();
        return;
    }
    // A reply naming no protection of this table changes nothing.
    if (change->protect && statuses_.has(*change->protect)) {
        const std::string& id = *change->protect;
        const bool switchedOn = statuses_.status(id) == ProtectionStatuses::kOff;
        statuses_.set(id, switchedOn ? ProtectionStatuses::kOn : ProtectionStatuses::kOff);
        if (id == ProtectionStatuses::kLock) {
            if (switchedOn)
                openingSucceeded(*change);
            else
                closingSucceeded();
        } else if (id == ProtectionStatuses::kLogin) {
            const char* both = switchedOn ? ProtectionStatuses::kOn : ProtectionStatuses::kOff;
            statuses_.set(ProtectionStatuses::kMessengerLogin, both);
            statuses_.set(ProtectionStatuses::kWebLogin, both);
        }
    }
    reloadTable();
    protectui::synchronizeDefaults();
}

void AccountProtectViewController::openingSucceeded(const ProtectionChangeReply& reply) {
    isOpenLockGoingOn_ = false;
    if (storedMask() == lockmask::kWholeDay) {
        const long long ms = reply.enabletime.value_or(0);
        defaults().setObject(StoreKeys::alldayaclocktime, foundation::Value(foundation::Date{double(ms / 1000)}));
    }
    defaults().setString(lockmask::kLoginProtectionWhenLockKey, statuses_.status(ProtectionStatuses::kLogin));
    statuses_.set(ProtectionStatuses::kLogin, ProtectionStatuses::kOn);
    ScreenAnalytics::trackEvent("accountLock", "AccountLockOpen", std::nullopt);
}

void AccountProtectViewController::closingSucceeded() {
    isOpenLockGoingOn_ = false;
    defaults().removeObjectForKey(StoreKeys::alldayaclocktime);
    defaults().setInteger(StoreKeys::accountlock, 0);
    removeLocationLabel();
    if (auto saved = defaults().stringForKey(lockmask::kLoginProtectionWhenLockKey))
        statuses_.set(ProtectionStatuses::kLogin, *saved);
    defaults().removeObjectForKey(lockmask::kLoginProtectionWhenLockKey);
    ScreenAnalytics::trackEvent("accountLock", "AccountClose", std::nullopt);
}

void AccountProtectViewController::cleanUpForOpenACLockFailed() {
    if (!isOpenLockGoingOn_) return;
    isOpenLockGoingOn_ = false;
    if (statuses_.status(ProtectionStatuses::kLock) == ProtectionStatuses::kOff) {
        defaults().removeObjectForKey(StoreKeys::alldayaclocktime);
        defaults().setInteger(StoreKeys::accountlock, 0);
        protectui::synchronizeDefaults();
    }
}
