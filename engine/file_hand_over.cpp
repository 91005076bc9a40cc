#include "engine/file_hand_over.h"

void FileHandOver::Open(std::shared_ptr<RawFile> flusher) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_open = true;
    m_hasNext = false;
    m_flusher = std::move(flusher);
}

bool FileHandOver::Offer(WavePart& part) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open || m_hasNext)
        return false;
    m_next = std::move(part);
    m_hasNext = true;
    return true;
}

bool FileHandOver::Close(WavePart& untaken) {
    bool had;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_open = false;
        had = m_hasNext;
        if (had)
            untaken = std::move(m_next);
        m_hasNext = false;
        m_flusher.reset();
        m_retired.clear();
    }
    m_changed.notify_all();
    return had;
}

void FileHandOver::StopFlushing() {
    std::shared_ptr<RawFile> flusher;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        flusher.swap(m_flusher);
    }
} // released here, outside the lock

bool FileHandOver::HasNext() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_hasNext;
}

bool FileHandOver::TakeNext(WavePart& next) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_hasNext)
        return false;
    next = std::move(m_next);
    m_hasNext = false;
    // The old handle is released by the disk thread, not here.
    m_retired.push_back(std::move(m_flusher));
    m_flusher = next.flusher;
    return true;
}

void FileHandOver::GiveFull(WavePart&& full) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_full.push_back(std::move(full));
    }
    m_changed.notify_all();
}

bool FileHandOver::Wait(std::chrono::milliseconds timeout, std::vector<WavePart>& full,
                        std::shared_ptr<RawFile>& flusher) {
    std::vector<std::shared_ptr<RawFile>> retired;
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait_for(lock, timeout, [&] { return !m_full.empty() || !m_open; });
    for (auto& part : m_full)
        full.push_back(std::move(part));
    m_full.clear();
    retired.swap(m_retired);
    flusher = m_flusher;
    const bool more = m_open || !full.empty();
    lock.unlock();
    return more; // the retired handles are closed here, outside the lock
}
