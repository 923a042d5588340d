#include "platform/foundation/App.h"

#include <cstdlib>
#include <mutex>

namespace foundation {

namespace {
std::mutex gExitMutex;
ExitHandler gExit;
}  // namespace

ExitHandler setExitHandler(ExitHandler handler) {
    std::lock_guard<std::mutex> lock(gExitMutex);
    ExitHandler old = std::move(gExit);
    gExit = std::move(handler);
    return old;
}

void exitApp(int code) {
    ExitHandler h;
    {
        std::lock_guard<std::mutex> lock(gExitMutex);
        h = gExit;
    }
    if (h) {
        h(code);
        return;
    }
    std::exit(code);
}

}  // namespace foundation
