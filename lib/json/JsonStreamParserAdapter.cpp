#include "lib/json/JsonStreamParserAdapter.h"

#include <iterator>

using foundation::Value;

namespace {

// One allocation for the members, where the dictionary offers it.
template <typename D>
void reserveMembers(D& dict, size_t n) {
    if constexpr (requires { dict.reserve(n); }) dict.reserve(n);
}

}  // namespace

JsonStreamParserAdapter::JsonStreamParserAdapter() {
    stack_.reserve(32);
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
        members_.emplace_back(std::piecewise_construct, std::forward_as_tuple(std::move(keys_.back())),
                              std::forward_as_tuple(std::forward<Args>(args)...));
        keys_.pop_back();
    }
}

void JsonStreamParserAdapter::open(ContainerType type) {
    if (++depth_ > levelsToSkip_) stack_.push_back(Frame{type, type == Array ? elements_.size() : members_.size()});
}

void JsonStreamParserAdapter::parserFoundObjectStart(JsonStreamParser*) { open(Object); }

void JsonStreamParserAdapter::parserFoundArrayStart(JsonStreamParser*) { open(Array); }

void JsonStreamParserAdapter::parserFoundObjectKey(JsonStreamParser*, std::string_view key) {
    // Keys of a skipped object have no container to go to.
    if (depth_ > levelsToSkip_) keys_.emplace_back(key);
}

void JsonStreamParserAdapter::parserFoundObjectEnd(JsonStreamParser* parser) {
    if (depth_-- <= levelsToSkip_) return;
    size_t start = stack_.back().start;
    stack_.pop_back();
    foundation::Dictionary dict;
    reserveMembers(dict, members_.size() - start);
    for (size_t i = start; i < members_.size(); ++i) {
        // A key given twice keeps its last value.
        dict.set(std::move(members_[i].first), std::move(members_[i].second));
    }
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
