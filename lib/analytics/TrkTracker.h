#pragma once
// The one object through which the app records analytics: page views,
// events, custom variables, e-commerce transactions and items, campaign
// referrers; and the dispatch of the stored hits to the collector.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "lib/analytics/TrkDataDispatcher.h"
#include "lib/analytics/TrkError.h"
#include "lib/analytics/TrkHitBuilder.h"
#include "lib/analytics/TrkModels.h"
#include "lib/analytics/TrkPersistentHitStore.h"
#include "lib/analytics/TrkUtils.h"
#include "platform/foundation/RunLoop.h"

inline constexpr unsigned kTrkMaxEventsPerSession = 500;

class TrkTracker;

class TrkTrackerDelegate {
public:
    virtual ~TrkTrackerDelegate() = default;
    // The collector confirmed this hit.
    virtual void hitDispatched(const std::string& hitString) { (void)hitString; }
    // A dispatch ended: hits confirmed, and hits stored at its start that were not.
    virtual void trackerDispatchDidComplete(TrkTracker& tracker, unsigned eventsDispatched,
                                            unsigned eventsFailedDispatch) {
        (void)tracker, (void)eventsDispatched, (void)eventsFailedDispatch;
    }
};

// What exists only while the tracker is started.
class TrkTrackerPrivate {
public:
    TrkTrackerPrivate(TrkDataDispatcherDelegate* dispatcherDelegate, TrkTrackerDelegate* trackerDelegate,
                      const std::string& product, const std::string& version, bool anonymizeIp, unsigned sampleRate,
                      bool dryRun, bool debug);
    ~TrkTrackerPrivate();

    int dispatchPeriod = -1;
    foundation::TimerRef dispatchTaskTimer;
    TrkTrackerDelegate* delegate = nullptr;
    unsigned eventsAccepted = 0;
    unsigned hitsDispatched = 0;
    unsigned hitsBeingDispatched = 0;
    std::shared_ptr<TrkHitBuilder> hitBuilder;
    std::unique_ptr<TrkPersistentHitStore> hitStore;
    std::shared_ptr<TrkDataDispatcher> dataDispatcher;
    std::shared_ptr<TrkCustomVariableBuffer> customVars;
    bool powerSaveMode = false;
    bool useServerTime = false;
    std::map<std::string, TrkTransaction> transactionQueue;
    std::map<std::string, std::map<std::string, TrkItem>> itemQueue;
    std::shared_ptr<TrkAdHitIdGenerator> hitIdGenerator;
    TrkText lastPagePath;
};

class TrkTracker : public TrkDataDispatcherDelegate {
public:
    static TrkTracker& sharedTracker();
    TrkTracker(const TrkTracker&) = delete;
    TrkTracker& operator=(const TrkTracker&) = delete;

    // accountID may hold several ids separated by ","; every event becomes one
    // hit per id. A positive period starts the repeating dispatch timer on the
    // main run loop.
    void startTrackerWithAccountID(const std::string& accountID, int dispatchPeriod, TrkTrackerDelegate* delegate);
    void stopTracker();

    bool trackPageview(const TrkText& pageURL, TrkError* error);
    bool trackEvent(const TrkText& category, const TrkText& action, const TrkText& label, int value, TrkError* error);
    bool setCustomVariableAtIndex(unsigned index, const TrkText& name, const TrkText& value, int scope,
                                  TrkError* error);
    bool setCustomVariableAtIndex(unsigned index, const TrkText& name, const TrkText& value, TrkError* error);
    TrkText getVisitorCustomVarAtIndex(unsigned index);
    bool addTransaction(const TrkText& orderID, double totalPrice, const TrkText& storeName, double totalTax,
                        double shippingCost, TrkError* error);
    bool addItem(const TrkText& orderID, const TrkText& itemSKU, double itemPrice, int itemCount,
                 const TrkText& itemName, const TrkText& itemCategory, TrkError* error);
    bool trackTransactions(TrkError* error);
    bool clearTransactions(TrkError* error);
    bool setReferrer(const TrkText& referrer, TrkError* error);

    // Sends the stored hits now; false when not started, busy or nothing is stored.
    bool dispatch();
    bool dispatchSynchronous(double timeoutSeconds);
    bool dispatch(bool synchronous, double timeoutSeconds);

    int dispatchPeriod() const;
    void setDispatchPeriod(int period);
    bool debug() const { return debug_; }
    void setDebug(bool v);
    bool dryRun() const { return dryRun_; }
    void setDryRun(bool v);
    bool anonymizeIp() const { return anonymizeIp_; }
    void setAnonymizeIp(bool v);
    unsigned sampleRate() const { return sampleRate_; }
    void setSampleRate(unsigned rate);
    void setUseServerTime(bool v);
    const std::string& product() const { return product_; }
    void setProduct(std::string v) { product_ = std::move(v); }
    const std::string& version() const { return version_; }
    void setVersion(std::string v) { version_ = std::move(v); }

    TrkText destinationHost();
    void setDestinationHost(const TrkText& host);
    int destinationPort();
    void setDestinationPort(int port);
    TrkText destinationPathPrefix();
    void setDestinationPathPrefix(const TrkText& prefix);

    void setHitIdGenerator(std::shared_ptr<TrkAdHitIdGenerator> generator);
    std::shared_ptr<TrkDataDispatcher> getDispatcher();
    TrkPersistentHitStore* persistentHitStore();
    TrkText accountIDForAdNet();
    TrkText sessionIDForAds();
    TrkText visitorIDForAds();

    // Read-outs of the running state (nothing when not started).
    TrkText lastPagePath();
    bool powerSaveMode();
    bool isDispatchTimerRunning();

    // Dispatcher callbacks.
    void dataDispatcherDispatched(TrkDataDispatcher& dispatcher, const TrkHit& hit) override;
    void dataDispatcherDidComplete(TrkDataDispatcher& dispatcher) override;

    // The class lock: a recursive lock every recording call holds.
    static std::recursive_mutex& classLock();

private:
    TrkTracker();
    std::optional<TrkEvent> createEventWithPagePath(const TrkText& pagePath, const TrkText& category,
                                                    const TrkText& action, const TrkText& label, int value,
                                                    TrkError* error);
    bool validateEvent(const TrkEvent& event, TrkError* error);
    void startTimer();
    void stopTimer();
    void resetPowerSaveMode();
    bool isOwnDispatcher(const TrkDataDispatcher& dispatcher) const;

    std::unique_ptr<TrkTrackerPrivate> private_;
    bool debug_ = false;
    bool dryRun_ = false;
    bool anonymizeIp_ = false;
    unsigned sampleRate_ = 100;
    std::string product_;
    std::string version_;
    std::mutex destinationMutex_;
    TrkText destinationHost_;
    int destinationPort_ = 0;
    TrkText destinationPathPrefix_;
};
