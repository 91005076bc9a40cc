// The next file of a long recording, made ahead: a name whose file exists passed over (the
// counter past the file's number, a typed name's part counted on), a file that cannot be made
// leaves no folder made for it, and a making abandoned leaves no file, whether it was made
// already or is still waiting for its drive.
#include "recording/next_file_maker.h"

#include "engine/wave_layout.h"
#include "recording/file_naming.h"
#include "tests/support/test_disk.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "taken";
}

// Until the condition holds, at most 20 s (a thread of the maker's, not a time rule).
template <class Done> bool WaitFor(Done done) {
    for (int i = 0; i < 2000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

TEST(NextFileMaker, NamesFailuresAndAbandonedMakings) {
    TempDir dir;
    TestDisk disk;
    NextFileMaker::Order order;
    order.format = MakeFileFormat(2, 16000, SAMPLE_TYPE_PCM16);
    const struct {
        const char* what;
        bool sequential;
        uint32_t count;
        int subFolders;
        const char* taken;   // a file there before
        const char* failing; // its opening fails
        const char* made;    // empty: none
        uint32_t countAfter;
        int typedPart;
    } cases[] = {
        {"sequential, the next number taken", true, 3, 0, "t000003.wav", "", "t000004.wav", 5, 1},
        {"typed, its second part taken", false, 0, 0, "talk (2).wav", "", "talk (3).wav", 0, 3},
        {"in a new sub-folder that fails", true, 1000, 1, "", "001K/t001000.wav", "", 1001, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir.Path());
        fs::create_directories(dir.Path());
        order.sequential = c.sequential;
        order.naming = {c.count, 1, dir.Path().wstring(), L"t", c.subFolders};
        order.typedName = (dir / "talk.wav").wstring();
        order.typedPart = 1;
        if (*c.taken)
            Touch(dir / c.taken);
        disk.FailOpening(*c.failing ? dir / c.failing : fs::path(), kNotReadyError);
        const NextFileMaker::Made made = NextFileMaker::Make(order);
        disk.FailOpening({}, 0);
        EXPECT_EQ(made.next.file.IsOpen(), *c.made != 0);
        EXPECT_EQ(made.typedPart, c.typedPart);
        if (c.sequential) {
            EXPECT_EQ(made.countBefore, c.count);
            EXPECT_EQ(made.naming.count, c.countAfter);
        }
        if (!*c.made) {
            EXPECT_EQ(made.failure.code, kNotReadyError);
            EXPECT_FALSE(fs::exists(dir / "001K")) << "the folder made for it is gone";
            continue;
        }
        EXPECT_EQ(FileSystemPath(made.next.name), dir / c.made);
        EXPECT_EQ(fs::file_size(dir / c.made), WaveLayout::kHeaderSize);
    }

    // On the maker thread: made, then taken; abandoned once made; abandoned while its drive
    // holds the opening.
    fs::remove_all(dir.Path());
    fs::create_directories(dir.Path());
    order.sequential = true;
    order.naming = {7, 1, dir.Path().wstring(), L"t", 0};
    const fs::path t7 = dir / "t000007.wav";
    {
        NextFileMaker maker;
        std::promise<void> made;
        maker.Start(order, [&] { made.set_value(); });
        EXPECT_TRUE(maker.Busy());
        made.get_future().wait();
        NextFileMaker::Made taken = maker.Take();
        EXPECT_FALSE(maker.Busy());
        EXPECT_TRUE(taken.next.file.IsOpen());
        taken.next.file.Close();
        fs::remove(t7);

        std::promise<void> madeAgain;
        maker.Start(order, [&] { madeAgain.set_value(); });
        madeAgain.get_future().wait();
        maker.Abandon();
        EXPECT_TRUE(WaitFor([&] { return !fs::exists(t7); })) << "made, then abandoned";

        disk.HoldOpenings(true);
        maker.Start(order, [] { ADD_FAILURE() << "abandoned before it was made"; });
        maker.Abandon();
        EXPECT_FALSE(maker.Busy());
        const uint64_t before = disk.Written(t7);
        disk.HoldOpenings(false);
        EXPECT_TRUE(WaitFor([&] { return disk.Written(t7) > before && !fs::exists(t7); }))
            << "abandoned while making";
    }
}

} // namespace
