#include "platform/ui/DeviceOrientation.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"

namespace ui {

Device& Device::current() {
    static Device device;
    static const bool registered =
        (foundation::registerResetter("ui.device", foundation::ResetPhase::SharedObject, [] { device = Device(); }),
         true);
    (void)registered;
    return device;
}

void Device::setOrientation(DeviceOrientation orientation) {
    if (orientation == orientation_) return;
    orientation_ = orientation;
    if (isGeneratingDeviceOrientationNotifications())
        foundation::NotificationCenter::defaultCenter().post(kDeviceOrientationDidChangeNotification, this);
}

}  // namespace ui
