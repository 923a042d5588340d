#include "lib/sql/SqlResultSet.h"

#include "lib/sql/SqlDatabase.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

using foundation::Value;

SqlResultSet::SqlResultSet(std::shared_ptr<SqlStatement> statement, SqlDatabase* parentDB, std::string query)
    : parentDB_(parentDB), statement_(std::move(statement)), query_(std::move(query)) {}

SqlResultSet::~SqlResultSet() { close(); }

void SqlResultSet::close() {
    if (statement_) {
        statement_->reset();
        statement_->setInUse(false);
        statement_.reset();
    }
    if (parentDB_) {
        SqlDatabase* parent = parentDB_;
        parentDB_ = nullptr;
        parent->resultSetDidClose(this);
    }
}

bool SqlResultSet::next() {
    if (!statement_ || !statement_->statement() || !parentDB_) return false;
    sqlite3_stmt* stmt = statement_->statement();
    sqlite3* db = parentDB_->sqliteHandle();

    int rc;
    SqlBusyWait wait(*parentDB_);
    for (;;) {
        rc = sqlite3_step(stmt);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
        if (rc == SQLITE_LOCKED) {
            int resetRc = sqlite3_reset(stmt);
            if (resetRc != SQLITE_LOCKED) foundation::log("Unexpected result from sqlite3_reset (", resetRc, ") rs");
        }
        if (!wait.retry(__func__, __LINE__)) break;
    }

    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) {
        if (rc == SQLITE_ERROR || rc == SQLITE_MISUSE)
            foundation::log(foundation::format("Error calling sqlite3_step (%d: %s) rs", rc, sqlite3_errmsg(db)));
        else
            foundation::log(
                foundation::format("Unknown error calling sqlite3_step (%d: %s) rs", rc, sqlite3_errmsg(db)));
    }
    close();
    return false;
}

bool SqlResultSet::hasAnotherRow() const {
    return parentDB_ && parentDB_->sqliteHandle() && sqlite3_errcode(parentDB_->sqliteHandle()) == SQLITE_ROW;
}

int SqlResultSet::columnCount() const {
    return statement_ && statement_->statement() ? sqlite3_column_count(statement_->statement()) : 0;
}

void SqlResultSet::setupColumnNames() {
    int count = columnCount();
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(statement_->statement(), i);
        if (name) columnNameToIndexMap_.emplace(foundation::toLower(name), i);
    }
    columnNamesSetup_ = true;
}

int SqlResultSet::columnIndexForName(const std::string& columnName) {
    if (!columnNamesSetup_ && statement_) setupColumnNames();
    auto it = columnNameToIndexMap_.find(foundation::toLower(columnName));
    if (it != columnNameToIndexMap_.end()) return it->second;
    foundation::log("Warning: I could not find the column named '", columnName, "'.");
    return -1;
}

std::optional<std::string> SqlResultSet::columnNameForIndex(int columnIdx) const {
    if (columnIdx < 0 || columnIdx >= columnCount()) return std::nullopt;
    const char* name = sqlite3_column_name(statement_->statement(), columnIdx);
    if (!name) return std::nullopt;
    return std::string(name);
}

sqlite3_stmt* SqlResultSet::columnStatement(int columnIdx) const {
    if (!statement_ || !statement_->statement()) return nullptr;
    sqlite3_stmt* stmt = statement_->statement();
    if (columnIdx < 0 || columnIdx >= sqlite3_data_count(stmt)) return nullptr;
    return stmt;
}

bool SqlResultSet::columnIndexIsNull(int columnIdx) const {
    sqlite3_stmt* stmt = columnStatement(columnIdx);
    return !stmt || sqlite3_column_type(stmt, columnIdx) == SQLITE_NULL;
}

int SqlResultSet::intForColumnIndex(int columnIdx) const {
    sqlite3_stmt* stmt = columnStatement(columnIdx);
    return stmt ? sqlite3_column_int(stmt, columnIdx) : 0;
}

long SqlResultSet::longForColumnIndex(int columnIdx) const {
    sqlite3_stmt* stmt = columnStatement(columnIdx);
    return stmt ? long(sqlite3_column_int64(stmt, columnIdx)) : 0;
}

long long SqlResultSet::longLongIntForColumnIndex(int columnIdx) const {
    sqlite3_stmt* stmt = columnStatement(columnIdx);
    return stmt ? sqlite3_column_int64(stmt, columnIdx) : 0;
}

unsigned long long SqlResultSet::unsignedLongLongIntForColumnIndex(int columnIdx) const {
    return static_cast<unsigned long long>(longLongIntForColumnIndex(columnIdx));
}

// Judged on the full 64-bit value: 1 << 32 is true, not its low 32 bits.
bool SqlResultSet::boolForColumnIndex(int columnIdx) const { return longLongIntForColumnIndex(columnIdx) != 0; }

double SqlResultSet::doubleForColumnIndex(int columnIdx) const {
    sqlite3_stmt* stmt = columnStatement(columnIdx);
    return stmt ? sqlite3_column_double(stmt, columnIdx) : 0.0;
}

std::optional<std::string> SqlResultSet::stringForColumnIndex(int columnIdx) const {
    sqlite3_stmt* stmt = columnStatement(columnIdx);
    if (!stmt) return std::nullopt;
    // No text pointer for a NULL column.
    const unsigned char* text = sqlite3_column_text(stmt, columnIdx);
    if (!text) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(text), size_t(sqlite3_column_bytes(stmt, columnIdx)));
}

std::optional<foundation::Date> SqlResultSet::dateForColumnIndex(int columnIdx) const {
    if (columnIndexIsNull(columnIdx)) return std::nullopt;
    return foundation::Date{doubleForColumnIndex(columnIdx)};
}

std::optional<std::span<const uint8_t>> SqlResultSet::dataNoCopyForColumnIndex(int columnIdx) const {
    if (columnIndexIsNull(columnIdx)) return std::nullopt;
    sqlite3_stmt* stmt = statement_->statement();
    const void* bytes = sqlite3_column_blob(stmt, columnIdx);
    size_t n = size_t(sqlite3_column_bytes(stmt, columnIdx));
    if (!bytes || n == 0) return std::span<const uint8_t>();
    return std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), n);
}

std::optional<foundation::Bytes> SqlResultSet::dataForColumnIndex(int columnIdx) const {
    auto bytes = dataNoCopyForColumnIndex(columnIdx);
    if (!bytes) return std::nullopt;
    return foundation::Bytes(bytes->begin(), bytes->end());
}

const char* SqlResultSet::UTF8StringForColumnIndex(int columnIdx) const {
    if (columnIndexIsNull(columnIdx)) return nullptr;
    return reinterpret_cast<const char*>(sqlite3_column_text(statement_->statement(), columnIdx));
}

Value SqlResultSet::objectForColumnIndex(int columnIdx) const {
    sqlite3_stmt* stmt = columnStatement(columnIdx);
    if (!stmt) return Value();
    switch (sqlite3_column_type(stmt, columnIdx)) {
        case SQLITE_INTEGER:
            return Value(static_cast<long long>(sqlite3_column_int64(stmt, columnIdx)));
        case SQLITE_FLOAT:
            return Value(sqlite3_column_double(stmt, columnIdx));
        case SQLITE_BLOB:
            return Value(*dataForColumnIndex(columnIdx));
        case SQLITE_NULL:
            return Value();
        default:
            return Value(*stringForColumnIndex(columnIdx));
    }
}

int SqlResultSet::intForColumn(const std::string& n) { return intForColumnIndex(columnIndexForName(n)); }
long SqlResultSet::longForColumn(const std::string& n) { return longForColumnIndex(columnIndexForName(n)); }
long long SqlResultSet::longLongIntForColumn(const std::string& n) {
    return longLongIntForColumnIndex(columnIndexForName(n));
}
unsigned long long SqlResultSet::unsignedLongLongIntForColumn(const std::string& n) {
    return unsignedLongLongIntForColumnIndex(columnIndexForName(n));
}
bool SqlResultSet::boolForColumn(const std::string& n) { return boolForColumnIndex(columnIndexForName(n)); }
double SqlResultSet::doubleForColumn(const std::string& n) { return doubleForColumnIndex(columnIndexForName(n)); }
std::optional<std::string> SqlResultSet::stringForColumn(const std::string& n) {
    return stringForColumnIndex(columnIndexForName(n));
}
std::optional<foundation::Date> SqlResultSet::dateForColumn(const std::string& n) {
    return dateForColumnIndex(columnIndexForName(n));
}
std::optional<foundation::Bytes> SqlResultSet::dataForColumn(const std::string& n) {
    return dataForColumnIndex(columnIndexForName(n));
}
std::optional<std::span<const uint8_t>> SqlResultSet::dataNoCopyForColumn(const std::string& n) {
    return dataNoCopyForColumnIndex(columnIndexForName(n));
}
const char* SqlResultSet::UTF8StringForColumnName(const std::string& n) {
    return UTF8StringForColumnIndex(columnIndexForName(n));
}
Value SqlResultSet::objectForColumnName(const std::string& n) { return objectForColumnIndex(columnIndexForName(n)); }
bool SqlResultSet::columnIsNull(const std::string& n) { return columnIndexIsNull(columnIndexForName(n)); }

std::optional<foundation::Dictionary> SqlResultSet::resultDictionary() const {
    if (!statement_ || !statement_->statement() || sqlite3_data_count(statement_->statement()) == 0) {
        foundation::log("Warning: There seem to be no columns in this set.");
        return std::nullopt;
    }
    foundation::Dictionary row;
    int count = columnCount();
    for (int i = 0; i < count; ++i) row.set(columnNameForIndex(i).value_or(""), objectForColumnIndex(i));
    return row;
}

void SqlResultSet::kvcMagic(
    const std::function<void(const std::string& key, const std::string& value)>& setValueForKey) const {
    if (!statement_ || !statement_->statement()) return;
    int count = sqlite3_data_count(statement_->statement());
    for (int i = 0; i < count; ++i) {
        auto text = stringForColumnIndex(i);
        if (text) setValueForKey(columnNameForIndex(i).value_or(""), *text);
    }
}
