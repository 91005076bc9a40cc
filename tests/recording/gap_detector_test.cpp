// The gap detector alone, over simulated hours of 40 ms blocks as the capture thread takes them:
// a few ms late, and now and then kept away for up to 0.8 s, then several at once.
#include "recording/gap_detector.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// A device clock 0.05 % off either way finds no gap in an hour. (Stalls: the recording tests.)
TEST(GapDetector, DriftIsNoGap) {
    for (int ppm : {500, -500}) {
        GapDetector detector(16000);
        std::mt19937 random(20261208);
        double clock = 0, free = 0; // when the block is full; when the capture takes it
        int gaps = 0;
        GapDetector::Gap gap;
        for (uint32_t n = 0; n < 90000; ++n) {
            clock += 40.0 * (1 + ppm * 1e-6);
            if (random() % 200 == 0)
                free = clock + double(random() % 800);
            free = std::max(free, clock) + double(random() % 5);
            detector.Add(640, uint32_t(free));
            while (detector.JudgeOldest(false, gap))
                gaps += gap.frames ? 1 : 0;
        }
        while (detector.JudgeOldest(true, gap))
            gaps += gap.frames ? 1 : 0;
        EXPECT_EQ(gaps, 0) << ppm << " ppm";
    }
}

} // namespace
