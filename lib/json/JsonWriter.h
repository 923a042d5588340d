#pragma once
// The JSON writer's entry points: a dictionary or array in, compact UTF-8
// JSON text out (or nothing with a message in error()).

#include <optional>
#include <string>

#include "lib/json/JsonError.h"
#include "platform/foundation/Value.h"

extern const char* const JsonWriterErrorDomain;  // "org.plovrid.JsonWriter.ErrorDomain"

class JsonWriter {
public:
    unsigned maxDepth() const { return maxDepth_; }
    void setMaxDepth(unsigned depth) { maxDepth_ = depth; }
    // Members in key order instead of the dictionary's own order.
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool on) { sortKeys_ = on; }
    // One member or element a line, indented two spaces a level, ": " after keys.
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool on) { humanReadable_ = on; }
    const std::string& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

    std::optional<std::string> stringWithObject(const foundation::Value& value);
    // Sets *error (when given) on failure.
    std::optional<std::string> stringWithObject(const foundation::Value& value, JsonError* error);
    std::optional<foundation::Bytes> dataWithObject(const foundation::Value& value);

private:
    unsigned maxDepth_ = 32;
    bool sortKeys_ = false;
    bool humanReadable_ = false;
    std::string error_;
};

// Writes the value with a new writer; on failure logs
// "-JSONRepresentation failed. Error is: <message>" and answers nothing.
std::optional<std::string> JSONRepresentation(const foundation::Value& value);
