#include "platform/time/tick_count.h"

#include <atomic>
#include <ctime>

namespace mv {

namespace {
std::atomic<uint32_t> g_offset{0};
}

uint32_t GetTickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms) + g_offset.load(std::memory_order_relaxed);
}

void SetTickOffsetForTesting(uint32_t offset) {
    g_offset.store(offset);
}

}  // namespace mv
