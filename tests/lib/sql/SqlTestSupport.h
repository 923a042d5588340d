#pragma once
// Helpers for the SQLite tests: a log recorder and a database file path.

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "tests/support/TestSupport.h"

// Records the log lines written while it lives.
class LogCapture {
public:
    LogCapture() {
        old_ = foundation::setLogSink([this](const std::string& line) {
            std::lock_guard<std::mutex> guard(mutex_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { foundation::setLogSink(old_); }

    bool contains(const std::string& part) const {
        std::lock_guard<std::mutex> guard(mutex_);
        return std::any_of(lines_.begin(), lines_.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    foundation::LogSink old_;
};

inline std::string dbPath(const std::string& name = "test.db") { return testsupport::home() + "/" + name; }
