#include "engine/window_mailbox.h"

#include <utility>

WindowMailbox::WindowMailbox() {
    m_tasks.reserve(kRoom);
    m_spare.reserve(kRoom);
}

void WindowMailbox::SetWake(Wake wake) {
    m_wake = std::move(wake);
}

// The first task after a Take wakes the window thread; the rest go with it. A refused wake leaves
// the next post to try again, and the timer to take what waits.
void WindowMailbox::Post(Task task) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_tasks.push_back(std::move(task));
        if (m_woken)
            return;
        m_woken = true;
    }
    if (m_wake && m_wake())
        return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_woken = false;
    }
    m_lost = true;
}

// The tasks are taken out before the first runs: one that posts, or runs a modal loop that takes
// the mail, meets a list of its own.
void WindowMailbox::Take() {
    std::vector<Task> taken;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        taken.swap(m_tasks);
        m_tasks.swap(m_spare);
        if (m_tasks.capacity() == 0) // the spare list is a running Take's
            m_tasks.reserve(kRoom);
        m_woken = false;
    }
    for (Task& task : taken)
        task();
    taken.clear();
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_spare.capacity() < taken.capacity())
        m_spare.swap(taken);
}

void WindowMailbox::TakeIfLost() {
    if (m_lost.exchange(false))
        Take();
}

void WindowMailbox::Clear() {
    std::vector<Task> dropped;
    std::lock_guard<std::mutex> lock(m_lock);
    dropped.swap(m_tasks);
    m_tasks.reserve(kRoom);
}
