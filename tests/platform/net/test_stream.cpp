// The HTTP read stream against a scripted server on 127.0.0.1.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/foundation/RunLoop.h"
#include "platform/net/ConnectionCache.h"
#include "platform/net/HttpReadStream.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace net;
using testnet::LoopbackHttpServer;

namespace {

struct Outcome {
    std::vector<unsigned> events;
    std::string body;
    std::optional<HttpResponseHead> head;
    // The body length already read when the head was first seen.
    std::optional<size_t> bodyAtHead;
    StreamError error;
    bool ended = false;
    bool failed = false;
    bool reused = false;
    uint64_t bytesWritten = 0;
};

std::shared_ptr<HttpReadStream> makeStream(const std::string& url, int key = 0, bool persistent = false,
                                           const std::string& body = "", const char* method = "GET") {
    auto msg = HttpMessage::createRequest(method, *Url::parse(url));
    EXPECT_TRUE(msg);
    auto s = HttpReadStream::create(*msg, body);
    if (persistent) {
        s->setAttemptPersistentConnection(true);
        s->setConnectionKey(key);
    }
    return s;
}

// Runs the stream on the main run loop until it ends or fails.
Outcome run(const std::shared_ptr<HttpReadStream>& s, bool closeAfter = true) {
    Outcome o;
    auto& loop = foundation::RunLoop::main();
    s->setClient(HttpReadStream::kEventHasBytesAvailable | HttpReadStream::kEventErrorOccurred |
                     HttpReadStream::kEventEndEncountered,
                 [&](unsigned ev) {
                     o.events.push_back(ev);
                     if (ev == HttpReadStream::kEventHasBytesAvailable) {
                         if (!o.head && s->responseHead()) {
                             o.head = *s->responseHead();
                             o.bodyAtHead = o.body.size();
                         }
                         uint8_t buf[1000];
                         long n = s->read(buf, sizeof buf);
                         if (n > 0) o.body.append(reinterpret_cast<char*>(buf), size_t(n));
                     } else if (ev == HttpReadStream::kEventEndEncountered) {
                         o.ended = true;
                     } else {
                         o.failed = true;
                         o.error = s->error();
                     }
                 });
    s->scheduleWithRunLoop(loop, foundation::kDefaultMode);
    EXPECT_TRUE(s->open());
    EXPECT_TRUE(loop.runUntil([&] { return o.ended || o.failed; }, 10));
    o.reused = s->usedParkedConnection();
    o.bytesWritten = s->requestBytesWrittenCount();
    s->unscheduleFromRunLoop(loop, foundation::kDefaultMode);
    if (closeAfter) s->close();
    return o;
}

class StreamTest : public ::testing::Test {
protected:
    LoopbackHttpServer server;
};

}  // namespace

TEST_F(StreamTest, ReadsBodiesOfEveryFraming) {
    const std::string big(200000, 'z');
    server.on("/length", [](auto&) { return std::vector{testnet::send(testnet::response(200, {}, "hello"))}; });
    server.on("/chunked", [&](auto&) {
        return std::vector{testnet::send(testnet::response(200, {{"Transfer-Encoding", "chunked"}}, "")),
                           testnet::send(testnet::chunked(big, 7000))};
    });
    server.on("/close", [](auto&) {
        return std::vector{testnet::send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nuntil close"),
                           testnet::closeConnection()};
    });
    server.on("/empty", [](auto&) { return std::vector{testnet::send("HTTP/1.1 204 No Content\r\n\r\n")}; });
    const std::pair<const char*, std::string> cases[] = {
        {"/length", "hello"}, {"/chunked", big}, {"/close", "until close"}, {"/empty", ""}};
    for (const auto& [path, body] : cases) {
        Outcome o = run(makeStream(server.url(path)));
        EXPECT_TRUE(o.ended) << path << " " << o.error.message;
        EXPECT_EQ(o.body.size(), body.size()) << path;
        EXPECT_TRUE(o.body == body) << path;
        ASSERT_TRUE(o.head) << path;
        EXPECT_EQ(o.bodyAtHead, 0u) << path;  // the head came with its own event
        EXPECT_EQ(o.events.back(), HttpReadStream::kEventEndEncountered) << path;
    }
    // HEAD: the head, then the end, no body even with a Content-Length.
    server.on("/head",
              [](auto&) { return std::vector{testnet::send("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n")}; });
    Outcome head = run(makeStream(server.url("/head"), 0, false, "", "HEAD"));
    EXPECT_TRUE(head.ended);
    EXPECT_EQ(head.body, "");
}

TEST_F(StreamTest, HeadEventComesBeforeAnyBodyByte) {
    // The server sends the head and then nothing: the body never comes.
    server.on("/slow", [](auto&) {
        return std::vector{testnet::send("HTTP/1.1 401 Unauthorized\r\nContent-Length: 4\r\n\r\n")};
    });
    auto s = makeStream(server.url("/slow"));
    auto& loop = foundation::RunLoop::main();
    bool sawHead = false;
    long firstRead = -2;
    s->setClient(HttpReadStream::kEventHasBytesAvailable | HttpReadStream::kEventErrorOccurred, [&](unsigned ev) {
        if (ev == HttpReadStream::kEventHasBytesAvailable && !sawHead) {
            sawHead = s->responseHead() != nullptr;
            uint8_t b[8];
            firstRead = s->read(b, sizeof b);
        }
    });
    s->scheduleWithRunLoop(loop, foundation::kDefaultMode);
    s->open();
    ASSERT_TRUE(loop.runUntil([&] { return sawHead; }, 10));
    EXPECT_EQ(s->responseHead()->statusCode, 401);
    EXPECT_EQ(firstRead, 0);  // the body has not come: the server never sent it
    EXPECT_EQ(s->status(), HttpReadStream::Status::Open);
    s->close();
}

TEST_F(StreamTest, UnscheduledStreamDoesNothingUntilScheduled) {
    server.on("/x", [](auto&) { return std::vector{testnet::send(testnet::response(200, {}, "x"))}; });
    auto s = makeStream(server.url("/x"));
    auto& loop = foundation::RunLoop::main();
    bool ended = false;
    s->setClient(HttpReadStream::kEventEndEncountered | HttpReadStream::kEventHasBytesAvailable, [&](unsigned ev) {
        uint8_t b[8];
        s->read(b, sizeof b);
        if (ev == HttpReadStream::kEventEndEncountered) ended = true;
    });
    // Opened while not scheduled; then scheduled and taken off again before
    // the loop ever ran: no connection may be made.
    ASSERT_TRUE(s->open());
    s->scheduleWithRunLoop(loop, foundation::kDefaultMode);
    s->unscheduleFromRunLoop(loop, foundation::kDefaultMode);
    loop.runUntil([] { return false; }, 0.3);
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_EQ(s->status(), HttpReadStream::Status::Opening);

    // Scheduled in another mode than the loop runs in: still nothing.
    s->scheduleWithRunLoop(loop, "OtherMode");
    loop.runUntil([] { return false; }, 0.3);
    EXPECT_EQ(server.connectionCount(), 0);
    s->unscheduleFromRunLoop(loop, "OtherMode");

    s->scheduleWithRunLoop(loop, foundation::kDefaultMode);
    EXPECT_TRUE(loop.runUntil([&] { return ended; }, 10));
    EXPECT_EQ(server.connectionCount(), 1);
    s->close();
}

TEST_F(StreamTest, KeepAliveReusesOneSocketPerKeyAndCloseEndsIt) {
    server.on("/ka", [](auto&) { return std::vector{testnet::send(testnet::response(200, {}, "ka"))}; });
    server.on("/bye", [](auto&) {
        return std::vector{testnet::send(testnet::response(200, {{"Connection", "close"}}, "bye"))};
    });
    auto first = makeStream(server.url("/ka"), 1, true);
    Outcome a = run(first, /*closeAfter=*/false);  // parked, like a pool record keeps it
    auto second = makeStream(server.url("/ka"), 1, true);
    Outcome b = run(second, false);
    first->close();  // must not close the socket the second stream took over
    auto third = makeStream(server.url("/ka"), 1, true);
    Outcome c = run(third, false);
    EXPECT_TRUE(a.ended && b.ended && c.ended);
    EXPECT_FALSE(a.reused);
    EXPECT_TRUE(b.reused);
    EXPECT_TRUE(c.reused);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.requestCount(), 3);

    // Another key never takes that socket.
    Outcome other = run(makeStream(server.url("/ka"), 2, true));
    EXPECT_FALSE(other.reused);
    EXPECT_EQ(server.connectionCount(), 2);

    // "Connection: close": the next stream with the key connects anew.
    Outcome d = run(makeStream(server.url("/bye"), 3, true));
    Outcome e = run(makeStream(server.url("/bye"), 3, true));
    EXPECT_TRUE(d.ended && e.ended);
    EXPECT_FALSE(e.reused);
    EXPECT_EQ(server.connectionCount(), 4);
    second->close();
    third->close();
}

TEST_F(StreamTest, ParkedSocketClosedByTheServerIsNotReused) {
    server.on("/once", [](auto&) {
        return std::vector{testnet::send(testnet::response(200, {}, "one")), testnet::closeConnection()};
    });
    auto first = makeStream(server.url("/once"), 7, true);
    Outcome a = run(first, false);
    ASSERT_TRUE(a.ended);
    ASSERT_TRUE(server.waitForFinishedConnections(1));
    Outcome b = run(makeStream(server.url("/once"), 7, true));
    EXPECT_TRUE(b.ended) << b.error.message;
    EXPECT_FALSE(b.reused);
    EXPECT_EQ(b.body, "one");
    EXPECT_EQ(server.connectionCount(), 2);
    first->close();
}

TEST_F(StreamTest, FailuresAreReportedAsErrors) {
    server.on("/garbage", [](auto&) { return std::vector{testnet::send("NOT HTTP AT ALL\r\n\r\n")}; });
    server.on("/silent-close", [](auto&) { return std::vector{testnet::closeConnection()}; });
    server.on("/reset", [](auto&) { return std::vector{testnet::resetConnection()}; });
    server.on("/short", [](auto&) {
        return std::vector{testnet::send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"),
                           testnet::closeConnection()};
    });
    server.on("/cut-chunks", [](auto&) {
        return std::vector{testnet::send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nfirst half"),
                           testnet::closeConnection()};
    });
    const std::pair<const char*, int> cases[] = {
        {"/garbage", kNetworkBadServerResponse}, {"/silent-close", kNetworkConnectionLost},
        {"/reset", kNetworkConnectionLost},      {"/short", kNetworkConnectionLost},
        {"/cut-chunks", kNetworkConnectionLost},
    };
    for (const auto& [path, code] : cases) {
        Outcome o = run(makeStream(server.url(path)));
        EXPECT_TRUE(o.failed) << path;
        EXPECT_TRUE(o.error.isNetwork(code)) << path << ": " << o.error.domain << " " << o.error.code;
        EXPECT_EQ(std::count(o.events.begin(), o.events.end(), HttpReadStream::kEventErrorOccurred), 1) << path;
    }

    // Nothing listens on a port that was just freed.
    int port;
    {
        LoopbackHttpServer gone;
        port = gone.port();
    }
    Outcome refused = run(makeStream("http://127.0.0.1:" + std::to_string(port) + "/"));
    EXPECT_TRUE(refused.failed);
    EXPECT_TRUE(refused.error.isPosix(ECONNREFUSED)) << refused.error.message;

    Outcome unknown = run(makeStream("http://no-such-host.invalid/"));
    EXPECT_TRUE(unknown.failed);
    EXPECT_TRUE(unknown.error.isNetwork(kNetworkCannotFindHost)) << unknown.error.message;
}

TEST_F(StreamTest, SendsTheBodyAndCountsItsBytes) {
    server.on("/echo", [](const testnet::ServerRequest& r) {
        return std::vector{testnet::send(testnet::response(200, {}, r.method + ":" + r.body))};
    });
    const std::string body(300000, 'b');
    Outcome o = run(makeStream(server.url("/echo"), 0, false, body, "POST"));
    ASSERT_TRUE(o.ended);
    EXPECT_EQ(o.bytesWritten, body.size());
    EXPECT_TRUE(o.body == "POST:" + body);
    auto req = server.requests().back();
    EXPECT_EQ(*req.headers.get("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(*req.headers.get("Host"), "127.0.0.1:" + std::to_string(server.port()));

    // A Content-Length field that disagrees with the body: no stream.
    auto msg = HttpMessage::createRequest("POST", *Url::parse(server.url("/echo")));
    msg->setHeaderField("Content-Length", "5");
    EXPECT_EQ(HttpReadStream::create(*msg, "abc"), nullptr);
}
