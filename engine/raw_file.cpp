#include "engine/raw_file.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::atomic<RawFileHooks*> g_hooks{nullptr};

} // namespace

void RawFile::SetHooks(RawFileHooks* hooks) {
    g_hooks = hooks;
}

// Writes at *offset, or where the last write ended when offset is null.
size_t RawFile::Put(const void* data, size_t size, const uint64_t* offset) {
    RawFileHooks* hooks = g_hooks;
    if (!hooks || !IsOpen())
        return PutToSystem(data, size, offset);
    size_t landing = size;
    const uint32_t error = hooks->BeforeWrite(m_path, offset == nullptr, landing);
    if (error == 0)
        return PutToSystem(data, size, offset);
    const size_t landed = landing < size ? PutToSystem(data, landing, offset) : 0;
    m_lastError = error;
    return landed;
}

bool RawFile::Flush() {
    RawFileHooks* hooks = g_hooks;
    if (hooks && IsOpen()) {
        if (const uint32_t error = hooks->BeforeFlush(m_path)) {
            m_lastError = error;
            return false;
        }
    }
    return FlushToSystem();
}

bool RawFile::MayOpen(const std::filesystem::path& path) {
    RawFileHooks* hooks = g_hooks;
    const uint32_t error = hooks ? hooks->BeforeOpen(path) : 0;
    if (error)
        m_lastError = error;
    return error == 0;
}

int64_t RawFile::FreeSpace(const std::filesystem::path& folder) {
    if (RawFileHooks* hooks = g_hooks)
        return hooks->FreeSpace(folder);
    return FreeSpaceOfSystem(folder);
}

#ifdef _WIN32

namespace {

// The largest piece one ReadFile or WriteFile call moves, and where in the file it goes.
constexpr size_t kMaxPiece = size_t(1) << 30;

OVERLAPPED At(uint64_t position) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    return at;
}

} // namespace

bool RawFile::Create(const std::filesystem::path& path, CreateMode mode) {
    Close();
    if (!MayOpen(path))
        return false;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           mode == CREATE_NEW_ONLY ? CREATE_NEW : CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_lastError = GetLastError();
        return false;
    }
    m_handle = h;
    m_path = path;
    return true;
}

// Others may go on reading; a writer elsewhere (a recording in progress) keeps us out.
bool RawFile::OpenExisting(const std::filesystem::path& path) {
    return OpenAt(path, true);
}

bool RawFile::OpenToRead(const std::filesystem::path& path) {
    return OpenAt(path, false);
}

// Writing, while no other program writes to it; reading, whoever writes it.
bool RawFile::OpenAt(const std::filesystem::path& path, bool write) {
    Close();
    if (!MayOpen(path))
        return false;
    HANDLE h = CreateFileW(path.c_str(), write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                           write ? FILE_SHARE_READ
                                 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_lastError = GetLastError();
        return false;
    }
    m_handle = h;
    m_path = path;
    return true;
}

size_t RawFile::PutToSystem(const void* data, size_t size, const uint64_t* offset) {
    if (!m_handle)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min(size - done, kMaxPiece));
        OVERLAPPED at = At(offset ? *offset + done : 0);
        DWORD written = 0;
        // A full disk may be reported as success with fewer bytes written: stop there too.
        if (!WriteFile(m_handle, bytes + done, chunk, &written, offset ? &at : nullptr)) {
            m_lastError = GetLastError();
            break;
        }
        if (written == 0) {
            m_lastError = ERROR_DISK_FULL;
            break;
        }
        done += written;
    }
    return done;
}

size_t RawFile::ReadAt(uint64_t offset, void* data, size_t size) {
    if (!m_handle)
        return 0;
    auto* bytes = static_cast<uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min(size - done, kMaxPiece));
        OVERLAPPED at = At(offset + done);
        DWORD read = 0;
        if (!ReadFile(m_handle, bytes + done, chunk, &read, &at) || read == 0)
            break;
        done += read;
    }
    return done;
}

bool RawFile::IsDiskFile() const {
    return m_handle && GetFileType(m_handle) == FILE_TYPE_DISK;
}

// The folder itself, with its trailing backslash (a share's root needs it): what is left for this
// user there, quotas and mounted volumes counted.
int64_t RawFile::FreeSpaceOfSystem(const std::filesystem::path& folder) {
    std::wstring name = folder.wstring();
    if (name.empty())
        return -1;
    if (name.back() != L'\\' && name.back() != L'/')
        name += L'\\';
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(name.c_str(), &available, nullptr, nullptr))
        return -1;
    return static_cast<int64_t>(available.QuadPart);
}

int64_t RawFile::Size() {
    LARGE_INTEGER size;
    if (!m_handle || !GetFileSizeEx(m_handle, &size))
        return -1;
    return size.QuadPart;
}

bool RawFile::Truncate(uint64_t size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    if (m_handle && SetFilePointerEx(m_handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(m_handle))
        return true;
    m_lastError = GetLastError();
    return false;
}

bool RawFile::FlushToSystem() {
    if (!m_handle)
        return false;
    if (FlushFileBuffers(m_handle))
        return true;
    m_lastError = GetLastError();
    return m_lastError == ERROR_INVALID_FUNCTION; // a file system that has nothing to flush
}

bool RawFile::Close() {
    if (!m_handle)
        return true;
    const bool ok = CloseHandle(m_handle) != 0;
    if (!ok)
        m_lastError = GetLastError();
    m_handle = nullptr;
    return ok;
}

bool RawFile::IsOpen() const {
    return m_handle != nullptr;
}

RawFile& RawFile::operator=(RawFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        m_path = std::move(other.m_path);
        m_lastError = other.m_lastError;
        other.m_handle = nullptr;
    }
    return *this;
}

bool RawFile::IsExistsError(uint32_t error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool RawFile::IsSharingError(uint32_t error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool RawFile::IsAbsentDriveError(uint32_t error) {
    switch (error) {
    case ERROR_NOT_READY:            // a drive without its medium
    case ERROR_DEVICE_NOT_CONNECTED: // a removed drive
    case ERROR_BAD_NETPATH:          // a server not reached
    case ERROR_BAD_NET_NAME:         // a share not there
    case ERROR_NETNAME_DELETED:      // a share gone meanwhile
    case ERROR_NO_MEDIA_IN_DRIVE:
        return true;
    default:
        return false;
    }
}

#else

bool RawFile::Create(const std::filesystem::path& path, CreateMode mode) {
    Close();
    if (!MayOpen(path))
        return false;
    const int how = mode == CREATE_NEW_ONLY ? O_EXCL : O_TRUNC;
    m_fd = open(path.c_str(), O_WRONLY | O_CREAT | how | O_CLOEXEC, 0666);
    if (m_fd < 0)
        m_lastError = uint32_t(errno);
    else
        m_path = path;
    return m_fd >= 0;
}

bool RawFile::OpenExisting(const std::filesystem::path& path) {
    return OpenAt(path, true);
}

bool RawFile::OpenToRead(const std::filesystem::path& path) {
    return OpenAt(path, false);
}

bool RawFile::OpenAt(const std::filesystem::path& path, bool write) {
    Close();
    if (!MayOpen(path))
        return false;
    m_fd = open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (m_fd < 0)
        m_lastError = uint32_t(errno);
    else
        m_path = path;
    return m_fd >= 0;
}

size_t RawFile::PutToSystem(const void* data, size_t size, const uint64_t* offset) {
    if (m_fd < 0)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n =
            offset ? pwrite(m_fd, bytes + done, size - done, static_cast<off_t>(*offset + done))
                   : write(m_fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_lastError = n < 0 ? uint32_t(errno) : uint32_t(ENOSPC);
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t RawFile::ReadAt(uint64_t offset, void* data, size_t size) {
    if (m_fd < 0)
        return 0;
    auto* bytes = static_cast<uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(m_fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool RawFile::IsDiskFile() const {
    struct stat info;
    return m_fd >= 0 && fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode);
}

int64_t RawFile::FreeSpaceOfSystem(const std::filesystem::path& folder) {
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(folder, error);
    if (error || space.available == static_cast<std::uintmax_t>(-1))
        return -1;
    return static_cast<int64_t>(space.available);
}

int64_t RawFile::Size() {
    struct stat info;
    if (m_fd < 0 || fstat(m_fd, &info) != 0)
        return -1;
    return info.st_size;
}

bool RawFile::Truncate(uint64_t size) {
    if (m_fd >= 0 && ftruncate(m_fd, static_cast<off_t>(size)) == 0)
        return true;
    m_lastError = uint32_t(errno);
    return false;
}

bool RawFile::FlushToSystem() {
    if (m_fd < 0)
        return false;
    if (fsync(m_fd) == 0)
        return true;
    m_lastError = uint32_t(errno);
    return errno == EINVAL || errno == ENOTSUP; // a file that has nothing to flush (a device)
}

bool RawFile::Close() {
    if (m_fd < 0)
        return true;
    const bool ok = close(m_fd) == 0;
    if (!ok)
        m_lastError = uint32_t(errno);
    m_fd = -1;
    return ok;
}

bool RawFile::IsOpen() const {
    return m_fd >= 0;
}

RawFile& RawFile::operator=(RawFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        m_lastError = other.m_lastError;
        other.m_fd = -1;
    }
    return *this;
}

bool RawFile::IsExistsError(uint32_t error) {
    return error == EEXIST;
}

bool RawFile::IsSharingError(uint32_t) {
    return false; // no sharing modes here
}

bool RawFile::IsAbsentDriveError(uint32_t error) {
    return error == ENOMEDIUM || error == ENODEV || error == EHOSTDOWN || error == EHOSTUNREACH;
}

#endif
