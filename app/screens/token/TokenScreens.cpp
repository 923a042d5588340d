#include "app/screens/token/TokenScreens.h"

#include "app/screens/token/DcodeViewController.h"
#include "app/screens/token/OtpViewController.h"

void registerTokenScreens(ui::ScreenMap& map) {
    map.registerScreen(OtpViewController::kScreenIdentifier, [] { return std::make_shared<OtpViewController>(); });
    map.registerScreen(DcodeViewController::kScreenIdentifier, [] { return std::make_shared<DcodeViewController>(); });
}
