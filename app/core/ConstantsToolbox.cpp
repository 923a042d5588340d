// The pure helpers of the toolbox: reply checks, hour masks, name masking,
// date text.
#include <cstdlib>

#include "app/core/CoreConstants.h"
#include "app/core/Envelope.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/Value.h"

namespace {

// Turns the 24 hour bits by the whole hours of `offsetSeconds`.
int64_t turnMask(int64_t mask, int offsetSeconds) {
    if (offsetSeconds >= -3599 && offsetSeconds <= 3599) return mask;
    const int hours = offsetSeconds / 3600;  // toward zero
    int64_t out = 0;
    for (int i = 0; i < 24; ++i) {
        if (mask & (int64_t(1) << i)) out |= int64_t(1) << ((hours + 24 + i) % 24);
    }
    return out;
}

int harbinMinusLocal() {
    const double now = foundation::clock().now();
    return foundation::TimeZone::harbin().offsetAt(now) - foundation::TimeZone::local().offsetAt(now);
}

std::u16string stars(size_t n) { return std::u16string(n, u'*'); }

}  // namespace

// The reply checks are the envelope's; this name is what the screens call.
std::optional<std::string> CoreConstants::testIfReceivedContentIsValid(const std::string& reply) {
    return ReplyEnvelope::content(reply);
}

int64_t CoreConstants::localLockValueToGMT8(int64_t localMask) { return turnMask(localMask, harbinMinusLocal()); }

int64_t CoreConstants::gmt8ValueToLocalValue(int64_t gmt8Mask) { return turnMask(gmt8Mask, -harbinMinusLocal()); }

bool CoreConstants::testResultIsValid(const std::optional<std::string>& text) {
    return text && !text->empty() && *text != "(null)";
}

std::string CoreConstants::hideKorvexName(const std::string& name) {
    using foundation::fromUtf16;
    using foundation::toUtf16;
    const auto parts = foundation::split(name, "@");
    if (parts.size() == 2) {
        std::u16string local = toUtf16(parts[0]);
        if (local.size() != 1) {
            const size_t keep = local.size() / 2;
            local = local.substr(0, keep) + stars(local.size() - keep);
        }
        std::u16string domain = toUtf16(parts[1]);
        const size_t dot = domain.find(u'.');
        if (dot != std::u16string::npos) {
            domain = stars(dot) + domain.substr(dot);
        } else if (domain.size() >= 2) {
            const size_t hide = domain.size() / 2;
            domain = stars(hide) + domain.substr(hide);
        }
        return fromUtf16(local) + "@" + fromUtf16(domain);
    }
    std::u16string text = toUtf16(name);
    if (text.size() == 11) return fromUtf16(text.substr(0, 3) + u"****" + text.substr(7));
    if (text.size() < 2) return name;
    const size_t keep = text.size() / 2;
    return fromUtf16(text.substr(0, keep) + stars(text.size() - keep));
}

std::string CoreConstants::subStringOfTooLongName(const std::string& name) {
    // Whole characters: a character outside the basic plane is never split.
    std::u32string text;
    const std::u16string units = foundation::toUtf16(name);
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            text.push_back(0x10000 + ((char32_t(c) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            text.push_back(c);
        }
    }
    if (text.size() < 9) return name;
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (i < 6 || i + 2 >= text.size()) foundation::appendUtf8(out, text[i]);
    return out;
}

std::string CoreConstants::longlongDateToString(const std::string& milliseconds) {
    const long long ms = foundation::textLongLongValue(milliseconds);
    if (ms == 0) return "未知";
    // The calendar year ("yyyy"): the week-based year would print 2013 for 2012-12-31.
    return foundation::formatDate(double(ms / 1000), "yyyy-MM-dd HH:mm:ss");
}

std::optional<std::string> CoreConstants::serviceProvider() { return foundation::device().carrierName; }
