#pragma once
// The notification posted when the device turns (the shell or a test posts
// it; the app itself runs in portrait).

namespace ui {

inline constexpr const char* kDeviceOrientationDidChangeNotification = "DeviceOrientationDidChangeNotification";

}  // namespace ui
