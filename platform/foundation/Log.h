#pragma once
// The program's two kinds of lines, one way out for both (docs/internals/
// helpers.md): the debug log, lines to stderr when QUENTA_LOG=1 and nothing
// otherwise, and warnings, lines to stderr always (a file that cannot be
// read, input refused, a limit reached). A test can install a sink to read
// both.

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

// A warning, formatted as printf formats (no trailing newline).
void warn(const char* format, ...) __attribute__((format(printf, 1, 2)));
void warnLine(const std::string& line);

// Replaces where lines of both kinds go (nullptr: back to stderr). Returns
// the old sink.
using LogSink = std::function<void(const std::string&)>;
LogSink setLogSink(LogSink sink);

}  // namespace foundation
