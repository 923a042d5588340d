#pragma once
// The main screen's login approvals. While the account's quick verification
// is on, the pending logins are polled every kPollPeriod seconds, each time
// the poll gate (SharedScreenState::SEIZE_MAIN_PULLING, 0 open) lets it: the
// one-key-verify tab holds the gate while it polls itself, and the alert and
// the let-go hold it while the user answers. The last request not ignored
// is put to the user in an alert that counts its seconds down; "放行" lets it
// pass (command 19), "忽略" or the end of the countdown ignores it for good.

#include <optional>
#include <vector>

#include "app/core/Models.h"
#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/hub/HubModel.h"
#include "app/screens/shared/PendingLoginPoller.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"

namespace hub {

class LoginApprovals {
public:
    struct Tags {
        int poll = 0;
        int letGo = 0;
        int alert = 0;
        // The pending list asked again when a let-go's outcome is unknown.
        int recheck = 0;
    };
    // Seconds between two polls.
    static constexpr double kPollPeriod = 6.0;

    // `info` is the screen's account record (its difference corrects the
    // countdown); the alert tells `alertDelegate`, which hands the answer to
    // answer().
    LoginApprovals(KAVOCommandViewController& screen, ui::AlertViewDelegate* alertDelegate, const MainPageInfo& info,
                   Tags tags);
    ~LoginApprovals();
    LoginApprovals(const LoginApprovals&) = delete;
    LoginApprovals& operator=(const LoginApprovals&) = delete;

    // Registers the poll and the let-go on the screen.
    void registerCommands();
    // Makes the alert (once the screen's view is loaded).
    void makeAlert();

    // Polls while `on` (the record's quick-verification switch), else lets
    // the gate closed and stops.
    void startOrStop(bool on);
    // What a poll reply does: keeps the requests not ignored and, when there
    // are any, closes the poll gate and asks the user about the last one.
    void show(const PollReply& reply);
    // The countdown's one-second step.
    void tick();
    // The user's answer: 0 lets the request pass, 1 ignores it.
    void answer(int buttonIndex);
    // The let-go's overlay is down, however it ended: polling resumes.
    void letGoEnded();

    // The texts of a let-go whose outcome is not known (its reply could not
    // be read): the pending list asked again says where the request stands.
    static constexpr const char* kUnknownTitle = "提示";
    static constexpr const char* kUnknownGone = "未能确认放行结果，该请求已不在待处理列表中";
    static constexpr const char* kUnknownStillPending = "未能确认放行结果，该请求仍在等待放行";
    static constexpr const char* kUnknownNoList = "未能确认放行结果，请稍后查看待处理的校验请求";

    ui::AlertView* alert() const { return alert_.get(); }
    int countDown() const { return countDown_; }
    bool hasCountdownTimer() const { return countdownTimer_ && countdownTimer_->isValid(); }
    bool isPolling() const { return poller_.running(); }
    const std::vector<VerifyRequest>& pending() const { return pending_; }

private:
    void handlePoll(const CommandReply& reply);
    void handleLetGo(const CommandReply& reply);
    // A let-go reply that could not be read: asks the server for its list.
    void letGoOutcomeUnknown();
    void handleRecheck(const CommandReply& reply);
    // The server's time now (see serverTimeNow).
    double serverNow() const;
    void raiseAlert();
    void stopCountdown();
    long long difference() const;

    KAVOCommandViewController& screen_;
    ui::AlertViewDelegate* alertDelegate_;
    const MainPageInfo& info_;
    Tags tags_;
    screens::PendingLoginPoller poller_;
    std::shared_ptr<ui::AlertView> alert_;
    foundation::TimerRef countdownTimer_;
    int countDown_ = 0;

    // The list of the last poll, the request on the alert (taken when the
    // alert is raised) and the requests the user ignored.
    std::vector<VerifyRequest> pending_;
    std::optional<VerifyRequest> shown_;
    IgnoredRequests ignored_;
    // The request a let-go was sent for, while its outcome is asked again.
    std::optional<VerifyRequest> unsure_;
    // The date of the server's last poll reply, and when the device read it.
    std::optional<double> serverDate_;
    double serverDateSeenAt_ = 0;
};

}  // namespace hub
