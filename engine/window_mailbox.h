// The one mailbox to the window thread: any thread posts a task, and the window thread runs the
// tasks in the order they came: the recording's reports, the monitor's texts and pictures, and
// the window's own work left for after the handler at hand (a failure to tell, the end of the
// session). One wake (on Windows, one posted message) stands for every task that waits. A wake
// the system refuses (a full message queue) is made up for by the window's timer
// (TakeIfLost), the one recovery for every kind of mail.
//
// Posting never waits for the window thread: the lock is held only to move a task in or the
// tasks out, never while a task runs, and a task that captures a pointer or two fits in the
// list's room without an allocation. A task may run a modal loop, which takes the mail meanwhile.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

class WindowMailbox {
public:
    using Task = std::function<void()>;
    // Asks the window thread to take the mail; false when it will not (the system refused).
    using Wake = std::function<bool()>;

    WindowMailbox();
    WindowMailbox(const WindowMailbox&) = delete;
    WindowMailbox& operator=(const WindowMailbox&) = delete;

    // Before any post; null: nothing wakes the window thread (the mail waits for its timer).
    void SetWake(Wake wake);
    // Any thread.
    void Post(Task task);
    // Window thread: runs every task that waits, in order.
    void Take();
    // Window thread, on its timer: mail whose wake was refused is taken now.
    void TakeIfLost();
    // Window thread: what waits is dropped, unrun (the window goes).
    void Clear();

private:
    static constexpr size_t kRoom = 64;

    Wake m_wake;
    std::mutex m_lock;
    std::vector<Task> m_tasks; // waiting, under the lock
    std::vector<Task> m_spare; // an empty list with room, for the next Take
    bool m_woken = false;      // a wake is on its way, under the lock
    std::atomic<bool> m_lost{false};
};
