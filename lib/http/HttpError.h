#pragma once
// Errors of the HTTP client: the foundation's error value in the domain
// kHttpRequestErrorDomain, with the error underneath (a stream error, a zlib
// error, a file error) as its underlying error.

#include <cstdint>
#include <string>

#include "platform/foundation/Error.h"
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
    // The decoded reply body went past the request's maxResponseBodySize.
    kResponseTooLargeErrorType = 12,
};

using HttpError = foundation::Error;
using HttpErrorRef = foundation::ErrorRef;

// An error of kHttpRequestErrorDomain.
HttpErrorRef makeHttpError(int code, std::string message, HttpErrorRef underlying = nullptr);
// A stream-layer error as an underlying error (domain "POSIX", "Network" or
// "TLS"); null when there is no error.
HttpErrorRef httpErrorFromStream(const net::StreamError& error);

// The shared error objects: the same object every time.
HttpErrorRef requestTimedOutError();        // 2 "The request timed out"
HttpErrorRef authenticationError();         // 3 "Authentication needed"
HttpErrorRef requestCancelledError();       // 4 "The request was cancelled"
HttpErrorRef unableToCreateRequestError();  // 5 "Unable to create request (bad url?)"
HttpErrorRef tooMuchRedirectionError();     // 9 "The request failed because it redirected too many times"
// 12 "The response body is larger than the limit of N bytes" (a new object each time).
HttpErrorRef responseTooLargeError(uint64_t limit);

}  // namespace http
