#include "app/core/Envelope.h"

#include "app/core/Deployment.h"
#include "app/core/rsaUtil.h"
#include "lib/json/JsonParser.h"
#include "lib/json/JsonWriter.h"

TextPayload::TextPayload(int command, std::vector<std::string> fields)
    : command_(command), fields_(std::move(fields)) {}

std::string TextPayload::text() const {
    std::string out = std::to_string(command_) + ";";
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (i) out += ",";
        out += fields_[i];
    }
    return out;
}

JsonPayload::JsonPayload(int command, foundation::Dictionary fields) : command_(command), fields_(std::move(fields)) {}

std::optional<std::string> JsonPayload::text() const {
    foundation::Dictionary object;
    object.set("service", foundation::Value(std::to_string(command_)));
    for (const auto& [key, value] : fields_) {
        if (key != "service") object.set(key, value);
    }
    return JsonWriter().stringWithObject(foundation::Value(std::move(object)));
}

std::string requestAddress(std::string_view cipherText) {
    return Deployment::serverBaseAddress() + "c=" + std::string(cipherText);
}

std::optional<std::string> requestAddressForPayload(std::string_view payload) {
    std::optional<std::string> cipher = rsaUtil::RSA_encrypt(payload);
    if (!cipher) return std::nullopt;
    return requestAddress(*cipher);
}

std::optional<std::string> ReplyEnvelope::content(std::string_view body) {
    std::optional<foundation::Value> parsed = JsonParser().objectWithString(body);
    if (!parsed || !parsed->isDictionary()) return std::nullopt;
    const foundation::Value* content = parsed->get("content");
    if (!parsed->get("safecenter") || !content) return std::nullopt;
    if (const std::string* text = content->asString()) return *text;
    return content->description();
}

std::optional<std::string> ReplyEnvelope::open(std::string_view body) {
    std::optional<std::string> cipher = content(body);
    if (!cipher) return std::nullopt;
    return rsaUtil::RSA_decrypt(*cipher);
}

std::optional<foundation::Value> ReplyEnvelope::json(std::string_view plain) {
    return JsonParser().objectWithString(plain);
}

bool ReplyEnvelope::isRemoteLogOut(std::string_view plain) {
    std::optional<foundation::Value> parsed = json(plain);
    if (!parsed) return false;
    const foundation::Value* result = parsed->get("result");
    return result && !result->isNull() && result->intValue() == 201;
}
