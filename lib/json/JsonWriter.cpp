#include "lib/json/JsonWriter.h"

#include "lib/json/JsonStreamWriter.h"
#include "platform/foundation/Log.h"

const char* const JsonWriterErrorDomain = "org.plovrid.JsonWriter.ErrorDomain";

std::optional<std::string> JsonWriter::stringWithObject(const foundation::Value& value) {
    error_.clear();
    if (!humanReadable_) {
        std::string out;
        out.reserve(8096);
        if (JsonStreamWriter::writeCompact(value, maxDepth_, sortKeys_, out)) return out;
    }
    JsonStreamWriterAccumulator accumulator;
    JsonStreamWriter writer;
    writer.setMaxDepth(maxDepth_);
    writer.setSortKeys(sortKeys_);
    writer.setHumanReadable(humanReadable_);
    writer.setDelegate(&accumulator);

    bool ok;
    if (const auto* dict = value.asDictionary()) {
        ok = writer.writeObject(*dict);
    } else if (const auto* array = value.asArray()) {
        ok = writer.writeArray(*array);
    } else {
        error_ = "Not valid type for JSON";
        return std::nullopt;
    }
    if (!ok) {
        error_ = writer.error();
        return std::nullopt;
    }
    return std::move(accumulator.data());
}

std::optional<std::string> JsonWriter::stringWithObject(const foundation::Value& value, JsonError* error) {
    auto result = stringWithObject(value);
    if (!result && error) *error = JsonError{JsonWriterErrorDomain, 0, error_};
    return result;
}

std::optional<foundation::Bytes> JsonWriter::dataWithObject(const foundation::Value& value) {
    auto text = stringWithObject(value);
    if (!text) return std::nullopt;
    return foundation::Bytes(text->begin(), text->end());
}

std::optional<std::string> JSONRepresentation(const foundation::Value& value) {
    JsonWriter writer;
    auto result = writer.stringWithObject(value);
    if (!result) foundation::log("-JSONRepresentation failed. Error is: ", writer.error());
    return result;
}
