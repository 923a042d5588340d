// The incremental response parser: split reads, pipelined responses,
// failing statuses, persistence, broken lengths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/analytics/TrkHTTPResponseParser.h"

namespace {

struct Recorder : TrkHTTPResponseParserDelegate {
    std::vector<std::string> events;  // "ok:1", "ok:0", "err:503"
    std::function<void(TrkHTTPResponseParser&)> onParsed;
    void responseParsed(TrkHTTPResponseParser& p, bool persistent) override {
        events.push_back(std::string("ok:") + (persistent ? "1" : "0"));
        if (onParsed) onParsed(p);
    }
    void parseError(TrkHTTPResponseParser&, int status) override { events.push_back("err:" + std::to_string(status)); }
};

void feed(TrkHTTPResponseParser& p, const std::string& s) {
    p.parseResponse(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()));
}

const std::string kOk35 = "HTTP/1.1 200 OK\r\nContent-Length: 35\r\n\r\n" + std::string(35, 'b');

TEST(TrkHTTPResponseParser, CompleteAfterTheLastBodyByteAtAnySplit) {
    for (size_t split = 1; split < kOk35.size(); ++split) {
        Recorder r;
        TrkHTTPResponseParser p(&r);
        feed(p, kOk35.substr(0, split));
        EXPECT_TRUE(r.events.empty()) << split;
        feed(p, kOk35.substr(split));
        EXPECT_EQ(r.events, std::vector<std::string>{"ok:1"}) << split;
    }
    // Byte by byte: nothing before the 35th body byte.
    Recorder r;
    TrkHTTPResponseParser p(&r);
    for (size_t i = 0; i + 1 < kOk35.size(); ++i) feed(p, kOk35.substr(i, 1));
    EXPECT_TRUE(r.events.empty());
    feed(p, kOk35.substr(kOk35.size() - 1));
    EXPECT_EQ(r.events, std::vector<std::string>{"ok:1"});
}

TEST(TrkHTTPResponseParser, Responses) {
    struct Case {
        std::string name, bytes;
        std::vector<std::string> events;
    } cases[] = {
        {"pipelined", kOk35 + kOk35 + "HTTP/1.1 200 OK\r\n\r\n", {"ok:1", "ok:1", "ok:1"}},
        {"server error stops the chunk",
         "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n" + kOk35,
         {"err:503"}},
        {"200 then 500", kOk35 + "HTTP/1.1 500 Internal Server Error\r\n\r\n" + kOk35, {"ok:1", "err:500"}},
        {"connection close", "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 0\r\n\r\n", {"ok:0"}},
        {"close with blanks and tab", "HTTP/1.1 200 OK\r\nConnection: \t close\r\n\r\n", {"ok:0"}},
        {"header names are case-sensitive",
         "HTTP/1.1 200 OK\r\nconnection: close\r\ncontent-length: 9\r\n\r\n",
         {"ok:1"}},
        {"keep-alive", "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n\r\n", {"ok:1"}},
        {"HTTP/1.0 is not persistent", "HTTP/1.0 200 OK\r\n\r\n", {"ok:0"}},
        {"no reason phrase counts as 500", "HTTP/1.1 200\r\n\r\n", {"err:500"}},
        {"garbage status", "hello\r\n\r\n", {"err:500"}},
        {"non-numeric status", "HTTP/1.1 abc OK\r\n\r\n", {"err:0"}},
        {"negative length means no body", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n" + kOk35, {"ok:1", "ok:1"}},
        {"garbage length means no body",
         "HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\nHTTP/1.1 200 OK\r\n\r\n",
         {"ok:1", "ok:1"}},
        {"a response without length after one with it",
         kOk35 + "HTTP/1.1 200 OK\r\n\r\n" + "HTTP/1.1 200 OK\r\n\r\n",
         {"ok:1", "ok:1", "ok:1"}},
        {"overlong header name is cut, not overrun",
         "HTTP/1.1 200 OK\r\n" + std::string(500, 'X') + ": 1\r\n\r\n",
         {"ok:1"}},
        {"overlong version word", "HTTP/1.0" + std::string(300, '0') + " 200 OK\r\n\r\n", {"ok:1"}},
    };
    for (const auto& c : cases) {
        Recorder r;
        TrkHTTPResponseParser p(&r);
        feed(p, c.bytes);
        EXPECT_EQ(r.events, c.events) << c.name;
    }
}

TEST(TrkHTTPResponseParser, PersistenceIsLostForGoodAndResetEmptiesTheBuffer) {
    Recorder r;
    TrkHTTPResponseParser p(&r);
    feed(p, "HTTP/1.0 200 OK\r\n\r\n");
    p.reset();
    feed(p, "HTTP/1.1 200 OK\r\n\r\n");
    EXPECT_EQ(r.events, (std::vector<std::string>{"ok:0", "ok:0"}));

    // Half a response, then a reset: the half is forgotten.
    Recorder r2;
    TrkHTTPResponseParser p2(&r2);
    feed(p2, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc");
    p2.reset();
    feed(p2, kOk35);
    EXPECT_EQ(r2.events, std::vector<std::string>{"ok:1"});
}

TEST(TrkHTTPResponseParser, AResetFromTheCallbackEndsTheChunk) {
    Recorder r;
    TrkHTTPResponseParser p(&r);
    r.onParsed = [](TrkHTTPResponseParser& parser) { parser.reset(); };
    feed(p, kOk35 + kOk35);
    EXPECT_EQ(r.events, std::vector<std::string>{"ok:1"});
    // The parser works normally afterwards.
    feed(p, kOk35);
    EXPECT_EQ(r.events.size(), 2u);
}

TEST(TrkHTTPResponseParser, BufferGrowsForBigChunks) {
    Recorder r;
    TrkHTTPResponseParser p(&r);
    std::string many;
    for (int i = 0; i < 300; ++i) many += kOk35;
    feed(p, many);
    EXPECT_EQ(r.events.size(), 300u);
    EXPECT_GE(p.bufferSize(), many.size());
}

}  // namespace
