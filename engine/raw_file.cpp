#include "engine/raw_file.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

#ifdef _WIN32

bool RawFile::Create(const std::filesystem::path& path) {
    Close();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    m_handle = h;
    return true;
}

size_t RawFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (!m_handle)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        OVERLAPPED at = {};
        const uint64_t pos = offset + done;
        at.Offset = static_cast<DWORD>(pos);
        at.OffsetHigh = static_cast<DWORD>(pos >> 32);
        DWORD written = 0;
        // A full disk may be reported as success with fewer bytes written: stop there too.
        if (!WriteFile(m_handle, bytes + done, chunk, &written, &at) || written == 0)
            break;
        done += written;
    }
    return done;
}

bool RawFile::Flush() {
    return m_handle && FlushFileBuffers(m_handle);
}

bool RawFile::Close() {
    if (!m_handle)
        return true;
    const bool ok = CloseHandle(m_handle) != 0;
    m_handle = nullptr;
    return ok;
}

bool RawFile::IsOpen() const {
    return m_handle != nullptr;
}

#else

bool RawFile::Create(const std::filesystem::path& path) {
    Close();
    m_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return m_fd >= 0;
}

size_t RawFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (m_fd < 0)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n =
            pwrite(m_fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool RawFile::Flush() {
    return m_fd >= 0 && fsync(m_fd) == 0;
}

bool RawFile::Close() {
    if (m_fd < 0)
        return true;
    const bool ok = close(m_fd) == 0;
    m_fd = -1;
    return ok;
}

bool RawFile::IsOpen() const {
    return m_fd >= 0;
}

#endif
