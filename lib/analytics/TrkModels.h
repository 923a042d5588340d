#pragma once
// The analytics models: an event as the tracker describes it, a stored hit,
// e-commerce items and transactions, the campaign referrer and custom
// variables.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

using TrkText = std::optional<std::string>;

inline constexpr unsigned kTrkMaxCustomVariables = 50;

// The categories that mark page views, transactions and items; any other
// category is an ordinary event.
inline const std::string kTrkPageviewCategory = "__##TRKPAGEVIEW##__";
inline const std::string kTrkTransactionCategory = "__##TRKTRANSACTION##__";
inline const std::string kTrkItemCategory = "__##TRKITEM##__";

class TrkCustomVariable {
public:
    TrkCustomVariable(unsigned index, std::string name, std::string value, int scope)
        : index_(index), name_(std::move(name)), value_(std::move(value)), scope_(scope) {}
    unsigned index() const { return index_; }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    const std::string& value() const { return value_; }
    void setValue(std::string value) { value_ = std::move(value); }
    // 1 visitor, 2 session, 3 page.
    int scope() const { return scope_; }

private:
    unsigned index_;
    std::string name_;
    std::string value_;
    int scope_;
};

class TrkCustomVariableBuffer {
public:
    // False for an index of 0 or above 50; otherwise stores the variable
    // under its index, replacing an earlier one.
    bool addCustomVariable(const TrkCustomVariable& variable);
    const TrkCustomVariable* customVariableAtIndex(unsigned index) const;
    bool hasCustomVariables() const { return !dictionary_.empty(); }
    // Index -> variable, in rising index order.
    const std::map<unsigned, TrkCustomVariable>& dictionary() const { return dictionary_; }

private:
    std::map<unsigned, TrkCustomVariable> dictionary_;
};

class TrkItem {
public:
    TrkItem(std::string orderID, std::string itemSKU, TrkText itemName, TrkText itemCategory, double itemPrice,
            int itemCount)
        : orderID_(std::move(orderID)),
          itemSKU_(std::move(itemSKU)),
          itemName_(std::move(itemName)),
          itemCategory_(std::move(itemCategory)),
          itemPrice_(itemPrice),
          itemCount_(itemCount) {}
    const std::string& orderID() const { return orderID_; }
    const std::string& itemSKU() const { return itemSKU_; }
    const TrkText& itemName() const { return itemName_; }
    const TrkText& itemCategory() const { return itemCategory_; }
    double itemPrice() const { return itemPrice_; }
    int itemCount() const { return itemCount_; }

private:
    std::string orderID_;
    std::string itemSKU_;
    TrkText itemName_;
    TrkText itemCategory_;
    double itemPrice_;
    int itemCount_;
};

class TrkTransaction {
public:
    TrkTransaction(std::string orderID, TrkText storeName, double totalCost, double totalTax, double shippingCost)
        : orderID_(std::move(orderID)),
          storeName_(std::move(storeName)),
          totalCost_(totalCost),
          totalTax_(totalTax),
          shippingCost_(shippingCost) {}
    const std::string& orderID() const { return orderID_; }
    const TrkText& storeName() const { return storeName_; }
    double totalCost() const { return totalCost_; }
    double totalTax() const { return totalTax_; }
    double shippingCost() const { return shippingCost_; }

private:
    std::string orderID_;
    TrkText storeName_;
    double totalCost_;
    double totalTax_;
    double shippingCost_;
};

class TrkReferrer {
public:
    TrkReferrer(std::string referrer, int timestamp, int visit, int index)
        : referrer_(std::move(referrer)), timestamp_(timestamp), visit_(visit), index_(index) {}
    const std::string& referrer() const { return referrer_; }
    int timestamp() const { return timestamp_; }
    int visit() const { return visit_; }
    int index() const { return index_; }

private:
    std::string referrer_;
    int timestamp_;
    int visit_;
    int index_;
};

class TrkHit {
public:
    TrkHit(std::string hitString, uint64_t hitId) : hitString_(std::move(hitString)), hitId_(hitId) {}
    const std::string& hitString() const { return hitString_; }
    void setHitString(std::string s) { hitString_ = std::move(s); }
    uint64_t hitId() const { return hitId_; }

private:
    std::string hitString_;
    uint64_t hitId_;
};

class TrkEvent {
public:
    TrkEvent(TrkText pagePath, TrkText category, TrkText action, TrkText label, int value)
        : TrkEvent(-1, -1, -1, -1, -1, -1, std::move(pagePath), std::move(category), std::move(action),
                   std::move(label), value) {}
    TrkEvent(int64_t eventID, int randomVal, int timestampFirst, int timestampPrevious, int timestampCurrent,
             int visits, TrkText pagePath, TrkText category, TrkText action, TrkText label, int value)
        : eventID_(eventID),
          randomVal_(randomVal),
          timestampFirst_(timestampFirst),
          timestampPrevious_(timestampPrevious),
          timestampCurrent_(timestampCurrent),
          visits_(visits),
          pagePath_(std::move(pagePath)),
          category_(std::move(category)),
          action_(std::move(action)),
          label_(std::move(label)),
          value_(value) {}

    int64_t eventID() const { return eventID_; }
    int visitorId() const { return visitorId_; }
    void setVisitorId(int v) { visitorId_ = v; }
    const TrkText& accountId() const { return accountId_; }
    void setAccountId(TrkText v) { accountId_ = std::move(v); }
    int randomVal() const { return randomVal_; }
    void setRandomVal(int v) { randomVal_ = v; }
    int adHitId() const { return adHitId_; }
    void setAdHitId(int v) { adHitId_ = v; }
    int timestampFirst() const { return timestampFirst_; }
    void setTimestampFirst(int v) { timestampFirst_ = v; }
    int timestampPrevious() const { return timestampPrevious_; }
    void setTimestampPrevious(int v) { timestampPrevious_ = v; }
    int timestampCurrent() const { return timestampCurrent_; }
    void setTimestampCurrent(int v) { timestampCurrent_ = v; }
    int visits() const { return visits_; }
    void setVisits(int v) { visits_ = v; }
    bool anonymizeIp() const { return anonymizeIp_; }
    void setAnonymizeIp(bool v) { anonymizeIp_ = v; }
    bool useServerTime() const { return useServerTime_; }
    void setUseServerTime(bool v) { useServerTime_ = v; }
    const TrkText& pagePath() const { return pagePath_; }
    void setPagePath(TrkText v) { pagePath_ = std::move(v); }
    const TrkText& category() const { return category_; }
    const TrkText& action() const { return action_; }
    const TrkText& label() const { return label_; }
    int value() const { return value_; }
    const std::shared_ptr<TrkCustomVariableBuffer>& customVariableBuffer() const { return customVariableBuffer_; }
    void setCustomVariableBuffer(std::shared_ptr<TrkCustomVariableBuffer> b) { customVariableBuffer_ = std::move(b); }
    const std::optional<TrkItem>& item() const { return item_; }
    void setItem(std::optional<TrkItem> v) { item_ = std::move(v); }
    const std::optional<TrkTransaction>& transaction() const { return transaction_; }
    void setTransaction(std::optional<TrkTransaction> v) { transaction_ = std::move(v); }
    bool isSessionInitialized() const { return timestampFirst_ >= 0; }

private:
    int64_t eventID_;
    int visitorId_ = -1;
    TrkText accountId_;
    int randomVal_;
    int adHitId_ = 0;
    int timestampFirst_;
    int timestampPrevious_;
    int timestampCurrent_;
    int visits_;
    bool anonymizeIp_ = false;
    bool useServerTime_ = false;
    TrkText pagePath_;
    TrkText category_;
    TrkText action_;
    TrkText label_;
    int value_;
    std::shared_ptr<TrkCustomVariableBuffer> customVariableBuffer_;
    std::optional<TrkItem> item_;
    std::optional<TrkTransaction> transaction_;
};
