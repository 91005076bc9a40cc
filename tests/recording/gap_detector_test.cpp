// The gap detector over simulated hours of 40 ms blocks as the capture thread takes them (a few
// ms late, and now and then kept away for up to 0.8 s, then several at once), and the judge that
// hands the blocks on to the disk thread, at its edges.
#include "recording/block_judge.h"
#include "recording/gap_detector.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// A device clock 0.05 % off either way finds no gap in an hour. (Stalls: the recording tests.)
TEST(GapDetector, DriftIsNoGap) {
    for (int ppm : {500, -500}) {
        GapDetector detector(16000);
        std::mt19937 random(20261208);
        double clock = 0, free = 0; // when the block is full; when the capture takes it
        int gaps = 0;
        GapDetector::Gap gap;
        for (uint32_t n = 0; n < 90000; ++n) {
            clock += 40.0 * (1 + ppm * 1e-6);
            if (random() % 200 == 0)
                free = clock + double(random() % 800);
            free = std::max(free, clock) + double(random() % 5);
            detector.Add(640, uint32_t(free));
            while (detector.JudgeOldest(false, gap))
                gaps += gap.frames ? 1 : 0;
        }
        while (detector.JudgeOldest(true, gap))
            gaps += gap.frames ? 1 : 0;
        EXPECT_EQ(gaps, 0) << ppm << " ppm";
    }
}

// At 16000 Hz mono, 40 ms blocks: a block that comes 99 ms later than the sound before it says
// follows no gap, one 100 ms later a gap of 100 ms, which waits until 1000 ms of the clock have
// passed after it (at 999 it still waits, and every block behind it). One that the next block
// shows to be only late (several come at once) follows no gap. When the recording ends behind
// it, it is only late up to 1300 ms (a device's thirty buffers), beyond that after a gap; a gap
// before a block the full queue could not keep goes on with what comes after it, its stretch
// marked once. Every block is handed on at the recording's position, a stretch up to 10 s
// filled, a longer one not; a marker asked just before it points at the sound after the stretch,
// or into the silence that fills a lost block.
TEST(BlockJudge, EdgesOfAGapAndOfTheLookAhead) {
    const struct {
        const char* what;
        uint32_t late;      // ms the eleventh block comes late
        bool catchUp;       // the block after it comes in time again
        uint64_t gapFrames; // before it
        uint64_t position;  // its own (the end's, when the queue has no room for it)
        uint64_t marker;    // of one asked before it
        bool ends = false;  // nothing comes after it
        bool full = false;  // the queue has no room for it
    } cases[] = {
        {"99 ms", 99, false, 0, 6400, 6400},
        {"100 ms", 100, false, 1600, 8000, 8000},
        {"11 s, not filled", 11000, false, 176000, 6400, 6400},
        {"300 ms, then several at once", 300, true, 0, 6400, 6400},
        {"1300 ms, then the end", 1300, false, 0, 6400, 6400, true},
        {"1301 ms, then the end", 1301, false, 20816, 27216, 27216, true},
        {"1301 ms, then the end, the queue full", 1301, false, 20816, 27856, 27216, true, true},
    };
    const std::vector<uint8_t> sound(1280, 0x11);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BlockQueue queue;
        ASSERT_TRUE(queue.Allocate(1280, c.full ? 10 : 64));
        MarkerRequests markers;
        std::vector<uint64_t> marked;
        BlockJudge judge(queue, markers, 2, 16000,
                         [&](uint64_t frame) { marked.push_back(frame); });
        std::vector<BlockNote> notes;
        BlockNote end;
        const auto handedOn = [&] {
            BlockQueue::Block block;
            BlockQueue::Wait wait;
            while ((wait = queue.Next(std::chrono::milliseconds(0), block)) == BlockQueue::BLOCK) {
                notes.push_back(block.note);
                queue.Release();
            }
            if (wait == BlockQueue::DONE)
                end = block.note;
            return notes.size();
        };
        for (uint32_t k = 1; k <= 10; ++k)
            judge.TakeBlock(sound.data(), 1280, 40 * k);
        if (!c.full) {
            EXPECT_EQ(handedOn(), 10u) << "in time: at once";
        }
        markers.Ask(MARKER_USER, 1);
        const uint32_t lateAt = 40 * 11 + c.late;
        judge.TakeBlock(sound.data(), 1280, lateAt);
        if (c.full) {
            judge.Close();
            EXPECT_EQ(handedOn(), 10u);
            EXPECT_EQ(end.gapFrames, c.gapFrames) << "after the last block kept";
            EXPECT_EQ(end.lostFrames, 640u);
            EXPECT_EQ(end.position, c.position);
            EXPECT_EQ(marked, std::vector<uint64_t>{6400}) << "once, at its first frame";
        } else if (c.ends) {
            judge.Close();
            EXPECT_EQ(handedOn(), 11u);
        } else if (c.catchUp) {
            judge.TakeBlock(sound.data(), 1280, 40 * 12);
            EXPECT_EQ(handedOn(), 12u);
        } else {
            for (uint32_t j = 1; j <= 23; ++j)
                judge.TakeBlock(sound.data(), 1280, lateAt + 40 * j);
            judge.TakeBlock(sound.data(), 1280, lateAt + 999); // 39 ms late itself: it waits
            EXPECT_EQ(handedOn(), c.gapFrames ? 10u : 34u) << "999 ms after it";
            judge.TakeBlock(sound.data(), 1280, lateAt + 1000);
            EXPECT_EQ(handedOn(), 36u) << "1000 ms after it";
        }
        const std::vector<MarkerRequest> placed = markers.TakePlaced();
        ASSERT_EQ(placed.size(), 1u);
        EXPECT_EQ(placed[0].position, c.marker);
        for (size_t i = 0; i < notes.size(); ++i)
            EXPECT_EQ(notes[i].position, i < 10 ? 640 * i : c.position + 640 * (i - 10)) << i;
        if (c.full)
            continue;
        ASSERT_GT(notes.size(), 10u);
        EXPECT_EQ(notes[10].gapFrames, c.gapFrames);
        for (size_t i = 11; i < notes.size(); ++i)
            EXPECT_EQ(notes[i].gapFrames, 0u) << "block " << i;
        EXPECT_EQ(markers.Received(), notes.size() * 640) << "every frame counted";
        EXPECT_EQ(marked, c.gapFrames ? std::vector<uint64_t>{6400} : std::vector<uint64_t>{});
    }
}

} // namespace
