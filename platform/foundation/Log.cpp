#include "platform/foundation/Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/foundation/Resetters.h"

namespace foundation {

namespace {
std::mutex gLogMutex;
LogSink gSink;
[[maybe_unused]] const bool gRegistered =
    (registerResetter("foundation.logSink", ResetPhase::Service, [] { setLogSink(nullptr); }), true);

// The debug log is for whoever asks for it; a plain run keeps stderr quiet.
bool asked() {
    const char* log = std::getenv("QUENTA_LOG");
    return log && std::strcmp(log, "1") == 0;
}
}  // namespace

void logLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (gSink) {
        gSink(line);
        return;
    }
    if (!asked()) return;
    std::fprintf(stderr, "quenta: %s\n", line.c_str());
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    LogSink old = std::move(gSink);
    gSink = std::move(sink);
    return old;
}

}  // namespace foundation
