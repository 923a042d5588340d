#include "lib/json/JsonParser.h"

#include <algorithm>
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
using Entry = foundation::Dictionary::Entry;

// Whether a key equals the text, without a call for short keys.
inline bool sameText(const std::string& key, std::string_view text) {
    size_t n = key.size();
    if (n != text.size()) return false;
    const char* a = key.data();
    const char* b = text.data();
    if (n > 16) return std::memcmp(a, b, n) == 0;
    auto differ = [&](size_t width, size_t at) {
        uint64_t x = 0, y = 0;
        std::memcpy(&x, a + at, width);
        std::memcpy(&y, b + at, width);
        return x != y;
    };
    if (n >= 8) return !differ(8, 0) && !differ(8, n - 8);
    if (n >= 4) return !differ(4, 0) && !differ(4, n - 4);
    return n == 0 || (a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1]);
}

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
        for (auto& list : objects_) list.capacity() > 4096 ? std::vector<Entry>().swap(list) : list.clear();
    }

    bool parse(Value& out) {
        skipSpace();
        if (p_ == end_ || (*p_ != '{' && *p_ != '[')) return false;
        if (!value([&](auto&&... made) { out = Value(std::forward<decltype(made)>(made)...); })) return false;
        skipSpace();
        return p_ == end_;
    }

private:
    void skipSpace() {
        while (p_ < end_ && *p_ <= ' ' && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
    }
    bool literal(const char* word, size_t n) {
        if (size_t(end_ - p_) < n || std::memcmp(p_, word, n) != 0) return false;
        p_ += n;
        return true;
    }
    __attribute__((always_inline)) bool string(std::string_view& text, std::string& buffer) {
        const uint8_t* after = nullptr;
        if (jsonscan::scanString(p_ + 1, end_, after, buffer, text, error_) != jsonscan::Result::Ok) return false;
        p_ = after;
        return true;
    }
    // Reads the value at p_ and hands what it is made from (a text, a
    // number, a finished container) to put, which makes the element where it
    // stays.
    template <typename Put>
    bool value(Put&& put) {
        switch (*p_) {
            case '{': {
                foundation::Dictionary dict;
                if (!object(dict)) return false;
                put(std::move(dict));
                return true;
            }
            case '[': {
                foundation::Array items;
                if (!array(items)) return false;
                put(std::move(items));
                return true;
            }
            case '"': {
                std::string_view text;
                if (!string(text, buffer_)) return false;
                put(text);
                return true;
            }
            case 't':
                if (!literal("true", 4)) return false;
                put(true);
                return true;
            case 'f':
                if (!literal("false", 5)) return false;
                put(false);
                return true;
            case 'n':
                if (!literal("null", 4)) return false;
                put(nullptr);
                return true;
            default: {
                if (*p_ != '-' && (*p_ < '0' || *p_ > '9')) return false;
                const uint8_t* after = nullptr;
                jsonscan::Number number;
                if (jsonscan::scanNumber(p_, end_, after, number, digits_, error_) != jsonscan::Result::Ok)
                    return false;
                p_ = after;
                switch (number.kind) {
                    case jsonscan::Number::Kind::Int:
                        put(number.integer);
                        break;
                    case jsonscan::Number::Kind::UInt:
                        put(static_cast<unsigned long long>(number.unsignedInteger));
                        break;
                    case jsonscan::Number::Kind::Decimal:
                        put(foundation::Decimal{std::move(number.decimal)});
                        break;
                }
                return true;
            }
        }
    }
    // Each depth collects the elements of its containers in a list of its
    // own, which starts with room for as many elements as the last container
    // of that depth had. A container takes its list when the list is not
    // much larger than it, else an exactly sized copy.
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
    // The outermost container is always copied out, after everything in it,
    // so its block is the document's last. With glibc's allocator that mostly
    // keeps a large freed document from being handed back to the system,
    // only to be faulted in again by the next parse.
    template <typename List>
    List taken(List& list) const {
        if (depth_ == 0 || list.capacity() > 2 * list.size() + 8)
            return List(std::make_move_iterator(list.begin()), std::make_move_iterator(list.end()));
        return std::move(list);
    }
    // The distinct keys of an object read last at each depth, in order
    // (copied, up to kShapeKeys of them and up to the first key longer than
    // kShapeKeyLength; at the first kShapeDepths depths). The next object at that depth
    // whose keys are those or the first of those, in the same order, has no
    // key twice either, so its entries need no search for duplicates.
    static constexpr size_t kShapeKeys = 64, kShapeKeyLength = 64, kShapeDepths = 16;
    struct Shape {
        std::vector<std::string> keys;
        size_t size = 0;
    };
    bool array(foundation::Array& out) {
        if (depth_ >= maxDepth_) return false;
        ++p_;
        foundation::Array& items = scratch(arrays_, arraySizes_);
        ++depth_;
        skipSpace();
        if (p_ < end_ && *p_ == ']') {
            ++p_;
        } else {
            auto put = [&items](auto&&... made) { items.emplace_back(std::forward<decltype(made)>(made)...); };
            for (;;) {
                skipSpace();
                if (p_ == end_) return false;
                if (!value(put)) return false;
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
        out = taken(items);
        return true;
    }
    bool object(foundation::Dictionary& out) {
        if (depth_ >= maxDepth_) return false;
        ++p_;
        std::vector<Entry>& entries = scratch(objects_, objectSizes_);
        const bool shaped = depth_ < kShapeDepths;
        if (shaped && shapes_.size() <= depth_) shapes_.resize(depth_ + 1);
        static const Shape none;
        const Shape& last = shaped ? shapes_[depth_] : none;
        bool sameKeys = true;
        ++depth_;
        skipSpace();
        if (p_ < end_ && *p_ == '}') {
            ++p_;
        } else {
            for (;;) {
                skipSpace();
                if (p_ == end_ || *p_ != '"') return false;
                // A key with escapes is read into a buffer of its own, which
                // a text value does not overwrite.
                std::string_view key;
                if (!string(key, keyBuffer_)) return false;
                size_t at = entries.size();
                sameKeys = sameKeys && at < last.size && sameText(last.keys[at], key);
                skipSpace();
                if (p_ == end_ || *p_ != ':') return false;
                ++p_;
                skipSpace();
                if (p_ == end_) return false;
                auto put = [&entries, &key](auto&&... made) {
                    entries.emplace_back(std::piecewise_construct, std::forward_as_tuple(key),
                                         std::forward_as_tuple(std::forward<decltype(made)>(made)...));
                };
                if ((*p_ == '{' || *p_ == '[') && key.data() == keyBuffer_.data()) {
                    // The keys inside may overwrite the key buffer.
                    std::string name(key);
                    key = name;
                    if (!value(put)) return false;
                } else if (!value(put)) {
                    return false;
                }
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
        objectSizes_[depth_] = entries.size();
        if (sameKeys) {
            out.assignDistinctEntries(taken(entries));
        } else {
            // A key given twice keeps its first position and its last value.
            out.assignEntries(taken(entries));
            // Kept from one document to the next: long keys end the shape.
            Shape& shape = shaped ? shapes_[depth_] : scratchShape_;
            const size_t n = shaped ? std::min(out.size(), kShapeKeys) : 0;
            if (shape.keys.size() < n) shape.keys.resize(n);
            shape.size = 0;
            while (shape.size < n && out.entries()[shape.size].first.size() <= kShapeKeyLength) {
                shape.keys[shape.size] = out.entries()[shape.size].first;
                ++shape.size;
            }
        }
        return true;
    }

    // Kept by the thread from one document to the next, so a small
    // document allocates only what it is made of.
    struct Scratch {
        std::string buffer, keyBuffer, digits, error;
        std::deque<foundation::Array> arrays;
        std::deque<std::vector<Entry>> objects;
        std::vector<size_t> arraySizes, objectSizes;
        std::deque<Shape> shapes;
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
    std::string& keyBuffer_ = scratch_.keyBuffer;
    std::string& digits_ = scratch_.digits;
    std::string& error_ = scratch_.error;
    std::deque<foundation::Array>& arrays_ = scratch_.arrays;
    std::deque<std::vector<Entry>>& objects_ = scratch_.objects;
    std::vector<size_t>& arraySizes_ = scratch_.arraySizes;
    std::vector<size_t>& objectSizes_ = scratch_.objectSizes;
    std::deque<Shape>& shapes_ = scratch_.shapes;
    Shape scratchShape_;  // never holds keys: the shape of depths not kept
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
