#include "app/core/UpdateDataToSqlite.h"

#include "app/core/DBController.h"

bool UpdateDataToSqlite::updateData(const std::string& value, const std::string& key) {
    // Checked before a controller exists: making one would create the file.
    if (!DBController::databaseExit()) return false;
    DBController controller;
    bool ok = controller.UpdataTable(value, key);
    controller.closeDatabase();
    return ok;
}
