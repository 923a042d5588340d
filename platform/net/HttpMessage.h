#pragma once
// HTTP/1.x messages: header fields, the request message a client sends, and
// the head of a response.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/net/Url.h"

namespace net {

struct CaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// Header name -> value, names compared without regard to case. Repeated
// fields of a response are joined with ", " (Set-Cookie too; see
// HttpResponseHead::values for the separate values).
using HeaderDictionary = std::map<std::string, std::string, CaseInsensitiveLess>;

bool isHttpToken(std::string_view s);
// A header value may hold neither CR, LF nor NUL.
bool isValidHeaderValue(std::string_view s);

// Header fields in the order they were set; lookups ignore case.
class HeaderFields {
public:
    // Replaces the first field of that name (keeping its position) and drops
    // any later one; appends when absent.
    void set(std::string_view name, std::string_view value);
    void add(std::string_view name, std::string_view value);
    bool remove(std::string_view name);
    // Adds text to the last field's value, after a space (a folded line).
    void appendToLast(std::string_view more);
    // First value of the name; nullptr when absent.
    const std::string* get(std::string_view name) const;
    std::vector<std::string> values(std::string_view name) const;
    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }
    size_t size() const { return entries_.size(); }
    HeaderDictionary dictionary() const;

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// A request message: method, URL, version and header fields.
class HttpMessage {
public:
    // nullopt when the method is not an HTTP token, the URL's scheme is
    // neither http nor https, or the version is not "HTTP/1.0" / "HTTP/1.1".
    static std::optional<HttpMessage> createRequest(std::string_view method, const Url& url,
                                                    std::string_view version = "HTTP/1.1");

    // Sets a header field. Refuses (false, nothing changed) a name that is not
    // a token and a value holding CR, LF or NUL, so no caller can split the
    // request.
    bool setHeaderField(std::string_view name, std::string_view value);
    const std::string* headerField(std::string_view name) const { return headers_.get(name); }
    const HeaderFields& headerFields() const { return headers_; }

    const std::string& method() const { return method_; }
    const Url& url() const { return url_; }
    const std::string& version() const { return version_; }
    bool isHttp10() const { return version_ == "HTTP/1.0"; }

    // The request head as it goes on the wire: request line, "Host" (unless
    // set by the caller) and the fields in order, ending with an empty line.
    // With a body length and no "Content-Length" field, one is added.
    std::string serializeHead(std::optional<size_t> bodyLength = std::nullopt) const;

private:
    HttpMessage(std::string method, Url url, std::string version)
        : method_(std::move(method)), url_(std::move(url)), version_(std::move(version)) {}
    std::string method_;
    Url url_;
    std::string version_;
    HeaderFields headers_;
};

// The head of a response: status line and header fields.
struct HttpResponseHead {
    int versionMajor = 1;
    int versionMinor = 1;
    int statusCode = 0;
    std::string statusLine;  // the whole first line, without CRLF
    std::string reason;
    HeaderFields headers;

    std::string version() const { return "HTTP/" + std::to_string(versionMajor) + "." + std::to_string(versionMinor); }
    bool isHttp10() const { return versionMajor == 1 && versionMinor == 0; }
    // Whether the server lets the connection stay open after this response:
    // not when "Connection" lists "close", and for HTTP/1.0 only when it lists
    // "keep-alive".
    bool allowsKeepAlive() const;
};

}  // namespace net
