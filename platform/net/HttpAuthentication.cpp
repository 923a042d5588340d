#include "platform/net/HttpAuthentication.h"

#include <random>
#include <vector>

#include "platform/crypto/Digest.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Text.h"

namespace net {
namespace {

struct Challenge {
    std::string scheme;
    std::vector<std::pair<std::string, std::string>> params;
    const std::string* param(std::string_view name) const {
        for (const auto& [k, v] : params)
            if (foundation::equalsIgnoreCase(k, name)) return &v;
        return nullptr;
    }
};

bool isTokenChar(char c) {
    return std::isalnum(uint8_t(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// "Digest realm="a", nonce="b", Basic realm="c"" -> two challenges.
std::vector<Challenge> parseChallenges(std::string_view s) {
    std::vector<Challenge> out;
    size_t i = 0;
    auto skipSpace = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    };
    auto token = [&] {
        size_t start = i;
        while (i < s.size() && isTokenChar(s[i])) ++i;
        return std::string(s.substr(start, i - start));
    };
    while (i < s.size()) {
        skipSpace();
        if (i < s.size() && s[i] == ',') {
            ++i;
            continue;
        }
        std::string t = token();
        if (t.empty()) {
            ++i;
            continue;
        }
        skipSpace();
        if (i < s.size() && s[i] == '=' && !out.empty()) {
            // a parameter of the current challenge
            ++i;
            skipSpace();
            std::string value;
            if (i < s.size() && s[i] == '"') {
                ++i;
                while (i < s.size() && s[i] != '"') {
                    if (s[i] == '\\' && i + 1 < s.size()) ++i;
                    value.push_back(s[i++]);
                }
                if (i < s.size()) ++i;
            } else {
                size_t start = i;
                while (i < s.size() && s[i] != ',') ++i;
                value = foundation::trim(s.substr(start, i - start));
            }
            out.back().params.emplace_back(t, value);
        } else if (i < s.size() && s[i] == '=') {
            // token68 or junk before any scheme
            while (i < s.size() && s[i] != ',') ++i;
        } else {
            out.push_back(Challenge{t, {}});
        }
    }
    return out;
}

std::string md5Hex(const std::string& s) { return crypto::hex(crypto::md5(s)); }

bool headerSafe(std::string_view s) { return isValidHeaderValue(s); }

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string newCnonce() {
    static std::mutex m;
    static std::random_device rd;
    std::lock_guard<std::mutex> lock(m);
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        uint32_t v = rd();
        bytes.append(reinterpret_cast<const char*>(&v), 4);
    }
    return foundation::toHex(bytes);
}

}  // namespace

std::shared_ptr<HttpAuthentication> HttpAuthentication::createFromResponse(const HttpResponseHead& response) {
    bool proxy = response.statusCode == 407;
    if (response.statusCode != 401 && !proxy) return nullptr;
    std::vector<Challenge> all;
    for (const std::string& v : response.headers.values(proxy ? "Proxy-Authenticate" : "WWW-Authenticate")) {
        auto some = parseChallenges(v);
        all.insert(all.end(), some.begin(), some.end());
    }
    const Challenge* digest = nullptr;
    const Challenge* basic = nullptr;
    const Challenge* ntlm = nullptr;
    for (const auto& c : all) {
        if (foundation::equalsIgnoreCase(c.scheme, "Digest") && !digest) {
            const std::string* alg = c.param("algorithm");
            const std::string* qop = c.param("qop");
            bool algOk =
                !alg || foundation::equalsIgnoreCase(*alg, "MD5") || foundation::equalsIgnoreCase(*alg, "MD5-sess");
            bool qopOk = !qop;
            if (qop)
                for (const auto& q : foundation::split(*qop, ","))
                    if (foundation::trim(q) == "auth") qopOk = true;
            if (algOk && qopOk && c.param("nonce")) digest = &c;
        } else if (foundation::equalsIgnoreCase(c.scheme, "Basic") && !basic) {
            basic = &c;
        } else if ((foundation::equalsIgnoreCase(c.scheme, "NTLM") ||
                    foundation::equalsIgnoreCase(c.scheme, "Negotiate")) &&
                   !ntlm) {
            ntlm = &c;
        }
    }
    const Challenge* chosen = digest ? digest : basic ? basic : ntlm;
    if (!chosen) return nullptr;
    std::shared_ptr<HttpAuthentication> a(new HttpAuthentication());
    a->proxy_ = proxy;
    if (chosen == digest) {
        a->scheme_ = kHttpAuthenticationSchemeDigest;
        a->nonce_ = *digest->param("nonce");
        if (auto* o = digest->param("opaque")) a->opaque_ = *o, a->hasOpaque_ = true;
        if (auto* alg = digest->param("algorithm")) a->algorithm_ = *alg;
        if (digest->param("qop")) a->qop_ = "auth";
    } else if (chosen == basic) {
        a->scheme_ = kHttpAuthenticationSchemeBasic;
    } else {
        a->scheme_ = kHttpAuthenticationSchemeNTLM;
        a->error_ = Error::Unsupported;
    }
    if (auto* r = chosen->param("realm")) a->realm_ = *r;
    return a;
}

bool HttpAuthentication::isValid(Error* error) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (error) *error = error_;
    return error_ == Error::None;
}

std::string HttpAuthentication::digestResponse(const std::string& algorithm, const std::string& username,
                                               const std::string& realm, const std::string& password,
                                               const std::string& method, const std::string& uri,
                                               const std::string& nonce, const std::string& nc,
                                               const std::string& cnonce, const std::string& qop) {
    std::string ha1 = md5Hex(username + ":" + realm + ":" + password);
    if (foundation::equalsIgnoreCase(algorithm, "MD5-sess")) ha1 = md5Hex(ha1 + ":" + nonce + ":" + cnonce);
    std::string ha2 = md5Hex(method + ":" + uri);
    if (qop.empty()) return md5Hex(ha1 + ":" + nonce + ":" + ha2);
    return md5Hex(ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":" + qop + ":" + ha2);
}

bool HttpAuthentication::applyCredentials(HttpMessage& message, const Credentials& c) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (error_ != Error::None) return false;
    if (!headerSafe(c.username) || !headerSafe(c.password)) return false;
    const char* field = proxy_ ? "Proxy-Authorization" : "Authorization";
    std::string value;
    if (scheme_ == kHttpAuthenticationSchemeBasic) {
        value = "Basic " + foundation::base64Encode(c.username + ":" + c.password);
    } else {
        std::string uri = message.url().requestTarget();
        std::string realm = realm_.value_or("");
        std::string nc = foundation::format("%08x", ++nonceCount_);
        std::string cnonce = newCnonce();
        std::string response =
            digestResponse(algorithm_, c.username, realm, c.password, message.method(), uri, nonce_, nc, cnonce, qop_);
        value = "Digest username=" + quote(c.username) + ", realm=" + quote(realm) + ", nonce=" + quote(nonce_) +
                ", uri=" + quote(uri) + ", response=" + quote(response);
        if (!algorithm_.empty()) value += ", algorithm=" + algorithm_;
        if (hasOpaque_) value += ", opaque=" + quote(opaque_);
        if (!qop_.empty()) value += ", qop=" + qop_ + ", nc=" + nc + ", cnonce=" + quote(cnonce);
    }
    if (!message.setHeaderField(field, value)) return false;
    applied_ = true;
    return true;
}

void HttpAuthentication::updateFromResponse(const HttpResponseHead& response) {
    auto fresh = createFromResponse(response);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!applied_ || error_ != Error::None) return;
    if (fresh && scheme_ == kHttpAuthenticationSchemeDigest && fresh->scheme_ == scheme_) {
        bool stale = false;
        for (const std::string& v : response.headers.values(proxy_ ? "Proxy-Authenticate" : "WWW-Authenticate"))
            for (const auto& ch : parseChallenges(v))
                if (foundation::equalsIgnoreCase(ch.scheme, "Digest"))
                    if (auto* s = ch.param("stale")) stale = stale || foundation::equalsIgnoreCase(*s, "true");
        if (stale) {
            nonce_ = fresh->nonce_;
            nonceCount_ = 0;
            return;
        }
    }
    error_ = Error::BadPassword;
}

}  // namespace net
