#include "lib/http/HttpError.h"

namespace http {

HttpErrorRef HttpError::make(int code, std::string description, HttpErrorRef underlying) {
    auto e = std::make_shared<HttpError>();
    e->domain = kHttpRequestErrorDomain;
    e->code = code;
    e->localizedDescription = std::move(description);
    e->underlyingError = std::move(underlying);
    return e;
}

HttpErrorRef HttpError::fromStream(const net::StreamError& error) {
    if (!error) return nullptr;
    auto e = std::make_shared<HttpError>();
    e->domain = error.domainName();
    e->code = error.code;
    e->localizedDescription = error.description;
    return e;
}

HttpErrorRef requestTimedOutError() {
    static const HttpErrorRef e = HttpError::make(kRequestTimedOutErrorType, "The request timed out");
    return e;
}
HttpErrorRef authenticationError() {
    static const HttpErrorRef e = HttpError::make(kAuthenticationErrorType, "Authentication needed");
    return e;
}
HttpErrorRef requestCancelledError() {
    static const HttpErrorRef e = HttpError::make(kRequestCancelledErrorType, "The request was cancelled");
    return e;
}
HttpErrorRef unableToCreateRequestError() {
    static const HttpErrorRef e =
        HttpError::make(kUnableToCreateRequestErrorType, "Unable to create request (bad url?)");
    return e;
}
HttpErrorRef tooMuchRedirectionError() {
    static const HttpErrorRef e =
        HttpError::make(kTooMuchRedirectionErrorType, "The request failed because it redirected too many times");
    return e;
}

}  // namespace http
