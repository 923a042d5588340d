#include "lib/sql/SqlDatabasePool.h"

#include <algorithm>
#include <atomic>

#include "platform/foundation/Log.h"

namespace {
std::atomic<long> poolSavePointCounter{0};
}

SqlDatabasePool::SqlDatabasePool(std::string path) : path_(std::move(path)) {}

std::shared_ptr<SqlDatabasePool> SqlDatabasePool::databasePoolWithPath(std::string path) {
    return std::make_shared<SqlDatabasePool>(std::move(path));
}

unsigned long SqlDatabasePool::maximumNumberOfDatabasesToCreate() const { return maximumNumberOfDatabasesToCreate_; }

void SqlDatabasePool::setMaximumNumberOfDatabasesToCreate(unsigned long n) {
    std::lock_guard<std::mutex> guard(lock_);
    maximumNumberOfDatabasesToCreate_ = n;
}

std::shared_ptr<SqlDatabase> SqlDatabasePool::db() {
    std::shared_ptr<SqlDatabase> database;
    unsigned long reachedMaximum = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!databaseInPool_.empty()) {
            database = databaseInPool_.back();
            databaseInPool_.pop_back();
        } else {
            unsigned long max = maximumNumberOfDatabasesToCreate_;
            if (max && databaseInPool_.size() + databaseOutPool_.size() >= max)
                reachedMaximum = max;
            else
                database = SqlDatabase::databaseWithPath(path_);
        }
        // Counted as in use from here on, so the maximum holds while the
        // handle is opened outside the lock.
        if (database && std::find(databaseOutPool_.begin(), databaseOutPool_.end(), database) == databaseOutPool_.end())
            databaseOutPool_.push_back(database);
    }
    if (reachedMaximum) {
        foundation::log("Maximum number of databases (", reachedMaximum, ") has already been reached!");
        return nullptr;
    }

    // Opening and asking the delegate happen outside the lock: a delegate
    // may ask the pool for its counts.
    bool ok = database->open();
    if (!ok) foundation::log("Could not open up the database at path ", path_);
    if (ok && delegate_ && !delegate_->databasePool(*this, *database)) {
        database->close();
        ok = false;
    }
    if (!ok) {
        std::lock_guard<std::mutex> guard(lock_);
        databaseOutPool_.erase(std::remove(databaseOutPool_.begin(), databaseOutPool_.end(), database),
                               databaseOutPool_.end());
        return nullptr;
    }
    database->setCheckedOut(true);
    return database;
}

bool SqlDatabasePool::pushDatabaseBackInPool(const std::shared_ptr<SqlDatabase>& database) {
    if (!database) return true;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (std::find(databaseInPool_.begin(), databaseInPool_.end(), database) == databaseInPool_.end()) {
            databaseInPool_.push_back(database);
            databaseOutPool_.erase(std::remove(databaseOutPool_.begin(), databaseOutPool_.end(), database),
                                   databaseOutPool_.end());
            database->setCheckedOut(false);
            return true;
        }
    }
    foundation::log(
        "Database already in pool: The SqlDatabase being put back into the pool is already "
        "present in the pool");
    return false;
}

unsigned long SqlDatabasePool::countOfCheckedInDatabases() {
    std::lock_guard<std::mutex> guard(lock_);
    return databaseInPool_.size();
}

unsigned long SqlDatabasePool::countOfCheckedOutDatabases() {
    std::lock_guard<std::mutex> guard(lock_);
    return databaseOutPool_.size();
}

unsigned long SqlDatabasePool::countOfOpenDatabases() {
    std::lock_guard<std::mutex> guard(lock_);
    return databaseInPool_.size() + databaseOutPool_.size();
}

void SqlDatabasePool::releaseAllDatabases() {
    std::lock_guard<std::mutex> guard(lock_);
    databaseInPool_.clear();
    databaseOutPool_.clear();
}

void SqlDatabasePool::inDatabase(const std::function<void(SqlDatabase* db)>& block) {
    auto database = db();
    block(database.get());
    pushDatabaseBackInPool(database);
}

bool SqlDatabasePool::beginTransaction(bool deferred, const std::function<void(SqlDatabase*, bool&)>& block) {
    auto database = db();
    bool shouldRollback = false;
    bool ok = false;
    if (!database) {
        block(nullptr, shouldRollback);
        return false;
    }
    if (deferred ? database->beginDeferredTransaction() : database->beginTransaction()) {
        block(database.get(), shouldRollback);
        ok = shouldRollback ? database->rollback() : database->commit();
        if (!ok && database->inTransaction()) database->rollback();
    } else {
        // The block never runs outside the transaction it asked for.
        foundation::log("SqlDatabasePool could not begin a transaction: ", database->lastErrorMessage());
    }
    pushDatabaseBackInPool(database);
    return ok;
}

bool SqlDatabasePool::inTransaction(const std::function<void(SqlDatabase* db, bool& rollback)>& block) {
    return beginTransaction(false, block);
}

bool SqlDatabasePool::inDeferredTransaction(const std::function<void(SqlDatabase* db, bool& rollback)>& block) {
    return beginTransaction(true, block);
}

std::optional<SqlError> SqlDatabasePool::inSavePoint(
    const std::function<void(SqlDatabase* db, bool& rollback)>& block) {
    std::string name = "savePoint" + std::to_string(++poolSavePointCounter);
    auto database = db();
    if (!database) return SqlError{"SqlDatabase", SQLITE_CANTOPEN, "no database could be taken from the pool"};
    SqlError error;
    std::optional<SqlError> result;
    if (database->startSavePointWithName(name, &error)) {
        bool shouldRollback = false;
        block(database.get(), shouldRollback);
        if (shouldRollback && !database->rollbackToSavePointWithName(name, &error)) result = error;
        if (!database->releaseSavePointWithName(name, &error) && !result) result = error;
    } else {
        result = error;
    }
    pushDatabaseBackInPool(database);
    return result;
}
