// Reads and updates of the key/value store against the same work done with
// the raw sqlite3 API and prepared statements, in the same run.
//
//   OneCall*: the store's shortcuts (open, one statement, close per call)
//             against raw open / prepare / step / finalize / close.
//   Kept*:    one open controller against one open raw connection whose
//             prepared statements are kept across iterations.
//
// Both sides run the same statements on the same file. After the table, the
// updates run again side by side: rounds in which each side updates in turn
// (so a busy disk slows both alike), each round's value read back and
// checked, and the medians of the rounds' ratios of wall time (an update
// waits for the disk) and of thread CPU time printed.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "app/core/CoreConstants.h"
#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "platform/foundation/Paths.h"

namespace {

const char* kSelect = "select * from personTable order by id";
const char* kUpdate = "UPDATE personTable SET value=? WHERE key=?";

void makeStore() {
    DBController::deleteDataBase();
    DBController controller;
    controller.initDatabase();
    const char* keys[] = {"bid",        "mac",           "sessionkey", "uuid",         "diffTime", "suggestTime",
                          "passward",   "username",      "userType",   "phoneNo",      "imageUrl", "safePhone",
                          "read_index", "safe_password", "safe_time",  "faild_count",  "jiuxing",  "remote_version",
                          "otpFast",    "keyLogin",      "isPushInfo", "account_lock", "state",    "adversion",
                          "temp1",      "temp2",         "temp3",      "temp4",        "temp5"};
    for (const char* key : keys) controller.InsertTable(key, "null");
    controller.UpdataTable("3.0.0", StoreKeys::read_index);
}

std::map<std::string, std::string> rawReadAll(sqlite3* db, sqlite3_stmt* stmt) {
    std::map<std::string, std::string> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const unsigned char* k = sqlite3_column_text(stmt, 1);
        const unsigned char* v = sqlite3_column_text(stmt, 2);
        if (k && v)
            rows[std::string(reinterpret_cast<const char*>(k), sqlite3_column_bytes(stmt, 1))] =
                std::string(reinterpret_cast<const char*>(v), sqlite3_column_bytes(stmt, 2));
    }
    (void)db;
    return rows;
}

bool rawUpdate(sqlite3* db, sqlite3_stmt* stmt, const std::string& value, const char* key) {
    sqlite3_exec(db, "begin exclusive transaction", nullptr, nullptr, nullptr);
    sqlite3_bind_text(stmt, 1, value.data(), int(value.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, key, -1, SQLITE_TRANSIENT);
    bool ok = sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_reset(stmt);
    return sqlite3_exec(db, "commit transaction", nullptr, nullptr, nullptr) == SQLITE_OK && ok;
}

void OneCallRead_Store(benchmark::State& state) {
    makeStore();
    for (auto _ : state) {
        auto v = CoreConstants::getValueFromDBByKey(StoreKeys::read_index);
        if (!v || *v != "3.0.0") state.SkipWithError("bad read");
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
}

void OneCallRead_Raw(benchmark::State& state) {
    makeStore();
    std::string path = DBController::getPath();
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, kSelect, -1, &stmt, nullptr);
        auto rows = rawReadAll(db, stmt);
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        if (rows[StoreKeys::read_index] != "3.0.0") state.SkipWithError("bad read");
        benchmark::DoNotOptimize(rows);
    }
    state.SetItemsProcessed(state.iterations());
}

void OneCallUpdate_Store(benchmark::State& state) {
    makeStore();
    long n = 0;
    for (auto _ : state) {
        if (!CoreConstants::upDateDBSetValue(std::to_string(++n), StoreKeys::faild_count))
            state.SkipWithError("bad update");
    }
    state.SetItemsProcessed(state.iterations());
}

void OneCallUpdate_Raw(benchmark::State& state) {
    makeStore();
    std::string path = DBController::getPath();
    long n = 0;
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, kUpdate, -1, &stmt, nullptr);
        if (!rawUpdate(db, stmt, std::to_string(++n), StoreKeys::faild_count)) state.SkipWithError("bad update");
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
    state.SetItemsProcessed(state.iterations());
}

void KeptRead_Store(benchmark::State& state) {
    makeStore();
    DBController controller;
    for (auto _ : state) {
        auto rows = controller.querryTable();
        if (!rows || (*rows)[StoreKeys::read_index] != "3.0.0") state.SkipWithError("bad read");
        benchmark::DoNotOptimize(rows);
    }
    state.SetItemsProcessed(state.iterations());
}

void KeptRead_Raw(benchmark::State& state) {
    makeStore();
    sqlite3* db = nullptr;
    sqlite3_open(DBController::getPath().c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, kSelect, -1, &stmt, nullptr);
    for (auto _ : state) {
        auto rows = rawReadAll(db, stmt);
        sqlite3_reset(stmt);
        if (rows[StoreKeys::read_index] != "3.0.0") state.SkipWithError("bad read");
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations());
}

void KeptUpdate_Store(benchmark::State& state) {
    makeStore();
    DBController controller;
    long n = 0;
    for (auto _ : state) {
        if (!controller.UpdataTable(std::to_string(++n), StoreKeys::faild_count)) state.SkipWithError("bad update");
    }
    state.SetItemsProcessed(state.iterations());
}

void KeptUpdate_Raw(benchmark::State& state) {
    makeStore();
    sqlite3* db = nullptr;
    sqlite3_open(DBController::getPath().c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, kUpdate, -1, &stmt, nullptr);
    long n = 0;
    for (auto _ : state) {
        if (!rawUpdate(db, stmt, std::to_string(++n), StoreKeys::faild_count)) state.SkipWithError("bad update");
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations());
}

double seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string storedFaildCount() {
    sqlite3* db = nullptr;
    sqlite3_open(DBController::getPath().c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, kSelect, -1, &stmt, nullptr);
    auto rows = rawReadAll(db, stmt);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows[StoreKeys::faild_count];
}

// Rounds of `each` updates by the store, then by raw sqlite3.
template <typename Ours, typename Theirs>
void compareUpdates(const char* what, Ours&& ours, Theirs&& theirs) {
    const int rounds = 15, each = 20;
    long n = 0;
    std::vector<double> wallRatios, cpuRatios, oursWall, theirsWall;
    auto timed = [&](auto&& update, double& wall, double& cpu) {
        double w0 = seconds(CLOCK_MONOTONIC), c0 = seconds(CLOCK_THREAD_CPUTIME_ID);
        for (int k = 0; k < each; ++k) {
            if (!update(std::to_string(++n))) {
                std::printf("%s: an update failed\n", what);
                std::exit(1);
            }
        }
        wall = (seconds(CLOCK_MONOTONIC) - w0) / each;
        cpu = (seconds(CLOCK_THREAD_CPUTIME_ID) - c0) / each;
        if (storedFaildCount() != std::to_string(n)) {
            std::printf("%s: the stored value is not the last one written\n", what);
            std::exit(1);
        }
    };
    for (int round = 0; round < rounds; ++round) {
        double aw, ac, bw, bc;
        timed(ours, aw, ac);
        timed(theirs, bw, bc);
        oursWall.push_back(aw);
        theirsWall.push_back(bw);
        wallRatios.push_back(aw / bw);
        cpuRatios.push_back(ac / bc);
    }
    std::printf("%-16s store %.3f ms, raw sqlite3 %.3f ms (wall); ratio %.2fx wall, %.2fx thread CPU\n", what,
                median(oursWall) * 1e3, median(theirsWall) * 1e3, median(wallRatios), median(cpuRatios));
}

void compareAllUpdates() {
    makeStore();
    compareUpdates(
        "one-call update",
        [](const std::string& v) { return CoreConstants::upDateDBSetValue(v, StoreKeys::faild_count); },
        [](const std::string& v) {
            sqlite3* db = nullptr;
            sqlite3_open(DBController::getPath().c_str(), &db);
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, kUpdate, -1, &stmt, nullptr);
            bool ok = rawUpdate(db, stmt, v, StoreKeys::faild_count);
            sqlite3_finalize(stmt);
            sqlite3_close(db);
            return ok;
        });
    {
        makeStore();
        DBController controller;
        sqlite3* db = nullptr;
        sqlite3_open(DBController::getPath().c_str(), &db);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, kUpdate, -1, &stmt, nullptr);
        compareUpdates(
            "kept update", [&](const std::string& v) { return controller.UpdataTable(v, StoreKeys::faild_count); },
            [&](const std::string& v) { return rawUpdate(db, stmt, v, StoreKeys::faild_count); });
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
}

}  // namespace

BENCHMARK(OneCallRead_Store);
BENCHMARK(OneCallRead_Raw);
BENCHMARK(OneCallUpdate_Store);
BENCHMARK(OneCallUpdate_Raw);
BENCHMARK(KeptRead_Store);
BENCHMARK(KeptRead_Raw);
BENCHMARK(KeptUpdate_Store);
BENCHMARK(KeptUpdate_Raw);

int main(int argc, char** argv) {
    // The store lives in a throw-away home unless one is given.
    char pattern[] = "/tmp/quenta-bench-XXXXXX";
    const char* home = getenv("QUENTA_HOME");
    std::string made;
    if (!home || !*home) {
        made = mkdtemp(pattern);
        setenv("QUENTA_HOME", made.c_str(), 1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    compareAllUpdates();
    if (!made.empty()) foundation::removeItem(made);
    return 0;
}
