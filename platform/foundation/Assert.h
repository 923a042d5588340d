#pragma once
// Assertions for programming errors. A failed QUENTA_ASSERT reports its
// message with the condition, function, file and line, then stops a debug
// build (abort); a release build (NDEBUG) reports it and goes on. Tests may
// install a handler that records the failure instead.
//
// QUENTA_ASSERT_MAIN_THREAD() guards what may only be touched on the main
// thread (views, layers, alerts, controllers).

#include <functional>
#include <string>

namespace foundation {

struct AssertionFailure {
    std::string message;    // the caller's own text
    std::string condition;  // the failed expression as written
    const char* function = "";
    const char* file = "";
    int line = 0;
    // "<function>: <message> (<condition>) at <file>:<line>"
    std::string text() const;
};

using AssertionHandler = std::function<void(const AssertionFailure&)>;
// Replaces what a failure does (nullptr: back to report-and-stop). Returns
// the handler that was installed before.
AssertionHandler setAssertionHandler(AssertionHandler handler);

// Reports the failure through the installed handler, or the default one.
void assertionFailed(const char* condition, const char* function, const char* file, int line, std::string message);
// Whether the calling thread is the process's main thread.
bool onMainThread();

}  // namespace foundation

#define QUENTA_ASSERT(condition, message)                                                                     \
    do {                                                                                                      \
        if (!(condition)) ::foundation::assertionFailed(#condition, __func__, __FILE__, __LINE__, (message)); \
    } while (0)

#define QUENTA_ASSERT_MAIN_THREAD()                                                           \
    do {                                                                                      \
        if (!::foundation::onMainThread())                                                    \
            ::foundation::assertionFailed("on the main thread", __func__, __FILE__, __LINE__, \
                                          "UI objects are used on the main thread only");     \
    } while (0)
