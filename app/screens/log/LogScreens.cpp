#include "LogScreens.h"

#include "KAVOSafeAuditViewController.h"

void registerLogScreens(ui::ScreenMap& map) {
    map.registerScreen(KAVOSafeAuditViewController::kIdentifier,
                       [] { return std::make_shared<KAVOSafeAuditViewController>(); });
}
