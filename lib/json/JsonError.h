#pragma once

#include <string>

// An error object of the JSON reader or writer: domain, code (always 0) and
// the message.
struct JsonError {
    std::string domain;
    int code = 0;
    std::string localizedDescription;
};
