#pragma once
// The bind screen's SMS road: the user names the account, its phone is
// looked up (command 31 operation 0) and confirmed, the binding text is
// composed and sent, then the server is asked every kPollInterval seconds,
// under an overlay of its own, whether the text has arrived; once it has,
// the phone binds (command 31 operation 2) under the same overlay.

#include <memory>
#include <optional>
#include <string>

#include "app/screens/bind/BindOutcome.h"
#include "lib/kit/ProgressHUD.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/MessageCompose.h"

class BindViewController;

class TextMsgRoad {
public:
    TextMsgRoad(BindViewController& screen, BindOutcome& outcome);
    ~TextMsgRoad();

    void registerCommands();
    // Forgets the account of an earlier attempt.
    void reset();

    // The road's button: asks for the account's name.
    void start();
    // The name was given: its phone is looked up.
    void nameGiven(const std::string& name);
    // The user's answer to the phone's confirmation.
    void confirmed(int buttonIndex);
    void composeFinished(ui::MessageComposeViewController* composer, ui::MessageComposeResult result);
    // True when `hud` was the poll's overlay (the screen's bar comes back).
    bool overlayHidden(ProgressHUD* hud);

    ProgressHUD* pollHud() const { return pollHud_.get(); }
    ui::MessageComposeViewController* composer() const { return composer_.get(); }
    const std::string& sid() const { return sid_; }
    const std::string& userName() const { return userName_; }

private:
    void startPoll();
    void pollAttempt(int attempt);
    void pollAnswered(int attempt, const BindModel::PollStep& step);
    void cleanUpPull(const std::optional<std::string>& outcome);
    void endPollOverlay();

    BindViewController& screen_;
    BindOutcome& outcome_;
    std::shared_ptr<ProgressHUD> pollHud_;
    std::shared_ptr<ui::MessageComposeViewController> composer_;
    foundation::TimerRef pollTimer_;
    std::string sid_, userName_;
};
