// PAC scripts in the embedded engine: the helper functions, DNS hooks, the
// time limit and broken scripts.
#include <gtest/gtest.h>

#include "lib/http/PacScript.h"

using http::PacScript;

namespace {

class PacTest : public ::testing::Test {
protected:
    void SetUp() override {
        PacScript::setResolver([](const std::string& host) -> std::optional<std::string> {
            if (host == "intranet.example") return std::string("10.20.30.40");
            if (host == "public.example") return std::string("93.184.216.34");
            return std::nullopt;
        });
        PacScript::setMyIpAddress([] { return std::string("192.168.7.9"); });
    }
    void TearDown() override {
        PacScript::setResolver(nullptr);
        PacScript::setMyIpAddress(nullptr);
    }
    // The value of a JavaScript expression, as text.
    static std::string eval(const std::string& expression) {
        auto answer = PacScript::findProxyForURL(
            "function FindProxyForURL(url, host) { return String(" + expression + "); }", "http://h/", "h", 5);
        return answer ? *answer : "error: " + answer.error()->message;
    }
};

}  // namespace

TEST_F(PacTest, HelperFunctions) {
    struct Case {
        const char* expression;
        const char* value;
    } cases[] = {
        {"isPlainHostName('www')", "true"},
        {"isPlainHostName('www.example.com')", "false"},
        {"dnsDomainIs('www.example.com', '.example.com')", "true"},
        {"dnsDomainIs('www', '.example.com')", "false"},
        {"localHostOrDomainIs('www', 'www.example.com')", "true"},
        {"localHostOrDomainIs('www.example.com', 'www.example.com')", "true"},
        {"localHostOrDomainIs('www.other.com', 'www.example.com')", "false"},
        {"dnsDomainLevels('www.example.com')", "2"},
        {"dnsDomainLevels('www')", "0"},
        {"convert_addr('104.16.41.2')", "1745889538"},
        {"dnsResolve('intranet.example')", "10.20.30.40"},
        {"dnsResolve('missing.example')", "null"},
        {"isResolvable('public.example')", "true"},
        {"isResolvable('missing.example')", "false"},
        {"isInNet('intranet.example', '10.0.0.0', '255.0.0.0')", "true"},
        {"isInNet('10.20.30.40', '10.20.0.0', '255.255.0.0')", "true"},
        {"isInNet('public.example', '10.0.0.0', '255.0.0.0')", "false"},
        {"isInNet('missing.example', '10.0.0.0', '255.0.0.0')", "false"},
        {"isInNet('192.168.1.300', '192.168.0.0', '255.255.0.0')", "false"},
        {"myIpAddress()", "192.168.7.9"},
        {"shExpMatch('http://www.example.com/a/b.html', '*/a/*')", "true"},
        {"shExpMatch('www.example.com', '*.ex?mple.c?m')", "true"},
        {"shExpMatch('wwwXexample.com', 'www.example.com')", "false"},
        {"shExpMatch('a+b(c)', 'a+b(c)')", "true"},
        {"weekdayRange('SUN', 'SAT')", "true"},
        {"weekdayRange('MON', 'SUN', 'GMT')", "true"},
        {"weekdayRange('XYZ')", "false"},
        {"timeRange(0, 24)", "true"},
        {"timeRange(0, 0, 0, 23, 59, 59, 'GMT') || timeRange(23, 59, 59, 0, 0, 0, 'GMT')", "true"},
        {"dateRange(1, 31)", "true"},
        {"dateRange('JAN', 'DEC')", "true"},
        {"dateRange(1995)", "false"},
        {"dateRange(1995, 2999)", "true"},
        {"alert('ignored') === undefined", "true"},
    };
    for (const auto& c : cases) EXPECT_EQ(eval(c.expression), c.value) << c.expression;
}

TEST_F(PacTest, ScriptGetsTheUrlAndHost) {
    auto answer =
        PacScript::findProxyForURL("function FindProxyForURL(url, host) { return 'PROXY ' + host + ':1; ' + url; }",
                                   "https://secure.example:8443/p?q", "secure.example", 5);
    EXPECT_EQ(answer.value(), "PROXY secure.example:1; https://secure.example:8443/p?q");
}

TEST_F(PacTest, EndlessScriptIsStoppedAtTheTimeLimit) {
    auto answer = PacScript::findProxyForURL("function FindProxyForURL(u, h) { for (;;) {} }", "http://a/", "a", 0.2);
    ASSERT_FALSE(answer);
    EXPECT_TRUE(answer.error()->is(http::kPacScriptErrorDomain, http::kPacTimedOut));
    EXPECT_EQ(answer.error()->message, "the script ran too long");
    // Also an endless loop at the top level of the script.
    auto topLevel = PacScript::findProxyForURL("while (true) {}", "http://a/", "a", 0.2);
    ASSERT_FALSE(topLevel);
    EXPECT_EQ(topLevel.error()->message, "the script ran too long");
}

TEST_F(PacTest, BrokenScriptsGiveNoAnswer) {
    const char* scripts[] = {
        "function FindProxyForURL(u, h) { return 'DIRECT'",           // syntax error
        "function Other(u, h) { return 'DIRECT'; }",                  // no entry point
        "function FindProxyForURL(u, h) { throw new Error('no'); }",  // throws
        "function FindProxyForURL(u, h) { return 42; }",              // not text
        "var FindProxyForURL = 'DIRECT';",                            // not a function
    };
    for (const char* s : scripts) {
        auto answer = PacScript::findProxyForURL(s, "http://a/", "a", 5);
        ASSERT_FALSE(answer) << s;
        EXPECT_EQ(answer.error()->domain, http::kPacScriptErrorDomain) << s;
        EXPECT_FALSE(answer.error()->message.empty()) << s;
    }
}
