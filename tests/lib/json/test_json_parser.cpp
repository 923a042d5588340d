#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/json/JsonParser.h"
#include "lib/json/JsonStreamParser.h"
#include "lib/json/JsonStreamParserAdapter.h"
#include "platform/foundation/Log.h"

using foundation::Array;
using foundation::Decimal;
using foundation::Dictionary;
using foundation::Value;

namespace {

std::string parseError(const std::string& text) {
    JsonParser parser;
    auto result = parser.objectWithString(text);
    EXPECT_FALSE(result.has_value()) << text;
    return parser.error();
}

Value parseOk(const std::string& text) {
    JsonParser parser;
    auto result = parser.objectWithString(text);
    EXPECT_TRUE(result.has_value()) << text << ": " << parser.error();
    return result.value_or(Value());
}

std::string nested(int depth) { return std::string(size_t(depth), '[') + std::string(size_t(depth), ']'); }

}  // namespace

TEST(JsonParser, EveryErrorHasItsMessage) {
    struct Case {
        std::string input;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"", "Unexpected end of input"},
        {"   \n", "Unexpected end of input"},
        {"5", "Unexpected end of input"},  // a number ends only at the next character
        {"[1", "Unexpected end of input"},
        {"{\"a\":", "Unexpected end of input"},
        {"[\"abc", "Unexpected end of input"},
        {"[tr", "Unexpected end of input"},
        {"[1.", "Unexpected end of input"},
        {"[\"\\ud800", "Unexpected end of input"},
        {"[1,]", "Token 'end of array' not expected as array value"},
        {"true", "Token 'boolean' not expected before outer-most array or object"},
        {"5 ", "Token 'number' not expected before outer-most array or object"},
        {"\"a\"", "Token 'string' not expected before outer-most array or object"},
        {"null", "Token 'null' not expected before outer-most array or object"},
        {"]", "Token 'end of array' not expected before outer-most array or object"},
        {"{} {}", "Token 'start of object' not expected after outer-most array or object"},
        {"[1]}", "Token 'end of object' not expected after outer-most array or object"},
        {"{1:2}", "Token 'number' not expected at beginning of object"},
        {"{\"a\" 1}", "Token 'number' not expected after object key"},
        {"{\"a\":,}", "Token 'value separator' not expected as object value"},
        {"{\"a\":1 2}", "Token 'number' not expected after object value"},
        {"{\"a\":1,}", "Token 'end of object' not expected in place of object key"},
        {"[,]", "Token 'value separator' not expected at array start"},
        {"[:]", "Token 'key-value separator' not expected at array start"},
        {"[1 2]", "Token 'number' not expected after array value"},
        {"[1}", "Token 'end of object' not expected after array value"},
        {"[01]", "Leading zero is illegal in number"},
        {"[-01]", "Leading zero is illegal in number"},
        {"[1.]", "No digits after decimal point"},
        {"[1.e5]", "No digits after decimal point"},
        {"[1e]", "No digits in exponent"},
        {"[1e+]", "No digits in exponent"},
        {"[-]", "No digits after initial minus"},
        {"[-a]", "No digits after initial minus"},
        {"[+1]", "Leading + is illegal in number"},
        {"[x]", "Illegal start of token [x]"},
        {"[\xff]", "Illegal start of token [\xc3\xbf]"},
        {"[tru]", "Expected 'true' after initial 't'"},
        {"[fals ]", "Expected 'false' after initial 'f'"},
        {"[nul]", "Expected 'null' after initial 'n'"},
        {"[\"\\ud800x\"]", "Missing low character in surrogate pair"},
        {"[\"\\ud800\\n\"]", "Missing low character in surrogate pair"},
        {"[\"\\ud800\\u0041\"]", "Invalid low character in surrogate pair"},
        {"[\"\\udc00\"]", "Invalid high character in surrogate pair"},
        {"[\"a\nb\"]", "Unescaped control character [0x0A]"},
        {std::string("[\"a\0b\"]", 7), "Unescaped control character [0x00]"},
        {"[\"\\x\"]", "Illegal escape character"},
        {"[\"\\u12G4\"]", "Invalid hex quad"},
        {"[\"\\ud800\\u12\"]", "Invalid hex quad"},
        {"[\"\xff\"]", "Broken Unicode encoding"},
        {"[\"\xc0\xaf\"]", "Broken Unicode encoding"},          // overlong "/"
        {"[\"\xed\xa0\x80\"]", "Broken Unicode encoding"},      // an encoded surrogate
        {"[\"\xf4\x90\x80\x80\"]", "Broken Unicode encoding"},  // above U+10FFFF
        {"[\"\xe4\xb8\"]", "Broken Unicode encoding"},          // cut short by the quote
        {"[\"\xe0\x80\xaf\"]", "Broken Unicode encoding"},      // overlong "/" in three bytes
        {"[\"中文\xe4\x28\xad\"]", "Broken Unicode encoding"},  // a bad byte after a run of CJK
        {"[\"中文\xee\x80\"]", "Broken Unicode encoding"},
        {"[\"中文\xe4\xb8", "Unexpected end of input"},
        {"[1e99999999999]", "Number exponent out of range"},
        {"[1e128]", "Number exponent out of range"},
        {"[0.1e-128]", "Number exponent out of range"},
        {"[12345678901234567890123e200]", "Number exponent out of range"},
        {"[0." + std::string(128, '0') + "1]", "Number exponent out of range"},
    };
    for (const auto& c : cases) EXPECT_EQ(parseError(c.input), c.error) << "input: " << c.input;
}

TEST(JsonParser, DepthIsCheckedBeforeThePush) {
    EXPECT_TRUE(parseOk(nested(32)).isArray());
    EXPECT_EQ(parseError(nested(33)), "Input depth exceeds max depth of 32");
    EXPECT_EQ(parseError("{\"a\":" + nested(32) + "}"), "Input depth exceeds max depth of 32");

    JsonParser shallow;
    shallow.setMaxDepth(2);
    EXPECT_TRUE(shallow.objectWithString("[{}]").has_value());
    EXPECT_FALSE(shallow.objectWithString("[{\"a\":[]}]").has_value());
    EXPECT_EQ(shallow.error(), "Input depth exceeds max depth of 2");

    // A hostile document of a million open brackets stops at the limit.
    EXPECT_EQ(parseError(std::string(1000000, '[')), "Input depth exceeds max depth of 32");
}

TEST(JsonParser, ARaisedDepthLimitStopsAtWhatTheStackTakes) {
    // A caller may ask for any depth; past kJsonDeepestNesting the reader
    // refuses the document instead of running out of stack.
    JsonParser deep;
    deep.setMaxDepth(60000);
    EXPECT_EQ(deep.maxDepth(), kJsonDeepestNesting);
    auto ok = deep.objectWithString(nested(int(kJsonDeepestNesting)));
    ASSERT_TRUE(ok.has_value()) << deep.error();
    const foundation::Value* inner = &*ok;
    for (unsigned level = 1; level < kJsonDeepestNesting; ++level) inner = inner->at(0);
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(inner->isArray());
    EXPECT_FALSE(deep.objectWithString(nested(60000)).has_value());
    EXPECT_EQ(deep.error(), "Input depth exceeds max depth of 1024");
    EXPECT_FALSE(deep.objectWithString("{\"a\":" + nested(60000) + "}").has_value());

    JsonStreamParserAccumulator accumulator;
    JsonStreamParserAdapter adapter;
    adapter.setDelegate(&accumulator);
    JsonStreamParser stream;
    stream.setDelegate(&adapter);
    stream.setMaxDepth(60000);
    EXPECT_EQ(stream.maxDepth(), kJsonDeepestNesting);
    EXPECT_EQ(stream.parse(nested(60000)), JsonParserError);
    EXPECT_EQ(stream.error(), "Input depth exceeds max depth of 1024");
}

TEST(JsonParser, MissingInputAndErrorObject) {
    JsonParser parser;
    EXPECT_FALSE(parser.objectWithData(static_cast<const foundation::Bytes*>(nullptr)).has_value());
    EXPECT_EQ(parser.error(), "Input was 'nil'");

    foundation::Bytes empty;
    EXPECT_FALSE(parser.objectWithData(&empty).has_value());
    EXPECT_EQ(parser.error(), "Unexpected end of input");

    foundation::Bytes data{'{', '"', 'a', '"', ':', '1', '}'};
    auto ok = parser.objectWithData(&data);
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(ok->get("a")->intValue(), 1);

    JsonError error;
    EXPECT_FALSE(parser.objectWithString("[1,]", &error).has_value());
    EXPECT_EQ(error.domain, "org.plovrid.JsonParser.ErrorDomain");
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(error.message, "Token 'end of array' not expected as array value");
    EXPECT_TRUE(parser.objectWithString("[1]", nullptr).has_value());
}

TEST(JsonParser, NumberTypes) {
    struct Case {
        std::string text;
        Value expected;
    };
    const std::vector<Case> cases = {
        {"0", Value(0ull)},
        {"-0", Value(0ll)},
        {"123", Value(123ull)},
        {"-123", Value(-123ll)},
        {"999999999999999999", Value(999999999999999999ull)},  // 18 digits
        {"-999999999999999999", Value(-999999999999999999ll)},
        {"9223372036854775807", Value(Decimal{"9223372036854775807"})},  // 19 digits
        {"-9223372036854775808", Value(Decimal{"-9223372036854775808"})},
        {"18446744073709551615", Value(Decimal{"18446744073709551615"})},
        {"18446744073709551616", Value(Decimal{"18446744073709551616"})},
        {"123456789012345678901234567890", Value(Decimal{"123456789012345678901234567890"})},
        {"0.1", Value(Decimal{"0.1"})},
        {"-0.05", Value(Decimal{"-0.05"})},
        {"120.340", Value(Decimal{"120.34"})},
        {"0." + std::string(127, '0') + "1", Value(Decimal{"0." + std::string(127, '0') + "1"})},
        {"1.50", Value(Decimal{"1.5"})},
        {"1.0", Value(Decimal{"1"})},
        {"-0.0", Value(Decimal{"0"})},
        {"1e3", Value(Decimal{"1000"})},
        {"2.5E+1", Value(Decimal{"25"})},
        {"1E-3", Value(Decimal{"0.001"})},
        {"-1.25e-5", Value(Decimal{"-0.0000125"})},
        {"0e99999", Value(Decimal{"0"})},
        {"0.00000000000000000000000000001", Value(Decimal{"0.00000000000000000000000000001"})},
        {"3.14159265358979323846264338327950288", Value(Decimal{"3.14159265358979323846264338327950288"})},
    };
    for (const auto& c : cases) {
        Value doc = parseOk("[" + c.text + "]");
        ASSERT_TRUE(doc.at(0)) << c.text;
        EXPECT_EQ(*doc.at(0), c.expected) << c.text << " gave " << doc.at(0)->description();
    }
    Value big = parseOk("[1e127]");
    ASSERT_TRUE(big.at(0) && big.at(0)->asDecimal());
    EXPECT_EQ(big.at(0)->asDecimal()->text, "1" + std::string(127, '0'));
}

TEST(JsonParser, StringsAndLiterals) {
    Value doc = parseOk(
        "[\"\\\"\\\\\\/\\b\\f\\n\\r\\t\", \"\\u00e9\\u4e2d\", \"\\ud83d\\ude00\", \"a\\u0000b\", "
        "\"中文 text\", \"\", true, false, null]");
    const Array& a = *doc.asArray();
    ASSERT_EQ(a.size(), 9u);
    EXPECT_EQ(a[0], Value("\"\\/\b\f\n\r\t"));
    EXPECT_EQ(a[1], Value("\xc3\xa9\xe4\xb8\xad"));
    EXPECT_EQ(a[2], Value("\xf0\x9f\x98\x80"));  // one code point, four bytes
    EXPECT_EQ(a[3], Value(std::string("a\0b", 3)));
    EXPECT_EQ(a[4], Value("中文 text"));
    EXPECT_EQ(a[5], Value(""));
    EXPECT_EQ(a[6], Value(true));
    EXPECT_EQ(a[7], Value(false));
    EXPECT_TRUE(a[8].isNull());
}

TEST(JsonParser, ObjectsKeepTheLastOfDuplicateKeys) {
    Value doc = parseOk(" \t\r\n{\"a\":1,\"b\":{\"c\":[]},\"a\":2} \n\t ");
    const Dictionary& d = *doc.asDictionary();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(*d.find("a"), Value(2ull));
    EXPECT_EQ(d.keys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(d.find("b")->get("c")->isArray());
    // A large object with repeated keys: first position, last value.
    std::string big = "{";
    for (int i = 0; i < 100; ++i) big += "\"k" + std::to_string(i % 40) + "\":" + std::to_string(i) + ",";
    big += "\"k0\":\"end\"}";
    Value bigDoc = parseOk(big);
    const Dictionary& b = *bigDoc.asDictionary();
    ASSERT_EQ(b.size(), 40u);
    EXPECT_EQ(b.entries()[0], (Dictionary::Entry{"k0", Value("end")}));
    EXPECT_EQ(b.entries()[39], (Dictionary::Entry{"k39", Value(79ull)}));
    EXPECT_EQ(*b.find("k7"), Value(87ull));
    EXPECT_TRUE(parseOk("{}").isDictionary());
    EXPECT_TRUE(parseOk("[]").isArray());
}

TEST(JsonParser, JsonValueLogsItsFailure) {
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& line) { lines.push_back(line); });
    EXPECT_FALSE(JSONValue("[1,]").has_value());
    auto ok = JSONValue("{\"result\":\"201\"}");
    foundation::setLogSink(old);
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(ok->get("result")->intValue(), 201);
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{"-JSONValue failed. Error is: Token 'end of array' not expected as array value"}));
}

namespace {

// Records what a stream parser reports.
struct Collector : JsonStreamParserAdapterDelegate {
    std::vector<Value> found;
    void parserFoundArray(JsonStreamParser*, Array&& a) override { found.emplace_back(std::move(a)); }
    void parserFoundObject(JsonStreamParser*, Dictionary&& d) override { found.emplace_back(std::move(d)); }
};

}  // namespace

TEST(JsonStreamParser, InputInPiecesGivesTheSameDocument) {
    const std::string text =
        "{\"list\":[{\"time\":1380000000000,\"loc\":\"杭州\",\"ok\":true,\"x\":-1.5e2},null],"
        "\"s\":\"\\ud83d\\ude00\\u00e9\",\"n\":12345678901234567890}";
    Value whole = parseOk(text);

    Collector collector;
    JsonStreamParserAdapter adapter;
    adapter.setDelegate(&collector);
    JsonStreamParser parser;
    parser.setDelegate(&adapter);
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        ASSERT_EQ(parser.parse(text.substr(i, 1)), JsonParserWaitingForData) << "at " << i << ": " << parser.error();
    }
    EXPECT_EQ(parser.parse(text.substr(text.size() - 1)), JsonParserComplete);
    ASSERT_EQ(collector.found.size(), 1u);
    EXPECT_EQ(collector.found[0], whole);
    EXPECT_EQ(parser.parse(" \n"), JsonParserComplete);
    EXPECT_EQ(parser.parse("[]"), JsonParserError);
    EXPECT_EQ(parser.error(), "Token 'start of array' not expected after outer-most array or object");
}

TEST(JsonStreamParser, MultipleDocumentsAndSkippedLevels) {
    Collector collector;
    JsonStreamParserAdapter adapter;
    adapter.setDelegate(&collector);
    JsonStreamParser parser;
    parser.setDelegate(&adapter);
    parser.setSupportMultipleDocuments(true);
    EXPECT_EQ(parser.parse("[1] {\"a\":2}\n["), JsonParserWaitingForData);
    EXPECT_EQ(parser.parse("3]"), JsonParserWaitingForData);
    ASSERT_EQ(collector.found.size(), 3u);
    EXPECT_EQ(collector.found[1], Value(Dictionary{{"a", Value(2ull)}}));
    EXPECT_EQ(collector.found[2], Value(Array{Value(3ull)}));

    // Skipping the outer level delivers the members of a long array one by one.
    Collector items;
    JsonStreamParserAdapter skipping;
    skipping.setDelegate(&items);
    skipping.setLevelsToSkip(1);
    JsonStreamParser second;
    second.setDelegate(&skipping);
    EXPECT_EQ(second.parse("[{\"a\":1},7,[\"x\"],{\"b\":{\"c\":2}}]"), JsonParserComplete);
    ASSERT_EQ(items.found.size(), 3u);
    EXPECT_EQ(items.found[0], Value(Dictionary{{"a", Value(1ull)}}));
    EXPECT_EQ(items.found[1], Value(Array{Value("x")}));
    EXPECT_EQ(items.found[2], Value(Dictionary{{"b", Value(Dictionary{{"c", Value(2ull)}})}}));
}

TEST(JsonStreamParser, OtherStateObjectsAreAskedThroughTheirMethods) {
    // A start state of the caller's own that takes arrays only and names itself.
    struct ArraysOnly : JsonStreamParserStateStart {
        bool parserShouldAcceptToken(JsonStreamParser&, JsonToken t) const override { return t == JsonTokenArrayStart; }
        const char* name() const override { return "before an array"; }
    };
    static const ArraysOnly arraysOnly;

    JsonStreamParser objects;
    objects.setState(arraysOnly);
    EXPECT_EQ(objects.parse("{}"), JsonParserError);
    EXPECT_EQ(objects.error(), "Token 'start of object' not expected before an array");

    Collector collector;
    JsonStreamParserAdapter adapter;
    adapter.setDelegate(&collector);
    JsonStreamParser arrays;
    arrays.setDelegate(&adapter);
    arrays.setState(arraysOnly);
    EXPECT_EQ(arrays.parse("[1]"), JsonParserComplete);  // its inherited transition ends the document
    EXPECT_EQ(&arrays.state(), &JsonStreamParserStateComplete::sharedInstance());
    ASSERT_EQ(collector.found.size(), 1u);
    EXPECT_EQ(collector.found[0], Value(Array{Value(1ull)}));
}

TEST(JsonParser, WholeDocumentsReadAsTheStreamParserReadsThem) {
    // Whole documents take a one-pass road; the stream parser, fed a byte at
    // a time, must make the same value of each (or refuse the same ones).
    std::vector<std::string> documents = {
        "[]",
        " {} ",
        "[1,-0,0.5,-1.25e+3,1E-2,123456789012345678,1234567890123456789,-9223372036854775808]",
        "{\"a\":\"x\\\"y\\\\z\\/\\b\\f\\n\\r\\t\",\"b\":\"\\u00e9\\ud83d\\ude00\",\"c\":\"杭州 plain\"}",
        "{\"k\":1,\"k\":2,\"j\":[true,false,null],\"k\":{\"k\":[]}}",
        "[[[[[[[[]]]]]]]]",
        // Sibling objects with the same keys, then with a key twice or one fewer or more.
        "[{\"a\":1,\"b\":2},{\"a\":3,\"b\":4},{\"a\":5,\"a\":6},{\"a\":7},{\"a\":8,\"b\":9,\"a\":10},"
        "{\"a\":11,\"b\":12,\"c\":13},{\"b\":14,\"a\":15}]",
        // An inner object dropped with its repeated key, then siblings of it in the next object.
        "[{\"a\":{\"k\":1,\"m\":2},\"a\":0},{\"a\":{\"k\":1,\"m\":2}},{\"a\":{\"k\":3,\"k\":4}}]",
        // Escaped keys before texts and containers whose own keys and texts have escapes.
        "{\"a\\nb\":{\"c\\td\":\"e\\\\f\",\"g\":[\"h\\ni\",{\"\\u00e9\":\"\\/\"}]},\"j\\\"k\":\"l\\\\m\",\"n\":0.50}",
        "\n\t[ \"a\" , { \"b\" : [ 1 , 2 ] } ]\r\n",
        "[1e999]",
        "[01]",
        "[1,]",
        "{\"a\" 1}",
        "[\"\\x\"]",
        "[\"\xc3\x28\"]",
        "[tru]",
        "[] []",
        "[1",
        "",
    };
    // Large objects of the same keys, the last with one of them twice.
    std::string large = "[";
    for (int object = 0; object < 3; ++object) {
        large += object ? ",{" : "{";
        for (int i = 0; i < 40; ++i)
            large += "\"key" + std::to_string(i) + "\":" + std::to_string(object * 100 + i) + ",";
        large += object == 2 ? "\"key7\":\"again\"}" : "\"last\":0}";
    }
    large += "]";
    documents.push_back(large);
    for (const auto& text : documents) {
        SCOPED_TRACE(text);
        JsonParser whole;
        auto value = whole.objectWithString(text);

        Collector collector;
        JsonStreamParserAdapter adapter;
        adapter.setDelegate(&collector);
        JsonStreamParser stream;
        stream.setDelegate(&adapter);
        JsonParserStatus status = JsonParserWaitingForData;
        for (size_t i = 0; i < text.size() && status != JsonParserError; ++i) status = stream.parse(text.substr(i, 1));
        if (value) {
            EXPECT_EQ(status, JsonParserComplete);
            ASSERT_EQ(collector.found.size(), 1u);
            EXPECT_EQ(collector.found[0], *value);
            // Same keys in the same order.
            EXPECT_EQ(collector.found[0].description(), value->description());
        } else {
            EXPECT_NE(status, JsonParserComplete);
            if (status == JsonParserError) {
                EXPECT_EQ(stream.error(), whole.error());
            }
        }
    }
}
