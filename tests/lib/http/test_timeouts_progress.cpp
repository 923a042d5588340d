// Upload and download progress: one unit per direction, or bytes and
// fractions that reach 1.
#include <gtest/gtest.h>

#include <numeric>

#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;
using clienttest::Recorder;
using clienttest::runMainUntil;
using testnet::LoopbackHttpServer;

namespace {

struct Progress : HttpProgressDelegate {
    std::vector<int64_t> sent, received, uploadSizes, downloadSizes;
    std::vector<float> fractions;
    bool allOnMain = true;
    void note() { allOnMain = allOnMain && foundation::RunLoop::isMainThread(); }
    void requestDidSendBytes(HttpRequest&, int64_t n) override { sent.push_back(n), note(); }
    void requestDidReceiveBytes(HttpRequest&, int64_t n) override { received.push_back(n), note(); }
    void requestIncrementUploadSizeBy(HttpRequest&, int64_t n) override { uploadSizes.push_back(n), note(); }
    void requestIncrementDownloadSizeBy(HttpRequest&, int64_t n) override { downloadSizes.push_back(n), note(); }
    void setProgress(float f) override { fractions.push_back(f), note(); }
};

int64_t sum(const std::vector<int64_t>& v) { return std::accumulate(v.begin(), v.end(), int64_t(0)); }

}  // namespace

TEST(HttpProgress, OneUnitPerDirectionWithoutAccurateProgress) {
    LoopbackHttpServer server;
    const std::string reply(5000, 'r');
    server.on("/up",
              [&](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, reply))}; });
    Recorder rec;
    Progress up, down;
    auto r = HttpRequest::requestWithURL(server.url("/up"));
    r->appendPostData(std::string(3000, 'p'));
    r->setShowAccurateProgress(false);
    r->setUploadProgressDelegate(&up);
    r->setDownloadProgressDelegate(&down);
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    foundation::RunLoop::main().drain();
    EXPECT_EQ(rec.finished, 1);
    EXPECT_EQ(up.sent, std::vector<int64_t>{1});
    EXPECT_EQ(up.uploadSizes, std::vector<int64_t>{1});
    EXPECT_EQ(down.received, std::vector<int64_t>{1});
    EXPECT_TRUE(down.downloadSizes.empty());
    EXPECT_TRUE(up.received.empty());
    EXPECT_TRUE(down.sent.empty());
    EXPECT_TRUE(up.allOnMain && down.allOnMain);
}

TEST(HttpProgress, AccurateProgressCountsBytesAndReachesOne) {
    LoopbackHttpServer server;
    const std::string reply(200000, 'r');
    server.on("/up",
              [&](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, reply))}; });
    Recorder rec;
    Progress up, down;
    std::vector<std::pair<int64_t, uint64_t>> receivedBlock;
    auto r = HttpRequest::requestWithURL(server.url("/up"));
    r->appendPostData(std::string(3000, 'p'));
    r->setUploadProgressDelegate(&up);
    r->setDownloadProgressDelegate(&down);
    r->setBytesReceivedBlock([&](int64_t amount, uint64_t total) { receivedBlock.emplace_back(amount, total); });
    r->setDelegate(&rec);
    r->startAsynchronous();
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    foundation::RunLoop::main().drain();
    EXPECT_EQ(rec.finished, 1);
    // Upload: the bytes announced equal the bytes reported (less any first
    // buffer the network layer swallowed), and the fraction ends at 1.
    EXPECT_GT(sum(up.sent), 0);
    EXPECT_EQ(sum(up.sent), sum(up.uploadSizes));
    EXPECT_EQ(sum(up.uploadSizes) + int64_t(r->uploadBufferSize()), 3000);
    ASSERT_FALSE(up.fractions.empty());
    EXPECT_FLOAT_EQ(up.fractions.front(), 0.0f);
    EXPECT_FLOAT_EQ(up.fractions.back(), 1.0f);
    // Download: the size comes from Content-Length, the bytes add up to it.
    EXPECT_EQ(down.downloadSizes, std::vector<int64_t>{200000});
    EXPECT_EQ(sum(down.received), 200000);
    ASSERT_FALSE(down.fractions.empty());
    EXPECT_FLOAT_EQ(down.fractions.back(), 1.0f);
    for (float f : down.fractions) EXPECT_TRUE(f >= 0.0f && f <= 1.0f);
    ASSERT_FALSE(receivedBlock.empty());
    EXPECT_EQ(receivedBlock.back().second, 200000u);
}

TEST(HttpProgress, ClearedDelegateHearsNothingMore) {
    LoopbackHttpServer server;
    server.on("/x",
              [&](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "abc"))}; });
    Recorder rec;
    Progress down;
    auto r = HttpRequest::requestWithURL(server.url("/x"));
    r->setDownloadProgressDelegate(&down);
    // Cleared on the main thread before any delivery there can run.
    r->setDelegate(&rec);
    r->startAsynchronous();
    r->setDownloadProgressDelegate(nullptr);
    ASSERT_TRUE(runMainUntil([&] { return rec.ended(); }));
    foundation::RunLoop::main().drain();
    EXPECT_TRUE(down.received.empty());
    EXPECT_TRUE(down.fractions.empty());
}
