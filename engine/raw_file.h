// An unbuffered, write-only file: every write goes to the operating system at once, at the
// offset given. Other programs may read the file while it is open. Wide paths on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

class RawFile {
public:
    RawFile() = default;
    ~RawFile() { Close(); }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // Creates the file, or truncates an existing one. False when it cannot be opened.
    bool Create(const std::filesystem::path& path);

    // Writes size bytes at offset; returns how many landed (fewer on a full disk or an error).
    size_t WriteAt(uint64_t offset, const void* data, size_t size);

    // Hands everything written to the storage device.
    bool Flush();

    // Releases the handle; false when the system reported an error. Closing twice is harmless.
    bool Close();

    bool IsOpen() const;

private:
#ifdef _WIN32
    void* m_handle = nullptr; // HANDLE; null when closed
#else
    int m_fd = -1;
#endif
};
