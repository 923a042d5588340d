#pragma once
// One registry of the process-wide objects (the shared application, the main
// screen, image caches, alerts on screen, notices, the tracker...) and how
// each returns to its first state. Each library registers its objects the
// first time they are used; a test harness calls resetProcessWideObjects()
// between cases so no case sees what an earlier one left behind.

#include <functional>
#include <string>
#include <vector>

namespace foundation {

// When a resetter runs: what is on screen goes first (it may still call into
// the objects after it), then the shared objects, then caches.
enum class ResetPhase { Presentation = 0, SharedObject = 1, Cache = 2 };

// Registers (or, for a name seen before, replaces) a resetter. Any thread.
void registerResetter(const std::string& name, ResetPhase phase, std::function<void()> reset);

// Runs every resetter, phase by phase, in registration order within a phase.
// Main thread. Resetters registered while this runs wait for the next call.
void resetProcessWideObjects();

// The names registered so far, in the order they would run.
std::vector<std::string> registeredResetters();

}  // namespace foundation
