#include "app/core/Replies.h"

#include "platform/foundation/Text.h"

namespace {

bool isContainer(const foundation::Value& v) {
    return v.isArray() || v.isDictionary() || v.type() == foundation::Value::Type::Bytes ||
           v.type() == foundation::Value::Type::Date;
}

// "12" and "-3" but not "12a", "" or "1.5".
std::optional<long long> integerText(const std::string& text) {
    if (text.empty()) return std::nullopt;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    for (size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9') return std::nullopt;
    return foundation::textLongLongValue(text);
}

}  // namespace

ReplyReader::ReplyReader(const foundation::Value& value) : value_(value) {
    if (!value.isDictionary()) error_ = "the reply is not an object";
}

void ReplyReader::fail(const char* name, const char* problem) {
    if (error_.empty()) error_ = std::string("member \"") + name + "\" " + problem;
}

const foundation::Value* ReplyReader::member(const char* name, bool required) {
    if (!value_.isDictionary()) return nullptr;
    const foundation::Value* v = value_.get(name);
    if (!v && required) fail(name, "is missing");
    return v;
}

std::optional<std::string> ReplyReader::text(const char* name) {
    const foundation::Value* v = member(name, true);
    if (!v) return std::nullopt;
    if (const std::string* s = v->asString()) return *s;
    if (isContainer(*v)) {
        fail(name, "is not a text");
        return std::nullopt;
    }
    return v->description();
}

std::optional<std::string> ReplyReader::optionalText(const char* name) {
    if (!member(name, false)) return std::nullopt;
    return text(name);
}

std::optional<long long> ReplyReader::integer(const char* name) {
    const foundation::Value* v = member(name, true);
    if (!v) return std::nullopt;
    std::optional<long long> out;
    if (const std::string* s = v->asString())
        out = integerText(*s);
    else if (v->isNumber() && !v->isBool())
        out = integerText(v->description());
    if (!out) fail(name, "is not an integer");
    return out;
}

std::optional<long long> ReplyReader::optionalInteger(const char* name) {
    if (!member(name, false)) return std::nullopt;
    return integer(name);
}

std::optional<bool> ReplyReader::boolean(const char* name) {
    const foundation::Value* v = member(name, true);
    if (!v) return std::nullopt;
    if (v->isBool()) return v->boolValue();
    if (v->isNumber()) {
        const std::string d = v->description();
        if (d == "0" || d == "1") return d == "1";
    }
    fail(name, "is not a boolean");
    return std::nullopt;
}

std::optional<bool> ReplyReader::optionalBoolean(const char* name) {
    if (!member(name, false)) return std::nullopt;
    return boolean(name);
}

std::optional<foundation::Array> ReplyReader::array(const char* name) {
    const foundation::Value* v = member(name, true);
    if (!v) return std::nullopt;
    if (const foundation::Array* a = v->asArray()) return *a;
    fail(name, "is not an array");
    return std::nullopt;
}

std::optional<HandshakeReply> HandshakeReply::fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
    ReplyReader r(value);
    HandshakeReply out;
    out.sid = r.text("sid").value_or("");
    out.question = r.optionalText("question");
    return r.finish(std::move(out), error);
}

long long BindReply::serverSeconds() const { return checktime ? foundation::textLongLongValue(*checktime) / 1000 : 0; }

long long BindReply::code() const { return result ? foundation::textLongLongValue(*result) : 0; }

std::optional<KorvexAccountReply> KorvexAccountReply::fromValue(const foundation::Value& value,
                                                                foundation::ErrorRef* error) {
    ReplyReader r(value);
    KorvexAccountReply out;
    out.result = r.integer("result").value_or(0);
    if (out.result == 202) {
        out.username = r.text("username");
        out.sid = r.integer("sid");
        out.cert = r.optionalBoolean("cert").value_or(false);
    } else if (out.result == 414) {
        out.message = r.text("message");
    }
    return r.finish(std::move(out), error);
}

std::string korvexRefusalNotice(const KorvexAccountReply& reply) {
    if (reply.result == 414) return reply.message.value_or("");
    if (reply.result == 415) return "获取岚付通账号失败，请重试";
    return "您的禾川账号尚未绑定岚付通";
}

std::optional<BindReply> BindReply::fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
    ReplyReader r(value);
    BindReply out;
    out.result = r.optionalText("result");
    out.checktime = r.optionalText("checktime");
    out.bid = r.optionalText("bid");
    out.nick = r.optionalText("nick");
    return r.finish(std::move(out), error);
}
