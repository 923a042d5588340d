#include "lib/analytics/TrkHitBuilder.h"

#include "lib/analytics/TrkUtils.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Text.h"

namespace {

const char* const kPath = "/__utm.gif";
const char* const kVersion = "4.9.1mi";

// A missing text formats as "(null)", as the hit grammar always did.
std::string orNull(const TrkText& text) { return text ? *text : std::string("(null)"); }

std::string escaped(const TrkText& text) { return orNull(TrkUtils::urlEncodeString(text)); }

int screenWidth() { return static_cast<int>(foundation::device().screenWidth); }
int screenHeight() { return static_cast<int>(foundation::device().screenHeight); }

}  // namespace

std::vector<std::string> TrkHitBuilder::constructHitRequestPath(TrkEvent& event,
                                                                const std::optional<TrkReferrer>& referrer) {
    std::vector<std::string> hits;
    std::string cookie = getEscapedCookieString(event, referrer);
    for (const std::string& account : accountIDs_) {
        event.setAccountId(account);
        std::string typed;
        const TrkText& category = event.category();
        if (category == kTrkPageviewCategory) {
            typed = constructPageviewRequestPath(event);
        } else if (category == kTrkTransactionCategory) {
            typed = constructTransactionRequestPath(event);
        } else if (category == kTrkItemCategory) {
            typed = constructItemRequestPath(event);
        } else {
            typed = constructEventRequestPath(event);
        }
        std::string hit = typed + "&utmcc=" + cookie + (event.anonymizeIp() ? "&aip=1" : "");
        if (!event.useServerTime()) {
            hit += foundation::format("&utmht=%lld", static_cast<long long>(TrkUtils::currentTimeMillis()));
        }
        hits.push_back(std::move(hit));
    }
    return hits;
}

std::string TrkHitBuilder::constructPageviewRequestPath(const TrkEvent& event) {
    std::string out = foundation::format(
        "%s?utmwv=%s&utmn=%ld&utmcs=UTF-8&utmsr=%dx%d&utmsc=24-bit&utmul=%s-%s&utmp=%s&utmac=%s", kPath, kVersion,
        static_cast<long>(event.randomVal()), screenWidth(), screenHeight(), TrkUtils::systemLanguage().c_str(),
        TrkUtils::systemCountry().c_str(), escaped(event.pagePath()).c_str(), orNull(event.accountId()).c_str());
    if (event.adHitId() != 0) out += foundation::format("&utmhid=%d", event.adHitId());
    std::string variables = customVariableParamsForEvent(event);
    if (!variables.empty()) out += "&utme=" + variables;
    return out;
}

std::string TrkHitBuilder::constructEventRequestPath(const TrkEvent& event) {
    std::string text = "5(" + orNull(event.category()) + "*" + orNull(event.action());
    text += event.label() ? "*" + *event.label() + ")" : std::string(")");
    if (event.value() >= 0) text += foundation::format("(%d)", event.value());
    text += customVariableParamsForEvent(event);
    std::string out = foundation::format(
        "%s?utmwv=%s&utmn=%ld&utmt=event&utme=%s&utmcs=UTF-8&utmsr=%dx%d&utmsc=24-bit&utmul=%s-%s&utmac=%s", kPath,
        kVersion, static_cast<long>(event.randomVal()), TrkUtils::urlEncode(text).c_str(), screenWidth(),
        screenHeight(), TrkUtils::systemLanguage().c_str(), TrkUtils::systemCountry().c_str(),
        orNull(event.accountId()).c_str());
    if (event.pagePath()) out += "&utmp=" + TrkUtils::urlEncode(*event.pagePath());
    if (event.adHitId() != 0) out += foundation::format("&utmhid=%d", event.adHitId());
    return out;
}

std::string TrkHitBuilder::constructTransactionRequestPath(const TrkEvent& event) {
    if (!event.transaction()) return "";
    const TrkTransaction& t = *event.transaction();
    return foundation::format(
        "%s?utmwv=%s&utmn=%ld&utmt=tran&utmtid=%s&utmtst=%s&utmtto=%s&utmttx=%s&utmtsp=%s&utmtci=&utmtrg=&utmtco=&"
        "utmac=%s",
        kPath, kVersion, static_cast<long>(event.randomVal()), encodeString(t.orderID()).c_str(),
        encodeString(t.storeName()).c_str(), encodeDouble(t.totalCost()).c_str(), encodeDouble(t.totalTax()).c_str(),
        encodeDouble(t.shippingCost()).c_str(), orNull(event.accountId()).c_str());
}

std::string TrkHitBuilder::constructItemRequestPath(const TrkEvent& event) {
    if (!event.item()) return "";
    const TrkItem& i = *event.item();
    return foundation::format(
        "%s?utmwv=%s&utmn=%ld&utmt=item&utmtid=%s&utmipc=%s&utmipn=%s&utmiva=%s&utmipr=%s&utmiqt=%s&utmac=%s", kPath,
        kVersion, static_cast<long>(event.randomVal()), encodeString(i.orderID()).c_str(),
        encodeString(i.itemSKU()).c_str(), encodeString(i.itemName()).c_str(), encodeString(i.itemCategory()).c_str(),
        encodeDouble(i.itemPrice()).c_str(), encodeInt(i.itemCount()).c_str(), orNull(event.accountId()).c_str());
}

std::string TrkHitBuilder::getEscapedCookieString(const TrkEvent& event, const std::optional<TrkReferrer>& referrer) {
    std::string cookie = foundation::format("__utma=%d.%d.%d.%d.%d.%d;", 1, event.visitorId(), event.timestampFirst(),
                                            event.timestampPrevious(), event.timestampCurrent(), event.visits());
    if (referrer) {
        cookie +=
            foundation::format("+__utmz=%d.%d.%d.%d.", 1, referrer->timestamp(), referrer->visit(), referrer->index()) +
            referrer->referrer() + ";";
    }
    return TrkUtils::urlEncode(cookie);
}

std::string TrkHitBuilder::customVariableParamsForEvent(const TrkEvent& event) {
    const auto& buffer = event.customVariableBuffer();
    if (!buffer || !buffer->hasCustomVariables()) return "";
    return x10ProjectForProjectNumber(8, *buffer) + x10ProjectForProjectNumber(9, *buffer) +
           x10ProjectForProjectNumber(11, *buffer);
}

std::string TrkHitBuilder::x10ProjectForProjectNumber(int project, const TrkCustomVariableBuffer& variables) {
    std::string out = std::to_string(project) + "(";
    bool first = true;
    for (const auto& [index, variable] : variables.dictionary()) {
        if (index == 0 || index > kTrkMaxCustomVariables) continue;
        if (!first) out += "*";
        first = false;
        out += std::to_string(index) + "!";
        if (project == 8) {
            out += x10Escape(TrkUtils::urlEncode(variable.name()));
        } else if (project == 9) {
            out += x10Escape(TrkUtils::urlEncode(variable.value()));
        } else {
            out += std::to_string(variable.scope());
        }
    }
    return out + ")";
}

std::string TrkHitBuilder::x10Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\'':
                out += "'0";
                break;
            case ')':
                out += "'1";
                break;
            case '*':
                out += "'2";
                break;
            case '!':
                out += "'3";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string TrkHitBuilder::encodeString(const TrkText& text) {
    if (!text) return "";
    return TrkUtils::urlEncode(*text);
}

std::string TrkHitBuilder::encodeDouble(double value) {
    if (value == 0) return "";
    return foundation::format("%lf", value);
}

std::string TrkHitBuilder::encodeInt(int value) {
    if (value == 0) return "";
    return foundation::format("%d", value);
}
