#pragma once
// Connects the login sheet to the HTTP client: once installed, an
// asynchronous request whose challenge neither its delegate nor a block
// answers (and whose dialog flag is on) shows the sheet, and the typed
// credentials are handed back to that request.

#include "lib/http/HttpRequest.h"
#include "lib/httpauth/HttpAuthenticationDialog.h"

namespace http {

// An HttpRequest seen through the part the sheet reads and drives.
class HttpRequestAuthentication : public AuthenticationRequest {
public:
    explicit HttpRequestAuthentication(HttpRequestRef request) : request_(std::move(request)) {}

    int authenticationNeeded() const override { return request_->authenticationNeeded(); }
    std::string urlHost() const override;
    std::optional<int> urlPort() const override;
    std::string urlScheme() const override;
    std::optional<std::string> proxyHost() const override { return request_->proxyHost(); }
    std::optional<std::string> authenticationRealm() const override { return request_->authenticationRealm(); }
    std::optional<std::string> authenticationScheme() const override { return request_->authenticationScheme(); }
    std::optional<std::string> proxyAuthenticationScheme() const override {
        return request_->proxyAuthenticationScheme();
    }
    void setUsername(const std::string& v) override { request_->setUsername(v); }
    void setPassword(const std::string& v) override { request_->setPassword(v); }
    void setDomain(const std::string& v) override { request_->setDomain(v); }
    void setProxyUsername(const std::string& v) override { request_->setProxyUsername(v); }
    void setProxyPassword(const std::string& v) override { request_->setProxyPassword(v); }
    void setProxyDomain(const std::string& v) override { request_->setProxyDomain(v); }
    void retryUsingSuppliedCredentials() override { request_->retryUsingSuppliedCredentials(); }
    void cancelAuthentication() override { request_->cancelAuthentication(); }

    const HttpRequestRef& request() const { return request_; }

private:
    HttpRequestRef request_;
};

// Makes HttpRequest show HttpAuthenticationDialog for unanswered challenges.
void installAuthenticationDialog();

}  // namespace http
