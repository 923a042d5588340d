#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/Text.h"
#include "platform/foundation/Value.h"

using namespace foundation;

namespace {

TEST(Value, PercentAtTextsTable) {
    struct Case {
        Value v;
        std::string text;
    };
    const Case cases[] = {
        {Value(), "(null)"},
        {Value(true), "1"},
        {Value(false), "0"},
        {Value(0), "0"},
        {Value(-42), "-42"},
        {Value(9007199254740993LL), "9007199254740993"},  // 2^53 + 1 stays exact
        {Value(-9007199254740993LL), "-9007199254740993"},
        {Value(18446744073709551615ULL), "18446744073709551615"},
        {Value(3.0), "3"},
        {Value(-2.5), "-2.5"},
        {Value(0.1), "0.1"},
        {Value(Decimal{"12345678901234567890.5"}), "12345678901234567890.5"},
        {Value("中文"), "中文"},
        {Value(Array{Value(1), Value("a b")}), "(\n    1,\n    \"a b\"\n)"},
        {Value(Dictionary{{"k", Value("v")}}), "{\n    k = v;\n}"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.description(), c.text);
    EXPECT_EQ(describe(std::nullopt), "(null)");
    EXPECT_EQ(describe(std::string("x")), "x");
}

TEST(Value, NumericReadingsOfTextsAndNumbers) {
    struct Case {
        std::string text;
        long long ll;
        bool b;
    };
    const Case cases[] = {
        {"42", 42, true}, {"  -17abc", -17, true}, {"abc", 0, false}, {"", 0, false},
        {"0", 0, false},  {"007", 7, true},        {"YES", 0, true},  {"true", 0, true},
        {"no", 0, false}, {"+5", 5, true},         {"3.9", 3, true},  {"99999999999999999999", LLONG_MAX, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Value(c.text).longLongValue(), c.ll) << c.text;
        EXPECT_EQ(Value(c.text).boolValue(), c.b) << c.text;
    }
    EXPECT_EQ(Value("2147483648").intValue(), INT_MAX);
    EXPECT_DOUBLE_EQ(Value("  2.5e1x").doubleValue(), 25.0);
    EXPECT_DOUBLE_EQ(Value("inf").doubleValue(), 0.0);
    EXPECT_EQ(Value(7.9).intValue(), 7);
    EXPECT_EQ(Value(true).intValue(), 1);
    EXPECT_EQ(Value().intValue(), 0);
}

TEST(Value, DictionaryKeepsOrderAndTheLastOfDuplicateKeys) {
    Dictionary d;
    for (int i = 0; i < 20; ++i) {  // past the index threshold
        const std::string number = std::to_string(i);
        d.set("k" + number, Value(i));
    }
    d.set("k3", Value("again"));
    EXPECT_EQ(d.size(), 20u);
    EXPECT_EQ(d.entries()[3].first, "k3");
    EXPECT_EQ(*d.find("k3"), Value("again"));
    EXPECT_TRUE(d.remove("k0"));
    EXPECT_EQ(d.find("k0"), nullptr);
    EXPECT_EQ(*d.find("k19"), Value(19));
    Dictionary copy = d;
    EXPECT_EQ(copy, d);
    copy.set("k1", Value(0));
    EXPECT_NE(Value(copy), Value(d));
    Value v(d);
    ASSERT_NE(v.get("k5"), nullptr);
    EXPECT_EQ(v.get("k5")->intValue(), 5);
    EXPECT_EQ(v.get("missing"), nullptr);
    EXPECT_EQ(Value(Array{Value(1)}).at(1), nullptr);
}

TEST(Value, DictionaryFromEntriesMatchesSetInTurn) {
    // Small and large runs (either side of the index threshold), duplicates
    // at both ends, long keys that differ only in the middle, an empty key.
    const std::string longA = "0123456789abcdefXghijklmnopqrstuvw";
    const std::string longB = "0123456789abcdefYghijklmnopqrstuvw";
    for (int count : {0, 3, 32, 33, 80}) {
        std::vector<Dictionary::Entry> run;
        for (int i = 0; i < count; ++i) {
            const std::string number = std::to_string(i % 50);
            run.emplace_back("k" + number, Value(i));
        }
        run.emplace_back(longA, Value("a"));
        run.emplace_back(longB, Value("b"));
        run.emplace_back("", Value("empty"));
        run.emplace_back(longA, Value("a2"));
        run.emplace_back("k0", Value("last"));

        Dictionary expected;
        for (const auto& [key, value] : run) expected.set(key, value);
        Dictionary built;
        built.set("stale", Value(1));
        built.assignEntries(std::move(run));

        EXPECT_EQ(built.entries(), expected.entries()) << count;
        EXPECT_EQ(built.find("stale"), nullptr);
        EXPECT_EQ(*built.find(longA), Value("a2"));
        EXPECT_EQ(*built.find(longB), Value("b"));
        EXPECT_EQ(*built.find("k0"), Value("last"));
        if (count > 40) {
            EXPECT_EQ(*built.find("k45"), Value(45));
        }
        built.set("k1", Value("again"));
        EXPECT_EQ(built.entries()[count > 1 ? 1 : built.size() - 1].first, "k1");
    }
}

TEST(Text, Utf16CountingAndSubstrings) {
    EXPECT_EQ(utf16Length("abc"), 3u);
    EXPECT_EQ(utf16Length("禾盾"), 2u);
    EXPECT_EQ(utf16Length("a😀"), 3u);
    EXPECT_EQ(utf16Substring("禾盾安全", 1, 2), "盾安");
    EXPECT_EQ(utf16Substring("abc", 5), "");
    EXPECT_EQ(characterAt("a禾", 1), char16_t(0x79BE));
    EXPECT_EQ(fromUtf16(toUtf16("混合 mixed 😀")), "混合 mixed 😀");
}

TEST(Text, PercentEscapesAndHex) {
    EXPECT_EQ(percentEscape("a b/安"), "a%20b%2F%E5%AE%89");
    EXPECT_EQ(percentEscape("a/b", "/"), "a/b");
    EXPECT_EQ(percentUnescape("%E5%AE%89"), std::optional<std::string>("安"));
    EXPECT_EQ(percentUnescape("a+b", true), std::optional<std::string>("a b"));
    EXPECT_EQ(percentUnescape("%E5%AE"), std::nullopt);  // not valid UTF-8
    EXPECT_EQ(percentUnescape("%G1"), std::nullopt);
    EXPECT_EQ(percentUnescape("abc%4"), std::nullopt);
    EXPECT_EQ(percentUnescape("abc%"), std::nullopt);
    EXPECT_EQ(toHex(std::vector<uint8_t>{0x00, 0xab, 0xff}), "00abff");
    EXPECT_EQ(fromHex("00ABff"), (std::optional<std::vector<uint8_t>>{{0x00, 0xab, 0xff}}));
    EXPECT_EQ(fromHex("abc"), std::nullopt);
    EXPECT_EQ(fromHex("zz"), std::nullopt);
    EXPECT_EQ(trim("\t 安 \n"), "安");
    EXPECT_EQ(trim("\xE3\x80\x80x\xE3\x80\x80"), "x");
    EXPECT_EQ(split("1;a,b", ";"), (std::vector<std::string>{"1", "a,b"}));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // surrogate
}

}  // namespace
