// The window thread's mailbox: tasks from two threads run on the taking thread, each thread's in
// its order, none lost or run twice; a refused wake loses nothing (the timer takes it).
#include "engine/window_mailbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(WindowMailbox, EveryTaskRunsOnceInOrder) {
    WindowMailbox mail;
    std::atomic<int> wakes{0};
    mail.SetWake([&] { return ++wakes % 2 == 0; }); // every other wake refused
    std::vector<int> ran;                           // the taking thread's alone
    const auto poster = [&](int first) {
        for (int i = 0; i < 5000; ++i)
            mail.Post([&ran, first, i] { ran.push_back(first + i); });
    };
    std::thread a(poster, 0), b(poster, 100000);
    std::atomic<bool> done{false};
    std::thread joiner([&] {
        a.join();
        b.join();
        done = true;
    });
    while (!done)
        mail.Take();
    joiner.join();
    mail.TakeIfLost();
    mail.Take();
    ASSERT_EQ(ran.size(), 10000u);
    int nextA = 0, nextB = 100000;
    for (const int task : ran)
        EXPECT_EQ(task, task < 100000 ? nextA++ : nextB++);

    ran.clear();
    mail.SetWake([] { return false; });
    mail.Post([&] { ran.push_back(1); });
    mail.Post([&] { ran.push_back(2); });
    EXPECT_TRUE(ran.empty()) << "nothing runs on the posting thread";
    mail.TakeIfLost(); // the window's timer
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

} // namespace
