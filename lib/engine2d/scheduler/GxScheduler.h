#pragma once
// The scheduler: once per frame, with the frame's delta time, it calls the
// per-frame updates of registered targets (ordered by priority) and then
// the timers of every target (interval, delay, repeat count). Callbacks may
// schedule and unschedule anything, themselves included, during the tick.
//
// Targets are kept alive (shared) until they are unscheduled; they are
// identified by address. A timer is named by its selector, a string unique
// per target.

#include <functional>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace engine2d {

class GxScheduler;

// The repeat count that means "for ever" (-2 kept in an unsigned field).
constexpr unsigned kGxRepeatForever = unsigned(-2);

using GxTargetRef = std::shared_ptr<void>;
using GxTickFunction = std::function<void(float)>;

class GxTimer {
public:
    static std::shared_ptr<GxTimer> timerWithTarget(GxTargetRef target, std::string selector, GxTickFunction fn,
                                                    float interval = 0, unsigned repeat = kGxRepeatForever,
                                                    float delay = 0);
    // The step: the first call only arms the timer; later calls add dt and
    // call the function with the time since its last firing when due. A
    // timer that has fired repeat + 1 times unschedules itself from the
    // scheduler that owns it.
    void update(float dt);

    float interval() const { return interval_; }
    void setInterval(float i) { interval_ = i; }
    unsigned repeat() const { return repeat_; }
    float delay() const { return delay_; }
    float elapsed() const { return elapsed_; }
    unsigned timesExecuted() const { return nTimesExecuted_; }
    const std::string& selector() const { return selector_; }
    const void* target() const { return target_; }
    std::string description() const;

private:
    friend class GxScheduler;
    GxTimer() = default;
    const void* target_ = nullptr;  // the scheduler's entry keeps it alive
    std::string selector_;
    GxTickFunction fn_;
    GxScheduler* owner_ = nullptr;
    float elapsed_ = -1;
    bool runForever_ = true;
    bool useDelay_ = false;
    unsigned nTimesExecuted_ = 0;
    unsigned repeat_ = kGxRepeatForever;
    float delay_ = 0;
    float interval_ = 0;
};

class GxScheduler {
public:
    GxScheduler() = default;
    ~GxScheduler();
    GxScheduler(const GxScheduler&) = delete;
    GxScheduler& operator=(const GxScheduler&) = delete;

    float timeScale() const { return timeScale_; }
    void setTimeScale(float s) { timeScale_ = s; }

    // Adds a timer, or, when the target has one for the selector already,
    // only changes its interval. `paused` applies to a target new here.
    void scheduleSelector(const std::string& selector, GxTargetRef target, GxTickFunction fn, float interval,
                          bool paused, unsigned repeat = kGxRepeatForever, float delay = 0);
    void unscheduleSelector(const std::string& selector, const void* target);
    // Registers the target's per-frame update; a second registration keeps
    // the first (and revives it when it was removed during this tick).
    void scheduleUpdateForTarget(GxTargetRef target, GxTickFunction update, int priority, bool paused);
    void unscheduleUpdateForTarget(const void* target);
    void unscheduleAllSelectorsForTarget(const void* target);
    void unscheduleAllSelectors();
    void unscheduleAllSelectorsWithMinPriority(int minPriority);

    void pauseTarget(const void* target);
    void resumeTarget(const void* target);
    // The paused flag of the target's timers (false when it has none).
    bool isTargetPaused(const void* target) const;
    std::vector<GxTargetRef> pauseAllTargets();
    std::vector<GxTargetRef> pauseAllTargetsWithMinPriority(int minPriority);
    void resumeTargets(const std::vector<GxTargetRef>& targets);

    // The tick.
    void update(float dt);

    // Introspection for tests and the node.
    bool hasUpdateFor(const void* target) const;
    size_t timerCountFor(const void* target) const;
    std::string description() const;

private:
    struct ListEntry {
        GxTickFunction update;
        const void* target;
        int priority;
        bool paused;
        bool markedForDeletion;
    };
    using UpdateList = std::list<ListEntry>;
    struct HashUpdateEntry {
        UpdateList* list;
        UpdateList::iterator entry;
        GxTargetRef target;
    };
    struct SelectorEntry {
        std::vector<std::shared_ptr<GxTimer>> timers;
        GxTargetRef target;
        unsigned timerIndex = 0;
        GxTimer* currentTimer = nullptr;
        bool paused = false;
    };
    using SelectorList = std::list<SelectorEntry>;

    void removeUpdateEntry(const void* target);
    void removeSelectorEntry(SelectorList::iterator it);

    float timeScale_ = 1.0f;
    UpdateList updatesNeg_, updates0_, updatesPos_;
    std::unordered_map<const void*, HashUpdateEntry> hashForUpdates_;
    SelectorList selectors_;  // in insertion order
    std::unordered_map<const void*, SelectorList::iterator> hashForSelectors_;
    SelectorEntry* currentTarget_ = nullptr;
    bool currentTargetSalvaged_ = false;
    bool updateHashLocked_ = false;
};

}  // namespace engine2d
