// The protect area's models without a window: the hour mask in words and in
// the server's zone, the editor's ring, the protection statuses, the lock
// types, the password's escaping and the person centre's reply rules.
#include <gtest/gtest.h>

#include "app/cycle/Constants.h"
#include "app/screens/protect/LockMask.h"
#include "app/screens/protect/LockRing.h"
#include "app/screens/protect/LockTypes.h"
#include "app/screens/protect/PasswordChange.h"
#include "app/screens/protect/PersonCenterModel.h"
#include "app/screens/protect/ProtectionTable.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Time.h"

namespace {

int64_t hours(std::initializer_list<int> hs) {
    int64_t m = 0;
    for (int h : hs) m |= int64_t(1) << h;
    return m;
}

foundation::Value json(const std::string& text) {
    auto v = JsonParser().objectWithString(text);
    EXPECT_TRUE(v) << text;
    return v.value_or(foundation::Value());
}

// Installs a device zone for one case.
struct ZoneScope {
    explicit ZoneScope(int offsetSeconds) {
        foundation::TimeZone::setLocal(foundation::TimeZone::fixed(offsetSeconds));
    }
    ~ZoneScope() { foundation::TimeZone::setLocal(std::nullopt); }
};

TEST(LockMask, LockedHoursInWords) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, ""},
        {hours({1, 2, 3, 4}), "凌晨01点至凌晨05点"},
        {hours({9, 10, 11, 14}), "上午09点至中午12点，下午02点至下午03点"},
        {hours({22, 23, 0, 1}), "晚上10点至次日凌晨02点"},
        {hours({23, 0}), "晚上11点至次日凌晨01点"},
        {hours({15}), "下午03点至下午04点"},
        {hours({12}), "中午12点至下午01点"},
        {hours({18}), "下午06点至晚上07点"},
        {hours({0}), "午夜00点至凌晨01点"},
        {hours({0, 1, 5}), "午夜00点至凌晨02点，凌晨05点至上午06点"},
        {hours({0, 1, 5, 23}), "凌晨05点至上午06点，晚上11点至次日凌晨02点"},
        // A run up to hour 23 with hour 0 free ends at the next midnight.
        {hours({23}), "晚上11点至次日午夜00点"},
        {lockmask::kWholeDay & ~hours({0}), "凌晨01点至次日午夜00点"},
        {lockmask::kWholeDay & ~hours({23}), "午夜00点至晚上11点"},
        // The whole day has no run to move: it is said as such.
        {lockmask::kWholeDay, "全天锁定"},
    };
    for (const auto& [mask, text] : cases) EXPECT_EQ(lockmask::periodText(mask), text) << std::hex << mask;
    // One period across midnight is the 13-character text the wide label is made for.
    EXPECT_EQ(foundation::utf16Length(lockmask::periodText(hours({23, 0}))), 13u);
}

TEST(LockMask, WholeDayEndIsSevenDaysAfterTheStartDaysUtcMidnight) {
    EXPECT_EQ(lockmask::allDayLockEnd(1700000000), 1700524800);
    EXPECT_EQ(lockmask::allDayText(1700000000, foundation::TimeZone::fixed(8 * 3600)),
              "全天锁定将在2023-11-21 08:00自动解除");
    EXPECT_EQ(lockmask::allDayText(1700000000, foundation::TimeZone::fixed(0)), "全天锁定将在2023-11-21 00:00自动解除");
    EXPECT_EQ(lockmask::allDayText(1700000000, foundation::TimeZone::fixed(-5 * 3600)),
              "全天锁定将在2023-11-20 19:00自动解除");
    // The calendar year: the end on 30 December 2014 is not shown as 2015.
    const double start = double(foundation::daysFromCivil(2014, 12, 23)) * 86400 + 43200;
    EXPECT_EQ(lockmask::allDayText(start, foundation::TimeZone::fixed(0)), "全天锁定将在2014-12-30 00:00自动解除");
}

TEST(LockMask, MasksTurnToTheServersHoursByWholeHours) {
    foundation::ManualClockScope clock(1700000000);
    struct Case {
        int zone;
        int64_t local, server;
    };
    const Case cases[] = {
        {0, hours({0}), hours({8})},                    // GMT: hour 0 is the server's 8
        {8 * 3600, hours({3, 4}), hours({3, 4})},       // the server's own zone
        {8 * 3600 + 1800, hours({5}), hours({5})},      // less than an hour away: unchanged
        {-5 * 3600, hours({0, 23}), hours({13, 12})},   // 13 hours behind
        {5 * 3600 + 2700, hours({22}), hours({0})},     // 2 h 15 min: two whole hours
        {0, lockmask::kWholeDay, lockmask::kWholeDay},  // the whole day stays whole
        {-5 * 3600, hours({20, 21, 22}), hours({9, 10, 11})},
    };
    for (const Case& c : cases) {
        ZoneScope zone(c.zone);
        EXPECT_EQ(Constants::localLockValueToGMT8(c.local), c.server) << c.zone;
        EXPECT_EQ(Constants::gmt8ValueToLocalValue(c.server), c.local) << c.zone;
    }
}

TEST(LockMask, LockedNowFollowsTheLocalHour) {
    const auto beijing = foundation::TimeZone::fixed(8 * 3600);
    const double midnightUtc = 1700006400;  // 2023-11-15 00:00 UTC, 08:00 in GMT+8
    EXPECT_EQ(lockmask::localHour(midnightUtc, beijing), 8);
    EXPECT_TRUE(lockmask::lockedAt(hours({23}), midnightUtc + 15 * 3600 + 1800, beijing));  // 23:30
    EXPECT_FALSE(lockmask::lockedAt(hours({23}), midnightUtc + 15 * 3600 - 1, beijing));    // 22:59:59
    EXPECT_FALSE(lockmask::lockedAt(hours({23}), midnightUtc + 16 * 3600, beijing));        // 00:00
    EXPECT_TRUE(lockmask::lockedAt(hours({23}), midnightUtc + 23 * 3600, foundation::TimeZone::fixed(0)));
    for (int h = 0; h < 24; ++h) EXPECT_FALSE(lockmask::lockedAt(0, midnightUtc + h * 3600, beijing));
    // The next check is three minutes after the next full hour.
    EXPECT_EQ(secondsToNextLockCheck(midnightUtc + 10), 3600 - 10 + 180);
}

TEST(LockRing, GeometryRunsClockwiseFromTheTopLeft) {
    EXPECT_EQ(LockRing::frameOf(0), ui::Rect(53, 37, 20, 20));
    EXPECT_EQ(LockRing::frameOf(6), ui::Rect(251, 37, 20, 20));
    EXPECT_EQ(LockRing::frameOf(24), ui::Rect(251, 289, 20, 20));
    EXPECT_EQ(LockRing::frameOf(30), ui::Rect(53, 289, 20, 20));
    EXPECT_EQ(LockRing::frameOf(46), ui::Rect(53, 65, 20, 20));
    EXPECT_EQ(LockRing::frameOf(1), ui::Rect(68, 43, 56, 7));
    EXPECT_EQ(LockRing::frameOf(25), ui::Rect(200, 296, 56, 7));
    EXPECT_EQ(LockRing::frameOf(29), ui::Rect(68, 296, 56, 7));
    EXPECT_NEAR(LockRing::frameOf(47).origin.y, 51.9, 1e-9);
    EXPECT_NEAR(LockRing::frameOf(7).origin.y, 51.9, 1e-9);

    const std::pair<ui::Point, int> hits[] = {
        {{100, 40}, 1},
        {{230, 40}, 5},
        {{260, 60}, 7},
        {{40, 280}, 31},
        {{60, 60}, 47},
        {{160, 160}, -1},
        {{63, 38}, -1},  // a joint's own middle lies between the bars
        {{150, 300}, 27},
        {{262, 300}, 23},
        {{20, 200}, -1},
        {{300, 200}, -1},
        // Where the right side's band reaches the bottom bars, a touch on the
        // bottom bar's own picture is that bar; beside it the band decides.
        {{240, 299}, 25},
        {{240, 290}, 23},
    };
    for (const auto& [p, index] : hits) EXPECT_EQ(LockRing::hitTest(p), index) << p.x << "," << p.y;
    // Every bar is hit at its own middle.
    for (int i = 1; i < LockRing::kCount; i += 2) {
        const ui::Rect f = LockRing::frameOf(i);
        EXPECT_EQ(LockRing::hitTest({f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2}), i);
    }
}

TEST(LockRing, MaskAndPlacesAgree) {
    LockRing ring(lockmask::kWholeDay);
    EXPECT_TRUE(ring.wholeDayChosen());
    for (int i = 0; i < LockRing::kCount; ++i) EXPECT_TRUE(ring.isOn(i)) << i;
    ring.setMask(hours({5, 23}));
    EXPECT_FALSE(ring.wholeDayChosen());
    EXPECT_TRUE(ring.isOn(0));   // the joint after hour 23
    EXPECT_TRUE(ring.isOn(10));  // before hour 5
    EXPECT_TRUE(ring.isOn(12));  // after hour 5
    EXPECT_FALSE(ring.isOn(2));
    EXPECT_EQ(ring.mask(), hours({5, 23}));
}

TEST(LockRing, AJointStaysOnWhileOneOfItsBarsIs) {
    LockRing ring;
    ring.toggle(1);
    EXPECT_TRUE(ring.isOn(0) && ring.isOn(1) && ring.isOn(2));
    ring.toggle(1);
    EXPECT_FALSE(ring.isOn(0) || ring.isOn(1) || ring.isOn(2));

    ring.setMask(hours({0, 1, 23}));
    ring.toggle(1);  // hour 0 off: both its joints are held by hours 23 and 1
    EXPECT_TRUE(ring.isOn(0) && ring.isOn(2));
    EXPECT_FALSE(ring.isOn(1));
    ring.toggle(47);  // hour 23 off: joint 0 goes, joint 46 goes
    EXPECT_FALSE(ring.isOn(0) || ring.isOn(46));
    EXPECT_EQ(ring.mask(), hours({1}));
}

TEST(LockRing, TheFingerPaintsWithTheFirstBarsNewState) {
    LockRing ring(hours({2}));
    const auto middle = [](int i) {
        const ui::Rect f = LockRing::frameOf(i);
        return ui::Point{f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2};
    };
    EXPECT_TRUE(ring.touchBegan(middle(1)));    // off -> on
    EXPECT_FALSE(ring.touchMoved(middle(1)));   // the same bar again: nothing
    EXPECT_FALSE(ring.touchMoved({160, 160}));  // outside every band: nothing,
    EXPECT_EQ(ring.lastTouchedIndex(), 1);      // and the last bar is kept
    EXPECT_TRUE(ring.touchMoved(middle(3)));    // off: painted on
    EXPECT_TRUE(ring.touchMoved(middle(5)));    // already on: left on
    EXPECT_TRUE(ring.touchMoved(middle(3)));    // back over a painted bar: stays
    ring.touchEnded();
    EXPECT_EQ(ring.lastTouchedIndex(), -1);
    EXPECT_EQ(ring.mask(), hours({0, 1, 2}));

    EXPECT_TRUE(ring.touchBegan(middle(3)));  // a new stroke starting on a lit bar erases
    ring.touchMoved(middle(5));
    ring.touchMoved(middle(7));  // off already: stays off
    ring.touchEnded();
    EXPECT_EQ(ring.mask(), hours({0}));
}

TEST(LockRing, PaintingEveryHourChoosesTheWholeDay) {
    LockRing ring(lockmask::kWholeDay & ~hours({0}));
    ring.touchBegan({100, 40});
    EXPECT_FALSE(ring.wholeDayChosen());
    ring.touchEnded();
    EXPECT_TRUE(ring.wholeDayChosen());
    ring.toggleWholeDay();
    EXPECT_EQ(ring.mask(), 0);
    EXPECT_FALSE(ring.isOn(0));
    ring.toggleWholeDay();
    EXPECT_EQ(ring.mask(), lockmask::kWholeDay);
}

TEST(ProtectionStatuses, StatusRepliesAndTheLoginProtectionsTwoParts) {
    struct Case {
        const char* reply;
        int64_t storedMask;
        const char* login;  // "601"
        const char* lock;   // "600"
        std::optional<std::string> hint;
        bool clearMask, notice;
    };
    const Case cases[] = {
        {R"({"isSuccess":true,"protects":["10","80","19"],"lock":false})", 0, "0", "1", std::nullopt, false, false},
        {R"({"isSuccess":true,"protects":["80"],"lock":false})", 0, "1", "1",
         std::string("您只开启了讯禾登录保护，请统一开启登录保护"), false, false},
        {R"({"isSuccess":true,"protects":["10","999",6],"lock":false})", 0, "1", "1",
         std::string("您只开启了网页登录保护，请统一开启登录保护"), false, false},
        {R"({"isSuccess":false,"lock":false})", 96, "1", "1", std::nullopt, true, true},
        {R"({"isSuccess":false,"lock":false})", 0, "1", "1", std::nullopt, false, true},
        {R"({"isSuccess":false,"lock":true})", 96, "1", "0", std::nullopt, false, false},
        {R"({"isSuccess":true,"protects":[],"lock":true})", 0, "1", "1", std::nullopt, false, false},
    };
    for (const Case& c : cases) {
        ProtectionStatuses statuses;
        foundation::ErrorRef problem;
        auto reply = ProtectionStatusReply::fromValue(json(c.reply), &problem);
        ASSERT_TRUE(reply) << problem->message;
        auto outcome = statuses.applyStatusReply(*reply, c.storedMask);
        EXPECT_EQ(statuses.status("601"), c.login) << c.reply;
        EXPECT_EQ(statuses.status("600"), c.lock) << c.reply;
        EXPECT_EQ(statuses.loginHint(), c.hint) << c.reply;
        EXPECT_EQ(outcome.clearStoredMask, c.clearMask) << c.reply;
        EXPECT_EQ(outcome.noProtectionNotice, c.notice) << c.reply;
        EXPECT_FALSE(statuses.has("999"));
    }
    ProtectionStatuses statuses;
    auto numeric = ProtectionStatusReply::fromValue(json(R"({"isSuccess":true,"protects":[6]})"), nullptr);
    statuses.applyStatusReply(*numeric, 0);
    EXPECT_TRUE(statuses.isOn("6"));
}

TEST(LockTypes, ListRepliesAndTheBuiltInFallback) {
    const auto builtIn = builtInLockTypes();
    ASSERT_EQ(builtIn.size(), 2u);
    EXPECT_EQ(builtIn[0], (LockType{1, "网页主站登录锁定", "禾川网、鹊岭、览途网等禁止登录"}));
    EXPECT_EQ(lockTypesFromReply(std::nullopt), builtIn);
    EXPECT_EQ(lockTypesFromReply(json(R"({"id":4})")), builtIn);
    EXPECT_EQ(lockTypesFromReply(json(R"([{"id":4,"name":"a"},{"name":"no id"}])")), builtIn);
    EXPECT_EQ(lockTypesFromReply(json(R"([{"id":"x"}])")), builtIn);
    EXPECT_EQ(lockTypesFromReply(json(R"([7])")), builtIn);
    const auto listed = lockTypesFromReply(json(R"([{"id":4,"name":"a","description":"d"},{"id":"8","name":"b"}])"));
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[1], (LockType{8, "b", ""}));
    EXPECT_TRUE(lockTypesFromReply(json("[]")).empty());
    EXPECT_EQ(chosenLockTypeSum(listed, {true, true}), 12);
    EXPECT_EQ(chosenLockTypeSum(listed, {false, true}), 8);
    EXPECT_EQ(chosenLockTypeSum(listed, {false, false}), 0);
    EXPECT_EQ(chosenLockTypeSum(listed, {true}), 4);  // a short choice list counts what it has
}

TEST(PasswordChange, EscapingAndTheServersWords) {
    const std::pair<std::string, std::string> cases[] = {
        {"ab;c,1", "%61%62%EF%BC%9B%63%EF%BC%8C1"},
        {"20240601", "20240601"},
        {"密 码", "%E5%AF%86%20%E7%A0%81"},
        {"A-z_9%", "%41%2D%7A%5F9%25"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(passwordchange::escapePassword(in), out) << in;
    EXPECT_EQ(passwordchange::refusalNotice("您的密码长度必须密码由6-16位字符(字母、数字、符号)组合而成，请重新输入"),
              "密码须由6-16位字符(字母、数字、符号)组成");
    EXPECT_EQ(passwordchange::refusalNotice("新密码不能与原密码相同"), "新密码不能与原密码相同");
}

TEST(PersonCenterModel, ReplyRules) {
    const auto zone = foundation::TimeZone::fixed(8 * 3600);
    PersonCenterInfo info;
    auto shown = applyPersonCenterReply(json(R"({"protects":"3","pdrs":"true","usertype":"2","safescore":130,
        "name":"abcdefghij","image":"http://x/p.png","phone":"1380013","count":2,"safepoint":40,
        "lastlogin":"1700000000123","lastlogincity":"UNKNOWN","products":["otp","zzz"]})"),
                                        info, zone);
    EXPECT_EQ(shown.scoreText, "100");
    EXPECT_EQ(shown.barWidth, 130);
    EXPECT_EQ(shown.name, "abcdefij");
    EXPECT_EQ(shown.phone, "未绑定");
    EXPECT_EQ(shown.dangerous, "2");
    EXPECT_EQ(shown.points, "40");
    EXPECT_EQ(shown.lastTime, "11-15 06:13:20");
    EXPECT_EQ(shown.city, std::optional<std::string>("未知地点"));
    EXPECT_TRUE(shown.checkInEnabled);  // no "checkin": not yet
    EXPECT_EQ(shown.products, (std::vector<std::string>{"otp", "zzz"}));
    EXPECT_EQ(shown.userType, std::optional<std::string>("2"));
    EXPECT_EQ(info.closeProtect, std::optional<std::string>("6"));
    EXPECT_EQ(info.openProtectProduct, std::optional<std::string>("3"));
    EXPECT_EQ(productLabel("otp"), "禾钥");
    EXPECT_EQ(productLabel("zzz"), "");

    shown = applyPersonCenterReply(json(R"({"safescore":-5,"name":"abcdefgh","phone":"13800138000",
        "lastlogincity":"","checkin":"true"})"),
                                   info, zone);
    EXPECT_EQ(shown.scoreText, "0");
    EXPECT_EQ(shown.barWidth, 0);
    EXPECT_EQ(shown.name, "abcdefgh");
    EXPECT_EQ(shown.phone, "13800138000");
    EXPECT_EQ(shown.openProtect, "0");
    EXPECT_EQ(info.closeProtect, std::optional<std::string>("9"));
    EXPECT_EQ(shown.lastTime, "无登录记录");
    EXPECT_EQ(shown.city, std::nullopt);  // an empty city leaves the label
    EXPECT_FALSE(shown.checkInEnabled);
    EXPECT_EQ(shown.dangerous, "0");
    EXPECT_EQ(shown.points, "0");

    for (const char* reply : {R"j({"name":"(null)"})j", R"({"name":""})", "{}"}) {
        shown = applyPersonCenterReply(json(reply), info, zone);
        EXPECT_EQ(shown.name, "安全中心") << reply;
        EXPECT_EQ(shown.city, std::optional<std::string>("无登录记录")) << reply;
    }
}

}  // namespace
