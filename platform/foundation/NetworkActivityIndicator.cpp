#include "platform/foundation/NetworkActivityIndicator.h"

#include <atomic>

namespace foundation {
namespace {
std::atomic<bool> gVisible{false};
}

bool networkActivityIndicatorVisible() { return gVisible.load(); }
void setNetworkActivityIndicatorVisible(bool visible) { gVisible.store(visible); }

}  // namespace foundation
