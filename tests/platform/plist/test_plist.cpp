#include <gtest/gtest.h>

#include <string>

#include "platform/plist/PropertyList.h"

namespace {

TEST(PropertyList, ReadsEveryTypeAndNumbersWrittenAsText) {
    auto v = plist::parse(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//x//DTD PLIST 1.0//EN" "x.dtd">
<plist version="1.0"><dict>
  <key>format</key><integer>3</integer>
  <key>formatText</key><string>3</string>
  <key>delay</key><real>0.25</real>
  <key>on</key><true/>
  <key>off</key><false/>
  <key>data</key><data>QUJD</data>
  <key>names</key><array><string>甲.png</string><string>b &amp; c</string></array>
  <key>nested</key><dict><key>empty</key><dict/></dict>
</dict></plist>)");
    ASSERT_TRUE(v && v->isDictionary());
    EXPECT_EQ(v->get("format")->intValue(), 3);
    EXPECT_EQ(v->get("formatText")->intValue(), 3);
    EXPECT_DOUBLE_EQ(v->get("delay")->doubleValue(), 0.25);
    EXPECT_TRUE(v->get("on")->boolValue());
    EXPECT_FALSE(v->get("off")->boolValue());
    EXPECT_EQ(*v->get("data")->asBytes(), (foundation::Bytes{'A', 'B', 'C'}));
    ASSERT_EQ(v->get("names")->asArray()->size(), 2u);
    EXPECT_EQ(*v->get("names")->at(0)->asString(), "甲.png");
    EXPECT_EQ(*v->get("names")->at(1)->asString(), "b & c");
    EXPECT_TRUE(v->get("nested")->get("empty")->asDictionary()->empty());
}

TEST(PropertyList, DataIsReadAcrossLineBreaksTabsAndPadding) {
    struct Case {
        const char* data;
        foundation::Bytes bytes;
    } cases[] = {
        {"\n\tQUJD\n\tRA==\n", {'A', 'B', 'C', 'D'}},  // wrapped and padded
        {"QUJDRA", {'A', 'B', 'C', 'D'}},              // unpadded tail
        {"QUJDR", {'A', 'B', 'C'}},                    // a lone trailing character is dropped
        {"QR==", {'A'}},                               // bits past the last byte are ignored
        {"QUJD=QUJD", {'A', 'B', 'C'}},                // the first "=" ends the data
        {"\n\t", {}},
    };
    for (const auto& c : cases) {
        auto v = plist::parse(std::string("<plist><data>") + c.data + "</data></plist>");
        ASSERT_TRUE(v && v->asBytes()) << c.data;
        EXPECT_EQ(*v->asBytes(), c.bytes) << c.data;
    }
}

TEST(PropertyList, MalformedDocumentsReadAsNothing) {
    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "<array>";
    for (int i = 0; i < 300; ++i) deep += "</array>";
    const char* bad[] = {
        "<plist><dict><key>a</key></dict></plist>",               // key without a value
        "<plist><dict><string>x</string></dict></plist>",         // value without a key
        "<plist><dict><key>a</key><integer>1</integer></plist>",  // unbalanced
        "<plist><frob/></plist>",                                 // unknown element
        "<plist><string>a</string><string>b</string></plist>",    // two roots
        "<plist></plist>",                                        // no root
        "not xml at all",
    };
    for (const char* b : bad) EXPECT_FALSE(plist::parse(b).has_value()) << b;
    EXPECT_FALSE(plist::parse("<plist>" + deep + "</plist>").has_value());
    EXPECT_FALSE(plist::readFile("/nonexistent/x.plist").has_value());
}

}  // namespace
