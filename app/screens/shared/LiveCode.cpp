#include "app/screens/shared/LiveCode.h"

#include <climits>

#include "app/core/GetOtp.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Value.h"

namespace screens {

LiveCode::~LiveCode() { stop(); }

void LiveCode::setToken(std::string key, std::string difference) {
    key_ = std::move(key);
    difference_ = std::move(difference);
}

void LiveCode::refresh() {
    window_ = windowAt(foundation::clock().nowSeconds(), difference(difference_));
    code_ = GetOtp::otpCreate(key_, difference_);
}

int LiveCode::secondsIn() const { return secondsInto(foundation::clock().nowSeconds(), difference(difference_)); }

void LiveCode::start(Listener listener) {
    listener_ = std::move(listener);
    if (timer_) return;
    timer_ = foundation::RunLoop::main().addTimer(1.0, true, [this](foundation::Timer&) { tick(); });
}

void LiveCode::restart(Listener listener) {
    if (timer_) timer_->invalidate();
    timer_.reset();
    start(std::move(listener));
}

void LiveCode::stop() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void LiveCode::finish() {
    if (!timer_) return;
    timer_->fire();
    stop();
}

void LiveCode::tick() {
    const int64_t now = foundation::clock().nowSeconds();
    const long long diff = difference(difference_);
    Tick tick;
    tick.secondsIn = secondsInto(now, diff);
    const int64_t window = windowAt(now, diff);
    if (window != window_) {
        window_ = window;
        code_ = GetOtp::otpCreate(key_, difference_);
        tick.newWindow = true;
    }
    if (listener_) listener_(tick);
}

int64_t LiveCode::windowAt(int64_t nowSeconds, long long difference) {
    return GetOtp::counterAt(nowSeconds, difference);
}

int LiveCode::secondsInto(int64_t nowSeconds, long long difference) {
    int64_t sum = 0;
    if (__builtin_add_overflow(nowSeconds, int64_t(difference), &sum)) sum = difference < 0 ? INT64_MIN : INT64_MAX;
    // The same truncating division the window uses, so the two agree; a sum
    // before 1970 counts its seconds the same way from the window's end.
    const int64_t rest = sum - (sum / GetOtp::kStepSeconds) * GetOtp::kStepSeconds;
    return int(rest < 0 ? -rest : rest);
}

long long LiveCode::difference(std::string_view text) { return foundation::textLongLongValue(text); }

}  // namespace screens
