#include "lib/sql/SqlStatement.h"

#include "platform/foundation/Text.h"

SqlStatement::SqlStatement(sqlite3_stmt* statement, std::string query)
    : statement_(statement), query_(std::move(query)) {}

SqlStatement::~SqlStatement() { close(); }

int SqlStatement::close() {
    int rc = SQLITE_OK;
    if (statement_) {
        rc = sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
    return rc;
}

void SqlStatement::reset() {
    if (statement_) sqlite3_reset(statement_);
}

std::string SqlStatement::description() const {
    return foundation::format("<SqlStatement: %p> %ld hit(s) for query %s", static_cast<const void*>(this), useCount_,
                              query_.c_str());
}
