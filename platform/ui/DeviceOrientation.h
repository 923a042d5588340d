#pragma once
// The phone's own orientation, as its motion sensor reports it, and the
// notification posted when the device turns (the shell or a test sets it;
// the app itself runs in portrait). Notifications are posted only while some
// client has asked for them.

namespace ui {

inline constexpr const char* kDeviceOrientationDidChangeNotification = "DeviceOrientationDidChangeNotification";

enum class DeviceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeLeft = 3,
    LandscapeRight = 4,
    FaceUp = 5,
    FaceDown = 6,
};

class Device {
public:
    // The one device; back to unknown and silent between test cases.
    static Device& current();

    DeviceOrientation orientation() const { return orientation_; }
    // What the sensor reports; posts the notification (object: the device)
    // when it changes while notifications are generated.
    void setOrientation(DeviceOrientation orientation);

    // Nested: notifications flow while begins outnumber ends.
    void beginGeneratingDeviceOrientationNotifications() { ++generating_; }
    void endGeneratingDeviceOrientationNotifications() {
        if (generating_ > 0) --generating_;
    }
    bool isGeneratingDeviceOrientationNotifications() const { return generating_ > 0; }

private:
    DeviceOrientation orientation_ = DeviceOrientation::Unknown;
    int generating_ = 0;
};

}  // namespace ui
