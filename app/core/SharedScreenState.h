#pragma once
// Process-wide flags and counts that more than one screen reads or changes.
// Change them by compare-and-swap (foundation::compareAndSwap) where two
// threads meet; they go back to their start values between tests.

#include <atomic>

namespace SharedScreenState {

// 1 while the main screen is on screen.
std::atomic<int>& MAIN_FRAME_VISIBLE();
// The poll gate of the main screen's approval poller: it polls only while
// this is 0. The one-key-verify tab holds it at 1 while it is on screen.
std::atomic<int>& SEIZE_MAIN_PULLING();
// The security log's unread count: the main screen's badge shows it and the
// security log zeroes it when it comes on screen.
std::atomic<int>& safeAuditionBadgeCount();
// The store's version look-up already ran in this process.
std::atomic<bool>& versionChecked();

// The tags of the nine-star screen's views that the main screen's quick sheet
// hides before the screen appears there: the engine's host, the calibration
// button and the home-page switch.
inline constexpr int kQuickJiuXingHiddenTags[3] = {3121, 3122, 3123};

}  // namespace SharedScreenState
