// Parse and write throughput of the JSON codec against two other parsers,
// each building its document tree from the same bytes (and, for parsing,
// throwing it away again):
//   Large: about 1 MB shaped like the security-log and person-centre replies
//          (arrays of objects of short texts, Chinese included, and numbers);
//   Small: a 300-byte reply.
#include <benchmark/benchmark.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <nlohmann/json.hpp>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "lib/json/JsonParser.h"
#include "lib/json/JsonWriter.h"

namespace {

std::string largeDocument() {
    static const char* locations[] = {"浙江省杭州市", "上海市", "北京市海淀区", "广东省深圳市", "unknown"};
    static const char* businesses[] = {"登录", "修改密码", "岚付通绑定", "一键校验", "login"};
    std::string s =
        "{\"result\":\"100\",\"isSuccess\":true,\"username\":\"测试用户hc123\",\"safeScore\":87,"
        "\"products\":[1,2,3,5,8],\"list\":[";
    char item[512];
    for (int i = 0; s.size() < 1000000; ++i) {
        std::snprintf(item, sizeof item,
                      "%s{\"id\":%d,\"time\":\"2013-12-%02d %02d:%02d:%02d\",\"location\":\"%s\",\"business\":\"%s\","
                      "\"ip\":\"10.%d.%d.%d\",\"checkid\":%lld,\"type\":%d,\"state\":%d,\"rate\":%d.%02d,"
                      "\"memo\":\"第%d条记录\\n\"}",
                      i ? "," : "", i, 1 + i % 28, i % 24, i % 60, (i * 7) % 60, locations[i % 5], businesses[i % 5],
                      i % 256, (i / 3) % 256, (i / 7) % 256, 1386300000000LL + i * 1000LL, i % 4, i % 2, i % 100,
                      i % 97, i);
        s += item;
    }
    s += "]}";
    return s;
}

std::string smallDocument() {
    std::string s =
        "{\"result\":\"100\",\"isSuccess\":true,\"sid\":\"8f14e45fceea167a\",\"checktime\":1386300000000,"
        "\"list\":[{\"time\":\"2013-12-06 10:20:30\",\"location\":\"浙江杭州\",\"business\":\"登录\","
        "\"checkid\":12345}],\"username\":\"hc_user\",\"userType\":\"1\",\"phoneNo\":\"138****0000\","
        "\"imageUrl\":\"http://img.example.com/a.png\",\"account_lock\":16777215,\"adversion\":\"3\"}";
    return s;
}

const std::string& doc(int which) {
    static const std::string large = largeDocument();
    static const std::string small = smallDocument();
    return which == 0 ? large : small;
}

void ParseQuenta(benchmark::State& state) {
    const std::string& text = doc(int(state.range(0)));
    for (auto _ : state) {
        JsonParser parser;
        auto v = parser.objectWithString(text);
        if (!v) state.SkipWithError(parser.error().c_str());
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void ParseRapidJson(benchmark::State& state) {
    const std::string& text = doc(int(state.range(0)));
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(text.data(), text.size());
        if (d.HasParseError()) state.SkipWithError("parse error");
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void ParseNlohmann(benchmark::State& state) {
    const std::string& text = doc(int(state.range(0)));
    for (auto _ : state) {
        auto j = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(j);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void WriteQuenta(benchmark::State& state) {
    const std::string& text = doc(int(state.range(0)));
    JsonParser parser;
    auto v = parser.objectWithString(text);
    size_t bytes = 0;
    for (auto _ : state) {
        JsonWriter writer;
        auto out = writer.stringWithObject(*v);
        bytes = out->size();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void WriteRapidJson(benchmark::State& state) {
    const std::string& text = doc(int(state.range(0)));
    rapidjson::Document d;
    d.Parse(text.data(), text.size());
    size_t bytes = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        d.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void WriteNlohmann(benchmark::State& state) {
    const std::string& text = doc(int(state.range(0)));
    auto j = nlohmann::json::parse(text);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string out = j.dump();
        bytes = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

}  // namespace

// Argument 0: the 1 MB document; 1: the 300-byte reply.
BENCHMARK(ParseQuenta)->Arg(0)->Arg(1);
BENCHMARK(ParseRapidJson)->Arg(0)->Arg(1);
BENCHMARK(ParseNlohmann)->Arg(0)->Arg(1);
BENCHMARK(WriteQuenta)->Arg(0)->Arg(1);
BENCHMARK(WriteRapidJson)->Arg(0)->Arg(1);
BENCHMARK(WriteNlohmann)->Arg(0)->Arg(1);

// The codec against RapidJSON side by side: rounds in which each side runs
// in turn, the median of each side's rounds, and the median of the rounds'
// ratios.
namespace {

template <typename F>
double secondsPerRun(F&& f, int runs) {
    // The thread's CPU time, so time spent waiting for a core on a shared
    // machine counts for neither side.
    auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
    };
    double t0 = now();
    for (int k = 0; k < runs; ++k) f();
    return (now() - t0) / runs;
}

template <typename A, typename B>
void compare(const char* what, A&& ours, B&& theirs, int runs) {
    std::vector<double> a, b;
    // A round of each first, so neither side's first run pays for the heap
    // the other left behind.
    secondsPerRun(ours, runs);
    secondsPerRun(theirs, runs);
    // The ratio is the median of each round's own ratio: the two runs of a
    // round are next to each other in time, so a busy machine slows both.
    std::vector<double> ratios;
    for (int round = 0; round < 31; ++round) {
        a.push_back(secondsPerRun(ours, runs));
        b.push_back(secondsPerRun(theirs, runs));
        ratios.push_back(a.back() / b.back());
    }
    auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    double ma = median(a), mb = median(b);
    std::printf("%-16s ours %10.2f us, RapidJSON %10.2f us (CPU), ratio %.2fx\n", what, ma * 1e6, mb * 1e6,
                median(ratios));
}

void compareWithRapidJson() {
    const char* names[] = {"1 MB", "300 B"};
    for (int which = 0; which < 2; ++which) {
        const std::string& text = doc(which);
        int runs = which == 0 ? 2 : 2000;
        std::string label = std::string("parse ") + names[which];
        compare(
            label.c_str(),
            [&] {
                JsonParser parser;
                auto v = parser.objectWithString(text);
                benchmark::DoNotOptimize(v);
            },
            [&] {
                rapidjson::Document d;
                d.Parse(text.data(), text.size());
                benchmark::DoNotOptimize(d);
            },
            runs);
        JsonParser parser;
        auto v = parser.objectWithString(text);
        rapidjson::Document d;
        d.Parse(text.data(), text.size());
        label = std::string("write ") + names[which];
        compare(
            label.c_str(),
            [&] {
                JsonWriter writer;
                auto out = writer.stringWithObject(*v);
                benchmark::DoNotOptimize(out);
            },
            [&] {
                rapidjson::StringBuffer buffer;
                rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
                d.Accept(writer);
                benchmark::DoNotOptimize(buffer.GetString());
            },
            runs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // By default glibc gives the top of the heap back to the system once
    // 128 KB lie free there, and moves its threshold for mapping blocks of
    // their own as large blocks are freed; either can leave a parse to fault
    // in again, at random, the memory of the document freed before it, which
    // makes a run up to ten times slower. Fixed thresholds, the same for
    // every side, keep the heap's pages in place from one parse to the next.
    // --default-heap leaves glibc's own settings, to see what they cost.
    bool defaultHeap = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--default-heap") {
            defaultHeap = true;
            std::copy(argv + i + 1, argv + argc, argv + i);
            --argc;
            break;
        }
    }
    if (!defaultHeap) {
        mallopt(M_TRIM_THRESHOLD, 512 << 20);
        mallopt(M_MMAP_THRESHOLD, 16 << 20);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    compareWithRapidJson();
    return 0;
}
