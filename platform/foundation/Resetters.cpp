#include "platform/foundation/Resetters.h"

#include <algorithm>
#include <mutex>

namespace foundation {

namespace {

struct Entry {
    std::string name;
    ResetPhase phase;
    std::function<void()> reset;
};

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

std::vector<Entry>& registry() {
    static std::vector<Entry>* entries = new std::vector<Entry>();  // used until the process ends
    return *entries;
}

// The entries in running order: by phase, then by registration.
std::vector<Entry> ordered() {
    std::vector<Entry> copy;
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        copy = registry();
    }
    std::stable_sort(copy.begin(), copy.end(), [](const Entry& a, const Entry& b) { return a.phase < b.phase; });
    return copy;
}

}  // namespace

void registerResetter(const std::string& name, ResetPhase phase, std::function<void()> reset) {
    std::lock_guard<std::mutex> lock(registryMutex());
    auto& entries = registry();
    auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == name; });
    if (it != entries.end()) {
        it->phase = phase;
        it->reset = std::move(reset);
        return;
    }
    entries.push_back({name, phase, std::move(reset)});
}

void resetProcessWideObjects() {
    // Run on a copy: a resetter may touch another object whose first use
    // registers it.
    for (const Entry& e : ordered())
        if (e.reset) e.reset();
}

std::vector<std::string> registeredResetters() {
    std::vector<std::string> names;
    for (const Entry& e : ordered()) names.push_back(e.name);
    return names;
}

}  // namespace foundation
