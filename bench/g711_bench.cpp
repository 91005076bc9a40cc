// G.711 encoding cost per sample, for each law, over a block of random 16-bit samples.
#include "engine/g711.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// One 40 ms capture block at 48000 Hz stereo: what the writer encodes at a time.
constexpr size_t kSamples = 3840;

const std::vector<int16_t>& Samples() {
    static const std::vector<int16_t> samples = [] {
        std::mt19937 random(711);
        std::uniform_int_distribution<int> value(-32768, 32767);
        std::vector<int16_t> s(kSamples);
        for (auto& x : s)
            x = static_cast<int16_t>(value(random));
        return s;
    }();
    return samples;
}

template <void (*Encode)(const int16_t*, uint8_t*, int)> void BM_Encode(benchmark::State& state) {
    const auto& samples = Samples();
    std::vector<uint8_t> codes(kSamples);
    for (auto _ : state) {
        Encode(samples.data(), codes.data(), int(kSamples));
        benchmark::DoNotOptimize(codes.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kSamples));
    state.counters["ns_per_sample"] =
        benchmark::Counter(double(kSamples) * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_MuLaw(benchmark::State& state) {
    BM_Encode<EncodeMuLaw>(state);
}
void BM_ALaw(benchmark::State& state) {
    BM_Encode<EncodeALaw>(state);
}

// The reference algorithms, one sample at a time, for comparison with the block encoders.
template <int (*Reference)(int)>
void ReferenceLoop(const int16_t* samples, uint8_t* codes, int count) {
    for (int i = 0; i < count; ++i)
        codes[i] = uint8_t(Reference(samples[i]));
}

void BM_MuLawReference(benchmark::State& state) {
    BM_Encode<ReferenceLoop<MuLawFromLinear>>(state);
}
void BM_ALawReference(benchmark::State& state) {
    BM_Encode<ReferenceLoop<ALawFromLinear>>(state);
}

BENCHMARK(BM_MuLaw);
BENCHMARK(BM_ALaw);
BENCHMARK(BM_MuLawReference);
BENCHMARK(BM_ALawReference);

} // namespace

BENCHMARK_MAIN();
