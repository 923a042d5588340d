#include "app/screens/hub/HubModel.h"

#include <algorithm>
#include <cmath>

#include "app/core/BindingState.h"
#include "app/core/Replies.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Text.h"

namespace hub {

namespace {

OptionalText row(const std::map<std::string, std::string>& rows, const char* key) {
    auto it = rows.find(key);
    return it == rows.end() ? std::string("(null)") : it->second;
}

bool is(const OptionalText& text, const char* value) { return text && *text == value; }

}  // namespace

MainPageInfo accountRecord(const std::map<std::string, std::string>& rows) {
    MainPageInfo info;
    info.state = row(rows, StoreKeys::state);
    info.uuid = row(rows, StoreKeys::uuid);
    info.bid = row(rows, StoreKeys::bid);
    info.difftime = row(rows, StoreKeys::diffTime);
    info.sessionkey = row(rows, StoreKeys::sessionkey);
    info.userName = row(rows, StoreKeys::username);
    info.phone = row(rows, StoreKeys::phoneNo);
    info.photourl = row(rows, StoreKeys::imageUrl);
    info.isOtpFast = row(rows, StoreKeys::otpFast);
    info.isJiuFast = row(rows, StoreKeys::jiuxing);
    info.iskeylogin = row(rows, StoreKeys::keyLogin);
    info.ispassword = row(rows, StoreKeys::passward);
    info.ispush = row(rows, StoreKeys::isPushInfo);
    info.isremoteDelete = row(rows, StoreKeys::safePhone);
    info.isLockAccount = row(rows, StoreKeys::account_lock);
    return info;
}

bool showsCode(const MainPageInfo& info, long long boundState) {
    return is(info.isOtpFast, "1") && binding::showsLiveCode(binding::BindingState(boundState));
}

std::vector<std::string> iconNames(const MainPageInfo& info, long long accountLock, long long boundState) {
    std::vector<std::string> names;
    if (is(info.ispush, "1")) names.push_back("push_icon");
    if (!is(info.ispassword, "null")) names.push_back("key_login");
    if (is(info.iskeylogin, "1")) names.push_back("yijian");
    if (!is(info.isremoteDelete, "null")) names.push_back("yuancheng");
    if (accountLock > 0) names.push_back("zzsd");
    if (binding::paymentVerificationOn(binding::BindingState(boundState))) names.push_back("pay_icon");
    return names;
}

std::string displayName(const OptionalText& name) {
    if (!Constants::testResultIsValid(name)) return kNoName;
    return Constants::subStringOfTooLongName(*name);
}

std::string displayPhone(const OptionalText& phone) {
    if (!Constants::testResultIsValid(phone) || foundation::utf16Length(*phone) < 11) return kNoPhone;
    return *phone;
}

bool isLocked(long long mask, int64_t nowSeconds, int gmtOffset) {
    if (mask <= 0) return false;
    const int64_t local = nowSeconds + gmtOffset;
    // Whole hours, counted from the local midnight (floor for instants before 1970).
    int64_t hour = local / 3600;
    if (local < 0 && local % 3600 != 0) --hour;
    hour %= 24;
    if (hour < 0) hour += 24;
    return (mask >> hour) & 1;
}

double lockRecheckDelay(int64_t nowSeconds) { return (3600.0 - double(nowSeconds % 3600)) + 60.0; }

LockAlignment alignLock(long long stored, long long serverLocal, int64_t enabledSeconds,
                        std::optional<int64_t> allDay) {
    LockAlignment out;
    if (stored == kAllDayMask && (!allDay || *allDay != enabledSeconds)) out.allDaySince = enabledSeconds;
    if (stored == serverLocal) return out;
    if (stored >= 1 && serverLocal == 0) {
        out.change = LockAlignment::Cleared;
        out.allDaySince.reset();
    } else if (stored == 0 && serverLocal >= 1) {
        out.change = LockAlignment::Stored;
        out.mask = serverLocal;
        out.allDaySince = enabledSeconds;
    } else {
        out.change = LockAlignment::Conflict;
    }
    return out;
}

std::vector<VerifyRequest> pendingRequests(const PollReply& reply, const IgnoredRequests& ignored) {
    std::vector<VerifyRequest> list;
    if (!reply.success) return list;
    for (const VerifyRequest& request : reply.results)
        if (!ignored.count({request.time, request.business})) list.push_back(request);
    return list;
}

int countdown(const VerifyRequest& request, double nowSeconds, long long difftime) {
    const long long madeAt = foundation::textLongLongValue(request.time) / 1000;
    const double left = std::trunc((double(kVerifyValidity) - (nowSeconds + double(difftime))) + double(madeAt));
    return int(std::clamp(left, -1.0e9, double(kVerifyValidity)));
}

double serverTimeNow(double nowSeconds, long long difftime, std::optional<double> serverDate, double serverDateSeenAt) {
    const double corrected = nowSeconds + double(difftime);
    if (!serverDate) return corrected;
    // The date has whole seconds; it has aged since it was read.
    const double server = *serverDate + (nowSeconds - serverDateSeenAt);
    return std::abs(server - corrected) > double(kVerifyValidity) ? server : corrected;
}

std::string verifyMessage(const VerifyRequest& request, int secondsLeft) {
    return "时间：" + Constants::longlongDateToString(request.time) + "\n地点：" + request.location + "\n操作：" +
           request.business + "\n剩余有效时间：" + std::to_string(secondsLeft) + "秒";
}

std::string HandBack::label() const {
    switch (kind) {
        case Failed:
            return "inKorvexGetTokenFailed";
        case Send:
            return "inKorvexGetTokenSucces";
        case Interrupted:
            break;
    }
    return "inKorvexGetTokenInterrupted";
}

HandBack readHandBack(const OptionalText& token) {
    HandBack out;
    const std::string prefix = kKorvexErrorPrefix;
    if (token && token->starts_with(prefix)) {
        // A failure report; one without a text says the operation was cut short.
        out.kind = HandBack::Failed;
        out.text = token->size() > prefix.size() ? token->substr(prefix.size()) : kKorvexInterrupted;
        return out;
    }
    if (Constants::testResultIsValid(token)) {
        out.kind = HandBack::Send;
        out.text = *token;
        return out;
    }
    out.kind = HandBack::Interrupted;
    out.text = kKorvexInterrupted;
    return out;
}

long long diffFromChecktime(long long checktimeMs, double nowSeconds) {
    return checktimeMs / 1000 - static_cast<long long>(nowSeconds);
}

bool storeKorvexBinding(const std::string& bid, const std::string& diffTime) {
    return Constants::upDateDBSetValues(
        {{StoreKeys::bid, bid}, {StoreKeys::diffTime, diffTime}, {StoreKeys::otpFast, "1"}});
}

std::optional<AccountReply> AccountReply::fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
    ReplyReader r(value);
    AccountReply reply;
    reply.otp = r.optionalBoolean("otp");
    reply.image = r.optionalText("image");
    reply.phone = r.optionalText("phone");
    reply.name = r.optionalText("name");
    reply.duration = r.optionalInteger("duration");
    reply.enabletime = r.optionalInteger("enabletime");
    return r.finish(reply, error);
}

std::optional<BadgeReply> BadgeReply::fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
    ReplyReader r(value);
    BadgeReply reply;
    reply.count = r.integer("count").value_or(0);
    return r.finish(reply, error);
}

std::optional<AdvertReply> AdvertReply::fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
    ReplyReader r(value);
    AdvertReply reply;
    reply.success = r.optionalBoolean("isSuccess").value_or(false);
    if (reply.success) {
        reply.version = r.text("version");
        reply.url = r.text("url");
    }
    return r.finish(reply, error);
}

std::optional<KorvexReply> KorvexReply::fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
    ReplyReader r(value);
    KorvexReply reply;
    reply.result = r.integer("result").value_or(0);
    reply.message = r.optionalText("message");
    if (reply.result == 202) {
        reply.bid = r.text("bid");
        reply.checktime = r.integer("checktime");
    }
    return r.finish(reply, error);
}

std::optional<std::string> lastStoreVersion(const std::string& replyText) {
    std::optional<foundation::Value> reply = JsonParser().objectWithString(replyText);
    if (!reply || !reply->isDictionary()) return std::nullopt;
    std::string version;
    if (const foundation::Value* results = reply->get("results"); results && results->asArray())
        for (const foundation::Value& entry : *results->asArray())
            if (const foundation::Value* v = entry.get("version")) version = v->description();
    return version;
}

}  // namespace hub
