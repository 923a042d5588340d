// The database handle, its statements and result sets, on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "lib/sql/SqlDatabase.h"
#include "platform/foundation/Paths.h"
#include "tests/lib/sql/SqlTestSupport.h"

using foundation::Value;

namespace {

std::shared_ptr<SqlDatabase> openDb(const std::string& name = "test.db") {
    auto db = SqlDatabase::databaseWithPath(dbPath(name));
    EXPECT_TRUE(db->open());
    return db;
}

int64_t countRows(SqlDatabase& db, const std::string& table) {
    auto rs = db.executeQuery("select count(*) from " + SqlDatabase::quoteIdentifier(table));
    if (!rs || !rs->next()) return -1;
    return rs->longLongIntForColumnIndex(0);
}

}  // namespace

TEST(SqlDatabase, OpenCreatesTheFileAndCloseForgetsTheConnection) {
    std::string path = dbPath();
    ASSERT_FALSE(foundation::fileExists(path));
    SqlDatabase db(path);
    EXPECT_FALSE(db.databaseExists());
    EXPECT_FALSE(db.executeUpdate("create table t(a)"));  // not open yet
    ASSERT_TRUE(db.open());
    EXPECT_TRUE(db.open());  // already open
    EXPECT_TRUE(foundation::fileExists(path));
    EXPECT_TRUE(db.goodConnection());
    EXPECT_TRUE(db.executeUpdate("create table t(a)"));
    EXPECT_TRUE(db.close());
    EXPECT_EQ(db.sqliteHandle(), nullptr);
    EXPECT_FALSE(db.goodConnection());

    // Without a path the database lives in memory and leaves no file.
    SqlDatabase memory;
    ASSERT_TRUE(memory.open());
    EXPECT_TRUE(memory.executeUpdate("create table m(a)"));
    EXPECT_TRUE(memory.tableExists("m"));
    EXPECT_FALSE(memory.databasePath().has_value());
}

TEST(SqlDatabase, OpenFailsForAFolderThatDoesNotExist) {
    LogCapture log;
    SqlDatabase db(testsupport::home() + "/missing/folder/x.db");
    EXPECT_FALSE(db.open());
    EXPECT_TRUE(log.contains("error opening!: "));
    EXPECT_EQ(db.sqliteHandle(), nullptr);
    SqlDatabase readOnly(dbPath("absent.db"));
    EXPECT_FALSE(readOnly.openWithFlags(SQLITE_OPEN_READONLY));
    EXPECT_FALSE(foundation::fileExists(dbPath("absent.db")));
}

// Every kind of value binds as the documented SQLite type and reads back.
TEST(SqlDatabase, ValuesBindAsTheirSqliteTypes) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table v(x)"));
    struct Case {
        Value value;
        const char* type;
        std::string text;  // the column read as text ("" for blob / null)
    };
    const uint64_t big = std::numeric_limits<uint64_t>::max();
    std::vector<Case> cases = {
        {Value(), "null", ""},
        {Value(true), "integer", "1"},
        {Value(false), "integer", "0"},
        {Value(42), "integer", "42"},
        {Value(-7LL), "integer", "-7"},
        {Value(big), "integer", "-1"},  // the unsigned value reinterpreted
        {Value(2.5), "real", "2.5"},
        {Value(foundation::Date{1700000000.5}), "real", "1700000000.5"},
        {Value("text 中文"), "text", "text 中文"},
        {Value(std::string("a\0b", 3)), "text", std::string("a\0b", 3)},
        {Value(foundation::Bytes{0, 1, 2, 255}), "blob", ""},
        {Value(foundation::Bytes{}), "blob", ""},
        {Value(foundation::Array{Value(1)}), "text", Value(foundation::Array{Value(1)}).description()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " " << c.value.description());
        ASSERT_TRUE(db->executeUpdate("delete from v"));
        ASSERT_TRUE(db->executeUpdate("insert into v values (?)", {c.value}));
        auto rs = db->executeQuery("select typeof(x), x from v");
        ASSERT_TRUE(rs && rs->next());
        EXPECT_EQ(rs->stringForColumnIndex(0), std::string(c.type));
        if (!c.text.empty()) {
            EXPECT_EQ(rs->stringForColumnIndex(1), c.text);
        }
        if (c.value.asBytes()) {
            EXPECT_EQ(rs->dataForColumnIndex(1), *c.value.asBytes());
        }
        if (c.value.isNull()) {
            EXPECT_TRUE(rs->columnIndexIsNull(1));
        }
        if (c.value.type() == Value::Type::UInt) {
            EXPECT_EQ(rs->unsignedLongLongIntForColumnIndex(1), big);
        }
        EXPECT_FALSE(rs->next());
    }
}

// Texts and blobs are copied at binding: a query whose argument is gone by
// the time the rows are read still sees the right value.
TEST(SqlDatabase, BoundTextOutlivesTheArgument) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(k text, v text)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values ('key-one', 'v1'), ('key-two', 'v2')"));
    std::unique_ptr<SqlResultSet> rs;
    {
        std::string key(200, 'x');
        key = "key-two";
        rs = db->executeQuery("select v from t where k = ?", {Value(std::string(key))});
        key.assign(100, 'z');
    }
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->stringForColumn("v"), "v2");
}

TEST(SqlDatabase, ArgumentCountMustMatchTheParameters) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a, b)"));
    struct Case {
        const char* sql;
        foundation::Array args;
    };
    std::vector<Case> cases = {
        {"insert into t values (?, ?)", {Value(1)}},
        {"insert into t values (?, ?)", {Value(1), Value(2), Value(3)}},
        {"insert into t values (1, 2)", {Value(1)}},
        {"insert into t values (?, 2)", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        LogCapture log;
        EXPECT_FALSE(db->executeUpdateWithArgumentsInArray(c.sql, c.args));
        EXPECT_TRUE(log.contains("Error: the bind count is not correct for the # of variables (" + std::string(c.sql) +
                                 ") (executeUpdate)"));
        EXPECT_EQ(db->executeQueryWithArgumentsInArray(c.sql, c.args), nullptr);
        EXPECT_TRUE(log.contains("Error: the bind count is not correct for the # of variables (executeQuery)"));
    }
    SqlError error;
    EXPECT_FALSE(db->update("insert into t values (?, ?)", &error, {1}));
    EXPECT_EQ(error.code, SQLITE_RANGE);
    EXPECT_NE(error.message.find("bind count (1)"), std::string::npos);
    EXPECT_EQ(countRows(*db, "t"), 0);
    // The handle is usable afterwards.
    EXPECT_TRUE(db->executeUpdate("insert into t values (?, ?)", {1, 2}));
    EXPECT_EQ(countRows(*db, "t"), 1);
}

TEST(SqlDatabase, ParameterDictionaryBindsByName) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a, b)"));
    EXPECT_TRUE(db->executeUpdateWithParameterDictionary("insert into t values (:a, :b)",
                                                         foundation::Dictionary{{"b", Value("B")}, {"a", Value(1)}}));
    auto rs = db->executeQueryWithParameterDictionary("select b from t where a = :a",
                                                      foundation::Dictionary{{"a", Value(1)}});
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->stringForColumnIndex(0), "B");
    rs->close();

    LogCapture log;
    // Right count, wrong name: the unbound parameter would read NULL.
    EXPECT_FALSE(db->executeUpdateWithParameterDictionary("insert into t values (:a, :b)",
                                                          foundation::Dictionary{{"a", Value(1)}, {"c", Value(2)}}));
    EXPECT_TRUE(log.contains("Could not find index for c"));
    EXPECT_FALSE(db->executeUpdateWithParameterDictionary("insert into t values (:a, :b)",
                                                          foundation::Dictionary{{"a", Value(1)}}));
    EXPECT_EQ(countRows(*db, "t"), 1);
}

TEST(SqlDatabase, UpdateThatReturnsARowFails) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    LogCapture log;
    EXPECT_FALSE(db->executeUpdate("select a from t"));
    EXPECT_TRUE(log.contains("Unknown error calling sqlite3_step (100: "));
    EXPECT_TRUE(log.contains("DB Query: select a from t"));
    // A select without rows runs to its end and counts as done.
    EXPECT_TRUE(db->executeUpdate("select a from t where a = 2"));
}

TEST(SqlDatabase, PrepareErrorsAreReported) {
    auto db = openDb();
    LogCapture log;
    EXPECT_FALSE(db->executeUpdate("insert into nowhere values (1)"));
    EXPECT_FALSE(log.contains("DB Error"));  // logging of errors is off by default
    EXPECT_TRUE(db->hadError());
    EXPECT_EQ(db->lastErrorCode(), SQLITE_ERROR);
    EXPECT_EQ(db->lastErrorMessage(), "no such table: nowhere");
    EXPECT_EQ(db->lastError().domain, "SqlDatabase");

    db->setLogsErrors(true);
    SqlError error;
    EXPECT_FALSE(db->update("selec 1", &error));
    EXPECT_EQ(error.code, SQLITE_ERROR);
    EXPECT_NE(error.message.find("syntax error"), std::string::npos);
    EXPECT_TRUE(log.contains("DB Error: 1 \""));
    EXPECT_TRUE(log.contains("DB Path: " + dbPath()));
    EXPECT_EQ(db->executeQuery("select * from nowhere"), nullptr);
    EXPECT_FALSE(db->executeUpdate("   "));  // no statement at all

    EXPECT_TRUE(db->executeUpdate("create table t(a)"));
    EXPECT_FALSE(db->hadError());
}

TEST(SqlDatabase, ChangesAndLastInsertRowId) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(id integer primary key, a)"));
    ASSERT_TRUE(db->executeUpdate("insert into t(a) values (?), (?), (?)", {1, 2, 3}));
    EXPECT_EQ(db->lastInsertRowId(), 3);
    ASSERT_TRUE(db->executeUpdate("update t set a = 0 where a >= ?", {2}));
    EXPECT_EQ(db->changes(), 2);
}

// printf-style SQL: conversions become bound parameters.
TEST(SqlDatabase, FormatConversionsBecomeBoundArguments) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a, b)"));
    struct Case {
        const char* format;
        foundation::Array args;
        const char* type;
        const char* text;
    };
    std::vector<Case> cases = {
        {"insert into t values (%d, 'd')", {Value(-12)}, "integer", "-12"},
        {"insert into t values (%i, 'i')", {Value("34")}, "integer", "34"},
        {"insert into t values (%ld, 'ld')", {Value(1LL << 40)}, "integer", "1099511627776"},
        {"insert into t values (%lld, 'lld')", {Value(5)}, "integer", "5"},
        {"insert into t values (%qi, 'qi')", {Value(6)}, "integer", "6"},
        {"insert into t values (%hi, 'hi')", {Value(7)}, "integer", "7"},
        {"insert into t values (%u, 'u')", {Value(8)}, "integer", "8"},
        {"insert into t values (%llu, 'llu')", {Value(9)}, "integer", "9"},
        {"insert into t values (%f, 'f')", {Value(1.5)}, "real", "1.5"},
        {"insert into t values (%g, 'g')", {Value("2.25")}, "real", "2.25"},
        {"insert into t values (%c, 'c')", {Value(65)}, "text", "A"},
        {"insert into t values (%s, 's')", {Value("it's")}, "text", "it's"},
        {"insert into t values (%@, '@')", {Value("x'); drop table t; --")}, "text", "x'); drop table t; --"},
        {"insert into t values ('100%%', '%%')", {}, "text", "100%"},
        {"insert into t values ('5%x', 'x')", {}, "text", "5x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        ASSERT_TRUE(db->executeUpdate("delete from t"));
        bool ok =
            c.args.empty() ? db->executeUpdateWithFormat(c.format) : db->executeUpdateWithFormat(c.format, {c.args[0]});
        ASSERT_TRUE(ok);
        auto rs = db->executeQuery("select typeof(a), a from t");
        ASSERT_TRUE(rs && rs->next());
        EXPECT_EQ(rs->stringForColumnIndex(0), std::string(c.type));
        EXPECT_EQ(rs->stringForColumnIndex(1), std::string(c.text));
    }
    EXPECT_TRUE(db->tableExists("t"));

    LogCapture log;
    EXPECT_FALSE(db->executeUpdateWithFormat("insert into t values (%d, %d)", {1}));
    EXPECT_FALSE(db->executeUpdateWithFormat("insert into t values (%d, 2)", {1, 2}));
    EXPECT_TRUE(log.contains("does not match"));
    auto rs = db->executeQueryWithFormat("select b from t where a = %@", {Value("5x")});
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->stringForColumnIndex(0), "x");
}

// A statement that calls back into its own handle is refused, not run.
TEST(SqlDatabase, ReentryWhileExecutingIsRefused) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a)"));
    bool innerResult = true;
    int64_t innerChanges = -1;
    db->makeFunctionNamed("reenter", 0, [&](sqlite3_context* ctx, int, sqlite3_value**) {
        innerResult = db->executeUpdate("insert into t values (99)");
        innerChanges = db->changes();
        sqlite3_result_int(ctx, 7);
    });
    LogCapture log;
    EXPECT_TRUE(db->executeUpdate("insert into t values (reenter())"));
    EXPECT_FALSE(innerResult);
    EXPECT_EQ(innerChanges, 0);
    EXPECT_TRUE(log.contains("is currently in use."));
    EXPECT_EQ(db->intForQuery("select a from t"), 7);
    EXPECT_EQ(countRows(*db, "t"), 1);
}

TEST(SqlDatabase, ColumnsByIndexAndByName) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(Name text, Num integer, Ratio real, Data blob, Missing)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (?, ?, ?, ?, ?)",
                                  {"alice", 1LL << 35, 0.25, foundation::Bytes{9, 8}, Value()}));
    auto rs = db->executeQuery("select * from t");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->columnCount(), 5);
    ASSERT_TRUE(rs->next());
    EXPECT_TRUE(rs->hasAnotherRow());
    EXPECT_EQ(rs->stringForColumn("NAME"), "alice");
    EXPECT_EQ(rs->stringForColumn("name"), "alice");
    EXPECT_EQ(rs->longLongIntForColumn("num"), 1LL << 35);
    EXPECT_EQ(rs->intForColumn("Ratio"), 0);
    EXPECT_DOUBLE_EQ(rs->doubleForColumn("ratio"), 0.25);
    EXPECT_TRUE(rs->boolForColumn("num"));  // 1 << 35: no bit in the low 32
    EXPECT_EQ(rs->dataForColumn("data"), (foundation::Bytes{9, 8}));
    auto noCopy = rs->dataNoCopyForColumn("data");
    ASSERT_TRUE(noCopy);
    EXPECT_EQ(noCopy->size(), 2u);
    EXPECT_STREQ(rs->UTF8StringForColumnName("name"), "alice");
    EXPECT_EQ(rs->columnIndexForName("DATA"), 3);
    EXPECT_EQ(rs->columnNameForIndex(2), "Ratio");
    EXPECT_DOUBLE_EQ(rs->dateForColumn("ratio")->seconds, 0.25);

    // NULL columns, indexes outside the row and unknown names give nothing.
    LogCapture log;
    for (int idx : {4, -1, 5, 100}) {
        SCOPED_TRACE(idx);
        EXPECT_TRUE(rs->columnIndexIsNull(idx));
        EXPECT_EQ(rs->stringForColumnIndex(idx), std::nullopt);
        EXPECT_EQ(rs->dataForColumnIndex(idx), std::nullopt);
        EXPECT_EQ(rs->dateForColumnIndex(idx), std::nullopt);
        EXPECT_EQ(rs->UTF8StringForColumnIndex(idx), nullptr);
        EXPECT_EQ(rs->longLongIntForColumnIndex(idx), 0);
        EXPECT_EQ(rs->doubleForColumnIndex(idx), 0.0);
        EXPECT_TRUE(rs->objectForColumnIndex(idx).isNull());
    }
    EXPECT_EQ(rs->columnIndexForName("unknown"), -1);
    EXPECT_EQ(rs->stringForColumn("unknown"), std::nullopt);
    EXPECT_TRUE(log.contains("Warning: I could not find the column named 'unknown'."));

    // Objects keep the column's type.
    EXPECT_EQ(rs->objectForColumnName("name"), Value("alice"));
    EXPECT_EQ(rs->objectForColumnName("num"), Value(1LL << 35));
    EXPECT_EQ(rs->objectForColumnName("ratio"), Value(0.25));
    EXPECT_EQ(rs->objectForColumnName("data"), Value(foundation::Bytes{9, 8}));
    auto row = rs->resultDictionary();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->keys(), (std::vector<std::string>{"Name", "Num", "Ratio", "Data", "Missing"}));
    EXPECT_TRUE(row->find("Missing")->isNull());

    std::vector<std::pair<std::string, std::string>> set;
    rs->kvcMagic([&](const std::string& k, const std::string& v) { set.emplace_back(k, v); });
    ASSERT_EQ(set.size(), 4u);  // the NULL column is left out
    EXPECT_EQ(set[0], (std::pair<std::string, std::string>{"Name", "alice"}));
    EXPECT_EQ(set[2], (std::pair<std::string, std::string>{"Ratio", "0.25"}));

    EXPECT_FALSE(rs->next());
    EXPECT_FALSE(rs->next());  // closed
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_EQ(rs->resultDictionary(), std::nullopt);
    EXPECT_TRUE(log.contains("Warning: There seem to be no columns in this set."));
}

TEST(SqlDatabase, ResultSetsAreTrackedAndClosedWithTheDatabase) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1), (2)"));
    auto first = db->executeQuery("select a from t");
    auto second = db->executeQuery("select a from t");
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(db->hasOpenResultSets());
    ASSERT_TRUE(first->next());
    second.reset();  // destroying a set unregisters it
    EXPECT_TRUE(db->hasOpenResultSets());
    EXPECT_TRUE(db->close());
    // The set outlives its handle safely and reports no more rows.
    EXPECT_EQ(first->parentDB(), nullptr);
    EXPECT_FALSE(first->next());
    EXPECT_EQ(first->stringForColumnIndex(0), std::nullopt);
    db.reset();
    EXPECT_FALSE(first->next());
}

// With caching on, two open queries of the same SQL never share a statement.
TEST(SqlDatabase, CachedStatementIsNotSharedByOpenResultSets) {
    auto db = openDb();
    db->setShouldCacheStatements(true);
    ASSERT_TRUE(db->executeUpdate("create table t(a)"));
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(db->executeUpdate("insert into t values (?)", {i}));
    auto cachedInsert = db->cachedStatementForQuery("insert into t values (?)");
    ASSERT_TRUE(cachedInsert);
    EXPECT_EQ(cachedInsert->useCount(), 3);
    EXPECT_NE(cachedInsert->description().find("3 hit(s) for query insert into t values (?)"), std::string::npos);

    const std::string sql = "select a from t order by a";
    auto outer = db->executeQuery(sql);
    ASSERT_TRUE(outer && outer->next());
    EXPECT_EQ(outer->intForColumnIndex(0), 1);
    std::vector<int> inner;
    auto nested = db->executeQuery(sql);
    ASSERT_TRUE(nested);
    while (nested->next()) inner.push_back(nested->intForColumnIndex(0));
    EXPECT_EQ(inner, (std::vector<int>{1, 2, 3}));
    // The outer set goes on where it was.
    ASSERT_TRUE(outer->next());
    EXPECT_EQ(outer->intForColumnIndex(0), 2);
    outer->close();

    // Once closed, the cached statement is reused.
    auto cached = db->cachedStatementForQuery(sql);
    ASSERT_TRUE(cached);
    long uses = cached->useCount();
    auto again = db->executeQuery(sql);
    ASSERT_TRUE(again && again->next());
    EXPECT_EQ(again->statement(), cached);
    EXPECT_EQ(cached->useCount(), uses + 1);
    again->close();

    db->setShouldCacheStatements(false);
    EXPECT_EQ(db->cachedStatementForQuery(sql), nullptr);
    EXPECT_TRUE(db->executeUpdate("insert into t values (?)", {4}));
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 4);
}

TEST(SqlDatabase, TransactionsChangeStateOnlyOnSuccess) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a)"));
    EXPECT_FALSE(db->commit());  // nothing to commit
    EXPECT_FALSE(db->inTransaction());
    ASSERT_TRUE(db->beginTransaction());
    EXPECT_TRUE(db->inTransaction());
    EXPECT_FALSE(db->beginDeferredTransaction());  // already in one
    EXPECT_TRUE(db->inTransaction());
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    ASSERT_TRUE(db->rollback());
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(countRows(*db, "t"), 0);
    ASSERT_TRUE(db->beginDeferredTransaction());
    ASSERT_TRUE(db->executeUpdate("insert into t values (2)"));
    ASSERT_TRUE(db->commit());
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(countRows(*db, "t"), 1);
}

TEST(SqlDatabase, SavePointRolledBackLeavesNoTrace) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    auto error = db->inSavePoint([&](bool& rollback) {
        EXPECT_TRUE(db->executeUpdate("insert into t values (2)"));
        EXPECT_TRUE(db->executeUpdate("update t set a = 10 where a = 1"));
        rollback = true;
    });
    EXPECT_EQ(error, std::nullopt);
    EXPECT_EQ(db->intForQuery("select sum(a) from t"), 1);
    EXPECT_FALSE(db->inTransaction());
    // No transaction is left open: another connection can write at once.
    auto other = openDb();
    other->setBusyRetryTimeout(1);
    EXPECT_TRUE(other->executeUpdate("insert into t values (5)"));

    error = db->inSavePoint([&](bool&) { EXPECT_TRUE(db->executeUpdate("insert into t values (3)")); });
    EXPECT_EQ(error, std::nullopt);
    EXPECT_EQ(db->intForQuery("select sum(a) from t"), 9);

    SqlError e;
    EXPECT_FALSE(db->releaseSavePointWithName("never-started", &e));
    EXPECT_EQ(e.code, SQLITE_ERROR);
    EXPECT_NE(e.message.find("no such savepoint"), std::string::npos);
}

// Save-point names are identifiers: quotes in a name cannot end the statement.
TEST(SqlDatabase, SavePointNamesCannotInjectSql) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table victim(a)"));
    for (std::string name : {"x\"; drop table victim; --", "x'; drop table victim; --", "plain"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(db->startSavePointWithName(name));
        EXPECT_TRUE(db->executeUpdate("insert into victim values (1)"));
        EXPECT_TRUE(db->rollbackToSavePointWithName(name));
        EXPECT_TRUE(db->releaseSavePointWithName(name));
        EXPECT_TRUE(db->tableExists("victim"));
    }
    EXPECT_EQ(countRows(*db, "victim"), 0);
}

// A second connection holds the write lock: a limited retry gives up, the
// same work succeeds once the lock is released.
TEST(SqlDatabase, BusyRetryLimitAndRelease) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a)"));
    auto holder = openDb();
    ASSERT_TRUE(holder->beginTransaction());
    ASSERT_TRUE(holder->executeUpdate("insert into t values (1)"));

    LogCapture log;
    db->setBusyRetryTimeout(1);
    EXPECT_FALSE(db->executeUpdate("insert into t values (2)"));
    EXPECT_TRUE(log.contains("Database busy (" + dbPath() + ")"));
    auto rs = db->executeQuery("select a from t");
    ASSERT_TRUE(rs);  // preparing needs no lock once the schema is known
    EXPECT_FALSE(rs->next());
    EXPECT_FALSE(db->beginTransaction());
    EXPECT_FALSE(db->inTransaction());

    // Without a count limit the wait is still bounded in time.
    db->setBusyRetryTimeout(0);
    db->setMaxBusyRetryTimeInterval(0.05);
    EXPECT_FALSE(db->executeUpdate("insert into t values (3)"));

    ASSERT_TRUE(holder->commit());
    db->setBusyRetryTimeout(1);
    EXPECT_TRUE(db->executeUpdate("insert into t values (4)"));
    EXPECT_EQ(db->intForQuery("select sum(a) from t"), 5);
}

// The count limit: with a limit of 1 the third consecutive busy answer
// gives up; with no limit (and no time limit) it never does.
TEST(SqlDatabase, BusyRetryCountsConsecutiveAnswers) {
    SqlDatabase db;
    db.setBusyRetryTimeout(1);
    LogCapture log;
    SqlBusyWait limited(db);
    EXPECT_TRUE(limited.retry("f", 1));
    EXPECT_TRUE(limited.retry("f", 2));
    EXPECT_FALSE(limited.retry("f", 3));
    EXPECT_TRUE(log.contains("f:3 Database busy (:memory:)"));

    db.setBusyRetryTimeout(0);
    db.setMaxBusyRetryTimeInterval(0);
    SqlBusyWait unlimited(db);
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(unlimited.retry("f", i));
}

// An unlimited retry waits for a lock that another thread releases.
TEST(SqlDatabase, UnlimitedRetryWaitsForTheLock) {
    auto db = openDb();
    ASSERT_TRUE(db->executeUpdate("create table t(a)"));
    auto holder = openDb();
    ASSERT_TRUE(holder->beginTransaction());
    ASSERT_TRUE(holder->executeUpdate("insert into t values (1)"));

    std::atomic<bool> started{false};
    bool result = false;
    std::thread writer([&] {
        auto own = openDb();
        own->setMaxBusyRetryTimeInterval(60);
        started = true;
        result = own->executeUpdate("insert into t values (2)");
    });
    while (!started) std::this_thread::yield();
    ASSERT_TRUE(holder->commit());
    writer.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(db->intForQuery("select sum(a) from t"), 3);
}

TEST(SqlDatabase, CloseFinalisesLeakedStatements) {
    auto db = openDb();
    sqlite3_stmt* leaked = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db->sqliteHandle(), "select 1", -1, &leaked, nullptr), SQLITE_OK);
    LogCapture log;
    EXPECT_TRUE(db->close());
    EXPECT_TRUE(log.contains("Closing leaked statement"));
    EXPECT_EQ(db->sqliteHandle(), nullptr);
}

TEST(SqlDatabase, TraceLogsStatementsAndArguments) {
    auto db = openDb();
    db->setTraceExecution(true);
    LogCapture log;
    ASSERT_TRUE(db->executeUpdate("create table t(a)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (?)", {"traced"}));
    auto rs = db->executeQuery("select a from t");
    EXPECT_TRUE(log.contains(db->description() + " executeUpdate: insert into t values (?)"));
    EXPECT_TRUE(log.contains("obj: traced"));
    EXPECT_TRUE(log.contains(" executeQuery: select a from t"));
}
