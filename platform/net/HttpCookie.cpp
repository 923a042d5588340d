#include "platform/net/HttpCookie.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"

namespace net {
namespace {

bool isIpLiteral(const std::string& host) {
    if (host.find(':') != std::string::npos) return true;  // IPv6
    return !host.empty() &&
           std::all_of(host.begin(), host.end(), [](char c) { return std::isdigit(uint8_t(c)) || c == '.'; });
}

bool domainMatches(const std::string& host, const std::string& domain) {
    if (host == domain) return true;
    if (isIpLiteral(host)) return false;
    return host.size() > domain.size() && foundation::endsWith(host, domain) &&
           host[host.size() - domain.size() - 1] == '.';
}

std::string defaultPath(const Url& url) {
    const std::string& p = url.path();
    if (p.empty() || p[0] != '/') return "/";
    size_t last = p.rfind('/');
    if (last == 0) return "/";
    return p.substr(0, last);
}

bool pathMatches(const std::string& requestPath, const std::string& cookiePath) {
    if (requestPath == cookiePath) return true;
    if (!foundation::startsWith(requestPath, cookiePath)) return false;
    return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

std::optional<HttpCookie> parseOne(const std::string& text, const Url& url, double now) {
    std::vector<std::string> parts = foundation::split(text, ";");
    if (parts.empty()) return std::nullopt;
    size_t eq = parts[0].find('=');
    if (eq == std::string::npos) return std::nullopt;
    HttpCookie c;
    c.name = foundation::trim(parts[0].substr(0, eq));
    c.value = foundation::trim(parts[0].substr(eq + 1));
    if (c.name.empty()) return std::nullopt;
    c.domain = url.host();
    c.path = defaultPath(url);
    std::optional<double> maxAgeDate, expires;
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& attr = parts[i];
        size_t e = attr.find('=');
        std::string key = foundation::toLower(foundation::trim(attr.substr(0, e)));
        std::string val = e == std::string::npos ? std::string() : foundation::trim(attr.substr(e + 1));
        if (key == "expires") {
            if (auto d = parseCookieDate(val)) expires = d;
        } else if (key == "max-age") {
            if (val.empty() || !(std::isdigit(uint8_t(val[0])) || val[0] == '-')) continue;
            if (val.find_first_not_of("-0123456789", 1) != std::string::npos) continue;
            long long seconds = std::strtoll(val.c_str(), nullptr, 10);
            maxAgeDate = seconds <= 0 ? 0.0 : now + double(seconds);
        } else if (key == "domain") {
            std::string d = foundation::toLower(val);
            if (!d.empty() && d[0] == '.') d.erase(0, 1);
            if (d.empty()) continue;
            if (!domainMatches(url.host(), d)) return std::nullopt;
            // A bare top-level name ("com") would send the cookie to every site under it.
            if (d.find('.') == std::string::npos && d != url.host()) return std::nullopt;
            c.domain = d;
            c.hostOnly = false;
        } else if (key == "path") {
            if (!val.empty() && val[0] == '/') c.path = val;
        } else if (key == "secure") {
            c.secure = true;
        } else if (key == "httponly") {
            c.httpOnly = true;
        }
    }
    c.expiresDate = maxAgeDate ? maxAgeDate : expires;
    return c;
}

int monthIndex(std::string_view token) {
    static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3) return -1;
    std::string lower = foundation::toLower(token.substr(0, 3));
    for (int i = 0; i < 12; ++i)
        if (lower == months[i]) return i;
    return -1;
}

}  // namespace

std::optional<double> parseCookieDate(const std::string& text) {
    // Tokens separated by anything but letters, digits and ':'.
    std::vector<std::string> tokens;
    std::string cur;
    for (char ch : text) {
        if (std::isalnum(uint8_t(ch)) || ch == ':') {
            cur.push_back(ch);
        } else if (!cur.empty()) {
            tokens.push_back(cur);
            cur.clear();
        }
    }
    if (!cur.empty()) tokens.push_back(cur);
    int hour = -1, minute = -1, second = -1, day = -1, month = -1, year = -1;
    for (const std::string& t : tokens) {
        int h, m, s;
        char tail;
        if (hour < 0 && std::sscanf(t.c_str(), "%2d:%2d:%2d%c", &h, &m, &s, &tail) == 3) {
            hour = h, minute = m, second = s;
        } else if (day < 0 && t.size() <= 2 && std::isdigit(uint8_t(t[0])) &&
                   t.find_first_not_of("0123456789") == std::string::npos) {
            day = std::atoi(t.c_str());
        } else if (month < 0 && monthIndex(t) >= 0 && std::isalpha(uint8_t(t[0]))) {
            month = monthIndex(t);
        } else if (year < 0 && t.size() >= 2 && t.size() <= 4 &&
                   t.find_first_not_of("0123456789") == std::string::npos) {
            year = std::atoi(t.c_str());
        }
    }
    if (year >= 70 && year <= 99) year += 1900;
    if (year >= 0 && year <= 69) year += 2000;
    if (hour < 0 || day < 1 || day > 31 || month < 0 || year < 1601 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return double(timegm(&tm));
}

std::vector<HttpCookie> HttpCookie::cookiesWithResponseHeaderFields(const std::vector<std::string>& values,
                                                                    const Url& url) {
    std::vector<HttpCookie> out;
    double now = foundation::clock().now();
    for (const std::string& v : values)
        if (auto c = parseOne(v, url, now)) out.push_back(std::move(*c));
    return out;
}

bool HttpCookie::matches(const Url& url) const {
    if (secure && url.scheme() != "https") return false;
    if (hostOnly ? url.host() != domain : !domainMatches(url.host(), domain)) return false;
    std::string path = url.path().empty() ? "/" : url.path();
    return pathMatches(path, this->path);
}

HttpCookieStorage& HttpCookieStorage::shared() {
    static HttpCookieStorage* storage = [] {
        auto* s = new HttpCookieStorage();
        foundation::registerResetter("net.cookies", foundation::ResetPhase::Service, [s] { s->removeAllCookies(); });
        return s;
    }();
    return *storage;
}

void HttpCookieStorage::setCookies(const std::vector<HttpCookie>& cookies, const Url&) {
    for (const auto& c : cookies) setCookie(c);
}

void HttpCookieStorage::setCookie(const HttpCookie& cookie) {
    if (cookie.name.size() + cookie.value.size() > kMaxCookieBytes) return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(cookies_, [&](const Stored& c) { return c.cookie.sameIdentity(cookie); });
    double now = foundation::clock().now();
    if (cookie.isExpired(now)) return;
    cookies_.push_back(Stored{cookie, ++useCounter_});
    evictOver(now);
}

// Keeps the new cookie's domain and the whole store within their limits.
void HttpCookieStorage::evictOver(double now) {
    const std::string& domain = cookies_.back().cookie.domain;
    size_t inDomain = size_t(
        std::count_if(cookies_.begin(), cookies_.end(), [&](const Stored& c) { return c.cookie.domain == domain; }));
    if (inDomain <= kMaxCookiesPerDomain && cookies_.size() <= kMaxCookies) return;
    std::erase_if(cookies_, [&](const Stored& c) { return c.cookie.isExpired(now); });
    auto removeLeastRecent = [&](const std::string* onlyDomain) {
        auto victim = cookies_.end();
        for (auto it = cookies_.begin(); it != cookies_.end(); ++it) {
            if (onlyDomain && it->cookie.domain != *onlyDomain) continue;
            if (victim == cookies_.end() || it->lastUsed < victim->lastUsed) victim = it;
        }
        if (victim != cookies_.end()) cookies_.erase(victim);
    };
    const std::string kept = domain;  // `domain` refers into the vector
    inDomain = size_t(
        std::count_if(cookies_.begin(), cookies_.end(), [&](const Stored& c) { return c.cookie.domain == kept; }));
    for (; inDomain > kMaxCookiesPerDomain; --inDomain) removeLeastRecent(&kept);
    while (cookies_.size() > kMaxCookies) removeLeastRecent(nullptr);
}

void HttpCookieStorage::deleteCookie(const HttpCookie& cookie) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(cookies_, [&](const Stored& c) { return c.cookie.sameIdentity(cookie); });
}

std::vector<HttpCookie> HttpCookieStorage::cookiesForURL(const Url& url) const {
    std::lock_guard<std::mutex> lock(mutex_);
    double now = foundation::clock().now();
    std::vector<HttpCookie> out;
    for (const auto& c : cookies_) {
        if (c.cookie.isExpired(now) || !c.cookie.matches(url)) continue;
        c.lastUsed = ++useCounter_;
        out.push_back(c.cookie);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const HttpCookie& a, const HttpCookie& b) { return a.path.size() > b.path.size(); });
    return out;
}

std::vector<HttpCookie> HttpCookieStorage::cookies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HttpCookie> out;
    out.reserve(cookies_.size());
    for (const auto& c : cookies_) out.push_back(c.cookie);
    return out;
}

void HttpCookieStorage::removeAllCookies() {
    std::lock_guard<std::mutex> lock(mutex_);
    cookies_.clear();
}

}  // namespace net
