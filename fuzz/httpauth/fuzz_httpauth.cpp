// Feeds arbitrary server text to the two readers of untrusted header values:
// the challenge reader (first line, as "WWW-Authenticate" of a 401) and the
// cookie reader (the other lines, as "Set-Cookie" values). Checks what they
// promise: an answered challenge writes one header value without CR, LF or
// NUL, and every cookie has a name and a domain that covers the host.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/net/HttpCookie.h"

static void check(bool ok) {
    if (!ok) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = foundation::split(text, "\n");
    if (lines.empty()) return 0;

    net::HttpResponseHead head;
    head.statusCode = 401;
    head.headers.add("WWW-Authenticate", lines[0]);
    if (auto challenge = net::HttpAuthentication::createFromResponse(head)) {
        auto url = net::Url::parse("http://example.com/dir/page?q=1");
        auto message = net::HttpMessage::createRequest("GET", *url);
        net::Credentials credentials{"user", lines.size() > 1 ? lines[1] : "pw", std::nullopt};
        if (challenge->applyCredentials(*message, credentials)) {
            const std::string* value = message->headerField("Authorization");
            check(value != nullptr);
            check(net::isValidHeaderValue(*value));
        }
        challenge->updateFromResponse(head);
    }

    auto from = net::Url::parse("http://www.example.com/a/b");
    std::vector<std::string> values(lines.begin() + 1, lines.end());
    for (const auto& cookie : net::HttpCookie::cookiesWithResponseHeaderFields(values, *from)) {
        check(!cookie.name.empty());
        check(cookie.domain == "www.example.com" || cookie.domain == "example.com");
        check(!cookie.path.empty() && cookie.path[0] == '/');
    }
    (void)net::parseCookieDate(lines[0]);
    return 0;
}
