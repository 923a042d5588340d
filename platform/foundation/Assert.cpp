#include "platform/foundation/Assert.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"

namespace foundation {

namespace {
std::mutex gHandlerMutex;
AssertionHandler& installed() {
    static AssertionHandler handler;
    return handler;
}
[[maybe_unused]] const bool gRegistered =
    (registerResetter("foundation.assertionHandler", ResetPhase::Service, [] { setAssertionHandler(nullptr); }), true);
}  // namespace

std::string AssertionFailure::text() const {
    return std::string(function) + ": " + message + " (" + condition + ") at " + file + ":" + std::to_string(line);
}

AssertionHandler setAssertionHandler(AssertionHandler handler) {
    std::lock_guard<std::mutex> lock(gHandlerMutex);
    AssertionHandler old = std::move(installed());
    installed() = std::move(handler);
    return old;
}

void assertionFailed(const char* condition, const char* function, const char* file, int line, std::string message) {
    AssertionFailure failure{std::move(message), condition, function, file, line};
    AssertionHandler handler;
    {
        std::lock_guard<std::mutex> lock(gHandlerMutex);
        handler = installed();
    }
    if (handler) {
        handler(failure);
        return;
    }
    // Always on stderr, also where the debug log is quiet (under tests).
    std::fprintf(stderr, "Assertion failed: %s\n", failure.text().c_str());
    std::fflush(stderr);
#ifndef NDEBUG
    std::abort();
#endif
}

bool onMainThread() { return RunLoop::isMainThread(); }

}  // namespace foundation
