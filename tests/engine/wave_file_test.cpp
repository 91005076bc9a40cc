#include "engine/g711.h"
#include "engine/wave_file.h"
#include "tests/support/test_disk.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <numeric>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Data(const std::vector<uint8_t>& file, size_t n) {
    return std::vector<uint8_t>(file.begin() + 46, file.begin() + 46 + n);
}

std::vector<int16_t> Ramp(size_t n, int step) {
    std::vector<int16_t> samples(n);
    for (size_t i = 0; i < n; ++i)
        samples[i] = static_cast<int16_t>(int(i) * step - 32768);
    return samples;
}

// Golden headers, written out byte by byte.
TEST(WaveFileHeader, GoldenBytes) {
    const std::vector<uint8_t> stereo48k16 = {
        'R', 'I', 'F', 'F', 38, 0, 0,   0,   'W',  'A',  'V', 'E', 'f', 'm',  't', ' ',
        18,  0,   0,   0,   1,  0, 2,   0,   0x80, 0xBB, 0,   0,   0,   0xEE, 2,   0,
        4,   0,   16,  0,   0,  0, 'd', 'a', 't',  'a',  0,   0,   0,   0};
    const std::vector<uint8_t> mono8kMuLaw = {
        'R', 'I', 'F', 'F', 38, 0, 0,   0,   'W',  'A',  'V', 'E', 'f',  'm',  't', ' ',
        18,  0,   0,   0,   7,  0, 1,   0,   0x40, 0x1F, 0,   0,   0x40, 0x1F, 0,   0,
        1,   0,   8,   0,   0,  0, 'd', 'a', 't',  'a',  0,   0,   0,    0};
    TempDir dir;
    CWaveFile wav;
    ASSERT_EQ(wav.Open(dir / "a.wav", 2, 48000, SAMPLE_TYPE_PCM16), 1);
    ASSERT_EQ(wav.Close(), 1);
    EXPECT_EQ(ReadFileBytes(dir / "a.wav"), stereo48k16);
    ASSERT_EQ(wav.Open(dir / "b.wav", 1, 8000, SAMPLE_TYPE_MULAW), 1);
    ASSERT_EQ(wav.Close(), 1);
    EXPECT_EQ(ReadFileBytes(dir / "b.wav"), mono8kMuLaw);
}

struct HeaderCase {
    int type, channels;
    uint16_t tag, align, bits;
    uint32_t avg;
};

// Every sample type and channel count at 22050 Hz: the fmt fields a reader relies on.
TEST(WaveFileHeader, EveryTypeAndChannelCount) {
    const HeaderCase cases[] = {
        {SAMPLE_TYPE_PCM8, 1, 1, 1, 8, 22050},   {SAMPLE_TYPE_PCM8, 2, 1, 2, 8, 44100},
        {SAMPLE_TYPE_PCM16, 1, 1, 2, 16, 44100}, {SAMPLE_TYPE_PCM16, 2, 1, 4, 16, 88200},
        {SAMPLE_TYPE_MULAW, 1, 7, 1, 8, 22050},  {SAMPLE_TYPE_MULAW, 2, 7, 2, 8, 44100},
        {SAMPLE_TYPE_ALAW, 1, 6, 1, 8, 22050},   {SAMPLE_TYPE_ALAW, 2, 6, 2, 8, 44100},
    };
    TempDir dir;
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << ", " << c.channels << " ch");
        CWaveFile wav;
        const fs::path path = dir / "h.wav";
        ASSERT_EQ(wav.Open(path, c.channels, 22050, c.type, RawFile::CREATE_REPLACE), 1);
        ASSERT_EQ(wav.Close(), 1);
        const auto file = ReadFileBytes(path);
        ASSERT_EQ(file.size(), 46u);
        EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
        EXPECT_EQ(GetU32(file, 4), 38u);
        EXPECT_EQ(std::memcmp(file.data() + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(GetU32(file, 16), 18u);
        EXPECT_EQ(GetU16(file, 20), c.tag);
        EXPECT_EQ(GetU16(file, 22), c.channels);
        EXPECT_EQ(GetU32(file, 24), 22050u);
        EXPECT_EQ(GetU32(file, 28), c.avg);
        EXPECT_EQ(GetU16(file, 32), c.align);
        EXPECT_EQ(GetU16(file, 34), c.bits);
        EXPECT_EQ(GetU16(file, 36), 0);
        EXPECT_EQ(std::memcmp(file.data() + 38, "data", 4), 0);
        EXPECT_EQ(GetU32(file, 42), 0u);
    }
}

TEST(WaveFileData, PcmBlocksAreWrittenUnchangedInOrder) {
    TempDir dir;
    CWaveFile wav;
    ASSERT_EQ(wav.Open(dir / "p.wav", 2, 48000, SAMPLE_TYPE_PCM16), 1);
    const auto first = SampleBytes(Ramp(3840, 17));
    const auto second = SampleBytes(Ramp(3840, -29));
    ASSERT_EQ(wav.Write(first.data(), uint32_t(first.size())), CWaveFile::WRITE_OK);
    ASSERT_EQ(wav.Write(second.data(), uint32_t(second.size())), CWaveFile::WRITE_OK);
    ASSERT_EQ(wav.Close(), 1);
    const auto file = ReadFileBytes(dir / "p.wav");
    ASSERT_EQ(file.size(), 46 + first.size() + second.size());
    EXPECT_EQ(GetU32(file, 42), first.size() + second.size());
    EXPECT_EQ(GetU32(file, 4), file.size() - 8);
    auto expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(Data(file, expected.size()), expected);
}

// µ-law and A-law: one code per 16-bit sample, as the reference encoder gives it; a block larger
// than one 40 ms capture buffer and an odd byte count (the last byte dropped) included.
TEST(WaveFileData, G711BlocksHoldTheEncodersCodes) {
    for (int type : {SAMPLE_TYPE_MULAW, SAMPLE_TYPE_ALAW}) {
        SCOPED_TRACE(type == SAMPLE_TYPE_MULAW ? "mu-law" : "A-law");
        TempDir dir;
        CWaveFile wav;
        ASSERT_EQ(wav.Open(dir / "g.wav", 1, 8000, type), 1);
        const auto samples = Ramp(20000, 3); // 40000 bytes: many times the 640-byte buffer
        auto bytes = SampleBytes(samples);
        bytes.push_back(0x7F); // an odd trailing byte is no sample
        ASSERT_EQ(wav.Write(bytes.data(), uint32_t(bytes.size())), CWaveFile::WRITE_OK);
        const auto oneMore = SampleBytes({1000, -1000});
        ASSERT_EQ(wav.Write(oneMore.data(), 3), CWaveFile::WRITE_OK); // 1 sample, 1 byte dropped
        ASSERT_EQ(wav.Close(), 1);

        std::vector<uint8_t> expected;
        for (int16_t s : samples)
            expected.push_back(
                uint8_t(type == SAMPLE_TYPE_MULAW ? MuLawFromLinear(s) : ALawFromLinear(s)));
        expected.push_back(uint8_t(type == SAMPLE_TYPE_MULAW ? 0xCE : 0xFA));
        const auto file = ReadFileBytes(dir / "g.wav");
        ASSERT_EQ(GetU32(file, 42), expected.size());
        EXPECT_EQ(Data(file, expected.size()), expected);
        EXPECT_EQ(file.size(), 46 + expected.size() + (expected.size() & 1));
    }
}

// 8-bit mono at 11025 Hz: 441-byte blocks; after an odd number of them, a zero pad byte that
// the data size leaves out and the RIFF size counts; the markers after it, written out byte by
// byte: ordered by frame, ids from 1, a labl's pad byte counted by its LIST and not by itself.
TEST(WaveFileData, OddDataGetsAPadByteAndTheMarkersFollow) {
    TempDir dir;
    CWaveFile wav;
    ASSERT_EQ(wav.Open(dir / "o.wav", 1, 11025, SAMPLE_TYPE_PCM8), 1);
    std::vector<uint8_t> block(441);
    std::iota(block.begin(), block.end(), uint8_t(1));
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(wav.Write(block.data(), 441), CWaveFile::WRITE_OK);
    ASSERT_EQ(wav.AddMarker(441, "ABC"), CWaveFile::MARKER_KEPT);
    ASSERT_EQ(wav.AddMarker(0, "AB"), CWaveFile::MARKER_KEPT);
    ASSERT_EQ(wav.Close(), 1);
    const auto file = ReadFileBytes(dir / "o.wav");
    const std::vector<uint8_t> markers = {
        'c', 'u', 'e',  ' ', 52,   0, 0,   0,   2,   0,   0,   0, //
        1,   0,   0,    0,   0,    0, 0,   0,   'd', 'a', 't', 'a', 0,   0,   0,   0,   0,   0,
        0,   0,   0,    0,   0,    0, //
        2,   0,   0,    0,   0xB9, 1, 0,   0,   'd', 'a', 't', 'a', 0,   0,   0,   0,   0,   0,
        0,   0,   0xB9, 1,   0,    0, 'L', 'I', 'S', 'T', 36,  0,   0,   0,   'a', 'd', 't', 'l', //
        'l', 'a', 'b',  'l', 7,    0, 0,   0,   1,   0,   0,   0,   'A', 'B', 0,   0,             //
        'l', 'a', 'b',  'l', 8,    0, 0,   0,   2,   0,   0,   0,   'A', 'B', 'C', 0};
    ASSERT_EQ(file.size(), 46u + 1323 + 1 + markers.size());
    EXPECT_EQ(GetU32(file, 42), 1323u);
    EXPECT_EQ(GetU32(file, 4), file.size() - 8);
    EXPECT_EQ(file[46 + 1323], 0) << "the pad byte";
    EXPECT_EQ(file[46 + 1322], block[440]);
    EXPECT_EQ(std::vector<uint8_t>(file.end() - long(markers.size()), file.end()), markers);
}

TEST(WaveFileData, EmptyBlocksWriteNothing) {
    TempDir dir;
    CWaveFile wav;
    ASSERT_EQ(wav.Open(dir / "e.wav", 2, 16000, SAMPLE_TYPE_ALAW), 1);
    const uint8_t byte = 0x55;
    EXPECT_EQ(wav.Write(&byte, 0), CWaveFile::WRITE_OK);
    EXPECT_EQ(wav.Write(&byte, 1), CWaveFile::WRITE_OK) << "half a sample is nothing to write";
    EXPECT_EQ(wav.WriteRaw(&byte, 0), 0);
    EXPECT_EQ(wav.WriteRaw(nullptr, 4), 0);
    EXPECT_TRUE(wav.IsOpen());
    EXPECT_FALSE(wav.LastFailure());
    ASSERT_EQ(wav.Close(), 1);
    EXPECT_EQ(ReadFileBytes(dir / "e.wav").size(), 46u);
}

// While recording, both size fields say "to the end of the file" and every block is already in
// the file, as another program reading it sees.
TEST(WaveFileData, OpenFileHoldsPlaceholdersAndEveryBlock) {
    TempDir dir;
    CWaveFile wav;
    ASSERT_EQ(wav.Open(dir / "live.wav", 1, 16000, SAMPLE_TYPE_PCM16), 1);
    const auto block = SampleBytes(Ramp(640, 101));
    ASSERT_EQ(wav.Write(block.data(), uint32_t(block.size())), CWaveFile::WRITE_OK);
    ASSERT_EQ(wav.Write(block.data(), 7), CWaveFile::WRITE_OK);

    const auto live = ReadFileBytes(dir / "live.wav");
    ASSERT_EQ(live.size(), 46u + block.size() + 7);
    EXPECT_EQ(GetU32(live, 4), 0xFFFFFFFFu);
    EXPECT_EQ(GetU32(live, 42), 0xFFFFFFFFu);
    EXPECT_EQ(live[46 + block.size() + 6], block[6]);

    ASSERT_EQ(wav.Close(), 1);
    const auto done = ReadFileBytes(dir / "live.wav");
    EXPECT_EQ(GetU32(done, 42), block.size() + 7);
    EXPECT_EQ(GetU32(done, 4), done.size() - 8);
}

// An existing file is replaced only when the caller says so; otherwise it stays byte for byte,
// and the reason carries the system's own error.
TEST(WaveFileData, ExistingFileIsReplacedOnlyWhenAsked) {
    TempDir dir;
    const std::vector<uint8_t> old(5000, 0xAB);
    WriteFileBytes(dir / "old.wav", old);
    CWaveFile wav;
    EXPECT_EQ(wav.Open(dir / "old.wav", 1, 8000, SAMPLE_TYPE_PCM8, RawFile::CREATE_NEW_ONLY), 0);
    EXPECT_EQ(wav.LastFailure().step, STEP_FILE_EXISTS);
    EXPECT_TRUE(RawFile::IsExistsError(wav.LastFailure().code)) << wav.LastFailure().code;
    EXPECT_FALSE(wav.IsOpen());
    EXPECT_EQ(ReadFileBytes(dir / "old.wav"), old) << "untouched";

    ASSERT_EQ(wav.Open(dir / "old.wav", 1, 8000, SAMPLE_TYPE_PCM8, RawFile::CREATE_REPLACE), 1);
    const uint8_t two[2] = {1, 2};
    ASSERT_EQ(wav.Write(two, 2), CWaveFile::WRITE_OK);
    ASSERT_EQ(wav.Close(), 1);
    const auto file = ReadFileBytes(dir / "old.wav");
    ASSERT_EQ(file.size(), 48u);
    EXPECT_EQ(file[46], 1);
    EXPECT_EQ(file[47], 2);
}

TEST(WaveFileFailure, RefusedFormatsCreateNoFile) {
    TempDir dir;
    CWaveFile wav;
    EXPECT_EQ(wav.Open(dir / "t4.wav", 1, 8000, 4), 0);
    EXPECT_EQ(wav.Open(dir / "tm1.wav", 1, 8000, -1), 0);
    EXPECT_EQ(wav.Open(dir / "c0.wav", 0, 8000, SAMPLE_TYPE_PCM16), 0);
    EXPECT_EQ(wav.Open(dir / "r0.wav", 1, 0, SAMPLE_TYPE_PCM16), 0);
    EXPECT_FALSE(wav.IsOpen());
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    const uint8_t byte = 1;
    EXPECT_EQ(wav.Write(&byte, 1), CWaveFile::WRITE_FAILED) << "no file open";
    EXPECT_EQ(wav.Close(), 1) << "closing with no file open is no failure";
}

TEST(WaveFileFailure, FolderThatCannotBeWritten) {
    TempDir dir;
    WriteFileBytes(dir / "plain-file", {1});
    CWaveFile wav;
    EXPECT_EQ(wav.Open(dir / "missing" / "x.wav", 1, 8000, SAMPLE_TYPE_PCM16), 0);
    EXPECT_EQ(wav.LastFailure().step, STEP_FILE);
    EXPECT_EQ(wav.Open(dir / "plain-file" / "x.wav", 1, 8000, SAMPLE_TYPE_PCM16), 0);
    EXPECT_FALSE(wav.IsOpen());
}

// The size limit: a block that would take the file past it (its pad byte and the markers kept
// counted) is not written; the file, completed, holds everything before it, stays valid, and
// never holds more than the limit's RIFF size + 8 bytes. A marker without room is refused. The
// writer's own limit keeps every file within what FAT32 holds, 4 GiB - 1 bytes.
TEST(WaveFileFailure, FullFileIsCompletedWithWhatFits) {
    EXPECT_EQ(CWaveFile::kMaxRiffSize + 8, 0xFFFFFFFFu) << "the largest FAT32 file";
    const uint64_t marker = WaveLayout::kMarkerChunkHeaders + WaveLayout::MarkerBytes(1);
    const struct {
        const char* what;
        int type;
        uint64_t limit;
        std::vector<uint32_t> blocks; // bytes handed to Write
        uint32_t data;                // what lands before the first refusal
        bool marker;                  // one kept after the first block
    } cases[] = {
        {"whole blocks", SAMPLE_TYPE_PCM8, 38 + 1000, {333, 333, 333, 333}, 999, false},
        {"exactly at the limit", SAMPLE_TYPE_PCM8, 38 + 1000, {1000, 1}, 1000, false},
        {"a partial block (paused)", SAMPLE_TYPE_PCM8, 38 + 1000, {500, 1, 499, 1}, 1000, false},
        {"the pad byte at an odd limit", SAMPLE_TYPE_PCM8, 38 + 999, {998, 1}, 998, false},
        {"µ-law codes", SAMPLE_TYPE_MULAW, 38 + 1000, {666, 666, 666, 666}, 999, false},
        {"a marker's room", SAMPLE_TYPE_PCM8, 38 + 1000, {500, 439}, 500, true},
        {"a marker's room, exactly", SAMPLE_TYPE_PCM8, 38 + 1000, {500, 438, 1}, 938, true},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CWaveFile wav;
        wav.SetRiffSizeLimit(c.limit);
        const fs::path path = dir / (std::string(c.what) + ".wav");
        ASSERT_EQ(wav.Open(path, 1, 8000, c.type), 1);
        std::vector<uint8_t> block(1000, 0x80);
        size_t refused = 0;
        for (uint32_t size : c.blocks) {
            refused += wav.Write(block.data(), size) == CWaveFile::WRITE_FULL ? 1 : 0;
            if (c.marker && wav.MarkerCount() == 0) {
                ASSERT_EQ(wav.AddMarker(0, "M"), CWaveFile::MARKER_KEPT);
            }
        }
        EXPECT_EQ(refused, 1u) << "the last block only";
        EXPECT_EQ(wav.DataBytes(), c.data);
        if (c.data + (c.marker ? marker : 0) == c.limit - 38) {
            EXPECT_EQ(wav.AddMarker(0, "no room"), CWaveFile::MARKER_NO_ROOM);
        }
        EXPECT_TRUE(wav.IsOpen()) << "the caller goes on in the next file, or completes it";
        EXPECT_EQ(wav.Close(), 1);
        const auto file = ReadFileBytes(path);
        EXPECT_EQ(file.size(), 46u + c.data + (c.data & 1) + (c.marker ? marker : 0));
        EXPECT_LE(file.size(), c.limit + 8);
        EXPECT_EQ(GetU32(file, 42), c.data);
        EXPECT_EQ(GetU32(file, 4), file.size() - 8);
        EXPECT_TRUE(ReadWav(path).IsComplete());
    }
}

// The test setting of the size limit: plain decimal digits within 64 KiB .. 4 GiB - 9.
TEST(WaveFileFailure, SizeLimitSetting) {
    const struct {
        const wchar_t* text;
        uint64_t limit;
    } cases[] = {{L"300000", 300000},
                 {L"65536", 65536},
                 {L"4294967287", 4294967287u},
                 {L"65535", 0},
                 {L"4294967288", 0},
                 {L"0", 0},
                 {L"", 0},
                 {L"abc", 0},
                 {L" 300000", 0},
                 {L"300000x", 0},
                 {L"+300000", 0},
                 {L"99999999999999999999", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(WaveLayout::ParseRiffSizeLimit(c.text), c.limit) << fs::path(c.text).string();
}

// The time a drive holds: its free bytes at the format's rate, less a header for each file that
// a seam begins (a file holds at most the limit's sample bytes).
TEST(WaveLayout, RecordableTimeCountsTheSeams) {
    const uint64_t perFile = WaveLayout::kMaxRiffSize - WaveLayout::kEmptyRiffSize - 1;
    const uint64_t h = WaveLayout::kHeaderSize;
    const struct {
        uint64_t free;
        uint32_t rate;
        uint64_t limit;
        uint64_t ms;
    } cases[] = {
        {0, 64000, WaveLayout::kMaxRiffSize, 0},
        {64000, 64000, WaveLayout::kMaxRiffSize, 1000},
        {64000 * 600 + 32000, 64000, WaveLayout::kMaxRiffSize, 600500},
        {perFile + h, 1, WaveLayout::kMaxRiffSize, perFile * 1000}, // one seam: its header
        {3 * (perFile + h), 1, WaveLayout::kMaxRiffSize, 3 * perFile * 1000},
        {2 * (1000 + h), 1000, 1000 + WaveLayout::kEmptyRiffSize + 1, 2000}, // a small limit
        {1000, 0, WaveLayout::kMaxRiffSize, UINT64_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WaveLayout::RecordableMs(c.free, c.rate, c.limit), c.ms) << c.free;
}

#ifndef _WIN32
// A device that takes no byte: the header cannot be written, so the open fails.
TEST(WaveFileFailure, FullDeviceFailsTheOpen) {
    CWaveFile wav;
    EXPECT_EQ(wav.Open("/dev/full", 1, 8000, SAMPLE_TYPE_PCM16, RawFile::CREATE_REPLACE), 0);
    EXPECT_EQ(wav.LastFailure().step, STEP_FILE);
    EXPECT_FALSE(wav.IsOpen());
}

#endif

// A disk that fills up in the middle of a block: the whole frames that landed are kept (a
// partial frame is cut off), the sizes say exactly that much, and the failure is reported
// with the file and the system's code; the file stays complete.
TEST(WaveFileFailure, ShortWriteKeepsWholeFrames) {
    TempDir dir;
    TestDisk disk;
    CWaveFile wav;
    ASSERT_EQ(wav.Open(dir / "short.wav", 2, 16000, SAMPLE_TYPE_PCM16), 1);
    std::vector<uint8_t> block(2560, 0x90);
    ASSERT_EQ(wav.Write(block.data(), 2560), CWaveFile::WRITE_OK);
    disk.FillAt(46 + 2560 + 2050); // half a frame past 512 frames
    EXPECT_EQ(wav.Write(block.data(), 2560), CWaveFile::WRITE_FAILED);
    EXPECT_EQ(wav.LastFailure().step, STEP_WRITE);
    EXPECT_EQ(wav.LastFailure().code, kDiskFullError);
    EXPECT_EQ(fs::path(wav.LastFailure().path), dir / "short.wav");
    EXPECT_EQ(wav.Write(block.data(), 4), CWaveFile::WRITE_FAILED) << "nothing after a failure";
    EXPECT_EQ(wav.DataBytes(), 2560u + 2048);
    ASSERT_EQ(wav.Close(), 1);
    const WavFile file = ReadWav(dir / "short.wav");
    EXPECT_EQ(file.dataSize, 2560u + 2048);
    EXPECT_TRUE(file.IsComplete());
}

} // namespace

namespace {

// Japanese folder and file names work on every locale (wide paths on Windows).
TEST(WaveFileData, JapaneseFileName) {
    TempDir dir;
    const fs::path folder = dir / fs::u8path(u8"会議録音");
    fs::create_directories(folder);
    const fs::path path = folder / fs::u8path(u8"打ち合わせ＿第1回.wav");
    CWaveFile wav;
    ASSERT_EQ(wav.Open(path, 1, 8000, SAMPLE_TYPE_PCM16), 1);
    const auto block = SampleBytes({1, 2, 3});
    ASSERT_EQ(wav.Write(block.data(), 6), CWaveFile::WRITE_OK);
    ASSERT_EQ(wav.Close(), 1);
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 52u);
}

#ifdef _WIN32
// Under Wine, Z: reaches the host's /dev/full: the header cannot be written.
TEST(WaveFileFailure, FullDeviceFailsTheOpen) {
    CWaveFile wav;
    EXPECT_EQ(wav.Open(L"Z:\\dev\\full", 1, 8000, SAMPLE_TYPE_PCM16, RawFile::CREATE_REPLACE), 0);
    EXPECT_EQ(wav.LastFailure().step, STEP_FILE);
}
#endif

} // namespace
