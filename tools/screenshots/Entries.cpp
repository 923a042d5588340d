// One entry per screen picture: docs/screens/<name>.png. A new screen adds
// its entry here (name, screen identifier, what to seed, what to do).
#include "tools/screenshots/Entries.h"

#include "app/start/KAVOStoryboard.h"

namespace screenshots {

std::vector<ScreenShot> appScreenShots() {
    std::vector<ScreenShot> entries;

    // The launch router on a first start: the launch image (no store, so it
    // asks for the guide, which it shows over itself once that screen exists).
    ScreenShot launch;
    launch.name = "launch";
    launch.screen = KAVOStoryboard::kLaunchScreen;
    launch.inNavigation = false;
    entries.push_back(launch);

    addHubScreenShots(entries);
    addSettingsScreenShots(entries);
    return entries;
}

}  // namespace screenshots
