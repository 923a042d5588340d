#pragma once
// Builds dictionaries and arrays from the stream parser's events and hands
// every finished top-level container to its delegate.

#include <string>
#include <vector>

#include "lib/json/JsonStreamParser.h"
#include "platform/foundation/Value.h"

class JsonStreamParserAdapterDelegate {
public:
    virtual ~JsonStreamParserAdapterDelegate() = default;
    virtual void parserFoundArray(JsonStreamParser*, foundation::Array&&) {}
    virtual void parserFoundObject(JsonStreamParser*, foundation::Dictionary&&) {}
};

class JsonStreamParserAdapter : public JsonStreamParserDelegate {
public:
    enum ContainerType { None = 0, Array = 1, Object = 2 };

    JsonStreamParserAdapter();

    // Not owned.
    JsonStreamParserAdapterDelegate* delegate() const { return delegate_; }
    void setDelegate(JsonStreamParserAdapterDelegate* delegate) { delegate_ = delegate; }
    // Containers this many levels from the top are not built; what they hold
    // is delivered on its own (levelsToSkip 1 turns a top-level array of
    // objects into a series of objects).
    unsigned levelsToSkip() const { return levelsToSkip_; }
    void setLevelsToSkip(unsigned levels) { levelsToSkip_ = levels; }

    void parserFoundObjectStart(JsonStreamParser*) override;
    void parserFoundObjectKey(JsonStreamParser*, std::string_view key) override;
    void parserFoundObjectEnd(JsonStreamParser*) override;
    void parserFoundArrayStart(JsonStreamParser*) override;
    void parserFoundArrayEnd(JsonStreamParser*) override;
    void parserFoundBoolean(JsonStreamParser*, bool x) override;
    void parserFoundNull(JsonStreamParser*) override;
    void parserFoundNumber(JsonStreamParser*, foundation::Value& number) override;
    void parserFoundString(JsonStreamParser*, std::string_view text) override;

private:
    template <typename... Args>
    void found(JsonStreamParser* parser, Args&&... args);
    void open(ContainerType type);

    // Pending array elements, one list per level of open arrays. A list is
    // handed whole to its array when it closes (unless it is mostly unused
    // room), and the size of the last array of a level is reserved for the
    // next one: the arrays of a list of records tend to be alike.
    struct ElementLists {
        std::vector<std::vector<foundation::Value>> lists;
        std::vector<size_t> lastSize;
        size_t open = 0;

        std::vector<foundation::Value>& top() { return lists[open - 1]; }
        void push();
        foundation::Array pop();
    };

    JsonStreamParserAdapterDelegate* delegate_ = nullptr;
    unsigned levelsToSkip_ = 0;
    unsigned depth_ = 0;
    // The containers being built: their type and, for objects, where their
    // members start in members_. A member is added when its key is found;
    // its value follows. The members of a closing object are moved into
    // storage of their size, allocated after what they hold.
    struct Frame {
        ContainerType type;
        size_t start;
    };
    std::vector<Frame> stack_;
    ElementLists arrays_;
    std::vector<foundation::Dictionary::Entry> members_;
};

// Keeps the last finished top-level container.
class JsonStreamParserAccumulator : public JsonStreamParserAdapterDelegate {
public:
    void parserFoundArray(JsonStreamParser*, foundation::Array&& array) override { value_ = std::move(array); }
    void parserFoundObject(JsonStreamParser*, foundation::Dictionary&& dict) override { value_ = std::move(dict); }
    const foundation::Value& value() const { return value_; }
    foundation::Value& value() { return value_; }

private:
    foundation::Value value_;
};
