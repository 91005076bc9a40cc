// The settings file through the Windows profile functions.
#include "app/settings.h"

#include "engine/win32_handles.h"

#include <windows.h>

namespace {

class ProfileStore : public ISettingsStore {
public:
    explicit ProfileStore(std::wstring path, uint32_t* error = nullptr)
        : m_path(std::move(path)), m_error(error) {}

    std::wstring Read(const wchar_t* section, const wchar_t* key,
                      const wchar_t* defaultText) override {
        wchar_t buffer[512] = {};
        const DWORD length =
            GetPrivateProfileStringW(section, key, defaultText, buffer, 512, m_path.c_str());
        return std::wstring(buffer, length);
    }

    // A buffer that the value fills is too small: a larger one, up to a million characters.
    std::wstring ReadLong(const wchar_t* section, const wchar_t* key) override {
        for (DWORD size = 4096; size <= (1u << 20); size *= 4) {
            std::wstring buffer(size, L'\0');
            const DWORD length =
                GetPrivateProfileStringW(section, key, L"", &buffer[0], size, m_path.c_str());
            if (length + 1 < size) {
                buffer.resize(length);
                return buffer;
            }
        }
        return L"";
    }

    // A failed write (a read-only file or folder) leaves the file as it was.
    bool Write(const wchar_t* section, const wchar_t* key, const std::wstring& value) override {
        return Done(WritePrivateProfileStringW(section, key, value.c_str(), m_path.c_str()));
    }

    bool RemoveSection(const wchar_t* section) override {
        return Done(WritePrivateProfileStringW(section, nullptr, nullptr, m_path.c_str()));
    }

private:
    // Keeps the error of the first write that failed.
    bool Done(BOOL written) {
        if (!written && m_error && *m_error == 0)
            *m_error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        return written != FALSE;
    }

    std::wstring m_path;
    uint32_t* m_error;
};

bool g_stopBeforeTheRename = false;

// The copy the settings are written into before it takes the file's place: the same name with
// ".new" for ".ini" (a path that fits MAX_PATH still does).
std::wstring CopyPath(const std::wstring& path) {
    const size_t length = path.size();
    if (length > 4 && _wcsicmp(path.c_str() + length - 4, L".ini") == 0)
        return path.substr(0, length - 4) + L".new";
    return path + L"~";
}

// The settings file's bytes; a file not there yet is a UTF-16LE byte-order mark alone (the
// profile functions then write it as Unicode, whatever the system's code page).
bool ReadWhole(const std::wstring& path, std::string& bytes, DWORD& error) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            return false;
        bytes = "\xFF\xFE";
        return true;
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        error = ERROR_ACCESS_DENIED; // the user's own choice not to have it written
        return false;
    }
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > (16 << 20)) {
        error = file ? ERROR_FILE_TOO_LARGE : GetLastError();
        return false;
    }
    bytes.resize(size_t(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), &bytes[0], DWORD(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
        return false;
    }
    if (bytes.empty())
        bytes = "\xFF\xFE";
    return true;
}

bool WriteAndFlush(const std::wstring& path, const std::string& bytes, DWORD disposition,
                   DWORD& error) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        (!bytes.empty() &&
         (!WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
          written != bytes.size())) ||
        !FlushFileBuffers(file.Get())) {
        error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        return false;
    }
    return true;
}

// The settings file is never rewritten over itself: a whole copy is made beside it, changed
// through the profile functions, handed to the storage device, and put in the file's place in one
// step (a rename, written through), so that a power cut leaves the old file or the new one,
// never a torn one. False (with the system's code of the first failure in *error) when any step
// failed: the file is then as it was.
template <class Change> bool Replace(const std::wstring& path, uint32_t* error, Change change) {
    DWORD code = 0;
    const std::wstring copy = CopyPath(path);
    std::string bytes;
    bool ok = ReadWhole(path, bytes, code);
    if (ok) {
        SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL); // one a cut write left
        ok = WriteAndFlush(copy, bytes, CREATE_ALWAYS, code);
    }
    if (ok) {
        uint32_t written = 0;
        ProfileStore store(copy, &written);
        ok = change(store);
        code = written;
    }
    if (ok)
        ok = WriteAndFlush(copy, std::string(), OPEN_EXISTING, code); // the profile's writes
    if (ok && g_stopBeforeTheRename)
        return true;
    if (ok && !MoveFileExW(copy.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        code = GetLastError();
        ok = false;
    }
    if (!ok) {
        DeleteFileW(copy.c_str());
        if (error && *error == 0)
            *error = code ? code : ERROR_WRITE_FAULT;
    }
    return ok;
}

} // namespace

std::wstring SettingsFilePath() {
    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return L"";
    std::wstring path(module, length);
    const size_t slash = path.rfind(L'\\');
    path.erase(slash == std::wstring::npos ? 0 : slash);
    path += L"\\Sonarix.ini";
    return path.size() < MAX_PATH ? path : L"";
}

void LoadSettingsFile(const std::wstring& path, AppSettings& settings) {
    settings = AppSettings();
    if (path.empty())
        return;
    ProfileStore store(path);
    LoadSettings(settings, store);
}

bool SaveSettingsFile(const std::wstring& path, const AppSettings& settings, uint32_t* error) {
    return path.empty() || Replace(path, error, [&](ISettingsStore& store) {
               return SaveSettings(settings, store);
           });
}

bool SaveSequenceCounterFile(const std::wstring& path, int32_t count, uint32_t* error) {
    return path.empty() || Replace(path, error, [&](ISettingsStore& store) {
               return SaveSequenceCounter(count, store);
           });
}

bool NoteRecordingInProgressFile(const std::wstring& path, const std::vector<NotedFile>& files,
                                 uint32_t* error) {
    if (path.empty() ||
        (files.empty() && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES))
        return true; // nothing noted, and no file to remove it from
    return Replace(path, error,
                   [&](ISettingsStore& store) { return NoteRecordingInProgress(files, store); });
}

std::vector<NotedFile> RecordingInProgressFile(const std::wstring& path) {
    if (path.empty())
        return {};
    ProfileStore store(path);
    return RecordingInProgress(store);
}

std::vector<std::wstring> AbsentFilesToldFile(const std::wstring& path) {
    if (path.empty())
        return {};
    ProfileStore store(path);
    return AbsentFilesTold(store);
}

bool NoteAbsentFilesToldFile(const std::wstring& path, const std::vector<std::wstring>& files) {
    return path.empty() || Replace(path, nullptr, [&](ISettingsStore& store) {
               return NoteAbsentFilesTold(files, store);
           });
}

void StopSettingsWritesBeforeTheRename(bool stop) {
    g_stopBeforeTheRename = stop;
}

void LoadSettings() {
    LoadSettingsFile(SettingsFilePath(), g_settings);
}

bool SaveSettings(uint32_t* error) {
    return SaveSettingsFile(SettingsFilePath(), g_settings, error);
}
