// The follower over ten simulated hours of two clocks apart: the sound keeps its place, the queue
// its bounds, the ratio its pace.
#include "engine/drift_follower.h"
#include "engine/sample_conversion.h"
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

// The two sides' layout: the microphone left and unchanged at 16 bits, the far side right; in
// mono each at half (-6 dB), summed; 8-bit likewise.
TEST(DriftFollower, SidesLaidOutByChannelsAndBits) {
    const int16_t near[2] = {16384, -8192}; // 0.5, -0.25
    const float far[2] = {0.25f, 0.5f};
    const struct {
        int channels, bits;
        double expected[4]; // full-scale fractions, interleaved
    } cases[] = {
        {2, 16, {0.5, 0.25, -0.25, 0.5}},
        {1, 16, {0.375, 0.125}},
        {2, 8, {0.5, 0.25, -0.25, 0.5}},
        {1, 8, {0.375, 0.125}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.bits << " bits");
        Quantiser quantiser;
        float scratch[4];
        uint8_t out[8] = {};
        MixSides(near, far, 2, c.channels, c.bits, quantiser, scratch, out);
        for (int i = 0; i < 2 * c.channels; ++i) {
            const double value =
                c.bits == 8 ? (out[i] - 128) / 128.0
                            : int16_t(uint16_t(out[2 * i] | out[2 * i + 1] << 8)) / 32768.0;
            EXPECT_NEAR(value, c.expected[i], c.bits == 8 ? 1.5 / 128 : 1.5 / 32768) << i;
        }
    }
}
