#include "app/core/DBController.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

constexpr const char* kCreateTable =
    "create table if not exists personTable(id integer primary key autoincrement, key text,value text);";
constexpr const char* kInsertRow = "INSERT INTO personTable (key,value) VALUES (?,?)";

// Only an answer about the file's contents says that it is damaged; a lock,
// an I/O error, a full disk or a read-only folder say nothing about them.
bool isDamageCode(int rc) {
    rc &= 0xff;
    return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB || rc == SQLITE_FORMAT || rc == SQLITE_ERROR;
}

// Inside a transaction the caller began: the table (when missing), none of
// its old rows, then the new ones.
bool fillTable(SqlDatabase& db, const std::vector<std::pair<std::string, std::string>>& rows) {
    if (!db.executeUpdate(kCreateTable) || !db.executeUpdate("delete from personTable")) return false;
    for (const auto& row : rows)
        if (!db.executeUpdate(kInsertRow, {row.first, row.second})) return false;
    return true;
}

// Runs `body` in an exclusive transaction: committed when it succeeds,
// rolled back otherwise.
template <class Body>
bool inExclusiveTransaction(SqlDatabase& db, Body body) {
    if (!db.beginTransaction()) return false;
    if (body() && db.commit()) return true;
    if (db.inTransaction()) db.rollback();
    return false;
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

StoreReading DBController::readStore() {
    StoreReading out;
    const std::string path = getPath();
    if (!foundation::fileExists(path)) return out;
    SqlDatabase db(path);
    // Opening never creates the file; one that cannot be opened at all (a
    // folder, no permission) is not a store.
    if (!db.openWithFlags(SQLITE_OPEN_READWRITE)) {
        out.kind = foundation::fileExists(path) ? StoreReading::Damaged : StoreReading::Missing;
        return out;
    }
    // The caller decides how long to wait (and keeps its window alive
    // meanwhile): one short try here.
    db.setBusyRetryTimeout(1);
    db.setMaxBusyRetryTimeInterval(0.05);
    auto failed = [&] {
        out.kind = isDamageCode(db.lastErrorCode()) ? StoreReading::Damaged : StoreReading::Busy;
        out.rows.clear();
        return out;
    };
    auto tables =
        db.executeQuery("select count(*) from sqlite_master where type = 'table' and name = ?", {StoreKeys::tableName});
    if (!tables || !tables->next()) return failed();
    const bool hasTable = tables->intForColumnIndex(0) > 0;
    tables->close();
    out.kind = StoreReading::Readable;
    if (!hasTable) return out;
    auto rs = db.executeQuery("select key, value from personTable order by id");
    if (!rs) return failed();
    while (rs->next()) {
        auto key = rs->stringForColumnIndex(0);
        auto value = rs->stringForColumnIndex(1);
        if (key && value) out.rows.insert_or_assign(std::move(*key), std::move(*value));
    }
    // next() ends on the last row or on an error; only the first is a full read.
    if (db.hadError()) return failed();
    return out;
}

std::optional<std::string> DBController::moveDamagedAside() {
    const std::string path = getPath();
    if (!foundation::fileExists(path)) return std::nullopt;
    std::string copy = path + ".damaged";
    for (int n = 2; foundation::fileExists(copy) || foundation::fileExists(copy + "-journal"); ++n)
        copy = path + ".damaged-" + std::to_string(n);
    if (std::rename(path.c_str(), copy.c_str()) != 0) {
        foundation::log("the damaged store could not be moved aside: ", std::strerror(errno));
        return std::nullopt;
    }
    // A journal belongs to its file: it goes with the copy, and a new store
    // must not pick it up.
    const std::string journal = path + "-journal";
    if (foundation::fileExists(journal) && std::rename(journal.c_str(), (copy + "-journal").c_str()) != 0)
        foundation::removeItem(journal);
    foundation::log("the damaged store was moved aside to ", copy);
    return copy;
}

bool DBController::replaceAllRows(const std::vector<std::pair<std::string, std::string>>& rows) {
    const std::string path = getPath();
    if (foundation::fileExists(path)) {
        // A file that is no store cannot take a transaction: it is kept
        // aside and the new store is built as a first one.
        if (readStore().kind == StoreReading::Damaged) moveDamagedAside();
    }
    if (foundation::fileExists(path)) {
        auto controller = openExisting();
        if (!controller) return false;
        SqlDatabase& db = *controller->dataBase();
        return inExclusiveTransaction(db, [&] { return fillTable(db, rows); });
    }
    // A first store: built whole beside the path, then renamed into place,
    // so that an interruption leaves no store rather than a torn one.
    const std::string side = path + ".new";
    foundation::removeItem(side);
    foundation::removeItem(side + "-journal");
    createPrivateFile(side);
    bool ok = false;
    {
        SqlDatabase db(side);
        ok = db.openWithFlags(SQLITE_OPEN_READWRITE) && inExclusiveTransaction(db, [&] { return fillTable(db, rows); });
        db.close();
    }
    // A journal left without its file would be taken for the new one's.
    if (ok) foundation::removeItem(path + "-journal");
    if (ok && std::rename(side.c_str(), path.c_str()) != 0) {
        foundation::log("the new store could not be put in place: ", std::strerror(errno));
        ok = false;
    }
    if (!ok) {
        foundation::removeItem(side);
        foundation::removeItem(side + "-journal");
    }
    return ok;
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

bool DBController::UpdateRows(const std::vector<std::pair<std::string, std::string>>& rows) {
    if (!fileStillExists()) return false;
    SqlDatabase& db = *dataBase_;
    return inExclusiveTransaction(db, [&] {
        for (const auto& [key, value] : rows)
            if (!db.executeUpdate("UPDATE personTable SET value=? WHERE key=?", {value, key})) return false;
        return true;
    });
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
