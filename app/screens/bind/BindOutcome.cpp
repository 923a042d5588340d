#include "app/screens/bind/BindOutcome.h"

#include "app/core/initUtil.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"

using namespace BindModel;

BindOutcome::BindOutcome(KAVOCommandViewController& screen, int successAlertTag)
    : screen_(screen), successAlertTag_(successAlertTag) {}

void BindOutcome::reset() {
    dkbase_ = DkBase();
    rememberAnswer(Answer());
}

void BindOutcome::rememberAnswer(const Answer& answer) {
    std::lock_guard<std::mutex> lock(answerMutex_);
    answer_ = answer;
}

Answer BindOutcome::answer() {
    std::lock_guard<std::mutex> lock(answerMutex_);
    return answer_;
}

void BindOutcome::track(Road road, const std::optional<std::string>& label) {
    ScreenAnalytics::trackEvent("binding", roadAction(road), label);
}

void BindOutcome::handleReply(const CommandReply& reply, Road road) {
    foundation::ErrorRef problem;
    auto bind = reply.as<BindReply>(&problem);
    if (!bind) {
        foundation::log("bind reply: ", problem->message);
        failed(road, kNetworkNotice, std::string(failedLabel(road)));
        return;
    }
    const long long result = bind->code();
    if (result != 202) {
        failed(road, refusalNotice(result, bind->nick), std::string(failedLabel(road)));
        return;
    }
    // A binding without its token key or server time would leave a store
    // whose codes are wrong: it counts as a failed one.
    if (!bind->bid || bind->bid->empty() || !bind->checktime) {
        foundation::log("bind reply: 202 without \"bid\" or \"checktime\"");
        failed(road, refusalNotice(0, std::nullopt), std::string(failedLabel(road)));
        return;
    }
    const double now = foundation::clock().now();
    dkbase_.server_time = bind->checktime;
    dkbase_.bid = bind->bid;
    dkbase_.difftime = diffTime(foundation::textLongLongValue(*bind->checktime), now);
    if (!initUtil::saveDkbase(dkbase_, answer())) {
        failed(road, kSaveFailedNotice, std::string());
        return;
    }
    stateAfterBinding();
    Constants::normalAlertViewWithTitle("绑定成功", "你的禾川账号绑定成功！", successAlertTag_, &screen_);
    track(road, std::string(successLabel(road)));
}

void BindOutcome::failed(Road road, const std::string& text, const std::optional<std::string>& label) {
    notice(text);
    stateAfterFailure();
    if (label) track(road, label);
}

void BindOutcome::notice(const std::string& text) {
    std::shared_ptr<ui::ViewController> self = screen_.shared_from_this();
    foundation::performOnMainThread([self, text] {
        DnNotificationManager::notificationWithMessageForAlert(text, ui::Image::named(kNoticeImageName), self->view());
    });
}
