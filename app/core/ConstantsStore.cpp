// The key/value shortcuts of the toolbox.
#include "app/core/CoreConstants.h"
#include "app/core/DBController.h"

std::optional<std::string> CoreConstants::getValueFromDBByKey(const std::string& key) {
    // Never through the creating constructor: a new empty file would read
    // as a damaged store at the next start.
    auto controller = DBController::openExisting();
    if (!controller) return std::nullopt;
    auto rows = controller->querryTable();
    controller->closeDatabase();
    if (!rows) return std::nullopt;
    auto it = rows->find(key);
    return it == rows->end() ? std::string("(null)") : it->second;
}

bool CoreConstants::upDateDBSetValue(const std::string& value, const std::string& key) {
    auto controller = DBController::openExisting();
    if (!controller) return false;
    bool ok = controller->UpdataTable(value, key);
    controller->closeDatabase();
    return ok;
}

bool CoreConstants::upDateDBSetValues(const std::vector<std::pair<std::string, std::string>>& rows) {
    auto controller = DBController::openExisting();
    if (!controller) return false;
    bool ok = controller->UpdateRows(rows);
    controller->closeDatabase();
    return ok;
}
