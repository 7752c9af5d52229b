// The runner's cycle times: the exact mean and quantiles to 1 %, in the
// same memory after a million calls as after one.
#include <gtest/gtest.h>

#include "tools/fx5-run/CycleTimes.h"

namespace {

TEST(CycleTimes, MeanExactQuantilesWithinOnePercent)
{
    fx5run::CycleTimes times;
    EXPECT_EQ(times.QuantileMs(0.5), 0);
    for (int i = 1; i <= 1000000; ++i) times.Add(0.001 * (i % 1000 + 1)); // 1 µs … 1 ms, evenly
    EXPECT_EQ(times.Count(), 1000000u);
    EXPECT_NEAR(times.MeanMs(), 0.5005, 1e-9);
    struct Case {
        double q, ms;
    };
    for (const Case c : {Case{0.5, 0.5}, Case{0.99, 0.99}, Case{1.0, 1.0}}) {
        EXPECT_GE(times.QuantileMs(c.q), c.ms * 0.999) << c.q;
        EXPECT_LE(times.QuantileMs(c.q), c.ms * 1.011) << c.q;
    }
    times.Add(1e9); // beyond the last bucket: counted there
    EXPECT_GT(times.QuantileMs(1.0), 600000.0);
}

} // namespace
