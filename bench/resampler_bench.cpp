// The rate conversion's cost next to SoX's `rate` on the same machine and the same signal (ten
// minutes of noise and a sweep, float samples in and out, the file cached): CPU time per minute
// of sound, for the conversions a recording of the computer's playback makes. SoX is run at the
// quality target of ours (16-bit precision, passband to 90 % of the lower Nyquist: `rate -m -b
// 90`) and at its very high one (`rate -v`); the time SoX takes to only copy the samples is
// subtracted from both. Then the whole chain of a recorded minute: 48 kHz float stereo from the
// output to the recording's 16-bit samples.
//   resampler_bench [SCRATCH_FOLDER]
#include "engine/resampler.h"
#include "engine/sample_conversion.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kSeconds = 600;
constexpr double kPi = 3.14159265358979323846;

double ChildrenCpuSeconds() {
    rusage usage = {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// CPU seconds of a SoX command.
double Sox(const std::string& arguments) {
    const double before = ChildrenCpuSeconds();
    const std::string command = "sox -q " + arguments;
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return ChildrenCpuSeconds() - before;
}

std::vector<float> Signal(uint32_t rate, int channels) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.25f, 0.25f);
    std::vector<float> samples(size_t(kSeconds * rate) * size_t(channels));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = double(i / size_t(channels)) / rate;
        samples[i] = noise(random) + float(0.25 * std::sin(2 * kPi * (20 + 400 * t) * t));
    }
    return samples;
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const struct {
        uint32_t from, to;
        int channels;
    } pairs[] = {{48000, 16000, 2},
                 {44100, 48000, 2},
                 {44100, 8000, 1},
                 {48000, 11025, 1},
                 {48000, 44100, 2}};
    std::printf("%-22s %8s %14s %14s %14s\n", "conversion", "taps", "ours ms/min", "sox -m -b 90",
                "sox -v");
    for (const auto& pair : pairs) {
        const std::vector<float> in = Signal(pair.from, pair.channels);
        const std::string raw = folder + "/resampler-bench.f32";
        if (FILE* file = std::fopen(raw.c_str(), "wb")) {
            std::fwrite(in.data(), sizeof(float), in.size(), file);
            std::fclose(file);
        }
        Resampler resampler;
        const size_t chunk = 480; // 10 ms packets
        resampler.Configure(pair.from, pair.to, pair.channels, chunk);
        std::vector<float> out(resampler.MaxOutFrames(chunk) * size_t(pair.channels));
        const double start = ThreadCpuSeconds();
        volatile float sink = 0;
        const size_t frames = in.size() / size_t(pair.channels);
        for (size_t at = 0; at < frames; at += chunk) {
            const size_t n = std::min(chunk, frames - at);
            const size_t made =
                resampler.Process(in.data() + at * size_t(pair.channels), n, out.data());
            if (made)
                sink = sink + out[0];
        }
        const double ours = ThreadCpuSeconds() - start;
        const std::string input = "-t raw -e floating-point -b 32 -c " +
                                  std::to_string(pair.channels) + " -r " +
                                  std::to_string(pair.from) + " " + raw;
        const std::string output = " -t raw -e floating-point -b 32 /dev/null ";
        const double copy = Sox(input + output + "vol 1");
        const double medium =
            Sox(input + output + "rate -m -b 90 " + std::to_string(pair.to)) - copy;
        const double high = Sox(input + output + "rate -v " + std::to_string(pair.to)) - copy;
        const auto perMinute = [](double seconds) { return seconds * 1000 / (kSeconds / 60); };
        const std::string name = std::to_string(pair.from) + " -> " + std::to_string(pair.to) +
                                 (pair.channels == 2 ? " stereo" : " mono");
        std::printf("%-22s %8zu %11.1f ms %11.1f ms %11.1f ms\n", name.c_str(),
                    resampler.TapsPerPhase(), perMinute(ours), perMinute(medium), perMinute(high));
        std::remove(raw.c_str());
    }

    // The whole chain of a recorded minute: the output's packets (48 kHz float stereo) converted,
    // resampled to 16000 Hz stereo and quantised with dither.
    const std::vector<float> packets = Signal(48000, 2);
    StreamFormat format;
    format.rate = 48000;
    format.channels = 2;
    format.encoding = ENCODING_FLOAT32;
    Resampler resampler;
    resampler.Configure(48000, 16000, 2, 480);
    Quantiser quantiser;
    std::vector<float> mixed(480 * 2), resampled(resampler.MaxOutFrames(480) * 2);
    std::vector<int16_t> pcm(resampled.size());
    const double start = ThreadCpuSeconds();
    const size_t frames = packets.size() / 2;
    for (size_t at = 0; at + 480 <= frames; at += 480) {
        ToFloatFrames(reinterpret_cast<const uint8_t*>(packets.data() + at * 2), 480, format, 2,
                      mixed.data());
        const size_t made = resampler.Process(mixed.data(), 480, resampled.data());
        quantiser.ToPcm16(resampled.data(), made * 2, pcm.data());
    }
    const double chain = ThreadCpuSeconds() - start;
    std::printf("the chain of a recorded minute, 48000 float stereo to 16000 16-bit stereo: "
                "%.1f ms of CPU (%.3f %% of one core)\n",
                chain * 1000 / (kSeconds / 60), chain / kSeconds * 100);
    return 0;
}
