#pragma once
// Frames for drawing code: a frame clock that ticks once per display refresh
// and display links that call their target on the run loop at every n-th
// tick, with the refresh's timestamp.
//
// Who ticks the frame clock: the window shell after each refresh of its
// window, or, while nothing drives it from outside, a 60 Hz timer of the main
// run loop on the injectable clock (so a test's ManualClock::advance produces
// frames). A test can also call tick() with exact timestamps.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"

namespace foundation {

class DisplayLink;

class FrameClock {
public:
    static constexpr double kRefreshInterval = 1.0 / 60;
    static FrameClock& main();

    // One display refresh at the monotonic timestamp: every active link
    // whose frame interval is due is called (on its run loop).
    void tick(double timestamp);
    // Whether something outside (the window shell) calls tick(); while it is
    // false and links are attached, a run-loop timer ticks at 60 Hz.
    void setExternallyDriven(bool external);
    bool isExternallyDriven() const { return external_; }
    uint64_t refreshCount() const { return refreshes_; }
    size_t activeLinkCount() const;

private:
    friend class DisplayLink;
    void attach(const std::shared_ptr<DisplayLink>& link);
    void detach(const DisplayLink* link);
    void updateTimer();

    std::vector<std::weak_ptr<DisplayLink>> links_;
    TimerRef timer_;
    bool external_ = false;
    uint64_t refreshes_ = 0;
};

class DisplayLink : public std::enable_shared_from_this<DisplayLink> {
public:
    using Target = std::function<void(DisplayLink&)>;
    static std::shared_ptr<DisplayLink> create(Target target);
    ~DisplayLink();

    // Calls the target every n-th refresh (values below 1 count as 1).
    void setFrameInterval(int n) { frameInterval_ = n < 1 ? 1 : n; }
    int frameInterval() const { return frameInterval_; }
    // Starts delivering frames on the loop in the mode (when the loop is not
    // the one ticking, the call is posted to it in that mode).
    void addToRunLoop(RunLoop& loop, const std::string& mode = kDefaultMode);
    // Stops for good and drops the target.
    void invalidate();
    bool isValid() const { return valid_; }
    bool isPaused() const { return paused_; }
    void setPaused(bool p) { paused_ = p; }
    // The timestamp of the refresh last delivered (0 before the first).
    double timestamp() const { return timestamp_; }
    // Delivers one refresh now, counting the frame interval as the clock does.
    void tick(double timestamp);

private:
    explicit DisplayLink(Target target) : target_(std::move(target)) {}
    Target target_;
    RunLoop* loop_ = nullptr;
    std::string mode_;
    int frameInterval_ = 1;
    int skipped_ = 0;
    double timestamp_ = 0;
    bool valid_ = true;
    bool attached_ = false;
    bool paused_ = false;
};

}  // namespace foundation
