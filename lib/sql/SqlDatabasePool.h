#pragma once
// A pool of handles on one database file, shared by several threads. A block
// method takes an idle handle (or opens a new one), runs the block with it on
// the calling thread and puts it back. The pool's lists are guarded by a lock
// of their own; a handle is used by one caller at a time.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "lib/sql/SqlDatabase.h"

class SqlDatabasePool;

class SqlDatabasePoolDelegate {
public:
    virtual ~SqlDatabasePoolDelegate() = default;
    // Return false to refuse a handle on its way out of the pool (it is closed
    // and dropped).
    virtual bool databasePool(SqlDatabasePool& pool, SqlDatabase& database) {
        (void)pool;
        (void)database;
        return true;
    }
};

class SqlDatabasePool {
public:
    explicit SqlDatabasePool(std::string path);
    static std::shared_ptr<SqlDatabasePool> databasePoolWithPath(std::string path);
    SqlDatabasePool(const SqlDatabasePool&) = delete;
    SqlDatabasePool& operator=(const SqlDatabasePool&) = delete;

    const std::string& path() const { return path_; }
    SqlDatabasePoolDelegate* delegate() const { return delegate_; }
    void setDelegate(SqlDatabasePoolDelegate* d) { delegate_ = d; }
    // 0: no limit.
    unsigned long maximumNumberOfDatabasesToCreate() const;
    void setMaximumNumberOfDatabasesToCreate(unsigned long n);

    // Takes a handle out of the pool: an idle one, else a newly opened one;
    // nullptr when the maximum is reached, opening fails or the delegate refuses.
    std::shared_ptr<SqlDatabase> db();
    // Puts a handle back. False (with a log line "Database already in pool")
    // when it is already idle in the pool; a null handle is ignored.
    bool pushDatabaseBackInPool(const std::shared_ptr<SqlDatabase>& database);

    unsigned long countOfCheckedInDatabases();
    unsigned long countOfCheckedOutDatabases();
    unsigned long countOfOpenDatabases();
    void releaseAllDatabases();

    // The block gets nullptr when no handle could be had.
    void inDatabase(const std::function<void(SqlDatabase* db)>& block);
    // Exclusive (or deferred) transaction: committed unless the block sets its
    // rollback flag. False when no handle could be had or the transaction
    // could not begin or end.
    bool inTransaction(const std::function<void(SqlDatabase* db, bool& rollback)>& block);
    bool inDeferredTransaction(const std::function<void(SqlDatabase* db, bool& rollback)>& block);
    // Runs the block in a save point "savePoint<N>"; the error or nullopt.
    std::optional<SqlError> inSavePoint(const std::function<void(SqlDatabase* db, bool& rollback)>& block);

private:
    bool beginTransaction(bool deferred, const std::function<void(SqlDatabase*, bool&)>& block);

    std::string path_;
    std::mutex lock_;
    std::vector<std::shared_ptr<SqlDatabase>> databaseInPool_;
    std::vector<std::shared_ptr<SqlDatabase>> databaseOutPool_;
    SqlDatabasePoolDelegate* delegate_ = nullptr;
    unsigned long maximumNumberOfDatabasesToCreate_ = 0;
};
