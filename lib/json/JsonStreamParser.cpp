#include "lib/json/JsonStreamParser.h"

#include "platform/foundation/Text.h"

// ---- States -------------------------------------------------------------

namespace {

using Kind = JsonStreamParserState::Kind;

constexpr unsigned bit(JsonToken t) { return 1u << unsigned(t); }
constexpr unsigned kValueTokens = bit(JsonTokenArrayStart) | bit(JsonTokenObjectStart) | bit(JsonTokenNumber) |
                                  bit(JsonTokenString) | bit(JsonTokenTrue) | bit(JsonTokenFalse) | bit(JsonTokenNull);

// The tokens each state accepts, by kind.
constexpr uint16_t kAccepted[] = {
    0,                                                       // Other
    bit(JsonTokenArrayStart) | bit(JsonTokenObjectStart),    // Start
    0,                                                       // Complete
    0,                                                       // Error
    bit(JsonTokenObjectEnd) | bit(JsonTokenString),          // ObjectStart
    bit(JsonTokenKeyValueSeparator),                         // ObjectGotKey
    kValueTokens,                                            // ObjectSeparator
    bit(JsonTokenObjectEnd) | bit(JsonTokenValueSeparator),  // ObjectGotValue
    bit(JsonTokenString),                                    // ObjectNeedKey
    bit(JsonTokenArrayEnd) | kValueTokens,                   // ArrayStart
    bit(JsonTokenArrayEnd) | bit(JsonTokenValueSeparator),   // ArrayGotValue
    kValueTokens,                                            // ArrayNeedValue
};
static_assert(sizeof kAccepted / sizeof kAccepted[0] == size_t(Kind::ArrayNeedValue) + 1);

inline bool accepts(Kind kind, JsonToken t) {
    return t >= 0 && t < 16 && ((kAccepted[size_t(kind)] >> unsigned(t)) & 1u);
}

inline bool needsKey(Kind kind) { return kind == Kind::ObjectStart || kind == Kind::ObjectNeedKey; }

// The state that follows a state of the given kind (other than Start,
// which depends on the parser) after a token; nullptr when it stays.
constexpr const JsonStreamParserState* following(Kind kind, JsonToken t) {
    switch (kind) {
        case Kind::ObjectStart:
        case Kind::ObjectNeedKey:
            return &JsonStreamParserStateObjectGotKey::sharedInstance();
        case Kind::ObjectGotKey:
            return &JsonStreamParserStateObjectSeparator::sharedInstance();
        case Kind::ObjectSeparator:
            return &JsonStreamParserStateObjectGotValue::sharedInstance();
        case Kind::ObjectGotValue:
            return t == JsonTokenValueSeparator ? &JsonStreamParserStateObjectNeedKey::sharedInstance() : nullptr;
        case Kind::ArrayStart:
        case Kind::ArrayNeedValue:
            return &JsonStreamParserStateArrayGotValue::sharedInstance();
        case Kind::ArrayGotValue:
            return t == JsonTokenValueSeparator ? &JsonStreamParserStateArrayNeedValue::sharedInstance() : nullptr;
        default:
            return nullptr;
    }
}

// following() for every kind and token, so the parser's loop looks it up.
struct Transitions {
    const JsonStreamParserState* next[size_t(Kind::ArrayNeedValue) + 1][JsonTokenNull + 1];
};
constexpr Transitions makeTransitions() {
    Transitions table{};
    for (size_t k = 0; k <= size_t(Kind::ArrayNeedValue); ++k) {
        for (int t = 0; t <= JsonTokenNull; ++t) table.next[k][t] = following(Kind(k), JsonToken(t));
    }
    return table;
}

// After the outermost container closed.
void transitionFromStart(JsonStreamParser& parser, JsonToken t) {
    switch (t) {
        case JsonTokenArrayStart:
            parser.setState(JsonStreamParserStateArrayStart::sharedInstance());
            break;
        case JsonTokenObjectStart:
            parser.setState(JsonStreamParserStateObjectStart::sharedInstance());
            break;
        case JsonTokenArrayEnd:
        case JsonTokenObjectEnd:
            // The outermost container closed.
            if (parser.supportMultipleDocuments()) {
                parser.setState(JsonStreamParserStateStart::sharedInstance());
            } else {
                parser.setState(JsonStreamParserStateComplete::sharedInstance());
            }
            break;
        default:
            parser.setState(JsonStreamParserStateError::sharedInstance());
            break;
    }
}

inline void transition(JsonStreamParser& parser, Kind kind, JsonToken t) {
    if (kind == Kind::Start)
        transitionFromStart(parser, t);
    else if (const JsonStreamParserState* next = following(kind, t))
        parser.setState(*next);
}

}  // namespace

#define QUENTA_STATE(Name, K, Text)                                                                          \
    constinit const Name Name::shared_{Kind::K};                                                             \
    bool Name::parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const { return accepts(Kind::K, t); } \
    void Name::parserShouldTransitionTo(JsonStreamParser& parser, JsonToken t) const {                       \
        transition(parser, Kind::K, t);                                                                      \
    }                                                                                                        \
    const char* Name::name() const { return Text; }

QUENTA_STATE(JsonStreamParserStateStart, Start, "before outer-most array or object")
QUENTA_STATE(JsonStreamParserStateComplete, Complete, "after outer-most array or object")
QUENTA_STATE(JsonStreamParserStateError, Error, "in error")
QUENTA_STATE(JsonStreamParserStateObjectStart, ObjectStart, "at beginning of object")
QUENTA_STATE(JsonStreamParserStateObjectGotKey, ObjectGotKey, "after object key")
QUENTA_STATE(JsonStreamParserStateObjectSeparator, ObjectSeparator, "as object value")
QUENTA_STATE(JsonStreamParserStateObjectGotValue, ObjectGotValue, "after object value")
QUENTA_STATE(JsonStreamParserStateObjectNeedKey, ObjectNeedKey, "in place of object key")
QUENTA_STATE(JsonStreamParserStateArrayStart, ArrayStart, "at array start")
QUENTA_STATE(JsonStreamParserStateArrayGotValue, ArrayGotValue, "after array value")
QUENTA_STATE(JsonStreamParserStateArrayNeedValue, ArrayNeedValue, "as array value")

#undef QUENTA_STATE

namespace {
constexpr Transitions kTransitions = makeTransitions();
}  // namespace

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

// The shared states are answered from their kind; any other state object
// through its methods. A delegate may change the state, so the state is
// read again after every delegate call.
JsonParserStatus JsonStreamParser::parseAppended() {
    const JsonStreamParserState* const errorState = &JsonStreamParserStateError::sharedInstance();
    auto advance = [this](JsonToken token) {
        Kind kind = state_->kind();
        if (kind == Kind::Other) {
            state_->parserShouldTransitionTo(*this, token);
        } else if (kind == Kind::Start) {
            transitionFromStart(*this, token);
        } else if (const JsonStreamParserState* next = kTransitions.next[size_t(kind)][token]) {
            state_ = next;
        }
    };
    for (;;) {
        if (state_ == errorState) return JsonParserError;
        JsonToken token = tokeniser_.getToken();
        if (token == JsonTokenError) return failWith(tokeniser_.error());
        if (token == JsonTokenEof) return state_->parserShouldReturn(*this);
        Kind kind = state_->kind();
        if (kind != Kind::Other ? !accepts(kind, token) : !state_->parserShouldAcceptToken(*this, token)) {
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
                    if (array)
                        delegate_->parserFoundArrayStart(this);
                    else
                        delegate_->parserFoundObjectStart(this);
                }
                stateStack_.push_back(state_);
                if (array)
                    state_ = &JsonStreamParserStateArrayStart::sharedInstance();
                else
                    state_ = &JsonStreamParserStateObjectStart::sharedInstance();
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
                advance(token);
                if (delegate_) {
                    if (token == JsonTokenArrayEnd)
                        delegate_->parserFoundArrayEnd(this);
                    else
                        delegate_->parserFoundObjectEnd(this);
                }
                break;
            case JsonTokenString:
                if (delegate_) {
                    bool key = kind != Kind::Other ? needsKey(kind) : state_->needKey();
                    if (key)
                        delegate_->parserFoundObjectKey(this, tokeniser_.string());
                    else
                        delegate_->parserFoundString(this, tokeniser_.string());
                }
                advance(token);
                break;
            case JsonTokenNumber:
                if (delegate_) delegate_->parserFoundNumber(this, tokeniser_.number());
                advance(token);
                break;
            case JsonTokenTrue:
            case JsonTokenFalse:
                if (delegate_) delegate_->parserFoundBoolean(this, token == JsonTokenTrue);
                advance(token);
                break;
            case JsonTokenNull:
                if (delegate_) delegate_->parserFoundNull(this);
                advance(token);
                break;
            default:  // separators
                advance(token);
                break;
        }
    }
}
