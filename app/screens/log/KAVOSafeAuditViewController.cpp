#include "app/screens/log/KAVOSafeAuditViewController.h"

#include "app/core/Envelope.h"
#include "app/core/SharedScreenState.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/shared/ScreenChrome.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Background.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/ScreenMap.h"

namespace {

const char* const kTabTitles[] = {"        全部记录", "        登录日志", "        异常消息"};
const char* const kTabPages[] = {"safeAudit/allAudit", "safeAudit/normalAudit", "safeAudit/abnormalAudit"};
const std::vector<LogEventRef> kNoRecords;

std::shared_ptr<ui::Label> makeLabel(const ui::Rect& frame, double size, const ui::Color& color) {
    auto l = std::make_shared<ui::Label>(frame);
    l->setFont(ui::Font::systemFont(size));
    l->setTextColor(color);
    l->setBackgroundColor(ui::Color::clearColor());
    return l;
}

}  // namespace

KAVOAuditionCell::KAVOAuditionCell(const std::string& reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Default, reuseIdentifier) {
    setFrame({0, 0, 320, 70});
    recordImage_ = std::make_shared<ui::ImageView>(ui::Rect{12, 17, 36, 36});
    recordType_ = makeLabel({58, 8, 220, 20}, 16, ui::Color::whiteColor());
    recordTime_ = makeLabel({58, 29, 230, 16}, 12, ui::Color::white(0.75));
    recordPlace_ = makeLabel({58, 46, 230, 16}, 12, ui::Color::white(0.75));
    arrowImage_ = std::make_shared<ui::ImageView>(ui::Rect{292, 27, 16, 16});
    arrowImage_->setImage(ui::Image::named("whiteArrow"));
    for (auto v : std::initializer_list<std::shared_ptr<ui::View>>{recordImage_, recordType_, recordTime_, recordPlace_,
                                                                   arrowImage_})
        contentView()->addSubview(v);
    setBackgroundColor(ui::Color::clearColor());
    setSelectionStyle(ui::TableViewCellSelectionStyle::None);
}

KAVOSafeAuditViewController::KAVOSafeAuditViewController() {
    auto pullPayload = [](const Answer& answer, const foundation::Value&) {
        return requestAddressForPayload(TextPayload(13, {answer.uuid.value_or("(null)")}).text());
    };
    ScreenCommand pull;
    pull.tag = kTagPull;
    pull.waitingText = "正在获取安全日志";
    pull.handshake = false;
    pull.timeOutSeconds = 15;
    pull.assembleURL = pullPayload;
    pull.onReply = [this](const CommandReply& reply) { handlePullReply(reply.text); };
    pull.onInvalidReply = [this] { leaveAlert("错误"); };
    pull.onFailure = [this](http::HttpRequest&) { onPullFailure(); };
    ScreenCommand refresh = pull;
    refresh.tag = kTagRefresh;
    refresh.showsOverlay = false;
    refresh.onReply = [this](const CommandReply& reply) { handlePullReply(reply.text); };
    refresh.onInvalidReply = [this] { leaveAlert("错误"); };
    refresh.onFailure = [this](http::HttpRequest&) { onPullFailure(); };
    registerCommand(std::move(pull));
    registerCommand(std::move(refresh));

    auto logIdsPayload = [](const char* operation) {
        return [operation](const Answer& answer, const foundation::Value& ids) {
            return requestAddressForPayload(
                TextPayload(18, {answer.uuid.value_or("(null)"), answer.answer.value_or("(null)"), operation,
                                 ids.asString() ? *ids.asString() : "{\"ids\":[]}"})
                    .text());
        };
    };
    // Read marks are the app's own business: no failure is shown.
    ScreenCommand markRead;
    markRead.tag = kTagMarkRead;
    markRead.showsOverlay = false;
    markRead.handshakeFailure = FailureReport::silent();
    markRead.invalidReply = FailureReport::silent();
    markRead.assembleURL = logIdsPayload("0");
    markRead.onFailure = [](http::HttpRequest&) {};
    registerCommand(std::move(markRead));

    ScreenCommand remove;
    remove.tag = kTagDelete;
    remove.waitingText = "正在删除记录";
    remove.handshakeFailure = FailureReport::notice();
    remove.assembleURL = logIdsPayload("1");
    remove.onReply = [this](const CommandReply& reply) {
        if (reply.text.empty() || reply.text == "{}") {
            doneLoadingTableViewData();
            return;
        }
        const foundation::Value* ok = reply.json ? reply.json->get("isSuccess") : nullptr;
        if (ok && ok->boolValue() && pendingDelete_) {
            log_.remove(*pendingDelete_);
            table_->reloadData();
        } else if (!(ok && ok->boolValue())) {
            DnNotificationManager::notificationWithMessageForAlert("记录删除失败", ui::Image::named(kNoticeImageName),
                                                                   view());
        }
        pendingDelete_.reset();
    };
    remove.onInvalidReply = [this] { leaveAlert("错误"); };
    remove.afterFailure = [this] { pendingDelete_.reset(); };
    registerCommand(std::move(remove));
}

void KAVOSafeAuditViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    ui::Application::shared().setApplicationIconBadgeNumber(0);
    setTitle("安全日志");
    ScreenChrome::installBackButton(*this);
    const ui::Rect bounds = view()->bounds();
    auto background = std::make_shared<ui::ImageView>(ui::Image::named("bg4.jpg"));
    background->setFrame(bounds);
    background->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    view()->addSubview(background);

    menu_ = HorizMenu::create({0, 0, bounds.width(), HorizMenu::kHeight});
    menu_->setDataSource(this);
    menu_->setItemSelectedDelegate(this);
    view()->addSubview(menu_);

    table_ = std::make_shared<ui::TableView>(
        ui::Rect{0, HorizMenu::kHeight, bounds.width(), bounds.height() - HorizMenu::kHeight});
    table_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    table_->setBackgroundColor(ui::Color::clearColor());
    table_->setSeparatorColor(ui::Color::white(1, 0.15));
    table_->setDataSource(this);
    table_->setTableDelegate(this);
    table_->registerCellFactory("KAVOAuditionCell",
                                [](const std::string& id) { return std::make_shared<KAVOAuditionCell>(id); });
    view()->addSubview(table_);

    emptyLabel_ = makeLabel({0, 0, 320, 30}, 15, ui::Color::grayColor());
    emptyLabel_->setTextAlignment(ui::TextAlignment::Center);
    emptyLabel_->setTag(0);

    menu_->reloadData();
    menu_->setSelectedIndex(0, false);

    const double h = table_->bounds().height();
    pullRefresh_ = PrRefreshTableHeaderView::create({0, -h, bounds.width(), h});
    pullRefresh_->setDelegate(this);
    table_->addSubview(pullRefresh_);
    pullRefresh_->refreshLastUpdatedDate();
    pendingDelete_.reset();
    ScreenChrome::addPullDecoration(*table_, 70);
    ScreenAnalytics::trackPageview("safeAudit/allAudit");
}

void KAVOSafeAuditViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    SharedScreenState::safeAuditionBadgeCount() = 0;
    shown_ = true;
    tab_ = SafeAuditLog::All;
    popOutProgressHUD(kTagPull);
}

void KAVOSafeAuditViewController::viewWillDisappear(bool animated) {
    shown_ = false;
    KAVOCommandViewController::viewWillDisappear(animated);
}

const std::vector<LogEventRef>& KAVOSafeAuditViewController::currentAuditionLog() const {
    return shown_ ? log_.list(tab_) : kNoRecords;
}

// ---------------------------------------------------------------- replies

void KAVOSafeAuditViewController::handlePullReply(const std::string& text) {
    if (text.empty() || text == "{}") {
        doneLoadingTableViewData();
        return;
    }
    log_.clear();
    const std::optional<foundation::Value> json = ReplyEnvelope::json(text);
    const foundation::Value* ok = json ? json->get("isSuccess") : nullptr;
    std::vector<foundation::Value> abnormalIds;
    if (ok && ok->boolValue()) {
        const foundation::Value* events = json->get("events");
        if (events && events->isArray()) abnormalIds = log_.fill(*events->asArray());
    }
    showEmptyLabelIfNeeded();
    if (!abnormalIds.empty()) {
        // The read mark and its handshake go off the main thread.
        auto self = std::static_pointer_cast<KAVOSafeAuditViewController>(shared_from_this());
        foundation::Value ids(SafeAuditLog::idsJson(abnormalIds));
        foundation::BackgroundTask::run("safeAudit.markRead", [self, ids] { self->threadFunc(kTagMarkRead, ids); });
    }
    table_->reloadData();
    doneLoadingTableViewData();
}

void KAVOSafeAuditViewController::onPullFailure() {
    if (isRefreshing_) {
        doneLoadingTableViewData();
        DnNotificationManager::notificationWithMessageForAlert(kNetworkUnstableMessage,
                                                               ui::Image::named(kNoticeImageName), view());
    } else {
        leaveAlert("警告");
    }
}

void KAVOSafeAuditViewController::leaveAlert(const std::string& title) {
    Constants::normalAlertViewWithTitle(title, kNetworkUnstableMessage, kAlertLeave, this);
}

void KAVOSafeAuditViewController::showEmptyLabelIfNeeded() {
    if (emptyLabel_->tag() == 1) {
        emptyLabel_->removeFromSuperview();
        emptyLabel_->setTag(0);
    }
    if (!currentAuditionLog().empty() || !table_->superview()) return;
    emptyLabel_->setText("暂无记录");
    const ui::Point c = table_->center();
    emptyLabel_->setCenter({c.x, c.y - 50});
    table_->superview()->addSubview(emptyLabel_);
    emptyLabel_->setTag(1);
}

void KAVOSafeAuditViewController::doneLoadingTableViewData() {
    if (!isRefreshing_) return;
    isRefreshing_ = false;
    setBackEnabled(true);
    pullRefresh_->prRefreshScrollViewDataSourceDidFinishedLoading(table_.get());
}

void KAVOSafeAuditViewController::setBackEnabled(bool enabled) {
    if (auto item = navigationItem()->leftBarButtonItem()) item->setEnabled(enabled);
}

// ---------------------------------------------------------------- table

int KAVOSafeAuditViewController::numberOfRowsInSection(ui::TableView*, int) { return int(currentAuditionLog().size()); }

std::shared_ptr<ui::TableViewCell> KAVOSafeAuditViewController::cellForRowAtIndexPath(ui::TableView* tableView,
                                                                                      const ui::IndexPath& ip) {
    auto cell =
        std::static_pointer_cast<KAVOAuditionCell>(tableView->dequeueReusableCellWithIdentifier("KAVOAuditionCell"));
    const auto& list = currentAuditionLog();
    if (ip.row < 0 || size_t(ip.row) >= list.size()) return cell;
    const LogEvent& e = *list[size_t(ip.row)];
    const LogRowLook look = lookOfEvent(e);
    cell->recordType()->setText(look.text);
    cell->recordType()->setTextColor(look.red ? ui::Color::redColor() : ui::Color::whiteColor());
    cell->recordTime()->setText("时间：" + Constants::longlongDateToString(e.time));
    cell->recordPlace()->setText("地点：" + e.location);
    cell->recordImage()->setImage(look.icon.empty() ? nullptr : ui::Image::named(look.icon));
    cell->arrowImage()->setHidden(!look.arrow);
    return cell;
}

bool KAVOSafeAuditViewController::canEditRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) {
    const auto& list = currentAuditionLog();
    return ip.row >= 0 && size_t(ip.row) < list.size() && SafeAuditLog::canDelete(*list[size_t(ip.row)]);
}

void KAVOSafeAuditViewController::commitEditingStyle(ui::TableView*, ui::TableViewCellEditingStyle style,
                                                     const ui::IndexPath& ip) {
    if (style != ui::TableViewCellEditingStyle::Delete || !canEditRowAtIndexPath(nullptr, ip)) return;
    if (pendingDelete_) return;  // one deletion at a time
    const LogEvent& e = *currentAuditionLog()[size_t(ip.row)];
    pendingDelete_ = e.id;
    popOutProgressHUD(kTagDelete, foundation::Value(SafeAuditLog::idsJson({e.id})));
    ScreenAnalytics::trackEvent("safeAudit", "DeleteAbnormalAudit", std::nullopt);
}

void KAVOSafeAuditViewController::didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& ip) {
    tableView->deselectRowAtIndexPath(ip, true);
    const auto& list = currentAuditionLog();
    if (ip.row < 0 || size_t(ip.row) >= list.size() || !lookOfEvent(*list[size_t(ip.row)]).highRisk) return;
    Constants::compicatedAlertViewWithTitle("警告", "您的账号极可能已经被盗，强烈建议您立即修改密码，是否修改？",
                                            kAlertHighRisk, this);
}

void KAVOSafeAuditViewController::scrollViewDidScroll(ui::ScrollView* scrollView) {
    pullRefresh_->prRefreshScrollViewDidScroll(scrollView);
}

void KAVOSafeAuditViewController::scrollViewDidEndDragging(ui::ScrollView* scrollView, bool) {
    pullRefresh_->prRefreshScrollViewDidEndDragging(scrollView);
}

// ---------------------------------------------------------------- tabs

ui::Color KAVOSafeAuditViewController::backgroundColorForMenu(HorizMenu*) {
    auto image = ui::Image::named("HorizMenuBG.png");
    return image ? ui::Color::patternImage(image) : ui::Color::rgba(0.16, 0.17, 0.19);
}

std::string KAVOSafeAuditViewController::horizMenuTitleForItemAtIndex(HorizMenu*, unsigned index) {
    return index < 3 ? kTabTitles[index] : "";
}

ui::ImageRef KAVOSafeAuditViewController::selectedItemImageForMenu(HorizMenu*) {
    auto image = ui::Image::named("HorizMenuButtonSeclected");
    return image ? image->stretchable(0, 0) : nullptr;
}

void KAVOSafeAuditViewController::horizMenuItemSelectedAtIndex(HorizMenu*, unsigned index) {
    if (index > 2) return;
    tab_ = SafeAuditLog::Tab(index);
    showEmptyLabelIfNeeded();
    table_->setEditing(false, true);
    table_->reloadData();
    ScreenAnalytics::trackPageview(kTabPages[index]);
}

// ---------------------------------------------------------------- pull-to-refresh

void KAVOSafeAuditViewController::prRefreshTableHeaderDidTriggerRefresh(PrRefreshTableHeaderView*) {
    isRefreshing_ = true;
    setBackEnabled(false);
    auto self = std::static_pointer_cast<KAVOSafeAuditViewController>(shared_from_this());
    foundation::BackgroundTask::run("safeAudit.refresh", [self] { self->threadFunc(kTagRefresh, {}); });
}

std::optional<double> KAVOSafeAuditViewController::prRefreshTableHeaderDataSourceLastUpdated(
    PrRefreshTableHeaderView*) {
    return foundation::clock().now();
}

// ---------------------------------------------------------------- alerts

void KAVOSafeAuditViewController::alertClicked(ui::AlertView* alert, int index) {
    if (alert->tag() == kAlertLeave) {
        if (navigationController()) navigationController()->popViewControllerAnimated(true);
    } else if (alert->tag() == kAlertHighRisk && index == 0) {
        ScreenAnalytics::trackEvent("safeAudit", "ChangePassWordForAbnormalAudit", std::nullopt);
        auto next = storyboard() ? storyboard()->instantiateViewControllerWithIdentifier("ChangePassWord") : nullptr;
        if (next && navigationController()) navigationController()->pushViewController(next, true);
    }
}
