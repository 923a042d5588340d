#include "lib/json/JsonParser.h"

#include <cstring>
#include <deque>
#include <iterator>
#include <tuple>
#include <vector>

#include "lib/json/JsonScan.h"
#include "lib/json/JsonStreamParser.h"
#include "lib/json/JsonStreamParserAdapter.h"
#include "platform/foundation/Log.h"

const char* const JsonParserErrorDomain = "org.plovrid.JsonParser.ErrorDomain";

namespace {

using foundation::Value;

// The whole document in one pass: values are made where they will stay,
// strings without escapes go straight from the input into their value, and
// containers take the size their last sibling at the same depth had. It
// answers only documents it read to the end; anything else (an error, a
// cut-off document, too deep a nesting) is left to the stream parser, which
// reads it again and says what is wrong. Both use the same string and
// number scanners and the same rules, so they agree on every document that
// this one accepts.
class OnePassParser {
public:
    OnePassParser(const uint8_t* bytes, size_t length, unsigned maxDepth)
        : p_(bytes), end_(bytes + length), maxDepth_(maxDepth) {}

    ~OnePassParser() {
        // Nothing of this document stays behind, nor a list grown large.
        for (auto& list : arrays_) list.capacity() > 4096 ? foundation::Array().swap(list) : list.clear();
        for (auto& list : objects_)
            list.capacity() > 4096 ? std::vector<foundation::Dictionary::Entry>().swap(list) : list.clear();
    }

    bool parse(Value& out) {
        skipSpace();
        if (p_ == end_ || (*p_ != '{' && *p_ != '[')) return false;
        if (!value(out)) return false;
        skipSpace();
        return p_ == end_;
    }

private:
    void skipSpace() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
    }
    bool literal(const char* word, size_t n) {
        if (size_t(end_ - p_) < n || std::memcmp(p_, word, n) != 0) return false;
        p_ += n;
        return true;
    }
    bool string(std::string_view& text) {
        const uint8_t* after = nullptr;
        if (jsonscan::scanString(p_ + 1, end_, after, buffer_, text, error_) != jsonscan::Result::Ok) return false;
        p_ = after;
        return true;
    }
    bool value(Value& out) {
        switch (*p_) {
            case '{':
                return object(out);
            case '[':
                return array(out);
            case '"': {
                std::string_view text;
                if (!string(text)) return false;
                out = Value(std::string(text));
                return true;
            }
            case 't':
                out = Value(true);
                return literal("true", 4);
            case 'f':
                out = Value(false);
                return literal("false", 5);
            case 'n':
                return literal("null", 4);
            default: {
                if (*p_ != '-' && (*p_ < '0' || *p_ > '9')) return false;
                const uint8_t* after = nullptr;
                if (jsonscan::scanNumber(p_, end_, after, out, digits_, error_) != jsonscan::Result::Ok) return false;
                p_ = after;
                return true;
            }
        }
    }
    // Each depth collects the elements of its arrays in a list of its own
    // that is kept from one array to the next. An array takes its list when
    // the list is not much larger than it (the next array of that depth
    // starts with room for as many elements), else an exactly sized copy.
    template <typename List>
    List& scratch(std::deque<List>& lists, std::vector<size_t>& lastSizes) {
        while (lists.size() <= depth_) {
            lists.emplace_back();
            lastSizes.push_back(16);
        }
        List& list = lists[depth_];
        list.clear();
        if (list.capacity() < lastSizes[depth_]) list.reserve(lastSizes[depth_]);
        return list;
    }
    template <typename List>
    static List fitted(List& list) {
        return List(std::make_move_iterator(list.begin()), std::make_move_iterator(list.end()));
    }
    bool array(Value& out) {
        if (depth_ >= maxDepth_) return false;
        ++p_;
        foundation::Array& items = scratch(arrays_, arraySizes_);
        ++depth_;
        skipSpace();
        if (p_ < end_ && *p_ == ']') {
            ++p_;
        } else {
            for (;;) {
                skipSpace();
                if (p_ == end_) return false;
                items.emplace_back();
                if (!value(items.back())) return false;
                skipSpace();
                if (p_ == end_) return false;
                if (*p_ == ',') {
                    ++p_;
                    continue;
                }
                if (*p_ != ']') return false;
                ++p_;
                break;
            }
        }
        --depth_;
        arraySizes_[depth_] = items.size();
        out = Value(items.capacity() > 2 * items.size() + 8 ? fitted(items) : std::move(items));
        return true;
    }
    bool object(Value& out) {
        if (depth_ >= maxDepth_) return false;
        ++p_;
        std::vector<foundation::Dictionary::Entry>& entries = scratch(objects_, objectSizes_);
        ++depth_;
        skipSpace();
        if (p_ < end_ && *p_ == '}') {
            ++p_;
        } else {
            for (;;) {
                skipSpace();
                if (p_ == end_ || *p_ != '"') return false;
                std::string_view key;
                if (!string(key)) return false;
                skipSpace();
                if (p_ == end_ || *p_ != ':') return false;
                ++p_;
                skipSpace();
                if (p_ == end_) return false;
                entries.emplace_back(std::piecewise_construct, std::forward_as_tuple(key), std::tuple<>());
                if (!value(entries.back().second)) return false;
                skipSpace();
                if (p_ == end_) return false;
                if (*p_ == ',') {
                    ++p_;
                    continue;
                }
                if (*p_ != '}') return false;
                ++p_;
                break;
            }
        }
        --depth_;
        foundation::Dictionary dict;
        // A key given twice keeps its first position and its last value.
        dict.assignEntries(fitted(entries));
        out = Value(std::move(dict));
        return true;
    }

    // Kept by the thread from one document to the next, so a small
    // document allocates only what it is made of.
    struct Scratch {
        std::string buffer, digits, error;
        std::deque<foundation::Array> arrays;
        std::deque<std::vector<foundation::Dictionary::Entry>> objects;
        std::vector<size_t> arraySizes, objectSizes;
    };
    static Scratch& threadScratch() {
        thread_local Scratch scratch;
        return scratch;
    }

    const uint8_t* p_;
    const uint8_t* const end_;
    const unsigned maxDepth_;
    unsigned depth_ = 0;
    Scratch& scratch_ = threadScratch();
    std::string& buffer_ = scratch_.buffer;
    std::string& digits_ = scratch_.digits;
    std::string& error_ = scratch_.error;
    std::deque<foundation::Array>& arrays_ = scratch_.arrays;
    std::deque<std::vector<foundation::Dictionary::Entry>>& objects_ = scratch_.objects;
    std::vector<size_t>& arraySizes_ = scratch_.arraySizes;
    std::vector<size_t>& objectSizes_ = scratch_.objectSizes;
};

}  // namespace

std::optional<foundation::Value> JsonParser::objectWithData(const uint8_t* bytes, size_t length) {
    if (!bytes) {
        error_ = "Input was 'nil'";
        return std::nullopt;
    }
    {
        OnePassParser onePass(bytes, length, maxDepth_);
        Value value;
        if (onePass.parse(value)) return value;
    }
    JsonStreamParserAccumulator accumulator;
    JsonStreamParserAdapter adapter;
    adapter.setDelegate(&accumulator);
    JsonStreamParser parser;
    parser.setMaxDepth(maxDepth_);
    parser.setDelegate(&adapter);

    switch (parser.parse(bytes, length)) {
        case JsonParserComplete:
            return std::move(accumulator.value());
        case JsonParserWaitingForData:
            error_ = "Unexpected end of input";
            return std::nullopt;
        case JsonParserError:
        default:
            error_ = parser.error();
            return std::nullopt;
    }
}

std::optional<foundation::Value> JsonParser::objectWithData(const foundation::Bytes* data) {
    static const uint8_t empty = 0;
    if (!data) return objectWithData(nullptr, 0);
    return objectWithData(data->empty() ? &empty : data->data(), data->size());
}

std::optional<foundation::Value> JsonParser::objectWithString(std::string_view text) {
    static const uint8_t empty = 0;
    const uint8_t* bytes = text.empty() ? &empty : reinterpret_cast<const uint8_t*>(text.data());
    return objectWithData(bytes, text.size());
}

std::optional<foundation::Value> JsonParser::objectWithString(std::string_view text, JsonError* error) {
    auto result = objectWithString(text);
    if (!result && error) *error = JsonError{JsonParserErrorDomain, 0, error_};
    return result;
}

std::optional<foundation::Value> JSONValue(std::string_view text) {
    JsonParser parser;
    auto result = parser.objectWithString(text);
    if (!result) foundation::log("-JSONValue failed. Error is: ", parser.error());
    return result;
}
