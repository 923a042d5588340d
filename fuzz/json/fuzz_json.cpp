// Parses arbitrary bytes. Whatever parses must write, parse and write again
// to the same text, and parsing the input in two pieces must end the same way
// as parsing it at once (the same value, written to the same text).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "lib/json/JsonParser.h"
#include "lib/json/JsonStreamParser.h"
#include "lib/json/JsonStreamParserAdapter.h"
#include "lib/json/JsonWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    JsonParser parser;
    auto value = parser.objectWithData(data, size);
    if (!value && parser.error().empty()) abort();
    JsonWriter writer;
    std::optional<std::string> text;
    if (value) {
        text = writer.stringWithObject(*value);
        if (!text) abort();
        // "-0" comes back as an unsigned 0, so compare the texts.
        auto again = parser.objectWithString(*text);
        if (!again) abort();
        auto textAgain = writer.stringWithObject(*again);
        if (!textAgain || *textAgain != *text) abort();
    }

    // The same input split at a point chosen by its first byte.
    if (size > 0) {
        size_t cut = data[0] % (size + 1);
        JsonStreamParserAccumulator accumulator;
        JsonStreamParserAdapter adapter;
        adapter.setDelegate(&accumulator);
        JsonStreamParser stream;
        stream.setDelegate(&adapter);
        JsonParserStatus status = stream.parse(data, cut);
        if (status != JsonParserError) status = stream.parse(data + cut, size - cut);
        if (value) {
            if (status != JsonParserComplete || !(accumulator.value() == *value)) abort();
            // Keys in the same order too.
            auto streamText = writer.stringWithObject(accumulator.value());
            if (!streamText || *streamText != *text) abort();
        } else if (status == JsonParserComplete) {
            abort();
        } else if (status == JsonParserError && stream.error() != parser.error()) {
            abort();
        }
    }
    return 0;
}
