// Single-value queries and schema questions of SqlDatabase.
#include <unistd.h>

#include "lib/sql/SqlDatabase.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace {

// Runs the query and hands its first row (when there is one) to `read`.
template <typename T, typename Read>
T firstColumn(SqlDatabase& db, const std::string& sql, SqlDatabase::Args args, T none, Read read) {
    auto rs = db.executeQuery(sql, args);
    if (!rs || !rs->next()) return none;
    T value = read(*rs);
    rs->close();
    return value;
}

}  // namespace

std::optional<std::string> SqlDatabase::stringForQuery(const std::string& sql, Args args) {
    return firstColumn<std::optional<std::string>>(*this, sql, args, std::nullopt,
                                                   [](SqlResultSet& rs) { return rs.stringForColumnIndex(0); });
}

int SqlDatabase::intForQuery(const std::string& sql, Args args) {
    return firstColumn<int>(*this, sql, args, 0, [](SqlResultSet& rs) { return rs.intForColumnIndex(0); });
}

long SqlDatabase::longForQuery(const std::string& sql, Args args) {
    return firstColumn<long>(*this, sql, args, 0, [](SqlResultSet& rs) { return rs.longForColumnIndex(0); });
}

bool SqlDatabase::boolForQuery(const std::string& sql, Args args) {
    return firstColumn<bool>(*this, sql, args, false, [](SqlResultSet& rs) { return rs.boolForColumnIndex(0); });
}

double SqlDatabase::doubleForQuery(const std::string& sql, Args args) {
    return firstColumn<double>(*this, sql, args, 0.0, [](SqlResultSet& rs) { return rs.doubleForColumnIndex(0); });
}

std::optional<foundation::Bytes> SqlDatabase::dataForQuery(const std::string& sql, Args args) {
    return firstColumn<std::optional<foundation::Bytes>>(*this, sql, args, std::nullopt,
                                                         [](SqlResultSet& rs) { return rs.dataForColumnIndex(0); });
}

std::optional<foundation::Date> SqlDatabase::dateForQuery(const std::string& sql, Args args) {
    return firstColumn<std::optional<foundation::Date>>(*this, sql, args, std::nullopt,
                                                        [](SqlResultSet& rs) { return rs.dateForColumnIndex(0); });
}

bool SqlDatabase::tableExists(const std::string& tableName) {
    auto rs = executeQuery("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
                           {foundation::toLower(tableName)});
    if (!rs) return false;
    bool found = rs->next();
    rs->close();
    return found;
}

std::unique_ptr<SqlResultSet> SqlDatabase::getSchema() {
    return executeQuery(
        "SELECT type, name, tbl_name, rootpage, sql FROM (SELECT * FROM sqlite_master UNION ALL SELECT * FROM "
        "sqlite_temp_master) WHERE type != 'meta' AND name NOT LIKE 'sqlite_%' ORDER BY tbl_name, type DESC, name");
}

std::unique_ptr<SqlResultSet> SqlDatabase::getTableSchema(const std::string& tableName) {
    // The table-valued form takes the name as a bound value, so no name can
    // change the statement.
    return executeQuery("SELECT * FROM pragma_table_info(?)", {tableName});
}

bool SqlDatabase::columnExists(const std::string& tableName, const std::string& columnName) {
    std::string wanted = foundation::toLower(columnName);
    auto rs = getTableSchema(tableName);
    if (!rs) return false;
    while (rs->next()) {
        auto name = rs->stringForColumn("name");
        if (name && foundation::toLower(*name) == wanted) {
            rs->close();
            return true;
        }
    }
    return false;
}

bool SqlDatabase::validateSQL(const std::string& sql, SqlError* error) {
    if (!db_) {
        if (error) *error = SqlError{"SqlDatabase", SQLITE_MISUSE, "the database is not open"};
        return false;
    }
    sqlite3_stmt* stmt = nullptr;
    SqlBusyWait wait(*this);
    int rc;
    for (;;) {
        rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &stmt, nullptr);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
        sqlite3_finalize(stmt);
        stmt = nullptr;
        if (!wait.retry(__func__, __LINE__)) break;
    }
    bool ok = rc == SQLITE_OK;
    if (!ok && error) *error = SqlError{"SqlDatabase", rc, sqlite3_errmsg(db_)};
    sqlite3_finalize(stmt);
    return ok;
}
