// The pool and the queue, from several threads on one file.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "lib/sql/SqlDatabasePool.h"
#include "lib/sql/SqlDatabaseQueue.h"
#include "tests/lib/sql/SqlTestSupport.h"

namespace {

constexpr int kThreads = 6;
constexpr int kRowsPerThread = 40;

void runThreads(const std::function<void(int)>& body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
    for (auto& th : threads) th.join();
}

}  // namespace

TEST(SqlDatabasePool, HandlesAreReusedAndCounted) {
    SqlDatabasePool pool(dbPath());
    auto a = pool.db();
    auto b = pool.db();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_TRUE(a->checkedOut());
    EXPECT_EQ(pool.countOfCheckedOutDatabases(), 2u);
    EXPECT_EQ(pool.countOfCheckedInDatabases(), 0u);
    EXPECT_TRUE(pool.pushDatabaseBackInPool(a));
    EXPECT_FALSE(a->checkedOut());
    EXPECT_EQ(pool.countOfCheckedInDatabases(), 1u);
    EXPECT_EQ(pool.countOfOpenDatabases(), 2u);
    EXPECT_EQ(pool.db(), a);  // the idle handle comes back out

    LogCapture log;
    EXPECT_TRUE(pool.pushDatabaseBackInPool(a));
    EXPECT_FALSE(pool.pushDatabaseBackInPool(a));
    EXPECT_TRUE(log.contains("Database already in pool"));
    EXPECT_EQ(pool.countOfCheckedInDatabases(), 1u);
    EXPECT_TRUE(pool.pushDatabaseBackInPool(nullptr));

    pool.releaseAllDatabases();
    EXPECT_EQ(pool.countOfOpenDatabases(), 0u);
}

TEST(SqlDatabasePool, MaximumNumberOfHandles) {
    SqlDatabasePool pool(dbPath());
    pool.setMaximumNumberOfDatabasesToCreate(2);
    LogCapture log;
    pool.inDatabase([&](SqlDatabase* first) {
        ASSERT_NE(first, nullptr);
        pool.inDatabase([&](SqlDatabase* second) {
            ASSERT_NE(second, nullptr);
            pool.inDatabase([&](SqlDatabase* third) { EXPECT_EQ(third, nullptr); });
        });
    });
    EXPECT_TRUE(log.contains("Maximum number of databases (2) has already been reached!"));
    EXPECT_EQ(pool.countOfCheckedInDatabases(), 2u);
    EXPECT_EQ(pool.countOfCheckedOutDatabases(), 0u);
}

TEST(SqlDatabasePool, DelegateAndOpenFailures) {
    struct Refuse : SqlDatabasePoolDelegate {
        int asked = 0;
        unsigned long outWhileAsked = 0;
        bool databasePool(SqlDatabasePool& pool, SqlDatabase& db) override {
            ++asked;
            EXPECT_NE(db.sqliteHandle(), nullptr);
            outWhileAsked = pool.countOfCheckedOutDatabases();  // the pool is not locked here
            return false;
        }
    } refuse;
    SqlDatabasePool pool(dbPath());
    pool.setDelegate(&refuse);
    EXPECT_EQ(pool.db(), nullptr);
    EXPECT_EQ(refuse.asked, 1);
    EXPECT_EQ(refuse.outWhileAsked, 1u);
    EXPECT_EQ(pool.countOfOpenDatabases(), 0u);

    LogCapture log;
    SqlDatabasePool broken(testsupport::home() + "/missing/dir/x.db");
    EXPECT_EQ(broken.db(), nullptr);
    EXPECT_TRUE(log.contains("Could not open up the database at path"));
    bool ran = false;
    EXPECT_FALSE(broken.inTransaction([&](SqlDatabase* db, bool&) { ran = db != nullptr; }));
    EXPECT_FALSE(ran);
    EXPECT_TRUE(broken.inSavePoint([](SqlDatabase*, bool&) {}).has_value());
}

TEST(SqlDatabasePool, ConcurrentTransactionsLoseNothing) {
    SqlDatabasePool pool(dbPath());
    pool.inDatabase([](SqlDatabase* db) { ASSERT_TRUE(db->executeUpdate("create table t(thread, n)")); });
    std::atomic<int> failures{0};
    runThreads([&](int t) {
        for (int n = 0; n < kRowsPerThread; ++n) {
            bool ok = pool.inTransaction([&](SqlDatabase* db, bool& rollback) {
                if (!db || !db->executeUpdate("insert into t values (?, ?)", {t, n})) ++failures;
                // Every fifth transaction is rolled back.
                rollback = n % 5 == 4;
            });
            if (!ok) ++failures;
        }
    });
    EXPECT_EQ(failures, 0);
    int expected = kThreads * (kRowsPerThread - kRowsPerThread / 5);
    pool.inDatabase([&](SqlDatabase* db) {
        EXPECT_EQ(db->intForQuery("select count(*) from t"), expected);
        EXPECT_EQ(db->intForQuery("select count(*) from t where n % 5 = 4"), 0);
    });
    EXPECT_LE(pool.countOfOpenDatabases(), unsigned(kThreads));
    EXPECT_EQ(pool.countOfCheckedOutDatabases(), 0u);
}

TEST(SqlDatabasePool, SavePointRollbackAndDeferredTransaction) {
    SqlDatabasePool pool(dbPath());
    pool.inDatabase([](SqlDatabase* db) { ASSERT_TRUE(db->executeUpdate("create table t(a)")); });
    auto error = pool.inSavePoint([](SqlDatabase* db, bool& rollback) {
        EXPECT_TRUE(db->executeUpdate("insert into t values (1)"));
        rollback = true;
    });
    EXPECT_EQ(error, std::nullopt);
    EXPECT_TRUE(pool.inDeferredTransaction(
        [](SqlDatabase* db, bool&) { EXPECT_TRUE(db->executeUpdate("insert into t values (2)")); }));
    pool.inDatabase([](SqlDatabase* db) { EXPECT_EQ(db->intForQuery("select sum(a) from t"), 2); });
}

TEST(SqlDatabaseQueue, ConcurrentBlocksRunOneAtATime) {
    auto queue = SqlDatabaseQueue::databaseQueueWithPath(dbPath());
    ASSERT_TRUE(queue);
    ASSERT_TRUE(queue->inDatabase([](SqlDatabase& db) { ASSERT_TRUE(db.executeUpdate("create table t(n)")); }));
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> failures{0};
    runThreads([&](int t) {
        for (int n = 0; n < kRowsPerThread; ++n) {
            bool ok = queue->inTransaction([&](SqlDatabase& db, bool&) {
                if (++inside != 1) ++overlaps;
                if (!db.executeUpdate("insert into t values (?)", {t * 1000 + n})) ++failures;
                --inside;
            });
            if (!ok) ++failures;
        }
    });
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(failures, 0);
    queue->inDatabase([](SqlDatabase& db) {
        EXPECT_EQ(db.intForQuery("select count(distinct n) from t"), kThreads * kRowsPerThread);
    });
}

// A block that calls its own queue is refused instead of waiting for ever.
TEST(SqlDatabaseQueue, CallFromInsideItsOwnBlockIsRefused) {
    auto queue = SqlDatabaseQueue::databaseQueueWithPath(dbPath());
    ASSERT_TRUE(queue);
    LogCapture log;
    bool innerRan = false;
    bool innerResult = true;
    std::optional<SqlError> savePointError;
    EXPECT_TRUE(queue->inDatabase([&](SqlDatabase& db) {
        EXPECT_TRUE(db.executeUpdate("create table t(a)"));
        innerResult = queue->inDatabase([&](SqlDatabase&) { innerRan = true; });
        savePointError = queue->inSavePoint([&](SqlDatabase&, bool&) { innerRan = true; });
        queue->close();  // refused as well: the handle stays open
        EXPECT_TRUE(db.executeUpdate("insert into t values (1)"));
    }));
    EXPECT_FALSE(innerRan);
    EXPECT_FALSE(innerResult);
    EXPECT_TRUE(savePointError.has_value());
    EXPECT_TRUE(log.contains("called from inside one of its own blocks"));
    // The queue still works afterwards, from this thread and from another.
    int sum = -1;
    std::thread([&] {
        queue->inDatabase([&](SqlDatabase& db) { sum = db.intForQuery("select sum(a) from t"); });
    }).join();
    EXPECT_EQ(sum, 1);
}

TEST(SqlDatabaseQueue, RollbackSavePointCloseAndReopen) {
    auto queue = SqlDatabaseQueue::databaseQueueWithPath(dbPath());
    ASSERT_TRUE(queue);
    queue->inDatabase([](SqlDatabase& db) { ASSERT_TRUE(db.executeUpdate("create table t(a)")); });
    EXPECT_TRUE(queue->inTransaction([](SqlDatabase& db, bool& rollback) {
        EXPECT_TRUE(db.executeUpdate("insert into t values (1)"));
        rollback = true;
    }));
    EXPECT_EQ(queue->inSavePoint([](SqlDatabase& db, bool& rollback) {
        EXPECT_TRUE(db.executeUpdate("insert into t values (2)"));
        rollback = true;
    }),
              std::nullopt);
    EXPECT_TRUE(queue->inDeferredTransaction(
        [](SqlDatabase& db, bool&) { EXPECT_TRUE(db.executeUpdate("insert into t values (4)")); }));

    queue->close();
    LogCapture log;
    std::unique_ptr<SqlResultSet> kept;
    EXPECT_TRUE(queue->inDatabase([&](SqlDatabase& db) { kept = db.executeQuery("select sum(a) from t"); }));
    ASSERT_TRUE(kept && kept->next());
    EXPECT_EQ(kept->intForColumnIndex(0), 4);
    kept.reset();
    EXPECT_TRUE(log.contains("Warning: there is at least one open result set around after performing"));

    EXPECT_EQ(SqlDatabaseQueue::databaseQueueWithPath(testsupport::home() + "/missing/dir/x.db"), nullptr);
    EXPECT_TRUE(log.contains("Could not create database queue for path"));
}
