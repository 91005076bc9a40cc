// What a crash or a power cut leaves, cut at every byte: the markers' journal, a file's
// completion, and each repaired at the next start with every marker whose record was whole.
#include "engine/marker_journal.h"
#include "engine/recording_repair.h"
#include "engine/wave_file.h"
#include "recording/interrupted_recordings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A disk whose power goes after `budget` more bytes: the write it goes in lands in part, and
// nothing after lands or flushes. It logs what it was asked ("W<bytes>", "F").
class DyingDisk : public RawFileHooks {
public:
    explicit DyingDisk(uint64_t budget) : m_budget(budget) {}
    uint32_t BeforeWrite(const fs::path&, bool, size_t& landing) override {
        ops.push_back("W" + std::to_string(landing));
        if (landing <= m_budget) {
            m_budget -= landing;
            return 0;
        }
        landing = size_t(m_budget);
        m_budget = 0;
        m_dead = true;
        return 29; // a write fault
    }
    uint32_t BeforeFlush(const fs::path&) override {
        ops.push_back("F");
        return m_dead ? 29 : 0;
    }
    std::vector<std::string> ops;

private:
    uint64_t m_budget;
    bool m_dead = false;
};

const std::vector<std::string> kLabels = {"Marker 1 00:00:00.1", "Gap 1 00:00:00.2 (0.1 s)",
                                          "Marker 2 00:00:00.3"};

// 8-bit mono, an odd data chunk (a pad byte), the markers in the journal (the gap's relabelled
// once), as the disk thread leaves them when the power goes.
void Record(const fs::path& path, std::vector<uint8_t>& sound) {
    sound.assign(2001, 0);
    for (size_t i = 0; i < sound.size(); ++i)
        sound[i] = uint8_t(i * 13 + 7);
    CWaveFile wav;
    ASSERT_EQ(wav.Open(path, 1, 8000, SAMPLE_TYPE_PCM8, RawFile::CREATE_REPLACE), 1);
    ASSERT_EQ(wav.Write(sound.data(), uint32_t(sound.size())), CWaveFile::WRITE_OK);
    MarkerJournal journal;
    journal.Begin(path);
    for (size_t i = 0; i < kLabels.size(); ++i) {
        const uint64_t frame = 800 * (i + 1);
        if (i == 1) {
            ASSERT_TRUE(journal.Append(2, frame, "Gap 1 00:00:00.2 (0.0 s)"));
        }
        ASSERT_TRUE(journal.Append(i + 1, frame, kLabels[i]));
    }
    ASSERT_TRUE(journal.Flush());
    const std::vector<uint8_t> killed = ReadFileBytes(path);
    wav.Close();
    WriteFileBytes(path, killed);
}

std::vector<WaveLayout::CueMarker> Markers() {
    std::vector<WaveLayout::CueMarker> markers;
    for (size_t i = 0; i < kLabels.size(); ++i)
        markers.push_back({800 * (i + 1), kLabels[i]});
    return markers;
}

// The writer's completion of the killed file, on this disk.
bool Complete(const fs::path& path, size_t dataBytes, RawFileHooks& disk) {
    RawFile file;
    EXPECT_TRUE(file.OpenExisting(path));
    RawFile::SetHooks(&disk);
    uint32_t error = 0;
    const bool done = WaveLayout::CompleteFile(file, dataBytes, Markers(), &error);
    RawFile::SetHooks(nullptr);
    return done;
}

// What the next start makes of it: complete, the sound whole, the markers as expected.
void ExpectRepaired(const fs::path& path, const std::vector<uint8_t>& sound,
                    const std::vector<std::string>& labels) {
    const std::vector<RepairResult> results = RepairNotedFiles({{path.wstring(), {}}}, UINT32_MAX);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].status == REPAIR_DONE || results[0].status == REPAIR_COMPLETE);
    const WavFile wav = ReadWav(path);
    EXPECT_TRUE(wav.IsComplete()) << testing::PrintToString(wav.chunks);
    EXPECT_EQ(wav.data, sound);
    std::vector<std::string> found;
    for (const WavFile::Cue& cue : wav.cues)
        found.push_back(cue.label);
    EXPECT_EQ(found, labels);
    EXPECT_FALSE(fs::exists(MarkerJournalPath(path))) << "gone with the note";
}

TEST(CrashCuts, EveryCutIsRepairedWithEveryWholeRecord) {
    TempDir dir;
    const fs::path path = dir / "talk.wav";
    std::vector<uint8_t> sound;
    Record(path, sound);
    const std::vector<uint8_t> killed = ReadFileBytes(path);
    const std::vector<uint8_t> journal = ReadFileBytes(MarkerJournalPath(path));
    const size_t lastLine = MarkerJournalLine(3, 2400, kLabels[2]).size();

    // The journal cut at every byte of its last record, and damaged within its second.
    for (size_t cut = journal.size() - lastLine; cut <= journal.size(); ++cut) {
        SCOPED_TRACE("journal cut at " + std::to_string(cut));
        WriteFileBytes(path, killed);
        WriteFileBytes(MarkerJournalPath(path),
                       std::vector<uint8_t>(journal.begin(), journal.begin() + long(cut)));
        ExpectRepaired(path, sound,
                       cut == journal.size()
                           ? kLabels
                           : std::vector<std::string>(kLabels.begin(), kLabels.begin() + 2));
    }
    std::vector<uint8_t> damaged = journal;
    damaged[journal.size() - lastLine - 5] ^= 0x20; // the gap's relabelled line
    WriteFileBytes(path, killed);
    WriteFileBytes(MarkerJournalPath(path), damaged);
    ExpectRepaired(path, sound, {kLabels[0], "Gap 1 00:00:00.2 (0.0 s)"});

    // The completion cut at every byte it writes: before and after the marker chunks, the RIFF
    // size, and the flush between them that keeps their order on the medium.
    size_t completion = 0;
    {
        WriteFileBytes(path, killed);
        DyingDisk disk(UINT64_MAX);
        ASSERT_TRUE(Complete(path, sound.size(), disk));
        const std::vector<std::string>& ops = disk.ops;
        ASSERT_GE(ops.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(ops.end() - 3, ops.end()),
                  (std::vector<std::string>{"F", "W4", "F"}))
            << "what the RIFF size covers is flushed before it: " << testing::PrintToString(ops);
        for (const std::string& op : ops)
            completion += op[0] == 'W' ? std::stoul(op.substr(1)) : 0;
    }
    for (size_t budget = 0; budget <= completion; ++budget) {
        SCOPED_TRACE("completion cut after " + std::to_string(budget) + " bytes");
        WriteFileBytes(path, killed);
        WriteFileBytes(MarkerJournalPath(path), journal);
        DyingDisk disk(budget);
        EXPECT_EQ(Complete(path, sound.size(), disk), budget == completion);
        const WavFile cut = ReadWav(path); // what a reader makes of it meanwhile
        ASSERT_GE(cut.data.size(), sound.size());
        EXPECT_TRUE(std::equal(sound.begin(), sound.end(), cut.data.begin()));
        ExpectRepaired(path, sound, kLabels);
    }
}

// A repair keeps at most the 2500 markers a file may hold, the first by their frames.
TEST(CrashCuts, TheRepairKeeps2500Markers) {
    TempDir dir;
    const fs::path path = dir / "talk.wav";
    std::vector<uint8_t> sound;
    Record(path, sound);
    std::vector<WaveLayout::CueMarker> noted;
    for (uint64_t n = 2600; n > 0; --n)
        noted.push_back({n % 1000, "M " + std::to_string(n)});
    fs::remove(MarkerJournalPath(path));
    ASSERT_EQ(CompleteInterruptedRecording(path, noted, UINT32_MAX).status, REPAIR_DONE);
    const WavFile wav = ReadWav(path);
    EXPECT_TRUE(wav.IsComplete());
    EXPECT_EQ(wav.cues.size(), 2500u);
}

} // namespace
