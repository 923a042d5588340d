// Bandwidth throttling, the mobile-network limit and the network activity
// indicator of HttpRequest (class-wide state).
#include <deque>
#include <numeric>

#include "lib/http/HttpRequest.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NetworkActivityIndicator.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/Reachability.h"

namespace http {
namespace {

double monotonicNow() { return foundation::clock().monotonic(); }

struct Bandwidth {
    std::mutex lock;  // the bandwidth lock: plain, never held while taking it again
    unsigned long maxPerSecond = 0;
    unsigned long usedInPeriod = 0;
    std::optional<double> periodEnd;
    std::deque<unsigned long> history;
    unsigned long average = 0;
    std::optional<double> wakeUp;
    bool throttledNow = false;  // on the mobile network now
    bool wwanOnly = false;      // the limit applies on the mobile network only
};

Bandwidth& bw() {
    static auto* b = new Bandwidth();
    return *b;
}

bool throttlingActiveLocked(const Bandwidth& b) { return b.throttledNow || (!b.wwanOnly && b.maxPerSecond > 0); }

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

std::mutex& runningLock() {
    static auto* m = new std::mutex();
    return *m;
}
int runningRequestCount = 0;
bool shouldUpdateIndicator = true;

std::mutex& reachabilityLock() {
    static auto* m = new std::mutex();
    return *m;
}
std::shared_ptr<net::Reachability>& wwanReachability() {
    static auto* r = new std::shared_ptr<net::Reachability>();
    return *r;
}
const int kReachabilityObserverOwner = 0;

void registerForNetworkReachabilityNotifications() {
    std::lock_guard<std::mutex> lock(reachabilityLock());
    auto& r = wwanReachability();
    if (r) return;
    r = net::Reachability::reachabilityForInternetConnection();
    if (!r) return;
    r->startNotifier();
    foundation::NotificationCenter::defaultCenter().addObserver(
        &kReachabilityObserverOwner, net::kReachabilityChangedNotification,
        [](const foundation::Notification&) { HttpRequest::reachabilityChanged(); }, r.get());
}

void unsubscribeFromNetworkReachabilityNotifications() {
    std::lock_guard<std::mutex> lock(reachabilityLock());
    foundation::NotificationCenter::defaultCenter().removeObserver(&kReachabilityObserverOwner);
    wwanReachability().reset();
}

}  // namespace

bool HttpRequest::isBandwidthThrottled() {
    std::lock_guard<std::mutex> lock(bw().lock);
    return throttlingActiveLocked(bw());
}

unsigned long HttpRequest::maxBandwidthPerSecond() {
    std::lock_guard<std::mutex> lock(bw().lock);
    return bw().maxPerSecond;
}

void HttpRequest::setMaxBandwidthPerSecond(unsigned long bytes) {
    std::lock_guard<std::mutex> lock(bw().lock);
    bw().maxPerSecond = bytes;
}

void HttpRequest::incrementBandwidthUsedInLastSecond(unsigned long bytes) {
    std::lock_guard<std::mutex> lock(bw().lock);
    bw().usedInPeriod += bytes;
}

unsigned long HttpRequest::averageBandwidthUsedPerSecond() {
    std::lock_guard<std::mutex> lock(bw().lock);
    return bw().average;
}

std::optional<double> HttpRequest::throttleWakeUpTime() {
    std::lock_guard<std::mutex> lock(bw().lock);
    return bw().wakeUp;
}

std::vector<unsigned long> HttpRequest::bandwidthUsageHistory() {
    std::lock_guard<std::mutex> lock(bw().lock);
    return {bw().history.begin(), bw().history.end()};
}

void HttpRequest::measureBandwidthUsage() {
    std::lock_guard<std::mutex> lock(bw().lock);
    Bandwidth& b = bw();
    if (!b.periodEnd || *b.periodEnd <= monotonicNow()) recordBandwidthUsageLocked(b);
    // An overdraft is paid back with sleep.
    if (throttlingActiveLocked(b) && b.usedInPeriod > b.maxPerSecond)
        b.wakeUp = *b.periodEnd + double(b.usedInPeriod - b.maxPerSecond) / double(b.maxPerSecond);
}

unsigned long HttpRequest::maxUploadReadLength() {
    std::lock_guard<std::mutex> lock(bw().lock);
    Bandwidth& b = bw();
    long long allowance = (long long)(b.maxPerSecond / 4);
    if (b.maxPerSecond > 0 && b.usedInPeriod + (unsigned long)allowance > b.maxPerSecond)
        allowance = std::max(0LL, (long long)b.maxPerSecond - (long long)b.usedInPeriod);
    if (allowance == 0 || !b.periodEnd || *b.periodEnd <= monotonicNow()) b.wakeUp = b.periodEnd;
    return (unsigned long)allowance;
}

size_t HttpRequest::throttledReadLength(size_t bufferSize) {
    if (!isBandwidthThrottled()) return bufferSize;
    std::lock_guard<std::mutex> lock(bw().lock);
    Bandwidth& b = bw();
    if (b.maxPerSecond > 0) {
        long long remaining = (long long)b.maxPerSecond - (long long)b.usedInPeriod;
        if (remaining < 0)
            bufferSize = 1;
        else if ((unsigned long long)(remaining / 4) < bufferSize)
            bufferSize = size_t(remaining / 4);
    }
    return bufferSize < 1 ? 1 : bufferSize;
}

void HttpRequest::performThrottling() {
    if (!readStream_ || complete_) return;
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
    unsubscribeFromNetworkReachabilityNotifications();
    std::lock_guard<std::mutex> lock(bw().lock);
    bw().maxPerSecond = 0;
    bw().wwanOnly = false;
    bw().throttledNow = false;
}

void HttpRequest::throttleBandwidthForWWANUsingLimit(unsigned long limit) {
    {
        std::lock_guard<std::mutex> lock(bw().lock);
        bw().wwanOnly = true;
        bw().maxPerSecond = limit;
    }
    registerForNetworkReachabilityNotifications();
    reachabilityChanged();
}

bool HttpRequest::isNetworkReachableViaWWAN() {
    auto r = net::Reachability::reachabilityForInternetConnection();
    return r && r->currentReachabilityStatus() == net::ReachabilityWWAN;
}

void HttpRequest::reachabilityChanged() {
    bool wwan = isNetworkReachableViaWWAN();
    std::lock_guard<std::mutex> lock(bw().lock);
    bw().throttledNow = wwan;
}

// ---- the activity indicator ---------------------------------------------------------

void HttpRequest::noteStreamScheduled(bool scheduled) {
    std::lock_guard<std::mutex> lock(runningLock());
    if (scheduled) {
        ++runningRequestCount;
        if (shouldUpdateIndicator) showNetworkActivityIndicator();
    } else {
        --runningRequestCount;
        if (runningRequestCount == 0 && shouldUpdateIndicator)
            foundation::performOnMainThread([] { hideNetworkActivityIndicatorAfterDelay(); });
    }
}

bool HttpRequest::isNetworkInUse() {
    std::lock_guard<std::mutex> lock(runningLock());
    return runningRequestCount > 0;
}

void HttpRequest::setShouldUpdateNetworkActivityIndicator(bool on) {
    {
        std::lock_guard<std::mutex> lock(runningLock());
        shouldUpdateIndicator = on;
    }
    if (!on) hideNetworkActivityIndicator();
}

void HttpRequest::showNetworkActivityIndicator() { foundation::setNetworkActivityIndicatorVisible(true); }

void HttpRequest::hideNetworkActivityIndicator() { foundation::setNetworkActivityIndicatorVisible(false); }

// One delayed check at a time, moved to 0.5 s after the latest end: a busy
// client does not pile up a timer per request on the main loop.
void HttpRequest::hideNetworkActivityIndicatorAfterDelay() {
    static foundation::TimerRef* pending = new foundation::TimerRef();
    static std::mutex* pendingMutex = new std::mutex();
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
    std::lock_guard<std::mutex> lock(runningLock());
    if (runningRequestCount == 0) hideNetworkActivityIndicator();
}

}  // namespace http
