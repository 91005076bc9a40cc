// A disk for tests: every RawFile's writes and flushes pass through it while it is installed
// (from construction to destruction). It can stop answering (hold every write and flush, as a
// USB stick or a network share does), fill up, fail flushes or openings, tell a free space, and
// it counts the real flushes of each file.
#pragma once

#include "engine/raw_file.h"

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>

#ifdef _WIN32
constexpr uint32_t kDiskFullError = 112;  // ERROR_DISK_FULL
constexpr uint32_t kWriteFaultError = 29; // ERROR_WRITE_FAULT
constexpr uint32_t kNotReadyError = 21;   // ERROR_NOT_READY
#else
constexpr uint32_t kDiskFullError = 28;  // ENOSPC
constexpr uint32_t kWriteFaultError = 5; // EIO
constexpr uint32_t kNotReadyError = 123; // ENOMEDIUM
#endif

class TestDisk : public RawFileHooks {
public:
    TestDisk();
    ~TestDisk() override; // lets everything held go on first
    TestDisk(const TestDisk&) = delete;
    TestDisk& operator=(const TestDisk&) = delete;

    // From Hold to Release, every write and flush waits.
    void Hold();
    // While on, every opening waits (a share that does not answer).
    void HoldOpenings(bool on);
    void Release();
    // Writes or flushes waiting now.
    int Waiting() const;
    // The disk is full once this many bytes have been appended to files since it was made.
    void FillAt(uint64_t appended);
    uint64_t Appended() const;
    // The next count flushes fail as a share's late write error does.
    void FailFlushes(int count);
    // Opening this file fails with this code.
    void FailOpening(const std::filesystem::path& path, uint32_t code);
    // Another program makes this file just before the next opening of it (after any check).
    void AppearAtOpening(const std::filesystem::path& path);
    // What FreeSpace answers (-1 at first: the drive cannot tell).
    void SetFreeSpace(int64_t bytes);
    // The flushes that reached this file, and the bytes it was handed.
    int Flushes(const std::filesystem::path& path) const;
    uint64_t Written(const std::filesystem::path& path) const;

    uint32_t BeforeOpen(const std::filesystem::path& path) override;
    uint32_t BeforeWrite(const std::filesystem::path& path, bool appending,
                         size_t& landing) override;
    uint32_t BeforeFlush(const std::filesystem::path& path) override;
    int64_t FreeSpace(const std::filesystem::path& folder) override;

private:
    void WaitWhileHeld(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_lock;
    std::condition_variable m_released;
    bool m_held = false;
    bool m_holdOpenings = false;
    int m_waiting = 0;
    uint64_t m_appended = 0;
    uint64_t m_fullAt = UINT64_MAX;
    int m_failFlushes = 0;
    std::filesystem::path m_failOpen;
    std::filesystem::path m_appear;
    uint32_t m_failOpenCode = 0;
    int64_t m_freeSpace = -1;
    std::map<std::filesystem::path, int> m_flushes;
    std::map<std::filesystem::path, uint64_t> m_written;
};
