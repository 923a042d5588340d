// The bound on a reply body: a compressed bomb and a body that never ends
// fail the request at the limit, however the body is kept; a reply framed
// both by length and by chunks is read as chunked and its connection closed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lib/http/HttpRequest.h"
#include "tests/support/TestSupport.h"
#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;
using testnet::LoopbackHttpServer;

namespace {

constexpr uint64_t kLimit = 1 << 20;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// How the body is taken: kept in memory or written to a file, inflated at
// the end or as it comes, or handed to a data block.
struct Mode {
    const char* name;
    bool toFile;
    bool waitToInflate;
    bool dataBlock;
};
const Mode kModes[] = {
    {"in memory, inflated at the end", false, true, false}, {"in memory, inflated as it comes", false, false, false},
    {"to a file, inflated at the end", true, true, false},  {"to a file, inflated as it comes", true, false, false},
    {"handed to a data block", false, false, true},
};

struct Outcome {
    HttpErrorRef error;
    uint64_t handedOver = 0;  // bytes the data block received
    HttpRequestRef request;
};

Outcome fetch(const LoopbackHttpServer& server, const std::string& path, const Mode& mode,
              const std::string& destination) {
    Outcome out;
    auto r = HttpRequest::requestWithURL(server.url(path));
    r->setMaxResponseBodySize(kLimit);
    r->setShouldWaitToInflateCompressedResponses(mode.waitToInflate);
    if (mode.toFile) r->setDownloadDestinationPath(destination);
    if (mode.dataBlock) r->setDataReceivedBlock([&out](const Bytes& data) { out.handedOver += data.size(); });
    r->startSynchronous();
    foundation::RunLoop::main().drain();  // the data block runs on the main thread
    out.error = r->error();
    out.request = r;
    return out;
}

}  // namespace

// 16 KB of gzip that inflates to 16 MiB: refused at the limit in every mode,
// and nothing of it is kept; a body under the limit still goes through.
TEST(HttpReplyLimits, ACompressedBombFailsAtTheLimitHoweverTheBodyIsKept) {
    LoopbackHttpServer server;
    const std::string bomb = testnet::gzip(std::string(16 << 20, '0'));
    const std::string fine(kLimit - 100, 'f');
    server.on("/bomb", [&](auto&) {
        return std::vector<testnet::Action>{
            testnet::send(testnet::response(200, {{"Content-Encoding", "gzip"}}, bomb))};
    });
    server.on("/fine", [&](auto&) {
        return std::vector<testnet::Action>{
            testnet::send(testnet::response(200, {{"Content-Encoding", "gzip"}}, testnet::gzip(fine)))};
    });
    const std::string dir = testsupport::tempDir("limits");
    for (const Mode& mode : kModes) {
        SCOPED_TRACE(mode.name);
        const std::string destination = dir + "/body";
        Outcome bombed = fetch(server, "/bomb", mode, destination);
        ASSERT_NE(bombed.error, nullptr);
        EXPECT_EQ(bombed.error->domain, kHttpRequestErrorDomain);
        EXPECT_EQ(bombed.error->code, kResponseTooLargeErrorType);
        EXPECT_EQ(bombed.error->message, "The response body is larger than the limit of 1048576 bytes");
        EXPECT_FALSE(bombed.request->responseData() && !bombed.request->responseData()->empty());
        EXPECT_LE(bombed.handedOver, kLimit);
        EXPECT_FALSE(fileExists(destination));
        EXPECT_FALSE(bombed.request->temporaryFileDownloadPath());
        EXPECT_FALSE(bombed.request->temporaryUncompressedDataDownloadPath());

        Outcome passed = fetch(server, "/fine", mode, destination);
        ASSERT_EQ(passed.error, nullptr) << passed.error->message;
        if (mode.toFile)
            EXPECT_EQ(readFile(destination), fine);
        else if (mode.dataBlock)
            EXPECT_EQ(passed.handedOver, fine.size());
        else
            EXPECT_EQ(passed.request->responseString(), fine);
        std::remove(destination.c_str());
    }
}

// A body that goes on and on (4 MiB, then the server says nothing more and
// keeps the connection): the request fails as soon as the limit is passed,
// not at a time-out, and keeps nothing.
TEST(HttpReplyLimits, ABodyThatNeverEndsFailsAtTheLimit) {
    LoopbackHttpServer server;
    const std::string piece(64 << 10, 'e');
    std::string chunk = testnet::chunked(piece, piece.size());
    chunk.resize(chunk.size() - 5);  // without the last chunk "0\r\n\r\n"
    auto endless = [&](const std::string& head, bool chunkedBody) {
        std::vector<testnet::Action> actions{testnet::send(head)};
        for (int i = 0; i < 64; ++i) actions.push_back(testnet::send(chunkedBody ? chunk : piece));
        actions.push_back(testnet::silence());
        return actions;
    };
    server.on("/chunked",
              [&](auto&) { return endless("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", true); });
    server.on("/until-close", [&](auto&) { return endless("HTTP/1.1 200 OK\r\n\r\n", false); });
    for (const char* path : {"/chunked", "/until-close"}) {
        SCOPED_TRACE(path);
        auto r = HttpRequest::requestWithURL(server.url(path));
        r->setMaxResponseBodySize(kLimit);
        r->setTimeOutSeconds(0);  // no time-out: only the limit can end it
        r->startSynchronous();
        ASSERT_NE(r->error(), nullptr);
        EXPECT_EQ(r->error()->code, kResponseTooLargeErrorType);
        EXPECT_FALSE(r->responseData() && !r->responseData()->empty());
        EXPECT_LE(r->totalBytesRead(), kLimit);
    }
}

// Both framings: the chunks are the body (not the three bytes the length
// claims), and the connection is not used again.
TEST(HttpReplyLimits, AReplyFramedTwiceIsReadAsChunkedAndItsConnectionClosed) {
    LoopbackHttpServer server;
    server.on("/twice", [](auto&) {
        return std::vector<testnet::Action>{testnet::send(
            "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n")};
    });
    server.on("/next",
              [](auto&) { return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "next"))}; });
    auto first = HttpRequest::requestWithURL(server.url("/twice"));
    first->startSynchronous();
    ASSERT_EQ(first->error(), nullptr) << first->error()->message;
    EXPECT_EQ(first->responseString(), "hello");
    EXPECT_FALSE(first->connectionCanBeReused());
    auto second = HttpRequest::requestWithURL(server.url("/next"));
    second->startSynchronous();
    ASSERT_EQ(second->error(), nullptr) << second->error()->message;
    EXPECT_EQ(second->responseString(), "next");
    EXPECT_EQ(server.connectionCount(), 2);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[1].connection, 2);
}
