#pragma once
// Errors of the HTTP client: a domain, a code, a message and, where one
// exists, the error underneath (a stream error, a zlib error).

#include <memory>
#include <string>

#include "platform/net/NetError.h"

namespace http {

inline const std::string kHttpRequestErrorDomain = "HttpRequestErrorDomain";

// Codes of kHttpRequestErrorDomain.
enum HttpErrorCode : int {
    kConnectionFailureErrorType = 1,
    kRequestTimedOutErrorType = 2,
    kAuthenticationErrorType = 3,
    kRequestCancelledErrorType = 4,
    kUnableToCreateRequestErrorType = 5,
    kInternalErrorWhileBuildingRequestType = 6,
    kInternalErrorWhileApplyingCredentialsType = 7,
    kFileManagementError = 8,
    kTooMuchRedirectionErrorType = 9,
    kUnhandledExceptionError = 10,
    kCompressionError = 11,
};

struct HttpError;
using HttpErrorRef = std::shared_ptr<const HttpError>;

struct HttpError {
    std::string domain;
    int code = 0;
    std::string localizedDescription;
    std::string failureReason;
    HttpErrorRef underlyingError;

    static HttpErrorRef make(int code, std::string description, HttpErrorRef underlying = nullptr);
    // A stream-layer error as an underlying error (domain "POSIX" or "Network").
    static HttpErrorRef fromStream(const net::StreamError& error);
};

// The shared error objects: the same object every time.
HttpErrorRef requestTimedOutError();        // 2 "The request timed out"
HttpErrorRef authenticationError();         // 3 "Authentication needed"
HttpErrorRef requestCancelledError();       // 4 "The request was cancelled"
HttpErrorRef unableToCreateRequestError();  // 5 "Unable to create request (bad url?)"
HttpErrorRef tooMuchRedirectionError();     // 9 "The request failed because it redirected too many times"

}  // namespace http
