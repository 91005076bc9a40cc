// The window thread's mailbox: tasks from several threads run on the taking thread in the order
// each thread posted them, one wake standing for all that wait; a refused wake loses nothing
// (the timer takes it); a task that posts, or takes the mail itself (a modal loop), meets a list
// of its own.
#include "engine/window_mailbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(WindowMailbox, EveryTaskRunsOnceInOrder) {
    WindowMailbox mail;
    std::atomic<int> wakes{0};
    std::atomic<bool> refuse{false};
    mail.SetWake([&] {
        ++wakes;
        return !refuse.load();
    });
    std::vector<int> ran; // the taking thread's alone
    mail.Post([&] { ran.push_back(1); });
    mail.Post([&] { ran.push_back(2); });
    EXPECT_EQ(wakes, 1) << "one wake for both";
    EXPECT_TRUE(ran.empty()) << "nothing runs on the posting thread";
    mail.TakeIfLost();
    EXPECT_TRUE(ran.empty()) << "nothing was lost";
    mail.Take();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));

    // Refused: the next post tries again, and the timer takes it all.
    refuse = true;
    mail.Post([&] { ran.push_back(3); });
    mail.Post([&] { ran.push_back(4); });
    EXPECT_EQ(wakes, 3);
    refuse = false;
    mail.TakeIfLost();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));

    // A task that posts, and one that takes the mail as a modal loop would.
    ran.clear();
    mail.Post([&] {
        ran.push_back(5);
        mail.Post([&] { ran.push_back(7); });
        mail.Take();
    });
    mail.Post([&] { ran.push_back(6); });
    mail.Take();
    EXPECT_EQ(ran, (std::vector<int>{5, 7, 6}));
    mail.Take();
    EXPECT_EQ(ran.size(), 3u) << "nothing twice";

    // Two threads at once: each one's tasks in its order, none lost.
    ran.clear();
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
    mail.Take();
    ASSERT_EQ(ran.size(), 10000u);
    int nextA = 0, nextB = 100000;
    for (const int task : ran)
        EXPECT_EQ(task, task < 100000 ? nextA++ : nextB++);
}

} // namespace
