#include <gtest/gtest.h>

#include "kernel_probes.h"
#include "platform/time/tick_count.h"

namespace mv {
namespace {

TEST(TickCount, DifferencesAreTakenModulo2To32) {
    EXPECT_EQ(TickDiff(5u, 0xFFFFFFFBu), 10);   // across the wrap
    EXPECT_EQ(TickDiff(0xFFFFFFFBu, 5u), -10);  // an earlier tick reads negative
    SetTickOffsetForTesting(0xFFFFFFFFu - GetTickCount() - 20u);
    const uint32_t before = GetTickCount();
    uint32_t after = before;
    EXPECT_TRUE(test::PollUntil([&] { return (after = GetTickCount()) < before; }));
    SetTickOffsetForTesting(0);
    // The count wrapped in between, about 20 ms later: the difference still
    // reads as the time that passed.
    EXPECT_GT(TickDiff(after, before), 0);
    EXPECT_LT(TickDiff(after, before), 1000);
}

}  // namespace
}  // namespace mv
