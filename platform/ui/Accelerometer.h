#pragma once
// The phone's accelerometer: one shared object that, while it has a
// delegate, hands it a reading every update interval (in g along the
// screen's x, y and z axes, with the time it was taken). Where the readings
// come from is a source installed by whoever shows the app: the desktop
// shell's SDL sensor or game-controller accelerometer, or the test driver,
// which injects readings. Without a source nothing is delivered, as on a
// phone without the sensor.
//
// Main thread. The delegate is not owned: it clears itself before it goes.

#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/RunLoop.h"

namespace ui {

struct Acceleration {
    double x = 0, y = 0, z = 0;
    // Monotonic seconds (the injectable clock) when the reading was taken.
    double timestamp = 0;
};

class Accelerometer;

class AccelerometerDelegate {
public:
    virtual ~AccelerometerDelegate() = default;
    virtual void accelerometerDidAccelerate(Accelerometer& accelerometer, const Acceleration& acceleration) = 0;
};

struct AccelerationReading {
    double x = 0, y = 0, z = 0;
};

class Accelerometer {
public:
    // The one accelerometer; without delegate or source between test cases.
    static Accelerometer& shared();

    AccelerometerDelegate* delegate() const { return delegate_; }
    // Readings flow while a delegate is set.
    void setDelegate(AccelerometerDelegate* delegate);
    // Seconds between readings; 0.01 at least, 1 at most (0.1 by default).
    double updateInterval() const { return updateInterval_; }
    void setUpdateInterval(double seconds);

    // The current reading of the hardware, or nothing when it has none now.
    using Source = std::function<std::optional<AccelerationReading>()>;
    void setSource(Source source);
    bool hasSource() const { return bool(source_); }

    // The test driver's source: from now on the sensor reads (x, y, z).
    void inject(double x, double y, double z);

private:
    void restart();
    void deliver();

    std::shared_ptr<AccelerationReading> injected_;  // what the test driver's source reads

    AccelerometerDelegate* delegate_ = nullptr;
    double updateInterval_ = 0.1;
    Source source_;
    foundation::TimerRef timer_;
};

}  // namespace ui
