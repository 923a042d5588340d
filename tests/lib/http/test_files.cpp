// Compression, bodies from files, downloads to files and resuming them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "lib/http/HttpDataCompressor.h"
#include "lib/http/HttpInputStream.h"
#include "lib/http/HttpRequest.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/TestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary);
    f << data;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string pattern(size_t n, unsigned seed = 7) {
    std::string s(n, '\0');
    uint32_t x = seed;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    return s;
}

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

}  // namespace

TEST(Compressor, GzipOfBlocksAndData) {
    HttpErrorRef error;
    auto c = HttpDataCompressor::compressor();
    EXPECT_FALSE(c->compressBytes(nullptr, 0, error, false));
    EXPECT_FALSE(error);
    EXPECT_FALSE(HttpDataCompressor::compressData({}, error));
    EXPECT_FALSE(error);

    auto abc = HttpDataCompressor::compressData(bytes("abc"), error);
    ASSERT_TRUE(abc);
    ASSERT_GE(abc->size(), 3u);
    EXPECT_EQ((*abc)[0], 0x1F);
    EXPECT_EQ((*abc)[1], 0x8B);
    EXPECT_EQ((*abc)[2], 0x08);
    EXPECT_EQ(text(*HttpDataDecompressor::uncompressData(*abc, error)), "abc");

    // One byte at a time (output space is never zero), as one stream.
    std::string data = pattern(5000);
    Bytes all;
    for (size_t i = 0; i < data.size(); ++i) {
        auto part = c->compressBytes(reinterpret_cast<const uint8_t*>(&data[i]), 1, error, false);
        ASSERT_FALSE(error);
        if (part) all.insert(all.end(), part->begin(), part->end());
    }
    auto tail = c->compressBytes(nullptr, 0, error, true);
    ASSERT_TRUE(tail);
    all.insert(all.end(), tail->begin(), tail->end());
    EXPECT_EQ(text(*HttpDataDecompressor::uncompressData(all, error)), data);

    Bytes corrupt = *abc;
    corrupt[10] ^= 0xFF;
    corrupt[11] ^= 0xFF;
    EXPECT_FALSE(HttpDataDecompressor::uncompressData(corrupt, error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription, "Decompression of data failed with code -3");
    EXPECT_EQ(error->code, kCompressionError);
}

TEST(Compressor, FilesOfEveryChunkShapeFinishTheirStream) {
    std::string dir = testsupport::tempDir("z");
    for (size_t size : {size_t(0), size_t(1), size_t(262144), size_t(2 * 262144), size_t(262144 + 17)}) {
        std::string src = dir + "/src", gz = dir + "/src.gz", back = dir + "/back";
        std::string data = pattern(size, unsigned(size));
        writeFile(src, data);
        HttpErrorRef error;
        ASSERT_TRUE(HttpDataCompressor::compressDataFromFile(src, gz, error)) << size;
        ASSERT_TRUE(HttpDataDecompressor::uncompressDataFromFile(gz, back, error)) << size;
        EXPECT_EQ(readFile(back), data) << size;
    }
    HttpErrorRef error;
    std::string missing = dir + "/missing";
    EXPECT_FALSE(HttpDataCompressor::compressDataFromFile(missing, dir + "/out.gz", error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription, "Compression of " + missing + " failed the file does not exist");
    EXPECT_TRUE(exists(dir + "/out.gz"));
    EXPECT_EQ(readFile(dir + "/out.gz"), "");
}

TEST(InputStream, ThrottledReadsAskForOneByteWhenNoneIsAllowed) {
    std::vector<size_t> used;
    HttpInputStream::setBandwidthHooks(
        {[] { return true; }, [] { return 0ul; }, [](HttpRequest*) {}, [&](unsigned long n) { used.push_back(n); }});
    auto s = HttpInputStream::inputStreamWithData(bytes("hello"), nullptr);
    uint8_t buf[100];
    EXPECT_EQ(s->read(buf, sizeof buf), 1);
    EXPECT_EQ(buf[0], 'h');
    HttpInputStream::setBandwidthHooks(
        {[] { return true; }, [] { return 3ul; }, [](HttpRequest*) {}, [&](unsigned long n) { used.push_back(n); }});
    EXPECT_EQ(s->read(buf, sizeof buf), 3);
    HttpInputStream::setBandwidthHooks({});
    EXPECT_EQ(s->read(buf, sizeof buf), 1);
    EXPECT_EQ(s->read(buf, sizeof buf), 0);
    EXPECT_EQ(used, (std::vector<size_t>{1, 3}));
    EXPECT_EQ(HttpInputStream::inputStreamWithFileAtPath("/nonexistent/file", nullptr), nullptr);
}

class FileRequestTest : public ::testing::Test {
protected:
    testnet::LoopbackHttpServer server;
    std::string dir = testsupport::tempDir("files");
};

TEST_F(FileRequestTest, BodyFromAFileArrivesIntact) {
    std::string data = pattern(1 << 20);
    writeFile(dir + "/body", data);
    server.on("/up", [&](const testnet::ServerRequest& q) {
        return std::vector<testnet::Action>{
            testnet::send(testnet::response(200, {}, q.body == data ? "same" : "differs"))};
    });
    // Copied into a temporary body file, then streamed from it.
    auto r = HttpRequest::requestWithURL(server.url("/up"));
    r->setShouldStreamPostDataFromDisk(true);
    r->appendPostDataFromFile(dir + "/body");
    auto temporary = r->postBodyFilePath();
    ASSERT_TRUE(temporary);
    r->startSynchronous();
    ASSERT_FALSE(r->error()) << r->error()->localizedDescription;
    EXPECT_EQ(r->responseString(), "same");
    EXPECT_EQ(r->requestMethod(), "POST");
    EXPECT_EQ(r->postLength(), data.size());
    EXPECT_EQ(r->totalBytesSent(), data.size());
    EXPECT_FALSE(exists(*temporary));  // the request's own temporary file is gone
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(*server.requests()[0].headers.get("Content-Length"), std::to_string(data.size()));

    // A caller's body file is used as it is and left in place.
    auto direct = HttpRequest::requestWithURL(server.url("/up"));
    direct->setShouldStreamPostDataFromDisk(true);
    direct->setPostBodyFilePath(dir + "/body");
    direct->setRequestMethod("PUT");
    direct->startSynchronous();
    EXPECT_EQ(direct->responseString(), "same");
    EXPECT_EQ(server.requests()[1].method, "PUT");
    EXPECT_TRUE(exists(dir + "/body"));

    auto missing = HttpRequest::requestWithURL(server.url("/up"));
    missing->setShouldStreamPostDataFromDisk(true);
    missing->setPostBodyFilePath(dir + "/nothing-here");
    missing->startSynchronous();
    ASSERT_TRUE(missing->error());
    EXPECT_EQ(missing->error()->code, kFileManagementError);
    EXPECT_EQ(missing->error()->localizedDescription,
              "Failed to get attributes for file at path '" + dir + "/nothing-here'");
}

TEST_F(FileRequestTest, CompressedBodiesGoOutAsGzip) {
    std::string data = pattern(70000) + std::string(70000, 'x');
    server.on("/gz", [&](const testnet::ServerRequest& q) {
        HttpErrorRef error;
        auto inflated = HttpDataDecompressor::uncompressData(bytes(q.body), error);
        bool ok = inflated && text(*inflated) == data && q.headers.get("Content-Encoding") &&
                  *q.headers.get("Content-Encoding") == "gzip";
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, ok ? "inflated" : "bad"))};
    });
    auto memory = HttpRequest::requestWithURL(server.url("/gz"));
    memory->appendPostData(data);
    memory->setShouldCompressRequestBody(true);
    memory->startSynchronous();
    EXPECT_EQ(memory->responseString(), "inflated");
    EXPECT_LT(memory->postLength(), data.size());

    writeFile(dir + "/plain", data);
    auto file = HttpRequest::requestWithURL(server.url("/gz"));
    file->setShouldStreamPostDataFromDisk(true);
    file->setPostBodyFilePath(dir + "/plain");
    file->setShouldCompressRequestBody(true);
    file->startSynchronous();
    EXPECT_EQ(file->responseString(), "inflated");
    EXPECT_FALSE(file->compressedPostBodyFilePath());  // the compressed copy was removed
}

TEST_F(FileRequestTest, DownloadsGoToTheDestinationFile) {
    std::string data = pattern(300000);
    server.on("/file", [&](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, data))};
    });
    server.on("/gzfile", [&](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{
            testnet::send(testnet::response(200, {{"Content-Encoding", "gzip"}}, testnet::gzip(data)))};
    });
    writeFile(dir + "/out", "old contents");
    auto r = HttpRequest::requestWithURL(server.url("/file"));
    r->setDownloadDestinationPath(dir + "/out");
    r->startSynchronous();
    ASSERT_FALSE(r->error()) << r->error()->localizedDescription;
    EXPECT_EQ(readFile(dir + "/out"), data);
    EXPECT_FALSE(r->responseData());
    EXPECT_FALSE(r->temporaryFileDownloadPath());

    for (bool waitToInflate : {true, false}) {
        auto g = HttpRequest::requestWithURL(server.url("/gzfile"));
        g->setDownloadDestinationPath(dir + "/inflated");
        g->setShouldWaitToInflateCompressedResponses(waitToInflate);
        g->startSynchronous();
        ASSERT_FALSE(g->error()) << g->error()->localizedDescription;
        EXPECT_EQ(readFile(dir + "/inflated"), data) << waitToInflate;
        EXPECT_FALSE(g->temporaryUncompressedDataDownloadPath());
        std::remove((dir + "/inflated").c_str());
    }
}

TEST_F(FileRequestTest, ResumedDownloadSendsRangeAndAppendsOrRewrites) {
    std::string data = pattern(50000);
    bool sendRange = true;
    server.on("/big", [&](const testnet::ServerRequest& q) {
        const std::string* range = q.headers.get("Range");
        if (range && sendRange) {
            size_t from = std::stoul(range->substr(6));
            return std::vector<testnet::Action>{testnet::send(testnet::response(
                206,
                {{"Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(data.size() - 1) + "/" +
                                       std::to_string(data.size())}},
                data.substr(from)))};
        }
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, data))};
    });
    std::string partial = dir + "/partial";
    for (bool serverResumes : {true, false}) {
        sendRange = serverResumes;
        writeFile(partial, data.substr(0, 12345));
        auto r = HttpRequest::requestWithURL(server.url("/big"));
        r->setDownloadDestinationPath(dir + "/whole");
        r->setTemporaryFileDownloadPath(partial);
        r->setAllowResumeForFileDownloads(true);
        r->startSynchronous();
        ASSERT_FALSE(r->error()) << r->error()->localizedDescription;
        EXPECT_EQ(*server.requests().back().headers.get("Range"), "bytes=12345-");
        EXPECT_EQ(readFile(dir + "/whole"), data) << serverResumes;
        EXPECT_EQ(r->partialDownloadSize(), serverResumes ? 12345u : 0u);
        EXPECT_FALSE(exists(partial));
    }
}

TEST_F(FileRequestTest, CancelledDownloadLeavesNoTemporaryFileUnlessItMayResume) {
    server.on("/slow", [](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{
            testnet::send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'a')),
            testnet::silence()};
    });
    for (bool resume : {false, true}) {
        struct Rec : HttpRequestDelegate {
            std::atomic<int> failed{0};
            void requestFailed(HttpRequest&) override { ++failed; }
        } rec;
        auto r = HttpRequest::requestWithURL(server.url("/slow"));
        r->setDownloadDestinationPath(dir + "/never");
        r->setAllowResumeForFileDownloads(resume);
        r->setDelegate(&rec);
        r->startAsynchronous();
        ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return r->totalBytesRead() >= 5000; }));
        auto temporary = r->temporaryFileDownloadPath();
        ASSERT_TRUE(temporary);
        r->cancel();
        ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return rec.failed == 1; }));
        EXPECT_EQ(exists(*temporary), resume) << resume;
        EXPECT_FALSE(exists(dir + "/never"));
        std::remove(temporary->c_str());
    }
}

TEST_F(FileRequestTest, UploadedBodyBytesCountAsBandwidthWhileThrottling) {
    foundation::ManualClockScope clock;
    HttpRequest::setMaxBandwidthPerSecond(1000000000);  // throttling on, nothing held back
    std::string data = pattern(100000);
    writeFile(dir + "/up", data);
    server.on("/up", [&](const testnet::ServerRequest& q) {
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, q.body == data ? "ok" : "bad"))};
    });
    HttpRequest::measureBandwidthUsage();  // opens a measuring period
    auto r = HttpRequest::requestWithURL(server.url("/up"));
    r->setShouldStreamPostDataFromDisk(true);
    r->setPostBodyFilePath(dir + "/up");
    r->startSynchronous();
    EXPECT_EQ(r->responseString(), "ok");
    clock->advance(1.5);
    HttpRequest::measureBandwidthUsage();
    HttpRequest::setMaxBandwidthPerSecond(0);
    auto history = HttpRequest::bandwidthUsageHistory();
    ASSERT_FALSE(history.empty());
    EXPECT_GE(history.back(), data.size());
}
