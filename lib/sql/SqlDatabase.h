#pragma once
// One SQLite connection: open and close, updates and queries with bound
// arguments, transactions and save points, a statement cache, SQL functions,
// error state and a few conveniences for single values and the schema.
//
// A handle belongs to one thread at a time; SqlDatabasePool and
// SqlDatabaseQueue share a file between threads.
//
// Every value reaches SQLite as a bound parameter. Arguments are
// foundation::Value: null binds NULL, bytes a blob, a date its seconds since
// 1970 as a double, booleans 0/1, integers a 64-bit integer (unsigned ones
// reinterpreted), doubles and decimals a double, texts UTF-8 text, arrays and
// dictionaries the text of their description. Texts and blobs are copied at
// binding, so the caller's values need not outlive the call.

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "lib/sql/SqlError.h"
#include "lib/sql/SqlResultSet.h"
#include "lib/sql/SqlStatement.h"
#include "platform/foundation/Value.h"

class SqlDatabase {
public:
    using Args = std::initializer_list<foundation::Value>;
    using SqlFunction = std::function<void(sqlite3_context* context, int argc, sqlite3_value** argv)>;

    // A missing path means an in-memory database (":memory:"). Creating a
    // handle requires a thread-safe SQLite build.
    explicit SqlDatabase(std::optional<std::string> path = std::nullopt);
    static std::shared_ptr<SqlDatabase> databaseWithPath(std::optional<std::string> path);
    ~SqlDatabase();  // closes
    SqlDatabase(const SqlDatabase&) = delete;
    SqlDatabase& operator=(const SqlDatabase&) = delete;

    static std::string sqliteLibVersion();
    static bool isSQLiteThreadSafe();
    const std::optional<std::string>& databasePath() const { return databasePath_; }
    sqlite3* sqliteHandle() const { return db_; }
    // "<SqlDatabase: 0x...>"
    std::string description() const;

    // Opens the file, creating it when absent; true when already open.
    bool open();
    bool openWithFlags(int flags);
    // Closes cached statements, open result sets and the connection. False
    // (and the connection stays open) only when it stays busy past a limit.
    bool close();

    // Updates: true when the statement ran to its end. The number of
    // arguments must equal the number of parameters of the statement.
    bool executeUpdate(const std::string& sql, Args args = {});
    bool executeUpdateWithArgumentsInArray(const std::string& sql, const foundation::Array& args);
    // Each key K binds the parameter named ":K"; every parameter needs a key.
    bool executeUpdateWithParameterDictionary(const std::string& sql, const foundation::Dictionary& args);
    // As executeUpdate, and on failure fills `error` when given.
    bool update(const std::string& sql, SqlError* error, Args args = {});
    // printf-style SQL: each conversion (%@ %d %D %i %u %U %c %s %f %g %hi %hu
    // %ld %lu %lld %llu %qi %qu) becomes a "?" bound to the next argument,
    // converted to the conversion's kind; "%%" is a literal "%"; any other
    // "%" is dropped.
    bool executeUpdateWithFormat(const std::string& format, Args args = {});

    // Queries: a result set positioned before the first row, or nullptr.
    std::unique_ptr<SqlResultSet> executeQuery(const std::string& sql, Args args = {});
    std::unique_ptr<SqlResultSet> executeQueryWithArgumentsInArray(const std::string& sql,
                                                                   const foundation::Array& args);
    std::unique_ptr<SqlResultSet> executeQueryWithParameterDictionary(const std::string& sql,
                                                                      const foundation::Dictionary& args);
    std::unique_ptr<SqlResultSet> executeQueryWithFormat(const std::string& format, Args args = {});

    // Transactions; inTransaction changes only when the statement succeeds.
    bool beginTransaction();          // "begin exclusive transaction"
    bool beginDeferredTransaction();  // "begin deferred transaction"
    bool commit();
    bool rollback();
    bool inTransaction() const { return inTransaction_; }

    // Save points. Names are quoted as identifiers, so any text is a name.
    bool startSavePointWithName(const std::string& name, SqlError* error = nullptr);
    bool releaseSavePointWithName(const std::string& name, SqlError* error = nullptr);
    bool rollbackToSavePointWithName(const std::string& name, SqlError* error = nullptr);
    // Runs `block` inside a save point of its own ("dbSavePoint<N>"); when the
    // block sets its flag the save point is rolled back to, else released.
    // Returns the error, or nullopt on success.
    std::optional<SqlError> inSavePoint(const std::function<void(bool& rollback)>& block);

    // Error state of the connection.
    std::string lastErrorMessage() const;
    int lastErrorCode() const;
    bool hadError() const;       // the last code lies between 1 and 99
    SqlError lastError() const;  // domain "SqlDatabase"
    int64_t lastInsertRowId() const;
    int changes() const;

    bool goodConnection();
    bool databaseExists() const;  // the connection is open
    bool hasOpenResultSets() const { return !openResultSets_.empty(); }
    void closeOpenResultSets();
    void clearCachedStatements();
    bool shouldCacheStatements() const { return shouldCacheStatements_; }
    void setShouldCacheStatements(bool value);
    // The cached statement for an SQL text, nullptr when there is none.
    std::shared_ptr<SqlStatement> cachedStatementForQuery(const std::string& sql) const;

    // Registers a UTF-8 SQL function that runs `block` (argc -1: any number).
    void makeFunctionNamed(const std::string& name, int maximumArguments, SqlFunction block);

    // No encryption is built in: both always fail.
    bool setKey(const std::string& key);
    bool rekey(const std::string& key);

    // Settings. A busyRetryTimeout of 0 retries busy answers without a count
    // limit; every busy wait also ends after maxBusyRetryTimeInterval seconds
    // of real time (0: no time limit), so a stuck lock cannot hang a thread.
    bool logsErrors() const { return logsErrors_; }
    void setLogsErrors(bool v) { logsErrors_ = v; }
    bool crashOnErrors() const { return crashOnErrors_; }
    void setCrashOnErrors(bool v) { crashOnErrors_ = v; }  // stored, no effect
    int busyRetryTimeout() const { return busyRetryTimeout_; }
    void setBusyRetryTimeout(int v) { busyRetryTimeout_ = v; }
    double maxBusyRetryTimeInterval() const { return maxBusyRetryTimeInterval_; }
    void setMaxBusyRetryTimeInterval(double seconds) { maxBusyRetryTimeInterval_ = seconds; }
    bool traceExecution() const { return traceExecution_; }
    void setTraceExecution(bool v) { traceExecution_ = v; }
    bool checkedOut() const { return checkedOut_; }
    void setCheckedOut(bool v) { checkedOut_ = v; }

    // --- Single values and the schema ---
    // Column 0 of the first row, nullopt or 0 when there is no row.
    std::optional<std::string> stringForQuery(const std::string& sql, Args args = {});
    int intForQuery(const std::string& sql, Args args = {});
    long longForQuery(const std::string& sql, Args args = {});
    bool boolForQuery(const std::string& sql, Args args = {});
    double doubleForQuery(const std::string& sql, Args args = {});
    std::optional<foundation::Bytes> dataForQuery(const std::string& sql, Args args = {});
    std::optional<foundation::Date> dateForQuery(const std::string& sql, Args args = {});
    // A table of that name exists (case-insensitive).
    bool tableExists(const std::string& tableName);
    std::unique_ptr<SqlResultSet> getSchema();
    // One row per column of the table (cid, name, type, notnull, dflt_value, pk).
    std::unique_ptr<SqlResultSet> getTableSchema(const std::string& tableName);
    bool columnExists(const std::string& tableName, const std::string& columnName);
    // True when the SQL compiles; otherwise fills `error` when given.
    bool validateSQL(const std::string& sql, SqlError* error = nullptr);

    // Quotes a name as an SQL identifier: "name" with embedded quotes doubled.
    static std::string quoteIdentifier(const std::string& name);

    // Called by a result set when it closes.
    void resultSetDidClose(SqlResultSet* set);

private:
    friend class SqlResultSet;
    friend class SqlBusyWait;

    enum class Kind { Update, Query };
    struct Binding;

    // Prepares (or takes from the cache) and binds; nullptr on failure.
    std::shared_ptr<SqlStatement> prepareAndBind(const std::string& sql, Kind kind, const Binding& binding,
                                                 SqlError* error);
    bool runUpdate(const std::string& sql, const Binding& binding, SqlError* error);
    std::unique_ptr<SqlResultSet> runQuery(const std::string& sql, const Binding& binding);
    bool bindObject(const foundation::Value& value, int index, sqlite3_stmt* statement);
    void warnInUse() const;
    bool beginExecuting();

    std::optional<std::string> databasePath_;
    sqlite3* db_ = nullptr;
    std::set<SqlResultSet*> openResultSets_;
    std::atomic<bool> logsErrors_{false};
    std::atomic<bool> crashOnErrors_{false};
    std::atomic<int> busyRetryTimeout_{0};
    std::atomic<double> maxBusyRetryTimeInterval_{10.0};
    std::unique_ptr<std::unordered_map<std::string, std::shared_ptr<SqlStatement>>> cachedStatements_;
    std::vector<std::unique_ptr<SqlFunction>> openFunctions_;
    bool isExecutingStatement_ = false;
    std::atomic<bool> traceExecution_{false};
    bool shouldCacheStatements_ = false;
    bool inTransaction_ = false;
    std::atomic<bool> checkedOut_{false};
};

// Counts the busy answers of one operation against the handle's limits.
class SqlBusyWait {
public:
    explicit SqlBusyWait(const SqlDatabase& db);
    // Call on each busy answer: sleeps 20 microseconds and returns true when
    // another try is allowed; past a limit logs "Database busy" and returns false.
    bool retry(const char* function, int line);

private:
    const SqlDatabase& db_;
    int retries_ = 0;
    double start_ = -1;  // real time of the first busy answer
};
