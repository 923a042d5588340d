#include "platform/foundation/Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace foundation {

namespace {
std::mutex gLogMutex;
LogSink gSink;

bool quiet() {
    static const bool q = [] {
        const char* test = std::getenv("QUENTA_TEST");
        const char* log = std::getenv("QUENTA_LOG");
        bool underTest = test && *test && std::strcmp(test, "0") != 0;
        bool asked = log && std::strcmp(log, "1") == 0;
        return underTest && !asked;
    }();
    return q;
}
}  // namespace

void logLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (gSink) {
        gSink(line);
        return;
    }
    if (quiet()) return;
    std::fprintf(stderr, "quenta: %s\n", line.c_str());
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    LogSink old = std::move(gSink);
    gSink = std::move(sink);
    return old;
}

}  // namespace foundation
