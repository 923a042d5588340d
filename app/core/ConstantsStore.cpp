// The key/value shortcuts of Constants.
#include "app/core/Constants.h"
#include "app/core/DBController.h"

std::optional<std::string> Constants::getValueFromDBByKey(const std::string& key) {
    // Checked before a controller exists: making one would create the file,
    // and the next start would read the empty file as a damaged store.
    if (!DBController::databaseExit()) return std::nullopt;
    DBController controller;
    auto rows = controller.querryTable();
    controller.closeDatabase();
    if (!rows) return std::nullopt;
    auto it = rows->find(key);
    return it == rows->end() ? std::string("(null)") : it->second;
}

bool Constants::upDateDBSetValue(const std::string& value, const std::string& key) {
    if (!DBController::databaseExit()) return false;
    DBController controller;
    bool ok = controller.UpdataTable(value, key);
    controller.closeDatabase();
    return ok;
}
