#pragma once
// The rows of one query. next() steps; the getters read the current row by
// column index (0-based) or by column name (case-insensitive). A NULL column,
// an index outside the row or an unknown name gives nullopt / nullptr / 0.
//
// A result set may outlive its database handle: closing the handle closes
// the set, which then reports no more rows.

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>

#include "lib/sql/SqlStatement.h"
#include "platform/foundation/Value.h"

class SqlDatabase;

class SqlResultSet {
public:
    SqlResultSet(std::shared_ptr<SqlStatement> statement, SqlDatabase* parentDB, std::string query);
    ~SqlResultSet();  // closes
    SqlResultSet(const SqlResultSet&) = delete;
    SqlResultSet& operator=(const SqlResultSet&) = delete;

    // True while a row is available; closes the set at the end or on error.
    bool next();
    // The connection's last answer was a row.
    bool hasAnotherRow() const;
    void close();

    const std::string& query() const { return query_; }
    SqlDatabase* parentDB() const { return parentDB_; }
    const std::shared_ptr<SqlStatement>& statement() const { return statement_; }

    int columnCount() const;
    // -1 (and a warning) for an unknown name.
    int columnIndexForName(const std::string& columnName);
    std::optional<std::string> columnNameForIndex(int columnIdx) const;

    int intForColumnIndex(int columnIdx) const;
    int intForColumn(const std::string& columnName);
    long longForColumnIndex(int columnIdx) const;
    long longForColumn(const std::string& columnName);
    long long longLongIntForColumnIndex(int columnIdx) const;
    long long longLongIntForColumn(const std::string& columnName);
    // The stored signed 64-bit value, reinterpreted.
    unsigned long long unsignedLongLongIntForColumnIndex(int columnIdx) const;
    unsigned long long unsignedLongLongIntForColumn(const std::string& columnName);
    bool boolForColumnIndex(int columnIdx) const;
    bool boolForColumn(const std::string& columnName);
    double doubleForColumnIndex(int columnIdx) const;
    double doubleForColumn(const std::string& columnName);
    std::optional<std::string> stringForColumnIndex(int columnIdx) const;
    std::optional<std::string> stringForColumn(const std::string& columnName);
    // Seconds since 1970.
    std::optional<foundation::Date> dateForColumnIndex(int columnIdx) const;
    std::optional<foundation::Date> dateForColumn(const std::string& columnName);
    // A copy of the blob.
    std::optional<foundation::Bytes> dataForColumnIndex(int columnIdx) const;
    std::optional<foundation::Bytes> dataForColumn(const std::string& columnName);
    // The blob's bytes in place: valid until the next step or close.
    std::optional<std::span<const uint8_t>> dataNoCopyForColumnIndex(int columnIdx) const;
    std::optional<std::span<const uint8_t>> dataNoCopyForColumn(const std::string& columnName);
    // The text in place (nullptr for NULL): valid until the next step or close.
    const char* UTF8StringForColumnIndex(int columnIdx) const;
    const char* UTF8StringForColumnName(const std::string& columnName);
    // Integer columns give a 64-bit integer, float columns a double, blobs
    // bytes, NULL the null value, anything else text.
    foundation::Value objectForColumnIndex(int columnIdx) const;
    foundation::Value objectForColumnName(const std::string& columnName);
    bool columnIndexIsNull(int columnIdx) const;
    bool columnIsNull(const std::string& columnName);

    // The current row as a map from column name to object; nullopt (and a
    // warning) when the row holds no data.
    std::optional<foundation::Dictionary> resultDictionary() const;
    std::optional<foundation::Dictionary> resultDict() const { return resultDictionary(); }
    // Hands every non-NULL column, as text, to `setValueForKey` with its name.
    void kvcMagic(const std::function<void(const std::string& key, const std::string& value)>& setValueForKey) const;

private:
    // The statement when the set is open and the index is a column of the row.
    sqlite3_stmt* columnStatement(int columnIdx) const;
    void setupColumnNames();

    SqlDatabase* parentDB_;
    std::shared_ptr<SqlStatement> statement_;
    std::string query_;
    std::unordered_map<std::string, int> columnNameToIndexMap_;
    bool columnNamesSetup_ = false;
};
