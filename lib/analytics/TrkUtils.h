#pragma once
// Small services of the analytics client: time in milliseconds, the device's
// language and country, URL escaping, the queue-time parameter and query
// splitting; the ad hit ids; the opt-out test.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TrkUtils {
public:
    // Milliseconds since 1970, from the process clock.
    static int64_t currentTimeMillis();
    // Seconds since 1970 times 1000, truncated toward zero.
    static int64_t timeMillisForDate(double secondsSince1970);

    // The first preferred language in lower case; "en" when there is none.
    static std::string systemLanguage();
    static std::string systemLanguageFromLanguages(const std::vector<std::string>& languages);
    // The locale's country code in lower case ("zh_CN" -> "cn"); "" when none.
    static std::string systemCountry();
    static std::string systemCountryFromLocale(const std::string& locale);

    // Percent-escapes (UTF-8, upper-case hex) every byte except
    // A-Z a-z 0-9 - _ . ! ~ * ' ( ). nullopt for nullopt.
    static std::optional<std::string> urlEncodeString(const std::optional<std::string>& text);
    // Escapes a text that is known to be there.
    static std::string urlEncode(const std::string& text);

    // Appends "&utmqt=<now - utmht>" to a hit that carries "utmht=".
    static std::string addQueueTimeParameter(const std::string& hit, int64_t currentTimeMillis);

    // "a=1&b&c=x=y" -> {a: "1", b: nullopt (the null marker), c: "x=y"}.
    static std::map<std::string, std::optional<std::string>> paramsFromQuery(const std::optional<std::string>& query);

    // Random numbers: 31 bits (store id, "utmn") and 32 bits (ad hit ids,
    // back-off fraction).
    static int32_t random31();
    static uint32_t random32();
};

// The last ad hit id handed out, process-wide.
class TrkAdNetInfo {
public:
    static TrkAdNetInfo& sharedTrkAdNetInfo();
    int32_t adHitId() const;
    void setAdHitId(int32_t id);
    // A new random id, kept and returned.
    int32_t generateHitId();
    // "A,<visitorIDForAds>,<sessionIDForAds>,<adHitId>"; nullopt when no id
    // was handed out or the tracker has no open visit.
    std::optional<std::string> joinId();

private:
    TrkAdNetInfo() = default;
    mutable std::mutex mutex_;
    int32_t adHitId_ = 0;
};

// Hands out an ad hit id per hit when an ad library is part of the process.
// No such library is ever linked here, so the default generator answers 0.
class TrkAdHitIdGenerator {
public:
    TrkAdHitIdGenerator();
    explicit TrkAdHitIdGenerator(bool adSdkInstalled);
    virtual ~TrkAdHitIdGenerator() = default;
    bool adSdkInstalled() const { return adSdkInstalled_; }
    virtual int32_t adHitId();

private:
    bool adSdkInstalled_;
};

// Whether the opt-out app is present; tracking is suppressed while it is.
class TrkOptOut {
public:
    using OptOutClass = std::function<bool()>;
    static bool isOptOutAppPresent();
    // Replaces the probe (nullptr: back to TrkOptOutImpl).
    static void injectOptOutClass(OptOutClass optOut);
};

class TrkOptOutImpl {
public:
    // The cached answer of the probe; probes again 600 s after the last probe.
    static bool isOptOutAppPresent();
    // What the probe asks: whether the opt-out app's URL scheme can be opened.
    // There is no URL-scheme registry on this platform, so it answers false;
    // tests replace it to count the probes.
    using Probe = std::function<bool()>;
    static void setProbe(Probe probe);
    // Forgets the cached answer (the next call probes).
    static void resetCache();
};
