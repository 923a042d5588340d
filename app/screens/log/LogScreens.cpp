#include "app/screens/log/LogScreens.h"

#include "app/screens/log/KAVOSafeAuditViewController.h"

void registerLogScreens(ui::ScreenMap& map) {
    map.registerScreen(KAVOSafeAuditViewController::kIdentifier,
                       [] { return std::make_shared<KAVOSafeAuditViewController>(); });
}
