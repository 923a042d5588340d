#include "lib/json/JsonStreamWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "lib/json/JsonUtf8.h"

using foundation::Value;

// ---- States -------------------------------------------------------------

#define QUENTA_SHARED(Name)              \
    const Name& Name::sharedInstance() { \
        static const Name instance;      \
        return instance;                 \
    }

QUENTA_SHARED(JsonStreamWriterStateStart)
QUENTA_SHARED(JsonStreamWriterStateComplete)
QUENTA_SHARED(JsonStreamWriterStateError)
QUENTA_SHARED(JsonStreamWriterStateObjectStart)
QUENTA_SHARED(JsonStreamWriterStateObjectKey)
QUENTA_SHARED(JsonStreamWriterStateObjectValue)
QUENTA_SHARED(JsonStreamWriterStateArrayStart)
QUENTA_SHARED(JsonStreamWriterStateArrayValue)

#undef QUENTA_SHARED

void JsonStreamWriterState::appendWhitespace(JsonStreamWriter& writer) const {
    writer.appendBytes("\n", 1);
    for (size_t i = 0; i < writer.stateStack().size(); ++i) writer.appendBytes("  ", 2);
}

void JsonStreamWriterStateStart::transitionState(JsonStreamWriter& writer) const {
    writer.setState(JsonStreamWriterStateComplete::sharedInstance());
}

bool JsonStreamWriterStateComplete::isInvalidState(JsonStreamWriter& writer) const {
    writer.setError("Stream is closed");
    return true;
}

// After a failure the output is not JSON; nothing more is written.
bool JsonStreamWriterStateError::isInvalidState(JsonStreamWriter&) const { return true; }

bool JsonStreamWriterStateObjectStart::expectingKey(JsonStreamWriter& writer) const {
    writer.setError("JSON object key must be string");
    return true;
}
void JsonStreamWriterStateObjectStart::transitionState(JsonStreamWriter& writer) const {
    writer.setState(JsonStreamWriterStateObjectValue::sharedInstance());
}

void JsonStreamWriterStateObjectKey::appendSeparator(JsonStreamWriter& writer) const { writer.appendBytes(",", 1); }

void JsonStreamWriterStateObjectValue::appendSeparator(JsonStreamWriter& writer) const { writer.appendBytes(":", 1); }
void JsonStreamWriterStateObjectValue::transitionState(JsonStreamWriter& writer) const {
    writer.setState(JsonStreamWriterStateObjectKey::sharedInstance());
}
void JsonStreamWriterStateObjectValue::appendWhitespace(JsonStreamWriter& writer) const { writer.appendBytes(" ", 1); }

void JsonStreamWriterStateArrayStart::transitionState(JsonStreamWriter& writer) const {
    writer.setState(JsonStreamWriterStateArrayValue::sharedInstance());
}

void JsonStreamWriterStateArrayValue::appendSeparator(JsonStreamWriter& writer) const { writer.appendBytes(",", 1); }

// ---- Helpers ------------------------------------------------------------

namespace {

// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(std::string_view t) {
    size_t i = 0, n = t.size();
    auto digits = [&] {
        size_t from = i;
        while (i < n && t[i] >= '0' && t[i] <= '9') ++i;
        return i > from;
    };
    if (i < n && t[i] == '-') ++i;
    if (i < n && t[i] == '0')
        ++i;
    else if (!(i < n && t[i] >= '1' && t[i] <= '9') || !digits())
        return false;
    if (i < n && t[i] == '.') {
        ++i;
        if (!digits()) return false;
    }
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == n;
}

// What needs attention inside a string: 0 nothing, 1 an escape, 2 a
// multi-byte sequence to check.
struct EscapeClasses {
    uint8_t c[256];
    constexpr EscapeClasses() : c() {
        for (int i = 0; i < 256; ++i) c[i] = i < 0x20 ? 1 : i >= 0x80 ? 2 : 0;
        c[uint8_t('"')] = 1;
        c[uint8_t('\\')] = 1;
    }
};
constexpr EscapeClasses kEscapeClasses;

// Appends the quoted, escaped text; false when it is not valid UTF-8.
bool appendQuoted(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text.data());
    const uint8_t* end = p + text.size();
    out.push_back('"');
    const uint8_t* run = p;
    while (p < end) {
        if (end - p >= 8 && jsonutf8::isPlainAscii8(p)) {
            p += 8;
            continue;
        }
        uint8_t c = *p;
        uint8_t cls = kEscapeClasses.c[c];
        if (cls == 0) {
            ++p;
            continue;
        }
        if (cls == 2) {
            size_t n = 0;
            if (jsonutf8::check(p, end, n) != jsonutf8::Result::Valid) return false;
            p += n;
            continue;
        }
        out.append(reinterpret_cast<const char*>(run), size_t(p - run));
        switch (c) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            default: {
                char u[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
                out.append(u, 6);
            }
        }
        run = ++p;
    }
    out.append(reinterpret_cast<const char*>(run), size_t(p - run));
    out.push_back('"');
    return true;
}

const char* typeName(const Value& value) {
    switch (value.type()) {
        case Value::Type::Bytes:
            return "Bytes";
        case Value::Type::Date:
            return "Date";
        case Value::Type::Null:
            return "Null";
        case Value::Type::String:
            return "String";
        case Value::Type::Array:
            return "Array";
        case Value::Type::Dictionary:
            return "Dictionary";
        default:
            return "Number";
    }
}

}  // namespace

// ---- One pass ------------------------------------------------------------

namespace {

// Compact output straight into one buffer; false at the first thing the
// stream writer would refuse (it is then asked, and says what it was).
struct CompactWriter {
    std::string& out;
    unsigned maxDepth;
    bool sortKeys;
    unsigned depth = 0;
    char number[64];

    bool value(const Value& v) {
        switch (v.type()) {
            case Value::Type::Dictionary:
                return object(*v.asDictionary());
            case Value::Type::Array:
                return array(*v.asArray());
            case Value::Type::String:
                return appendQuoted(out, *v.asString());
            case Value::Type::Bool:
                out.append(v.boolValue() ? "true" : "false");
                return true;
            case Value::Type::Int: {
                auto r = std::to_chars(number, number + sizeof number, v.longLongValue());
                out.append(number, size_t(r.ptr - number));
                return true;
            }
            case Value::Type::UInt: {
                auto r = std::to_chars(number, number + sizeof number, v.unsignedLongLongValue());
                out.append(number, size_t(r.ptr - number));
                return true;
            }
            case Value::Type::Decimal: {
                const std::string& text = v.asDecimal()->text;
                if (!isJsonNumber(text)) return false;
                out.append(text);
                return true;
            }
            case Value::Type::Double: {
                double d = v.doubleValue();
                if (std::isnan(d) || std::isinf(d)) return false;
                auto r = std::to_chars(number, number + sizeof number, d, std::chars_format::general, 17);
                out.append(number, size_t(r.ptr - number));
                return true;
            }
            case Value::Type::Null:
                out.append("null");
                return true;
            default:
                return false;
        }
    }
    bool array(const foundation::Array& items) {
        if (maxDepth != 0 && ++depth > maxDepth) return false;
        out.push_back('[');
        bool first = true;
        for (const Value& v : items) {
            if (!first) out.push_back(',');
            first = false;
            if (!value(v)) return false;
        }
        out.push_back(']');
        --depth;
        return true;
    }
    bool member(const foundation::Dictionary::Entry& e, bool first) {
        if (!first) out.push_back(',');
        if (!appendQuoted(out, e.first)) return false;
        out.push_back(':');
        return value(e.second);
    }
    bool object(const foundation::Dictionary& dict) {
        if (maxDepth != 0 && ++depth > maxDepth) return false;
        out.push_back('{');
        bool first = true;
        if (sortKeys) {
            std::vector<const foundation::Dictionary::Entry*> entries;
            entries.reserve(dict.size());
            for (const auto& e : dict) entries.push_back(&e);
            std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
            for (auto* e : entries) {
                if (!member(*e, first)) return false;
                first = false;
            }
        } else {
            for (const auto& e : dict) {
                if (!member(e, first)) return false;
                first = false;
            }
        }
        out.push_back('}');
        --depth;
        return true;
    }
};

}  // namespace

bool JsonStreamWriter::writeCompact(const Value& value, unsigned maxDepth, bool sortKeys, std::string& out) {
    if (!value.isDictionary() && !value.isArray()) return false;
    CompactWriter writer{out, maxDepth, sortKeys, 0, {}};
    return writer.value(value);
}

// ---- Writer -------------------------------------------------------------

JsonStreamWriter::JsonStreamWriter() : state_(&JsonStreamWriterStateStart::sharedInstance()) {
    stateStack_.reserve(32);
}

bool JsonStreamWriter::fail(std::string message) {
    error_ = std::move(message);
    state_ = &JsonStreamWriterStateError::sharedInstance();
    return false;
}

// The common start of every write step: the state's checks, its separator and
// (human-readable only) its white space.
bool JsonStreamWriter::begin(bool keyAllowed) {
    if (state_->isInvalidState(*this) || (!keyAllowed && state_->expectingKey(*this))) {
        state_ = &JsonStreamWriterStateError::sharedInstance();
        return false;
    }
    state_->appendSeparator(*this);
    return true;
}

bool JsonStreamWriter::open(bool object) {
    if (!begin(false)) return false;
    if (humanReadable_ && !stateStack_.empty()) state_->appendWhitespace(*this);
    stateStack_.push_back(state_);
    if (object)
        state_ = &JsonStreamWriterStateObjectStart::sharedInstance();
    else
        state_ = &JsonStreamWriterStateArrayStart::sharedInstance();
    if (maxDepth_ != 0 && stateStack_.size() > maxDepth_) return fail("Nested too deep");
    appendBytes(object ? "{" : "[", 1);
    return true;
}

bool JsonStreamWriter::close(bool object) {
    if (state_->isInvalidState(*this)) {
        state_ = &JsonStreamWriterStateError::sharedInstance();
        return false;
    }
    // A close must end the container that is open, after a complete member.
    bool fits = object ? (state_ == &JsonStreamWriterStateObjectStart::sharedInstance() ||
                          state_ == &JsonStreamWriterStateObjectKey::sharedInstance())
                       : (state_ == &JsonStreamWriterStateArrayStart::sharedInstance() ||
                          state_ == &JsonStreamWriterStateArrayValue::sharedInstance());
    if (!fits || stateStack_.empty()) {
        return fail(object ? "Close of object not expected here" : "Close of array not expected here");
    }
    const JsonStreamWriterState* closed = state_;
    state_ = stateStack_.back();
    stateStack_.pop_back();
    if (humanReadable_) closed->appendWhitespace(*this);
    appendBytes(object ? "}" : "]", 1);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeObjectOpen() { return open(true); }
bool JsonStreamWriter::writeObjectClose() { return close(true); }
bool JsonStreamWriter::writeArrayOpen() { return open(false); }
bool JsonStreamWriter::writeArrayClose() { return close(false); }

bool JsonStreamWriter::writeNull() {
    if (!begin(false)) return false;
    if (humanReadable_) state_->appendWhitespace(*this);
    appendBytes("null", 4);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeBool(bool x) {
    if (!begin(false)) return false;
    if (humanReadable_) state_->appendWhitespace(*this);
    if (x)
        appendBytes("true", 4);
    else
        appendBytes("false", 5);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeNumber(const Value& number) {
    char buffer[64];
    std::string_view text;
    switch (number.type()) {
        case Value::Type::Bool:
            return writeBool(number.boolValue());
        case Value::Type::Int: {
            auto r = std::to_chars(buffer, buffer + sizeof buffer, number.longLongValue());
            text = std::string_view(buffer, size_t(r.ptr - buffer));
            break;
        }
        case Value::Type::UInt: {
            auto r = std::to_chars(buffer, buffer + sizeof buffer, number.unsignedLongLongValue());
            text = std::string_view(buffer, size_t(r.ptr - buffer));
            break;
        }
        case Value::Type::Decimal:
            text = number.asDecimal()->text;
            // A decimal made by hand may hold any text; only a JSON number may go out.
            if (!isJsonNumber(text)) return fail(std::string(text) + " is not a valid number in JSON");
            break;
        case Value::Type::Double: {
            double d = number.doubleValue();
            if (std::isnan(d)) return fail("NaN is not a valid number in JSON");
            if (std::isinf(d)) {
                return fail(d > 0 ? "+Infinity is not a valid number in JSON"
                                  : "-Infinity is not a valid number in JSON");
            }
            // Same digits as "%.17g".
            auto r = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, 17);
            text = std::string_view(buffer, size_t(r.ptr - buffer));
            break;
        }
        default:
            return fail(std::string("JSON serialisation not supported for ") + typeName(number));
    }
    if (!begin(false)) return false;
    if (humanReadable_) state_->appendWhitespace(*this);
    appendBytes(text);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeString(std::string_view text) {
    scratch_.clear();
    // Text that is not UTF-8 would make the output something other than JSON.
    if (!appendQuoted(scratch_, text)) return fail("Broken Unicode encoding");
    if (!begin(true)) return false;
    if (humanReadable_) state_->appendWhitespace(*this);
    appendBytes(scratch_);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeArray(const foundation::Array& array) {
    if (!writeArrayOpen()) return false;
    for (const Value& v : array) {
        if (!writeValue(v)) return false;
    }
    return writeArrayClose();
}

bool JsonStreamWriter::writeObject(const foundation::Dictionary& dict) {
    if (!writeObjectOpen()) return false;
    if (sortKeys_) {
        std::vector<const foundation::Dictionary::Entry*> entries;
        entries.reserve(dict.size());
        for (const auto& e : dict) entries.push_back(&e);
        std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
        for (auto* e : entries) {
            if (!writeString(e->first) || !writeValue(e->second)) return false;
        }
    } else {
        for (const auto& e : dict) {
            if (!writeString(e.first) || !writeValue(e.second)) return false;
        }
    }
    return writeObjectClose();
}

bool JsonStreamWriter::writeValue(const Value& value) {
    switch (value.type()) {
        case Value::Type::Dictionary:
            return writeObject(*value.asDictionary());
        case Value::Type::Array:
            return writeArray(*value.asArray());
        case Value::Type::String:
            return writeString(*value.asString());
        case Value::Type::Bool:
        case Value::Type::Int:
        case Value::Type::UInt:
        case Value::Type::Decimal:
        case Value::Type::Double:
            return writeNumber(value);
        case Value::Type::Null:
            return writeNull();
        default:
            return fail(std::string("JSON serialisation not supported for ") + typeName(value));
    }
}
