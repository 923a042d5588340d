#pragma once
// One registry of the process-wide objects (the shared application, the main
// screen, image caches, alerts on screen, notices, the tracker...) and how
// each returns to its first state. Every process-wide object registers where
// it is made: a shared instance in the function that first makes it, a
// file-level setting beside its definition. The test main calls
// resetProcessWideObjects() after every case, so no case sees what an earlier
// one left behind; nothing else resets these objects.

#include <functional>
#include <string>
#include <vector>

namespace foundation {

// When a resetter runs: what is on screen goes first (it may still call into
// the objects after it), then the shared objects, then the services those may
// still call while they go (the clock and device facts, the audio session,
// the connection, cookie and defaults stores), then caches. The notification
// centre forgets its observers before anything else runs.
enum class ResetPhase { Presentation = 0, SharedObject = 1, Service = 2, Cache = 3 };

// Registers (or, for a name seen before, replaces) a resetter. Any thread.
void registerResetter(const std::string& name, ResetPhase phase, std::function<void()> reset);

// Runs every resetter, phase by phase, in registration order within a phase.
// Main thread. Resetters registered while this runs wait for the next call.
void resetProcessWideObjects();

// The names registered so far, in the order they would run.
std::vector<std::string> registeredResetters();

}  // namespace foundation
