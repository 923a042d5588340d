#include "lib/http/HttpError.h"

namespace http {

HttpErrorRef makeHttpError(int code, std::string message, HttpErrorRef underlying) {
    return HttpError::make(kHttpRequestErrorDomain, code, std::move(message), std::move(underlying));
}

HttpErrorRef httpErrorFromStream(const net::StreamError& error) { return error.asError(); }

HttpErrorRef requestTimedOutError() {
    static const HttpErrorRef e = makeHttpError(kRequestTimedOutErrorType, "The request timed out");
    return e;
}
HttpErrorRef authenticationError() {
    static const HttpErrorRef e = makeHttpError(kAuthenticationErrorType, "Authentication needed");
    return e;
}
HttpErrorRef requestCancelledError() {
    static const HttpErrorRef e = makeHttpError(kRequestCancelledErrorType, "The request was cancelled");
    return e;
}
HttpErrorRef unableToCreateRequestError() {
    static const HttpErrorRef e = makeHttpError(kUnableToCreateRequestErrorType, "Unable to create request (bad url?)");
    return e;
}
HttpErrorRef tooMuchRedirectionError() {
    static const HttpErrorRef e =
        makeHttpError(kTooMuchRedirectionErrorType, "The request failed because it redirected too many times");
    return e;
}

HttpErrorRef responseTooLargeError(uint64_t limit) {
    return makeHttpError(kResponseTooLargeErrorType,
                         "The response body is larger than the limit of " + std::to_string(limit) + " bytes");
}

}  // namespace http
