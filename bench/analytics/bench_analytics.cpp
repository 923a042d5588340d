// Throughput of the analytics client on real parts: page views stored in
// the SQLite hit store (one transaction each, as the tracker stores them),
// hits dispatched to a collector on 127.0.0.1, and the file size per 1,000
// stored hits.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "lib/analytics/TrkDataDispatcher.h"
#include "lib/analytics/TrkPersistentHitStore.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/analytics/Collector.h"

namespace {

std::string freshFile(const std::string& name) {
    std::string dir = foundation::joinPath(foundation::homeDir(), "bench");
    foundation::createDirectories(dir);
    std::string path = foundation::joinPath(dir, name);
    foundation::removeItem(path);
    foundation::removeItem(path + "-journal");
    return path;
}

long fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

std::shared_ptr<TrkHitBuilder> builder() {
    auto b = std::make_shared<TrkHitBuilder>();
    b->setAccountIDs({"UA-12345678-1"});
    return b;
}

void BM_HitsStored(benchmark::State& state) {
    std::string path = freshFile("stored.sql");
    auto store = std::make_unique<TrkPersistentHitStore>(builder(), path);
    int n = 0;
    for (auto _ : state) {
        if (store->storedHits() >= kTrkMaxStoredHits) {
            state.PauseTiming();
            for (const auto& h : store->peekHits(-1)) store->deleteHit(h.hitId());
            state.ResumeTiming();
        }
        TrkEvent e("/iOS/3.0/page" + std::to_string(n++ % 20), kTrkPageviewCategory, std::nullopt, std::nullopt, 0);
        if (!store->persistEvent(e, nullptr)) state.SkipWithError("store failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HitsStored)->Unit(benchmark::kMicrosecond)->UseRealTime();

struct Counter : TrkDataDispatcherDelegate {
    int completions = 0;
    size_t confirmed = 0;
    void dataDispatcherDispatched(TrkDataDispatcher&, const TrkHit&) override { ++confirmed; }
    void dataDispatcherDidComplete(TrkDataDispatcher&) override { ++completions; }
};

// One dispatch: 150 hits, five pipelined batches of 30 on one connection.
void BM_HitsDispatched(benchmark::State& state) {
    testcollector::Collector collector;
    Counter counter;
    auto dispatcher = TrkDataDispatcher::create(&counter, "AnalyticsKit", "1.5.1");
    dispatcher->setDestinationHost("127.0.0.1");
    dispatcher->setDestinationPort(collector.port());
    std::string path = freshFile("dispatch.sql");
    TrkPersistentHitStore store(builder(), path);
    for (int i = 0; i < 150; ++i) {
        TrkEvent e("/iOS/3.0/page" + std::to_string(i), kTrkPageviewCategory, std::nullopt, std::nullopt, 0);
        store.persistEvent(e, nullptr);
    }
    std::vector<TrkHit> hits = store.peekHits(150);
    for (auto _ : state) {
        int before = counter.completions;
        dispatcher->dispatchHits(hits);
        foundation::RunLoop::main().runUntil([&] { return counter.completions > before; }, 30);
    }
    if (counter.confirmed != static_cast<size_t>(state.iterations()) * hits.size()) {
        state.SkipWithError("not every hit was confirmed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(counter.confirmed));
}
BENCHMARK(BM_HitsDispatched)->Unit(benchmark::kMillisecond)->UseRealTime();

// Bytes of the store file per 1,000 stored page views (file with 1,000
// hits minus the empty file).
void BM_StoreSizePer1000Hits(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::string path = freshFile("size.sql");
        long empty = 0;
        {
            TrkPersistentHitStore store(builder(), path);
            empty = fileSize(path);
            state.ResumeTiming();
            for (int i = 0; i < 1000; ++i) {
                TrkEvent e("/iOS/3.0/page" + std::to_string(i % 20), kTrkPageviewCategory, std::nullopt, std::nullopt,
                           0);
                store.persistEvent(e, nullptr);
            }
            state.PauseTiming();
        }
        state.counters["bytes_per_1000_hits"] = static_cast<double>(fileSize(path) - empty);
        state.counters["file_bytes"] = static_cast<double>(fileSize(path));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StoreSizePer1000Hits)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    foundation::RunLoop::setMainThread();
    char pattern[] = "/tmp/quenta-bench-XXXXXX";
    const char* home = mkdtemp(pattern);
    if (!home) return 1;
    setenv("QUENTA_HOME", home, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    foundation::removeItem(home);
    return 0;
}
