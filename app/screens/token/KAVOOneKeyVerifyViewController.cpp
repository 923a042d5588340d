#include "app/screens/token/KAVOOneKeyVerifyViewController.h"

#include <algorithm>
#include <utility>

#include "app/core/SharedScreenState.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Dispatch.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"

namespace {

constexpr const char* kCategory = "okvView";
constexpr const char* kLetGoAction = "OKVLetGo";
constexpr const char* kConfirmTitle = "警告";
constexpr const char* kConfirmMessage = "您有多条记录正等待放行，账户有可能被盗，确定放行？";

std::shared_ptr<ui::Label> rowLabel(const ui::Rect& frame, const ui::Font& font, const ui::Color& color) {
    auto label = ui::Label::create(frame);
    label->setFont(font);
    label->setTextColor(color);
    label->setBackgroundColor(ui::Color::clearColor());
    label->setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
    return label;
}

}  // namespace

// ---------------------------------------------------------------- the row

void KAVOOneKeyVerifyfCustomCell::buildLayout(ui::Size size) {
    setFrame({0, 0, size.width, size.height});
    const double left = textLeft(), width = size.width - left - textRightInset();
    // Three lines: the operation, the place and the time.
    if (!titleLabel())
        setTitleLabel(rowLabel({left, 8, width, 22}, ui::Font::boldSystemFont(15), ui::Color::white(0.15)));
    if (!locationTitle_)
        locationTitle_ = rowLabel({left, 31, width, 20}, ui::Font::systemFont(13), ui::Color::grayColor());
    if (!subTitleLabel())
        setSubTitleLabel(rowLabel({left, 52, width, 20}, ui::Font::systemFont(12), ui::Color::grayColor()));
    for (ui::Label* label : {titleLabel(), locationTitle_.get(), subTitleLabel()})
        if (!label->superview()) contentView()->addSubview(label->shared_from_this());
    KAVOAccountProtectImageLabelCell::buildLayout(size);
    if (!letGoButton_) {
        letGoButton_ = std::make_shared<ui::Button>(ui::Rect{size.width - 70, (size.height - 32) / 2, 58, 32},
                                                    ui::ButtonType::Custom);
        letGoButton_->setTitle(kLetGoTitle);
        letGoButton_->setTitleColor(ui::Color::whiteColor());
        if (ui::Label* title = letGoButton_->titleLabel()) title->setFont(ui::Font::boldSystemFont(15));
        letGoButton_->setBackgroundColor(ui::Color::rgba(0.87, 0.33, 0.16));
        letGoButton_->layer().setCornerRadius(6);
        letGoButton_->setAutoresizingMask(ui::kAutoresizingFlexibleLeftMargin);
        letGoButton_->addTarget(
            this, [this](ui::Control*, const ui::Event*) { letGoButtonPressed(); }, ui::kControlEventTouchUpInside);
        contentView()->addSubview(letGoButton_);
    }
}

void KAVOOneKeyVerifyfCustomCell::letGoButtonPressed() {
    if (delegate_) delegate_->customCellButtonPressed(this, cellIndex());
}

// ---------------------------------------------------------------- the screen

KAVOOneKeyVerifyViewController::KAVOOneKeyVerifyViewController()
    : poller_(*this, kTagPoll, kPollPeriod, [this] {
          return foundation::compareAndSwap(KEEP_PULLING_THREAD_, 1, 1) &&
                 foundation::compareAndSwap(SEIZE_PULLING_THREAD_, 0, 0);
      }) {
    registerCommands();
}

KAVOOneKeyVerifyViewController::~KAVOOneKeyVerifyViewController() = default;

void KAVOOneKeyVerifyViewController::registerCommands() {
    // Command 21: the pending requests, without the handshake or the overlay.
    ScreenCommand poll = poller_.command(kPollTimeOut);
    poll.stopOnRequestError = true;
    poll.onInvalidReply = [this] { handleNetWorkFaliureForPullOKVRequest(); };
    poll.onFailure = [this](http::HttpRequest&) { handleNetWorkFaliureForPullOKVRequest(); };
    poll.onReply = [this](const CommandReply& reply) { handleResponseForPullOKVRequest(reply); };
    registerCommand(std::move(poll));

    // Command 19: let the chosen request pass. The argument is its checkid.
    ScreenCommand letGo = screens::letGoCommand(kTagLetGo, "正在放行");
    letGo.waitSlice = 15;
    letGo.timeOutSeconds = 9;
    letGo.handshakeFailure = FailureReport::notice();
    letGo.onReply = [this](const CommandReply& reply) { handleResponseForLetGoOKVRequest(reply); };
    letGo.onFailure = [this](http::HttpRequest&) { handleNetWorkFaliureForLetGoOKVRequest(); };
    // A reply that cannot be read (not the wrapper, not deciphering, an
    // error page, too large) says nothing of what the server did: the user is
    // told so, and the list shows what the server holds once the let-go ends.
    letGo.onInvalidReply = [this] {
        showNotice(kLetGoUnknownText);
        pollAfterLetGo_ = true;
    };
    letGo.afterFailure = [this] { endLetGo(); };
    registerCommand(std::move(letGo));
}

void KAVOOneKeyVerifyViewController::loadView() {
    table_ = std::make_shared<ui::TableView>(ui::Rect{0, 0, 320, 460});
    setView(table_);
}

void KAVOOneKeyVerifyViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    table_->setBackgroundView(std::make_shared<ui::ImageView>(ui::Image::named("bg4.jpg")));
    table_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    table_->registerCellFactory(KAVOOneKeyVerifyfCustomCell::kReuseIdentifier, [](const std::string& identifier) {
        auto cell = std::make_shared<KAVOOneKeyVerifyfCustomCell>(ui::TableViewCellStyle::Default, identifier);
        cell->buildLayout({320, kRowHeight});
        return std::static_pointer_cast<ui::TableViewCell>(cell);
    });
    table_->setDataSource(this);
    table_->setTableDelegate(this);
    firstNetFail_ = true;
    if (!statusBar_) {
        statusBar_ = ui::Label::create({10, 100, 300, 30});
        statusBar_->setText(kEmptyText);
        statusBar_->setBackgroundColor(ui::Color::clearColor());
        statusBar_->setTextAlignment(ui::TextAlignment::Center);
        statusBar_->setTextColor(ui::Color::lightGrayColor());
        view()->addSubview(statusBar_);
    }
    updateStatusBar();
}

void KAVOOneKeyVerifyViewController::viewDidUnload() {
    stopPoller();
    oneKeyVeryifyArray_.clear();
    if (statusBar_) statusBar_->removeFromSuperview();
    statusBar_.reset();
    table_.reset();
    firstNetFail_ = true;
    KAVOCommandViewController::viewDidUnload();
}

// ---------------------------------------------------------------- on and off screen

void KAVOOneKeyVerifyViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    // The main screen stops asking while this tab asks.
    foundation::compareAndSwap(SharedScreenState::SEIZE_MAIN_PULLING(), 0, 1);
    foundation::compareAndSwap(KEEP_PULLING_THREAD_, 0, 1);
    foundation::compareAndSwap(SEIZE_PULLING_THREAD_, 1, 0);
    firstNetFail_ = true;
    startPoller();
}

void KAVOOneKeyVerifyViewController::viewWillDisappear(bool animated) {
    KAVOCommandViewController::viewWillDisappear(animated);
    foundation::compareAndSwap(SEIZE_PULLING_THREAD_, 0, 1);
    foundation::compareAndSwap(KEEP_PULLING_THREAD_, 1, 0);
    foundation::compareAndSwap(SharedScreenState::SEIZE_MAIN_PULLING(), 1, 0);
    firstNetFail_ = false;
    stopPoller();
}

void KAVOOneKeyVerifyViewController::startPoller() {
    // Coming back before the last poller's period ran out still leaves one.
    poller_.start();
}

void KAVOOneKeyVerifyViewController::stopPoller() { poller_.stop(); }

// ---------------------------------------------------------------- the poll

void KAVOOneKeyVerifyViewController::handleResponseForPullOKVRequest(const CommandReply& reply) {
    if (firstNetFail_ && reply.text.empty()) {
        firstNetFail_ = false;
        return;
    }
    showRequests(reply.as<PollReply>());
}

void KAVOOneKeyVerifyViewController::showRequests(const std::optional<PollReply>& poll) {
    oneKeyVeryifyArray_.clear();
    if (poll && poll->success) oneKeyVeryifyArray_ = poll->results;
    updateStatusBar();
    if (table_) table_->reloadData();
}

void KAVOOneKeyVerifyViewController::handleNetWorkFaliureForPullOKVRequest() {
    if (!firstNetFail_) return;
    firstNetFail_ = false;
    showNotice(kNetworkUnstableMessage);
}

void KAVOOneKeyVerifyViewController::updateStatusBar() {
    if (!statusBar_) return;
    const bool empty = oneKeyVeryifyArray_.empty();
    statusBar_->setHidden(!empty);
    statusBar_->setEnabled(empty);
}

void KAVOOneKeyVerifyViewController::showNotice(const std::optional<std::string>& message) {
    DnNotificationManager::notificationWithMessageForAlert(message, ui::Image::named(kNoticeImageName),
                                                           commandHost()->view());
}

// ---------------------------------------------------------------- rows

std::shared_ptr<ui::TableViewCell> KAVOOneKeyVerifyViewController::cellForRowAtIndexPath(
    ui::TableView* tableView, const ui::IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<KAVOOneKeyVerifyfCustomCell>(
        tableView->dequeueReusableCellWithIdentifier(KAVOOneKeyVerifyfCustomCell::kReuseIdentifier));
    if (!cell || indexPath.row < 0 || indexPath.row >= int(oneKeyVeryifyArray_.size())) return cell;
    const VerifyRequest& request = oneKeyVeryifyArray_[indexPath.row];
    cell->setDelegate(this);
    cell->setCellIndex(indexPath.row);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    cell->titleLabel()->setText("操作类型：" + request.business);
    cell->locationTitle()->setText("地点:" + request.location);
    cell->subTitleLabel()->setText("时间:" + Constants::longlongDateToString(request.time));
    cell->customImageView()->setImage(ui::Image::named("yijian"));
    return cell;
}

// ---------------------------------------------------------------- letting a request pass

void KAVOOneKeyVerifyViewController::customCellButtonPressed(KAVOAccountProtectLabelCell*, int cellIndex) {
    if (cellIndex < 0 || cellIndex >= int(oneKeyVeryifyArray_.size()) || isWaitingForResponse(kTagLetGo)) return;
    currentCellIndex_ = cellIndex;
    chosen_ = oneKeyVeryifyArray_[cellIndex];
    if (oneKeyVeryifyArray_.size() < 2) {
        ScreenAnalytics::trackEvent(kCategory, kLetGoAction, "singleLetGo");
        popOutProgressHUDForLegGo(currentCellIndex_);
    } else {
        ScreenAnalytics::trackEvent(kCategory, kLetGoAction, "multiSelect");
        Constants::compicatedAlertViewWithTitle(kConfirmTitle, kConfirmMessage, kConfirmAlertTag, this);
    }
}

void KAVOOneKeyVerifyViewController::alertClicked(ui::AlertView* alertView, int buttonIndex) {
    if (alertView->tag() != kConfirmAlertTag) return;
    if (buttonIndex == 0) {
        ScreenAnalytics::trackEvent(kCategory, kLetGoAction, "multiLetGo");
        popOutProgressHUDForLegGo(currentCellIndex_);
    } else {
        currentCellIndex_ = -1;
        chosen_.reset();
    }
}

void KAVOOneKeyVerifyViewController::popOutProgressHUDForLegGo(int row) {
    (void)row;
    // The request the user tapped, wherever the polls have moved it since;
    // when it has left the list nothing is sent.
    const bool listed = chosen_ && std::any_of(oneKeyVeryifyArray_.begin(), oneKeyVeryifyArray_.end(),
                                               [&](const VerifyRequest& r) { return r.checkid == chosen_->checkid; });
    if (!listed) {
        endLetGo();
        return;
    }
    // No polls while the let-go is under way.
    const bool seized = foundation::compareAndSwap(SEIZE_PULLING_THREAD_, 0, 1);
    if (!popOutProgressHUD(kTagLetGo, foundation::Value(chosen_->checkid))) {
        if (seized) foundation::compareAndSwap(SEIZE_PULLING_THREAD_, 1, 0);
        endLetGo();
    }
}

void KAVOOneKeyVerifyViewController::handleResponseForLetGoOKVRequest(const CommandReply& reply) {
    if (reply.text.empty()) {
        showNotice(kLetGoRefusedText);
        endLetGo();
        return;
    }
    auto letGo = reply.as<LetGoReply>();
    if (letGo && letGo->success) {
        if (chosen_) {
            auto it = std::find_if(oneKeyVeryifyArray_.begin(), oneKeyVeryifyArray_.end(),
                                   [&](const VerifyRequest& r) { return r.checkid == chosen_->checkid; });
            if (it != oneKeyVeryifyArray_.end()) oneKeyVeryifyArray_.erase(it);
        }
        if (table_) table_->reloadData();
        showNotice(kLetGoDoneText);
    } else {
        // A refusal without a message of its own still says what happened.
        std::optional<std::string> message = letGo ? letGo->message : std::nullopt;
        showNotice(message && !message->empty() ? *message : std::string(kLetGoRefusedText));
    }
    updateStatusBar();
    endLetGo();
}

void KAVOOneKeyVerifyViewController::handleNetWorkFaliureForLetGoOKVRequest() {
    showNotice(kNetworkUnstableMessage);
    endLetGo();
}

void KAVOOneKeyVerifyViewController::endLetGo() {
    currentCellIndex_ = -1;
    chosen_.reset();
}

void KAVOOneKeyVerifyViewController::hudWasHidden(ProgressHUD* hidden) {
    const bool letGo = hud(kTagLetGo).get() == hidden;
    KAVOCommandViewController::hudWasHidden(hidden);
    // The let-go has ended, however it ended: the poll goes on while the tab
    // is on screen.
    if (letGo && foundation::compareAndSwap(KEEP_PULLING_THREAD_, 1, 1)) {
        foundation::compareAndSwap(SEIZE_PULLING_THREAD_, 1, 0);
        if (std::exchange(pollAfterLetGo_, false)) poller_.pollOnce();
    }
}
