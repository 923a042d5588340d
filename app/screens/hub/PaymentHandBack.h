#pragma once
// Turning payment verification on from the main screen: when the payment
// app hands back (the binding state says it was called), its token is sent
// (command 33) and the reply's new token key and time difference are stored
// and shown as the code; a failure or an interruption is told in an alert.

#include <functional>

#include "app/core/Models.h"
#include "app/cycle/KAVOCommandViewController.h"

namespace hub {

class PaymentHandBack {
public:
    // `info` is the screen's account record, which a binding updates;
    // `showCode` shows the record's code at once, `showFast` the code panel
    // and icons as the record and the binding state say.
    PaymentHandBack(KAVOCommandViewController& screen, int tag, MainPageInfo& info, std::function<void()> showCode,
                    std::function<void()> showFast);

    void registerCommand();
    // Looks whether the payment app has handed back (on every appearance).
    void check();

private:
    void handleReply(const CommandReply& reply);

    KAVOCommandViewController& screen_;
    int tag_;
    MainPageInfo& info_;
    std::function<void()> showCode_, showFast_;
};

}  // namespace hub
