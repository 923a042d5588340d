#include "lib/analytics/TrkTracker.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"

namespace {

constexpr size_t kMaxCustomVariableLength = 64;

bool notStarted(TrkError* error) { return setTrkError(error, kTrkTrackerErrorDomain, kTrkNotStartedError); }
bool invalidInput(TrkError* error) { return setTrkError(error, kTrkTrackerErrorDomain, kTrkInvalidInputError); }

}  // namespace

// ---- private state

TrkTrackerPrivate::TrkTrackerPrivate(TrkDataDispatcherDelegate* dispatcherDelegate, TrkTrackerDelegate* trackerDelegate,
                                     const std::string& product, const std::string& version, bool anonymizeIp,
                                     unsigned sampleRate, bool dryRun, bool debug)
    : delegate(trackerDelegate) {
    hitBuilder = std::make_shared<TrkHitBuilder>();
    hitStore = std::make_unique<TrkPersistentHitStore>(hitBuilder);
    hitStore->setAnonymizeIp(anonymizeIp);
    hitStore->setSampleRate(sampleRate);
    hitStore->setDebug(debug);
    dataDispatcher = TrkDataDispatcher::create(dispatcherDelegate, product, version, &foundation::RunLoop::main(),
                                               &TrkTracker::classLock());
    dataDispatcher->setDryRun(dryRun);
    dataDispatcher->setDebug(debug);
    hitIdGenerator = std::make_shared<TrkAdHitIdGenerator>();
}

TrkTrackerPrivate::~TrkTrackerPrivate() {
    if (dispatchTaskTimer) dispatchTaskTimer->invalidate();
    // No callback of a running dispatch or a pending back-off reaches a
    // tracker that was stopped.
    dataDispatcher->shutdown();
    dataDispatcher.reset();
    hitStore.reset();
    TrkAdNetInfo::sharedTrkAdNetInfo().setAdHitId(0);
}

// ---- singleton

std::recursive_mutex& TrkTracker::classLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex();
    return *lock;
}

TrkTracker& TrkTracker::sharedTracker() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    static TrkTracker* tracker = new TrkTracker();  // lives for the process
    static const bool registered =
        (foundation::registerResetter("analytics.tracker", foundation::ResetPhase::SharedObject,
                                      [] { tracker->stopTracker(); }),
         true);
    (void)registered;
    return *tracker;
}

TrkTracker::TrkTracker() {
    TrkCollectorAddress collector = trkCollectorAddress();
    setSampleRate(100);
    setProduct("AnalyticsKit");
    setVersion("1.5.1");
    setDestinationHost(collector.host);
    setDestinationPort(collector.port);
    setDestinationPathPrefix(collector.pathPrefix);
}

// ---- lifecycle

void TrkTracker::startTrackerWithAccountID(const std::string& accountID, int dispatchPeriod,
                                           TrkTrackerDelegate* delegate) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) {
        private_ = std::make_unique<TrkTrackerPrivate>(this, delegate, product_, version_, anonymizeIp_, sampleRate_,
                                                       dryRun_, debug_);
        std::lock_guard<std::mutex> destinationLock(destinationMutex_);
        TrkDataDispatcher& dispatcher = *private_->dataDispatcher;
        if (destinationHost_) {
            dispatcher.setDestinationHost(*destinationHost_);
            destinationHost_.reset();
        }
        if (destinationPort_ != 0) {
            dispatcher.setDestinationPort(destinationPort_);
            destinationPort_ = 0;
        }
        if (destinationPathPrefix_) {
            dispatcher.setDestinationPathPrefix(*destinationPathPrefix_);
            destinationPathPrefix_.reset();
        }
    }
    private_->hitStore->startNewSession();
    private_->hitBuilder->setAccountIDs(foundation::split(accountID, ","));
    private_->delegate = delegate;
    private_->dispatchPeriod = dispatchPeriod;
    if (dispatchPeriod > 0) startTimer();
}

void TrkTracker::stopTracker() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) return;
    stopTimer();
    private_.reset();
}

// ---- timer

void TrkTracker::startTimer() {
    stopTimer();
    if (!private_ || private_->dispatchPeriod <= 0) return;
    // Always on the main run loop, whichever thread asks: a worker thread's
    // loop may never run.
    private_->dispatchTaskTimer = foundation::RunLoop::main().addTimer(
        private_->dispatchPeriod, true, [this](foundation::Timer&) { dispatch(); }, foundation::kDefaultMode);
}

void TrkTracker::stopTimer() {
    if (!private_) return;
    if (private_->dispatchTaskTimer) private_->dispatchTaskTimer->invalidate();
    private_->dispatchTaskTimer.reset();
}

void TrkTracker::resetPowerSaveMode() {
    if (private_ && private_->powerSaveMode && private_->dispatchPeriod > 0) {
        startTimer();
        private_->powerSaveMode = false;
    }
}

// ---- recording

bool TrkTracker::validateEvent(const TrkEvent& event, TrkError* error) {
    if (!event.category()) return invalidInput(error);
    if (*event.category() == kTrkPageviewCategory) {
        if (!event.pagePath()) return invalidInput(error);
    } else if (!event.action()) {
        return invalidInput(error);
    }
    unsigned before = private_->eventsAccepted++;
    if (before < kTrkMaxEventsPerSession) return true;
    return setTrkError(error, kTrkTrackerErrorDomain, kTrkEventsPerSessionLimitError);
}

std::optional<TrkEvent> TrkTracker::createEventWithPagePath(const TrkText& pagePath, const TrkText& category,
                                                            const TrkText& action, const TrkText& label, int value,
                                                            TrkError* error) {
    std::optional<TrkEvent> event(std::in_place, pagePath, category, action, label, value);
    if (!validateEvent(*event, error)) {
        event.reset();
    } else {
        event->setUseServerTime(private_->useServerTime);
        if (category != kTrkTransactionCategory && category != kTrkItemCategory) {
            event->setCustomVariableBuffer(std::move(private_->customVars));
            private_->customVars.reset();
            event->setAdHitId(private_->hitIdGenerator ? private_->hitIdGenerator->adHitId() : 0);
            if (!private_->hitStore->persistEvent(*event, error)) event.reset();
        }
    }
    resetPowerSaveMode();
    return event;
}

bool TrkTracker::trackPageview(const TrkText& pageURL, TrkError* error) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) return notStarted(error);
    if (!pageURL) return invalidInput(error);
    std::string path = *pageURL;
    if (path.empty() || path[0] != '/') path = "/" + path;
    private_->lastPagePath = path;
    if (TrkOptOut::isOptOutAppPresent()) return true;
    return createEventWithPagePath(path, kTrkPageviewCategory, std::nullopt, std::nullopt, 0, error).has_value();
}

bool TrkTracker::trackEvent(const TrkText& category, const TrkText& action, const TrkText& label, int value,
                            TrkError* error) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) return notStarted(error);
    if (TrkOptOut::isOptOutAppPresent()) return true;
    return createEventWithPagePath(private_->lastPagePath, category, action, label, value, error).has_value();
}

bool TrkTracker::setCustomVariableAtIndex(unsigned index, const TrkText& name, const TrkText& value, int scope,
                                          TrkError* error) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) return notStarted(error);
    if (index < 1 || index > kTrkMaxCustomVariables || !name ||
        foundation::utf16Length(*name) > kMaxCustomVariableLength || !value ||
        foundation::utf16Length(*value) > kMaxCustomVariableLength || scope < 1 || scope > 3) {
        return invalidInput(error);
    }
    if (!private_->customVars) private_->customVars = std::make_shared<TrkCustomVariableBuffer>();
    return private_->customVars->addCustomVariable(TrkCustomVariable(index, *name, *value, scope));
}

bool TrkTracker::setCustomVariableAtIndex(unsigned index, const TrkText& name, const TrkText& value, TrkError* error) {
    return setCustomVariableAtIndex(index, name, value, 3, error);
}

TrkText TrkTracker::getVisitorCustomVarAtIndex(unsigned index) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) {
        foundation::log("Error: getVisitorCustomVarAtIndex called when tracker is not started");
        return std::nullopt;
    }
    if (index < 1 || index > kTrkMaxCustomVariables) {
        foundation::log("Error: index must be between 1 and kTrkMaxCustomVariables");
        return std::nullopt;
    }
    return private_->hitStore->visitorCustomVarAtIndex(index);
}

bool TrkTracker::addTransaction(const TrkText& orderID, double totalPrice, const TrkText& storeName, double totalTax,
                                double shippingCost, TrkError* error) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) return notStarted(error);
    if (!orderID || orderID->empty()) return invalidInput(error);
    private_->transactionQueue.insert_or_assign(
        *orderID, TrkTransaction(*orderID, storeName, totalPrice, totalTax, shippingCost));
    return true;
}

bool TrkTracker::addItem(const TrkText& orderID, const TrkText& itemSKU, double itemPrice, int itemCount,
                         const TrkText& itemName, const TrkText& itemCategory, TrkError* error) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) return notStarted(error);
    if (!orderID || orderID->empty() || !itemSKU || itemSKU->empty()) return invalidInput(error);
    if (!private_->transactionQueue.count(*orderID)) {
        private_->transactionQueue.insert_or_assign(*orderID, TrkTransaction(*orderID, std::nullopt, 0, 0, 0));
    }
    private_->itemQueue[*orderID].insert_or_assign(
        *itemSKU, TrkItem(*orderID, *itemSKU, itemName, itemCategory, itemPrice, itemCount));
    return true;
}

bool TrkTracker::trackTransactions(TrkError* error) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) return notStarted(error);
    bool ok = true;
    if (!TrkOptOut::isOptOutAppPresent()) {
        for (const auto& [orderID, transaction] : private_->transactionQueue) {
            std::optional<TrkEvent> event =
                createEventWithPagePath(std::nullopt, kTrkTransactionCategory, std::string(), std::string(), -1, error);
            if (!event) {
                ok = false;
                break;
            }
            event->setTransaction(transaction);
            if (!private_->hitStore->persistEvent(*event, error)) {
                ok = false;
                break;
            }
            auto items = private_->itemQueue.find(orderID);
            if (items == private_->itemQueue.end()) continue;
            for (const auto& [sku, item] : items->second) {
                std::optional<TrkEvent> itemEvent =
                    createEventWithPagePath(std::nullopt, kTrkItemCategory, std::string(), std::string(), -1, error);
                if (!itemEvent) {
                    ok = false;
                    break;
                }
                itemEvent->setItem(item);
                if (!private_->hitStore->persistEvent(*itemEvent, error)) {
                    ok = false;
                    break;
                }
            }
            if (!ok) break;
        }
    }
    private_->transactionQueue.clear();
    private_->itemQueue.clear();
    return ok;
}

bool TrkTracker::clearTransactions(TrkError* error) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) return notStarted(error);
    private_->transactionQueue.clear();
    private_->itemQueue.clear();
    return true;
}

bool TrkTracker::setReferrer(const TrkText& referrer, TrkError* error) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_ || !private_->hitStore) return notStarted(error);
    return private_->hitStore->setReferrer(referrer, error);
}

// ---- dispatch

bool TrkTracker::dispatch() {
    if (debug_) foundation::log("dispatch called");
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return dispatch(false, 0);
}

bool TrkTracker::dispatchSynchronous(double timeoutSeconds) {
    if (debug_) foundation::log("synchronous dispatch called");
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return dispatch(true, timeoutSeconds);
}

bool TrkTracker::dispatch(bool synchronous, double timeoutSeconds) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) {
        if (debug_) foundation::log("...while tracker is not active");
        return false;
    }
    if (private_->hitsBeingDispatched != 0 || private_->dataDispatcher->isDispatching()) {
        if (debug_) foundation::log("...dispatcher was busy");
        return false;
    }
    private_->hitsBeingDispatched = private_->hitStore->storedHits();
    if (private_->hitsBeingDispatched == 0) {
        if (debug_) foundation::log("...nothing to dispatch");
        stopTimer();
        private_->powerSaveMode = true;
        return false;
    }
    private_->hitsDispatched = 0;
    std::vector<TrkHit> hits = private_->hitStore->peekHits(-1);
    if (debug_) foundation::log("dispatching ", hits.size(), " hits");
    if (synchronous) {
        auto dispatcher = private_->dataDispatcher;
        bool result = dispatcher->dispatchHitsSynchronously(hits, timeoutSeconds);
        if (private_) private_->hitsBeingDispatched = 0;
        return result;
    }
    auto dispatcher = private_->dataDispatcher;
    dispatcher->dispatchHits(hits);
    return true;
}

bool TrkTracker::isOwnDispatcher(const TrkDataDispatcher& dispatcher) const {
    return private_ && private_->dataDispatcher.get() == &dispatcher;
}

void TrkTracker::dataDispatcherDispatched(TrkDataDispatcher& dispatcher, const TrkHit& hit) {
    TrkTrackerDelegate* delegate = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(classLock());
        if (!isOwnDispatcher(dispatcher)) return;
        private_->hitStore->deleteHit(hit.hitId());
        ++private_->hitsDispatched;
        delegate = private_->delegate;
    }
    if (delegate) delegate->hitDispatched(hit.hitString());
}

void TrkTracker::dataDispatcherDidComplete(TrkDataDispatcher& dispatcher) {
    TrkTrackerDelegate* delegate = nullptr;
    unsigned dispatched = 0;
    unsigned failed = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(classLock());
        if (!isOwnDispatcher(dispatcher)) return;
        unsigned being = private_->hitsBeingDispatched;
        dispatched = private_->hitsDispatched;
        failed = being > dispatched ? being - dispatched : 0;
        private_->hitsBeingDispatched = 0;
        delegate = private_->delegate;
    }
    if (delegate) delegate->trackerDispatchDidComplete(*this, dispatched, failed);
}

// ---- settings

int TrkTracker::dispatchPeriod() const {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return private_ ? private_->dispatchPeriod : 0;
}

void TrkTracker::setDispatchPeriod(int period) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_) return;
    if (private_->dispatchPeriod > 0) stopTimer();
    private_->dispatchPeriod = period;
    if (period > 0) startTimer();
}

void TrkTracker::setDebug(bool v) {
    debug_ = v;
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (private_) {
        private_->hitStore->setDebug(v);
        private_->dataDispatcher->setDebug(v);
    }
}

void TrkTracker::setDryRun(bool v) {
    dryRun_ = v;
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (private_) private_->dataDispatcher->setDryRun(v);
}

void TrkTracker::setAnonymizeIp(bool v) {
    anonymizeIp_ = v;
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (private_) private_->hitStore->setAnonymizeIp(v);
}

void TrkTracker::setSampleRate(unsigned rate) {
    if (rate > 100) {
        foundation::log(
            foundation::format("Invalid sample rate: %d (should be between 0 and 100)", static_cast<int>(rate)));
        return;
    }
    sampleRate_ = rate;
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (private_) private_->hitStore->setSampleRate(rate);
}

void TrkTracker::setUseServerTime(bool v) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (private_) private_->useServerTime = v;
}

TrkText TrkTracker::destinationHost() {
    std::lock_guard<std::mutex> lock(destinationMutex_);
    if (private_) return private_->dataDispatcher->destinationHost();
    return destinationHost_;
}

void TrkTracker::setDestinationHost(const TrkText& host) {
    std::lock_guard<std::mutex> lock(destinationMutex_);
    if (private_) {
        private_->dataDispatcher->setDestinationHost(host.value_or(""));
    } else {
        destinationHost_ = host;
    }
}

int TrkTracker::destinationPort() {
    std::lock_guard<std::mutex> lock(destinationMutex_);
    if (private_) return private_->dataDispatcher->destinationPort();
    return destinationPort_;
}

void TrkTracker::setDestinationPort(int port) {
    std::lock_guard<std::mutex> lock(destinationMutex_);
    if (private_) {
        private_->dataDispatcher->setDestinationPort(port);
    } else {
        destinationPort_ = port;
    }
}

TrkText TrkTracker::destinationPathPrefix() {
    std::lock_guard<std::mutex> lock(destinationMutex_);
    if (private_) return private_->dataDispatcher->destinationPathPrefix();
    return destinationPathPrefix_;
}

void TrkTracker::setDestinationPathPrefix(const TrkText& prefix) {
    std::lock_guard<std::mutex> lock(destinationMutex_);
    if (private_) {
        private_->dataDispatcher->setDestinationPathPrefix(prefix.value_or(""));
    } else {
        destinationPathPrefix_ = prefix;
    }
}

void TrkTracker::setHitIdGenerator(std::shared_ptr<TrkAdHitIdGenerator> generator) {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (private_) private_->hitIdGenerator = std::move(generator);
}

std::shared_ptr<TrkDataDispatcher> TrkTracker::getDispatcher() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return private_ ? private_->dataDispatcher : nullptr;
}

TrkPersistentHitStore* TrkTracker::persistentHitStore() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return private_ ? private_->hitStore.get() : nullptr;
}

TrkText TrkTracker::accountIDForAdNet() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    if (!private_ || private_->hitBuilder->accountIDs().empty()) return std::nullopt;
    return private_->hitBuilder->accountIDs().front();
}

TrkText TrkTracker::sessionIDForAds() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return private_ ? private_->hitStore->sessionIDForAds() : std::nullopt;
}

TrkText TrkTracker::visitorIDForAds() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return private_ ? private_->hitStore->visitorIDForAds() : std::nullopt;
}

TrkText TrkTracker::lastPagePath() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return private_ ? private_->lastPagePath : std::nullopt;
}

bool TrkTracker::powerSaveMode() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return private_ && private_->powerSaveMode;
}

bool TrkTracker::isDispatchTimerRunning() {
    std::lock_guard<std::recursive_mutex> lock(classLock());
    return private_ && private_->dispatchTaskTimer && private_->dispatchTaskTimer->isValid();
}
