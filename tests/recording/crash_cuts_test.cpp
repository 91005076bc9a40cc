// What a crash or a power cut leaves, cut at every byte: the markers' journal and a file's
// completion, each repaired at the next start with every marker whose record was whole.
#include "engine/marker_journal.h"
#include "engine/wave_file.h"
#include "recording/interrupted_recordings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A disk whose power goes after `budget` bytes more; it logs its writes and flushes ("W4", "F").
struct DyingDisk : RawFileHooks {
    explicit DyingDisk(uint64_t bytes) : budget(bytes) {}
    uint32_t BeforeWrite(const fs::path&, bool, size_t& landing) override {
        ops.push_back("W" + std::to_string(landing));
        const bool dies = landing > budget;
        landing = size_t(std::min<uint64_t>(landing, budget));
        budget -= landing;
        dead = dead || dies;
        return dies ? 29 : 0;
    }
    uint32_t BeforeFlush(const fs::path&) override {
        ops.push_back("F");
        return dead ? 29 : 0;
    }
    uint64_t budget;
    bool dead = false;
    std::vector<std::string> ops;
};

const std::vector<std::string> kLabels = {"Marker 1 00:00:00.1", "Gap 1 00:00:00.2 (0.1 s)",
                                          "Marker 2 00:00:00.3"};

TEST(CrashCuts, EveryCutIsRepairedWithEveryWholeRecord) {
    TempDir dir;
    const fs::path path = dir / "talk.wav", journalPath = MarkerJournalPath(path);
    // 8-bit mono, odd (a pad byte); the journal as the disk thread leaves it, a gap relabelled.
    std::vector<uint8_t> sound(2001);
    for (size_t i = 0; i < sound.size(); ++i)
        sound[i] = uint8_t(i * 13 + 7);
    std::vector<WaveLayout::CueMarker> markers;
    std::vector<uint8_t> killed;
    {
        CWaveFile wav;
        ASSERT_EQ(wav.Open(path, 1, 8000, SAMPLE_TYPE_PCM8, RawFile::CREATE_REPLACE), 1);
        ASSERT_EQ(wav.Write(sound.data(), uint32_t(sound.size())), CWaveFile::WRITE_OK);
        MarkerJournal journal;
        journal.Begin(path);
        for (size_t i = 0; i < kLabels.size(); ++i) {
            markers.push_back({800 * (i + 1), kLabels[i]});
            if (i == 1)
                journal.Append(2, markers[i].frame, "Gap 1 00:00:00.2 (0.0 s)");
            ASSERT_TRUE(journal.Append(i + 1, markers[i].frame, kLabels[i]));
        }
        killed = ReadFileBytes(path);
    }
    const std::vector<uint8_t> journal = ReadFileBytes(journalPath);
    const size_t lastLine = MarkerJournalLine(3, 2400, kLabels[2]).size();
    // The killed file with this journal, repaired: complete, the sound whole, these markers.
    const auto repaired = [&](const std::vector<uint8_t>& file, const std::vector<uint8_t>& kept,
                              const std::vector<std::string>& labels) {
        WriteFileBytes(path, file);
        WriteFileBytes(journalPath, kept);
        const RepairStatus status = RepairNotedFiles({{path.wstring(), {}}}, UINT32_MAX)[0].status;
        EXPECT_TRUE(status == REPAIR_DONE || status == REPAIR_COMPLETE);
        const WavFile wav = ReadWav(path);
        EXPECT_TRUE(wav.IsComplete() && wav.data == sound) << testing::PrintToString(wav.chunks);
        std::vector<std::string> found;
        for (const WavFile::Cue& cue : wav.cues)
            found.push_back(cue.label);
        EXPECT_EQ(found, labels);
        EXPECT_FALSE(fs::exists(journalPath)) << "gone with the note";
    };
    // The journal cut at every byte of its last record; damaged within the one before.
    for (size_t cut = journal.size() - lastLine; cut <= journal.size(); ++cut) {
        SCOPED_TRACE("journal cut at " + std::to_string(cut));
        repaired(killed, {journal.begin(), journal.begin() + long(cut)},
                 {kLabels.begin(), kLabels.end() - (cut == journal.size() ? 0 : 1)});
    }
    std::vector<uint8_t> damaged = journal;
    damaged[journal.size() - lastLine - 5] ^= 0x20;
    repaired(killed, damaged, {kLabels[0], "Gap 1 00:00:00.2 (0.0 s)"});

    // The writer's completion cut at every byte it writes: the data size, the pad byte, the
    // marker chunks, the RIFF size, with a flush before the RIFF size that keeps their order.
    const auto complete = [&](DyingDisk& disk) {
        WriteFileBytes(path, killed);
        RawFile file;
        EXPECT_TRUE(file.OpenExisting(path));
        RawFile::SetHooks(&disk);
        const bool done = WaveLayout::CompleteFile(file, sound.size(), markers, nullptr);
        RawFile::SetHooks(nullptr);
        return done;
    };
    DyingDisk whole(UINT64_MAX);
    ASSERT_TRUE(complete(whole));
    ASSERT_GE(whole.ops.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(whole.ops.end() - 3, whole.ops.end()),
              (std::vector<std::string>{"F", "W4", "F"}))
        << testing::PrintToString(whole.ops);
    const uint64_t bytes = UINT64_MAX - whole.budget;
    for (uint64_t budget = 0; budget <= bytes; ++budget) {
        SCOPED_TRACE("completion cut after " + std::to_string(budget) + " bytes");
        DyingDisk disk(budget);
        EXPECT_EQ(complete(disk), budget == bytes);
        const WavFile cut = ReadWav(path); // what a reader makes of it meanwhile
        EXPECT_TRUE(cut.data.size() >= sound.size() &&
                    std::equal(sound.begin(), sound.end(), cut.data.begin()));
        repaired(ReadFileBytes(path), journal, kLabels);
    }

    // A repair keeps at most the 2500 markers a file may hold.
    std::vector<WaveLayout::CueMarker> many;
    for (uint64_t n = 2600; n > 0; --n)
        many.push_back({n % 1000, "M " + std::to_string(n)});
    WriteFileBytes(path, killed);
    ASSERT_EQ(CompleteInterruptedRecording(path, many, UINT32_MAX).status, REPAIR_DONE);
    EXPECT_EQ(ReadWav(path).cues.size(), 2500u);
}

} // namespace
