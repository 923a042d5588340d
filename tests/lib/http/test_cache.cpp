// HttpDownloadCache: keys and file names, what is stored, answers from the
// cache without the network, revalidation with If-None-Match and a 304, and
// the fallback on failure.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

#include "lib/http/HttpDownloadCache.h"
#include "lib/http/HttpRequest.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "tests/support/TestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;

namespace {

class CacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        cache = std::make_shared<HttpDownloadCache>();
        ASSERT_FALSE(cache->setStoragePath(testsupport::tempDir("cache") + "/store"));
    }
    HttpRequestRef get(const std::string& path, int policy = 0) {
        auto r = HttpRequest::requestWithURL(net::Url::parse(server.url(path)), cache, policy);
        r->startSynchronous();
        return r;
    }
    void serve(const std::string& path, std::vector<std::pair<std::string, std::string>> headers, std::string body,
               int status = 200) {
        server.on(path, [=](const testnet::ServerRequest&) {
            return std::vector<testnet::Action>{testnet::send(testnet::response(status, headers, body))};
        });
    }
    std::shared_ptr<HttpDownloadCache> cache;
    testnet::LoopbackHttpServer server;
};

}  // namespace

TEST(CacheKeys, KeysAndBodyExtensions) {
    EXPECT_EQ(HttpDownloadCache::keyForURL(*net::Url::parse("http://127.0.0.1/dir/")),
              "795A13FF3DAD0DD77F4DE297D6DBB85C");
    EXPECT_EQ(HttpDownloadCache::keyForURL(*net::Url::parse("http://127.0.0.1/dir")),
              "795A13FF3DAD0DD77F4DE297D6DBB85C");
    EXPECT_EQ(HttpDownloadCache::keyForURL(*net::Url::parse("http://127.0.0.1/a.png")),
              "8D7BE944AEC2C03B8B0616FECFB90AC4");
    struct Case {
        const char* url;
        const char* extension;
    } cases[] = {{"http://h/", "html"},           {"http://h/page", "html"},     {"http://h/index.PHP", "html"},
                 {"http://h/x.aspx?q=1", "html"}, {"http://h/photo.JPG", "JPG"}, {"http://h/a.b/c.tar.gz", "gz"}};
    for (const auto& c : cases)
        EXPECT_EQ(HttpDownloadCache::bodyExtensionForURL(*net::Url::parse(c.url)), c.extension) << c.url;
}

TEST(CacheHeaders, HeaderFileRoundTripsAnyText) {
    ResponseHeaders h{{"Etag", "\"v1\""}, {"X-Odd", "tab\there\\and\nline"}, {kCachedStatusCodeHeader, "200"}};
    EXPECT_EQ(HttpDownloadCache::decodeHeaders(HttpDownloadCache::encodeHeaders(h)), h);
    EXPECT_FALSE(HttpDownloadCache::decodeHeaders("not a header file\n"));
}

TEST_F(CacheTest, DefaultPolicyIsNeverZeroAndThePathMustBeAFolder) {
    cache->setDefaultCachePolicy(0);
    EXPECT_EQ(cache->defaultCachePolicy(), CachePolicyRevalidateWhenStale);
    std::string file = testsupport::tempDir("blocked") + "/file";
    std::ofstream(file) << "x";
    auto old = foundation::setLogSink([](const std::string&) {});
    auto error = cache->setStoragePath(file);
    foundation::setLogSink(old);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(kHttpCacheErrorDomain, kFileExistsAtCachePath));
    EXPECT_EQ(httpCacheErrorName(error->code), "FileExistsAtCachePath");
    EXPECT_EQ(error->message,
              "Cannot create a directory for the cache at '" + file + "', because a file already exists");
}

TEST_F(CacheTest, RevalidationSendsTheEtagAndA304IsAnsweredFromTheCache) {
    server.on("/doc", [](const testnet::ServerRequest& q) {
        const std::string* tag = q.headers.get("If-None-Match");
        if (tag && *tag == "\"v1\"")
            return std::vector<testnet::Action>{testnet::send(testnet::response(304, {{"Etag", "\"v1\""}}, ""))};
        return std::vector<testnet::Action>{
            testnet::send(testnet::response(200, {{"Etag", "\"v1\""}, {"Content-Type", "text/plain"}}, "cached body"))};
    });
    auto first = get("/doc");
    ASSERT_FALSE(first->error());
    EXPECT_FALSE(first->didUseCachedResponse());
    ASSERT_TRUE(cache->pathToCachedResponseDataForURL(*first->url()));

    auto second = get("/doc");
    ASSERT_FALSE(second->error()) << second->error()->message;
    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_EQ(*server.requests()[1].headers.get("If-None-Match"), "\"v1\"");
    EXPECT_TRUE(second->didUseCachedResponse());
    EXPECT_EQ(second->responseStatusCode(), 200);
    EXPECT_EQ(second->responseString(), "cached body");
}

TEST_F(CacheTest, OnlyFromCacheAsksNoServerAndACurrentEntryIsUsedAsItIs) {
    serve("/fresh", {{"Cache-Control", "max-age=3600"}}, "fresh body");
    auto first = get("/fresh");
    ASSERT_FALSE(first->error());
    auto fromCache = get("/fresh", CachePolicyCacheOnly);
    EXPECT_EQ(fromCache->responseString(), "fresh body");
    EXPECT_TRUE(fromCache->didUseCachedResponse());
    auto current = get("/fresh");  // default policy: current, so no request either
    EXPECT_EQ(current->responseString(), "fresh body");
    EXPECT_EQ(server.requestCount(), 1);

    auto nothing = get("/never-stored", CachePolicyCacheOnly);
    EXPECT_FALSE(nothing->error());
    EXPECT_FALSE(nothing->didUseCachedResponse());
    EXPECT_EQ(server.requestCount(), 1);
}

TEST_F(CacheTest, WhatIsStored) {
    struct Case {
        const char* path;
        int status;
        std::vector<std::pair<std::string, std::string>> headers;
        bool respect;
        bool stored;
    } cases[] = {
        {"/plain", 200, {}, true, true},
        {"/moved", 301, {{"Location", "/elsewhere"}}, true, true},
        {"/notmod", 304, {}, true, false},
        {"/missing", 404, {}, true, false},
        {"/nocache", 200, {{"Cache-Control", "no-cache"}}, true, false},
        {"/nostore", 200, {{"Cache-Control", "No-Store"}}, true, false},
        {"/pragma", 200, {{"Pragma", "no-cache"}}, true, false},
        {"/nocache-private", 200, {{"Cache-Control", "no-cache, private"}}, true, true},
        {"/nocache-ignored", 200, {{"Cache-Control", "no-cache"}}, false, true},
    };
    for (const auto& c : cases) {
        serve(c.path, c.headers, "body", c.status);
        cache->setShouldRespectCacheControlHeaders(c.respect);
        auto r = HttpRequest::requestWithURL(net::Url::parse(server.url(c.path)), cache, CachePolicySkipRead);
        r->setShouldRedirect(false);
        r->startSynchronous();
        EXPECT_EQ(bool(cache->cachedResponseHeadersForURL(*r->url())), c.stored) << c.path;
    }
    // The skip-write policy stores nothing.
    serve("/skip", {}, "body");
    get("/skip", CachePolicySkipWrite);
    EXPECT_FALSE(cache->cachedResponseHeadersForURL(*net::Url::parse(server.url("/skip"))));
}

TEST_F(CacheTest, FreshHeadersWithoutEtagMakeStoredDataNotCurrent) {
    bool withTag = true;
    server.on("/e", [&](const testnet::ServerRequest&) {
        std::vector<std::pair<std::string, std::string>> h = {{"Cache-Control", "max-age=3600"},
                                                              {"Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT"}};
        if (withTag) h.push_back({"ETag", "\"a\""});
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, h, "e"))};
    });
    auto first = get("/e", CachePolicySkipRead);
    EXPECT_TRUE(cache->isCachedDataCurrentForRequest(*first));
    withTag = false;
    auto second = HttpRequest::requestWithURL(net::Url::parse(server.url("/e")), cache,
                                              CachePolicySkipRead | CachePolicySkipWrite);
    second->startSynchronous();
    EXPECT_FALSE(cache->isCachedDataCurrentForRequest(*second));
}

TEST_F(CacheTest, FailureFallsBackToTheStoredReply) {
    serve("/f", {}, "kept");
    get("/f");
    server.stop();
    auto r = HttpRequest::requestWithURL(net::Url::parse(server.url("/f")), cache,
                                         CachePolicyFallbackOnFailure | CachePolicyRevalidateAlways);
    r->startSynchronous();
    EXPECT_FALSE(r->error());
    EXPECT_TRUE(r->didUseCachedResponse());
    EXPECT_EQ(r->responseString(), "kept");
}

TEST_F(CacheTest, SettingThePathEmptiesTheSessionStoreOnly) {
    serve("/s", {}, "s");
    serve("/p", {}, "p");
    get("/s");
    auto p = HttpRequest::requestWithURL(net::Url::parse(server.url("/p")), cache);
    p->setCacheStoragePolicy(StoragePermanent);
    p->startSynchronous();
    std::string path = *cache->storagePath();
    cache->setStoragePath(path);
    EXPECT_FALSE(cache->cachedResponseDataForURL(*net::Url::parse(server.url("/s"))));
    auto kept = cache->cachedResponseDataForURL(*net::Url::parse(server.url("/p")));
    ASSERT_TRUE(kept);
    EXPECT_EQ(std::string(kept->begin(), kept->end()), "p");
    cache->removeCachedDataForURL(*net::Url::parse(server.url("/p")));
    EXPECT_FALSE(cache->cachedResponseHeadersForURL(*net::Url::parse(server.url("/p"))));
}

TEST_F(CacheTest, ACacheQueryFromAnotherThreadWhileTheRequestRunsDoesNotDeadlock) {
    // A running request asks the cache while it holds its own lock; another
    // thread asks the cache about that same request meanwhile.
    server.on("/doc", [](const testnet::ServerRequest& q) {
        if (q.headers.get("If-None-Match"))
            return std::vector<testnet::Action>{testnet::send(testnet::response(304, {{"Etag", "\"v1\""}}, ""))};
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {{"Etag", "\"v1\""}}, "body"))};
    });
    ASSERT_FALSE(get("/doc")->error());
    auto run = std::async(std::launch::async, [&] {
        for (int i = 0; i < 20; ++i) {
            auto r = HttpRequest::requestWithURL(net::Url::parse(server.url("/doc")), cache);
            std::atomic<bool> stop{false};
            std::atomic<int> asked{0};
            std::thread asker([&] {
                while (!stop) {
                    cache->isCachedDataCurrentForRequest(*r);
                    cache->canUseCachedDataForRequest(*r);
                    ++asked;
                }
            });
            while (asked == 0) std::this_thread::yield();
            r->startSynchronous();
            stop = true;
            asker.join();
            if (r->error() || r->responseString() != "body") return false;
        }
        return true;
    });
    if (run.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "the request and the cache wait for each other";
        std::_Exit(1);  // the threads cannot be freed
    }
    EXPECT_TRUE(run.get());
}
