#include "lib/httpauth/HttpRequestAuthentication.h"

namespace http {

std::string HttpRequestAuthentication::urlHost() const {
    auto url = request_->url();
    return url ? url->host() : std::string();
}

std::optional<int> HttpRequestAuthentication::urlPort() const {
    auto url = request_->url();
    return url ? url->port() : std::nullopt;
}

std::string HttpRequestAuthentication::urlScheme() const {
    auto url = request_->url();
    return url ? url->scheme() : std::string();
}

void installAuthenticationDialog() {
    HttpRequest::setAuthenticationDialogPresenter([](const HttpRequestRef& request) {
        HttpAuthenticationDialog::presentAuthenticationDialogForRequest(
            std::make_shared<HttpRequestAuthentication>(request));
    });
}

}  // namespace http
