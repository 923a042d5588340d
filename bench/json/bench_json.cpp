// Parse and write throughput of the JSON codec against two other parsers,
// each building its document tree from the same bytes (and, for parsing,
// throwing it away again):
//   Large: about 1 MB shaped like the security-log and person-centre replies
//          (arrays of objects of short texts, Chinese included, and numbers);
//   Small: a 300-byte reply;
//   and, side by side with RapidJSON only, a corpus of 1 MB documents dense
//   with small values (see smallValueCorpus()).
//
// Like for like: both sides parse the same bytes into a whole tree that
// keeps every value (RapidJSON copies its strings, as our parser does) and
// free it again inside the timed run; before timing, each tree is walked
// against the other and must hold the same values in the same order. The
// write rows serialise trees that hold the same values into texts that are
// checked to be byte for byte the same. Times are the thread's CPU time
// (both sides run on the calling thread only).
#include <benchmark/benchmark.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <nlohmann/json.hpp>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
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
    // The rate's hundredths are odd, so its shortest form (what RapidJSON
    // writes) is the text our reader keeps: the write rows compare equal texts.
    for (int i = 0; s.size() < 1000000; ++i) {
        std::snprintf(item, sizeof item,
                      "%s{\"id\":%d,\"time\":\"2013-12-%02d %02d:%02d:%02d\",\"location\":\"%s\",\"business\":\"%s\","
                      "\"ip\":\"10.%d.%d.%d\",\"checkid\":%lld,\"type\":%d,\"state\":%d,\"rate\":%d.%02d,"
                      "\"memo\":\"第%d条记录\\n\"}",
                      i ? "," : "", i, 1 + i % 28, i % 24, i % 60, (i * 7) % 60, locations[i % 5], businesses[i % 5],
                      i % 256, (i / 3) % 256, (i / 7) % 256, 1386300000000LL + i * 1000LL, i % 4, i % 2, i % 100,
                      (i % 97) | 1, i);
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

// Documents of about 1 MB dense with small values, where the cost is in
// making values rather than in copying long texts.
struct Sample {
    const char* name;
    std::string text;
};

std::vector<Sample> smallValueCorpus() {
    constexpr size_t kSize = 1000000;
    std::vector<Sample> corpus;
    char item[512];
    auto list = [&](const char* name, const char* head, const char* tail, auto&& write) {
        std::string s = head;
        for (int i = 0; s.size() < kSize; ++i) {
            if (i) s += ',';
            write(i);
            s += item;
        }
        s += tail;
        corpus.push_back({name, std::move(s)});
    };
    list("ints", "{\"list\":[", "]}", [&](int i) {
        std::snprintf(item, sizeof item, "{\"id\":%d,\"x\":%d,\"y\":%d}", i, -(i % 1000), i * 37 % 100000);
    });
    list("decimals", "{\"list\":[", "]}", [&](int i) {
        std::snprintf(item, sizeof item, "{\"lat\":%d.%03d,\"lng\":-%d.%02d,\"rate\":%d.5e-%d}", 20 + i % 30, i % 997,
                      100 + i % 50, 1 + i % 98, i % 10, 1 + i % 9);
    });
    list("escaped", "{\"list\":[", "]}", [&](int i) {
        std::snprintf(item, sizeof item,
                      "{\"a\":\"line %d\\nnext\",\"b\":\"say \\\"hi\\\" %d\",\"c\":\"\\u4e2d\\u6587\\\\%d\\t\"}", i,
                      i % 100, i % 7);
    });
    list("pairs", "[", "]", [&](int i) { std::snprintf(item, sizeof item, "[%d,%d]", i % 5000, -(i * 13 % 100000)); });
    list("nested", "[", "]", [&](int i) {
        std::snprintf(item, sizeof item, "{\"k\":%d,\"v\":{\"k\":%d,\"v\":{\"k\":\"n%d\",\"v\":null}}}", i, i % 64,
                      i % 9);
    });
    {
        // Values of every kind at random depths, keys of varying names.
        std::string s = "[";
        uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return seed >> 8;
        };
        std::function<void(int)> value = [&](int depth) {
            uint32_t r = next() % (depth < 4 ? 10 : 7);
            switch (r) {
                case 0:
                    s += "null";
                    break;
                case 1:
                    s += next() % 2 ? "true" : "false";
                    break;
                case 2:
                    s += std::to_string(int(next() % 200000) - 100000);
                    break;
                case 3:
                    s += std::to_string(next() % 1000) + "." + std::to_string(1 + next() % 99);
                    break;
                case 4:
                    s += "\"t" + std::to_string(next() % 100000) + "\"";
                    break;
                case 5:
                    s += "\"一段文字 " + std::to_string(next() % 100) + "\"";
                    break;
                case 6:
                    s += "\"esc\\\"" + std::to_string(next() % 10) + "\\n\"";
                    break;
                case 7:
                case 8: {
                    s += '{';
                    int n = int(next() % 5);
                    for (int k = 0; k < n; ++k) {
                        if (k) s += ',';
                        s += "\"key" + std::to_string(next() % 12) + "_" + std::to_string(k) + "\":";
                        value(depth + 1);
                    }
                    s += '}';
                    break;
                }
                default: {
                    s += '[';
                    int n = int(next() % 5);
                    for (int k = 0; k < n; ++k) {
                        if (k) s += ',';
                        value(depth + 1);
                    }
                    s += ']';
                    break;
                }
            }
        };
        for (int i = 0; s.size() < kSize; ++i) {
            if (i) s += ',';
            value(1);
        }
        s += ']';
        corpus.push_back({"irregular", std::move(s)});
    }
    // Shaped like the app's own replies.
    static const char* names[] = {"登录保护", "岚付通保护", "改密保护", "子账号保护", "交易保护"};
    list("protections", "{\"isSuccess\":true,\"protects\":[\"10\",\"80\",\"100\"],\"lock\":true,\"list\":[", "]}",
         [&](int i) {
             std::snprintf(item, sizeof item,
                           "{\"id\":\"%d\",\"name\":\"%s\",\"status\":%d,\"lock\":%d,\"hours\":[%d,%d]}", 10 * (i % 40),
                           names[i % 5], i % 2, i % 3 == 0, i % 24, (i + 8) % 24);
         });
    static const char* places[] = {"浙江杭州", "上海", "北京海淀", "广东深圳", "unknown"};
    static const char* businesses[] = {"登录", "修改密码", "绑定", "一键校验", "login"};
    list("log", "{\"isSuccess\":true,\"total\":100000,\"list\":[", "]}", [&](int i) {
        std::snprintf(item, sizeof item,
                      "{\"time\":\"2013-12-%02d %02d:%02d\",\"location\":\"%s\",\"business\":\"%s\",\"type\":%d,"
                      "\"ip\":\"10.%d.%d.%d\"}",
                      1 + i % 28, i % 24, i % 60, places[i % 5], businesses[i % 5], i % 4, i % 256, i / 256 % 256,
                      i % 7);
    });
    list("pending", "{\"isSuccess\":true,\"results\":[", "]}", [&](int i) {
        std::snprintf(item, sizeof item,
                      "{\"time\":\"12-06 %02d:%02d\",\"location\":\"%s\",\"business\":\"%s\",\"checkid\":\"CK%04d\"}",
                      i % 24, i % 60, places[i % 5], businesses[i % 5], i % 10000);
    });
    return corpus;
}

// Whether our tree and RapidJSON's hold the same values in the same order.
bool sameTree(const foundation::Value& ours, const rapidjson::Value& theirs) {
    using T = foundation::Value::Type;
    switch (ours.type()) {
        case T::Null:
            return theirs.IsNull();
        case T::Bool:
            return theirs.IsBool() && theirs.GetBool() == ours.boolValue();
        case T::Int:
            return theirs.IsInt64() && theirs.GetInt64() == ours.longLongValue();
        case T::UInt:
            return theirs.IsUint64() && theirs.GetUint64() == ours.unsignedLongLongValue();
        case T::Decimal:
            return theirs.IsNumber() && theirs.GetDouble() == ours.doubleValue();
        case T::String:
            return theirs.IsString() &&
                   std::string_view(theirs.GetString(), theirs.GetStringLength()) == *ours.asString();
        case T::Array: {
            const auto& a = *ours.asArray();
            if (!theirs.IsArray() || theirs.Size() != a.size()) return false;
            for (size_t i = 0; i < a.size(); ++i)
                if (!sameTree(a[i], theirs[rapidjson::SizeType(i)])) return false;
            return true;
        }
        case T::Dictionary: {
            const auto& d = *ours.asDictionary();
            if (!theirs.IsObject() || theirs.MemberCount() != d.size()) return false;
            auto m = theirs.MemberBegin();
            for (const auto& [key, value] : d) {
                if (std::string_view(m->name.GetString(), m->name.GetStringLength()) != key) return false;
                if (!sameTree(value, m->value)) return false;
                ++m;
            }
            return true;
        }
        default:
            return false;
    }
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

// QUENTA_JSON_CORPUS=<name> compares that document only (to profile it).
void compareCorpus() {
    const char* only = std::getenv("QUENTA_JSON_CORPUS");
    for (const Sample& sample : smallValueCorpus()) {
        if (only && std::string_view(only) != sample.name) continue;
        const std::string& text = sample.text;
        {
            JsonParser parser;
            auto v = parser.objectWithString(text);
            rapidjson::Document d;
            d.Parse(text.data(), text.size());
            if (!v || d.HasParseError() || !sameTree(*v, d)) {
                std::printf("%s: the two trees differ\n", sample.name);
                std::exit(1);
            }
        }
        std::string label = std::string("parse ") + sample.name;
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
            2);
    }
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
        {
            // The same text out of both: numbers as the document has them
            // (shortest forms), texts escaped alike.
            JsonWriter writer;
            auto ours = writer.stringWithObject(*v);
            rapidjson::StringBuffer buffer;
            rapidjson::Writer<rapidjson::StringBuffer> theirs(buffer);
            d.Accept(theirs);
            if (!ours || *ours != std::string_view(buffer.GetString(), buffer.GetSize())) {
                size_t at = 0;
                std::string_view b(buffer.GetString(), buffer.GetSize());
                while (ours && at < ours->size() && at < b.size() && (*ours)[at] == b[at]) ++at;
                std::printf("write %s: the two texts differ at byte %zu: ours \"%.40s\", RapidJSON \"%.40s\"\n",
                            names[which], at, ours ? ours->c_str() + std::min(at, ours->size()) : "",
                            b.data() + std::min(at, b.size()));
                std::exit(1);
            }
        }
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
    if (!std::getenv("QUENTA_JSON_CORPUS")) compareWithRapidJson();
    compareCorpus();
    return 0;
}
