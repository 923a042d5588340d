#include "platform/foundation/NetworkActivityIndicator.h"

#include <atomic>

#include "platform/foundation/Resetters.h"

namespace foundation {
namespace {
std::atomic<bool> gVisible{false};
[[maybe_unused]] const bool gRegistered =
    (registerResetter("foundation.networkActivity", ResetPhase::Service, [] { gVisible.store(false); }), true);
}  // namespace

bool networkActivityIndicatorVisible() { return gVisible.load(); }
void setNetworkActivityIndicatorVisible(bool visible) { gVisible.store(visible); }

}  // namespace foundation
