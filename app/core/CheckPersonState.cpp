#include "app/core/CheckPersonState.h"

#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"

bool CheckPersonState::checkPersonState(const std::string& state) {
    if (state != "1") return true;
    DBController controller;
    if (!DBController::deleteDataBase()) {
        controller.UpdataTable("1", StoreKeys::state);
        controller.UpdataTable("null", StoreKeys::uuid);
        controller.UpdataTable("null", StoreKeys::mac);
        controller.UpdataTable("null", StoreKeys::username);
    }
    return false;
}
