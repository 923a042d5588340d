#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "lib/json/JsonParser.h"
#include "lib/json/JsonStreamWriter.h"
#include "lib/json/JsonWriter.h"
#include "platform/foundation/Log.h"

using foundation::Array;
using foundation::Decimal;
using foundation::Dictionary;
using foundation::Value;

namespace {

std::string write(const Value& v, bool sorted = false, bool human = false) {
    JsonWriter writer;
    writer.setSortKeys(sorted);
    writer.setHumanReadable(human);
    auto text = writer.stringWithObject(v);
    EXPECT_TRUE(text.has_value()) << writer.error();
    return text.value_or("");
}

std::string writeError(const Value& v) {
    JsonWriter writer;
    EXPECT_FALSE(writer.stringWithObject(v).has_value());
    return writer.error();
}

Value nestedArrays(int depth) {
    Value v = Array{};
    for (int i = 1; i < depth; ++i) v = Array{v};
    return v;
}

}  // namespace

TEST(JsonWriter, CompactSortedAndUnsorted) {
    Dictionary d;
    d.set("b", true);
    d.set("a", 1);
    EXPECT_EQ(write(d, true), "{\"a\":1,\"b\":true}");
    EXPECT_EQ(write(d, false), "{\"b\":true,\"a\":1}");  // the dictionary's own order
    EXPECT_EQ(write(Dictionary{}), "{}");
    EXPECT_EQ(write(Array{}), "[]");
    EXPECT_EQ(write(Array{Value(), Value(false), Value("x"), Value(Array{}), Value(Dictionary{})}),
              "[null,false,\"x\",[],{}]");
}

TEST(JsonWriter, HumanReadableLayout) {
    Dictionary inner;
    inner.set("k", "v");
    Dictionary d;
    d.set("a", 1);
    d.set("b", Array{1, 2});
    d.set("c", inner);
    d.set("e", Array{});
    EXPECT_EQ(write(d, true, true),
              "{\n"
              "  \"a\": 1,\n"
              "  \"b\": [\n"
              "    1,\n"
              "    2\n"
              "  ],\n"
              "  \"c\": {\n"
              "    \"k\": \"v\"\n"
              "  },\n"
              "  \"e\": [\n"
              "  ]\n"
              "}");
    EXPECT_EQ(write(Array{Array{1}}, false, true), "[\n  [\n    1\n  ]\n]");
}

TEST(JsonWriter, StringEscapes) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {"\t", "\"\\t\""},
        {"\n\r\b\f", "\"\\n\\r\\b\\f\""},
        {"\x1f", "\"\\u001f\""},
        {"\x01", "\"\\u0001\""},
        {std::string("\0", 1), "\"\\u0000\""},
        {"\"", "\"\\\"\""},
        {"\\", "\"\\\\\""},
        {"a/b", "\"a/b\""},
        {"中文\xf0\x9f\x98\x80", "\"中文\xf0\x9f\x98\x80\""},
        {"\x7f", "\"\x7f\""},
    };
    for (const auto& c : cases) EXPECT_EQ(write(Array{c.in}), "[" + c.out + "]") << c.in;
}

TEST(JsonWriter, NumberForms) {
    struct Case {
        Value in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {0.1, "0.10000000000000001"},
        {1.0, "1"},
        {-2.5, "-2.5"},
        {1e300, "1.0000000000000001e+300"},
        {Value(std::numeric_limits<long long>::min()), "-9223372036854775808"},
        {Value(std::numeric_limits<unsigned long long>::max()), "18446744073709551615"},
        {Value(-5), "-5"},
        {Value(Decimal{"12345678901234567890.5"}), "12345678901234567890.5"},
        {Value(Decimal{"-1.5e-7"}), "-1.5e-7"},
        {Value(true), "true"},
        {Value(false), "false"},
    };
    for (const auto& c : cases) EXPECT_EQ(write(Array{c.in}), "[" + c.out + "]") << c.out;
}

TEST(JsonWriter, Errors) {
    struct Case {
        Value in;
        std::string error;
    };
    const std::vector<Case> cases = {
        {Array{std::nan("")}, "NaN is not a valid number in JSON"},
        {Array{std::numeric_limits<double>::infinity()}, "+Infinity is not a valid number in JSON"},
        {Array{-std::numeric_limits<double>::infinity()}, "-Infinity is not a valid number in JSON"},
        {Array{Value(Decimal{"NaN"})}, "NaN is not a valid number in JSON"},
        {Array{Value(Decimal{"1.2.3"})}, "1.2.3 is not a valid number in JSON"},
        {Array{Value(foundation::Bytes{1, 2})}, "JSON serialisation not supported for Bytes"},
        {Array{Value(foundation::Date{5})}, "JSON serialisation not supported for Date"},
        {Value("text"), "Not valid type for JSON"},
        {Value(5), "Not valid type for JSON"},
        {Value(), "Not valid type for JSON"},
        {Array{"ok", "\xff"}, "Broken Unicode encoding"},
        {Dictionary{{"\xc0\xaf", 1}}, "Broken Unicode encoding"},
        {nestedArrays(33), "Nested too deep"},
        {Dictionary{{"a", nestedArrays(32)}}, "Nested too deep"},
    };
    for (const auto& c : cases) EXPECT_EQ(writeError(c.in), c.error);
    EXPECT_EQ(write(nestedArrays(32)), std::string(32, '[') + std::string(32, ']'));

    JsonWriter writer;
    JsonError error;
    EXPECT_FALSE(writer.stringWithObject(Value("x"), &error).has_value());
    EXPECT_EQ(error.domain, "org.plovrid.JsonWriter.ErrorDomain");
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(error.message, "Not valid type for JSON");
    // A later success clears the error.
    EXPECT_TRUE(writer.dataWithObject(Array{1}).has_value());
    EXPECT_EQ(writer.error(), "");
}

TEST(JsonWriter, JsonRepresentationLogsItsFailure) {
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& line) { lines.push_back(line); });
    EXPECT_FALSE(JSONRepresentation(Array{std::nan("")}).has_value());
    auto ok = JSONRepresentation(Dictionary{{"service", "33"}});
    foundation::setLogSink(old);
    EXPECT_EQ(ok, std::optional<std::string>("{\"service\":\"33\"}"));
    EXPECT_EQ(lines,
              (std::vector<std::string>{"-JSONRepresentation failed. Error is: NaN is not a valid number in JSON"}));
}

TEST(JsonStreamWriter, StepsOutOfPlaceFail) {
    JsonStreamWriterAccumulator out;
    JsonStreamWriter writer;
    writer.setDelegate(&out);
    ASSERT_TRUE(writer.writeObjectOpen());
    EXPECT_FALSE(writer.writeNumber(Value(1)));
    EXPECT_EQ(writer.error(), "JSON object key must be string");

    struct Step {
        const char* name;
        std::function<bool(JsonStreamWriter&)> run;
        std::string error;
    };
    auto key = [](JsonStreamWriter& w) { return w.writeString("k"); };
    auto open = [](JsonStreamWriter& w) { return w.writeObjectOpen(); };
    auto arrayOpen = [](JsonStreamWriter& w) { return w.writeArrayOpen(); };
    const std::vector<std::vector<Step>> sequences = {
        // a closed stream takes nothing more
        {{"[", arrayOpen, ""},
         {"]", [](JsonStreamWriter& w) { return w.writeArrayClose(); }, ""},
         {"null", [](JsonStreamWriter& w) { return w.writeNull(); }, "Stream is closed"}},
        // a key without its value cannot be closed
        {{"{", open, ""},
         {"k", key, ""},
         {"}", [](JsonStreamWriter& w) { return w.writeObjectClose(); }, "Close of object not expected here"}},
        // closes must match the open container
        {{"[", arrayOpen, ""},
         {"}", [](JsonStreamWriter& w) { return w.writeObjectClose(); }, "Close of object not expected here"}},
        {{"]", [](JsonStreamWriter& w) { return w.writeArrayClose(); }, "Close of array not expected here"}},
    };
    for (const auto& steps : sequences) {
        JsonStreamWriterAccumulator acc;
        JsonStreamWriter w;
        w.setDelegate(&acc);
        for (const auto& step : steps) {
            bool ok = step.run(w);
            EXPECT_EQ(ok, step.error.empty()) << step.name;
            if (!step.error.empty()) {
                EXPECT_EQ(w.error(), step.error) << step.name;
            }
        }
    }
}

TEST(JsonCodec, ReplyShapedDocumentRoundTrips) {
    const std::string reply =
        "{\"result\":\"100\",\"isSuccess\":true,\"sid\":\"a1b2\",\"checktime\":1386300000000,"
        "\"list\":[{\"time\":\"2013-12-06 10:20:30\",\"location\":\"浙江杭州\",\"business\":\"登录\","
        "\"checkid\":12345,\"ip\":\"10.0.0.1\"},{\"time\":\"2013-12-06 11:00:00\",\"location\":\"上海\\n\","
        "\"business\":\"改密\\\"码\\\"\",\"checkid\":-7,\"rate\":0.25}],"
        "\"big\":123456789012345678901234567890,\"none\":null,\"empty\":{},\"tab\":\"\\t\\u0001\"}";
    JsonParser parser;
    auto parsed = parser.objectWithString(reply);
    ASSERT_TRUE(parsed.has_value()) << parser.error();
    // Compact output of a parsed document in its own order is the document.
    EXPECT_EQ(write(*parsed), reply);
    auto again = parser.objectWithString(write(*parsed, true, true));
    ASSERT_TRUE(again.has_value()) << parser.error();
    EXPECT_EQ(*again, *parsed);
}
