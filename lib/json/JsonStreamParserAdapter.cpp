#include "lib/json/JsonStreamParserAdapter.h"

using foundation::Value;

JsonStreamParserAdapter::JsonStreamParserAdapter() {
    stack_.reserve(32);
    keyStack_.reserve(32);
}

void JsonStreamParserAdapter::updateCurrent() {
    array_ = nullptr;
    dict_ = nullptr;
    currentType_ = None;
    if (stack_.empty()) return;
    Value& top = stack_.back();
    if ((array_ = top.asArray())) currentType_ = Array;
    else if ((dict_ = top.asDictionary())) currentType_ = Object;
}

void JsonStreamParserAdapter::found(JsonStreamParser* parser, Value&& value) {
    switch (currentType_) {
        case Array:
            array_->push_back(std::move(value));
            break;
        case Object:
            // A key given twice keeps its last value.
            dict_->set(std::move(keyStack_.back()), std::move(value));
            keyStack_.pop_back();
            break;
        case None:
            if (!delegate_) break;
            if (auto* a = value.asArray()) delegate_->parserFoundArray(parser, std::move(*a));
            else if (auto* d = value.asDictionary()) delegate_->parserFoundObject(parser, std::move(*d));
            break;
    }
}

void JsonStreamParserAdapter::parserFoundObjectStart(JsonStreamParser*) {
    if (++depth_ > levelsToSkip_) {
        stack_.emplace_back(foundation::Dictionary());
        updateCurrent();
    }
}

void JsonStreamParserAdapter::parserFoundObjectKey(JsonStreamParser*, std::string_view key) {
    // Keys of a skipped object have no container to go to.
    if (depth_ > levelsToSkip_) keyStack_.emplace_back(key);
}

void JsonStreamParserAdapter::parserFoundObjectEnd(JsonStreamParser* parser) {
    if (depth_-- > levelsToSkip_) {
        Value finished = std::move(stack_.back());
        stack_.pop_back();
        updateCurrent();
        found(parser, std::move(finished));
    }
}

void JsonStreamParserAdapter::parserFoundArrayStart(JsonStreamParser*) {
    if (++depth_ > levelsToSkip_) {
        stack_.emplace_back(foundation::Array());
        updateCurrent();
    }
}

void JsonStreamParserAdapter::parserFoundArrayEnd(JsonStreamParser* parser) {
    if (depth_-- > levelsToSkip_) {
        Value finished = std::move(stack_.back());
        stack_.pop_back();
        updateCurrent();
        found(parser, std::move(finished));
    }
}

void JsonStreamParserAdapter::parserFoundBoolean(JsonStreamParser* parser, bool x) { found(parser, Value(x)); }

void JsonStreamParserAdapter::parserFoundNull(JsonStreamParser* parser) { found(parser, Value()); }

void JsonStreamParserAdapter::parserFoundNumber(JsonStreamParser* parser, Value& number) {
    found(parser, std::move(number));
}

void JsonStreamParserAdapter::parserFoundString(JsonStreamParser* parser, std::string_view text) {
    found(parser, Value(text));
}
