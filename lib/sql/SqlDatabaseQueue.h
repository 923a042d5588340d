#pragma once
// One handle on a database file behind a lock: every block runs on the
// calling thread while no other block of the same queue runs, so the handle
// is never used by two threads at once.
//
// A block that calls the same queue again would wait on itself; such a call
// is refused instead: it logs, does not run its block and reports failure.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "lib/sql/SqlDatabase.h"

class SqlDatabaseQueue {
public:
    // Opens the handle at once; when that fails the queue logs and has no
    // handle (valid() is false) until a later call manages to reopen it.
    explicit SqlDatabaseQueue(std::string path);
    static std::shared_ptr<SqlDatabaseQueue> databaseQueueWithPath(std::string path);
    SqlDatabaseQueue(const SqlDatabaseQueue&) = delete;
    SqlDatabaseQueue& operator=(const SqlDatabaseQueue&) = delete;

    const std::string& path() const { return path_; }
    bool valid() const;

    // False when the call came from inside one of this queue's blocks or no
    // handle could be opened; the block then does not run.
    bool inDatabase(const std::function<void(SqlDatabase& db)>& block);
    // Exclusive (or deferred) transaction, committed unless the block sets
    // its rollback flag. False when refused, when the transaction could not
    // begin (the block does not run) or could not end.
    bool inTransaction(const std::function<void(SqlDatabase& db, bool& rollback)>& block);
    bool inDeferredTransaction(const std::function<void(SqlDatabase& db, bool& rollback)>& block);
    // Runs the block in a save point "savePoint<N>"; the error or nullopt.
    std::optional<SqlError> inSavePoint(const std::function<void(SqlDatabase& db, bool& rollback)>& block);

    // Closes and drops the handle; the next block reopens it.
    void close();

private:
    // Runs `fn` with the lock held and the handle open; false when refused.
    bool run(const char* what, const std::function<void(SqlDatabase& db)>& fn);
    bool transaction(bool deferred, const std::function<void(SqlDatabase&, bool&)>& block);

    std::string path_;
    mutable std::mutex lock_;
    std::atomic<std::thread::id> owner_{};
    std::shared_ptr<SqlDatabase> db_;
};
