#pragma once
// Ending the app: every "exit" of the app goes through one hook, which tests
// replace to record the call.

#include <functional>

namespace foundation {

using ExitHandler = std::function<void(int code)>;
// Installs the handler (nullptr: the real exit). Returns the old one.
ExitHandler setExitHandler(ExitHandler handler);
void exitApp(int code = 0);

}  // namespace foundation
