// An unbuffered file: every write goes to the operating system at once, appended at the file's
// end or at the offset given. Other programs may read the file while it is open. Wide paths on
// Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <utility>

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
    // has. Safe on one handle while another handle of the same file writes.
    bool Flush();

    // Tests: called before every flush; false fails the flush as a network share's late write
    // error would. Set while no file is open.
    static void SetFlushHook(bool (*hook)());

    // A second handle to the same open file, for flushing it from another thread; closed when
    // the system cannot make one.
    RawFile Duplicate();

    // Releases the handle; false when the system reported an error (LastError has it). Closing
    // twice is harmless.
    bool Close();

    bool IsOpen() const;
    // The system's error code of the last call that failed
    // (GetLastError on Windows, errno elsewhere).
    uint32_t LastError() const { return m_lastError; }

    // Whether a system error code says that the file exists already, or that another program
    // holds it open.
    static bool IsExistsError(uint32_t error);
    static bool IsSharingError(uint32_t error);

private:
    size_t Put(const void* data, size_t size, const uint64_t* offset);

#ifdef _WIN32
    void* m_handle = nullptr; // HANDLE; null when closed
#else
    int m_fd = -1;
#endif
    uint32_t m_lastError = 0;
};
