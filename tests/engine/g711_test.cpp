#include "engine/g711.h"
#include "engine/g711_vector.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Textbook G.711 decoders, written independently of the encoders, to judge their codes.
int DecodeMuLaw(int code) {
    const int u = ~code & 0xFF;
    const int exponent = (u >> 4) & 7;
    const int magnitude = ((((u & 0x0F) << 3) + 0x84) << exponent) - 0x84;
    return (u & 0x80) ? -magnitude : magnitude;
}

int DecodeALaw(int code) {
    const int a = code ^ 0x55;
    const int segment = (a >> 4) & 7;
    int t = (a & 0x0F) << 4;
    if (segment == 0)
        t += 8;
    else
        t = (t + 0x108) << (segment - 1);
    return (a & 0x80) ? t : -t;
}

int BitLength(int m) {
    int bits = 0;
    for (; m > 0; m >>= 1)
        ++bits;
    return bits;
}

int MuLawExponent(int code) {
    return ((~code & 0xFF) >> 4) & 7;
}
int ALawSegment(int code) {
    return ((code ^ 0x55) >> 4) & 7;
}

struct Case {
    int sample;
    int code;
};

TEST(G711, MuLawEdgeValues) {
    const Case cases[] = {{0, 0xFF},      {1, 0xFF},     {-1, 0x7F},    {7, 0xFE},
                          {100, 0xF2},    {-100, 0x72},  {1000, 0xCE},  {-1000, 0x4E},
                          {4095, 0xAF},   {32635, 0x80}, {32767, 0x80}, {-31611, 0x01},
                          {-31612, 0x02}, {-32768, 0x02}};
    for (const Case& c : cases)
        EXPECT_EQ(MuLawFromLinear(c.sample), c.code) << "sample " << c.sample;
}

TEST(G711, ALawEdgeValues) {
    const Case cases[] = {{0, 0xD5},    {15, 0xD5},    {16, 0xD4},   {-1, 0x55},    {-7, 0x55},
                          {-8, 0x55},   {-23, 0x55},   {-24, 0x54},  {100, 0xD3},   {-100, 0x50},
                          {1000, 0xFA}, {-1000, 0x7A}, {4095, 0x9A}, {32767, 0xAA}, {-32768, 0x2A}};
    for (const Case& c : cases)
        EXPECT_EQ(ALawFromLinear(c.sample), c.code) << "sample " << c.sample;
}

TEST(G711, FindSegment) {
    const int16_t ends[8] = {0x00FF, 0x01FF, 0x03FF, 0x07FF, 0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF};
    EXPECT_EQ(FindSegment(-5, ends, 8), 0);
    EXPECT_EQ(FindSegment(255, ends, 8), 0);
    EXPECT_EQ(FindSegment(256, ends, 8), 1);
    EXPECT_EQ(FindSegment(4096, ends, 8), 5);
    EXPECT_EQ(FindSegment(32767, ends, 8), 7);
    EXPECT_EQ(FindSegment(32768, ends, 8), 8);
    EXPECT_EQ(FindSegment(1, ends, 0), 0);
    EXPECT_EQ(FindSegment(1, ends, -3), -3);
}

// Every 16-bit input: the sign bit, the zero trap, the segment the code claims, the distance of
// the decoded value from the input, and codes that never step back as the magnitude grows.
TEST(G711, MuLawOverAllInputs) {
    int previousUp = DecodeMuLaw(MuLawFromLinear(0));
    int previousDown = previousUp;
    for (int x = -32768; x <= 32767; ++x) {
        const int code = MuLawFromLinear(x);
        ASSERT_GE(code, 0x01) << x;
        ASSERT_LE(code, 0xFF) << x;
        ASSERT_EQ((code & 0x80) != 0, x >= 0) << "sign of " << x;
        const int decoded = DecodeMuLaw(code);
        if (x <= kMuLawClip && x > -31612) {
            ASSERT_LE(std::abs(decoded - x), 4 << MuLawExponent(code))
                << "sample " << x << " code " << code;
        }
        // The segment follows from magnitude + bias: 2^(7+e) <= m + 132 < 2^(8+e).
        const int m = std::min(std::abs(x), kMuLawClip) + kMuLawBias;
        if (x > -31612) {
            ASSERT_EQ(m >> (7 + MuLawExponent(code)), 1) << "segment of " << x;
        }
    }
    for (int x = 1; x <= 32767; ++x) {
        const int decoded = DecodeMuLaw(MuLawFromLinear(x));
        ASSERT_GE(decoded, previousUp) << x;
        previousUp = decoded;
    }
    for (int x = -1; x > -31612; --x) {
        const int decoded = DecodeMuLaw(MuLawFromLinear(x));
        ASSERT_LE(decoded, previousDown) << x;
        previousDown = decoded;
    }
    // The segment boundary: magnitude + bias reaches 256 at 124.
    EXPECT_EQ(MuLawExponent(MuLawFromLinear(123)), 0);
    EXPECT_EQ(MuLawExponent(MuLawFromLinear(124)), 1);
    EXPECT_EQ(MuLawExponent(MuLawFromLinear(-124)), 1);
}

TEST(G711, ALawOverAllInputs) {
    int previousUp = DecodeALaw(ALawFromLinear(0));
    int previousDown = DecodeALaw(ALawFromLinear(-1));
    for (int x = -32768; x <= 32767; ++x) {
        const int code = ALawFromLinear(x);
        ASSERT_GE(code, 0x00) << x;
        ASSERT_LE(code, 0xFF) << x;
        ASSERT_EQ((code & 0x80) != 0, x >= 0) << "sign of " << x;
        const int segment = ALawSegment(code);
        const int step = 1 << (std::max(segment, 1) + 3);
        ASSERT_LE(std::abs(DecodeALaw(code) - x), step + 8) << "sample " << x << " code " << code;
        const int m = x >= 0 ? x : std::max(-x - 8, 0);
        ASSERT_EQ(segment, m < 256 ? 0 : BitLength(m) - 8) << "segment of " << x;
    }
    for (int x = 1; x <= 32767; ++x) {
        const int decoded = DecodeALaw(ALawFromLinear(x));
        ASSERT_GE(decoded, previousUp) << x;
        previousUp = decoded;
    }
    for (int x = -2; x >= -32768; --x) {
        const int decoded = DecodeALaw(ALawFromLinear(x));
        ASSERT_LE(decoded, previousDown) << x;
        previousDown = decoded;
    }
    EXPECT_EQ(ALawSegment(ALawFromLinear(255)), 0);
    EXPECT_EQ(ALawSegment(ALawFromLinear(256)), 1);
    EXPECT_EQ(ALawSegment(ALawFromLinear(-263)), 0);
    EXPECT_EQ(ALawSegment(ALawFromLinear(-264)), 1);
}

// The block encoders use a table; it must agree with the reference algorithm everywhere.
TEST(G711, BlockEncodersMatchReferenceForEveryInput) {
    std::vector<int16_t> samples(65536);
    for (int i = 0; i < 65536; ++i)
        samples[i] = static_cast<int16_t>(i - 32768);
    std::vector<uint8_t> mu(65536), a(65536);
    EncodeMuLaw(samples.data(), mu.data(), 65536);
    EncodeALaw(samples.data(), a.data(), 65536);

    // The byte forms read little-endian samples at any alignment.
    std::vector<uint8_t> bytes(1 + 2 * 65536);
    for (int i = 0; i < 65536; ++i) {
        bytes[1 + 2 * i] = static_cast<uint8_t>(samples[i]);
        bytes[2 + 2 * i] = static_cast<uint8_t>(static_cast<uint16_t>(samples[i]) >> 8);
    }
    std::vector<uint8_t> muBytes(65536), aBytes(65536);
    EncodeMuLawFromBytes(bytes.data() + 1, muBytes.data(), 65536);
    EncodeALawFromBytes(bytes.data() + 1, aBytes.data(), 65536);

    for (int i = 0; i < 65536; ++i) {
        ASSERT_EQ(mu[i], MuLawFromLinear(samples[i])) << "sample " << samples[i];
        ASSERT_EQ(a[i], ALawFromLinear(samples[i])) << "sample " << samples[i];
        ASSERT_EQ(muBytes[i], mu[i]) << "sample " << samples[i];
        ASSERT_EQ(aBytes[i], a[i]) << "sample " << samples[i];
    }
}

#ifdef SONARIX_G711_VECTOR
// Each vector form on its own (the block encoders use only the widest one the processor has):
// every input, at an odd address, with the samples it leaves for the caller untouched.
TEST(G711, VectorFormsMatchReferenceForEveryInput) {
    using Encoder = size_t (*)(const uint8_t*, uint8_t*, size_t);
    struct Form {
        const char* name;
        Encoder encode;
        int (*reference)(int);
        bool available;
    };
    const Form forms[] = {
        {"mu-law SSE2", EncodeMuLawSse2, MuLawFromLinear, true},
        {"A-law SSE2", EncodeALawSse2, ALawFromLinear, true},
        {"mu-law AVX2", EncodeMuLawAvx2, MuLawFromLinear, CpuHasAvx2()},
        {"A-law AVX2", EncodeALawAvx2, ALawFromLinear, CpuHasAvx2()},
    };
    const size_t count = 65536 + 13;
    std::vector<uint8_t> bytes(1 + 2 * count);
    for (size_t i = 0; i < count; ++i) {
        const auto pattern = static_cast<uint16_t>(i * 40503u); // every value, shuffled
        bytes[1 + 2 * i] = static_cast<uint8_t>(pattern);
        bytes[2 + 2 * i] = static_cast<uint8_t>(pattern >> 8);
    }
    for (const Form& form : forms) {
        if (!form.available) {
            std::printf("skipped %s: the processor lacks it\n", form.name);
            continue;
        }
        SCOPED_TRACE(form.name);
        std::vector<uint8_t> codes(count, 0xEE);
        const size_t done = form.encode(bytes.data() + 1, codes.data(), count);
        EXPECT_GT(done, count - 32);
        EXPECT_LE(done, count);
        for (size_t i = 0; i < done; ++i) {
            const int sample = int16_t(bytes[1 + 2 * i] | (bytes[2 + 2 * i] << 8));
            ASSERT_EQ(codes[i], form.reference(sample)) << "sample " << sample << " at " << i;
        }
        for (size_t i = done; i < count; ++i)
            ASSERT_EQ(codes[i], 0xEE) << "wrote past its whole steps at " << i;
    }
}
#endif

TEST(G711, EmptyOrNegativeCountWritesNothing) {
    const int16_t samples[2] = {1000, -1000};
    uint8_t codes[3] = {0xEE, 0xEE, 0xEE};
    EncodeMuLaw(samples, codes, 0);
    EncodeALaw(samples, codes, -1);
    EXPECT_EQ(codes[0], 0xEE);
    EncodeMuLaw(samples, codes, 2);
    EXPECT_EQ(codes[0], 0xCE);
    EXPECT_EQ(codes[1], 0x4E);
    EXPECT_EQ(codes[2], 0xEE) << "wrote past count";
}

} // namespace
