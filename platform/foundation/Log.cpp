#include "platform/foundation/Log.h"

#include <cstdarg>
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

void warnLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (gSink) {
        gSink(line);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

void warn(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string line(size > 0 ? size_t(size) : 0, '\0');
    if (size > 0) std::vsnprintf(line.data(), line.size() + 1, format, again);
    va_end(again);
    warnLine(line);
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    LogSink old = std::move(gSink);
    gSink = std::move(sink);
    return old;
}

}  // namespace foundation
