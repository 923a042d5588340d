#pragma once
// The poll of the logins waiting for this phone's approval (command 21, the
// stored uuid, no handshake and no overlay) and the let-go of one of them
// (command 19), as the main screen and the one-key-verify tab both send
// them. The poller asks every `period` seconds while it runs, each time the
// screen's gate lets it; what the replies do is the screen's.

#include <functional>
#include <optional>
#include <string>

#include "app/cycle/KAVOCommandViewController.h"
#include "platform/foundation/RunLoop.h"

namespace screens {

class PendingLoginPoller {
public:
    // `screen` sends the poll under `tag`; `gate` says whether a poll may go
    // now (the screens' pull flags).
    PendingLoginPoller(KAVOCommandViewController& screen, int tag, double period, std::function<bool()> gate);
    ~PendingLoginPoller();
    PendingLoginPoller(const PendingLoginPoller&) = delete;
    PendingLoginPoller& operator=(const PendingLoginPoller&) = delete;

    // The poll command with its address; the screen adds the reply and
    // failure handling and registers it.
    ScreenCommand command(double timeOutSeconds) const;

    // Builds the poll's address (once per start), asks every period from now
    // and once at once. A running poller is replaced.
    void start();
    void stop();
    bool running() const { return timer_ && timer_->isValid(); }
    // Asks now when the gate lets it.
    void pollOnce();

private:
    KAVOCommandViewController& screen_;
    int tag_;
    double period_;
    std::function<bool()> gate_;
    std::string address_;
    foundation::TimerRef timer_;
};

// The let-go of the request whose checkid is the command's argument, after
// the handshake; the screen adds the rest.
ScreenCommand letGoCommand(int tag, const std::string& waitingText);

}  // namespace screens
