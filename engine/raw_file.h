// An unbuffered file: every write goes to the operating system at once, appended at the file's
// end or at the offset given. Other programs may read the file while it is open. Wide paths on
// Windows.
//
// A file is used by one thread at a time: on Windows the I/O of one synchronous file object is
// serialised, so a second thread's call would wait for the first one's (a flush for a write).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <utility>

// Tests: what a disk does to every RawFile's opening, writes and flushes, seen before the
// system call on the thread that makes it, with the file's path. A hook may hold the thread
// there (a disk that stops answering). A nonzero result fails the call with that system error
// code; a write then lands only the first `landing` bytes (at first the whole size), as on a
// disk that fills up. appending: the write extends the file (it needs room on the disk).
class RawFileHooks {
public:
    virtual ~RawFileHooks() = default;
    virtual uint32_t BeforeOpen(const std::filesystem::path&) { return 0; }
    virtual uint32_t BeforeWrite(const std::filesystem::path&, bool /*appending*/,
                                 size_t& /*landing*/) {
        return 0;
    }
    virtual uint32_t BeforeFlush(const std::filesystem::path&) { return 0; }
    // The free bytes of the folder's drive, or -1 when it cannot be told.
    virtual int64_t FreeSpace(const std::filesystem::path&) { return -1; }
};

class RawFile {
public:
    enum CreateMode {
        CREATE_NEW_ONLY, // fails when the file exists: nothing is ever replaced
        CREATE_REPLACE,  // an existing file is emptied and written anew
    };

    RawFile() = default;
    ~RawFile() { Close(); }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    // Takes the other's file; the other is left closed. This one's own file is closed first.
    RawFile& operator=(RawFile&& other) noexcept;
    RawFile(RawFile&& other) noexcept { *this = std::move(other); }

    // Creates the file for writing. False when it cannot be created; LastError says why.
    bool Create(const std::filesystem::path& path, CreateMode mode);
    // Opens an existing file for reading and writing, while no other program writes to it.
    // False when it cannot be opened; LastError says why.
    bool OpenExisting(const std::filesystem::path& path);
    // Opens an existing file for reading only, whoever else writes it.
    bool OpenToRead(const std::filesystem::path& path);

    // Writes size bytes at the current end of what was appended (the file's start, for a new
    // file); returns how many landed (fewer on a full disk or an error). No offset travels with
    // the write.
    size_t Append(const void* data, size_t size) { return Put(data, size, nullptr); }
    // Writes size bytes at offset; returns how many landed (fewer on a full disk or an error).
    // Appending after it goes on where the last append ended only natively: on Windows it goes
    // on after these bytes, so write at offsets only once appending is over.
    size_t WriteAt(uint64_t offset, const void* data, size_t size) {
        return Put(data, size, &offset);
    }
    // Reads up to size bytes at offset; returns how many were read.
    size_t ReadAt(uint64_t offset, void* data, size_t size);
    // Whether the open file is a file on a disk (a local drive or a network share), not a device,
    // a pipe or a console.
    bool IsDiskFile() const;
    // The file's length in bytes, or -1 when it cannot be told.
    int64_t Size();
    // Cuts the file to size bytes.
    bool Truncate(uint64_t size);

    // Hands everything written, and the file's length, to the storage device. True as well where
    // the file system cannot flush (nothing to do there); false on an error, which LastError
    // has (on a network share, a late write error surfaces here).
    bool Flush();

    // The free bytes of the drive that holds folder (its quota for this user), or -1 when the
    // drive cannot tell.
    static int64_t FreeSpace(const std::filesystem::path& folder);

    // Tests: the disk's behaviour for every file (nullptr: the system's own). Set while no file
    // is being written.
    static void SetHooks(RawFileHooks* hooks);

    // Releases the handle; false when the system reported an error (LastError has it). Closing
    // twice is harmless.
    bool Close();

    bool IsOpen() const;
    const std::filesystem::path& Path() const { return m_path; }
    // The system's error code of the last call that failed
    // (GetLastError on Windows, errno elsewhere).
    uint32_t LastError() const { return m_lastError; }

    // Whether a system error code says that the file exists already, or that another program
    // holds it open.
    static bool IsExistsError(uint32_t error);
    static bool IsSharingError(uint32_t error);
    // Whether the error says the file's drive or share is not there now (a card reader without
    // its card, a stick or a share gone), rather than anything about the file.
    static bool IsAbsentDriveError(uint32_t error);

private:
    bool OpenAt(const std::filesystem::path& path, bool write);
    size_t Put(const void* data, size_t size, const uint64_t* offset);
    size_t PutToSystem(const void* data, size_t size, const uint64_t* offset);
    bool FlushToSystem();
    // The test disk's say before the file is opened: false (with LastError) when it fails it.
    bool MayOpen(const std::filesystem::path& path);
    static int64_t FreeSpaceOfSystem(const std::filesystem::path& folder);

#ifdef _WIN32
    void* m_handle = nullptr; // HANDLE; null when closed
#else
    int m_fd = -1;
#endif
    std::filesystem::path m_path;
    uint32_t m_lastError = 0;
};
