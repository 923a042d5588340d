#pragma once
// Cookies: made from the "Set-Cookie" fields of a response for the URL that
// answered, matched against later URLs by domain, path, Secure and expiry,
// and kept in one process-wide store. The store lives in memory only: cookies
// do not outlast the process.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/Url.h"

namespace net {

struct HttpCookie {
    std::string name;
    std::string value;
    std::string domain;  // lower case, without a leading dot
    std::string path;
    bool hostOnly = true;  // no Domain attribute: sent to that very host only
    bool secure = false;
    bool httpOnly = false;
    std::optional<double> expiresDate;  // seconds since 1970; none: a session cookie

    // Same name, domain and path: the same cookie (a newer one replaces it).
    bool sameIdentity(const HttpCookie& o) const { return name == o.name && domain == o.domain && path == o.path; }
    bool operator==(const HttpCookie&) const = default;

    // The cookies of the "Set-Cookie" values of a response from `url`. A value
    // that is malformed, or whose Domain does not cover the URL's host, is
    // left out. An expiry in the past (Max-Age 0, an old Expires) gives a
    // cookie with that past date: storing it deletes the stored one.
    static std::vector<HttpCookie> cookiesWithResponseHeaderFields(const std::vector<std::string>& setCookieValues,
                                                                   const Url& url);
    // Whether the cookie goes with a request to `url` (domain, path, Secure).
    bool matches(const Url& url) const;
    bool isExpired(double now) const { return expiresDate && *expiresDate <= now; }
};

// A cookie date ("Sun, 06 Nov 1994 08:49:37 GMT" and the other forms servers
// send) as seconds since 1970; nullopt when it cannot be read.
std::optional<double> parseCookieDate(const std::string& text);

// The store's limits: a cookie's name and value together, the cookies of one
// domain, all cookies; and the longest Cookie header a request sends.
inline constexpr size_t kMaxCookieBytes = 4096;
inline constexpr size_t kMaxCookiesPerDomain = 50;
inline constexpr size_t kMaxCookies = 3000;
inline constexpr size_t kMaxCookieHeaderBytes = 8192;

class HttpCookieStorage {
public:
    static HttpCookieStorage& shared();

    // Stores the cookies (each replaces a stored one of the same name, domain
    // and path; an expired one only removes it). A cookie whose name and
    // value come to more than kMaxCookieBytes is not stored. When a domain
    // holds more than kMaxCookiesPerDomain cookies, or the store more than
    // kMaxCookies, expired cookies go first, then the least recently used
    // (stored or sent) of that domain, or of the whole store.
    void setCookies(const std::vector<HttpCookie>& cookies, const Url& url);
    void setCookie(const HttpCookie& cookie);
    void deleteCookie(const HttpCookie& cookie);
    // Unexpired cookies for the URL, longer paths first, then in storing
    // order. They count as used now.
    std::vector<HttpCookie> cookiesForURL(const Url& url) const;
    std::vector<HttpCookie> cookies() const;
    void removeAllCookies();

private:
    struct Stored {
        HttpCookie cookie;
        mutable uint64_t lastUsed = 0;
    };
    void evictOver(double now);

    mutable std::mutex mutex_;
    std::vector<Stored> cookies_;
    mutable uint64_t useCounter_ = 0;
};

}  // namespace net
