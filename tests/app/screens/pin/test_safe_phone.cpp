// The safe phone's three screens against the test server (command 17): what
// they send, the mask they store, and the inputs they refuse.
#include "tests/app/screens/pin/PinFixture.h"

#include "app/core/StoreKeys.h"
#include "app/screens/pin/SafePhoneScreens.h"
#include "lib/kit/DnNotificationManager.h"

namespace {

namespace K = StoreKeys;

class SafePhoneTest : public PinFixture {
protected:
    // The fields of the last command 17 the server saw, after uuid and answer.
    std::vector<std::string> lastFields() {
        std::vector<std::string> out;
        foundation::Array log = serverLog();
        for (auto it = log.rbegin(); it != log.rend(); ++it) {
            const foundation::Value* command = it->get("command");
            if (!command || command->longLongValue() != 17) continue;
            const foundation::Array* fields = it->get("fields")->asArray();
            for (size_t i = 2; i < fields->size(); ++i) out.push_back(fields->at(i).description());
            break;
        }
        return out;
    }
    int count17() {
        int n = 0;
        for (int c : commands()) n += c == 17;
        return n;
    }
    template <class S>
    bool done(S& screen) {
        return answered(screen, SafePhoneScreen::kCommand, [&] { return !alertText().empty(); });
    }
};

TEST_F(SafePhoneTest, OpenSendsKeepZeroByDefaultAndStoresTheMask) {
    auto screen = open<RemoteDeleteViewController>(pinscreens::kRemoteDeleteScreen);
    ASSERT_TRUE(screen);
    screen->safePhoneField()->setText("13812345678");
    screen->deletePasswordField()->setText("1234567890");  // ten digits: accepted
    screen->RemoteSubmit();
    EXPECT_EQ(alertText(),
              "确认开启远程注销|安全手机号：13812345678，注销密码为：1234567890，注销之后将会保留"
              "账号注销前的保护状态，请你一定要牢记安全手机号和注销密码！");
    pressAlert(0);
    ASSERT_TRUE(done(*screen));
    EXPECT_EQ(lastFields(), (std::vector<std::string>{"0", "13812345678", "1234567890", "0"}));
    EXPECT_EQ(alertText(), "开通成功|请牢记你的安全手机号与注销密码！如果安全手机号不再使用，请及时换绑安全手机号！");
    EXPECT_EQ(stored(K::safePhone), "138******78");
    EXPECT_EQ(commands(), (std::vector<int>{0, 17}));
}

TEST_F(SafePhoneTest, OneTapOnTheKeepButtonSendsOne) {
    auto screen = open<RemoteDeleteViewController>(pinscreens::kRemoteDeleteScreen);
    ASSERT_TRUE(screen);
    screen->checkProtect();
    EXPECT_EQ(DnNotificationManager::lastAlertText(), "远程注销后，所有操作保护将设为关闭");
    EXPECT_TRUE(screen->protectBtn()->isSelected());
    screen->safePhoneField()->setText("13812345678");
    screen->deletePasswordField()->setText("42");
    screen->RemoteSubmit();
    EXPECT_NE(alertText().find("注销之后将会关闭账号"), std::string::npos);
    pressAlert(0);
    ASSERT_TRUE(done(*screen));
    EXPECT_EQ(lastFields(), (std::vector<std::string>{"0", "13812345678", "42", "1"}));
}

TEST_F(SafePhoneTest, OpenRefusesBadFieldsAndSendsNothing) {
    struct Case {
        const char* phone;
        const char* password;
        const char* notice;
        bool phoneEmptied, passwordEmptied;
    } cases[] = {
        {"1381234567", "42", "请输入11位数安全手机号", true, false},   // ten digits
        {"1381234567,", "42", "请输入11位数安全手机号", true, false},  // would shift the fields
        {"13812345678", "", "注销密码应为10位以内的纯数字密码", false, true},
        {"13812345678", "12345678901", "注销密码应为10位以内的纯数字密码", false, true},
        {"13812345678", "12;3", "注销密码应为10位以内的纯数字密码", false, true},
    };
    auto screen = open<RemoteDeleteViewController>(pinscreens::kRemoteDeleteScreen);
    ASSERT_TRUE(screen);
    for (const auto& c : cases) {
        screen->safePhoneField()->setText(c.phone);
        screen->deletePasswordField()->setText(c.password);
        screen->RemoteSubmit();
        EXPECT_EQ(DnNotificationManager::lastAlertText(), c.notice) << c.phone << " " << c.password;
        EXPECT_EQ(screen->safePhoneField()->text().empty(), c.phoneEmptied) << c.phone;
        EXPECT_EQ(screen->deletePasswordField()->text().empty(), c.passwordEmptied) << c.password;
        EXPECT_EQ(alertText(), "");
    }
    EXPECT_TRUE(commands().empty());
}

TEST_F(SafePhoneTest, ChangeSendsOldAndNewAndStoresTheNewMask) {
    server().control("safephone", R"({"phone": "13812345678", "password": "123456"})");
    put(K::safePhone, "138******78");
    auto screen = open<modifySafePhoneViewController>(pinscreens::kModifySafePhoneScreen);
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->oldSafePhone()->isFirstResponder());
    // Refusals first: each with its notice, nothing sent.
    struct Case {
        const char* fields[4];
        const char* notice;
    } refusals[] = {
        {{"13812345678", "", "13900000000", "9"}, "你有输入为空，请全部输入后再试！"},
        {{"13812345678", "123456", "139000000001", "9"}, "手机号应该为11位纯数字，请检查后再试！"},
        {{"13812345678", "123456", "13900000000", "12345678901"}, "注销密码长度不可以超过10位，请检查后重新输入！"},
        {{"13812345678", "123456", "13900000000", "9,9"}, "注销密码长度不可以超过10位，请检查后重新输入！"},
    };
    ui::TextField* fields[] = {screen->oldSafePhone(), screen->oldSafePwd(), screen->nwSafePhone(),
                               screen->nwSafePwd()};
    for (const auto& c : refusals) {
        for (int i = 0; i < 4; ++i) fields[i]->setText(c.fields[i]);
        screen->Modify_Action();
        EXPECT_EQ(DnNotificationManager::lastAlertText(), c.notice);
        EXPECT_EQ(fields[3]->text(), c.fields[3]);  // no field is emptied
    }
    EXPECT_TRUE(commands().empty());

    const char* good[] = {"13812345678", "123456", "13900000000", "9"};
    for (int i = 0; i < 4; ++i) fields[i]->setText(good[i]);
    screen->changeSaveProtect();
    EXPECT_EQ(alertText(), "关闭所有操作保护|所有操作保护将设为关闭，如有疑问，请点击本页右上角的帮助按钮查看！");
    pressAlert();
    screen->Modify_Action();
    EXPECT_EQ(alertText(),
              "确认修改远程注销|安全手机号：13900000000 ,注销密码为：9 ,注销之后将会关闭账号注销前的保护状态,"
              "请你一定要牢记修改之后的安全手机号和注销密码！");
    pressAlert(0);
    ASSERT_TRUE(done(*screen));
    EXPECT_EQ(lastFields(), (std::vector<std::string>{"2", "13812345678", "123456", "13900000000", "9", "1"}));
    EXPECT_EQ(alertText(), "修改成功|请牢记新的安全手机号与注销密码！如果安全手机号不再使用，请及时换绑安全手机号！");
    EXPECT_EQ(stored(K::safePhone), "139******00");
}

TEST_F(SafePhoneTest, ARefusedChangeKeepsTheMaskAndABadReplyDoesNotSendAgain) {
    server().control("safephone", R"({"phone": "13812345678", "password": "123456"})");
    put(K::safePhone, "138******78");
    auto screen = open<modifySafePhoneViewController>(pinscreens::kModifySafePhoneScreen);
    ASSERT_TRUE(screen);
    const char* wrong[] = {"13812345678", "654321", "13900000000", "9"};
    ui::TextField* fields[] = {screen->oldSafePhone(), screen->oldSafePwd(), screen->nwSafePhone(),
                               screen->nwSafePwd()};
    for (int i = 0; i < 4; ++i) fields[i]->setText(wrong[i]);
    screen->Modify_Action();
    pressAlert(0);
    ASSERT_TRUE(done(*screen));
    EXPECT_EQ(alertText(), "修改失败|你输入的远程注销的旧信息错误，请重新再试！");
    EXPECT_EQ(stored(K::safePhone), "138******78");
    pressAlert();

    queue({{"command", 17}, {"fault", "no-content"}});
    screen->Modify_Action();
    pressAlert(0);
    ASSERT_TRUE(done(*screen));
    EXPECT_EQ(alertText(), "警告|您的网络不稳定，请稍后再试");
    const int sent = count17();
    pressAlert(0);
    driver().advance(1);
    EXPECT_EQ(count17(), sent);  // its button does not send the command again
}

TEST_F(SafePhoneTest, CancelClearsTheMaskOrEmptiesTheFields) {
    server().control("safephone", R"({"phone": "13812345678", "password": "123456"})");
    put(K::safePhone, "138******78");
    auto screen = open<deleteSafePwdViewController>(pinscreens::kDeleteSafePhoneScreen);
    ASSERT_TRUE(screen);
    screen->oldSafePhone()->setText("13812345678");
    screen->oldSafePwd()->setText("111");
    screen->submit_btn();  // no confirmation
    ASSERT_TRUE(answered(*screen, SafePhoneScreen::kCommand,
                         [&] { return DnNotificationManager::lastAlertText() == "请确定你输入的旧信息是否正确"; }));
    EXPECT_EQ(screen->oldSafePhone()->text(), "");
    EXPECT_EQ(screen->oldSafePwd()->text(), "");
    EXPECT_EQ(stored(K::safePhone), "138******78");

    screen->oldSafePhone()->setText("13812345678");
    screen->oldSafePwd()->setText("123456");
    screen->submit_btn();
    ASSERT_TRUE(done(*screen));
    EXPECT_EQ(lastFields(), (std::vector<std::string>{"3", "13812345678", "123456"}));
    EXPECT_EQ(alertText(), "取消服务成功|取消远程注销服务成功！");
    EXPECT_EQ(stored(K::safePhone), "null");
}

TEST_F(SafePhoneTest, HandshakeFailureOnTheCancelScreenHasItsOwnNotice) {
    queue({{"command", 0}, {"fault", "http500"}});
    auto screen = open<deleteSafePwdViewController>(pinscreens::kDeleteSafePhoneScreen);
    ASSERT_TRUE(screen);
    screen->oldSafePhone()->setText("13812345678");
    screen->oldSafePwd()->setText("123456");
    screen->submit_btn();
    ASSERT_TRUE(answered(*screen, SafePhoneScreen::kCommand, [&] {
        return DnNotificationManager::lastAlertText() == "取消失败，你的网络不稳定，请稍后再试！";
    }));
    EXPECT_EQ(count17(), 0);
}

}  // namespace
