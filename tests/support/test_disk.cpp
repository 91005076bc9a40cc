#include "tests/support/test_disk.h"

#include <fstream>

TestDisk::TestDisk() {
    RawFile::SetHooks(this);
}

TestDisk::~TestDisk() {
    Release();
    HoldOpenings(false);
    RawFile::SetHooks(nullptr);
    // A thread still inside a call returns before the disk goes.
    std::unique_lock<std::mutex> lock(m_lock);
    m_released.wait(lock, [&] { return m_waiting == 0; });
}

void TestDisk::Hold() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_held = true;
}

void TestDisk::Release() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_held = false;
    }
    m_released.notify_all();
}

int TestDisk::Waiting() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_waiting;
}

void TestDisk::FillAt(uint64_t appended) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_fullAt = appended;
}

uint64_t TestDisk::Appended() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_appended;
}

void TestDisk::FailFlushes(int count) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failFlushes = count;
}

void TestDisk::FailOpening(const std::filesystem::path& path, uint32_t code) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failOpen = path;
    m_failOpenCode = code;
}

void TestDisk::SetFreeSpace(int64_t bytes) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_freeSpace = bytes;
}

int TestDisk::Flushes(const std::filesystem::path& path) const {
    std::lock_guard<std::mutex> lock(m_lock);
    const auto found = m_flushes.find(path);
    return found == m_flushes.end() ? 0 : found->second;
}

uint64_t TestDisk::Written(const std::filesystem::path& path) const {
    std::lock_guard<std::mutex> lock(m_lock);
    const auto found = m_written.find(path);
    return found == m_written.end() ? 0 : found->second;
}

void TestDisk::WaitWhileHeld(std::unique_lock<std::mutex>& lock) {
    ++m_waiting;
    m_released.wait(lock, [&] { return !m_held; });
    --m_waiting;
    m_released.notify_all();
}

void TestDisk::HoldOpenings(bool on) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_holdOpenings = on;
    }
    m_released.notify_all();
}

void TestDisk::AppearAtOpening(const std::filesystem::path& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_appear = path;
}

uint32_t TestDisk::BeforeOpen(const std::filesystem::path& path) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_holdOpenings) {
        ++m_waiting;
        m_released.wait(lock, [&] { return !m_holdOpenings; });
        --m_waiting;
        m_released.notify_all();
    }
    if (!m_appear.empty() && path == m_appear) {
        std::ofstream(path, std::ios::binary) << "another program's";
        m_appear.clear();
    }
    return !m_failOpen.empty() && path == m_failOpen ? m_failOpenCode : 0;
}

uint32_t TestDisk::BeforeWrite(const std::filesystem::path& path, bool appending, size_t& landing) {
    std::unique_lock<std::mutex> lock(m_lock);
    WaitWhileHeld(lock);
    m_written[path] += landing;
    if (!appending)
        return 0; // what overwrites the file's own bytes needs no room
    const uint64_t room = m_fullAt > m_appended ? m_fullAt - m_appended : 0;
    if (landing <= room) {
        m_appended += landing;
        return 0;
    }
    landing = size_t(room);
    m_appended += room;
    return kDiskFullError;
}

uint32_t TestDisk::BeforeFlush(const std::filesystem::path& path) {
    std::unique_lock<std::mutex> lock(m_lock);
    WaitWhileHeld(lock);
    if (m_failFlushes > 0) {
        --m_failFlushes;
        return kWriteFaultError;
    }
    ++m_flushes[path];
    return 0;
}

int64_t TestDisk::FreeSpace(const std::filesystem::path&) {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_freeSpace;
}
