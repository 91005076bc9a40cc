// Both sides of a call: the drift follower over ten simulated hours at each drift (the worst
// offset of a click from its place, from minute 1 on, and the spread), then what a recorded
// minute of both sides costs above a bare recording of the microphone: the output's 48 kHz float
// stereo converted and resampled to the recording's rate, followed onto the microphone's clock,
// and mixed with it into the recording's samples.
//   drift_bench [RATE]   (the simulation's rate; 2000 unless given)
#include "engine/drift_follower.h"
#include "engine/resampler.h"
#include "engine/sample_conversion.h"
#include "tests/support/drift_simulation.h"

#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double ThreadCpuSeconds() {
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// CPU milliseconds of one recorded minute of both sides at this rate and channel count.
double MinuteOfBoth(uint32_t rate, int channels) {
    const StreamFormat output = {48000, 2, ENCODING_FLOAT32, 0x3};
    const size_t packet = 480, block = rate * 40 / 1000, far = rate / 100;
    Resampler resampler;
    resampler.Configure(48000, rate, 1, packet);
    DriftFollower follower(rate, far);
    Quantiser quantiser;
    std::vector<float> played(packet * 2), mono(packet), converted(resampler.MaxOutFrames(packet));
    std::vector<int16_t> farPcm(converted.size()), near(block);
    std::vector<float> farIn(converted.size()), pulled(block), mix(block * 2);
    std::vector<uint8_t> out(block * 4);
    for (size_t i = 0; i < played.size(); ++i)
        played[i] = 0.3f * float(std::sin(double(i) * 0.05));
    for (size_t i = 0; i < block; ++i)
        near[i] = int16_t(8000 * std::sin(double(i) * 0.11));
    const double start = ThreadCpuSeconds();
    uint64_t taken = 0, delivered = 0;
    for (int p = 0; p < 60 * 100; ++p) { // 10 ms packets
        ToFloatFrames(reinterpret_cast<const uint8_t*>(played.data()), packet, output, 1,
                      mono.data());
        const size_t n = resampler.Process(mono.data(), packet, converted.data());
        quantiser.ToPcm16(converted.data(), n, farPcm.data());
        for (size_t i = 0; i < n; ++i)
            farIn[i] = float(farPcm[i]) / 32768.0f;
        follower.Push(farIn.data(), n);
        delivered += n;
        while (taken + block <= delivered) { // the microphone's 40 ms blocks
            follower.Pull(pulled.data(), block);
            MixSides(near.data(), pulled.data(), block, channels, 16, quantiser, mix.data(),
                     out.data());
            taken += block;
        }
    }
    return (ThreadCpuSeconds() - start) * 1000;
}

} // namespace

int main(int argc, char** argv) {
    const uint32_t rate = argc > 1 ? uint32_t(std::atoi(argv[1])) : 2000;
    std::printf("the follower over ten simulated hours at %u Hz (10 ms in, 40 ms out, up to 15 ms "
                "late):\n",
                rate);
    const double drifts[][2] = {{-2000, -2000}, {-500, -500}, {0, 0},
                                {500, 500},     {2000, 2000}, {-500, 500}};
    for (const auto& drift : drifts) {
        DriftRun run;
        run.rate = rate;
        run.ppm = drift[0];
        run.laterPpm = drift[1];
        const DriftResult r = SimulateDrift(run);
        std::printf("  %+6.0f ppm%s: %d/%d clicks, offset %.1f..%.1f ms (spread %.1f ms), most "
                    "fill %.0f ms, ratio within %.0f ppm of the clocks', slew up to %.0f ppm/s, "
                    "%llu underflows, %llu resyncs after minute 1\n",
                    drift[0], drift[0] != drift[1] ? " then +500" : "          ", r.clicksFound,
                    r.clicksPlayed, r.leastOffsetMs, r.mostOffsetMs,
                    r.mostOffsetMs - r.leastOffsetMs, double(r.mostFill) * 1000 / rate,
                    r.mostWobble * 1e6, r.mostSlewPerSecond * 1e6,
                    static_cast<unsigned long long>(r.figures.underflows - r.atMinute.underflows),
                    static_cast<unsigned long long>(r.figures.resyncs - r.atMinute.resyncs));
    }
    std::printf("a recorded minute of both sides, above the microphone alone (CPU of one core):\n");
    for (const uint32_t recordRate : {16000u, 44100u, 48000u})
        for (const int channels : {1, 2}) {
            const double ms = MinuteOfBoth(recordRate, channels);
            std::printf("  %5u Hz %s: %.0f ms a minute (%.2f %% of a core)\n", recordRate,
                        channels == 2 ? "stereo" : "mono  ", ms, ms / 600);
        }
    return 0;
}
