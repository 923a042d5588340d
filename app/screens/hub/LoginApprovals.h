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

    ui::AlertView* alert() const { return alert_.get(); }
    int countDown() const { return countDown_; }
    bool hasCountdownTimer() const { return countdownTimer_ && countdownTimer_->isValid(); }
    bool isPolling() const { return poller_.running(); }
    const std::vector<VerifyRequest>& pending() const { return pending_; }

private:
    void handlePoll(const CommandReply& reply);
    void handleLetGo(const CommandReply& reply);
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
};

}  // namespace hub
