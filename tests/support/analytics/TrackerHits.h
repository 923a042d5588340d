#pragma once
// What the shared tracker has stored, for the tests of the code that tracks.

#include <string>

#include "lib/analytics/TrkPersistentHitStore.h"
#include "lib/analytics/TrkTracker.h"

namespace trackertest {

// Hits in the tracker's store whose text holds `needle` (-1 without a store).
inline int storedHitsWith(const std::string& needle) {
    auto* store = TrkTracker::sharedTracker().persistentHitStore();
    if (!store) return -1;
    int n = 0;
    for (const auto& hit : store->peekHits(1000))
        if (hit.hitString().find(needle) != std::string::npos) ++n;
    return n;
}

}  // namespace trackertest
