// A stream taken off its run loop by a throttling client and put back later.
#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/net/ConnectionCache.h"
#include "platform/net/HttpReadStream.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace net;

TEST(ThrottledStream, BytesBufferedWhileUnscheduledAreAnnouncedWhenScheduledAgain) {
    testnet::LoopbackHttpServer server;
    const std::string body(50000, 'b');
    server.on("/x", [&](auto&) { return std::vector{testnet::send(testnet::response(200, {}, body))}; });
    auto msg = HttpMessage::createRequest("GET", *Url::parse(server.url("/x")));
    auto s = HttpReadStream::create(*msg);
    auto& loop = foundation::RunLoop::main();
    std::string got;
    bool ended = false;
    int unschedules = 0;
    s->setClient(HttpReadStream::kEventHasBytesAvailable | HttpReadStream::kEventEndEncountered, [&](unsigned ev) {
        if (ev == HttpReadStream::kEventEndEncountered) {
            ended = true;
            return;
        }
        uint8_t buf[100];
        long n = s->read(buf, sizeof buf);  // small reads: bytes stay buffered
        if (n > 0) got.append(reinterpret_cast<char*>(buf), size_t(n));
        // Like a throttled client: off the loop after every read.
        s->unscheduleFromRunLoop(loop, foundation::kDefaultMode);
        ++unschedules;
    });
    s->scheduleWithRunLoop(loop, foundation::kDefaultMode);
    ASSERT_TRUE(s->open());
    for (int i = 0; i < 2000 && !ended; ++i) {
        // A stream that stays silent with bytes waiting would stall the client for ever.
        if (!loop.runUntil([&] { return ended || !s->isScheduled(); }, 2) || ended) break;
        s->scheduleWithRunLoop(loop, foundation::kDefaultMode);
    }
    loop.runUntil([&] { return ended; }, 5);
    EXPECT_TRUE(ended);
    EXPECT_EQ(got.size(), body.size());
    EXPECT_GE(unschedules, 500);
    s->close();
}
