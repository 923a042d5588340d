#pragma once
// The event-driven JSON writer: each write step asks the current state (one
// shared, immutable object per state) for the separator and white space
// before the item and the state after it, and hands the bytes to its
// delegate. Output is compact unless humanReadable is set.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"

class JsonStreamWriter;

class JsonStreamWriterDelegate {
public:
    virtual ~JsonStreamWriterDelegate() = default;
    virtual void writerAppendBytes(JsonStreamWriter*, const char*, size_t) {}
};

class JsonStreamWriterState {
public:
    virtual ~JsonStreamWriterState() = default;
    // True (with the writer's error set) when nothing may be written.
    virtual bool isInvalidState(JsonStreamWriter&) const { return false; }
    // True (with the writer's error set) when only a key may come next.
    virtual bool expectingKey(JsonStreamWriter&) const { return false; }
    virtual void appendSeparator(JsonStreamWriter&) const {}
    virtual void transitionState(JsonStreamWriter&) const {}
    // A line feed and two spaces for every open container.
    virtual void appendWhitespace(JsonStreamWriter& writer) const;
};

#define QUENTA_JSON_WRITER_STATE(Name, Base, Body) \
    class Name : public Base {                     \
    public:                                        \
        static const Name& sharedInstance();       \
        Body                                       \
    };

QUENTA_JSON_WRITER_STATE(JsonStreamWriterStateStart, JsonStreamWriterState,
                         void transitionState(JsonStreamWriter&) const override;)
QUENTA_JSON_WRITER_STATE(JsonStreamWriterStateComplete, JsonStreamWriterState,
                         bool isInvalidState(JsonStreamWriter&) const override;)
QUENTA_JSON_WRITER_STATE(JsonStreamWriterStateError, JsonStreamWriterState,
                         bool isInvalidState(JsonStreamWriter&) const override;)
QUENTA_JSON_WRITER_STATE(JsonStreamWriterStateObjectStart, JsonStreamWriterState,
                         bool expectingKey(JsonStreamWriter&) const override;
                         void transitionState(JsonStreamWriter&) const override;)
QUENTA_JSON_WRITER_STATE(JsonStreamWriterStateObjectKey, JsonStreamWriterStateObjectStart,
                         void appendSeparator(JsonStreamWriter&) const override;)
QUENTA_JSON_WRITER_STATE(JsonStreamWriterStateObjectValue, JsonStreamWriterState,
                         void appendSeparator(JsonStreamWriter&) const override;
                         void transitionState(JsonStreamWriter&) const override;
                         void appendWhitespace(JsonStreamWriter&) const override;)
QUENTA_JSON_WRITER_STATE(JsonStreamWriterStateArrayStart, JsonStreamWriterState,
                         void transitionState(JsonStreamWriter&) const override;)
QUENTA_JSON_WRITER_STATE(JsonStreamWriterStateArrayValue, JsonStreamWriterState,
                         void appendSeparator(JsonStreamWriter&) const override;)

#undef QUENTA_JSON_WRITER_STATE

class JsonStreamWriter {
public:
    JsonStreamWriter();

    unsigned maxDepth() const { return maxDepth_; }
    void setMaxDepth(unsigned depth) { maxDepth_ = depth; }
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool on) { sortKeys_ = on; }
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool on) { humanReadable_ = on; }
    // Not owned.
    JsonStreamWriterDelegate* delegate() const { return delegate_; }
    void setDelegate(JsonStreamWriterDelegate* delegate) { delegate_ = delegate; }

    // Each answers true on success, false with error() set.
    bool writeObject(const foundation::Dictionary& dict);
    bool writeArray(const foundation::Array& array);
    bool writeObjectOpen();
    bool writeObjectClose();
    bool writeArrayOpen();
    bool writeArrayClose();
    bool writeNull();
    bool writeBool(bool x);
    // A boolean, integer, unsigned, decimal or double value.
    bool writeNumber(const foundation::Value& number);
    bool writeString(std::string_view text);
    bool writeValue(const foundation::Value& value);

    // The whole dictionary or array, compact, appended to out in one pass;
    // false (out then holds a part) wherever writing it through the states
    // would fail, so the caller can do that to learn why.
    static bool writeCompact(const foundation::Value& value, unsigned maxDepth, bool sortKeys, std::string& out);

    const JsonStreamWriterState& state() const { return *state_; }
    void setState(const JsonStreamWriterState& state) { state_ = &state; }
    const std::vector<const JsonStreamWriterState*>& stateStack() const { return stateStack_; }
    const std::string& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

    void appendBytes(const char* bytes, size_t length) {
        if (delegate_) delegate_->writerAppendBytes(this, bytes, length);
    }
    void appendBytes(std::string_view text) { appendBytes(text.data(), text.size()); }

private:
    bool fail(std::string message);
    bool begin(bool keyAllowed);
    bool open(bool object);
    bool close(bool object);

    unsigned maxDepth_ = 32;
    bool sortKeys_ = false;
    bool humanReadable_ = false;
    JsonStreamWriterDelegate* delegate_ = nullptr;
    const JsonStreamWriterState* state_;
    std::vector<const JsonStreamWriterState*> stateStack_;
    std::string error_;
    std::string scratch_;
};

// Collects the written bytes.
class JsonStreamWriterAccumulator : public JsonStreamWriterDelegate {
public:
    JsonStreamWriterAccumulator() { data_.reserve(8096); }
    void writerAppendBytes(JsonStreamWriter*, const char* bytes, size_t length) override {
        data_.append(bytes, length);
    }
    const std::string& data() const { return data_; }
    std::string& data() { return data_; }

private:
    std::string data_;
};
