#pragma once
// Named timing records that print themselves (milliseconds on the clock).

#include <map>
#include <memory>
#include <string>

namespace engine2d {

class GxProfilingTimer {
public:
    explicit GxProfilingTimer(std::string name);
    void reset();
    // Ends one measured call started at the last start().
    void start();
    void stop();
    std::string description() const;

    std::string name;
    double startTime = 0;                                                   // seconds
    double averageTime = 0, minTime = 10000.0, maxTime = 0, totalTime = 0;  // milliseconds
    unsigned numberOfCalls = 0;
};

class GxProfiler {
public:
    static GxProfiler& sharedProfiler();
    GxProfilingTimer* createAndAddTimerWithName(const std::string& name);
    void releaseTimer(const std::string& name);
    void releaseAllTimers();
    // One line per timer on standard output.
    void displayTimers() const;

private:
    std::map<std::string, std::unique_ptr<GxProfilingTimer>> activeTimers_;
};

}  // namespace engine2d
