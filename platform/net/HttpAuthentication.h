#pragma once
// HTTP authentication: a challenge read from a 401 ("WWW-Authenticate") or
// 407 ("Proxy-Authenticate") response, and the credentials written into a
// request message to answer it. Basic and Digest (MD5, MD5-sess, qop "auth"
// or none) are spoken. An NTLM or Negotiate challenge is recognised but not
// answered: its handle is never valid, so a request that meets one ends
// with "authentication needed".

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/net/HttpMessage.h"

namespace net {

// What is applied to a challenge. Shared and compared by identity: the same
// object stored twice is one entry, an equal copy is another.
struct Credentials {
    std::string username;
    std::string password;
    std::optional<std::string> accountDomain;
};
using CredentialsRef = std::shared_ptr<const Credentials>;

inline const std::string kHttpAuthenticationSchemeBasic = "Basic";
inline const std::string kHttpAuthenticationSchemeDigest = "Digest";
inline const std::string kHttpAuthenticationSchemeNTLM = "NTLM";

class HttpAuthentication {
public:
    enum class Error { None, BadUserName, BadPassword, Unsupported };

    // The strongest usable challenge of the response (Digest, then Basic, then
    // NTLM/Negotiate as an unsupported handle); nullptr when the response holds
    // none this layer recognises or is neither 401 nor 407.
    static std::shared_ptr<HttpAuthentication> createFromResponse(const HttpResponseHead& response);

    bool isValid(Error* error = nullptr) const;
    const std::string& method() const { return scheme_; }
    std::optional<std::string> realm() const { return realm_; }
    bool isProxy() const { return proxy_; }
    bool requiresAccountDomain() const { return scheme_ == kHttpAuthenticationSchemeNTLM; }
    bool requiresUserNameAndPassword() const { return true; }

    // Writes "Authorization" (or "Proxy-Authorization") for this message.
    // False, with the message unchanged, when the handle is not valid or the
    // credentials cannot go into a header (CR, LF or NUL in them).
    bool applyCredentials(HttpMessage& message, const Credentials& credentials);

    // A later challenge after credentials were applied: a Digest challenge
    // with stale=true takes the new nonce and stays valid; anything else
    // means the credentials were refused (bad password).
    void updateFromResponse(const HttpResponseHead& response);

    // The Digest response value (RFC 2617) for these parts.
    static std::string digestResponse(const std::string& algorithm, const std::string& username,
                                      const std::string& realm, const std::string& password, const std::string& method,
                                      const std::string& uri, const std::string& nonce, const std::string& nc,
                                      const std::string& cnonce, const std::string& qop);

private:
    HttpAuthentication() = default;
    mutable std::mutex mutex_;
    std::string scheme_;
    bool proxy_ = false;
    std::optional<std::string> realm_;
    std::string nonce_, opaque_, algorithm_, qop_;
    bool hasOpaque_ = false;
    unsigned nonceCount_ = 0;
    bool applied_ = false;
    Error error_ = Error::None;
};

}  // namespace net
