// The HTTP client against libcurl on the same loopback server:
//   KeepAlive300: 2,000 sequential GETs of a 300-byte body on one kept-alive connection;
//   Gzip1MB:      50 GETs of a gzip body that inflates to 1 MiB (about 380 KiB on the wire);
//   HttpsKeepAlive300: 200 sequential GETs of a 300-byte body over TLS from a
//                 local server that keeps its connections open (certificates
//                 of a test authority made at start).
// Each client keeps the inflated body. Run with --benchmark_filter=Ours or
// =Curl to read each one's peak memory (printed at exit).
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <random>

#include "lib/http/HttpRequest.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/TlsSession.h"
#include "tests/support/net/LoopbackHttpServer.h"
#include "tests/support/net/ProxyTlsFixtures.h"

namespace {

constexpr int kSmallRequests = 2000;
constexpr int kLargeRequests = 50;
constexpr int kHttpsRequests = 200;

struct Fixture {
    testnet::LoopbackHttpServer server;
    std::string small = std::string(300, 's');
    std::unique_ptr<testnet::TlsHttpServer> tls;
    std::string large;
    std::string largeGzip;
    Fixture() {
        // Text of random words: compresses about as well as a real reply.
        std::mt19937 rng(7);
        static const char* words[] = {"alpha", "beta",   "gamma", "delta", "{\"result\":", "0", "1f2e",
                                      "safe",  "center", ",",     "\"x\"", "token",        "\n"};
        while (large.size() < (1 << 20)) large += words[rng() % 13], large += ' ';
        large.resize(1 << 20);
        largeGzip = testnet::gzip(large);
        server.setRecordRequests(false);
        std::string smallReply = testnet::response(200, {{"Content-Type", "text/plain"}}, small);
        std::string largeReply =
            testnet::response(200, {{"Content-Type", "text/plain"}, {"Content-Encoding", "gzip"}}, largeGzip);
        server.on("/small", [smallReply](auto&) { return std::vector{testnet::send(smallReply)}; });
        server.on("/large", [largeReply](auto&) { return std::vector{testnet::send(largeReply)}; });
        const auto& certs = testnet::testCertificates();
        tls = std::make_unique<testnet::TlsHttpServer>(certs.serverCert, certs.serverKey,
                                                       [smallReply](const testnet::TlsRequest&) { return smallReply; });
        tls->setKeepAlive(true);
        net::TlsSession::addTrustedRootsFile(certs.ca);
    }
};

Fixture& fixture() {
    static Fixture* f = new Fixture();
    return *f;
}

size_t appendToString(char* data, size_t size, size_t n, void* out) {
    static_cast<std::string*>(out)->append(data, size * n);
    return size * n;
}

std::string urlFor(const std::string& path) {
    auto& f = fixture();
    return path.rfind("tls:", 0) == 0 ? f.tls->url("localhost", path.substr(4)) : f.server.url(path);
}

void Ours(benchmark::State& state, const std::string& path, int count, size_t expected) {
    std::string url = urlFor(path);
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            auto r = http::HttpRequest::requestWithURL(url);
            r->startSynchronous();
            auto data = r->responseData();
            if (r->error() || !data || data->size() != expected) {
                state.SkipWithError("request failed");
                return;
            }
            benchmark::DoNotOptimize(data->data());
        }
    }
    state.counters["requests/s"] = benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}

void Curl(benchmark::State& state, const std::string& path, int count, size_t expected) {
    std::string url = urlFor(path);
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendToString);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_CAINFO, testnet::testCertificates().ca.c_str());
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            body.clear();
            if (curl_easy_perform(curl) != CURLE_OK || body.size() != expected) {
                state.SkipWithError("curl failed");
                curl_easy_cleanup(curl);
                return;
            }
            benchmark::DoNotOptimize(body.data());
        }
    }
    curl_easy_cleanup(curl);
    state.counters["requests/s"] = benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}

void Ours_KeepAlive300(benchmark::State& s) { Ours(s, "/small", kSmallRequests, 300); }
void Curl_KeepAlive300(benchmark::State& s) { Curl(s, "/small", kSmallRequests, 300); }
void Ours_Gzip1MB(benchmark::State& s) { Ours(s, "/large", kLargeRequests, 1 << 20); }
void Curl_Gzip1MB(benchmark::State& s) { Curl(s, "/large", kLargeRequests, 1 << 20); }
void Ours_HttpsKeepAlive300(benchmark::State& s) { Ours(s, "tls:/small", kHttpsRequests, 300); }
void Curl_HttpsKeepAlive300(benchmark::State& s) { Curl(s, "tls:/small", kHttpsRequests, 300); }

BENCHMARK(Ours_KeepAlive300)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(Curl_KeepAlive300)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(Ours_Gzip1MB)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(Curl_Gzip1MB)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(Ours_HttpsKeepAlive300)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(Curl_HttpsKeepAlive300)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
    foundation::RunLoop::setMainThread();
    curl_global_init(CURL_GLOBAL_DEFAULT);
    fixture();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", double(usage.ru_maxrss) / 1024.0);
    curl_global_cleanup();
    return 0;
}
