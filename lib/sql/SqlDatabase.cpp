#include "lib/sql/SqlDatabase.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <span>

#include "platform/foundation/Assert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

using foundation::Value;

namespace {

std::atomic<long> savePointCounter{0};

double realSeconds() {
    // Busy waits are real waits on another connection's lock, so they are
    // bounded by real time, not by the app's (possibly manual) clock.
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool isBusy(int rc) { return rc == SQLITE_BUSY || rc == SQLITE_LOCKED; }

}  // namespace

struct SqlDatabase::Binding {
    std::span<const Value> positional;
    const foundation::Dictionary* named = nullptr;
};

// ---------------------------------------------------------------------------
// Busy waits

SqlBusyWait::SqlBusyWait(const SqlDatabase& db) : db_(db) {}

bool SqlBusyWait::retry(const char* function, int line) {
    // The clock is read only once something is busy: the common path of a
    // statement that never waits costs nothing here.
    double now = realSeconds();
    if (start_ < 0) start_ = now;
    int limit = db_.busyRetryTimeout();
    double timeLimit = db_.maxBusyRetryTimeInterval();
    bool overCount = limit > 0 && retries_++ > limit;
    bool overTime = timeLimit > 0 && now - start_ > timeLimit;
    if (overCount || overTime) {
        foundation::log(function, ":", line, " Database busy (", db_.databasePath().value_or(":memory:"), ")");
        foundation::log("Database busy");
        return false;
    }
    usleep(20);
    return true;
}

// ---------------------------------------------------------------------------
// Life cycle

SqlDatabase::SqlDatabase(std::optional<std::string> path) : databasePath_(std::move(path)) {
    QUENTA_ASSERT(sqlite3_threadsafe(), "sqlite3_threadsafe()");
}

std::shared_ptr<SqlDatabase> SqlDatabase::databaseWithPath(std::optional<std::string> path) {
    return std::make_shared<SqlDatabase>(std::move(path));
}

SqlDatabase::~SqlDatabase() { close(); }

std::string SqlDatabase::sqliteLibVersion() { return sqlite3_libversion(); }

bool SqlDatabase::isSQLiteThreadSafe() { return sqlite3_threadsafe() != 0; }

std::string SqlDatabase::description() const {
    return foundation::format("<SqlDatabase: %p>", static_cast<const void*>(this));
}

bool SqlDatabase::open() {
    if (db_) return true;
    int rc = sqlite3_open(databasePath_ ? databasePath_->c_str() : ":memory:", &db_);
    if (rc != SQLITE_OK) {
        foundation::log("error opening!: ", rc);
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

bool SqlDatabase::openWithFlags(int flags) {
    if (db_) return true;
    int rc = sqlite3_open_v2(databasePath_ ? databasePath_->c_str() : ":memory:", &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        foundation::log("error opening!: ", rc);
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

bool SqlDatabase::close() {
    clearCachedStatements();
    closeOpenResultSets();
    if (!db_) return true;

    SqlBusyWait wait(*this);
    bool triedFinalizingOpenStatements = false;
    for (;;) {
        int rc = sqlite3_close(db_);
        if (!isBusy(rc)) {
            if (rc != SQLITE_OK) foundation::log("error closing!: ", rc);
            break;
        }
        if (!triedFinalizingOpenStatements) {
            triedFinalizingOpenStatements = true;
            while (sqlite3_stmt* leaked = sqlite3_next_stmt(db_, nullptr)) {
                foundation::log("Closing leaked statement");
                sqlite3_finalize(leaked);
            }
            continue;
        }
        if (!wait.retry(__func__, __LINE__)) {
            foundation::log("Database busy, unable to close");
            return false;
        }
    }
    db_ = nullptr;
    inTransaction_ = false;
    return true;
}

// ---------------------------------------------------------------------------
// Executing statements

void SqlDatabase::warnInUse() const { foundation::log("The SqlDatabase ", description(), " is currently in use."); }

bool SqlDatabase::beginExecuting() {
    if (!db_) return false;
    if (isExecutingStatement_) {
        warnInUse();
        return false;
    }
    isExecutingStatement_ = true;
    return true;
}

bool SqlDatabase::bindObject(const Value& value, int index, sqlite3_stmt* statement) {
    int rc = SQLITE_OK;
    switch (value.type()) {
        case Value::Type::Null:
            rc = sqlite3_bind_null(statement, index);
            break;
        case Value::Type::Bytes: {
            const auto& bytes = *value.asBytes();
            // A zero-length blob is still a blob, not NULL.
            static const uint8_t empty = 0;
            rc = sqlite3_bind_blob(statement, index, bytes.empty() ? &empty : bytes.data(), int(bytes.size()),
                                   SQLITE_TRANSIENT);
            break;
        }
        case Value::Type::Date:
            rc = sqlite3_bind_double(statement, index, value.asDate()->seconds);
            break;
        case Value::Type::Bool:
            rc = sqlite3_bind_int64(statement, index, value.boolValue() ? 1 : 0);
            break;
        case Value::Type::Int:
            rc = sqlite3_bind_int64(statement, index, value.longLongValue());
            break;
        case Value::Type::UInt:
            rc = sqlite3_bind_int64(statement, index, static_cast<sqlite3_int64>(value.unsignedLongLongValue()));
            break;
        case Value::Type::Double:
        case Value::Type::Decimal:
            rc = sqlite3_bind_double(statement, index, value.doubleValue());
            break;
        case Value::Type::String: {
            const auto& s = *value.asString();
            rc = sqlite3_bind_text(statement, index, s.data(), int(s.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            std::string s = value.description();
            rc = sqlite3_bind_text(statement, index, s.data(), int(s.size()), SQLITE_TRANSIENT);
            break;
        }
    }
    return rc == SQLITE_OK;
}

std::shared_ptr<SqlStatement> SqlDatabase::prepareAndBind(const std::string& sql, Kind kind, const Binding& binding,
                                                          SqlError* error) {
    if (traceExecution_) {
        foundation::log(description(), kind == Kind::Update ? " executeUpdate: " : " executeQuery: ", sql);
        for (const auto& v : binding.positional) foundation::log("obj: ", v.description());
        if (binding.named)
            for (const auto& [k, v] : *binding.named) foundation::log("obj: ", v.description());
    }

    std::shared_ptr<SqlStatement> statement;
    if (cachedStatements_) {
        auto it = cachedStatements_->find(sql);
        // A cached statement that an open result set still steps through is
        // left alone; this query gets a fresh statement of its own.
        if (it != cachedStatements_->end() && !it->second->inUse()) {
            statement = it->second;
            statement->reset();
        }
    }

    if (!statement) {
        sqlite3_stmt* raw = nullptr;
        SqlBusyWait wait(*this);
        for (;;) {
            int rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &raw, nullptr);
            if (rc == SQLITE_OK) break;
            sqlite3_finalize(raw);
            raw = nullptr;
            if (isBusy(rc)) {
                if (!wait.retry(__func__, __LINE__)) return nullptr;
                continue;
            }
            std::string message = sqlite3_errmsg(db_);
            if (logsErrors_) {
                foundation::log("DB Error: ", lastErrorCode(), " \"", message, "\"");
                foundation::log("DB Query: ", sql);
                foundation::log("DB Path: ", databasePath_.value_or(":memory:"));
            }
            if (error) *error = SqlError{message, rc, message};
            return nullptr;
        }
        if (!raw) {
            // Only white space or a comment: nothing to run.
            if (error) *error = SqlError{"SqlDatabase", SQLITE_MISUSE, "the SQL holds no statement"};
            foundation::log("DB Query holds no statement: ", sql);
            return nullptr;
        }
        statement = std::make_shared<SqlStatement>(raw, sql);
    }

    sqlite3_stmt* stmt = statement->statement();
    int queryCount = sqlite3_bind_parameter_count(stmt);

    auto bindCountError = [&](size_t given) {
        if (kind == Kind::Update)
            foundation::log("Error: the bind count is not correct for the # of variables (", sql, ") (executeUpdate)");
        else
            foundation::log("Error: the bind count is not correct for the # of variables (executeQuery)");
        if (error)
            *error = SqlError{"SqlDatabase", SQLITE_RANGE,
                              foundation::format("the bind count (%zu) is not correct for the # of variables (%d)",
                                                 given, queryCount)};
    };

    if (binding.named) {
        if (int(binding.named->size()) != queryCount) {
            bindCountError(binding.named->size());
            return nullptr;
        }
        for (const auto& [key, value] : *binding.named) {
            int idx = sqlite3_bind_parameter_index(stmt, (":" + key).c_str());
            if (idx <= 0) {
                // Some parameter would stay unbound and silently read NULL.
                foundation::log("Could not find index for ", key);
                if (error) *error = SqlError{"SqlDatabase", SQLITE_RANGE, "Could not find index for " + key};
                return nullptr;
            }
            if (!bindObject(value, idx, stmt)) {
                if (error) *error = lastError();
                return nullptr;
            }
        }
    } else {
        if (int(binding.positional.size()) != queryCount) {
            bindCountError(binding.positional.size());
            return nullptr;
        }
        int idx = 0;
        for (const auto& value : binding.positional) {
            if (!bindObject(value, ++idx, stmt)) {
                if (error) *error = lastError();
                return nullptr;
            }
        }
    }
    return statement;
}

bool SqlDatabase::runUpdate(const std::string& sql, const Binding& binding, SqlError* error) {
    if (!beginExecuting()) {
        if (error)
            *error =
                SqlError{"SqlDatabase", SQLITE_MISUSE, db_ ? "the database is in use" : "the database is not open"};
        return false;
    }
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{isExecutingStatement_};

    auto statement = prepareAndBind(sql, Kind::Update, binding, error);
    if (!statement) return false;
    sqlite3_stmt* stmt = statement->statement();

    int rc;
    SqlBusyWait wait(*this);
    for (;;) {
        rc = sqlite3_step(stmt);
        if (!isBusy(rc)) break;
        if (rc == SQLITE_LOCKED) {
            int resetRc = sqlite3_reset(stmt);
            if (resetRc != SQLITE_LOCKED) foundation::log("Unexpected result from sqlite3_reset (", resetRc, ") eu");
        }
        if (!wait.retry(__func__, __LINE__)) break;
    }

    if (rc != SQLITE_DONE) {
        const char* msg = sqlite3_errmsg(db_);
        if (rc == SQLITE_ERROR)
            foundation::log(foundation::format("Error calling sqlite3_step (%d: %s) SQLITE_ERROR", rc, msg));
        else if (rc == SQLITE_MISUSE)
            foundation::log(foundation::format("Error calling sqlite3_step (%d: %s) SQLITE_MISUSE", rc, msg));
        else
            foundation::log(foundation::format("Unknown error calling sqlite3_step (%d: %s) eu", rc, msg));
        foundation::log("DB Query: ", sql);
        if (error) *error = SqlError{"SqlDatabase", rc, rc == SQLITE_ROW ? "the update returned rows" : msg};
    }

    int closeRc;
    std::shared_ptr<SqlStatement> cached = cachedStatementForQuery(sql);
    if (cachedStatements_ && (!cached || cached == statement)) {
        if (!cached) cachedStatements_->emplace(sql, statement);
        statement->setUseCount(statement->useCount() + 1);
        closeRc = sqlite3_reset(stmt);
    } else {
        closeRc = statement->close();
    }
    if (closeRc != SQLITE_OK && rc == SQLITE_DONE)
        foundation::log(foundation::format("Unknown error finalizing or resetting statement (%d: %s)", closeRc,
                                           sqlite3_errmsg(db_)));
    return rc == SQLITE_DONE || rc == SQLITE_OK;
}

std::unique_ptr<SqlResultSet> SqlDatabase::runQuery(const std::string& sql, const Binding& binding) {
    if (!beginExecuting()) return nullptr;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{isExecutingStatement_};

    auto statement = prepareAndBind(sql, Kind::Query, binding, nullptr);
    if (!statement) return nullptr;
    if (cachedStatements_ && !cachedStatements_->count(sql)) cachedStatements_->emplace(sql, statement);
    statement->setInUse(true);
    statement->setUseCount(statement->useCount() + 1);
    auto set = std::make_unique<SqlResultSet>(statement, this, sql);
    openResultSets_.insert(set.get());
    return set;
}

void SqlDatabase::resultSetDidClose(SqlResultSet* set) { openResultSets_.erase(set); }

bool SqlDatabase::executeUpdate(const std::string& sql, Args args) {
    return runUpdate(sql, Binding{std::span<const Value>(args.begin(), args.size())}, nullptr);
}

bool SqlDatabase::executeUpdateWithArgumentsInArray(const std::string& sql, const foundation::Array& args) {
    return runUpdate(sql, Binding{std::span<const Value>(args)}, nullptr);
}

bool SqlDatabase::executeUpdateWithParameterDictionary(const std::string& sql, const foundation::Dictionary& args) {
    return runUpdate(sql, Binding{{}, &args}, nullptr);
}

bool SqlDatabase::update(const std::string& sql, SqlError* error, Args args) {
    return runUpdate(sql, Binding{std::span<const Value>(args.begin(), args.size())}, error);
}

std::unique_ptr<SqlResultSet> SqlDatabase::executeQuery(const std::string& sql, Args args) {
    return runQuery(sql, Binding{std::span<const Value>(args.begin(), args.size())});
}

std::unique_ptr<SqlResultSet> SqlDatabase::executeQueryWithArgumentsInArray(const std::string& sql,
                                                                            const foundation::Array& args) {
    return runQuery(sql, Binding{std::span<const Value>(args)});
}

std::unique_ptr<SqlResultSet> SqlDatabase::executeQueryWithParameterDictionary(const std::string& sql,
                                                                               const foundation::Dictionary& args) {
    return runQuery(sql, Binding{{}, &args});
}

// ---------------------------------------------------------------------------
// printf-style SQL

namespace {

enum class Conv { None, Object, Char, CString, Signed, Unsigned, Floating };

// Rewrites the conversions of `format` into "?" and converts the arguments.
// False when the number of conversions differs from the number of arguments.
bool rewriteFormat(const std::string& format, std::span<const Value> args, std::string& sql,
                   foundation::Array& values) {
    size_t next = 0;
    bool ok = true;
    auto take = [&](Conv conv) {
        if (next >= args.size()) {
            ok = false;
            return;
        }
        const Value& v = args[next++];
        if (v.isNull() || conv == Conv::Object) {
            values.push_back(v);
        } else if (conv == Conv::Char) {
            values.push_back(Value(std::string(1, char(v.intValue()))));
        } else if (conv == Conv::CString) {
            values.push_back(v.isString() ? v : Value(v.description()));
        } else if (conv == Conv::Signed) {
            values.push_back(Value(v.longLongValue()));
        } else if (conv == Conv::Unsigned) {
            values.push_back(Value(v.unsignedLongLongValue()));
        } else {
            values.push_back(Value(v.doubleValue()));
        }
        sql += '?';
    };

    size_t n = format.size();
    for (size_t i = 0; i < n; ++i) {
        char c = format[i];
        if (c != '%') {
            sql += c;
            continue;
        }
        if (i + 1 >= n) break;  // a trailing "%" is dropped
        char d = format[i + 1];
        auto at = [&](size_t k) { return i + k < n ? format[i + k] : '\0'; };
        Conv conv = Conv::None;
        size_t length = 2;
        switch (d) {
            case '%':
                sql += '%';
                ++i;
                continue;
            case '@':
                conv = Conv::Object;
                break;
            case 'c':
                conv = Conv::Char;
                break;
            case 's':
                conv = Conv::CString;
                break;
            case 'd':
            case 'D':
            case 'i':
                conv = Conv::Signed;
                break;
            case 'u':
            case 'U':
                conv = Conv::Unsigned;
                break;
            case 'f':
            case 'g':
                conv = Conv::Floating;
                break;
            case 'h':
            case 'q':
                if (at(2) == 'i')
                    conv = Conv::Signed, length = 3;
                else if (at(2) == 'u')
                    conv = Conv::Unsigned, length = 3;
                break;
            case 'l':
                if (at(2) == 'd')
                    conv = Conv::Signed, length = 3;
                else if (at(2) == 'u')
                    conv = Conv::Unsigned, length = 3;
                else if (at(2) == 'l' && at(3) == 'd')
                    conv = Conv::Signed, length = 4;
                else if (at(2) == 'l' && at(3) == 'u')
                    conv = Conv::Unsigned, length = 4;
                break;
            default:
                break;
        }
        if (conv == Conv::None) continue;  // the "%" is dropped, the next character copied
        take(conv);
        i += length - 1;
    }
    if (next != args.size()) ok = false;
    return ok;
}

}  // namespace

bool SqlDatabase::executeUpdateWithFormat(const std::string& format, Args args) {
    std::string sql;
    foundation::Array values;
    if (!rewriteFormat(format, std::span<const Value>(args.begin(), args.size()), sql, values)) {
        foundation::log("Error: the number of arguments does not match the conversions of (", format,
                        ") (executeUpdate)");
        return false;
    }
    return executeUpdateWithArgumentsInArray(sql, values);
}

std::unique_ptr<SqlResultSet> SqlDatabase::executeQueryWithFormat(const std::string& format, Args args) {
    std::string sql;
    foundation::Array values;
    if (!rewriteFormat(format, std::span<const Value>(args.begin(), args.size()), sql, values)) {
        foundation::log("Error: the number of arguments does not match the conversions of (", format,
                        ") (executeQuery)");
        return nullptr;
    }
    return executeQueryWithArgumentsInArray(sql, values);
}

// ---------------------------------------------------------------------------
// Transactions and save points

bool SqlDatabase::beginTransaction() {
    bool ok = executeUpdate("begin exclusive transaction");
    if (ok) inTransaction_ = true;
    return ok;
}

bool SqlDatabase::beginDeferredTransaction() {
    bool ok = executeUpdate("begin deferred transaction");
    if (ok) inTransaction_ = true;
    return ok;
}

bool SqlDatabase::commit() {
    bool ok = executeUpdate("commit transaction");
    if (ok) inTransaction_ = false;
    return ok;
}

bool SqlDatabase::rollback() {
    bool ok = executeUpdate("rollback transaction");
    if (ok) inTransaction_ = false;
    return ok;
}

std::string SqlDatabase::quoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

bool SqlDatabase::startSavePointWithName(const std::string& name, SqlError* error) {
    bool ok = executeUpdate("savepoint " + quoteIdentifier(name) + ";");
    if (!ok && error) *error = lastError();
    return ok;
}

bool SqlDatabase::releaseSavePointWithName(const std::string& name, SqlError* error) {
    bool ok = executeUpdate("release savepoint " + quoteIdentifier(name) + ";");
    if (!ok && error) *error = lastError();
    return ok;
}

bool SqlDatabase::rollbackToSavePointWithName(const std::string& name, SqlError* error) {
    bool ok = executeUpdate("rollback transaction to savepoint " + quoteIdentifier(name) + ";");
    if (!ok && error) *error = lastError();
    return ok;
}

std::optional<SqlError> SqlDatabase::inSavePoint(const std::function<void(bool& rollback)>& block) {
    std::string name = "dbSavePoint" + std::to_string(++savePointCounter);
    SqlError error;
    if (!startSavePointWithName(name, &error)) return error;
    bool shouldRollback = false;
    block(shouldRollback);
    if (shouldRollback) {
        // Rolling back to a save point keeps it open; release it as well so
        // nothing of it stays behind.
        if (!rollbackToSavePointWithName(name, &error)) return error;
    }
    if (!releaseSavePointWithName(name, &error)) return error;
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// Error state and housekeeping

std::string SqlDatabase::lastErrorMessage() const { return db_ ? sqlite3_errmsg(db_) : "not an error"; }

int SqlDatabase::lastErrorCode() const { return db_ ? sqlite3_errcode(db_) : SQLITE_OK; }

bool SqlDatabase::hadError() const {
    int code = lastErrorCode();
    return code > SQLITE_OK && code < SQLITE_ROW;
}

SqlError SqlDatabase::lastError() const { return SqlError{"SqlDatabase", lastErrorCode(), lastErrorMessage()}; }

int64_t SqlDatabase::lastInsertRowId() const {
    if (isExecutingStatement_) {
        warnInUse();
        return 0;
    }
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

int SqlDatabase::changes() const {
    if (isExecutingStatement_) {
        warnInUse();
        return 0;
    }
    return db_ ? sqlite3_changes(db_) : 0;
}

bool SqlDatabase::goodConnection() {
    if (!db_) return false;
    auto rs = executeQuery("select name from sqlite_master where type='table'");
    if (!rs) return false;
    rs->close();
    return true;
}

bool SqlDatabase::databaseExists() const {
    if (!db_) {
        foundation::log("The SqlDatabase ", databasePath_.value_or(":memory:"), " is not open.");
        return false;
    }
    return true;
}

void SqlDatabase::closeOpenResultSets() {
    auto sets = openResultSets_;
    for (SqlResultSet* set : sets) set->close();
    openResultSets_.clear();
}

void SqlDatabase::clearCachedStatements() {
    if (!cachedStatements_) return;
    for (auto& [sql, statement] : *cachedStatements_) {
        // A statement still stepped by an open result set is closed with it.
        if (!statement->inUse()) statement->close();
    }
    cachedStatements_->clear();
}

void SqlDatabase::setShouldCacheStatements(bool value) {
    shouldCacheStatements_ = value;
    if (value && !cachedStatements_) {
        cachedStatements_ = std::make_unique<std::unordered_map<std::string, std::shared_ptr<SqlStatement>>>();
    }
    if (!value) {
        clearCachedStatements();
        cachedStatements_.reset();
    }
}

std::shared_ptr<SqlStatement> SqlDatabase::cachedStatementForQuery(const std::string& sql) const {
    if (!cachedStatements_) return nullptr;
    auto it = cachedStatements_->find(sql);
    return it == cachedStatements_->end() ? nullptr : it->second;
}

namespace {
void callSqlFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* block = static_cast<SqlDatabase::SqlFunction*>(sqlite3_user_data(context));
    (*block)(context, argc, argv);
}
}  // namespace

void SqlDatabase::makeFunctionNamed(const std::string& name, int maximumArguments, SqlFunction block) {
    openFunctions_.push_back(std::make_unique<SqlFunction>(std::move(block)));
    if (db_)
        sqlite3_create_function(db_, name.c_str(), maximumArguments, SQLITE_UTF8, openFunctions_.back().get(),
                                callSqlFunction, nullptr, nullptr);
}

bool SqlDatabase::setKey(const std::string&) { return false; }
bool SqlDatabase::rekey(const std::string&) { return false; }
