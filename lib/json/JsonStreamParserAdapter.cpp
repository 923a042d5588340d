#include "lib/json/JsonStreamParserAdapter.h"

#include <iterator>
#include <type_traits>

using foundation::Value;

JsonStreamParserAdapter::JsonStreamParserAdapter() {
    stack_.reserve(32);
    members_.reserve(32);
}

void JsonStreamParserAdapter::ElementLists::push() {
    if (open == lists.size()) {
        lists.emplace_back();
        lastSize.push_back(16);
    }
    lists[open].reserve(lastSize[open]);
    ++open;
}

foundation::Array JsonStreamParserAdapter::ElementLists::pop() {
    std::vector<Value>& list = lists[--open];
    lastSize[open] = list.size();
    if (list.capacity() > 2 * list.size() + 8) {
        // Keep the room for the next array of this level.
        foundation::Array fitted(std::make_move_iterator(list.begin()), std::make_move_iterator(list.end()));
        list.clear();
        return fitted;
    }
    return std::move(list);
}

template <typename... Args>
void JsonStreamParserAdapter::found(JsonStreamParser* parser, Args&&... args) {
    if (stack_.empty()) {
        // Only containers reach the delegate; a scalar inside a skipped level is dropped.
        if constexpr (sizeof...(Args) == 1) {
            if (!delegate_) return;
            Value value(std::forward<Args>(args)...);
            if (auto* a = value.asArray())
                delegate_->parserFoundArray(parser, std::move(*a));
            else if (auto* d = value.asDictionary())
                delegate_->parserFoundObject(parser, std::move(*d));
        }
        return;
    }
    if (stack_.back().type == Array) {
        arrays_.top().emplace_back(std::forward<Args>(args)...);
    } else {
        // The member of the key just found; the members of containers opened
        // after it have gone into those containers by now.
        Value& member = members_.back().second;
        if constexpr (sizeof...(Args) == 1 && (std::is_same_v<std::decay_t<Args>, Value> && ...)) {
            member = std::move(args...);
        } else {
            member = Value(std::forward<Args>(args)...);
        }
    }
}

void JsonStreamParserAdapter::open(ContainerType type) {
    if (++depth_ <= levelsToSkip_) return;
    stack_.push_back(Frame{type, members_.size()});
    if (type == Array) arrays_.push();
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
    auto first = members_.begin() + std::ptrdiff_t(stack_.back().start);
    stack_.pop_back();
    std::vector<foundation::Dictionary::Entry> entries(std::make_move_iterator(first),
                                                       std::make_move_iterator(members_.end()));
    members_.erase(first, members_.end());
    foundation::Dictionary dict;
    // A key given twice keeps its first position and its last value.
    dict.assignEntries(std::move(entries));
    found(parser, std::move(dict));
}

void JsonStreamParserAdapter::parserFoundArrayEnd(JsonStreamParser* parser) {
    if (depth_-- <= levelsToSkip_) return;
    stack_.pop_back();
    found(parser, arrays_.pop());
}

void JsonStreamParserAdapter::parserFoundBoolean(JsonStreamParser* parser, bool x) { found(parser, x); }

void JsonStreamParserAdapter::parserFoundNull(JsonStreamParser* parser) { found(parser); }

void JsonStreamParserAdapter::parserFoundNumber(JsonStreamParser* parser, Value& number) {
    found(parser, std::move(number));
}

void JsonStreamParserAdapter::parserFoundString(JsonStreamParser* parser, std::string_view text) {
    found(parser, text);
}
