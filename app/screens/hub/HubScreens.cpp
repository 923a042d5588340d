#include "app/screens/hub/HubScreens.h"

#include "app/screens/hub/KAVOMainFrameViewController.h"

void registerHubScreens(ui::ScreenMap& map) {
    const char* hub = "KAVOMainFrameViewController";
    map.registerScreen(hub, [] { return std::make_shared<KAVOMainFrameViewController>(); });
    map.registerSegue(hub, "showSetting", "KAVOSettingViewController", ui::SegueKind::Push);
    map.registerSegue(hub, "showProtect", "AccountProtectViewController", ui::SegueKind::Push);
    map.registerSegue(hub, "showPersonCenter", "PersonCenterViewController", ui::SegueKind::Push);
    map.registerSegue(hub, "showProduct", "KAVOSafeProductViewController", ui::SegueKind::Push);
    map.registerSegue(hub, "showSafeAudit", "KAVOSafeAuditViewController", ui::SegueKind::Push);
}
