// Bandwidth throttling, the mobile-network limit and the network activity
// indicator of HttpRequest (their state is the session's: HttpSession).
#include <deque>
#include <numeric>

#include "lib/http/HttpRequest.h"
#include "lib/http/HttpSession.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NetworkActivityIndicator.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"
#include "platform/net/Reachability.h"

namespace http {
namespace {

double monotonicNow() { return foundation::clock().monotonic(); }

using Bandwidth = HttpSession::Bandwidth;

template <class Fn>
auto withBandwidth(Fn&& fn) {
    return HttpSession::shared().withBandwidth(std::forward<Fn>(fn));
}

// Closes the current measurement period (bandwidth lock held).
void recordBandwidthUsageLocked(Bandwidth& b) {
    const double now = monotonicNow();
    if (b.usedInPeriod == 0) {
        b.history.clear();
    } else {
        double d = b.periodEnd ? *b.periodEnd - now : 0;
        while ((d < 0 || b.history.size() > 5) && !b.history.empty()) {
            b.history.pop_front();
            d += 1;
        }
    }
    b.history.push_back(b.usedInPeriod);
    b.periodEnd = now + 1;
    b.usedInPeriod = 0;
    b.average = std::accumulate(b.history.begin(), b.history.end(), 0UL) / b.history.size();
}

}  // namespace

bool HttpRequest::isBandwidthThrottled() {
    return withBandwidth([](Bandwidth& b) { return b.active(); });
}

unsigned long HttpRequest::maxBandwidthPerSecond() {
    return withBandwidth([](Bandwidth& b) { return b.maxPerSecond; });
}

void HttpRequest::setMaxBandwidthPerSecond(unsigned long bytes) {
    withBandwidth([bytes](Bandwidth& b) { b.maxPerSecond = bytes; });
}

void HttpRequest::incrementBandwidthUsedInLastSecond(unsigned long bytes) {
    withBandwidth([bytes](Bandwidth& b) { b.usedInPeriod += bytes; });
}

unsigned long HttpRequest::averageBandwidthUsedPerSecond() {
    return withBandwidth([](Bandwidth& b) { return b.average; });
}

std::optional<double> HttpRequest::throttleWakeUpTime() {
    return withBandwidth([](Bandwidth& b) { return b.wakeUp; });
}

std::vector<unsigned long> HttpRequest::bandwidthUsageHistory() {
    return withBandwidth([](Bandwidth& b) { return std::vector<unsigned long>(b.history.begin(), b.history.end()); });
}

void HttpRequest::measureBandwidthUsage() {
    withBandwidth([](Bandwidth& b) {
        if (!b.periodEnd || *b.periodEnd <= monotonicNow()) recordBandwidthUsageLocked(b);
        // An overdraft is paid back with sleep.
        if (b.active() && b.usedInPeriod > b.maxPerSecond)
            b.wakeUp = *b.periodEnd + double(b.usedInPeriod - b.maxPerSecond) / double(b.maxPerSecond);
    });
}

unsigned long HttpRequest::maxUploadReadLength() {
    return withBandwidth([](Bandwidth& b) {
        long long allowance = (long long)(b.maxPerSecond / 4);
        if (b.maxPerSecond > 0 && b.usedInPeriod + (unsigned long)allowance > b.maxPerSecond)
            allowance = std::max(0LL, (long long)b.maxPerSecond - (long long)b.usedInPeriod);
        if (allowance == 0 || !b.periodEnd || *b.periodEnd <= monotonicNow()) b.wakeUp = b.periodEnd;
        return (unsigned long)allowance;
    });
}

size_t HttpRequest::throttledReadLength(size_t bufferSize) {
    if (!isBandwidthThrottled()) return bufferSize;
    return withBandwidth([bufferSize](Bandwidth& b) mutable {
        if (b.maxPerSecond > 0) {
            long long remaining = (long long)b.maxPerSecond - (long long)b.usedInPeriod;
            if (remaining < 0)
                bufferSize = 1;
            else if ((unsigned long long)(remaining / 4) < bufferSize)
                bufferSize = size_t(remaining / 4);
        }
        return bufferSize < 1 ? size_t(1) : bufferSize;
    });
}

void HttpRequest::performThrottling() {
    if (!readStream_ || passIsOver(state_)) return;
    measureBandwidthUsage();
    if (isBandwidthThrottled()) {
        std::optional<double> wakeUp = throttleWakeUpTime();
        if (!wakeUp) return;
        if (*wakeUp > monotonicNow()) {
            if (readStreamIsScheduled_) unscheduleReadStream();
        } else if (!readStreamIsScheduled_) {
            scheduleReadStream();
        }
    } else if (!readStreamIsScheduled_) {
        scheduleReadStream();
    }
}

// ---- the mobile network -----------------------------------------------------------

void HttpRequest::setShouldThrottleBandwidthForWWAN(bool on) {
    if (on) {
        throttleBandwidthForWWANUsingLimit(kWWANBandwidthLimit);
        return;
    }
    HttpSession::shared().watchReachability(false);
    withBandwidth([](Bandwidth& b) {
        b.maxPerSecond = 0;
        b.wwanOnly = false;
        b.throttledNow = false;
    });
}

void HttpRequest::throttleBandwidthForWWANUsingLimit(unsigned long limit) {
    withBandwidth([limit](Bandwidth& b) {
        b.wwanOnly = true;
        b.maxPerSecond = limit;
    });
    HttpSession::shared().watchReachability(true);
    reachabilityChanged();
}

bool HttpRequest::isNetworkReachableViaWWAN() {
    auto r = net::Reachability::reachabilityForInternetConnection();
    return r && r->currentReachabilityStatus() == net::ReachabilityWWAN;
}

void HttpRequest::reachabilityChanged() {
    bool wwan = isNetworkReachableViaWWAN();
    withBandwidth([wwan](Bandwidth& b) { b.throttledNow = wwan; });
}

// ---- the activity indicator ---------------------------------------------------------

void HttpRequest::noteStreamScheduled(bool scheduled) {
    HttpSession::shared().withActivity([scheduled](HttpSession::Activity& a) {
        if (scheduled) {
            ++a.scheduledStreams;
            if (a.shouldUpdateIndicator) showNetworkActivityIndicator();
        } else {
            --a.scheduledStreams;
            if (a.scheduledStreams == 0 && a.shouldUpdateIndicator)
                foundation::performOnMainThread([] { hideNetworkActivityIndicatorAfterDelay(); });
        }
    });
}

bool HttpRequest::isNetworkInUse() {
    return HttpSession::shared().withActivity([](HttpSession::Activity& a) { return a.scheduledStreams > 0; });
}

void HttpRequest::setShouldUpdateNetworkActivityIndicator(bool on) {
    HttpSession::shared().withActivity([on](HttpSession::Activity& a) { a.shouldUpdateIndicator = on; });
    if (!on) hideNetworkActivityIndicator();
}

void HttpRequest::showNetworkActivityIndicator() { foundation::setNetworkActivityIndicatorVisible(true); }

void HttpRequest::hideNetworkActivityIndicator() { foundation::setNetworkActivityIndicatorVisible(false); }

// One delayed check at a time, moved to 0.5 s after the latest end: a busy
// client does not pile up a timer per request on the main loop.
void HttpRequest::hideNetworkActivityIndicatorAfterDelay() {
    static foundation::TimerRef* pending = new foundation::TimerRef();
    static std::mutex* pendingMutex = new std::mutex();
    static const bool registered =
        (foundation::registerResetter("http.indicatorCheck", foundation::ResetPhase::SharedObject,
                                      [] {
                                          std::lock_guard<std::mutex> lock(*pendingMutex);
                                          if (*pending) (*pending)->invalidate();
                                          pending->reset();
                                      }),
         true);
    (void)registered;
    std::lock_guard<std::mutex> lock(*pendingMutex);
    const double due = foundation::clock().monotonic() + 0.5;
    if (*pending && (*pending)->isValid()) {
        (*pending)->setFireDate(due);
        return;
    }
    *pending = foundation::RunLoop::main().performAfter(0.5, [] { hideNetworkActivityIndicatorIfNeeeded(); });
}

// Hides the indicator only if no request started meanwhile, so back-to-back
// requests do not make it flicker.
void HttpRequest::hideNetworkActivityIndicatorIfNeeeded() {
    HttpSession::shared().withActivity([](HttpSession::Activity& a) {
        if (a.scheduledStreams == 0) hideNetworkActivityIndicator();
    });
}

}  // namespace http
