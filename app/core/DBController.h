#pragma once
// The key/value store: the table personTable in the file safeCenterDB of the
// Documents folder. A caller makes one controller per use (the constructor
// opens, and so creates, the file), runs one or more operations and closes it.
// Every operation first checks that the file exists, so nothing recreates a
// deleted store except constructing a controller.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lib/sql/SqlDatabase.h"

// What a look at the store found (DBController::readStore).
struct StoreReading {
    enum Kind {
        Missing,   // no file: not bound
        Readable,  // rows holds every row (no table reads as no rows)
        Busy,      // it cannot be read just now (another program holds it locked,
                   // an I/O error): nothing is said about its contents
        Damaged,   // the file is there but its contents are not a store
    };
    Kind kind = Missing;
    std::map<std::string, std::string> rows;
};

class DBController {
public:
    // Opens the file (creating it, readable by the owner only, when absent);
    // a failure is logged and the controller is still made.
    DBController();
    // A controller on the existing file; nullptr when there is no file. It
    // never creates one, even when the file goes away at the same moment.
    static std::unique_ptr<DBController> openExisting();
    ~DBController();  // closes
    DBController(const DBController&) = delete;
    DBController& operator=(const DBController&) = delete;

    static std::string getPath();
    // True when the file exists.
    static bool databaseExit();
    // Removes the file; true when it existed.
    static bool deleteDataBase();
    // Reads the whole store without waiting for a lock held elsewhere for
    // more than a moment: a locked store reads as Busy, never as Damaged.
    static StoreReading readStore();
    // Moves a damaged store (and its journal) aside, next to where it was,
    // so that nothing that could still be read is lost; the copy's path, or
    // nullopt when there was no file or it could not be moved.
    static std::optional<std::string> moveDamagedAside();
    // Makes the store hold exactly these (key, value) rows, in their order:
    // the old store's rows give way to them in one transaction, and a first
    // store is built beside the path and renamed into place. Old or new,
    // never neither: on failure (false) the old store is as it was.
    static bool replaceAllRows(const std::vector<std::pair<std::string, std::string>>& rows);

    SqlDatabase* dataBase() const { return dataBase_.get(); }

    // Creates the table when the file exists.
    bool initDatabase();
    bool createTable();
    // Each write runs in an exclusive transaction of its own and reports
    // whether it reached the file. False without the file.
    bool InsertTable(const std::string& key, const std::string& value);
    // Inserts every (key, value) row in one exclusive transaction: all of
    // them reach the file, or (false) none does.
    bool InsertRows(const std::vector<std::pair<std::string, std::string>>& rows);
    // Value first, then key. Updating a key without a row succeeds and
    // changes nothing.
    bool UpdataTable(const std::string& value, const std::string& key);
    // Sets each (key, value) in one exclusive transaction: all of them reach
    // the file, or (false) none does.
    bool UpdateRows(const std::vector<std::pair<std::string, std::string>>& rows);
    // Every row's key and value (a later row wins over an earlier one with
    // the same key; rows with a NULL key or value are left out); nullopt when
    // the file is missing or the table cannot be read.
    std::optional<std::map<std::string, std::string>> querryTable();
    bool deleteTable();
    void closeDatabase();

private:
    struct ExistingOnly {};
    DBController(ExistingOnly, std::string path);
    bool write(const std::string& sql, std::initializer_list<foundation::Value> args);
    // The file this controller opened is still there.
    bool fileStillExists() const;

    std::string path_;

    std::shared_ptr<SqlDatabase> dataBase_;
};
