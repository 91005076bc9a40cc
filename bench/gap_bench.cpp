// The gap detector, measured on simulated hours of 40 ms blocks at 16000 Hz as a capture thread
// takes them (a few ms late, and now and then kept away for up to 0.8 s, then several at once):
// its error on stalls of the sound system of many lengths, and its false gaps over an hour with
// the device's clock 0.05 % off either way.
//   gap_bench
#include "recording/gap_detector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kRate = 16000;
constexpr uint32_t kBlock = 640;

struct Result {
    std::vector<GapDetector::Gap> expected, found;
};

// An hour of blocks, with the stalls (block index, ms) and the device's clock off by ppm; the
// capture thread kept away now and then (every 8 s on average, up to 0.8 s) when away.
Result Run(int ppm, const std::vector<std::pair<uint32_t, uint32_t>>& stalls, uint32_t seed,
           bool away) {
    GapDetector detector(kRate);
    std::mt19937 random(seed);
    Result result;
    double clock = 0, free = 0;
    uint64_t received = 0, accounted = 0;
    const auto judge = [&](bool final) {
        GapDetector::Gap gap;
        while (detector.JudgeOldest(final, gap))
            if (gap.frames)
                result.found.push_back(gap);
    };
    for (uint32_t n = 0; n < 90000; ++n) {
        for (const auto& stall : stalls)
            if (stall.first == n) {
                clock += stall.second;
                result.expected.push_back(
                    {received + accounted, uint64_t(stall.second) * kRate / 1000});
                accounted += result.expected.back().frames;
            }
        clock += 40.0 * (1 + ppm * 1e-6);
        if (away && random() % 200 == 0)
            free = clock + double(random() % 800);
        free = std::max(free, clock) + double(random() % 5);
        detector.Add(kBlock, uint32_t(free));
        received += kBlock;
        judge(false);
    }
    judge(true);
    return result;
}

double Ms(uint64_t frames) {
    return double(frames) * 1000 / kRate;
}

} // namespace

int main() {
    for (bool away : {false, true}) {
        std::printf("stalls of the sound system, 20 of each length in an hour (0.05 %% slow), the "
                    "capture thread %s:\n",
                    away ? "kept away up to 0.8 s every 8 s on average" : "on time (within 5 ms)");
        for (uint32_t ms : {100u, 150u, 200u, 500u, 1000u, 5000u, 30000u}) {
            std::vector<std::pair<uint32_t, uint32_t>> stalls;
            for (uint32_t i = 0; i < 20; ++i)
                stalls.push_back({2000 + i * 4400, ms});
            Result r = Run(500, stalls, ms, away);
            // Found within a second of each other: said as one, as the recording does.
            std::vector<GapDetector::Gap> said;
            for (const GapDetector::Gap& gap : r.found) {
                if (!said.empty() &&
                    gap.atFrames <= said.back().atFrames + said.back().frames + kRate)
                    said.back().frames = gap.atFrames + gap.frames - said.back().atFrames;
                else
                    said.push_back(gap);
            }
            r.found = said;
            double worstAt = 0, worstLength = 0;
            size_t matched = 0;
            for (const GapDetector::Gap& gap : r.found) {
                for (const GapDetector::Gap& want : r.expected) {
                    if (std::fabs(Ms(gap.atFrames) - Ms(want.atFrames)) < 500) {
                        ++matched;
                        worstAt =
                            std::max(worstAt, std::fabs(Ms(gap.atFrames) - Ms(want.atFrames)));
                        worstLength =
                            std::max(worstLength, std::fabs(Ms(gap.frames) - Ms(want.frames)));
                    }
                }
            }
            std::printf("  %6u ms: found %2zu of %2zu, %zu other; worst error: place %5.1f ms, "
                        "length %5.1f ms\n",
                        ms, matched, r.expected.size(), r.found.size() - matched, worstAt,
                        worstLength);
        }
    }
    std::printf("false gaps in hours without stalls, the capture thread kept away as above:\n");
    for (int ppm : {-500, 0, 500}) {
        size_t falseGaps = 0;
        for (uint32_t seed = 1; seed <= 5; ++seed)
            falseGaps += Run(ppm, {}, seed, true).found.size();
        std::printf("  device clock %+.2f %%: %zu in 5 hours\n", ppm / 10000.0, falseGaps);
    }
    std::printf("(a gap shorter than %u ms is not said; its place and length are measured on the "
                "recording's clock)\n",
                GapDetector::kMinGapMs);
    return 0;
}
