// Completing a recording cut short: what the writer left while recording is completed as Close
// would have completed it; anything else is left byte for byte.
#include "engine/recording_repair.h"
#include "engine/wave_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

// The file as a crash leaves it: the writer's header with the placeholders, the blocks written,
// and extra bytes of a block that landed only in part.
std::vector<uint8_t> Killed(const TempDir& dir, int channels, int type, size_t bytes,
                            size_t extra) {
    const fs::path live = dir / "live.wav";
    CWaveFile wav;
    EXPECT_EQ(wav.Open(live, channels, 8000, type, RawFile::CREATE_REPLACE), 1);
    std::vector<uint8_t> block(bytes);
    for (size_t i = 0; i < bytes; ++i)
        block[i] = uint8_t(i * 7 + 1);
    // µ-law and A-law are encoded from 16-bit samples: twice the bytes go in.
    std::vector<uint8_t> input = block;
    if (type == SAMPLE_TYPE_MULAW)
        input.resize(bytes * 2, 0);
    if (!block.empty()) {
        EXPECT_EQ(wav.Write(input.data(), uint32_t(input.size())), CWaveFile::WRITE_OK);
    }
    auto file = ReadFileBytes(live);
    wav.Close();
    file.insert(file.end(), extra, 0x5A);
    return file;
}

// With the markers noted for it: one placed before its sound came points at the last frame. A
// completion cut short after its data size (its markers half written) is completed again. Past
// the writer's size limit the last markers are left out, the sound never.
TEST(RecordingRepair, InterruptedFilesAreCompleted) {
    const struct {
        const char* what;
        int channels, type;
        size_t bytes, extra, data;
        bool cutShort;
        uint64_t limit = WaveLayout::kMaxRiffSize;
        size_t markers = 2;
    } cases[] = {
        {"16-bit stereo, a partial last frame", 2, SAMPLE_TYPE_PCM16, 4000, 3, 4000, false},
        {"8-bit mono, odd data: a pad byte", 1, SAMPLE_TYPE_PCM8, 1001, 0, 1001, false},
        {"mu-law stereo, half a frame more", 2, SAMPLE_TYPE_MULAW, 2000, 1, 2000, false},
        {"16-bit mono, one byte of a sample", 1, SAMPLE_TYPE_PCM16, 640, 1, 640, false},
        {"a completion cut short in its markers", 1, SAMPLE_TYPE_PCM8, 1001, 30, 1001, true},
        {"room for one marker of two", 1, SAMPLE_TYPE_PCM8, 1001, 0, 1001, false,
         WaveLayout::RiffSizeFor(1001) + WaveLayout::kMarkerChunkHeaders +
             2 * WaveLayout::MarkerBytes(19) - 1,
         1},
        {"no room: the sound kept whole", 1, SAMPLE_TYPE_PCM8, 1001, 0, 1001, false, 500, 0},
    };
    const std::vector<WaveLayout::CueMarker> noted = {{UINT64_MAX, "Marker 2 00:00:00.2"},
                                                      {10, "Marker 1 00:00:00.0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path path = dir / "take000041.wav";
        auto killed = Killed(dir, c.channels, c.type, c.bytes, c.extra);
        ASSERT_EQ(GetU32(killed, 4), 0xFFFFFFFFu);
        if (c.cutShort) { // the data size, the pad byte and part of the markers landed
            killed[42] = uint8_t(c.data);
            killed[43] = uint8_t(c.data >> 8);
            killed[44] = killed[45] = 0;
            std::copy_n("cue ", 4, killed.begin() + 46 + long(c.data) + 1);
        }
        WriteFileBytes(path, killed);

        const RepairResult result = CompleteInterruptedRecording(path, noted, c.limit);
        ASSERT_EQ(result.status, REPAIR_DONE);
        EXPECT_EQ(result.dataBytes, c.data);
        EXPECT_EQ(result.format.nChannels, c.channels);
        const auto file = ReadFileBytes(path);
        const WavFile wav = ReadWav(path);
        EXPECT_TRUE(wav.IsComplete()) << testing::PrintToString(wav.chunks);
        EXPECT_EQ(wav.dataSize, c.data);
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + 4, killed.begin()));
        EXPECT_TRUE(std::equal(file.begin() + 8, file.begin() + 42, killed.begin() + 8))
            << "the format is kept";
        EXPECT_TRUE(
            std::equal(file.begin() + 46, file.begin() + 46 + long(c.data), killed.begin() + 46))
            << "the samples are kept";
        if (c.data & 1) {
            EXPECT_EQ(file[46 + c.data], 0) << "the pad byte";
        }
        const uint32_t frames =
            uint32_t(c.data / (c.channels * (c.type == SAMPLE_TYPE_PCM16 ? 2 : 1)));
        ASSERT_EQ(wav.cues.size(), c.markers) << "the last left out first";
        if (c.markers > 0) {
            EXPECT_EQ(wav.cues[0].position, 10u);
            EXPECT_EQ(wav.cues[0].label, "Marker 1 00:00:00.0");
        }
        if (c.markers > 1) {
            EXPECT_EQ(wav.cues[1].position, frames - 1) << "placed before its sound came";
        }

        // Once complete, it is left alone.
        EXPECT_EQ(CompleteInterruptedRecording(path, noted).status, REPAIR_COMPLETE);
        EXPECT_EQ(ReadFileBytes(path), file);
    }
}

TEST(RecordingRepair, OtherFilesAreLeftAlone) {
    TempDir dir;
    CWaveFile wav;
    ASSERT_EQ(wav.Open(dir / "done.wav", 1, 8000, SAMPLE_TYPE_PCM8), 1);
    const uint8_t three[3] = {1, 2, 3};
    wav.Write(three, 3);
    wav.Close();
    const auto done = ReadFileBytes(dir / "done.wav");

    auto foreign = Killed(dir, 2, SAMPLE_TYPE_PCM16, 400, 0);
    foreign[32] = 3; // a block align no recording of ours has
    auto plainWav = done;
    plainWav[16] = 16; // a 16-byte fmt chunk: another program's file
    const std::string text = "RIFF but not a recording of ours, longer than a header. ....";
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        RepairStatus status;
    } cases[] = {
        {"already completed", done, REPAIR_COMPLETE},
        {"a header that is not ours", foreign, REPAIR_NOT_OURS},
        {"another program's WAV file", plainWav, REPAIR_NOT_OURS},
        {"text", std::vector<uint8_t>(text.begin(), text.end()), REPAIR_NOT_OURS},
        {"shorter than a header", {'R', 'I', 'F', 'F'}, REPAIR_NOT_OURS},
        {"empty", {}, REPAIR_NOT_OURS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path path = dir / "other.wav";
        WriteFileBytes(path, c.bytes);
        EXPECT_EQ(CompleteInterruptedRecording(path).status, c.status);
        EXPECT_EQ(ReadFileBytes(path), c.bytes) << "byte for byte";
    }
    EXPECT_EQ(CompleteInterruptedRecording(dir / "gone.wav").status, REPAIR_MISSING);
    EXPECT_FALSE(fs::exists(dir / "gone.wav"));

    // What is no file on a disk is never opened as one (a device, a pipe); a file whose drive
    // or network share is not there waits for it.
#ifdef _WIN32
    const std::pair<fs::path, RepairStatus> others[] = {
        {L"\\\\.\\NUL", REPAIR_NOT_OURS},
        {L"\\\\.\\pipe\\sonarix", REPAIR_NOT_OURS},
        {L"\\\\?\\C:\\x.wav", REPAIR_NOT_OURS},
        {L"Q:\\rec\\t000001.wav", REPAIR_ABSENT},
        {L"\\\\sonarix-absent\\share\\t000001.wav", REPAIR_ABSENT},
    };
#else
    const fs::path fifo = dir / "fifo.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<fs::path, RepairStatus> others[] = {
        {"/dev/zero", REPAIR_NOT_OURS},
        {fifo, REPAIR_NOT_OURS},
    };
#endif
    for (const auto& [path, status] : others)
        EXPECT_EQ(CompleteInterruptedRecording(path).status, status) << path.string();
}

} // namespace
