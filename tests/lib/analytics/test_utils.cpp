// Escaping, locale texts, the queue-time parameter, query splitting, ad hit
// ids and the opt-out cache.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/analytics/TrkTracker.h"
#include "lib/analytics/TrkUtils.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"

namespace {

struct LogCapture {
    std::vector<std::string> lines;
    LogCapture() {
        foundation::setLogSink([this](const std::string& l) { lines.push_back(l); });
    }
    ~LogCapture() { foundation::setLogSink(nullptr); }
};

TEST(TrkUtils, UrlEncodeKeepsOnlyTheUnreservedCharacters) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"/iOS/3.0/bindingView", "%2FiOS%2F3.0%2FbindingView"},
        {"AZaz09-_.!~*'()", "AZaz09-_.!~*'()"},
        {";/?:@&=$+{}<>,[] ", "%3B%2F%3F%3A%40%26%3D%24%2B%7B%7D%3C%3E%2C%5B%5D%20"},
        {"%#\"\\|^`", "%25%23%22%5C%7C%5E%60"},
        {"确定", "%E7%A1%AE%E5%AE%9A"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(TrkUtils::urlEncode(c.in), c.out) << c.in;
    EXPECT_EQ(TrkUtils::urlEncodeString(std::nullopt), std::nullopt);
}

TEST(TrkUtils, LanguageAndCountry) {
    EXPECT_EQ(TrkUtils::systemLanguageFromLanguages({}), "en");
    EXPECT_EQ(TrkUtils::systemLanguageFromLanguages({"zh-Hans", "en"}), "zh-hans");
    EXPECT_EQ(TrkUtils::systemCountryFromLocale("zh_CN"), "cn");
    EXPECT_EQ(TrkUtils::systemCountryFromLocale("en_US.UTF-8"), "us");
    EXPECT_EQ(TrkUtils::systemCountryFromLocale("C"), "");

    // What goes unescaped into hits is cleaned of anything but letters,
    // digits and '-'.
    foundation::DeviceInfo info;
    info.language = "zh-Hans&x=1";
    info.locale = "zh_C N";
    foundation::setDevice(info);
    EXPECT_EQ(TrkUtils::systemLanguage(), "zh-hansx1");
    EXPECT_EQ(TrkUtils::systemCountry(), "cn");
}

TEST(TrkUtils, QueueTimeParameter) {
    LogCapture log;
    EXPECT_EQ(TrkUtils::addQueueTimeParameter("/__utm.gif?a=1&utmht=1000", 1500),
              "/__utm.gif?a=1&utmht=1000&utmqt=500");
    EXPECT_TRUE(log.lines.empty());

    EXPECT_EQ(TrkUtils::addQueueTimeParameter("/__utm.gif?a=1&utmht=abc", 1500), "/__utm.gif?a=1&utmht=abc");
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "Error parsing utmht parameter: abc");

    log.lines.clear();
    for (const char* unchanged : {"/__utm.gif?a=1", "/x?utmht=5&utmht=6"}) {
        EXPECT_EQ(TrkUtils::addQueueTimeParameter(unchanged, 1500), unchanged);
    }
    EXPECT_TRUE(log.lines.empty());
    // Zero is not a time a hit was made at.
    EXPECT_EQ(TrkUtils::addQueueTimeParameter("/x?utmht=0", 1500), "/x?utmht=0");
}

TEST(TrkUtils, ParamsFromQuery) {
    auto p = TrkUtils::paramsFromQuery(std::string("a=1&b&c=x=y&a=2"));
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p["a"], "2");
    EXPECT_TRUE(p.count("b"));
    EXPECT_EQ(p["b"], std::nullopt);
    EXPECT_EQ(p["c"], "x=y");
    EXPECT_TRUE(TrkUtils::paramsFromQuery(std::nullopt).empty());
}

TEST(TrkUtils, TimeMillisTruncates) {
    EXPECT_EQ(TrkUtils::timeMillisForDate(1.9999), 1999);
    EXPECT_EQ(TrkUtils::timeMillisForDate(-1.9999), -1999);
    foundation::ManualClockScope clock(1700000000.25);
    EXPECT_EQ(TrkUtils::currentTimeMillis(), 1700000000250);
}

TEST(TrkAdHitIds, NoAdLibraryMeansNoIds) {
    TrkAdHitIdGenerator generator;
    EXPECT_FALSE(generator.adSdkInstalled());
    EXPECT_EQ(generator.adHitId(), 0);
    TrkAdNetInfo::sharedTrkAdNetInfo().setAdHitId(0);
    EXPECT_EQ(TrkAdNetInfo::sharedTrkAdNetInfo().joinId(), std::nullopt);

    TrkAdHitIdGenerator installed(true);
    int32_t id = installed.adHitId();
    EXPECT_EQ(TrkAdNetInfo::sharedTrkAdNetInfo().adHitId(), id);
    // The tracker is not started, so there is no visit to join with.
    if (id != 0) {
        EXPECT_EQ(TrkAdNetInfo::sharedTrkAdNetInfo().joinId(), std::nullopt);
    }
}

TEST(TrkOptOut, ProbeIsCachedFor600Seconds) {
    foundation::ManualClockScope clock;
    int probes = 0;
    TrkOptOutImpl::setProbe([&] {
        ++probes;
        return probes == 1;
    });
    EXPECT_TRUE(TrkOptOut::isOptOutAppPresent());
    clock->advance(10);
    EXPECT_TRUE(TrkOptOut::isOptOutAppPresent());
    EXPECT_EQ(probes, 1);
    clock->advance(590);
    EXPECT_FALSE(TrkOptOut::isOptOutAppPresent());
    EXPECT_EQ(probes, 2);

    TrkOptOut::injectOptOutClass([] { return true; });
    EXPECT_TRUE(TrkOptOut::isOptOutAppPresent());
    TrkOptOut::injectOptOutClass(nullptr);
    TrkOptOutImpl::setProbe(nullptr);
    TrkOptOutImpl::resetCache();
    EXPECT_FALSE(TrkOptOut::isOptOutAppPresent());
}

}  // namespace
