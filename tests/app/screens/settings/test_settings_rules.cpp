// The decisions of the settings and feedback screens, without a window.
#include <gtest/gtest.h>

#include "app/screens/settings/SettingsRules.h"

namespace {

TEST(SettingsRules, VersionRule) {
    struct Case {
        const char *local, *remote;
        bool update;
    };
    const Case cases[] = {
        {"1.2", "1.10", true},                                                 // 10 > 2, not text order
        {"2.0", "1.9.9", false},                                               //
        {"3.0", "3.0.0", false},                                               // a missing part reads as 0
        {"3.0", "3.0.1", true},                                                //
        {"3.0.1", "3.0", false},                                               //
        {"3.0", "3.0", false},                                                 //
        {"3.0", "null", false},                                                // no digits read as 0
        {"3.0", "(null)", false}, {"3.0", "4", true}, {"3.0b", "3.0", false},  // leading digits only
    };
    for (const Case& c : cases)
        EXPECT_EQ(SettingsRules::isNeedUpdate(c.local, c.remote), c.update) << c.local << " vs " << c.remote;
    EXPECT_EQ(SettingsRules::versionSubtitle("3.0", "3.1"), "当前版本号: 3.0     有更新: 3.1版本");
    EXPECT_EQ(SettingsRules::versionSubtitle("3.0", "3.0.0"), "当前版本号: 3.0     已是最新版");
}

TEST(SuggestRules, TenMinutesBetweenSends) {
    EXPECT_FALSE(SuggestRules::tooSoon(1700000000, "123"));  // the value a binding writes
    EXPECT_TRUE(SuggestRules::tooSoon(1700000599, "1700000000"));
    EXPECT_FALSE(SuggestRules::tooSoon(1700000600, "1700000000"));
}

TEST(SuggestRules, ChangesStopAtTwoHundredCharacters) {
    const std::string ten = "一二三四五六七八九十";
    EXPECT_TRUE(SuggestRules::acceptsChange(199, 199, 0, "字"));
    EXPECT_FALSE(SuggestRules::acceptsChange(200, 200, 0, "字"));
    // A paste that would carry the text past 200 characters is refused...
    EXPECT_FALSE(SuggestRules::acceptsChange(195, 195, 0, ten));
    EXPECT_FALSE(SuggestRules::acceptsChange(0, 0, 0, std::string(201, 'a')));
    // ...one that fits, or that replaces enough, is taken.
    EXPECT_TRUE(SuggestRules::acceptsChange(190, 190, 0, ten));
    EXPECT_TRUE(SuggestRules::acceptsChange(200, 10, 10, ten));
    EXPECT_EQ(SuggestRules::charactersLeftText(0), "您还可以输入199字");
    EXPECT_EQ(SuggestRules::charactersLeftText(199), "您还可以输入0字");
}

TEST(SuggestRules, TheOpinionFieldCarriesTheDeviceAndNoSeparators) {
    const std::string field = SuggestRules::opinionField("iPhone", "6.1", "3.0", "好;a,b c");
    // ";" and "," become full-width before escaping: the field cannot split the payload.
    EXPECT_EQ(field.find(';'), std::string::npos);
    EXPECT_EQ(field.find(','), std::string::npos);
    EXPECT_EQ(field, "(iPhone%206.1)-V3.0:%20%E5%A5%BD%EF%BC%9Ba%EF%BC%8Cb%20c");
}

}  // namespace
