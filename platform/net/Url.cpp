#include "platform/net/Url.h"

#include <cctype>

namespace net {
namespace {

bool isSchemeChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'; }

bool isHostChar(char c) {
    if (std::isalnum(static_cast<unsigned char>(c))) return true;
    switch (c) {
        case '-':
        case '.':
        case '_':
        case '~':
        case '%':
        case '!':
        case '$':
        case '&':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case ';':
        case '=':
            return true;
        default:
            return false;
    }
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// RFC 3986 5.2.4.
std::string removeDotSegments(std::string_view input) {
    std::string in(input), out;
    auto popSegment = [&out] {
        size_t p = out.rfind('/');
        out.erase(p == std::string::npos ? 0 : p);
    };
    while (!in.empty()) {
        if (in.rfind("../", 0) == 0) {
            in.erase(0, 3);
        } else if (in.rfind("./", 0) == 0) {
            in.erase(0, 2);
        } else if (in.rfind("/./", 0) == 0) {
            in.replace(0, 3, "/");
        } else if (in == "/.") {
            in = "/";
        } else if (in.rfind("/../", 0) == 0) {
            in.replace(0, 4, "/");
            popSegment();
        } else if (in == "/..") {
            in = "/";
            popSegment();
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            size_t j = in.find('/', in[0] == '/' ? 1 : 0);
            if (j == std::string::npos) j = in.size();
            out += in.substr(0, j);
            in.erase(0, j);
        }
    }
    return out;
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) return std::nullopt;
    }
    Url url;
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    for (size_t i = 0; i < colon; ++i)
        if (!isSchemeChar(text[i])) return std::nullopt;
    url.scheme_ = lower(text.substr(0, colon));
    std::string_view rest = text.substr(colon + 1);
    if (rest.substr(0, 2) != "//") return std::nullopt;
    rest.remove_prefix(2);

    size_t authEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authEnd);
    rest = authEnd == std::string_view::npos ? std::string_view() : rest.substr(authEnd);

    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view info = authority.substr(0, at);
        url.hasUserInfo_ = true;
        size_t c = info.find(':');
        url.user_ = std::string(info.substr(0, c));
        if (c != std::string_view::npos) url.password_ = std::string(info.substr(c + 1));
        authority.remove_prefix(at + 1);
    }
    std::string_view portText;
    if (!authority.empty() && authority[0] == '[') {
        size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        std::string_view inside = authority.substr(1, close - 1);
        if (inside.empty()) return std::nullopt;
        for (char c : inside)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return std::nullopt;
        url.host_ = lower(inside);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') return std::nullopt;
            portText = after.substr(1);
        }
    } else {
        size_t c = authority.rfind(':');
        std::string_view host = authority.substr(0, c);
        if (c != std::string_view::npos) portText = authority.substr(c + 1);
        for (char ch : host)
            if (!isHostChar(ch)) return std::nullopt;
        url.host_ = lower(host);
    }
    if (url.host_.empty() && url.scheme_ != "file") return std::nullopt;  // file:///path has no host
    if (!portText.empty()) {
        if (portText.size() > 5) return std::nullopt;
        int port = 0;
        for (char ch : portText) {
            if (!std::isdigit(static_cast<unsigned char>(ch))) return std::nullopt;
            port = port * 10 + (ch - '0');
        }
        if (port > 65535) return std::nullopt;
        url.port_ = port;
    }

    size_t hash = rest.find('#');
    if (hash != std::string_view::npos) {
        url.fragment_ = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    size_t q = rest.find('?');
    if (q != std::string_view::npos) {
        url.query_ = std::string(rest.substr(q + 1));
        rest = rest.substr(0, q);
    }
    url.path_ = std::string(rest);
    url.text_ = std::string(text);
    return url;
}

int Url::effectivePort() const {
    if (port_) return *port_;
    if (scheme_ == "http") return 80;
    if (scheme_ == "https") return 443;
    return 0;
}

std::string Url::requestTarget() const {
    std::string t = path_.empty() ? "/" : path_;
    if (query_) {
        t += '?';
        t += *query_;
    }
    return t;
}

namespace {
// The host as written in a URL: an IPv6 address in brackets.
std::string bracketedHost(const std::string& host) {
    if (host.find(':') == std::string::npos) return host;
    std::string h = "[";
    h += host;
    h += ']';
    return h;
}
}  // namespace

std::string Url::hostHeader() const {
    std::string h = bracketedHost(host_);
    bool defaultPort = (scheme_ == "http" && port_ == 80) || (scheme_ == "https" && port_ == 443);
    if (port_ && !defaultPort) {
        h += ':';
        h += std::to_string(*port_);
    }
    return h;
}

std::string Url::rebuild() const {
    std::string t = scheme_;
    t += "://";
    if (hasUserInfo_) {
        t += user_;
        if (!password_.empty()) {
            t += ':';
            t += password_;
        }
        t += "@";
    }
    t += bracketedHost(host_);
    if (port_) {
        t += ':';
        t += std::to_string(*port_);
    }
    t += path_;
    if (query_) {
        t += '?';
        t += *query_;
    }
    if (fragment_) {
        t += '#';
        t += *fragment_;
    }
    return t;
}

std::optional<Url> Url::resolve(std::string_view ref) const {
    for (char c : ref) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) return std::nullopt;
    }
    // An absolute reference stands on its own.
    size_t colon = ref.find(':');
    size_t firstDelim = ref.find_first_of("/?#");
    if (colon != std::string_view::npos && colon > 0 && (firstDelim == std::string_view::npos || colon < firstDelim) &&
        std::isalpha(static_cast<unsigned char>(ref[0]))) {
        bool schemeOk = true;
        for (size_t i = 0; i < colon; ++i) schemeOk = schemeOk && isSchemeChar(ref[i]);
        if (schemeOk) {
            auto abs = parse(ref);
            if (!abs) return std::nullopt;
            Url r = *abs;
            r.path_ = removeDotSegments(r.path_);
            r.text_ = r.rebuild();
            return r;
        }
    }
    if (ref.substr(0, 2) == "//") {
        std::string absolute = scheme_;
        absolute += ':';
        absolute += ref;
        return parse(absolute);
    }

    Url r = *this;
    r.fragment_.reset();
    std::string_view rest = ref;
    size_t hash = rest.find('#');
    std::optional<std::string> fragment;
    if (hash != std::string_view::npos) {
        fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    size_t q = rest.find('?');
    std::optional<std::string> query;
    if (q != std::string_view::npos) {
        query = std::string(rest.substr(q + 1));
        rest = rest.substr(0, q);
    }
    if (rest.empty()) {
        if (query) r.query_ = query;
    } else {
        std::string merged;
        if (rest[0] == '/') {
            merged = std::string(rest);
        } else {
            std::string basePath = path_.empty() ? "/" : path_;
            merged = basePath.substr(0, basePath.rfind('/') + 1) + std::string(rest);
        }
        r.path_ = removeDotSegments(merged);
        r.query_ = query;
    }
    r.fragment_ = fragment;
    r.text_ = r.rebuild();
    return r;
}

}  // namespace net
