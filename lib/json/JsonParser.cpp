#include "lib/json/JsonParser.h"

#include "lib/json/JsonStreamParser.h"
#include "lib/json/JsonStreamParserAdapter.h"
#include "platform/foundation/Log.h"

const char* const JsonParserErrorDomain = "org.plovrid.JsonParser.ErrorDomain";

std::optional<foundation::Value> JsonParser::objectWithData(const uint8_t* bytes, size_t length) {
    if (!bytes) {
        error_ = "Input was 'nil'";
        return std::nullopt;
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
