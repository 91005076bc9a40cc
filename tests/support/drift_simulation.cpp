#include "tests/support/drift_simulation.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

// The follower's frame n sounds at wall time WallOf(n); the leader's frame m at m / rate.
DriftResult SimulateDrift(const DriftRun& run) {
    const double rate = run.rate;
    const double half = run.hours * 1800;
    const double before = rate * (1 + run.ppm * 1e-6), after = rate * (1 + run.laterPpm * 1e-6);
    const auto wallOf = [&](double n) {
        return n < half * before ? n / before : half + (n - half * before) / after;
    };
    const auto frameAt = [&](double wall) {
        return wall < half ? wall * before : half * before + (wall - half) * after;
    };
    const size_t push = run.rate / 100, pull = run.rate * 40 / 1000;
    DriftFollower follower(run.rate, push);
    std::mt19937 random(20261209);
    std::uniform_real_distribution<double> late(0, run.jitterMs / 1000.0);
    std::vector<float> in(push), out(pull);

    DriftResult result;
    uint64_t pushed = 0, pulls = 0;
    double pushAt = wallOf(double(push)) + late(random), pullAt = 0.04 + late(random);
    int nextClick = 1;
    uint64_t clickFrame = uint64_t(std::llround(frameAt(60)));
    std::vector<double> clickWalls;
    const double end = run.hours * 3600;
    // The clicks looked for: from minute 1 to a second before the end.
    const auto counted = [&](double wall) { return wall > 59 && wall < end - 1; };
    // The peak of a click the leader took: its frame on the time line, and the largest sample.
    double peak = 0;
    uint64_t peakFrame = 0, heardAt = 0;
    double lastRatio = 1;
    while (pullAt < end + 1) {
        if (pushAt <= pullAt) {
            std::fill(in.begin(), in.end(), 0.0f);
            while (clickFrame < pushed + push) {
                in[size_t(clickFrame - pushed)] = 1.0f;
                clickWalls.push_back(wallOf(double(clickFrame)));
                clickFrame = uint64_t(std::llround(frameAt(60.0 * ++nextClick)));
            }
            follower.Push(in.data(), push);
            pushed += push;
            pushAt = std::max(pushAt, wallOf(double(pushed + push)) + late(random));
            continue;
        }
        follower.Pull(out.data(), pull);
        const DriftFollower::Figures figures = follower.Read();
        if (pullAt >= 60) {
            result.mostFill = std::max(result.mostFill, figures.fill);
            result.mostDeviation = std::max(result.mostDeviation, std::fabs(figures.ratio - 1));
            const bool later = pullAt >= half;
            if (!later || pullAt >= half + 60)
                result.mostWobble =
                    std::max(result.mostWobble,
                             std::fabs(figures.ratio * (later ? after : before) / rate - 1));
            result.mostSlewPerSecond =
                std::max(result.mostSlewPerSecond, std::fabs(figures.ratio - lastRatio) / 0.04);
        } else {
            result.atMinute = figures;
        }
        lastRatio = figures.ratio;
        for (size_t i = 0; i < pull; ++i) {
            const uint64_t frame = pulls * pull + i;
            if (out[i] > 0.3f) {
                if (peak == 0)
                    heardAt = frame;
                if (out[i] > peak) {
                    peak = out[i];
                    peakFrame = frame;
                }
            }
            if (peak > 0 && frame > heardAt + 8) { // the click is over: where was it?
                peak = 0;
                const double found = double(peakFrame) / rate;
                // The click it is: the one whose place lies nearest before it.
                const auto at = std::upper_bound(clickWalls.begin(), clickWalls.end(), found);
                if (at != clickWalls.begin() && found - *(at - 1) < 30 && counted(*(at - 1))) {
                    const double offsetMs = (found - *(at - 1)) * 1000;
                    result.leastOffsetMs = std::min(result.leastOffsetMs, offsetMs);
                    result.mostOffsetMs = std::max(result.mostOffsetMs, offsetMs);
                    ++result.clicksFound;
                }
            }
        }
        ++pulls;
        pullAt = std::max(pullAt, 0.04 * double(pulls + 1) + late(random));
    }
    result.clicksPlayed = int(std::count_if(clickWalls.begin(), clickWalls.end(), counted));
    result.figures = follower.Read();
    return result;
}
