#pragma once
// The error value every library reports: a domain naming who failed, a code
// within that domain, a message for people and, where one exists, the error
// underneath (a socket error under an HTTP failure, an SQLite error under a
// store failure). Libraries name it after themselves (SqlError, JsonError,
// TrkError are this type) and keep their domain and code constants beside it.

#include <memory>
#include <string>
#include <string_view>

namespace foundation {

struct Error;
using ErrorRef = std::shared_ptr<const Error>;

struct Error {
    Error() = default;
    Error(std::string errorDomain, int errorCode, std::string errorMessage = {}, ErrorRef underlyingError = nullptr)
        : domain(std::move(errorDomain)),
          code(errorCode),
          message(std::move(errorMessage)),
          underlying(std::move(underlyingError)) {}

    std::string domain;
    int code = 0;
    std::string message;
    ErrorRef underlying;

    static ErrorRef make(std::string domain, int code, std::string message = {}, ErrorRef underlying = nullptr);

    bool is(std::string_view errorDomain, int errorCode) const { return domain == errorDomain && code == errorCode; }
    // Whether this error or any error under it is of the domain and code.
    bool hasCause(std::string_view errorDomain, int errorCode) const;
    // "message (domain code)", then "; caused by " and the underlying error's.
    std::string description() const;

    // Equal when domain, code, message and the whole chain underneath are.
    bool operator==(const Error& other) const;
};

}  // namespace foundation
