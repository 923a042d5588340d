#pragma once
// An error as the SQLite layer reports it: a domain, a code and a message.

#include <string>

struct SqlError {
    std::string domain;
    int code = 0;
    std::string message;  // the localized description
};
