#include "app/core/SafeAuditionBadge.h"

#include "platform/foundation/Resetters.h"

std::atomic<int>& safeAuditionBadgeCount() {
    static std::atomic<int> count{0};
    static const bool registered = [] {
        foundation::registerResetter("core.safeAuditionBadgeCount", foundation::ResetPhase::SharedObject,
                                     [] { count.store(0); });
        return true;
    }();
    (void)registered;
    return count;
}
