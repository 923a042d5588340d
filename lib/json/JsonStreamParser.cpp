#include "lib/json/JsonStreamParser.h"

#include "platform/foundation/Text.h"

// ---- States -------------------------------------------------------------

#define QUENTA_SHARED(Name)                      \
    const Name& Name::sharedInstance() {         \
        static const Name instance;              \
        return instance;                         \
    }

namespace {
inline bool isValueToken(JsonToken t) {
    return t == JsonTokenArrayStart || t == JsonTokenObjectStart || t == JsonTokenNumber ||
           t == JsonTokenString || t == JsonTokenTrue || t == JsonTokenFalse || t == JsonTokenNull;
}
}  // namespace

QUENTA_SHARED(JsonStreamParserStateStart)
bool JsonStreamParserStateStart::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const {
    return t == JsonTokenArrayStart || t == JsonTokenObjectStart;
}
void JsonStreamParserStateStart::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken t) const {
    switch (t) {
        case JsonTokenArrayStart: parser.setState(JsonStreamParserStateArrayStart::sharedInstance()); break;
        case JsonTokenObjectStart: parser.setState(JsonStreamParserStateObjectStart::sharedInstance()); break;
        case JsonTokenArrayEnd:
        case JsonTokenObjectEnd:
            // The outermost container closed.
            if (parser.supportMultipleDocuments()) parser.setState(JsonStreamParserStateStart::sharedInstance());
            else parser.setState(JsonStreamParserStateComplete::sharedInstance());
            break;
        default: parser.setState(JsonStreamParserStateError::sharedInstance()); break;
    }
}
const char* JsonStreamParserStateStart::name() const { return "before outer-most array or object"; }

QUENTA_SHARED(JsonStreamParserStateComplete)
bool JsonStreamParserStateComplete::parserShouldAcceptToken(JsonStreamParser&, JsonToken) const { return false; }
void JsonStreamParserStateComplete::parserShouldTransitionTo(JsonStreamParser&, JsonToken) const {}
const char* JsonStreamParserStateComplete::name() const { return "after outer-most array or object"; }

QUENTA_SHARED(JsonStreamParserStateError)
bool JsonStreamParserStateError::parserShouldAcceptToken(JsonStreamParser&, JsonToken) const { return false; }
void JsonStreamParserStateError::parserShouldTransitionTo(JsonStreamParser&, JsonToken) const {}
const char* JsonStreamParserStateError::name() const { return "in error"; }

QUENTA_SHARED(JsonStreamParserStateObjectStart)
bool JsonStreamParserStateObjectStart::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const {
    return t == JsonTokenObjectEnd || t == JsonTokenString;
}
void JsonStreamParserStateObjectStart::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken) const {
    parser.setState(JsonStreamParserStateObjectGotKey::sharedInstance());
}
const char* JsonStreamParserStateObjectStart::name() const { return "at beginning of object"; }

QUENTA_SHARED(JsonStreamParserStateObjectGotKey)
bool JsonStreamParserStateObjectGotKey::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const {
    return t == JsonTokenKeyValueSeparator;
}
void JsonStreamParserStateObjectGotKey::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken) const {
    parser.setState(JsonStreamParserStateObjectSeparator::sharedInstance());
}
const char* JsonStreamParserStateObjectGotKey::name() const { return "after object key"; }

QUENTA_SHARED(JsonStreamParserStateObjectSeparator)
bool JsonStreamParserStateObjectSeparator::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const {
    return isValueToken(t);
}
void JsonStreamParserStateObjectSeparator::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken) const {
    parser.setState(JsonStreamParserStateObjectGotValue::sharedInstance());
}
const char* JsonStreamParserStateObjectSeparator::name() const { return "as object value"; }

QUENTA_SHARED(JsonStreamParserStateObjectGotValue)
bool JsonStreamParserStateObjectGotValue::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const {
    return t == JsonTokenObjectEnd || t == JsonTokenValueSeparator;
}
void JsonStreamParserStateObjectGotValue::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken t) const {
    if (t == JsonTokenValueSeparator) parser.setState(JsonStreamParserStateObjectNeedKey::sharedInstance());
}
const char* JsonStreamParserStateObjectGotValue::name() const { return "after object value"; }

QUENTA_SHARED(JsonStreamParserStateObjectNeedKey)
bool JsonStreamParserStateObjectNeedKey::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const {
    return t == JsonTokenString;
}
void JsonStreamParserStateObjectNeedKey::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken) const {
    parser.setState(JsonStreamParserStateObjectGotKey::sharedInstance());
}
const char* JsonStreamParserStateObjectNeedKey::name() const { return "in place of object key"; }

QUENTA_SHARED(JsonStreamParserStateArrayStart)
bool JsonStreamParserStateArrayStart::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const {
    return t == JsonTokenArrayEnd || isValueToken(t);
}
void JsonStreamParserStateArrayStart::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken) const {
    parser.setState(JsonStreamParserStateArrayGotValue::sharedInstance());
}
const char* JsonStreamParserStateArrayStart::name() const { return "at array start"; }

QUENTA_SHARED(JsonStreamParserStateArrayGotValue)
bool JsonStreamParserStateArrayGotValue::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const {
    return t == JsonTokenArrayEnd || t == JsonTokenValueSeparator;
}
void JsonStreamParserStateArrayGotValue::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken t) const {
    if (t == JsonTokenValueSeparator) parser.setState(JsonStreamParserStateArrayNeedValue::sharedInstance());
}
const char* JsonStreamParserStateArrayGotValue::name() const { return "after array value"; }

QUENTA_SHARED(JsonStreamParserStateArrayNeedValue)
bool JsonStreamParserStateArrayNeedValue::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const {
    return isValueToken(t);
}
void JsonStreamParserStateArrayNeedValue::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken) const {
    parser.setState(JsonStreamParserStateArrayGotValue::sharedInstance());
}
const char* JsonStreamParserStateArrayNeedValue::name() const { return "as array value"; }

#undef QUENTA_SHARED

// ---- Parser -------------------------------------------------------------

JsonStreamParser::JsonStreamParser() : state_(&JsonStreamParserStateStart::sharedInstance()) {
    stateStack_.reserve(32);
}

JsonParserStatus JsonStreamParser::failWith(std::string message) {
    error_ = std::move(message);
    state_ = &JsonStreamParserStateError::sharedInstance();
    return JsonParserError;
}

JsonParserStatus JsonStreamParser::parse(const uint8_t* bytes, size_t length) {
    tokeniser_.appendData(bytes, length);
    JsonParserStatus status = parseAppended();
    tokeniser_.keepRest();  // the caller's bytes are only borrowed
    return status;
}

JsonParserStatus JsonStreamParser::parseAppended() {
    const JsonStreamParserState* const errorState = &JsonStreamParserStateError::sharedInstance();
    for (;;) {
        if (state_ == errorState) return JsonParserError;
        JsonToken token = tokeniser_.getToken();
        if (token == JsonTokenError) return failWith(tokeniser_.error());
        if (token == JsonTokenEof) return state_->parserShouldReturn(*this);
        if (!state_->parserShouldAcceptToken(*this, token)) {
            return failWith(foundation::format("Token '%s' not expected %s", jsonTokenName(token), state_->name()));
        }
        switch (token) {
            case JsonTokenArrayStart:
            case JsonTokenObjectStart: {
                // Checked before the push: maxDepth containers may be open at once.
                if (stateStack_.size() >= maxDepth_) {
                    failWith(foundation::format("Input depth exceeds max depth of %u", maxDepth_));
                    break;
                }
                bool array = token == JsonTokenArrayStart;
                if (delegate_) {
                    if (array) delegate_->parserFoundArrayStart(this);
                    else delegate_->parserFoundObjectStart(this);
                }
                stateStack_.push_back(state_);
                if (array) state_ = &JsonStreamParserStateArrayStart::sharedInstance();
                else state_ = &JsonStreamParserStateObjectStart::sharedInstance();
                break;
            }
            case JsonTokenArrayEnd:
            case JsonTokenObjectEnd:
                if (stateStack_.empty()) {  // only reachable when a caller forced the state
                    failWith(foundation::format("Token '%s' not expected %s", jsonTokenName(token), state_->name()));
                    break;
                }
                state_ = stateStack_.back();
                stateStack_.pop_back();
                state_->parserShouldTransitionTo(*this, token);
                if (delegate_) {
                    if (token == JsonTokenArrayEnd) delegate_->parserFoundArrayEnd(this);
                    else delegate_->parserFoundObjectEnd(this);
                }
                break;
            case JsonTokenString:
                if (delegate_) {
                    if (state_->needKey()) delegate_->parserFoundObjectKey(this, tokeniser_.string());
                    else delegate_->parserFoundString(this, tokeniser_.string());
                }
                state_->parserShouldTransitionTo(*this, token);
                break;
            case JsonTokenNumber:
                if (delegate_) delegate_->parserFoundNumber(this, tokeniser_.number());
                state_->parserShouldTransitionTo(*this, token);
                break;
            case JsonTokenTrue:
            case JsonTokenFalse:
                if (delegate_) delegate_->parserFoundBoolean(this, token == JsonTokenTrue);
                state_->parserShouldTransitionTo(*this, token);
                break;
            case JsonTokenNull:
                if (delegate_) delegate_->parserFoundNull(this);
                state_->parserShouldTransitionTo(*this, token);
                break;
            default:  // separators
                state_->parserShouldTransitionTo(*this, token);
                break;
        }
    }
}
