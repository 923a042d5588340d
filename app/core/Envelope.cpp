#include "app/core/Envelope.h"

#include <cstdio>

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

namespace {

// Every character beyond ASCII as a \uXXXX escape (a pair of them beyond the
// first plane). Such characters occur only inside JSON strings, where the
// escape means the same; the text is then plain ASCII, and no envelope block
// can start with a byte the key cannot encipher.
std::string asciiJson(const std::string& json) {
    std::string out;
    out.reserve(json.size());
    char escape[8];
    auto put = [&](unsigned unit) {
        std::snprintf(escape, sizeof escape, "\\u%04x", unit);
        out += escape;
    };
    for (size_t i = 0; i < json.size();) {
        const unsigned char c = static_cast<unsigned char>(json[i]);
        if (c < 0x80) {
            out.push_back(char(c));
            ++i;
            continue;
        }
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        unsigned code = c & (length == 4 ? 0x07 : length == 3 ? 0x0F : 0x1F);
        for (size_t k = 1; k < length && i + k < json.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(json[i + k]) & 0x3F);
        if (code >= 0x10000) {
            code -= 0x10000;
            put(0xD800 + (code >> 10));
            put(0xDC00 + (code & 0x3FF));
        } else {
            put(code);
        }
        i += length;
    }
    return out;
}

}  // namespace

std::optional<std::string> JsonPayload::text() const {
    foundation::Dictionary object;
    object.set("service", foundation::Value(std::to_string(command_)));
    for (const auto& [key, value] : fields_) {
        if (key != "service") object.set(key, value);
    }
    auto json = JsonWriter().stringWithObject(foundation::Value(std::move(object)));
    if (!json) return std::nullopt;
    return asciiJson(*json);
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
