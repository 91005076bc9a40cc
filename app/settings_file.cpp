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

// A new settings file starts as a UTF-16LE byte-order mark alone: the profile functions then
// read and write it as Unicode, whatever the system's code page.
void CreateUnicodeFile(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return; // it exists already, or cannot be made: the writes will tell
    const unsigned char mark[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(file.Get(), mark, sizeof mark, &written, nullptr);
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
    if (path.empty())
        return true;
    CreateUnicodeFile(path);
    ProfileStore store(path, error);
    return SaveSettings(settings, store);
}

bool SaveSequenceCounterFile(const std::wstring& path, int32_t count, uint32_t* error) {
    if (path.empty())
        return true;
    CreateUnicodeFile(path);
    ProfileStore store(path, error);
    return SaveSequenceCounter(count, store);
}

bool NoteRecordingInProgressFile(const std::wstring& path, const std::vector<NotedFile>& files,
                                 uint32_t* error) {
    if (path.empty())
        return true;
    if (!files.empty())
        CreateUnicodeFile(path);
    ProfileStore store(path, error);
    return NoteRecordingInProgress(files, store);
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
    if (path.empty())
        return true;
    ProfileStore store(path);
    return NoteAbsentFilesTold(files, store);
}

void LoadSettings() {
    LoadSettingsFile(SettingsFilePath(), g_settings);
}

bool SaveSettings(uint32_t* error) {
    return SaveSettingsFile(SettingsFilePath(), g_settings, error);
}
