// Cookies, credentials before a challenge, answering 401 and 407 challenges,
// and the session stores of HttpRequest (kept by HttpSession).
#include "lib/http/HttpRequest.h"
#include "lib/http/HttpSession.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"

namespace http {
namespace {

std::recursive_mutex& delegateAuthenticationLock() { return HttpSession::shared().delegateAuthenticationLock(); }

net::ProtectionSpace serverSpace(const std::string& host, int port, const std::string& protocol,
                                 const std::optional<std::string>& realm) {
    net::ProtectionSpace s;
    s.host = host;
    s.port = port;
    s.protocol = protocol;
    s.realm = realm.value_or("");
    return s;
}

net::ProtectionSpace proxySpace(const std::string& host, int port, const std::optional<std::string>& realm) {
    net::ProtectionSpace s;
    s.host = host;
    s.port = port;
    s.realm = realm.value_or("");
    s.isProxy = true;
    s.proxyType = "http";
    return s;
}

bool cookieIsSendable(const net::HttpCookie& c) {
    return net::isHttpToken(c.name) && net::isValidHeaderValue(c.value) && c.value.find(';') == std::string::npos;
}

}  // namespace

// ---- reading the response ------------------------------------------------------

void HttpRequest::readCookiesAndChallenge(const net::HttpResponseHead& head) {
    if (head.statusCode == 401) authenticationNeeded_ = 1;
    if (head.statusCode == 407) authenticationNeeded_ = 2;

    // Basic credentials sent before any challenge and accepted are remembered.
    auto user = run_.connection.username;
    auto pass = run_.connection.password;
    if (!authenticationNeeded_ && !serverAuth_.handle &&
        authenticationScheme() == net::kHttpAuthenticationSchemeBasic && user && pass &&
        run_.connection.useSessionPersistence && url_) {
        auto known = findSessionAuthenticationCredentials();
        // The same credentials for the same URL are kept once, not once per request.
        if (!known || !(known->url == url_) || known->credentials->username != *user ||
            known->credentials->password != *pass) {
            auto entry = std::make_shared<SessionCredentials>();
            entry->credentials = std::make_shared<net::Credentials>(net::Credentials{*user, *pass, std::nullopt});
            entry->url = url_;
            entry->authenticationScheme = net::kHttpAuthenticationSchemeBasic;
            storeAuthenticationCredentialsInSessionStore(entry);
        }
    }

    responseCookies_.clear();
    if (url_)
        responseCookies_ = net::HttpCookie::cookiesWithResponseHeaderFields(head.headers.values("Set-Cookie"), *url_);
    if (run_.connection.useCookiePersistence && url_) {
        net::HttpCookieStorage::shared().setCookies(responseCookies_, *url_);
        for (const auto& c : responseCookies_) addSessionCookie(c);
    }
}

std::vector<net::HttpCookie> HttpRequest::requestCookies() const {
    return foundation::lockedRead(cancelledLock_, requestCookies_);
}

void HttpRequest::setRequestCookies(std::vector<net::HttpCookie> cookies) {
    foundation::lockedWrite(cancelledLock_, requestCookies_, std::move(cookies));
}

std::vector<net::HttpCookie> HttpRequest::responseCookies() const {
    return foundation::lockedRead(cancelledLock_, responseCookies_);
}

void HttpRequest::applyCookieHeader() {
    if (run_.connection.useCookiePersistence && url_) {
        for (auto& c : net::HttpCookieStorage::shared().cookiesForURL(*url_)) requestCookies_.push_back(std::move(c));
    }
    std::string header;
    for (const auto& c : requestCookies_) {
        // A cookie that would break the header is not sent, nor one that
        // would make the header longer than servers take.
        if (!cookieIsSendable(c)) continue;
        size_t added = (header.empty() ? 0 : 2) + c.name.size() + 1 + c.value.size();
        if (header.size() + added > net::kMaxCookieHeaderBytes) continue;
        if (!header.empty()) header += "; ";
        header += c.name + "=" + c.value;
    }
    if (header.empty()) return;
    if (!requestHeaders_) requestHeaders_.emplace();
    (*requestHeaders_)["Cookie"] = header;
}

// ---- credentials before a challenge ------------------------------------------------

void HttpRequest::addBasicAuthenticationHeader(const std::string& user, const std::string& pass) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    std::string value = "Basic " + foundation::base64Encode(user + ":" + pass);
    if (!requestHeaders_) requestHeaders_.emplace();
    (*requestHeaders_)["Authorization"] = value;
    if (requestMessage_) requestMessage_->setHeaderField("Authorization", value);
    setAuthenticationScheme(net::kHttpAuthenticationSchemeBasic);
}

void HttpRequest::applyAuthorizationHeader() {
    if (!run_.connection.shouldPresentCredentialsBeforeChallenge || !requestMessage_) return;
    bool hasAuthorization = requestHeaders_ && requestHeaders_->count("Authorization");
    if (!hasAuthorization) {
        auto user = run_.connection.username;
        auto pass = run_.connection.password;
        if (user && pass && authenticationScheme() == net::kHttpAuthenticationSchemeBasic) {
            addBasicAuthenticationHeader(*user, *pass);
        } else if (run_.connection.useSessionPersistence) {
            if (auto entry = findSessionAuthenticationCredentials()) {
                if (entry->authentication) {
                    if (entry->authentication->applyCredentials(*requestMessage_, *entry->credentials))
                        setAuthenticationScheme(entry->authenticationScheme);
                    else
                        removeAuthenticationCredentialsFromSessionStore(entry->credentials);
                } else {
                    addBasicAuthenticationHeader(entry->credentials->username, entry->credentials->password);
                }
            }
        }
    }
    if (run_.connection.useSessionPersistence) {
        if (auto entry = findSessionProxyAuthenticationCredentials()) {
            if (!entry->authentication ||
                !entry->authentication->applyCredentials(*requestMessage_, *entry->credentials))
                removeProxyAuthenticationCredentialsFromSessionStore(entry->credentials);
        }
    }
}

// ---- finding and applying credentials -------------------------------------------------

net::CredentialsRef HttpRequest::findCredentials() {
    std::optional<std::string> user, pass;
    if (url_ && !url_->user().empty() && !url_->password().empty()) {
        user = foundation::percentUnescape(url_->user());
        pass = foundation::percentUnescape(url_->password());
    }
    if (!user || !pass) {
        user = username();
        pass = password();
    }
    if ((!user || !pass) && useKeychainPersistence() && url_) {
        if (auto saved = savedCredentialsForHost(url_->host(), url_->port().value_or(0), url_->scheme(),
                                                 authenticationRealm())) {
            user = saved->user;
            pass = saved->password;
        }
    }
    std::optional<std::string> accountDomain;
    if (serverAuth_.handle && serverAuth_.handle->requiresAccountDomain()) {
        auto d = domain();
        if (d && !d->empty()) {
            accountDomain = *d;
        } else if (user) {
            auto parts = foundation::split(*user, "\\");
            if (parts.size() == 2) {
                accountDomain = parts[0];
                user = parts[1];
            } else {
                accountDomain = "";
            }
        } else {
            accountDomain = "";
        }
    }
    if (!user || !pass) return nullptr;
    return std::make_shared<net::Credentials>(net::Credentials{*user, *pass, accountDomain});
}

net::CredentialsRef HttpRequest::findProxyCredentials() {
    std::optional<std::string> user = proxyUsername(), pass = proxyPassword();
    bool ntlm = proxyAuthenticationScheme() == net::kHttpAuthenticationSchemeNTLM;
    if ((!user || !pass) && ntlm) {
        user = username();
        pass = password();
    }
    if ((!user || !pass) && proxyHost() && url_) {
        if (auto saved =
                savedCredentialsForProxy(*proxyHost(), proxyPort(), url_->scheme(), proxyAuthenticationRealm())) {
            user = saved->user;
            pass = saved->password;
        }
    }
    std::optional<std::string> accountDomain;
    if (proxyAuth_.handle && proxyAuth_.handle->requiresAccountDomain()) {
        auto d = proxyDomain();
        if (d && !d->empty()) {
            accountDomain = *d;
        } else if (user && foundation::split(*user, "\\").size() == 2) {
            auto parts = foundation::split(*user, "\\");
            accountDomain = parts[0];
            user = parts[1];
        } else if (auto site = domain(); site && !site->empty()) {
            accountDomain = *site;
        } else {
            accountDomain = "";
        }
    }
    if (!user || !pass) return nullptr;
    return std::make_shared<net::Credentials>(net::Credentials{*user, *pass, accountDomain});
}

// Applies credentials to the challenge in `state` and, when they fit,
// remembers them as the request's own and in the stores it uses.
bool HttpRequest::applyCredentials(bool proxy, const net::CredentialsRef& credentials) {
    AuthenticationState& state = authState(proxy);
    ++state.retryCount;
    if (!credentials || !state.handle || !requestMessage_) return false;
    if (!state.handle->applyCredentials(*requestMessage_, *credentials)) {
        removeFromSessionCredentials(proxy, credentials);
        return false;
    }
    if (run_.connection.useKeychainPersistence) saveCredentialsToKeychain(proxy, *credentials);
    if (run_.connection.useSessionPersistence) {
        auto entry = std::make_shared<SessionCredentials>();
        entry->authentication = state.handle;
        entry->credentials = credentials;
        entry->authenticationScheme = state.handle->method();
        if (proxy) {
            entry->host = run_.connection.proxyHost.value_or("");
            entry->port = run_.connection.proxyPort;
        } else {
            entry->url = url_;
            entry->authenticationRealm = authenticationRealm();
        }
        HttpSession::shared().storeCredentials(proxy, std::move(entry));
    }
    state.credentials = credentials;
    return true;
}

void HttpRequest::saveCredentialsToKeychain(bool proxy, const net::Credentials& c) {
    net::UrlCredential credential{c.username, c.password, net::CredentialPersistence::Permanent};
    if (proxy) {
        if (auto host = proxyHost()) saveCredentials(credential, *host, proxyPort(), proxyAuthenticationRealm());
    } else if (url_) {
        saveCredentials(credential, url_->host(), url_->port().value_or(0), url_->scheme(), authenticationRealm());
    }
}

// Applies the stored credentials of a session entry to the current challenge.
bool HttpRequest::applySessionEntry(const SessionCredentialsRef& entry, bool proxy) {
    if (!entry || !lastResponseHead_) return false;
    auto& handle = authState(proxy).handle;
    if (!handle) handle = net::HttpAuthentication::createFromResponse(*lastResponseHead_);
    if (!handle) return false;
    return applyCredentials(proxy, entry->credentials);
}

// ---- answering a challenge -------------------------------------------------------------

void HttpRequest::attemptToApplyCredentialsAndResume() {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (error_ || state_ == TransferState::Cancelled) return;
    answerChallenge(authenticationNeeded_ == 2);
}

// A 401 (server) and a 407 (proxy) challenge are answered the same way, each
// on its own authentication state; they differ only in the stores and askers
// used.
void HttpRequest::answerChallenge(bool proxy) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (error_ || state_ == TransferState::Cancelled) return;
    auto self = shared_from_this();

    AuthenticationState& state = authState(proxy);
    auto& authentication = state.handle;
    auto& credentialsInUse = state.credentials;
    const int& retryCount = state.retryCount;
    auto setScheme = [&](std::optional<std::string> v) {
        std::lock_guard<std::mutex> l(propertyMutex_);
        state.scheme = std::move(v);
    };
    auto setRealm = [&](std::optional<std::string> v) {
        std::lock_guard<std::mutex> l(propertyMutex_);
        state.realm = std::move(v);
    };
    auto scheme = [&] {
        std::lock_guard<std::mutex> l(propertyMutex_);
        return state.scheme;
    };
    auto findSessionEntry = [&] {
        return proxy ? findSessionProxyAuthenticationCredentials() : findSessionAuthenticationCredentials();
    };
    auto removeFromSessionStore = [&](const net::CredentialsRef& c) { removeFromSessionCredentials(proxy, c); };
    auto findCredentialsToUse = [&] { return proxy ? findProxyCredentials() : findCredentials(); };
    auto apply = [&](const net::CredentialsRef& c) { return applyCredentials(proxy, c); };
    auto askForCredentials = [&] { return willAskDelegateForCredentials(proxy) || showAuthenticationDialog(proxy); };
    const char* failedToApply =
        proxy ? "Failed to apply proxy credentials to request" : "Failed to apply credentials to request";

    // A handle that already answered learns from this new challenge whether
    // its credentials were refused.
    if (authentication && credentialsInUse && lastResponseHead_) authentication->updateFromResponse(*lastResponseHead_);
    if (!authentication) {
        if (lastResponseHead_) authentication = net::HttpAuthentication::createFromResponse(*lastResponseHead_);
        if (!authentication) {
            cancelLoad();
            failWithError(makeHttpError(kInternalErrorWhileApplyingCredentialsType,
                                        "Failed to get authentication object from response headers"));
            return;
        }
        setScheme(authentication->method());
    }
    setRealm(std::nullopt);
    if (!authentication->requiresAccountDomain()) setRealm(authentication->realm());

    net::HttpAuthentication::Error problem;
    if (!authentication->isValid(&problem)) {
        authentication.reset();
        if (problem == net::HttpAuthentication::Error::BadUserName ||
            problem == net::HttpAuthentication::Error::BadPassword) {
            std::lock_guard<std::recursive_mutex> asking(delegateAuthenticationLock());
            removeFromSessionStore(credentialsInUse);
            credentialsInUse.reset();
            if (error_ || state_ == TransferState::Cancelled) return;
            if (useSessionPersistence()) {
                if (auto entry = findSessionEntry(); entry && applySessionEntry(entry, proxy)) {
                    cancelLoad();
                    startRequest();
                    return;
                }
            }
            lastActivityTime_ = 0;
            // Asked once per rejection; then the request waits. The challenge is
            // kept in lastResponseHead_, so the socket need not wait.
            if (askForCredentials()) {
                enterState(TransferState::AwaitingCredentials);
                cancelLoad();
                return;
            }
        }
        cancelLoad();
        failWithError(authenticationError());
        return;
    }

    cancelLoad();
    if (credentialsInUse) {
        bool ntlm = scheme() == net::kHttpAuthenticationSchemeNTLM;
        if (!(ntlm && retryCount > 1) && apply(credentialsInUse)) {
            startRequest();
            return;
        }
        if (ntlm && retryCount == 2)
            failWithError(authenticationError());
        else
            failWithError(makeHttpError(kInternalErrorWhileApplyingCredentialsType, failedToApply));
        return;
    }
    if (authentication->requiresUserNameAndPassword()) {
        std::lock_guard<std::recursive_mutex> asking(delegateAuthenticationLock());
        if (error_ || state_ == TransferState::Cancelled) return;
        if (useSessionPersistence()) {
            if (auto entry = findSessionEntry(); entry && applySessionEntry(entry, proxy)) {
                startRequest();
                return;
            }
        }
        if (auto credentials = findCredentialsToUse()) {
            if (apply(credentials))
                startRequest();
            else
                failWithError(makeHttpError(kInternalErrorWhileApplyingCredentialsType, failedToApply));
            return;
        }
        if (askForCredentials()) {
            enterState(TransferState::AwaitingCredentials);
            return;
        }
    }
    // No credentials and nobody to ask (or a challenge that needs none): the
    // request ends instead of waiting for ever.
    failWithError(authenticationError());
}

namespace {
std::mutex gDialogMutex;
HttpRequest::AuthenticationDialogPresenter gDialogPresenter;
[[maybe_unused]] const bool gRegistered =
    (foundation::registerResetter("http.dialogPresenter", foundation::ResetPhase::Service,
                                  [] { HttpRequest::setAuthenticationDialogPresenter(nullptr); }),
     true);

bool presentDialog(const HttpRequestRef& request) {
    HttpRequest::AuthenticationDialogPresenter presenter;
    {
        std::lock_guard<std::mutex> lock(gDialogMutex);
        presenter = gDialogPresenter;
    }
    if (!presenter) return false;
    // On the main thread; waiting only when already there (it then runs inline).
    foundation::performOnMainThread([presenter, request] { presenter(request); });
    return true;
}
}  // namespace

void HttpRequest::setAuthenticationDialogPresenter(AuthenticationDialogPresenter presenter) {
    std::lock_guard<std::mutex> lock(gDialogMutex);
    gDialogPresenter = std::move(presenter);
}

bool HttpRequest::showAuthenticationDialog(bool proxy) {
    const auto& c = run_.connection;
    if (isSynchronous_ || !(proxy ? c.shouldPresentProxyAuthenticationDialog : c.shouldPresentAuthenticationDialog))
        return false;
    return presentDialog(shared_from_this());
}

// Asks the delegate, else the queue, else the block for the server's (or
// the proxy's) credentials, on the main thread; false when none of them answers.
bool HttpRequest::willAskDelegateForCredentials(bool proxy) {
    if (isSynchronous_) return false;
    auto answers = [proxy](const HttpRequestDelegate* d) {
        return d && (proxy ? d->respondsToProxyAuthenticationNeeded() : d->respondsToAuthenticationNeeded());
    };
    const Block& ownBlock = proxy ? proxyAuthenticationNeededBlock_ : authenticationNeededBlock_;
    if (!answers(delegate_) && !answers(queue().get()) && !ownBlock) return false;
    auto self = shared_from_this();
    foundation::postToMain([self, proxy, answers] {
        HttpRequestDelegate* delegate;
        Block block;
        {
            std::lock_guard<std::recursive_mutex> lock(self->cancelledLock_);
            delegate = self->delegate_;
            block = proxy ? self->proxyAuthenticationNeededBlock_ : self->authenticationNeededBlock_;
        }
        auto queue = self->queue();
        HttpRequestDelegate* asked = answers(delegate) ? delegate : answers(queue.get()) ? queue.get() : nullptr;
        if (asked && proxy)
            asked->proxyAuthenticationNeededForRequest(*self);
        else if (asked)
            asked->authenticationNeededForRequest(*self);
        else if (block)
            block();
    });
    return true;
}

void HttpRequest::setAuthenticationNeededBlock(Block b) {
    foundation::lockedWrite(cancelledLock_, authenticationNeededBlock_, std::move(b));
}

void HttpRequest::setProxyAuthenticationNeededBlock(Block b) {
    foundation::lockedWrite(cancelledLock_, proxyAuthenticationNeededBlock_, std::move(b));
}

int HttpRequest::authenticationNeeded() const { return foundation::lockedRead(cancelledLock_, authenticationNeeded_); }
int HttpRequest::authenticationRetryCount() const {
    return foundation::lockedRead(cancelledLock_, serverAuth_.retryCount);
}
int HttpRequest::proxyAuthenticationRetryCount() const {
    return foundation::lockedRead(cancelledLock_, proxyAuth_.retryCount);
}
net::CredentialsRef HttpRequest::requestCredentials() const {
    return foundation::lockedRead(cancelledLock_, serverAuth_.credentials);
}
net::CredentialsRef HttpRequest::proxyCredentials() const {
    return foundation::lockedRead(cancelledLock_, proxyAuth_.credentials);
}

// ---- session stores ------------------------------------------------------------------

SessionCredentialsRef HttpRequest::findSessionAuthenticationCredentials() {
    std::optional<net::Url> u = url();
    if (!u) return nullptr;
    return HttpSession::shared().findServerCredentials(*u, authenticationRealm(), username(), password());
}

SessionCredentialsRef HttpRequest::findSessionProxyAuthenticationCredentials() {
    auto host = proxyHost();
    if (!host) return nullptr;
    return HttpSession::shared().findProxyCredentials(*host, proxyPort());
}

std::vector<SessionCredentialsRef> HttpRequest::sessionCredentialsStore() {
    return HttpSession::shared().credentials(false);
}

std::vector<SessionCredentialsRef> HttpRequest::sessionProxyCredentialsStore() {
    return HttpSession::shared().credentials(true);
}

void HttpRequest::storeAuthenticationCredentialsInSessionStore(SessionCredentialsRef entry) {
    HttpSession::shared().storeCredentials(false, std::move(entry));
}

void HttpRequest::storeProxyAuthenticationCredentialsInSessionStore(SessionCredentialsRef entry) {
    HttpSession::shared().storeCredentials(true, std::move(entry));
}

void HttpRequest::removeAuthenticationCredentialsFromSessionStore(const net::CredentialsRef& credentials) {
    removeFromSessionCredentials(false, credentials);
}

void HttpRequest::removeProxyAuthenticationCredentialsFromSessionStore(const net::CredentialsRef& credentials) {
    removeFromSessionCredentials(true, credentials);
}

void HttpRequest::removeFromSessionCredentials(bool proxy, const net::CredentialsRef& credentials) {
    HttpSession::shared().removeCredentials(proxy, credentials);
}

void HttpRequest::saveCredentials(const net::UrlCredential& credential, const std::string& host, int port,
                                  const std::string& protocol, const std::optional<std::string>& realm) {
    net::CredentialStorage::shared().setDefaultCredential(credential, serverSpace(host, port, protocol, realm));
}

void HttpRequest::saveCredentials(const net::UrlCredential& credential, const std::string& proxyHost, int port,
                                  const std::optional<std::string>& realm) {
    net::CredentialStorage::shared().setDefaultCredential(credential, proxySpace(proxyHost, port, realm));
}

std::optional<net::UrlCredential> HttpRequest::savedCredentialsForHost(const std::string& host, int port,
                                                                       const std::string& protocol,
                                                                       const std::optional<std::string>& realm) {
    return net::CredentialStorage::shared().defaultCredentialForProtectionSpace(
        serverSpace(host, port, protocol, realm));
}

std::optional<net::UrlCredential> HttpRequest::savedCredentialsForProxy(const std::string& proxyHost, int port,
                                                                        const std::string&,
                                                                        const std::optional<std::string>& realm) {
    return net::CredentialStorage::shared().defaultCredentialForProtectionSpace(proxySpace(proxyHost, port, realm));
}

void HttpRequest::removeCredentialsForHost(const std::string& host, int port, const std::string& protocol,
                                           const std::optional<std::string>& realm) {
    auto space = serverSpace(host, port, protocol, realm);
    auto& storage = net::CredentialStorage::shared();
    if (auto c = storage.defaultCredentialForProtectionSpace(space)) storage.removeCredential(*c, space);
}

void HttpRequest::removeCredentialsForProxy(const std::string& proxyHost, int port,
                                            const std::optional<std::string>& realm) {
    auto space = proxySpace(proxyHost, port, realm);
    auto& storage = net::CredentialStorage::shared();
    if (auto c = storage.defaultCredentialForProtectionSpace(space)) storage.removeCredential(*c, space);
}

std::vector<net::HttpCookie> HttpRequest::sessionCookies() { return HttpSession::shared().cookies(); }

void HttpRequest::setSessionCookies(std::vector<net::HttpCookie> cookies) {
    HttpSession::shared().setCookies(std::move(cookies));
}

void HttpRequest::addSessionCookie(const net::HttpCookie& cookie) { HttpSession::shared().addCookie(cookie); }

void HttpRequest::clearSession() { HttpSession::shared().clear(); }

}  // namespace http
