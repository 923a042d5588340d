// The HTTP client against libcurl on the same loopback server:
//   KeepAlive300: 2,000 sequential GETs of a 300-byte body on one kept-alive connection;
//   Gzip1MB:      50 GETs of a gzip body that inflates to 1 MiB (about 380 KiB on the wire);
//   HttpsKeepAlive300: 200 sequential GETs of a 300-byte body over TLS from a
//                 local server that keeps its connections open (certificates
//                 of a test authority made at start).
// Each client keeps the inflated body, whose size is checked on both sides.
// Run with --benchmark_filter=Ours or =Curl to read each one's peak memory
// (printed at exit).
//
// Like for like: the servers run in a child process, so this process's CPU
// time is the clients' alone, every thread of them (our client's network
// thread and pool, libcurl's resolver); every figure below is that process
// CPU time. After the Google Benchmark rows, the two clients run side by
// side in interleaved rounds and the median of the rounds' ratios is printed.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

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

// The servers' addresses and the test authority, as the child reports them.
struct Servers {
    std::string small, large, tls, ca;
};

Servers& servers() {
    static Servers s;
    return s;
}

// Starts the servers in a child process that serves until this process
// ends (its end of the pipe closes), and reads their addresses.
void startServers() {
    int report[2], hold[2];
    if (pipe(report) != 0 || pipe(hold) != 0) std::abort();
    pid_t child = fork();
    if (child < 0) std::abort();
    if (child == 0) {
        close(report[0]);
        close(hold[1]);
        auto* f = new Fixture();
        std::string lines = f->server.url("/small") + "\n" + f->server.url("/large") + "\n" +
                            f->tls->url("localhost", "/small") + "\n" + testnet::testCertificates().ca + "\n";
        if (write(report[1], lines.data(), lines.size()) != ssize_t(lines.size())) _exit(1);
        close(report[1]);
        char c;
        while (read(hold[0], &c, 1) > 0) {}
        _exit(0);
    }
    close(report[1]);
    close(hold[0]);
    std::string lines;
    char buffer[512];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;) lines.append(buffer, size_t(n));
    close(report[0]);
    std::vector<std::string> parts;
    for (size_t at = 0, nl; (nl = lines.find('\n', at)) != std::string::npos; at = nl + 1)
        parts.push_back(lines.substr(at, nl - at));
    if (parts.size() != 4) {
        std::fprintf(stderr, "the servers did not start\n");
        std::exit(1);
    }
    servers() = Servers{parts[0], parts[1], parts[2], parts[3]};
    net::TlsSession::addTrustedRootsFile(servers().ca);
    // hold[1] stays open until this process exits.
}

size_t appendToString(char* data, size_t size, size_t n, void* out) {
    static_cast<std::string*>(out)->append(data, size * n);
    return size * n;
}

std::string urlFor(const std::string& path) {
    if (path == "tls:/small") return servers().tls;
    return path == "/large" ? servers().large : servers().small;
}

// One run of `count` requests by our client; false when one failed.
bool runOurs(const std::string& url, int count, size_t expected) {
    for (int i = 0; i < count; ++i) {
        auto r = http::HttpRequest::requestWithURL(url);
        r->startSynchronous();
        auto data = r->responseData();
        if (r->error() || !data || data->size() != expected) return false;
        benchmark::DoNotOptimize(data->data());
    }
    return true;
}

// libcurl with a handle kept from one run to the next, as our client keeps
// its connections.
struct CurlClient {
    CURL* curl = curl_easy_init();
    std::string body;
    explicit CurlClient(const std::string& url) {
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendToString);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
        curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(curl, CURLOPT_CAINFO, servers().ca.c_str());
    }
    ~CurlClient() { curl_easy_cleanup(curl); }
    bool run(int count, size_t expected) {
        for (int i = 0; i < count; ++i) {
            body.clear();
            if (curl_easy_perform(curl) != CURLE_OK || body.size() != expected) return false;
            benchmark::DoNotOptimize(body.data());
        }
        return true;
    }
};

void Ours(benchmark::State& state, const std::string& path, int count, size_t expected) {
    std::string url = urlFor(path);
    for (auto _ : state) {
        if (!runOurs(url, count, expected)) {
            state.SkipWithError("request failed");
            return;
        }
    }
    state.counters["requests/s"] = benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}

void Curl(benchmark::State& state, const std::string& path, int count, size_t expected) {
    CurlClient client(urlFor(path));
    for (auto _ : state) {
        if (!client.run(count, expected)) {
            state.SkipWithError("curl failed");
            return;
        }
    }
    state.counters["requests/s"] = benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}

void Ours_KeepAlive300(benchmark::State& s) { Ours(s, "/small", kSmallRequests, 300); }
void Curl_KeepAlive300(benchmark::State& s) { Curl(s, "/small", kSmallRequests, 300); }
void Ours_Gzip1MB(benchmark::State& s) { Ours(s, "/large", kLargeRequests, 1 << 20); }
void Curl_Gzip1MB(benchmark::State& s) { Curl(s, "/large", kLargeRequests, 1 << 20); }
void Ours_HttpsKeepAlive300(benchmark::State& s) { Ours(s, "tls:/small", kHttpsRequests, 300); }
void Curl_HttpsKeepAlive300(benchmark::State& s) { Curl(s, "tls:/small", kHttpsRequests, 300); }

// Process CPU time: the requests/s counters divide by it.
BENCHMARK(Ours_KeepAlive300)->Unit(benchmark::kMillisecond)->MinTime(2)->MeasureProcessCPUTime();
BENCHMARK(Curl_KeepAlive300)->Unit(benchmark::kMillisecond)->MinTime(2)->MeasureProcessCPUTime();
BENCHMARK(Ours_Gzip1MB)->Unit(benchmark::kMillisecond)->MinTime(2)->MeasureProcessCPUTime();
BENCHMARK(Curl_Gzip1MB)->Unit(benchmark::kMillisecond)->MinTime(2)->MeasureProcessCPUTime();
BENCHMARK(Ours_HttpsKeepAlive300)->Unit(benchmark::kMillisecond)->MinTime(2)->MeasureProcessCPUTime();
BENCHMARK(Curl_HttpsKeepAlive300)->Unit(benchmark::kMillisecond)->MinTime(2)->MeasureProcessCPUTime();

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Rounds in which each client runs the same requests in turn; the median
// of the rounds' ratios of process CPU time.
void sideBySide(const char* what, const std::string& path, int count, size_t expected) {
    std::string url = urlFor(path);
    CurlClient curl(url);
    auto timed = [](auto&& run) {
        double t0 = processSeconds();
        if (!run()) {
            std::fprintf(stderr, "a request failed\n");
            std::exit(1);
        }
        return processSeconds() - t0;
    };
    auto ours = [&] { return runOurs(url, count, expected); };
    auto theirs = [&] { return curl.run(count, expected); };
    timed(ours);
    timed(theirs);
    std::vector<double> a, b, ratios;
    for (int round = 0; round < 15; ++round) {
        a.push_back(timed(ours));
        b.push_back(timed(theirs));
        ratios.push_back(a.back() / b.back());
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("%-20s ours %8.2f ms, libcurl %8.2f ms (process CPU), ratio %.2fx\n", what, median(a) * 1e3,
                median(b) * 1e3, median(ratios));
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread starts: the child serves, this process measures.
    startServers();
    foundation::RunLoop::setMainThread();
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sideBySide("keep-alive 300 B", "/small", kSmallRequests / 4, 300);
    sideBySide("gzip 1 MiB", "/large", kLargeRequests / 5, 1 << 20);
    sideBySide("https keep-alive", "tls:/small", kHttpsRequests / 4, 300);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", double(usage.ru_maxrss) / 1024.0);
    curl_global_cleanup();
    return 0;
}
