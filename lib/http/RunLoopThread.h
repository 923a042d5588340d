#pragma once
// A thread of its own that runs a run loop for the life of the process.

#include "platform/foundation/RunLoop.h"

namespace http {

// Starts a detached thread that runs its run loop in the default mode for
// ever, and returns that run loop once the thread has made it.
foundation::RunLoop& startRunLoopThread();

}  // namespace http
