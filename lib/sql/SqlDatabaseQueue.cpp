#include "lib/sql/SqlDatabaseQueue.h"

#include "platform/foundation/Log.h"

namespace {
std::atomic<long> queueSavePointCounter{0};
}

SqlDatabaseQueue::SqlDatabaseQueue(std::string path) : path_(std::move(path)) {
    auto database = SqlDatabase::databaseWithPath(path_);
    if (database->open()) {
        db_ = std::move(database);
    } else {
        foundation::log("Could not create database queue for path ", path_);
    }
}

std::shared_ptr<SqlDatabaseQueue> SqlDatabaseQueue::databaseQueueWithPath(std::string path) {
    auto queue = std::make_shared<SqlDatabaseQueue>(std::move(path));
    if (!queue->valid()) return nullptr;
    return queue;
}

bool SqlDatabaseQueue::valid() const {
    // Inside one of our own blocks the lock is already held by this thread.
    if (owner_.load() == std::this_thread::get_id()) return db_ != nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    return db_ != nullptr;
}

bool SqlDatabaseQueue::run(const char* what, const std::function<void(SqlDatabase& db)>& fn) {
    if (owner_.load() == std::this_thread::get_id()) {
        foundation::log("SqlDatabaseQueue ", what, " called from inside one of its own blocks: refused");
        return false;
    }
    std::lock_guard<std::mutex> guard(lock_);
    owner_.store(std::this_thread::get_id());
    struct Release {
        std::atomic<std::thread::id>& owner;
        ~Release() { owner.store(std::thread::id()); }
    } release{owner_};

    if (!db_) {
        auto database = SqlDatabase::databaseWithPath(path_);
        if (!database->open()) {
            foundation::log("SqlDatabaseQueue could not reopen database for path ", path_);
            return false;
        }
        db_ = std::move(database);
    }
    fn(*db_);
    return true;
}

bool SqlDatabaseQueue::inDatabase(const std::function<void(SqlDatabase& db)>& block) {
    return run("inDatabase", [&](SqlDatabase& db) {
        block(db);
        if (db.hasOpenResultSets()) {
            foundation::log(
                "Warning: there is at least one open result set around after performing "
                "[SqlDatabaseQueue inDatabase:]");
        }
    });
}

bool SqlDatabaseQueue::transaction(bool deferred, const std::function<void(SqlDatabase&, bool&)>& block) {
    bool ok = false;
    bool ran = run(deferred ? "inDeferredTransaction" : "inTransaction", [&](SqlDatabase& db) {
        if (!(deferred ? db.beginDeferredTransaction() : db.beginTransaction())) {
            foundation::log("SqlDatabaseQueue could not begin a transaction: ", db.lastErrorMessage());
            return;
        }
        bool shouldRollback = false;
        block(db, shouldRollback);
        ok = shouldRollback ? db.rollback() : db.commit();
        if (!ok && db.inTransaction()) db.rollback();
    });
    return ran && ok;
}

bool SqlDatabaseQueue::inTransaction(const std::function<void(SqlDatabase& db, bool& rollback)>& block) {
    return transaction(false, block);
}

bool SqlDatabaseQueue::inDeferredTransaction(const std::function<void(SqlDatabase& db, bool& rollback)>& block) {
    return transaction(true, block);
}

std::optional<SqlError> SqlDatabaseQueue::inSavePoint(
    const std::function<void(SqlDatabase& db, bool& rollback)>& block) {
    std::string name = "savePoint" + std::to_string(++queueSavePointCounter);
    std::optional<SqlError> result;
    bool ran = run("inSavePoint", [&](SqlDatabase& db) {
        SqlError error;
        if (!db.startSavePointWithName(name, &error)) {
            result = error;
            return;
        }
        bool shouldRollback = false;
        block(db, shouldRollback);
        if (shouldRollback && !db.rollbackToSavePointWithName(name, &error)) result = error;
        if (!db.releaseSavePointWithName(name, &error) && !result) result = error;
    });
    if (!ran) return SqlError{"SqlDatabase", SQLITE_MISUSE, "the queue refused the call or could not open"};
    return result;
}

void SqlDatabaseQueue::close() {
    if (owner_.load() == std::this_thread::get_id()) {
        foundation::log("SqlDatabaseQueue close called from inside one of its own blocks: refused");
        return;
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (db_) db_->close();
    db_.reset();
}
