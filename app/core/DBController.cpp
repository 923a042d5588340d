#include "app/core/DBController.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "app/core/StoreKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace {

// The store holds the token key and the start PIN: a new file is made
// readable and writable by its owner only. SQLite's journal files take the
// mode of the database file. An existing file is left as it is.
void createPrivateFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == ENOENT) {
        foundation::createDirectories(foundation::documentsDir());
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    }
    if (fd >= 0) ::close(fd);
}

}  // namespace

std::string DBController::getPath() {
    // Resolving the Documents folder makes it (and the home) on every call,
    // a handful of file-system calls; the answer only changes with the
    // environment that names the home, so it is kept until that changes.
    static std::mutex mutex;
    static std::string lastEnvironment;
    static std::string lastPath;
    std::string environment;
    for (const char* name : {"QUENTA_HOME", "XDG_DATA_HOME", "HOME"}) {
        const char* v = std::getenv(name);
        environment += v ? v : "";
        environment += '\n';
    }
    std::lock_guard<std::mutex> guard(mutex);
    if (lastPath.empty() || environment != lastEnvironment) {
        lastPath = foundation::joinPath(foundation::documentsDir(), StoreKeys::dataBaseName);
        lastEnvironment = std::move(environment);
    }
    return lastPath;
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

DBController::DBController() : path_(getPath()) {
    createPrivateFile(path_);
    dataBase_ = SqlDatabase::databaseWithPath(path_);
    // A controller may run the same statements again; they are prepared once.
    dataBase_->setShouldCacheStatements(true);
    if (!dataBase_->open()) foundation::log("Create/Open dataBase ", path_, " Failed!");
}

DBController::DBController(ExistingOnly, std::string path) : path_(std::move(path)) {
    dataBase_ = SqlDatabase::databaseWithPath(path_);
    dataBase_->setShouldCacheStatements(true);
    // Opening without the create flag fails when the file is missing.
    if (!dataBase_->openWithFlags(SQLITE_OPEN_READWRITE)) dataBase_.reset();
}

std::unique_ptr<DBController> DBController::openExisting() {
    std::unique_ptr<DBController> controller(new DBController(ExistingOnly{}, getPath()));
    if (!controller->dataBase_) return nullptr;
    return controller;
}

bool DBController::fileStillExists() const { return foundation::fileExists(path_); }

DBController::~DBController() { closeDatabase(); }

bool DBController::createTable() {
    return dataBase_->executeUpdate(
        "create table if not exists personTable(id integer primary key autoincrement, key text,value text);");
}

bool DBController::initDatabase() {
    if (!fileStillExists()) return false;
    return createTable();
}

bool DBController::write(const std::string& sql, std::initializer_list<foundation::Value> args) {
    if (!fileStillExists()) return false;
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

bool DBController::InsertRows(const std::vector<std::pair<std::string, std::string>>& rows) {
    if (!fileStillExists()) return false;
    if (!dataBase_->beginTransaction()) return false;
    for (const auto& [key, value] : rows) {
        if (!dataBase_->executeUpdate("INSERT INTO personTable (key,value) VALUES (?,?)", {key, value})) {
            dataBase_->rollback();
            return false;
        }
    }
    if (dataBase_->commit()) return true;
    if (dataBase_->inTransaction()) dataBase_->rollback();
    return false;
}

bool DBController::UpdataTable(const std::string& value, const std::string& key) {
    return write("UPDATE personTable SET value=? WHERE key=?", {value, key});
}

std::optional<std::map<std::string, std::string>> DBController::querryTable() {
    if (!fileStillExists()) return std::nullopt;
    auto rs = dataBase_->executeQuery("select * from personTable order by id");
    if (!rs) return std::nullopt;
    std::map<std::string, std::string> rows;
    int keyIdx = rs->columnIndexForName("key");
    int valueIdx = rs->columnIndexForName("value");
    while (rs->next()) {
        auto key = rs->stringForColumnIndex(keyIdx);
        auto value = rs->stringForColumnIndex(valueIdx);
        if (key && value) rows.insert_or_assign(std::move(*key), std::move(*value));
    }
    // next() ends on the last row or on an error; only the first is a full read.
    if (dataBase_->hadError()) return std::nullopt;
    return rows;
}

bool DBController::deleteTable() {
    if (!fileStillExists()) return false;
    return dataBase_->executeUpdate("drop table " + SqlDatabase::quoteIdentifier(StoreKeys::tableName) + ";");
}

void DBController::closeDatabase() {
    if (dataBase_) dataBase_->close();
}
