// The next file of a long recording, made ahead: a file that cannot be made leaves no folder made
// for it, and a making abandoned leaves no file, whether it was made already or still waits for
// its drive. (The names it takes are the long recordings' test's.)
#include "recording/next_file_maker.h"

#include "recording/file_naming.h"
#include "tests/support/test_disk.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Until the condition holds, at most 20 s (a thread of the maker's, not a time rule).
template <class Done> bool WaitFor(Done done) {
    for (int i = 0; i < 2000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

TEST(NextFileMaker, FailuresAndAbandonedMakingsLeaveNothing) {
    TempDir dir;
    TestDisk disk;
    NextFileMaker::Order order;
    order.format = MakeFileFormat(2, 16000, SAMPLE_TYPE_PCM16);
    order.naming = {1000, 1, dir.Path().wstring(), L"t", 1}; // in the new sub-folder 001K
    disk.FailOpening(dir / "001K" / "t001000.wav", kNotReadyError);
    const NextFileMaker::Made failed = NextFileMaker::Make(order);
    disk.FailOpening({}, 0);
    EXPECT_FALSE(failed.next.file.IsOpen());
    EXPECT_EQ(failed.failure.code, kNotReadyError);
    EXPECT_FALSE(fs::exists(dir / "001K")) << "the folder made for it is gone";

    order.naming = {7, 1, dir.Path().wstring(), L"t", 0};
    const fs::path t7 = dir / "t000007.wav";
    NextFileMaker maker;
    std::promise<void> made;
    maker.Start(order, [&] { made.set_value(); });
    made.get_future().wait();
    maker.Abandon();
    EXPECT_FALSE(maker.Busy());
    EXPECT_TRUE(WaitFor([&] { return !fs::exists(t7); })) << "made, then abandoned";

    disk.HoldOpenings(true);
    maker.Start(order, [] { ADD_FAILURE() << "abandoned before it was made"; });
    maker.Abandon();
    const uint64_t before = disk.Written(t7);
    disk.HoldOpenings(false);
    EXPECT_TRUE(WaitFor([&] { return disk.Written(t7) > before && !fs::exists(t7); }))
        << "abandoned while making";

    std::promise<void> madeAgain;
    maker.Start(order, [&] { madeAgain.set_value(); });
    madeAgain.get_future().wait();
    NextFileMaker::Made taken = maker.Take();
    EXPECT_EQ(FileSystemPath(taken.next.name), t7);
    EXPECT_EQ(taken.naming.count, 8u);
    EXPECT_TRUE(taken.next.file.IsOpen());
}

} // namespace
