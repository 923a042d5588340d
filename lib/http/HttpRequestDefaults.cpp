// Class-wide defaults and small helpers of HttpRequest: time-out, user agent,
// MIME types, Base64, HTTP dates, cache expiry and Content-Type parsing.
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "lib/http/HttpRequest.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Time.h"

namespace http {
namespace {

std::mutex& defaultsMutex() {
    static std::mutex* m = new std::mutex();
    return *m;
}
std::atomic<double> gDefaultTimeOut{10.0};
bool gUserAgentBuilt = false;
std::optional<std::string> gUserAgent;
// The agent is built again from the device facts of the next case.
[[maybe_unused]] const bool gRegistered =
    (foundation::registerResetter("http.requestDefaults", foundation::ResetPhase::Service,
                                  [] {
                                      std::lock_guard<std::mutex> lock(defaultsMutex());
                                      gDefaultTimeOut.store(10.0);
                                      gUserAgentBuilt = false;
                                      gUserAgent.reset();
                                  }),
     true);

const std::map<std::string, std::string>& mimeTable() {
    static const std::map<std::string, std::string>* table = [] {
        auto* t = new std::map<std::string, std::string>();
        std::ifstream in("/etc/mime.types");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream words(line);
            std::string type, ext;
            if (!(words >> type)) continue;
            while (words >> ext) t->emplace(foundation::toLower(ext), type);
        }
        if (t->empty()) {
            // Without the system table, the common types.
            *t = {{"html", "text/html"},      {"htm", "text/html"},      {"txt", "text/plain"},
                  {"css", "text/css"},        {"js", "text/javascript"}, {"json", "application/json"},
                  {"xml", "application/xml"}, {"png", "image/png"},      {"jpg", "image/jpeg"},
                  {"jpeg", "image/jpeg"},     {"gif", "image/gif"},      {"pdf", "application/pdf"},
                  {"zip", "application/zip"}, {"mp3", "audio/mpeg"},     {"plist", "application/xml"}};
        }
        return t;
    }();
    return *table;
}

}  // namespace

double HttpRequest::defaultTimeOutSeconds() { return gDefaultTimeOut.load(); }
void HttpRequest::setDefaultTimeOutSeconds(double seconds) { gDefaultTimeOut.store(seconds); }

std::optional<std::string> HttpRequest::buildUserAgentString(const std::string& name, const std::string& shortVersion,
                                                             const std::string& bundleVersion, const std::string& model,
                                                             const std::string& systemName,
                                                             const std::string& systemVersion,
                                                             const std::string& locale) {
    if (name.empty()) return std::nullopt;
    std::string version;
    if (!shortVersion.empty() && !bundleVersion.empty() && shortVersion != bundleVersion)
        version = shortVersion + " rv:" + bundleVersion;
    else
        version = !shortVersion.empty() ? shortVersion : bundleVersion;
    return name + " " + version + " (" + model + "; " + systemName + " " + systemVersion + "; " + locale + ")";
}

std::optional<std::string> HttpRequest::defaultUserAgentString() {
    std::lock_guard<std::mutex> lock(defaultsMutex());
    if (!gUserAgentBuilt) {
        const foundation::DeviceInfo& d = foundation::device();
        // The app has one version text; it serves as both versions.
        gUserAgent = buildUserAgentString(d.appName, d.appVersion, d.appVersion, d.model, d.systemName, d.systemVersion,
                                          d.locale);
        gUserAgentBuilt = true;
    }
    return gUserAgent;
}

void HttpRequest::setDefaultUserAgentString(std::optional<std::string> agent) {
    std::lock_guard<std::mutex> lock(defaultsMutex());
    gUserAgent = std::move(agent);
    gUserAgentBuilt = true;
}

std::optional<std::string> HttpRequest::mimeTypeForFileAtPath(const std::string& path) {
    if (!foundation::fileExists(path)) return std::nullopt;
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "application/octet-stream";
    auto& table = mimeTable();
    auto it = table.find(foundation::toLower(path.substr(dot + 1)));
    return it == table.end() ? "application/octet-stream" : it->second;
}

std::string HttpRequest::base64forData(const Bytes& data) { return foundation::base64Encode(data); }

std::optional<double> HttpRequest::dateFromRFC1123String(const std::string& text) {
    // "[EEE, ]dd MMM yyyy HH:mm[:ss] zone"; the weekday is read past (the
    // date decides), the zone is GMT/UTC/UT or +hhmm / -hhmm.
    std::string_view s = text;
    bool hasComma = s.find(',') != std::string_view::npos;
    size_t colons = 0;
    for (char c : s) colons += c == ':';
    if (hasComma) {
        size_t comma = s.find(',');
        std::string weekday = foundation::toLower(foundation::trim(s.substr(0, comma)));
        static const char* days[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
        bool known = false;
        for (const char* d : days) known = known || weekday == d;
        if (!known) return std::nullopt;
        s.remove_prefix(comma + 1);
        if (s.empty() || s[0] != ' ') return std::nullopt;
        s.remove_prefix(1);
    }
    std::istringstream in{std::string(s)};
    int day, year, hour, minute, second = 0;
    std::string month, zone;
    char c1, c2 = ':';
    if (!(in >> day >> month >> year >> hour >> c1 >> minute) || c1 != ':') return std::nullopt;
    if (colons == 2 && !(in >> c2 >> second)) return std::nullopt;
    if (c2 != ':' || !(in >> zone)) return std::nullopt;
    std::string rest;
    if (in >> rest) return std::nullopt;
    static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    int m = 0;
    for (int i = 0; i < 12; ++i)
        if (foundation::toLower(month) == months[i]) m = i + 1;
    if (m == 0 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 || hour < 0 || minute < 0 ||
        second < 0)
        return std::nullopt;
    int offset = 0;
    std::string z = foundation::toUpper(zone);
    if (z == "GMT" || z == "UTC" || z == "UT" || z == "Z") {
        offset = 0;
    } else if ((z[0] == '+' || z[0] == '-') && z.size() == 5 && std::isdigit(static_cast<unsigned char>(z[1]))) {
        int hh = std::stoi(z.substr(1, 2)), mm = std::stoi(z.substr(3, 2));
        offset = (hh * 3600 + mm * 60) * (z[0] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    int64_t days = foundation::daysFromCivil(year, unsigned(m), unsigned(day));
    return double(days * 86400 + hour * 3600 + minute * 60 + second - offset);
}

std::optional<double> HttpRequest::expiryDateForRequest(const HttpRequest& request, double maxAge) {
    auto headers = request.responseHeaders();
    if (maxAge == 0 && headers) {
        auto it = headers->find("Cache-Control");
        if (it != headers->end()) {
            std::string cc = foundation::toLower(it->second);
            size_t p = cc.find("max-age");
            if (p != std::string::npos) {
                p += 7;
                while (p < cc.size() && cc[p] == ' ') ++p;
                if (p < cc.size() && cc[p] == '=') maxAge = std::strtod(cc.c_str() + p + 1, nullptr);
            }
        }
    }
    if (maxAge != 0) return foundation::clock().now() + maxAge;
    if (headers) {
        auto it = headers->find("Expires");
        if (it != headers->end()) return dateFromRFC1123String(it->second);
    }
    return std::nullopt;
}

HttpRequest::ContentType HttpRequest::parseMimeType(const std::optional<std::string>& contentType) {
    ContentType out;
    if (!contentType) return out;
    const std::string& text = *contentType;
    size_t semi = text.find(';');
    if (semi != std::string::npos && semi + 1 < text.size()) {
        out.mimeType = foundation::trim(text.substr(0, semi));
        size_t cs = text.find("charset=", semi);
        if (cs != std::string::npos) {
            size_t start = cs + 8;
            size_t end = text.find(';', start);
            out.encoding = encodingForCharsetName(text.substr(start, end == std::string::npos ? end : end - start));
        }
    } else {
        out.mimeType = foundation::trim(text);
    }
    return out;
}

}  // namespace http
