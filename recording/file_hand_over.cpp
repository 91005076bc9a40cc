#include "recording/file_hand_over.h"

void FileHandOver::Ask() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_refused = false;
}

FileHandOver::Answer FileHandOver::Await(NextFile& next) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_answered.wait(lock, [&] { return m_hasNext || m_refused || !m_open; });
    if (m_hasNext) {
        next = std::move(m_next);
        m_hasNext = false;
        return TAKEN;
    }
    return m_open ? REFUSED : CLOSED;
}

bool FileHandOver::Offer(NextFile& next) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open || m_hasNext)
            return false;
        m_next = std::move(next);
        m_hasNext = true;
    }
    m_answered.notify_all();
    return true;
}

void FileHandOver::Refuse() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_refused = true;
    }
    m_answered.notify_all();
}

bool FileHandOver::Close(NextFile& untaken) {
    bool had;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_open = false;
        had = m_hasNext;
        if (had)
            untaken = std::move(m_next);
        m_hasNext = false;
    }
    m_answered.notify_all();
    return had;
}
