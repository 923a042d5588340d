#pragma once
// The debug log: lines to stderr when QUENTA_LOG=1, nothing otherwise; a
// test can install a sink to read the lines.

#include <functional>
#include <sstream>
#include <string>

namespace foundation {

void logLine(const std::string& line);

template <typename... Args>
void log(const Args&... args) {
    std::ostringstream out;
    (out << ... << args);
    logLine(out.str());
}

// Replaces where lines go (nullptr: back to stderr). Returns the old sink.
using LogSink = std::function<void(const std::string&)>;
LogSink setLogSink(LogSink sink);

}  // namespace foundation
