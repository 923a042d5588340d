#pragma once
// The app's screen map: the launch router as the first screen and the
// segues that leave it. Screens not yet in the map are logged when a segue
// asks for them, and the app stays where it is.

#include <memory>

#include "platform/ui/ScreenMap.h"

namespace KAVOStoryboard {

// Screen identifiers.
inline constexpr const char* kLaunchScreen = "KAVOViewController";
inline constexpr const char* kMainScreen = "KAVOMainFrameViewController";
inline constexpr const char* kStartPasswordScreen = "StartPasswordViewController";
inline constexpr const char* kGuideScreen = "GuideViewController";
inline constexpr const char* kBindScreen = "BindViewController";

std::unique_ptr<ui::ScreenMap> make();

}  // namespace KAVOStoryboard
