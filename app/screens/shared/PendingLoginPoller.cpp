#include "app/screens/shared/PendingLoginPoller.h"

#include "app/core/Envelope.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"

namespace screens {

PendingLoginPoller::PendingLoginPoller(KAVOCommandViewController& screen, int tag, double period,
                                       std::function<bool()> gate)
    : screen_(screen), tag_(tag), period_(period), gate_(std::move(gate)) {}

PendingLoginPoller::~PendingLoginPoller() { stop(); }

ScreenCommand PendingLoginPoller::command(double timeOutSeconds) const {
    ScreenCommand poll = ScreenCommand::unattended(tag_);
    poll.timeOutSeconds = timeOutSeconds;
    poll.assembleURL = [this](const Answer&, const foundation::Value&) -> std::optional<std::string> {
        if (address_.empty()) return std::nullopt;
        return address_;
    };
    return poll;
}

void PendingLoginPoller::start() {
    stop();
    address_ = requestAddressForPayload(
                   TextPayload(21, {Constants::getValueFromDBByKey(StoreKeys::uuid).value_or("(null)")}).text())
                   .value_or("");
    timer_ = foundation::RunLoop::main().addTimer(period_, true, [this](foundation::Timer&) { pollOnce(); });
    pollOnce();
}

void PendingLoginPoller::stop() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void PendingLoginPoller::pollOnce() {
    if (gate_ && !gate_()) return;
    screen_.threadFunc(tag_, {});
}

ScreenCommand letGoCommand(int tag, const std::string& waitingText) {
    ScreenCommand letGo;
    letGo.tag = tag;
    letGo.waitingText = waitingText;
    letGo.assembleURL = [](const Answer& answer, const foundation::Value& checkid) {
        return requestAddressForPayload(
            TextPayload(19, {answer.uuid.value_or("(null)"), answer.answer.value_or(""), checkid.description()})
                .text());
    };
    return letGo;
}

}  // namespace screens
