#include "lib/json/JsonStreamParserAdapter.h"

#include <iterator>

using foundation::Value;

JsonStreamParserAdapter::JsonStreamParserAdapter() {
    stack_.reserve(32);
    elements_.reserve(16);
    members_.reserve(16);
}

template <typename... Args>
void JsonStreamParserAdapter::found(JsonStreamParser* parser, Args&&... args) {
    if (stack_.empty()) {
        // Only containers reach the delegate; a scalar inside a skipped level is dropped.
        if constexpr (sizeof...(Args) == 1) {
            if (!delegate_) return;
            Value value(std::forward<Args>(args)...);
            if (auto* a = value.asArray()) delegate_->parserFoundArray(parser, std::move(*a));
            else if (auto* d = value.asDictionary()) delegate_->parserFoundObject(parser, std::move(*d));
        }
        return;
    }
    if (stack_.back().type == Array) {
        elements_.emplace_back(std::forward<Args>(args)...);
    } else {
        // The member of the key just found: every member opened later has
        // been moved into its own container by now.
        members_.back().second = Value(std::forward<Args>(args)...);
    }
}

void JsonStreamParserAdapter::open(ContainerType type) {
    if (++depth_ > levelsToSkip_) stack_.push_back(Frame{type, type == Array ? elements_.size() : members_.size()});
}

void JsonStreamParserAdapter::parserFoundObjectStart(JsonStreamParser*) { open(Object); }

void JsonStreamParserAdapter::parserFoundArrayStart(JsonStreamParser*) { open(Array); }

void JsonStreamParserAdapter::parserFoundObjectKey(JsonStreamParser*, std::string_view key) {
    // Keys of a skipped object have no container to go to.
    if (depth_ > levelsToSkip_) {
        members_.emplace_back(std::piecewise_construct, std::forward_as_tuple(key), std::tuple<>());
    }
}

void JsonStreamParserAdapter::parserFoundObjectEnd(JsonStreamParser* parser) {
    if (depth_-- <= levelsToSkip_) return;
    size_t start = stack_.back().start;
    stack_.pop_back();
    foundation::Dictionary dict;
    // A key given twice keeps its first position and its last value.
    dict.assignEntries(members_.data() + start, members_.data() + members_.size());
    members_.resize(start);
    found(parser, std::move(dict));
}

void JsonStreamParserAdapter::parserFoundArrayEnd(JsonStreamParser* parser) {
    if (depth_-- <= levelsToSkip_) return;
    size_t start = stack_.back().start;
    stack_.pop_back();
    auto first = elements_.begin() + std::ptrdiff_t(start);
    foundation::Array array(std::make_move_iterator(first), std::make_move_iterator(elements_.end()));
    elements_.erase(first, elements_.end());
    found(parser, std::move(array));
}

void JsonStreamParserAdapter::parserFoundBoolean(JsonStreamParser* parser, bool x) { found(parser, x); }

void JsonStreamParserAdapter::parserFoundNull(JsonStreamParser* parser) { found(parser); }

void JsonStreamParserAdapter::parserFoundNumber(JsonStreamParser* parser, Value& number) {
    found(parser, std::move(number));
}

void JsonStreamParserAdapter::parserFoundString(JsonStreamParser* parser, std::string_view text) {
    found(parser, text);
}
