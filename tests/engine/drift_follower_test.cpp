// The follower over ten simulated hours of two clocks apart: the sound keeps its place, the queue
// its bounds, the ratio its pace.
#include "engine/drift_follower.h"
#include "tests/support/drift_simulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(DriftFollower, TenHoursOfTwoClocksKeepEveryClickInPlace) {
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "one thread, hours of samples: the other builds run it";
#endif
    struct Row {
        double ppm, laterPpm;
    };
    const Row rows[] = {{-2000, -2000}, {-500, -500}, {0, 0},
                        {500, 500},     {2000, 2000}, {-500, 500}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.ppm << " ppm, then " << row.laterPpm);
        DriftRun run;
        run.ppm = row.ppm;
        run.laterPpm = row.laterPpm;
        const DriftResult result = SimulateDrift(run);
        EXPECT_EQ(result.clicksFound, result.clicksPlayed);
        EXPECT_GE(result.clicksPlayed, 599);
        EXPECT_LE(result.mostOffsetMs - result.leastOffsetMs, 20.0);
        EXPECT_GT(result.leastOffsetMs, 0.0);
        EXPECT_LT(result.mostOffsetMs, 250.0);
        // Nothing cut after the first minute; the queue well inside its room.
        EXPECT_EQ(result.figures.underflows, result.atMinute.underflows);
        EXPECT_EQ(result.figures.resyncs, result.atMinute.resyncs);
        EXPECT_EQ(result.figures.overflows, 0u);
        EXPECT_LE(result.mostFill, size_t(run.rate) * (DriftFollower::kTargetMs + 100) / 1000);
        EXPECT_LE(result.mostSlewPerSecond, DriftFollower::kMostSlewPerSecond * 1.0001);
        EXPECT_LE(result.mostWobble, 0.001);
        EXPECT_LE(result.mostDeviation, DriftFollower::kMostDeviation);
    }
}
