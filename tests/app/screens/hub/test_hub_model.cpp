// The main screen's decisions without a window.
#include <gtest/gtest.h>

#include <string>

#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/core/initUtil.h"
#include "app/screens/hub/HubModel.h"
#include "platform/foundation/Time.h"
#include "tests/support/ChildKills.h"

namespace {

using hub::VerifyRequest;

MainPageInfo record(const char* push, const char* pin, const char* keyLogin, const char* safePhone) {
    MainPageInfo info;
    info.ispush = push;
    info.ispassword = pin;
    info.iskeylogin = keyLogin;
    info.isremoteDelete = safePhone;
    return info;
}

TEST(HubModel, IconsFillTheSlotsInTheirOrder) {
    using V = std::vector<std::string>;
    EXPECT_EQ(hub::iconNames(record("1", "1234", "1", "138****0000"), 256, 10),
              (V{"push_icon", "key_login", "yijian", "yuancheng", "zzsd", "pay_icon"}));
    EXPECT_EQ(hub::iconNames(record("0", "null", "0", "null"), 0, 3), V{});
    // Gaps close up: the third icon alone takes the first slot.
    EXPECT_EQ(hub::iconNames(record("0", "null", "1", "null"), 0, 3), V{"yijian"});
    // A record read from an empty store: "(null)" is not "null", as in the store's rules.
    EXPECT_EQ(hub::iconNames(hub::accountRecord({}), 0, 0), (V{"key_login", "yuancheng"}));
}

TEST(HubModel, CodeAreaNeedsTheHomePageSwitchAndAUsableBinding) {
    MainPageInfo info;
    for (long long state : {0, 1, 2, 3, 10}) {
        info.isOtpFast = std::string("1");  // moved in: GCC's -Wrestrict misfires on = "1"
        EXPECT_EQ(hub::showsCode(info, state), state == 3 || state == 10) << state;
        info.isOtpFast = std::string("0");
        EXPECT_FALSE(hub::showsCode(info, state)) << state;
    }
}

TEST(HubModel, NameAndPhoneRulesOfTheAccountReply) {
    EXPECT_EQ(hub::displayName(std::nullopt), "安全中心");
    EXPECT_EQ(hub::displayName(std::string("")), "安全中心");
    EXPECT_EQ(hub::displayName(std::string("(null)")), "安全中心");
    EXPECT_EQ(hub::displayName(std::string("abcdefgh")), "abcdefgh");
    EXPECT_EQ(hub::displayName(std::string("abcdefghijkl")), "abcdefkl");
    EXPECT_EQ(hub::displayName(std::string("张三李四王五赵六钱七")), "张三李四王五钱七");  // characters, not bytes
    EXPECT_EQ(hub::displayPhone(std::string("13812345678")), "13812345678");
    EXPECT_EQ(hub::displayPhone(std::string("1381234567")), "未绑定");
    EXPECT_EQ(hub::displayPhone(std::nullopt), "未绑定");
    EXPECT_EQ(hub::displayPhone(std::string("(null)")), "未绑定");
}

TEST(HubModel, LockOverlayFollowsTheLocalHour) {
    const int east8 = 8 * 3600;
    // 2023-11-15 in +08:00: 07:59:59, 08:00:00, 08:59:59, 09:00:00.
    const int64_t at0800 = 1700006400;
    EXPECT_FALSE(hub::isLocked(256, at0800 - 1, east8));
    EXPECT_TRUE(hub::isLocked(256, at0800, east8));
    EXPECT_TRUE(hub::isLocked(256, at0800 + 3599, east8));
    EXPECT_FALSE(hub::isLocked(256, at0800 + 3600, east8));
    EXPECT_FALSE(hub::isLocked(0, at0800, east8));
    EXPECT_TRUE(hub::isLocked(hub::kAllDayMask, at0800 + 12345, east8));
    // One minute past the next full hour.
    EXPECT_EQ(hub::lockRecheckDelay(1700000000), 2860.0);
    EXPECT_EQ(hub::lockRecheckDelay(at0800), 3660.0);
}

TEST(HubModel, LockAlignmentWithTheServer) {
    using A = hub::LockAlignment;
    struct Case {
        long long stored, server;
        std::optional<int64_t> allDay;
        A::Change change;
        long long mask;
        std::optional<int64_t> allDaySince;
    };
    const int64_t t = 1700000000;
    const Case cases[] = {
        {0, 0, std::nullopt, A::Unchanged, 0, std::nullopt},
        {256, 256, std::nullopt, A::Unchanged, 0, std::nullopt},
        {0, 256, std::nullopt, A::Stored, 256, t},
        {256, 0, std::nullopt, A::Cleared, 0, std::nullopt},
        {256, 512, std::nullopt, A::Conflict, 0, std::nullopt},
        // All day on both sides: only the start moves to the server's.
        {hub::kAllDayMask, hub::kAllDayMask, t - 50, A::Unchanged, 0, t},
        {hub::kAllDayMask, hub::kAllDayMask, t, A::Unchanged, 0, std::nullopt},
        {hub::kAllDayMask, 0, t - 50, A::Cleared, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        A a = hub::alignLock(c.stored, c.server, t, c.allDay);
        EXPECT_EQ(a.change, c.change) << c.stored << " " << c.server;
        if (c.change == A::Stored) {
            EXPECT_EQ(a.mask, c.mask);
        }
        EXPECT_EQ(a.allDaySince, c.allDaySince) << c.stored << " " << c.server;
    }
}

TEST(HubModel, ApprovalListLeavesOutIgnoredPairs) {
    hub::PollReply reply;
    reply.success = true;
    reply.results = {{"1000", "杭州", "登录", "A"}, {"1000", "杭州", "改密", "B"}, {"2000", "上海", "登录", "C"}};
    hub::IgnoredRequests ignored = {{"2000", "登录"}, {"1000", "登录"}};
    // Same time, other operation: still shown.
    EXPECT_EQ(hub::pendingRequests(reply, ignored), std::vector<VerifyRequest>{reply.results[1]});
    reply.success = false;
    EXPECT_TRUE(hub::pendingRequests(reply, {}).empty());

    foundation::ErrorRef error;
    auto parsed = hub::PollReply::fromValue(
        foundation::Value(foundation::Dictionary{
            {"isSuccess", true},
            {"results", foundation::Array{foundation::Dictionary{
                            {"time", 1700000000000LL}, {"location", "杭州"}, {"business", "登录"}, {"checkid", 7}}}}}),
        &error);
    ASSERT_TRUE(parsed) << error->message;
    EXPECT_EQ(parsed->results.at(0), (VerifyRequest{"1700000000000", "杭州", "登录", "7"}));
}

// The server's date overrules the corrected device clock only when they
// differ by more than a request's validity (the device's clock has moved).
TEST(HubModel, ServerTimeComesFromTheDeviceUnlessItsClockHasMoved) {
    struct Case {
        double now;
        long long difftime;
        std::optional<double> serverDate;
        double seenAt;
        double expected;
    };
    const Case cases[] = {
        {1700000000.5, 0, std::nullopt, 0, 1700000000.5},
        {1700000000.5, -100, 1699999900.0, 1700000000.5, 1699999900.5},  // agrees: the finer device clock
        {1700000000.5, 0, 1700000059.0, 1700000000.5, 1700000000.5},     // within the validity
        {1700007200.0, 0, 1699999990.0, 1700007190.0, 1700000000.0},     // device moved 2 h ahead
        {1699992800.0, 0, 1700000000.0, 1699992800.0, 1700000000.0},     // device moved 2 h behind
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(hub::serverTimeNow(c.now, c.difftime, c.serverDate, c.seenAt), c.expected) << c.now;
}

TEST(HubModel, CountdownUsesTheCorrectedDeviceClock) {
    const VerifyRequest r{"1700000000000", "杭州", "登录", "A"};
    EXPECT_EQ(hub::countdown(r, 1700000010.7, 0), 49);
    // A phone 100 s fast (stored difference -100) sees the same 49 seconds.
    EXPECT_EQ(hub::countdown(r, 1700000110.7, -100), 49);
    // Long gone: zero or less, ignored at the first tick.
    EXPECT_LE(hub::countdown(r, 1700000100.0, 0), 0);
    // Stamped ahead of the clock: never more than the request's 60 seconds.
    EXPECT_EQ(hub::countdown(r, 1699992800.0, 0), 60);
    foundation::TimeZone::setLocal(foundation::TimeZone::fixed(8 * 3600));
    EXPECT_EQ(hub::verifyMessage(r, 49), "时间：2023-11-15 06:13:20\n地点：杭州\n操作：登录\n剩余有效时间：49秒");
    foundation::TimeZone::setLocal(std::nullopt);
}

TEST(HubModel, PaymentHandBack) {
    struct Case {
        std::optional<std::string> token;
        hub::HandBack::Kind kind;
        const char* text;
        const char* label;
    };
    const Case cases[] = {
        {"kverror:余额不足", hub::HandBack::Failed, "余额不足", "inKorvexGetTokenFailed"},
        {"kverror:", hub::HandBack::Failed, "操作中断，请重试", "inKorvexGetTokenFailed"},
        {"T123", hub::HandBack::Send, "T123", "inKorvexGetTokenSucces"},
        {"", hub::HandBack::Interrupted, "操作中断，请重试", "inKorvexGetTokenInterrupted"},
        {"(null)", hub::HandBack::Interrupted, "操作中断，请重试", "inKorvexGetTokenInterrupted"},
        {std::nullopt, hub::HandBack::Interrupted, "操作中断，请重试", "inKorvexGetTokenInterrupted"},
    };
    for (const Case& c : cases) {
        hub::HandBack h = hub::readHandBack(c.token);
        EXPECT_EQ(h.kind, c.kind) << c.token.value_or("nil");
        EXPECT_EQ(h.text, c.text);
        EXPECT_EQ(h.label(), c.label);
    }
    EXPECT_EQ(hub::diffFromChecktime(1000000000000LL, 999999990.0), 10);
}

TEST(HubModel, StoreLookupKeepsTheLastVersion) {
    EXPECT_EQ(hub::lastStoreVersion(R"({"results":[{"version":"3.0.1"},{"version":"3.1.0"}]})"), "3.1.0");
    EXPECT_EQ(hub::lastStoreVersion(R"({"resultCount":0,"results":[]})"), "");
    EXPECT_EQ(hub::lastStoreVersion("not json"), std::nullopt);
}

}  // namespace

// The payment verification's new key and its time difference belong
// together: a writer killed at any point leaves both old or both new.
TEST(HubStore, TheNewKeyNeverGoesWithTheOldTimeDifference) {
    DkBase dk;
    dk.bid = "k0";
    dk.difftime = "0";
    Answer answer;
    answer.uuid = "u";
    ASSERT_TRUE(initUtil::writeBindingStore(initUtil::bindingRows(dk, answer)));
    testsupport::killChildAtManyPoints(
        60, 500, [] {},
        [](const std::function<void()>& underWay) {
            for (int n = 1; n < 2000; ++n) {
                const std::string number = std::to_string(n);
                if (!hub::storeKorvexBinding("k" + number, number)) _exit(4);
                underWay();
            }
        },
        [](int round) {
            SCOPED_TRACE(testing::Message() << "round " << round);
            const StoreReading store = DBController::readStore();
            ASSERT_EQ(store.kind, StoreReading::Readable);
            EXPECT_EQ(store.rows.at(StoreKeys::bid), "k" + store.rows.at(StoreKeys::diffTime));
            EXPECT_EQ(store.rows.size(), 29u);
        });
}
