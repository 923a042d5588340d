#pragma once
// XML property lists: <dict>, <array>, <string>, <integer>, <real>, <true/>,
// <false/>, <data> (base64) and <date> become foundation values. Numbers
// written as strings stay strings; Value's intValue/doubleValue read them
// the same as numbers. A malformed document, an unknown element or nesting
// deeper than 256 levels reads as nothing (nullopt) with a log line.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace plist {

std::optional<foundation::Value> parse(std::string_view xml);
std::optional<foundation::Value> readFile(const std::string& path);
// The root when it is a dictionary, else nullopt.
std::optional<foundation::Dictionary> readDictionary(const std::string& path);

}  // namespace plist
