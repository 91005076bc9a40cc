#include "engine/sample_type.h"

#include <gtest/gtest.h>

namespace {

struct FormatCase {
    int channels, rate, type;
    uint16_t tag, bits, align;
    uint32_t avg;
};

TEST(SampleType, FileFormats) {
    const FormatCase cases[] = {
        {2, 16000, SAMPLE_TYPE_PCM16, 1, 16, 4, 64000},
        {1, 8000, SAMPLE_TYPE_MULAW, 7, 8, 1, 8000},
        {2, 48000, SAMPLE_TYPE_ALAW, 6, 8, 2, 96000},
        {2, 48000, SAMPLE_TYPE_PCM16, 1, 16, 4, 192000},
        {1, 11025, SAMPLE_TYPE_PCM8, 1, 8, 1, 11025},
        {2, 22050, SAMPLE_TYPE_PCM8, 1, 8, 2, 44100},
    };
    for (const FormatCase& c : cases) {
        const WaveFormat f = MakeFileFormat(c.channels, c.rate, c.type);
        SCOPED_TRACE(testing::Message()
                     << c.channels << " ch, " << c.rate << " Hz, type " << c.type);
        EXPECT_EQ(f.wFormatTag, c.tag);
        EXPECT_EQ(f.nChannels, c.channels);
        EXPECT_EQ(f.nSamplesPerSec, uint32_t(c.rate));
        EXPECT_EQ(f.wBitsPerSample, c.bits);
        EXPECT_EQ(f.nBlockAlign, c.align);
        EXPECT_EQ(f.nAvgBytesPerSec, c.avg);
        EXPECT_EQ(f.cbSize, 0);
    }
}

// The device always records PCM; only 8-bit PCM is captured at 8 bits.
TEST(SampleType, DeviceFormats) {
    const FormatCase cases[] = {
        {1, 8000, SAMPLE_TYPE_MULAW, 1, 16, 2, 16000},
        {2, 8000, SAMPLE_TYPE_ALAW, 1, 16, 4, 32000},
        {1, 11025, SAMPLE_TYPE_PCM8, 1, 8, 1, 11025},
        {2, 48000, SAMPLE_TYPE_PCM16, 1, 16, 4, 192000},
    };
    for (const FormatCase& c : cases) {
        const WaveFormat f = MakeDeviceFormat(c.channels, c.rate, c.type);
        SCOPED_TRACE(testing::Message()
                     << c.channels << " ch, " << c.rate << " Hz, type " << c.type);
        EXPECT_EQ(f.wFormatTag, c.tag);
        EXPECT_EQ(f.wBitsPerSample, c.bits);
        EXPECT_EQ(f.nBlockAlign, c.align);
        EXPECT_EQ(f.nAvgBytesPerSec, c.avg);
    }
    EXPECT_FALSE(IsValidSampleType(-1));
    EXPECT_FALSE(IsValidSampleType(4));
    EXPECT_TRUE(IsValidSampleType(SAMPLE_TYPE_ALAW));
}

} // namespace
