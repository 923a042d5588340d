#include "platform/gl/GL.h"

#include <array>
#include <atomic>

namespace gl {

namespace {
std::array<std::atomic<uint64_t>, size_t(Call::Count_)> counts;
}

void countCall(Call c) { counts[size_t(c)].fetch_add(1, std::memory_order_relaxed); }
uint64_t callCount(Call c) { return counts[size_t(c)].load(std::memory_order_relaxed); }
void resetCallCounts() {
    for (auto& c : counts) c.store(0, std::memory_order_relaxed);
}

}  // namespace gl
