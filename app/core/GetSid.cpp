#include "app/core/GetSid.h"

#include "app/core/DBController.h"
#include "app/core/DeviceIdentity.h"
#include "app/core/Envelope.h"
#include "app/core/Replies.h"
#include "app/core/StoreKeys.h"
#include "app/core/rsaUtil.h"
#include "lib/http/HttpRequest.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace {

constexpr double kHandshakeTimeOut = 6.0;

std::string describeValue(const std::map<std::string, std::string>& record, const char* key) {
    auto it = record.find(key);
    return it == record.end() ? "(null)" : it->second;
}

}  // namespace

Answer GetSid::getSid(const std::string& mode) {
    sendMac(mode);
    return answer_;
}

std::string GetSid::payloadText(const Answer& answer, const std::string& mode) {
    const auto& who = mode == "0" ? answer.mac : answer.uuid;
    return "0;" + (who ? *who : std::string("(null)")) + "," + mode;
}

std::optional<std::string> GetSid::proof(const std::string& question, const std::string& hmacText) {
    std::string out;
    for (const std::string& piece : foundation::split(question, ",")) {
        // A piece reads as its leading number, an empty piece as 0.
        const long long position = foundation::textLongLongValue(piece);
        if (position < 0 || position >= (long long)hmacText.size()) return std::nullopt;
        out.push_back(hmacText[size_t(position)]);
    }
    return out;
}

void GetSid::readReply(const std::string& plain, Answer& answer) {
    if (ReplyEnvelope::isRemoteLogOut(plain)) {
        answer.answer = AnswerRemoteLogout;
        return;
    }
    auto json = ReplyEnvelope::json(plain);
    foundation::ErrorRef problem;
    auto reply = json ? HandshakeReply::fromValue(*json, &problem) : std::nullopt;
    if (!reply) {
        if (problem) foundation::log("handshake: ", problem->message);
        answer.answer = AnswerNetworkError;
        return;
    }
    answer.sid = reply->sid;
    if (reply->sid == "null") {
        answer.answer = AnswerRemoteLogout;
        return;
    }
    if (!reply->question) {
        answer.answer = AnswerNetworkError;
        return;
    }
    answer.longAnswer = reply->question;
    const std::string key = answer.mac.value_or("(null)");
    auto p = proof(*reply->question, HachMac::hachMac(key, reply->sid));
    answer.answer = p ? *p : std::string(AnswerNetworkError);
    if (!p) foundation::log("handshake: a position of the question lies outside the proof");
}

void GetSid::sendMac(const std::string& mode) {
    answer_ = Answer();
    if (mode == "0") {
        answer_.mac = IdentifierAddition::firstBindIdentifier();
        answer_.uuid = CreateUUID::createUUID();
    } else {
        std::map<std::string, std::string> record;
        if (auto db = DBController::openExisting()) {
            if (auto rows = db->querryTable()) record = std::move(*rows);
            db->closeDatabase();
        }
        answer_.uuid = describeValue(record, StoreKeys::uuid);
        answer_.mac = describeValue(record, StoreKeys::mac);
    }

    auto address = requestAddressForPayload(payloadText(answer_, mode));
    if (!address) {
        answer_.answer = AnswerNetworkError;
        return;
    }
    auto request = http::HttpRequest::requestWithURL(*address);
    request->setTimeOutSeconds(kHandshakeTimeOut);
    request->startSynchronous();
    if (request->error()) {
        answer_.answer = AnswerNetworkError;
        return;
    }
    auto body = request->responseString();
    auto plain = body ? ReplyEnvelope::open(*body) : std::nullopt;
    if (!plain) {
        // No envelope, or content that does not decipher.
        answer_.answer = AnswerNetworkError;
        return;
    }
    readReply(*plain, answer_);
}
