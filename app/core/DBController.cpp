#include "app/core/DBController.h"

#include <fcntl.h>
#include <unistd.h>

#include "app/core/StoreKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace {

// The store holds the token key and the start PIN: a new file is made
// readable and writable by its owner only. SQLite's journal files take the
// mode of the database file.
void createPrivateFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
}

}  // namespace

std::string DBController::getPath() {
    return foundation::joinPath(foundation::documentsDir(), StoreKeys::dataBaseName);
}

bool DBController::databaseExit() { return foundation::fileExists(getPath()); }

bool DBController::deleteDataBase() {
    std::string path = getPath();
    if (!foundation::fileExists(path)) return false;
    foundation::removeItem(path);
    // A journal left by an interrupted write belongs to the deleted file; a
    // new file must not pick it up.
    foundation::removeItem(path + "-journal");
    return true;
}

DBController::DBController() {
    std::string path = getPath();
    foundation::createDirectories(foundation::documentsDir());
    createPrivateFile(path);
    dataBase_ = SqlDatabase::databaseWithPath(path);
    if (!dataBase_->open()) foundation::log("Create/Open dataBase ", path, " Failed!");
}

DBController::~DBController() { closeDatabase(); }

bool DBController::createTable() {
    return dataBase_->executeUpdate(
        "create table if not exists personTable(id integer primary key autoincrement, key text,value text);");
}

bool DBController::initDatabase() {
    if (!databaseExit()) return false;
    return createTable();
}

bool DBController::write(const std::string& sql, std::initializer_list<foundation::Value> args) {
    if (!databaseExit()) return false;
    if (!dataBase_->beginTransaction()) return false;
    bool ok = dataBase_->executeUpdate(sql, args);
    // The commit is issued whatever the statement gave; a write only counts
    // when the commit took it to the file.
    bool committed = dataBase_->commit();
    if (!committed && dataBase_->inTransaction()) dataBase_->rollback();
    return ok && committed;
}

bool DBController::InsertTable(const std::string& key, const std::string& value) {
    return write("INSERT INTO personTable (key,value) VALUES (?,?)", {key, value});
}

bool DBController::UpdataTable(const std::string& value, const std::string& key) {
    return write("UPDATE personTable SET value=? WHERE key=?", {value, key});
}

std::optional<std::map<std::string, std::string>> DBController::querryTable() {
    if (!databaseExit()) return std::nullopt;
    auto rs = dataBase_->executeQuery("select * from personTable order by id");
    if (!rs) return std::nullopt;
    std::map<std::string, std::string> rows;
    while (rs->next()) {
        auto key = rs->stringForColumn("key");
        auto value = rs->stringForColumn("value");
        if (key && value) rows[*key] = *value;
    }
    // next() ends on the last row or on an error; only the first is a full read.
    if (dataBase_->hadError()) return std::nullopt;
    return rows;
}

bool DBController::deleteTable() {
    if (!databaseExit()) return false;
    return dataBase_->executeUpdate("drop table " + SqlDatabase::quoteIdentifier(StoreKeys::tableName) + ";");
}

void DBController::closeDatabase() {
    if (dataBase_) dataBase_->close();
}
