#pragma once
// Absolute URLs: parsing, resolving a relative reference against a base, and
// the pieces an HTTP client needs (scheme, host, port, path with query).

#include <optional>
#include <string>
#include <string_view>

namespace net {

class Url {
public:
    // Parses an absolute URL ("scheme://[user[:password]@]host[:port][/path][?query][#fragment]").
    // nullopt when the text is not one: no scheme, no "//" authority, an empty
    // host (except for file URLs, "file:///path"), a bad port, or white space / control bytes anywhere.
    static std::optional<Url> parse(std::string_view text);
    // Resolves a reference (absolute, "//host/...", "/path", "path", "?q",
    // "#f") against this URL, following RFC 3986 section 5.
    std::optional<Url> resolve(std::string_view reference) const;

    // The text the URL was made from, when parsed (resolved URLs are rebuilt).
    const std::string& absoluteString() const { return text_; }
    const std::string& scheme() const { return scheme_; }  // lower case
    const std::string& host() const { return host_; }      // lower case; IPv6 without brackets
    // The port written in the URL, if any.
    std::optional<int> port() const { return port_; }
    // The written port, else 80 for http and 443 for https (0 when unknown).
    int effectivePort() const;
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    bool hasUserInfo() const { return hasUserInfo_; }
    // Path as written ("" when the URL has none).
    const std::string& path() const { return path_; }
    const std::optional<std::string>& query() const { return query_; }
    const std::optional<std::string>& fragment() const { return fragment_; }

    // What goes on the request line: path ("/" when empty) plus "?query".
    std::string requestTarget() const;
    // "host" or "host:port" (brackets around IPv6), as the Host header wants it:
    // the port only when written and not the scheme's default.
    std::string hostHeader() const;

    bool operator==(const Url& o) const { return text_ == o.text_; }
    bool operator!=(const Url& o) const { return !(*this == o); }

private:
    std::string rebuild() const;
    std::string text_;
    std::string scheme_;
    std::string user_, password_;
    bool hasUserInfo_ = false;
    std::string host_;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

}  // namespace net
