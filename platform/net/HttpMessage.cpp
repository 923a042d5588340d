#include "platform/net/HttpMessage.h"

#include <cctype>

namespace net {
namespace {

char lowerChar(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerChar(a[i]) != lowerChar(b[i])) return false;
    return true;
}

// Whether a comma-separated list holds the token (without regard to case).
bool listHasToken(std::string_view list, std::string_view token) {
    size_t i = 0;
    while (i <= list.size()) {
        size_t j = list.find(',', i);
        if (j == std::string_view::npos) j = list.size();
        std::string_view item = list.substr(i, j - i);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
        if (equalsNoCase(item, token)) return true;
        i = j + 1;
    }
    return false;
}

}  // namespace

bool CaseInsensitiveLess::operator()(std::string_view a, std::string_view b) const {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char x = lowerChar(a[i]), y = lowerChar(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

bool isHttpToken(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u)) continue;
        switch (c) {
            case '!':
            case '#':
            case '$':
            case '%':
            case '&':
            case '\'':
            case '*':
            case '+':
            case '-':
            case '.':
            case '^':
            case '_':
            case '`':
            case '|':
            case '~':
                continue;
            default:
                return false;
        }
    }
    return true;
}

bool isValidHeaderValue(std::string_view s) {
    for (char c : s)
        if (c == '\r' || c == '\n' || c == '\0') return false;
    return true;
}

void HeaderFields::set(std::string_view name, std::string_view value) {
    bool found = false;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (equalsNoCase(it->first, name)) {
            if (!found) {
                it->second = std::string(value);
                found = true;
                ++it;
            } else {
                it = entries_.erase(it);
            }
        } else {
            ++it;
        }
    }
    if (!found) entries_.emplace_back(std::string(name), std::string(value));
}

void HeaderFields::add(std::string_view name, std::string_view value) {
    entries_.emplace_back(std::string(name), std::string(value));
}

void HeaderFields::appendToLast(std::string_view more) {
    if (entries_.empty() || more.empty()) return;
    if (!entries_.back().second.empty()) entries_.back().second += ' ';
    entries_.back().second += more;
}

bool HeaderFields::remove(std::string_view name) {
    size_t before = entries_.size();
    std::erase_if(entries_, [&](const auto& e) { return equalsNoCase(e.first, name); });
    return entries_.size() != before;
}

const std::string* HeaderFields::get(std::string_view name) const {
    for (const auto& e : entries_)
        if (equalsNoCase(e.first, name)) return &e.second;
    return nullptr;
}

std::vector<std::string> HeaderFields::values(std::string_view name) const {
    std::vector<std::string> out;
    for (const auto& e : entries_)
        if (equalsNoCase(e.first, name)) out.push_back(e.second);
    return out;
}

HeaderDictionary HeaderFields::dictionary() const {
    HeaderDictionary d;
    for (const auto& [name, value] : entries_) {
        auto it = d.find(name);
        if (it == d.end())
            d.emplace(name, value);
        else
            it->second += ", " + value;
    }
    return d;
}

std::optional<HttpMessage> HttpMessage::createRequest(std::string_view method, const Url& url,
                                                      std::string_view version) {
    if (!isHttpToken(method)) return std::nullopt;
    if (url.scheme() != "http" && url.scheme() != "https") return std::nullopt;
    if (version != "HTTP/1.0" && version != "HTTP/1.1") return std::nullopt;
    return HttpMessage(std::string(method), url, std::string(version));
}

bool HttpMessage::setHeaderField(std::string_view name, std::string_view value) {
    if (!isHttpToken(name) || !isValidHeaderValue(value)) return false;
    headers_.set(name, value);
    return true;
}

std::string HttpMessage::serializeHead(std::optional<size_t> bodyLength) const {
    std::string out;
    out.reserve(256);
    out += method_;
    out += ' ';
    out += url_.requestTarget();
    out += ' ';
    out += version_;
    out += "\r\n";
    if (!headers_.get("Host")) {
        out += "Host: ";
        out += url_.hostHeader();
        out += "\r\n";
    }
    for (const auto& [name, value] : headers_.entries()) {
        out += name;
        out += ": ";
        out += value;
        out += "\r\n";
    }
    if (bodyLength && !headers_.get("Content-Length")) out += "Content-Length: " + std::to_string(*bodyLength) + "\r\n";
    out += "\r\n";
    return out;
}

bool HttpResponseHead::allowsKeepAlive() const {
    auto all = headers.values("Connection");
    for (const auto& v : all)
        if (listHasToken(v, "close")) return false;
    if (isHttp10()) {
        for (const auto& v : all)
            if (listHasToken(v, "keep-alive")) return true;
        return false;
    }
    return versionMajor == 1;
}

}  // namespace net
