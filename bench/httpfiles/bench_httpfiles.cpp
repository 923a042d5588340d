// Gzip of request bodies (whole data and files) and a PAC script run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "lib/http/HttpDataCompressor.h"
#include "lib/http/PacScript.h"

namespace {

http::Bytes sample(size_t n) {
    http::Bytes b(n);
    uint32_t x = 1;
    for (auto& c : b) {
        x = x * 1103515245u + 12345u;
        c = uint8_t((x >> 16) % 40 + 'A');  // compressible, like text
    }
    return b;
}

void BM_CompressData(benchmark::State& state) {
    http::Bytes data = sample(size_t(state.range(0)));
    for (auto _ : state) {
        http::HttpErrorRef error;
        auto out = http::HttpDataCompressor::compressData(data, error);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CompressData)->Arg(1024)->Arg(1 << 20);

void BM_CompressFile(benchmark::State& state) {
    std::string src = "/tmp/quenta-bench-src", dst = "/tmp/quenta-bench-dst.gz";
    http::Bytes data = sample(4 << 20);
    FILE* f = std::fopen(src.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    for (auto _ : state) {
        http::HttpErrorRef error;
        benchmark::DoNotOptimize(http::HttpDataCompressor::compressDataFromFile(src, dst, error));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    std::remove(src.c_str());
    std::remove(dst.c_str());
}
BENCHMARK(BM_CompressFile);

void BM_PacScript(benchmark::State& state) {
    http::PacScript::setResolver([](const std::string&) { return std::optional<std::string>("10.1.2.3"); });
    std::string script =
        "function FindProxyForURL(url, host) {\n"
        "  if (isPlainHostName(host) || dnsDomainIs(host, '.intranet.example')) return 'DIRECT';\n"
        "  if (isInNet(host, '10.0.0.0', '255.0.0.0')) return 'PROXY inner.example:3128';\n"
        "  if (shExpMatch(url, 'https://*')) return 'PROXY secure.example:8443; DIRECT';\n"
        "  return 'PROXY outer.example:8080';\n}\n";
    for (auto _ : state) {
        auto answer = http::PacScript::findProxyForURL(script, "http://www.example.com/a", "www.example.com", 5);
        benchmark::DoNotOptimize(answer);
    }
}
BENCHMARK(BM_PacScript);

}  // namespace

BENCHMARK_MAIN();
