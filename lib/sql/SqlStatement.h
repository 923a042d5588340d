#pragma once
// One prepared statement with the use count the statement cache keeps.

#include <sqlite3.h>

#include <string>

class SqlStatement {
public:
    SqlStatement(sqlite3_stmt* statement, std::string query);
    ~SqlStatement();  // closes
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    sqlite3_stmt* statement() const { return statement_; }
    const std::string& query() const { return query_; }
    long useCount() const { return useCount_; }
    void setUseCount(long n) { useCount_ = n; }

    // True while an open result set steps through this statement; a cached
    // statement in use is never handed to a second query.
    bool inUse() const { return inUse_; }
    void setInUse(bool v) { inUse_ = v; }

    // Finalises the statement (once; later calls do nothing) and returns
    // SQLite's answer.
    int close();
    // Resets the statement so it can run again.
    void reset();

    // "<SqlStatement: 0x...> N hit(s) for query SQL"
    std::string description() const;

private:
    sqlite3_stmt* statement_;
    std::string query_;
    long useCount_ = 0;
    bool inUse_ = false;
};
