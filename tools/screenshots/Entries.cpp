// One entry per screen picture: docs/screens/<name>.png. A new screen adds
// its entry here (name, screen identifier, what to seed, what to do).
#include "tools/screenshots/Entries.h"

#include "app/screens/bind/BindViewController.h"
#include "app/start/KAVOStoryboard.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/ui/Navigation.h"
#include "tools/screenshots/PinEntries.h"

namespace screenshots {

namespace {

// The bind screen inside the navigation controller its map entry makes.
BindViewController* bindScreen(ui::ViewController& shown) {
    auto* nav = dynamic_cast<ui::NavigationController*>(&shown);
    return nav ? dynamic_cast<BindViewController*>(nav->topViewController()) : nullptr;
}

void advanceClock(double seconds) {
    if (auto* manual = dynamic_cast<foundation::ManualClock*>(&foundation::clock())) manual->advance(seconds);
}

}  // namespace

std::vector<ScreenShot> appScreenShots() {
    std::vector<ScreenShot> entries;

    // The launch router on a first start: the launch image (no store, so it
    // asks for the guide, which it shows over itself once that screen exists).
    ScreenShot launch;
    launch.name = "launch";
    launch.screen = KAVOStoryboard::kLaunchScreen;
    launch.inNavigation = false;
    entries.push_back(launch);

    // The first-start guide on its first page; the map's entry holds it in a
    // navigation controller with the bar hidden.
    ScreenShot guide;
    guide.name = "guide";
    guide.screen = KAVOStoryboard::kGuideScreen;
    guide.inNavigation = false;
    entries.push_back(guide);

    // The bind screen as a new user finds it, then with its help panel open,
    // then asking for the account name of the SMS road on a phone with a SIM.
    ScreenShot bind;
    bind.name = "bind";
    bind.screen = KAVOStoryboard::kBindScreen;
    bind.inNavigation = false;
    entries.push_back(bind);

    ScreenShot bindHelp = bind;
    bindHelp.name = "bind-help";
    bindHelp.act = [](ui::ViewController& shown) {
        if (auto* screen = bindScreen(shown)) screen->bindHelp();
        advanceClock(1.0);
    };
    entries.push_back(bindHelp);

    ScreenShot bindSms = bind;
    bindSms.name = "bind-sms";
    bindSms.act = [](ui::ViewController& shown) {
        foundation::DeviceInfo phone = foundation::device();
        phone.model = "iPhone";
        phone.carrierName = "中国移动";
        foundation::setDevice(phone);
        if (auto* screen = bindScreen(shown)) screen->textMsgBinding();
        foundation::setDevice(std::nullopt);
        advanceClock(1.0);
    };
    entries.push_back(bindSms);
    addPinScreenShots(entries);
    addHubScreenShots(entries);
    addSettingsScreenShots(entries);
    addTokenScreenShots(entries);
    return entries;
}

}  // namespace screenshots
