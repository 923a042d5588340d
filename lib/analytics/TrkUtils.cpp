#include "lib/analytics/TrkUtils.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <random>

#include "lib/analytics/TrkTracker.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Resetters.h"

namespace {

std::mutex& randomMutex() {
    static std::mutex m;
    return m;
}

std::mt19937& randomEngine() {
    static std::mt19937 engine{std::random_device{}()};
    return engine;
}

// Keeps only what may stand unescaped in "utmul" and the User-Agent.
std::string sanitizeLocaleText(const std::string& text) {
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-') out += static_cast<char>(std::tolower(u));
    }
    return out;
}

}  // namespace

int64_t TrkUtils::currentTimeMillis() { return timeMillisForDate(foundation::clock().now()); }

int64_t TrkUtils::timeMillisForDate(double secondsSince1970) {
    return static_cast<int64_t>(std::trunc(secondsSince1970 * 1000.0));
}

std::string TrkUtils::systemLanguage() {
    const std::string language = foundation::device().language;
    std::vector<std::string> languages;
    if (!language.empty()) languages.push_back(language);
    std::string result = sanitizeLocaleText(systemLanguageFromLanguages(languages));
    return result.empty() ? "en" : result;
}

std::string TrkUtils::systemLanguageFromLanguages(const std::vector<std::string>& languages) {
    if (languages.empty()) return "en";
    std::string out = languages.front();
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string TrkUtils::systemCountry() {
    return sanitizeLocaleText(systemCountryFromLocale(foundation::device().locale));
}

std::string TrkUtils::systemCountryFromLocale(const std::string& locale) {
    // language[_COUNTRY][.codeset][@modifier]
    size_t underscore = locale.find_first_of("_-");
    if (underscore == std::string::npos) return "";
    size_t end = locale.find_first_of(".@", underscore + 1);
    std::string country =
        locale.substr(underscore + 1, end == std::string::npos ? std::string::npos : end - underscore - 1);
    for (char& c : country) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return country;
}

std::string TrkUtils::urlEncode(const std::string& text) {
    return foundation::percentEscape(text, foundation::kPercentKeepMarks);
}

std::optional<std::string> TrkUtils::urlEncodeString(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return urlEncode(*text);
}

std::string TrkUtils::addQueueTimeParameter(const std::string& hit, int64_t currentTimeMillis) {
    static const std::string marker = "utmht=";
    size_t first = hit.find(marker);
    if (first == std::string::npos) return hit;
    if (hit.find(marker, first + marker.size()) != std::string::npos) return hit;  // more than two parts
    std::string rest = hit.substr(first + marker.size());
    // A signed 64-bit decimal integer at the start of the rest (leading
    // blanks allowed, as a number scanner reads it).
    const char* begin = rest.c_str();
    char* endPtr = nullptr;
    errno = 0;
    long long sent = std::strtoll(begin, &endPtr, 10);
    bool read = endPtr != begin && errno != ERANGE;
    if (read && sent > 0) {
        return hit + "&utmqt=" + std::to_string(currentTimeMillis - sent);
    }
    foundation::log("Error parsing utmht parameter: ", rest);
    return hit;
}

std::map<std::string, std::optional<std::string>> TrkUtils::paramsFromQuery(const std::optional<std::string>& query) {
    std::map<std::string, std::optional<std::string>> params;
    if (!query) return params;
    size_t pos = 0;
    while (true) {
        size_t amp = query->find('&', pos);
        std::string part = query->substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        size_t eq = part.find('=');
        if (eq == std::string::npos) {
            params[part] = std::nullopt;
        } else {
            params[part.substr(0, eq)] = part.substr(eq + 1);
        }
        if (amp == std::string::npos) break;
        pos = amp + 1;
    }
    return params;
}

int32_t TrkUtils::random31() {
    std::lock_guard<std::mutex> lock(randomMutex());
    return static_cast<int32_t>(randomEngine()() & 0x7fffffffu);
}

uint32_t TrkUtils::random32() {
    std::lock_guard<std::mutex> lock(randomMutex());
    return static_cast<uint32_t>(randomEngine()());
}

// ---- ad hit ids

TrkAdNetInfo& TrkAdNetInfo::sharedTrkAdNetInfo() {
    static TrkAdNetInfo* info = [] {
        auto* made = new TrkAdNetInfo();  // lives for the process
        foundation::registerResetter("analytics.adNetInfo", foundation::ResetPhase::SharedObject,
                                     [made] { made->setAdHitId(0); });
        return made;
    }();
    return *info;
}

int32_t TrkAdNetInfo::adHitId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return adHitId_;
}

void TrkAdNetInfo::setAdHitId(int32_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    adHitId_ = id;
}

int32_t TrkAdNetInfo::generateHitId() {
    int32_t id = static_cast<int32_t>(TrkUtils::random32());
    setAdHitId(id);
    return id;
}

std::optional<std::string> TrkAdNetInfo::joinId() {
    int32_t id = adHitId();
    if (id == 0) return std::nullopt;
    TrkTracker& tracker = TrkTracker::sharedTracker();
    std::optional<std::string> visitor = tracker.visitorIDForAds();
    std::optional<std::string> session = tracker.sessionIDForAds();
    if (!visitor || !session) return std::nullopt;
    return "A," + *visitor + "," + *session + "," + std::to_string(id);
}

TrkAdHitIdGenerator::TrkAdHitIdGenerator() : adSdkInstalled_(false) {}
// The ad library is found by its classes at run time on the phone; no such
// library exists in this process.

TrkAdHitIdGenerator::TrkAdHitIdGenerator(bool adSdkInstalled) : adSdkInstalled_(adSdkInstalled) {}

int32_t TrkAdHitIdGenerator::adHitId() {
    if (!adSdkInstalled_) return 0;
    return TrkAdNetInfo::sharedTrkAdNetInfo().generateHitId();
}

// ---- opt-out

namespace {

struct OptOutState {
    std::mutex mutex;
    TrkOptOut::OptOutClass injected;
    TrkOptOutImpl::Probe probe;
    double lastProbe = 0;
    bool answer = false;
};

OptOutState& optOutState() {
    static OptOutState* state = [] {
        auto* made = new OptOutState();
        foundation::registerResetter("analytics.optOut", foundation::ResetPhase::SharedObject, [made] {
            std::lock_guard<std::mutex> lock(made->mutex);
            made->injected = nullptr;
            made->probe = nullptr;
            made->lastProbe = 0;
            made->answer = false;
        });
        return made;
    }();
    return *state;
}

}  // namespace

bool TrkOptOut::isOptOutAppPresent() {
    TrkOptOut::OptOutClass injected;
    {
        std::lock_guard<std::mutex> lock(optOutState().mutex);
        injected = optOutState().injected;
    }
    if (injected) return injected();
    return TrkOptOutImpl::isOptOutAppPresent();
}

void TrkOptOut::injectOptOutClass(OptOutClass optOut) {
    std::lock_guard<std::mutex> lock(optOutState().mutex);
    optOutState().injected = std::move(optOut);
}

bool TrkOptOutImpl::isOptOutAppPresent() {
    OptOutState& state = optOutState();
    std::lock_guard<std::mutex> lock(state.mutex);
    double now = foundation::clock().now();
    if (now - state.lastProbe >= 600 || state.lastProbe == 0) {
        state.answer = state.probe ? state.probe() : false;
        state.lastProbe = now;
    }
    return state.answer;
}

void TrkOptOutImpl::setProbe(Probe probe) {
    std::lock_guard<std::mutex> lock(optOutState().mutex);
    optOutState().probe = std::move(probe);
}

void TrkOptOutImpl::resetCache() {
    std::lock_guard<std::mutex> lock(optOutState().mutex);
    optOutState().lastProbe = 0;
    optOutState().answer = false;
}
