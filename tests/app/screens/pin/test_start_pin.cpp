// The start-PIN screen against the test server: the wrong-PIN count, the
// freeze on the server's clock (command 22), the open button, the ways the
// server's time can be missing, migration and the entry itself.
#include "tests/app/screens/pin/PinFixture.h"

#include "app/core/StoreKeys.h"
#include "app/screens/pin/PinModel.h"
#include "app/screens/pin/StartPasswordViewController.h"

namespace {

namespace K = StoreKeys;
using Screen = StartPasswordViewController;

constexpr long long kServerNow = 2200000000;  // after 2038: 64-bit times throughout

class StartPinTest : public PinFixture {
protected:
    void SetUp() override {
        PinFixture::SetUp();
        put(K::passward, "2468");
        put(K::safe_password, "1");
        put(K::faild_count, "0");
        put(K::safe_time, "null");
        setServerTime(kServerNow);
    }
    std::shared_ptr<Screen> openPin() { return open<Screen>(pinscreens::kStartPasswordScreen); }
    bool frozenLabelShown(Screen& s, long long end) {
        return answered(s, Screen::kTagDecide,
                        [&] { return s.txtLabel()->text() == pin::frozenUntilLabel(end, true); });
    }
};

TEST_F(StartPinTest, FourWrongPinsCountDownAndTheFifthFreezesOnServerTime) {
    auto screen = openPin();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->passwordTxt()->isFirstResponder());
    EXPECT_EQ(screen->txtLabel()->text(), "连续错误次数 ( 防暴力猜解 ) : 0次");
    for (int n = 1; n <= 4; ++n) {
        typePin("1111");
        EXPECT_EQ(alertText(), "密码错误|目前已经连续输错" + std::to_string(n) + "次，您剩余的尝试次数为" +
                                   std::to_string(5 - n) + "次");
        EXPECT_EQ(stored(K::faild_count), std::to_string(n));
        EXPECT_EQ(screen->txtLabel()->text(), pin::countLabel(std::to_string(n)));
        EXPECT_EQ(screen->entry()->text(), "");
        EXPECT_EQ(screen->entry()->dotsShown(), 0);
        pressAlert();
    }
    EXPECT_TRUE(commands().empty());
    queue({{"command", 22}, {"delay", 3}});  // time to look at the pending freeze
    typePin("1111");
    // The pending freeze: the count is stored before the server answers.
    EXPECT_EQ(stored(K::faild_count), "5");
    EXPECT_FALSE(screen->passwordTxt()->isEnabled());
    EXPECT_FALSE(screen->openbtn()->isHidden());
    ASSERT_TRUE(frozenLabelShown(*screen, kServerNow + 1800));
    EXPECT_EQ(stored(K::safe_time), std::to_string(kServerNow + 1800));
    EXPECT_EQ(stored(K::faild_count), "0");
    EXPECT_EQ(commands(), std::vector<int>{22});
    EXPECT_EQ(*serverLog().back().get("text")->asString(), "22;***");
}

TEST_F(StartPinTest, TheOpenButtonTellsTheTimeLeftThenUnfreezes) {
    put(K::safe_time, std::to_string(kServerNow + 125));
    queue({{"command", 22}, {"delay", 3}});  // time to read the label shown before the answer
    auto screen = openPin();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->txtLabel()->text(), pin::frozenUntilLabel(kServerNow + 125, false));
    ASSERT_TRUE(frozenLabelShown(*screen, kServerNow + 125));  // still frozen: no alert
    EXPECT_EQ(alertText(), "");
    EXPECT_FALSE(screen->passwordTxt()->isEnabled());

    // The device clock moved a day ahead changes nothing.
    clock().advance(86400);
    screen->isOpenCheck();
    ASSERT_TRUE(answered(*screen, Screen::kTagOpen, [&] { return !alertText().empty(); }));
    EXPECT_EQ(alertText(), "解冻时间检测|你距离软件解冻时间还有2分5秒，请你稍后再来检测！");
    EXPECT_EQ(stored(K::safe_time), std::to_string(kServerNow + 125));
    pressAlert();

    setServerTime(kServerNow + 125);
    screen->isOpenCheck();
    ASSERT_TRUE(answered(*screen, Screen::kTagOpen, [&] { return !alertText().empty(); }));
    EXPECT_EQ(alertText(), "软件已经解冻|你的软件已经解冻，现在你可以继续输入密码了！");
    EXPECT_EQ(stored(K::safe_time), "null");
    EXPECT_EQ(stored(K::faild_count), "0");
    EXPECT_TRUE(screen->passwordTxt()->isEnabled());
    EXPECT_TRUE(screen->openbtn()->isHidden());
    EXPECT_EQ(commands(), (std::vector<int>{22, 22, 22}));
}

TEST_F(StartPinTest, AnAppearanceAfterTheEndUnfreezesSilently) {
    put(K::safe_time, std::to_string(kServerNow - 1));
    auto screen = openPin();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(answered(*screen, Screen::kTagDecide, [&] { return screen->passwordTxt()->isEnabled(); }));
    EXPECT_EQ(screen->txtLabel()->text(), pin::countLabel("0"));
    EXPECT_EQ(stored(K::safe_time), "null");
    EXPECT_EQ(alertText(), "");
}

struct TimeFailure {
    const char* name;
    bool frozen;  // else pending
    std::function<void(PinFixture&)> breakIt;
    const char* alert;
};

void PrintTo(const TimeFailure& c, std::ostream* os) { *os << c.name; }

const char* const kFetchFailed =
    "获取解冻时间失败|网络失败。你已被冻结，请检查网络是否畅通，方便软件获取你的解冻时间，谢谢！";

class StartPinTimeFailureTest : public StartPinTest, public ::testing::WithParamInterface<TimeFailure> {
public:
    static void offline(PinFixture&) { setNetwork(false); }
};

TEST_P(StartPinTimeFailureTest, NothingChangesAndTheAlertEndsTheApp) {
    const TimeFailure& c = GetParam();
    const std::string safeTime = c.frozen ? std::to_string(kServerNow + 600) : "null";
    const std::string count = c.frozen ? "0" : "5";
    put(K::safe_time, safeTime);
    put(K::faild_count, count);
    c.breakIt(*this);
    auto screen = openPin();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(waitFor([&] { return !alertText().empty(); }));
    ASSERT_TRUE(waitFor([&] { return !screen->isWaitingForResponse(Screen::kTagDecide); }));
    driver().advance(0.5);
    EXPECT_EQ(alertText(), c.alert);
    EXPECT_EQ(alertTag(), Screen::kEndAppAlertTag);
    EXPECT_FALSE(screen->passwordTxt()->isEnabled());
    EXPECT_EQ(stored(K::safe_time), safeTime);
    EXPECT_EQ(stored(K::faild_count), count);
    EXPECT_TRUE(exits().empty());
    pressAlert();
    EXPECT_EQ(exits(), std::vector<int>{0});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartPinTimeFailureTest,
    ::testing::Values(
        TimeFailure{"PendingOffline", false, StartPinTimeFailureTest::offline,
                    "网络失败|网络失败。很抱歉的告诉你，由于您之前连续输入密码错误达5次，按照防暴力猜解规则，"
                    "将你软件冻结30分钟，请你打开并检查网络，方便软件计算你的解冻时间，否则你的冻结初始时间会顺延，"
                    "直到你连接网络为止！"},
        TimeFailure{
            "FrozenOffline", true, StartPinTimeFailureTest::offline,
            "获取解冻时间失败|网络没有打开。很抱歉的告诉你，由于您之前连续输入密码错误达5次，按照防暴力猜解规则，"
            "已将你软件冻结。请你打开并检查网络，方便软件判断你是否已经解冻，请你打开网络后再进入软件。"},
        TimeFailure{"PendingReplyWithoutTime", false,
                    [](PinFixture& t) {
                        t.queue({{"command", 22}, {"reply", foundation::Dictionary{{"later", 1}}}});
                    },
                    kFetchFailed},
        TimeFailure{"FrozenZeroTime", true,
                    [](PinFixture& t) {
                        t.queue({{"command", 22}, {"reply", foundation::Dictionary{{"time", 0}}}});
                    },
                    kFetchFailed},
        TimeFailure{"PendingDropped", false,
                    [](PinFixture& t) {
                        // The client tries a dropped connection once more.
                        for (int i = 0; i < 2; ++i) t.queue({{"command", 22}, {"fault", "drop"}});
                    },
                    kFetchFailed},
        TimeFailure{"FrozenNotTheWrapper", true,
                    [](PinFixture& t) {
                        t.queue({{"command", 22}, {"fault", "no-content"}});
                    },
                    "警告|您的网络不稳定，请稍后再试"}),
    [](const ::testing::TestParamInfo<TimeFailure>& info) { return std::string(info.param.name); });

TEST_F(StartPinTest, TheRightPinResetsTheCountAndGoesIn) {
    put(K::faild_count, "3");
    auto screen = openPin();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->txtLabel()->text(), pin::countLabel("3"));
    typePin("2468");
    EXPECT_EQ(stored(K::faild_count), "0");
    EXPECT_EQ(stored(K::safe_time), "null");
    EXPECT_EQ(stored(K::passward), "2468");
    EXPECT_TRUE(segued("StartPasswordViewController->checkSuccess->KAVOMainFrameViewController"));
}

TEST_F(StartPinTest, WithoutTheProtectionWrongPinsOnlyAlert) {
    put(K::safe_password, "0");
    auto screen = openPin();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->txtLabel()->isHidden());
    for (int i = 0; i < 6; ++i) {
        typePin("9999");
        EXPECT_EQ(alertText(), "密码错误|你输入的密码错误,如果你已开启远程注销，可以用远程注销信息找回启动密码。");
        pressAlert();
    }
    EXPECT_EQ(stored(K::faild_count), "0");
    EXPECT_TRUE(commands().empty());
    typePin("2468");
    EXPECT_TRUE(segued("StartPasswordViewController->checkSuccess->KAVOMainFrameViewController"));
}

struct MigrationCase {
    const char* stored;
    const char* typed;
    const char* notice;
};

void PrintTo(const MigrationCase& c, std::ostream* os) { *os << c.stored; }

class StartPinMigrationTest : public StartPinTest, public ::testing::WithParamInterface<MigrationCase> {};

TEST_P(StartPinMigrationTest, AcceptedOnceThenDropped) {
    const MigrationCase& c = GetParam();
    put(K::passward, c.stored);
    auto screen = openPin();
    ASSERT_TRUE(screen);
    EXPECT_NE(alertText().find(c.notice), std::string::npos) << alertText();
    EXPECT_FALSE(screen->showUpdate()->isHidden());
    pressAlert();
    typePin(c.typed);
    EXPECT_TRUE(segued("StartPasswordViewController->checkSuccess->KAVOMainFrameViewController"));
    EXPECT_EQ(stored(K::passward), "null");
}

INSTANTIATE_TEST_SUITE_P(Lengths, StartPinMigrationTest,
                         ::testing::Values(MigrationCase{"123456", "1234", "大于4位"},
                                           MigrationCase{"12", "1200", "少于4位"},
                                           MigrationCase{"7", "7000", "少于4位"}));

TEST_F(StartPinTest, TheEntryTakesOneDigitAtATime) {
    auto screen = openPin();
    ASSERT_TRUE(screen);
    driver().type("2468");  // a paste
    EXPECT_EQ(screen->entry()->text(), "");
    driver().type("a");
    EXPECT_EQ(screen->entry()->text(), "");
    driver().type("2");
    driver().type("4");
    EXPECT_EQ(screen->entry()->dotsShown(), 2);
    driver().backspace();
    EXPECT_EQ(screen->entry()->text(), "2");
    EXPECT_EQ(screen->entry()->dotsShown(), 1);
    for (const char* d : {"4", "6", "8"}) driver().type(d);
    EXPECT_EQ(screen->entry()->dotsShown(), 4);
    driver().type("0");  // full
    EXPECT_EQ(screen->entry()->text(), "2468");
    // The check waits half a second.
    EXPECT_TRUE(screen->entry()->isCompletionPending());
    driver().advance(0.4);
    EXPECT_TRUE(map.performedSegues().empty());
    driver().advance(0.1);
    EXPECT_TRUE(segued("StartPasswordViewController->checkSuccess->KAVOMainFrameViewController"));
}

TEST_F(StartPinTest, TheForgottenPinButtonNeedsTheNetwork) {
    auto screen = openPin();
    ASSERT_TRUE(screen);
    setNetwork(false);
    screen->forgetPwd();
    EXPECT_EQ(alertText(), "检测不到网络|您的网络不稳定，请稍后再试");
    pressAlert();
    setNetwork(true);
    ASSERT_TRUE(driver().tapText("忘记启动密码？"));
    driver().advance(0.5);
    EXPECT_TRUE(segued("StartPasswordViewController->forgetPwd->ForgetPwdViewController"));
}

}  // namespace
