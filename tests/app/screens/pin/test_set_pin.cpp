// Setting, changing and deleting the start PIN: the steps, their prompts and
// the only keys each writes.
#include "tests/app/screens/pin/PinFixture.h"

#include "app/core/StoreKeys.h"
#include "app/screens/pin/SetPinScreens.h"

namespace {

namespace K = StoreKeys;

class SetPinTest : public PinFixture {
protected:
    void SetUp() override {
        PinFixture::SetUp();
        put(K::passward, "null");
        put(K::safe_password, "0");
        put(K::faild_count, "2");
        put(K::safe_time, "null");
    }
    // The keys the screens must leave alone.
    void expectFreezeKeysUntouched() {
        EXPECT_EQ(stored(K::faild_count), "2");
        EXPECT_EQ(stored(K::safe_time), "null");
    }
};

TEST_F(SetPinTest, SetTwiceWithTheProtectionSwitchedOffAndOnAgain) {
    auto screen = open<SoftPasswordViewController>(pinscreens::kSetPinScreen);
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->isSafePassword());
    screen->safePassword();
    EXPECT_EQ(alertText(), "关闭防暴力猜解|输入密码错误次数无限制，具体信息请点击本页右上角的帮助按钮查看！");
    EXPECT_TRUE(screen->safePasswordBtn()->isSelected());
    pressAlert();
    screen->safePassword();
    EXPECT_EQ(alertText(),
              "开启防暴力猜解|如果连续输错密码达5次，软件将被冻结30分钟。具体信息请点击本页右上角的帮助按钮查看！");
    pressAlert();

    typePin("1357");
    EXPECT_EQ(screen->prompt()->text(), "重新输入软件启动密码");
    EXPECT_EQ(stored(K::passward), "null");  // nothing before the last step
    typePin("1358");
    EXPECT_EQ(screen->prompt()->text(), "两次输入的密码不一致，请重新输入");
    typePin("1357");  // a first entry again
    EXPECT_EQ(stored(K::passward), "null");
    typePin("1357");
    EXPECT_EQ(stored(K::passward), "1357");
    EXPECT_EQ(stored(K::safe_password), "1");
    expectFreezeKeysUntouched();
    EXPECT_EQ(alertText(),
              "设置成功|软件启动密码设置成功，你开启了防暴力猜解，如果输入5次密码连续错误，将会冻结软件30分钟。");
    EXPECT_EQ(screen->entry()->dotsShown(), 4);  // the alert shows over the four dots
    pressAlert();
}

TEST_F(SetPinTest, SetWithoutTheProtection) {
    put(K::safe_password, "1");
    auto screen = open<SoftPasswordViewController>(pinscreens::kSetPinScreen);
    ASSERT_TRUE(screen);
    screen->safePassword();
    pressAlert();
    typePin("0000");
    typePin("0000");
    EXPECT_EQ(stored(K::safe_password), "0");
    EXPECT_EQ(alertText(), "设置成功|软件启动密码设置成功，你没有开启防暴力猜解，输入密码错误次数不受限制。");
}

TEST_F(SetPinTest, ChangeNeedsTheOldPinAndTwoEqualNewOnes) {
    put(K::passward, "1111");
    put(K::safe_password, "1");
    auto screen = open<ModifySoftPwdViewController>(pinscreens::kModifyPinScreen);
    ASSERT_TRUE(screen);
    typePin("2222");
    EXPECT_EQ(screen->prompt()->text(), "旧密码输入错误，请重新输入");
    typePin("2222");
    EXPECT_EQ(screen->prompt()->text(), "旧密码输入错误，请重新输入");  // never reaches the new-PIN step
    typePin("1111");
    EXPECT_EQ(screen->prompt()->text(), "请输入新密码");
    typePin("3333");
    EXPECT_EQ(screen->prompt()->text(), "再次输入新密码");
    typePin("4444");
    EXPECT_EQ(screen->prompt()->text(), "两次新密码输入不一致，请重新输入");
    EXPECT_EQ(stored(K::passward), "1111");
    typePin("5555");
    typePin("5555");
    EXPECT_EQ(stored(K::passward), "5555");
    EXPECT_EQ(stored(K::safe_password), "1");
    expectFreezeKeysUntouched();
    EXPECT_EQ(alertText(), "修改成功|软件启动密码修改成功");
    EXPECT_EQ(screen->entry()->dotsShown(), 0);
}

TEST_F(SetPinTest, DeleteKeepsTheProtectionAndFreezeKeys) {
    put(K::passward, "1111");
    put(K::safe_password, "1");
    auto screen = open<DeleteSoftPwdViewController>(pinscreens::kDeletePinScreen);
    ASSERT_TRUE(screen);
    typePin("1112");
    EXPECT_EQ(screen->prompt()->text(), "旧密码输入错误，请重新输入");
    EXPECT_EQ(stored(K::passward), "1111");
    typePin("1111");
    EXPECT_EQ(stored(K::passward), "null");
    EXPECT_EQ(stored(K::safe_password), "1");
    expectFreezeKeysUntouched();
    EXPECT_EQ(alertText(), "删除成功|软件启动密码删除成功！");
}

}  // namespace
