#pragma once
// Where every road of the bind screen ends: a bind reply (commands 16, 31
// operation 2 and 34) is read, the store written with the token key and the
// time difference, the binding state settled and the success alert raised
// (its dismissal leads on); or the failure is told as a notice. It also
// holds what the roads share on the way: the stored values being built and
// the handshake's answer (the last handshake's, or the SMS road's own).

#include <mutex>
#include <optional>
#include <string>

#include "app/core/Models.h"
#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/bind/BindModel.h"

class BindOutcome {
public:
    // The success alert goes to `screen` under `successAlertTag`.
    BindOutcome(KAVOCommandViewController& screen, int successAlertTag);

    // Forgets the values of an earlier attempt.
    void reset();
    void setSerial(const std::string& serial) { dkbase_.serial = serial; }
    // The answer the store is written with (any thread).
    void rememberAnswer(const Answer& answer);
    Answer answer();

    void handleReply(const CommandReply& reply, BindModel::Road road);
    void failed(BindModel::Road road, const std::string& notice, const std::optional<std::string>& label);
    // A notice over the screen, from any thread.
    void notice(const std::string& text);

    // The road's analytics event.
    static void track(BindModel::Road road, const std::optional<std::string>& label);

private:
    KAVOCommandViewController& screen_;
    int successAlertTag_;
    DkBase dkbase_;
    std::mutex answerMutex_;
    Answer answer_;
};
