#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/time/tick_count.h"

namespace mv {
namespace {

using namespace std::chrono_literals;

TEST(TickCount, DifferencesAreTakenModulo2To32) {
    EXPECT_EQ(TickDiff(5u, 0xFFFFFFFBu), 10);   // across the wrap
    EXPECT_EQ(TickDiff(0xFFFFFFFBu, 5u), -10);  // an earlier tick reads negative
    SetTickOffsetForTesting(0xFFFFFFFFu - GetTickCount() - 20u);
    const uint32_t before = GetTickCount();
    std::this_thread::sleep_for(60ms);
    const uint32_t after = GetTickCount();
    SetTickOffsetForTesting(0);
    EXPECT_LT(after, before);  // the count wrapped in between
    EXPECT_GE(TickDiff(after, before), 50);
    EXPECT_LT(TickDiff(after, before), 1000);
}

}  // namespace
}  // namespace mv
