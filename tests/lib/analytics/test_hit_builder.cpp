// The hit grammar: page views, events, transactions, items, the cookie and
// custom variables.
#include <gtest/gtest.h>

#include <string>

#include "lib/analytics/TrkHitBuilder.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"

namespace {

class HitBuilderTest : public testing::Test {
protected:
    void SetUp() override {
        foundation::DeviceInfo info;
        info.screenWidth = 320.7;
        info.screenHeight = 568;
        info.language = "zh-Hans";
        info.locale = "zh_CN";
        foundation::setDevice(info);
        builder.setAccountIDs({"UA-1"});
    }

    // An event as the store hands it over: session values filled in.
    static TrkEvent stored(TrkText path, TrkText category, TrkText action, TrkText label, int value) {
        TrkEvent e(7, 42, 1700000000, 1700000000, 1700000000, 1, std::move(path), std::move(category),
                   std::move(action), std::move(label), value);
        e.setVisitorId(123456789);
        return e;
    }

    foundation::ManualClockScope clock{1700000000.0};
    TrkHitBuilder builder;
    const std::string cookie = "&utmcc=__utma%3D1.123456789.1700000000.1700000000.1700000000.1%3B";
    const std::string tail = cookie + "&utmht=1700000000000";
};

TEST_F(HitBuilderTest, PageView) {
    TrkEvent e = stored("/iOS/3.0/bindingView", kTrkPageviewCategory, std::nullopt, std::nullopt, 0);
    auto hits = builder.constructHitRequestPath(e, std::nullopt);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0],
              "/__utm.gif?utmwv=4.9.1mi&utmn=42&utmcs=UTF-8&utmsr=320x568&utmsc=24-bit&utmul=zh-hans-cn"
              "&utmp=%2FiOS%2F3.0%2FbindingView&utmac=UA-1" +
                  tail);
}

TEST_F(HitBuilderTest, EventTexts) {
    struct Case {
        TrkText path, label;
        int value;
        std::string utme, suffix;
    } cases[] = {
        {std::nullopt, std::nullopt, -1, "5(%2FiOS%2F3.0%2Fbinding*CodeBinding)", ""},
        {std::nullopt, "codeQrButtonPush", 0, "5(%2FiOS%2F3.0%2Fbinding*CodeBinding*codeQrButtonPush)(0)", ""},
        {"/p", "确定", 12, "5(%2FiOS%2F3.0%2Fbinding*CodeBinding*%E7%A1%AE%E5%AE%9A)(12)", "&utmp=%2Fp"},
    };
    for (const auto& c : cases) {
        TrkEvent e = stored(c.path, "/iOS/3.0/binding", "CodeBinding", c.label, c.value);
        auto hits = builder.constructHitRequestPath(e, std::nullopt);
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_EQ(hits[0], "/__utm.gif?utmwv=4.9.1mi&utmn=42&utmt=event&utme=" + c.utme +
                               "&utmcs=UTF-8&utmsr=320x568&utmsc=24-bit&utmul=zh-hans-cn&utmac=UA-1" + c.suffix + tail);
    }
}

TEST_F(HitBuilderTest, CustomVariables) {
    auto buffer = std::make_shared<TrkCustomVariableBuffer>();
    ASSERT_TRUE(buffer->addCustomVariable(TrkCustomVariable(3, "name3", "value3", 1)));
    ASSERT_TRUE(buffer->addCustomVariable(TrkCustomVariable(1, "name1", "value1", 3)));
    EXPECT_FALSE(buffer->addCustomVariable(TrkCustomVariable(0, "x", "y", 1)));
    EXPECT_FALSE(buffer->addCustomVariable(TrkCustomVariable(51, "x", "y", 1)));
    TrkEvent page = stored("/a", kTrkPageviewCategory, std::nullopt, std::nullopt, 0);
    page.setCustomVariableBuffer(buffer);
    EXPECT_EQ(builder.customVariableParamsForEvent(page), "8(1!name1*3!name3)9(1!value1*3!value3)11(1!3*3!1)");
    // A page view carries the text as it is, an event escapes it once more.
    EXPECT_NE(
        builder.constructPageviewRequestPath(page).find("&utme=8(1!name1*3!name3)9(1!value1*3!value3)11(1!3*3!1)"),
        std::string::npos);
    TrkEvent event = stored(std::nullopt, "c", "a", std::nullopt, -1);
    event.setCustomVariableBuffer(buffer);
    EXPECT_NE(
        builder.constructEventRequestPath(event).find("utme=5(c*a)8(1!name1*3!name3)9(1!value1*3!value3)11(1!3*3!1)&"),
        std::string::npos);

    // Names and values are escaped, then x10-escaped.
    auto odd = std::make_shared<TrkCustomVariableBuffer>();
    odd->addCustomVariable(TrkCustomVariable(2, "a*b", "it's (x)!", 2));
    TrkEvent e = stored("/a", kTrkPageviewCategory, std::nullopt, std::nullopt, 0);
    e.setCustomVariableBuffer(odd);
    EXPECT_EQ(builder.customVariableParamsForEvent(e), "8(2!a'2b)9(2!it'0s%20(x'1'3)11(2!2)");
    EXPECT_EQ(TrkHitBuilder::x10Escape("')*!"), "'0'1'2'3");

    // An empty buffer adds nothing.
    e.setCustomVariableBuffer(std::make_shared<TrkCustomVariableBuffer>());
    EXPECT_EQ(builder.constructPageviewRequestPath(e).find("utme"), std::string::npos);
}

TEST_F(HitBuilderTest, TransactionAndItem) {
    TrkEvent t = stored(std::nullopt, kTrkTransactionCategory, "", "", -1);
    t.setTransaction(TrkTransaction("order 1", "Shop", 12.5, 0, 3));
    auto hits = builder.constructHitRequestPath(t, std::nullopt);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0],
              "/__utm.gif?utmwv=4.9.1mi&utmn=42&utmt=tran&utmtid=order%201&utmtst=Shop&utmtto=12.500000&utmttx="
              "&utmtsp=3.000000&utmtci=&utmtrg=&utmtco=&utmac=UA-1" +
                  tail);

    TrkEvent i = stored(std::nullopt, kTrkItemCategory, "", "", -1);
    i.setItem(TrkItem("order 1", "SKU/1", std::nullopt, "Books", 0, 0));
    hits = builder.constructHitRequestPath(i, std::nullopt);
    EXPECT_EQ(hits[0],
              "/__utm.gif?utmwv=4.9.1mi&utmn=42&utmt=item&utmtid=order%201&utmipc=SKU%2F1&utmipn=&utmiva=Books"
              "&utmipr=&utmiqt=&utmac=UA-1" +
                  tail);

    // Without its record the typed part is empty.
    TrkEvent bare = stored(std::nullopt, kTrkItemCategory, "", "", -1);
    EXPECT_EQ(builder.constructItemRequestPath(bare), "");
    EXPECT_EQ(builder.constructTransactionRequestPath(bare), "");
}

TEST_F(HitBuilderTest, AccountsReferrerAnonymizeAndServerTime) {
    builder.setAccountIDs({"UA-1", "UA-2"});
    TrkEvent e = stored("/a", kTrkPageviewCategory, std::nullopt, std::nullopt, 0);
    e.setAnonymizeIp(true);
    e.setUseServerTime(true);
    TrkReferrer referrer("utmcsr=src|utmccn=camp", 1700000000, 1, 2);
    auto hits = builder.constructHitRequestPath(e, referrer);
    ASSERT_EQ(hits.size(), 2u);
    const std::string end =
        "&utmcc=__utma%3D1.123456789.1700000000.1700000000.1700000000.1%3B%2B__utmz%3D1.1700000000.1.2."
        "utmcsr%3Dsrc%7Cutmccn%3Dcamp%3B&aip=1";
    EXPECT_EQ(hits[0].substr(hits[0].size() - end.size()), end);
    EXPECT_EQ(hits[0].find("utmht"), std::string::npos);
    std::string second = hits[1];
    second.replace(second.find("utmac=UA-2"), 10, "utmac=UA-1");
    EXPECT_EQ(hits[0], second);
}

TEST_F(HitBuilderTest, ValueRules) {
    EXPECT_EQ(TrkHitBuilder::encodeString(std::nullopt), "");
    EXPECT_EQ(TrkHitBuilder::encodeString(std::string("a b")), "a%20b");
    EXPECT_EQ(TrkHitBuilder::encodeDouble(0), "");
    EXPECT_EQ(TrkHitBuilder::encodeDouble(-0.5), "-0.500000");
    EXPECT_EQ(TrkHitBuilder::encodeInt(0), "");
    EXPECT_EQ(TrkHitBuilder::encodeInt(-3), "-3");
}

}  // namespace
