#pragma once
// The event-driven JSON parser: tokens from JsonTokeniser drive a state
// machine (one shared, immutable object per state) that tells its delegate
// what it found. It accepts its input in pieces.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lib/json/JsonError.h"
#include "lib/json/JsonTokeniser.h"
#include "platform/foundation/Value.h"

class JsonStreamParser;

enum JsonParserStatus : int {
    JsonParserComplete = 0,
    JsonParserWaitingForData = 1,
    JsonParserError = 2,
};

class JsonStreamParserDelegate {
public:
    virtual ~JsonStreamParserDelegate() = default;
    virtual void parserFoundObjectStart(JsonStreamParser*) {}
    virtual void parserFoundObjectKey(JsonStreamParser*, std::string_view) {}
    virtual void parserFoundObjectEnd(JsonStreamParser*) {}
    virtual void parserFoundArrayStart(JsonStreamParser*) {}
    virtual void parserFoundArrayEnd(JsonStreamParser*) {}
    virtual void parserFoundBoolean(JsonStreamParser*, bool) {}
    virtual void parserFoundNull(JsonStreamParser*) {}
    // The number may be moved from.
    virtual void parserFoundNumber(JsonStreamParser*, foundation::Value&) {}
    virtual void parserFoundString(JsonStreamParser*, std::string_view) {}
};

class JsonStreamParserState {
public:
    JsonStreamParserState() = default;
    virtual ~JsonStreamParserState() = default;
    virtual bool parserShouldAcceptToken(JsonStreamParser&, JsonToken) const { return false; }
    virtual void parserShouldTransitionTo(JsonStreamParser&, JsonToken) const {}
    virtual JsonParserStatus parserShouldReturn(JsonStreamParser&) const { return JsonParserWaitingForData; }
    virtual bool needKey() const { return false; }
    virtual const char* name() const { return "<aaiie!>"; }

    // Which of the parser's own states this is. Only their shared instances
    // carry it, so the parser answers for them without calls; any other
    // state object is asked through the methods above.
    enum class Kind : uint8_t {
        Other,
        Start,
        Complete,
        Error,
        ObjectStart,
        ObjectGotKey,
        ObjectSeparator,
        ObjectGotValue,
        ObjectNeedKey,
        ArrayStart,
        ArrayGotValue,
        ArrayNeedValue,
    };
    Kind kind() const { return kind_; }

protected:
    explicit constexpr JsonStreamParserState(Kind kind) : kind_(kind) {}

private:
    Kind kind_ = Kind::Other;
};

// Every state answers its shared instance, the tokens it accepts, the state
// it moves to after a token, and its name for error messages.
#define QUENTA_JSON_PARSER_STATE(Name, Extra)                                       \
    class Name : public JsonStreamParserState {                                     \
    public:                                                                         \
        Name() = default;                                                           \
        static constexpr const Name& sharedInstance() { return shared_; }           \
        bool parserShouldAcceptToken(JsonStreamParser&, JsonToken) const override;  \
        void parserShouldTransitionTo(JsonStreamParser&, JsonToken) const override; \
        const char* name() const override;                                          \
        Extra                                                                       \
                                                                                    \
            private : explicit constexpr Name(JsonStreamParserState::Kind kind)     \
            : JsonStreamParserState(kind) {}                                        \
        static const Name shared_;                                                  \
    };

#define QUENTA_JSON_RETURNS(status) \
    JsonParserStatus parserShouldReturn(JsonStreamParser&) const override { return status; }
#define QUENTA_JSON_NEEDS_KEY \
    bool needKey() const override { return true; }

QUENTA_JSON_PARSER_STATE(JsonStreamParserStateStart, )
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateComplete, QUENTA_JSON_RETURNS(JsonParserComplete))
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateError, QUENTA_JSON_RETURNS(JsonParserError))
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateObjectStart, QUENTA_JSON_NEEDS_KEY)
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateObjectGotKey, )
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateObjectSeparator, )
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateObjectGotValue, )
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateObjectNeedKey, QUENTA_JSON_NEEDS_KEY)
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateArrayStart, )
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateArrayGotValue, )
QUENTA_JSON_PARSER_STATE(JsonStreamParserStateArrayNeedValue, )

#undef QUENTA_JSON_PARSER_STATE
#undef QUENTA_JSON_RETURNS
#undef QUENTA_JSON_NEEDS_KEY

class JsonStreamParser {
public:
    JsonStreamParser();

    // Appends the data and parses as far as it goes.
    JsonParserStatus parse(const uint8_t* bytes, size_t length);
    JsonParserStatus parse(std::string_view data) {
        return parse(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    }

    // How many containers may be open at once (32 by default, at most
    // kJsonDeepestNesting, as for JsonParser: a larger depth is lowered).
    unsigned maxDepth() const { return maxDepth_; }
    void setMaxDepth(unsigned depth) { maxDepth_ = depth < kJsonDeepestNesting ? depth : kJsonDeepestNesting; }
    bool supportMultipleDocuments() const { return supportMultipleDocuments_; }
    void setSupportMultipleDocuments(bool on) { supportMultipleDocuments_ = on; }
    // Not owned.
    JsonStreamParserDelegate* delegate() const { return delegate_; }
    void setDelegate(JsonStreamParserDelegate* delegate) { delegate_ = delegate; }

    const JsonStreamParserState& state() const { return *state_; }
    void setState(const JsonStreamParserState& state) { state_ = &state; }
    const std::vector<const JsonStreamParserState*>& stateStack() const { return stateStack_; }
    const JsonTokeniser& tokeniser() const { return tokeniser_; }

    const std::string& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

private:
    JsonParserStatus failWith(std::string message);
    JsonParserStatus parseAppended();

    unsigned maxDepth_ = 32;
    bool supportMultipleDocuments_ = false;
    JsonStreamParserDelegate* delegate_ = nullptr;
    JsonTokeniser tokeniser_;
    const JsonStreamParserState* state_;
    std::vector<const JsonStreamParserState*> stateStack_;
    std::string error_;
};
