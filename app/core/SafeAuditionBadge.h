#pragma once
// The unread security-log count: the hub's badge shows it and sets it from
// the server; the security log zeroes it when it comes on screen.

#include <atomic>

std::atomic<int>& safeAuditionBadgeCount();
