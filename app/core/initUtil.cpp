#include "app/core/initUtil.h"

#include <cmath>
#include <utility>
#include <vector>

#include "app/core/CoreConstants.h"
#include "app/core/DBController.h"
#include "app/core/Envelope.h"
#include "app/core/GetSid.h"
#include "app/core/Replies.h"
#include "app/core/StoreKeys.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

namespace {
constexpr double kBindTimeOut = 10.0;
}  // namespace

void initUtil::finish(bool success, bool connectionError) {
    isConnetError = connectionError;
    IsSyncSuccess = success;
    IsFinish = true;
}

void initUtil::syncThreadUtil(const std::string& serial) {
    dkbase_ = DkBase();
    answer_ = Answer();
    IsFinish = false;
    IsSyncSuccess = false;
    isConnetError = false;
    getHttpData(serial);
}

std::string initUtil::payloadText(const Answer& answer, const std::string& serial) {
    const foundation::DeviceInfo d = foundation::device();
    std::string version = d.systemVersion.empty() ? "5.0.0" : d.systemVersion;
    std::string height = d.screenHeight > 0 ? std::to_string(int(d.screenHeight)) : "480";
    std::string width = d.screenWidth > 0 ? std::to_string(int(d.screenWidth)) : "320";
    auto text = [](const std::optional<std::string>& v) { return v ? *v : std::string("(null)"); };
    return "16;" + text(answer.mac) + "," + text(answer.answer) + "," + serial + ",iphone," + version + "," + height +
           "," + width + "," + text(answer.uuid);
}

void initUtil::getHttpData(const std::string& serial) {
    dkbase_.serial = serial;
    GetSid handshake;
    answer_ = handshake.getSid("0");
    foundation::log("answer:", answer_.answer ? *answer_.answer : "(null)");
    if (answer_.answer == std::optional<std::string>(AnswerNetworkError) ||
        answer_.answer == std::optional<std::string>(AnswerRemoteLogout)) {
        finish(false, true);
        return;
    }
    auto address = requestAddressForPayload(payloadText(answer_, serial));
    if (!address) {
        finish(false, true);
        return;
    }
    auto request = http::HttpRequest::requestWithURL(*address);
    request->setTimeOutSeconds(kBindTimeOut);
    // Never sent twice, neither after a time-out nor after a dropped
    // connection (the client resends only on a kept one): the server may
    // have read it and refuses a challenge it has seen (bound there, not here).
    request->setNumberOfTimesToRetryOnTimeout(0);
    request->setShouldAttemptPersistentConnection(false);
    request->startSynchronous();
    // The outcome is handled here, on the thread that waited for it, so the
    // flags are final when this run returns.
    if (request->error()) {
        requestFailed(*request);
    } else {
        requestFinished(*request);
    }
}

void initUtil::requestFinished(http::HttpRequest& request) {
    auto body = request.responseString();
    auto plain = body ? ReplyEnvelope::open(*body) : std::nullopt;
    auto json = plain ? ReplyEnvelope::json(*plain) : std::nullopt;
    foundation::ErrorRef problem;
    auto reply = json ? BindReply::fromValue(*json, &problem) : std::nullopt;
    if (!reply) {
        if (problem) foundation::log("bind reply: ", problem->message);
        finish(false, true);
        return;
    }
    dkbase_.result = reply->result.value_or("(null)");
    if (!reply->accepted()) {
        finish(false, false);
        return;
    }
    dkbase_.server_time = reply->checktime.value_or("(null)");
    dkbase_.bid = reply->bid.value_or("(null)");
    const long long now = foundation::clock().nowSeconds();
    dkbase_.difftime = std::to_string(reply->serverSeconds() - now);
    foundation::log("check_time:", *dkbase_.server_time);
    foundation::log("diff_time:", *dkbase_.difftime);
    finish(saveDkbase(dkbase_, answer_), false);
}

void initUtil::requestFailed(http::HttpRequest& request) {
    if (auto error = request.error()) foundation::log("bind request failed: ", error->message);
    finish(false, true);
}

std::vector<std::pair<std::string, std::string>> initUtil::bindingRows(const DkBase& dkbase, const Answer& answer) {
    auto text = [](const std::optional<std::string>& v) { return v ? *v : std::string("(null)"); };
    auto push = foundation::UserDefaults::standard().objectForKey(StoreKeys::isPushInfo);
    // The rows of a complete binding, in the order the launch routing and the
    // screens expect to find them.
    return {
        {StoreKeys::bid, text(dkbase.bid)},
        {StoreKeys::mac, text(answer.mac)},
        {StoreKeys::sessionkey, "null"},
        {StoreKeys::uuid, text(answer.uuid)},
        {StoreKeys::diffTime, text(dkbase.difftime)},
        {StoreKeys::suggestTime, "123"},
        {StoreKeys::passward, "null"},
        {StoreKeys::username, "null"},
        {StoreKeys::userType, "null"},
        {StoreKeys::phoneNo, "未绑定"},
        {StoreKeys::imageUrl, "null"},
        {StoreKeys::safePhone, "null"},
        {StoreKeys::read_index, "3.0.0"},
        {StoreKeys::safe_password, "0"},
        {StoreKeys::safe_time, "null"},
        {StoreKeys::faild_count, "0"},
        {StoreKeys::jiuxing, "1"},
        {StoreKeys::remote_version, foundation::device().appVersion},
        {StoreKeys::otpFast, "0"},
        {StoreKeys::keyLogin, "1"},
        {StoreKeys::isPushInfo, push ? push->description() : "(null)"},
        {StoreKeys::account_lock, "0"},
        {StoreKeys::state, "0"},
        {StoreKeys::adversion, "0"},
        {StoreKeys::temp1, "123"},
        {StoreKeys::temp2, "123"},
        {StoreKeys::temp3, "123"},
        {StoreKeys::temp4, "123"},
        {StoreKeys::temp5, "123"},
    };
}

bool initUtil::writeBindingStore(const std::vector<std::pair<std::string, std::string>>& rows) {
    if (!DBController::replaceAllRows(rows)) {
        foundation::log("数据库创建失败！");
        return false;
    }
    foundation::log("数据插入成功！");
    return true;
}

bool initUtil::saveDkbase(const DkBase& dkbase, const Answer& answer) {
    // The server accepted a new binding: a store left from an older one is
    // replaced, never merged with it, and kept until the new one is whole.
    if (!writeBindingStore(bindingRows(dkbase, answer))) return false;
    // A new binding starts the rating prompt's counting afresh.
    CoreConstants::resetAllRateUserDefault();
    return true;
}
