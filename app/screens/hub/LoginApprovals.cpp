#include "app/screens/hub/LoginApprovals.h"

#include <algorithm>

#include "app/core/SharedScreenState.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"

namespace hub {

namespace {

std::atomic<int>& gate() { return SharedScreenState::SEIZE_MAIN_PULLING(); }

}  // namespace

LoginApprovals::LoginApprovals(KAVOCommandViewController& screen, ui::AlertViewDelegate* alertDelegate,
                               const MainPageInfo& info, Tags tags)
    : screen_(screen),
      alertDelegate_(alertDelegate),
      info_(info),
      tags_(tags),
      poller_(screen, tags.poll, kPollPeriod, [] { return foundation::compareAndSwap(gate(), 0, 0); }) {}

LoginApprovals::~LoginApprovals() { stopCountdown(); }

void LoginApprovals::registerCommands() {
    // Command 21: the pending approvals.
    ScreenCommand poll = poller_.command(4);
    poll.emptyContentIsInvalid = true;
    poll.testsRemoteLogOut = false;
    poll.onReply = [this](const CommandReply& reply) { handlePoll(reply); };
    screen_.registerCommand(std::move(poll));

    // Command 19: let the request on the alert pass.
    ScreenCommand letGo = screens::letGoCommand(tags_.letGo, "正在进行放行操作...");
    letGo.emptyContentIsInvalid = true;
    letGo.testsRemoteLogOut = false;
    letGo.handshakeFailure = FailureReport::alert("警告");
    // A reply that cannot be read (garbled, empty, unwrapped, an error page,
    // too large) says nothing of what the server did, which may well have let
    // the login through: the pending list is asked again and the user told
    // where the request stands.
    letGo.onInvalidReply = [this] { letGoOutcomeUnknown(); };
    letGo.requestFailure = FailureReport::alert("警告");
    letGo.onReply = [this](const CommandReply& reply) { handleLetGo(reply); };
    screen_.registerCommand(std::move(letGo));

    // Command 21 again, for a let-go whose outcome is unknown.
    ScreenCommand recheck = poller_.command(4);
    recheck.tag = tags_.recheck;
    recheck.emptyContentIsInvalid = true;
    recheck.testsRemoteLogOut = false;
    recheck.onReply = [this](const CommandReply& reply) { handleRecheck(reply); };
    recheck.onInvalidReply = [this] { handleRecheck({}); };
    recheck.onFailure = [this](http::HttpRequest&) { handleRecheck({}); };
    screen_.registerCommand(std::move(recheck));
}

void LoginApprovals::makeAlert() {
    alert_ = ui::AlertView::create(kVerifyTitle, "", alertDelegate_, "放行", {"忽略"});
    alert_->setTag(tags_.alert);
}

void LoginApprovals::startOrStop(bool on) {
    if (on) {
        if (isPolling()) return;
        foundation::compareAndSwap(gate(), 1, 0);
        // The request address is built once per poller.
        poller_.start();
    } else {
        poller_.stop();
        foundation::compareAndSwap(gate(), 0, 1);
    }
}

long long LoginApprovals::difference() const { return foundation::textLongLongValue(info_.difftime.value_or("0")); }

double LoginApprovals::serverNow() const {
    return serverTimeNow(foundation::clock().now(), difference(), serverDate_, serverDateSeenAt_);
}

namespace {

// The date of a reply, by the server's clock.
std::optional<double> replyDate(const CommandReply& reply) {
    if (!reply.request) return std::nullopt;
    auto headers = reply.request->responseHeaders();
    if (!headers) return std::nullopt;
    auto it = headers->find("Date");
    if (it == headers->end()) return std::nullopt;
    return http::HttpRequest::dateFromRFC1123String(it->second);
}

}  // namespace

void LoginApprovals::handlePoll(const CommandReply& reply) {
    if (reply.text.empty()) return;
    if (auto date = replyDate(reply)) {
        serverDate_ = date;
        serverDateSeenAt_ = foundation::clock().now();
    }
    // A reply that comes while a request is being answered changes nothing.
    if ((alert_ && alert_->isVisible()) || screen_.isWaitingForResponse(tags_.letGo)) return;
    auto poll = reply.as<PollReply>();
    pending_.clear();
    if (poll) show(*poll);
}

void LoginApprovals::show(const PollReply& poll) {
    pending_ = pendingRequests(poll, ignored_);
    // A request whose time has run out is no longer pending, even while the
    // server still lists it.
    const double now = serverNow();
    std::erase_if(pending_, [&](const VerifyRequest& r) { return countdown(r, now, 0) < 1; });
    if (pending_.empty()) return;
    foundation::compareAndSwap(gate(), 0, 1);
    raiseAlert();
}

void LoginApprovals::raiseAlert() {
    stopCountdown();
    shown_ = pending_.back();
    countDown_ = countdown(*shown_, serverNow(), 0);
    countdownTimer_ = foundation::RunLoop::main().addTimer(1.0, true, [this](foundation::Timer&) { tick(); });
    alert_->setMessage(verifyMessage(*shown_, countDown_));
    alert_->show();
}

void LoginApprovals::stopCountdown() {
    if (countdownTimer_) countdownTimer_->invalidate();
    countdownTimer_.reset();
}

void LoginApprovals::tick() {
    if (pending_.empty() || !shown_) {
        stopCountdown();
        return;
    }
    --countDown_;
    if (countDown_ < 1) {
        countDown_ = 0;
        stopCountdown();
        if (alert_->isVisible()) {
            alert_->dismissWithClickedButtonIndex(1, true);
            answer(1);
        }
    }
    alert_->setMessage(verifyMessage(*shown_, countDown_));
}

void LoginApprovals::answer(int buttonIndex) {
    countDown_ = 0;
    stopCountdown();
    if (!shown_) return;
    if (buttonIndex == 1) {
        ignored_.insert({shown_->time, shown_->business});
        foundation::compareAndSwap(gate(), 1, 0);
        ScreenAnalytics::trackEvent(Constants::kOtherCategory, "QuickOKV", "quickOKVIgnore");
    } else if (buttonIndex == 0) {
        unsure_ = shown_;
        if (!screen_.popOutProgressHUD(tags_.letGo, foundation::Value(shown_->checkid)))
            foundation::compareAndSwap(gate(), 1, 0);
        ScreenAnalytics::trackEvent(Constants::kOtherCategory, "QuickOKV", "quickOKVLetGo");
    }
}

void LoginApprovals::handleLetGo(const CommandReply& reply) {
    if (reply.text.empty()) {
        Constants::simpleAlertViewWithTitle("错误", "与服务器握手失败，请重新绑定");
        return;
    }
    auto letGo = reply.as<LetGoReply>();
    if (letGo && letGo->success) {
        pending_.clear();
        Constants::simpleAlertViewWithTitle("成功", "放行操作成功");
    } else {
        Constants::simpleAlertViewWithTitle("错误", "放行操作失败");
    }
}

void LoginApprovals::letGoOutcomeUnknown() {
    foundation::log("let-go: the reply could not be read; asking for the pending list again");
    screen_.threadFunc(tags_.recheck, {});
}

void LoginApprovals::handleRecheck(const CommandReply& reply) {
    std::optional<PollReply> list = reply.text.empty() ? std::nullopt : reply.as<PollReply>();
    if (!list || !list->success || !unsure_) {
        Constants::simpleAlertViewWithTitle(kUnknownTitle, kUnknownNoList);
        unsure_.reset();
        return;
    }
    const bool listed = std::any_of(list->results.begin(), list->results.end(),
                                    [&](const VerifyRequest& r) { return r.checkid == unsure_->checkid; });
    unsure_.reset();
    if (listed) {
        // Still pending: the next poll puts it to the user again.
        Constants::simpleAlertViewWithTitle(kUnknownTitle, kUnknownStillPending);
    } else {
        pending_.clear();
        Constants::simpleAlertViewWithTitle(kUnknownTitle, kUnknownGone);
    }
}

void LoginApprovals::letGoEnded() { foundation::compareAndSwap(gate(), 1, 0); }

}  // namespace hub
