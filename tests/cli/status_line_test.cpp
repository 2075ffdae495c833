// How far a run has come, as the command line's live line and closing line
// say it.
#include "status_line.h"

#include <gtest/gtest.h>

namespace mv::cli {
namespace {

TEST(RunProgress, LiveLineAndClosingLine) {
    struct Case {
        const char* name;
        size_t total;
        std::vector<uint32_t> finals;  // ticks of the final results
        uint32_t now;
        const char* live;
        const char* closing;
    };
    const Case cases[] = {
        {"nothing yet", 10, {}, 5000, "0/10 0% 0/s ETA --", "checked 0 in 0:00:05 (0.0/s)"},
        {"steady",
         100,
         {1000, 2000, 3000, 4000, 5000},
         5000,
         "5/100 5% 1/s ETA 0:01:35",
         "checked 5 in 0:00:05 (1.0/s)"},
        // Only the last ten seconds count: the early burst has passed.
        {"burst long ago", 40, std::vector<uint32_t>(30, 500), 20500, "30/40 75% 0/s ETA --",
         "checked 30 in 0:00:20 (1.5/s)"},
        {"done", 2, {100, 200}, 3661000, "2/2 100% 0/s ETA --", "checked 2 in 1:01:01 (0.0/s)"},
        {"a wrapped tick count",
         4,
         {0xfffffc18u + 3000u, 0xfffffc18u + 4000u},
         0xfffffc18u + 4000u,
         "2/4 50% 1/s ETA 0:00:04",
         "checked 2 in 0:00:04 (0.5/s)"},
    };
    for (const Case& c : cases) {
        const uint32_t start = c.name == std::string("a wrapped tick count") ? 0xfffffc18u : 0;
        RunProgress progress(start);
        progress.SetTotal(c.total);
        for (uint32_t tick : c.finals)
            progress.Final(tick);
        EXPECT_EQ(progress.Text(c.now), c.live) << c.name;
        EXPECT_EQ(progress.Closing(c.now), c.closing) << c.name;
    }
}

}  // namespace
}  // namespace mv::cli
