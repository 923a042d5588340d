#include "app/screens/token/TokenScreens.h"

#include "app/screens/token/DcodeViewController.h"
#include "app/screens/token/KAVOOneKeyVerifyViewController.h"
#include "app/screens/token/KAVOSafeProductViewController.h"
#include "app/screens/token/OtpViewController.h"

void registerTokenScreens(ui::ScreenMap& map) {
    map.registerScreen(OtpViewController::kScreenIdentifier, [] { return std::make_shared<OtpViewController>(); });
    map.registerScreen(DcodeViewController::kScreenIdentifier, [] { return std::make_shared<DcodeViewController>(); });
    map.registerScreen(KAVOOneKeyVerifyViewController::kScreenIdentifier,
                       [] { return std::make_shared<KAVOOneKeyVerifyViewController>(); });
    // The container makes its tabs from the map it was made from.
    map.registerScreen(KAVOSafeProductViewController::kScreenIdentifier,
                       [] { return std::make_shared<KAVOSafeProductViewController>(); });
}
