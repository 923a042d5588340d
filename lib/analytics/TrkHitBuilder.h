#pragma once
// Turns an event into hit texts: the path and query of a request to the
// analytics collector, one text per account id.

#include <optional>
#include <string>
#include <vector>

#include "lib/analytics/TrkModels.h"

class TrkHitBuilder {
public:
    const std::vector<std::string>& accountIDs() const { return accountIDs_; }
    void setAccountIDs(std::vector<std::string> ids) { accountIDs_ = std::move(ids); }

    // One hit text per account id, in the order of accountIDs().
    std::vector<std::string> constructHitRequestPath(TrkEvent& event, const std::optional<TrkReferrer>& referrer);

    std::string constructPageviewRequestPath(const TrkEvent& event);
    std::string constructEventRequestPath(const TrkEvent& event);
    std::string constructTransactionRequestPath(const TrkEvent& event);
    std::string constructItemRequestPath(const TrkEvent& event);
    // The escaped "utmcc" value.
    std::string getEscapedCookieString(const TrkEvent& event, const std::optional<TrkReferrer>& referrer);

    std::string customVariableParamsForEvent(const TrkEvent& event);
    std::string x10ProjectForProjectNumber(int project, const TrkCustomVariableBuffer& variables);
    static std::string x10Escape(const std::string& text);

    static std::string encodeString(const TrkText& text);
    static std::string encodeDouble(double value);
    static std::string encodeInt(int value);

private:
    std::vector<std::string> accountIDs_;
};
