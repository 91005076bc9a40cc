// The rate conversion and the sample conversions of what the computer plays. The resampler is
// measured on tones, a sweep and a click at the rate pairs a recording meets, against SoX's
// `rate -v` as the oracle (natively, where SoX runs); the conversions on a table of edge values.
#include "engine/resampler.h"
#include "engine/sample_conversion.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<float> Resample(const std::vector<float>& in, uint32_t from, uint32_t to) {
    Resampler resampler;
    EXPECT_TRUE(resampler.Configure(from, to, 1, 4096));
    std::vector<float> out(resampler.MaxOutFrames(in.size()) +
                           resampler.MaxOutFrames(resampler.DelayFrames() + 1));
    size_t n = 0;
    for (size_t at = 0; at < in.size(); at += 4096) // in chunks, as packets come
        n += resampler.Process(in.data() + at, std::min<size_t>(4096, in.size() - at),
                               out.data() + n);
    n += resampler.Flush(out.data() + n);
    out.resize(n);
    return out;
}

std::vector<float> Tone(double hz, uint32_t rate, double seconds, double amplitude = 0.5) {
    std::vector<float> tone(size_t(seconds * rate));
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = float(amplitude * std::sin(2 * kPi * hz * double(i) / rate + 0.3));
    return tone;
}

// The tone's amplitude by least squares over the middle of the signal (its first and last
// tenth left out, where the filter meets the edges), and what is left besides it, relative
// to it (dB).
struct Fit {
    double amplitude = 0, residualDb = 0;
};
Fit FitTone(const std::vector<float>& signal, double hz, uint32_t rate) {
    const size_t from = signal.size() / 10, to = signal.size() - signal.size() / 10;
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    for (size_t i = from; i < to; ++i) {
        const double s = std::sin(2 * kPi * hz * double(i) / rate);
        const double c = std::cos(2 * kPi * hz * double(i) / rate);
        ss += s * s, cc += c * c, sc += s * c, ys += signal[i] * s, yc += signal[i] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    double residual = 0, tone = 0;
    for (size_t i = from; i < to; ++i) {
        const double fitted = a * std::sin(2 * kPi * hz * double(i) / rate) +
                              b * std::cos(2 * kPi * hz * double(i) / rate);
        residual += (signal[i] - fitted) * (signal[i] - fitted);
        tone += fitted * fitted;
    }
    return {std::hypot(a, b), 10 * std::log10(std::max(residual, 1e-30) / tone)};
}

double RmsDb(const std::vector<float>& signal, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += double(signal[i]) * signal[i];
    return 10 * std::log10(std::max(sum / double(to - from), 1e-30));
}

size_t Peak(const std::vector<float>& signal) {
    return size_t(std::max_element(signal.begin(), signal.end(),
                                   [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                  signal.begin());
}

#ifndef _WIN32
// SoX's very high quality rate conversion of the same samples.
std::vector<float> SoxRate(const std::vector<float>& in, uint32_t from, uint32_t to) {
    TempDir dir;
    const auto source = dir / "in.raw", result = dir / "out.raw";
    std::vector<uint8_t> bytes(in.size() * 4);
    std::memcpy(bytes.data(), in.data(), bytes.size());
    WriteFileBytes(source, bytes);
    const std::string command = "sox -q -t raw -e floating-point -b 32 -c 1 -r " +
                                std::to_string(from) + " " + source.string() +
                                " -t raw -e floating-point -b 32 " + result.string() + " rate -v " +
                                std::to_string(to);
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<uint8_t> out = ReadFileBytes(result);
    std::vector<float> samples(out.size() / 4);
    std::memcpy(samples.data(), out.data(), samples.size() * 4);
    return samples;
}
#endif

// At every pair of rates a recording meets: the passband flat within 0.1 dB to 0.9 of the
// lower Nyquist; images and aliases 90 dB down; a sweep as SoX converts it; a
// click at its time within one output sample, where SoX puts it; the length SoX gives.
TEST(Resampler, AgainstSoxAtTheRatesARecordingMeets) {
    const struct {
        uint32_t from, to;
    } pairs[] = {{44100, 8000},  {48000, 16000}, {44100, 48000}, {48000, 11025},
                 {48000, 48000}, {44100, 22050}, {32000, 44100}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(std::to_string(pair.from) + " -> " + std::to_string(pair.to));
        const double nyquist = std::min(pair.from, pair.to) / 2.0;
        for (double share : {0.02, 0.31, 0.6, 0.9}) {
            const double hz = share * nyquist;
            const std::vector<float> out = Resample(Tone(hz, pair.from, 1.0), pair.from, pair.to);
            const Fit fit = FitTone(out, hz, pair.to);
            EXPECT_NEAR(20 * std::log10(fit.amplitude / 0.5), 0, 0.1) << hz << " Hz";
            EXPECT_LT(fit.residualDb, -90) << "images, aliases at " << hz << " Hz";
        }
        if (pair.from > pair.to) // what lies above the new Nyquist must not fold back into it
            for (double share : {1.01, 1.3, 0.95 * pair.from / 2 / nyquist}) {
                const std::vector<float> out =
                    Resample(Tone(share * nyquist, pair.from, 1.0), pair.from, pair.to);
                EXPECT_LT(RmsDb(out, out.size() / 10, out.size() - out.size() / 10),
                          20 * std::log10(0.5 / std::sqrt(2)) - 90)
                    << share * nyquist << " Hz";
            }

        std::vector<float> click(pair.from, 0.0f);
        const size_t at = pair.from / 2 + 3;
        click[at] = 0.9f;
        const std::vector<float> clicked = Resample(click, pair.from, pair.to);
        const double ratio = double(pair.from) / pair.to;
        EXPECT_LE(std::fabs(double(Peak(clicked)) * ratio - double(at)), ratio)
            << "the click's time";
        EXPECT_EQ(clicked.size(), size_t(std::ceil(double(click.size()) / ratio - 1e-9)));
#ifndef _WIN32
        const std::vector<float> soxClicked = SoxRate(click, pair.from, pair.to);
        EXPECT_LE(std::abs(long(Peak(clicked)) - long(Peak(soxClicked))), 1);
        EXPECT_NEAR(double(clicked.size()), double(soxClicked.size()), 1);

        // A logarithmic sweep over the passband: the two conversions differ by less than 1/10000.
        std::vector<float> sweep(size_t(pair.from) * 3);
        const double f0 = 20, f1 = 0.85 * nyquist, length = 3.0;
        for (size_t i = 0; i < sweep.size(); ++i) {
            const double t = double(i) / pair.from;
            const double k = std::log(f1 / f0) / length;
            sweep[i] = float(0.5 * std::sin(2 * kPi * f0 * (std::exp(k * t) - 1) / k));
        }
        const std::vector<float> ours = Resample(sweep, pair.from, pair.to);
        const std::vector<float> sox = SoxRate(sweep, pair.from, pair.to);
        const size_t n = std::min(ours.size(), sox.size());
        std::vector<float> difference(n);
        for (size_t i = 0; i < n; ++i)
            difference[i] = ours[i] - sox[i];
        const size_t edge = pair.to / 5;
        EXPECT_LT(RmsDb(difference, edge, n - edge) - RmsDb(sox, edge, n - edge), -80)
            << "the sweep against SoX's";
#endif
    }
}

// Every encoding's edge values, every channel layout mixed to mono and stereo, and the
// quantiser's silence, clipping and dither, without bias.
TEST(SampleConversion, EncodingsLayoutsAndQuantising) {
    const struct {
        const char* what;
        StreamFormat format;
        std::vector<uint8_t> frame;
        float mono, left, right;
    } cases[] = {
        // clang-format off
        {"int16 full scale", {48000, 2, ENCODING_INT16, 0}, {0x00, 0x80, 0xFF, 0x7F},
         -0.5f / 32768, -1.0f, 32767.0f / 32768},
        {"uint8", {8000, 1, ENCODING_UINT8, 0}, {0x00}, -1.0f, -1.0f, -1.0f},
        {"int24 packed", {48000, 2, ENCODING_INT24, 0}, {0x00, 0x00, 0x40, 0x00, 0x00, 0xC0},
         0.0f, 0.5f, -0.5f},
        {"int32 with 24 valid bits", {48000, 1, ENCODING_INT32, 0}, {0x00, 0x00, 0x00, 0xC0},
         -0.5f, -0.5f, -0.5f},
        {"float", {44100, 2, ENCODING_FLOAT32, 0x3}, {0, 0, 0, 0x3F, 0, 0, 0x80, 0xBE},
         0.125f, 0.5f, -0.25f},
        {"float, not a number", {44100, 1, ENCODING_FLOAT32, 0}, {0, 0, 0xC0, 0x7F}, 0, 0, 0},
        // 5.1 (FL FR FC LFE BL BR): the front pair with the centre at -3 dB
        {"5.1", {48000, 6, ENCODING_INT16, 0x3F},
         {0x00, 0x20, 0x00, 0xE0, 0x00, 0x40, 0x00, 0x40, 0x00, 0x10, 0x00, 0x10},
         1.25f / 6, 0.25f + 0.35355339f, -0.25f + 0.35355339f},
        // a mask without the centre, its order shifting the channels: FL FR LFE
        {"front pair and bass", {48000, 3, ENCODING_INT16, 0xB},
         {0x00, 0x20, 0x00, 0x10, 0x00, 0x40}, 0.875f / 3, 0.25f, 0.125f},
        {"three channels, no mask: the third the centre", {48000, 3, ENCODING_INT16, 0},
         {0x00, 0x20, 0x00, 0x10, 0x00, 0x40}, 0.875f / 3, 0.25f + 0.35355339f,
         0.125f + 0.35355339f},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.frame.size(), c.format.BlockAlign());
        float mono = 9, stereo[2] = {9, 9};
        ToFloatFrames(c.frame.data(), 1, c.format, 1, &mono);
        ToFloatFrames(c.frame.data(), 1, c.format, 2, stereo);
        EXPECT_NEAR(mono, c.mono, 1e-6);
        EXPECT_NEAR(stereo[0], c.left, 1e-6);
        EXPECT_NEAR(stereo[1], c.right, 1e-6);
    }

    // Silence stays silence, full scale and beyond clip, no number is no sound.
    Quantiser quantiser;
    const float edges[] = {0.0f, 1.5f, -1.5f, 1.0f, -1.0f, NAN};
    std::vector<int16_t> wide(6);
    std::vector<uint8_t> narrow(6);
    quantiser.ToPcm16(edges, 6, wide.data());
    quantiser.ToPcm8(edges, 6, narrow.data());
    EXPECT_EQ(wide, (std::vector<int16_t>{0, 32767, -32768, 32767, -32768, 0}));
    EXPECT_EQ(narrow, (std::vector<uint8_t>{128, 255, 0, 255, 0, 128}));
    // A level between two steps comes out as its mean, spread over both neighbours.
    std::vector<float> quiet(100000, 0.3f / 32768);
    std::vector<int16_t> dithered(quiet.size());
    quantiser.ToPcm16(quiet.data(), quiet.size(), dithered.data());
    double sum = 0;
    for (int16_t s : dithered) {
        EXPECT_LE(std::abs(s), 1);
        sum += s;
    }
    EXPECT_NEAR(sum / double(quiet.size()), 0.3, 0.02);
}

} // namespace
