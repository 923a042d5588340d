#include "platform/ui/Accelerometer.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Resetters.h"

namespace ui {

// Made once and kept to the end of the process: its timer lives on the main
// run loop, which may go before a static object would.
Accelerometer& Accelerometer::shared() {
    static Accelerometer* accelerometer = new Accelerometer();
    static const bool registered =
        (foundation::registerResetter("ui.accelerometer", foundation::ResetPhase::SharedObject,
                                      [] {
                                          accelerometer->setDelegate(nullptr);
                                          accelerometer->setSource(nullptr);
                                          accelerometer->setUpdateInterval(0.1);
                                      }),
         true);
    (void)registered;
    return *accelerometer;
}

void Accelerometer::setDelegate(AccelerometerDelegate* delegate) {
    if (delegate == delegate_) return;
    delegate_ = delegate;
    restart();
}

void Accelerometer::setUpdateInterval(double seconds) {
    if (!std::isfinite(seconds)) return;
    seconds = std::clamp(seconds, 0.01, 1.0);
    if (seconds == updateInterval_) return;
    updateInterval_ = seconds;
    restart();
}

void Accelerometer::setSource(Source source) {
    injected_.reset();
    source_ = std::move(source);
    restart();
}

// The first injection installs the driver's source; later ones change what
// it reads without moving the interval.
void Accelerometer::inject(double x, double y, double z) {
    if (injected_) {
        *injected_ = AccelerationReading{x, y, z};
        return;
    }
    auto reading = std::make_shared<AccelerationReading>(AccelerationReading{x, y, z});
    setSource([reading] { return std::optional<AccelerationReading>(*reading); });
    injected_ = std::move(reading);
}

// One timer while there is someone to tell and something to read; a new
// delegate, interval or source starts a fresh interval.
void Accelerometer::restart() {
    if (timer_) {
        timer_->invalidate();
        timer_.reset();
    }
    if (!delegate_ || !source_) return;
    timer_ = foundation::RunLoop::main().addTimer(
        updateInterval_, true, [this](foundation::Timer&) { deliver(); }, foundation::kCommonModes);
}

void Accelerometer::deliver() {
    if (!delegate_ || !source_) return;
    std::optional<AccelerationReading> r = source_();
    if (!r) return;
    Acceleration a{r->x, r->y, r->z, foundation::clock().monotonic()};
    delegate_->accelerometerDidAccelerate(*this, a);
}

}  // namespace ui
