#include "app/core/UpdateDataToSqlite.h"

#include "app/core/DBController.h"

bool UpdateDataToSqlite::updateData(const std::string& value, const std::string& key) {
    // Never through the creating constructor: that would make the file.
    auto controller = DBController::openExisting();
    if (!controller) return false;
    bool ok = controller->UpdataTable(value, key);
    controller->closeDatabase();
    return ok;
}
