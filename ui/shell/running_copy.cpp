#include "ui/shell/running_copy.h"

#include <cstdint>
#include <cwchar>

namespace {

// What the shared object holds: the window and its process, for a check that it is still theirs.
struct Entry {
    uint64_t window;
    uint32_t process;
};

HWND LiveWindow(const Entry& entry) {
    const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(entry.window));
    DWORD process = 0;
    if (!window || !IsWindow(window) || !GetWindowThreadProcessId(window, &process) ||
        process != entry.process)
        return nullptr;
    return window;
}

} // namespace

std::wstring CRunningCopy::ObjectName(const std::wstring& settingsPath) {
    wchar_t full[MAX_PATH * 2];
    const DWORD length = GetFullPathNameW(settingsPath.c_str(), MAX_PATH * 2, full, nullptr);
    std::wstring path =
        length > 0 && length < MAX_PATH * 2 ? std::wstring(full, length) : settingsPath;
    if (!path.empty())
        CharUpperBuffW(&path[0], DWORD(path.size()));
    uint64_t hash = 1469598103934665603ull; // FNV-1a over the UTF-16 units
    for (const wchar_t c : path) {
        hash = (hash ^ uint16_t(c)) * 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\Sonarix.%016llx", static_cast<unsigned long long>(hash));
    return name;
}

void CRunningCopy::Register(HWND window, const std::wstring& settingsPath) {
    if (m_mapping)
        return;
    const std::wstring name = ObjectName(settingsPath);
    m_mapping = UniqueHandle(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                sizeof(Entry), name.c_str()));
    if (!m_mapping)
        return;
    void* view =
        MapViewOfFile(m_mapping.Get(), FILE_MAP_WRITE | FILE_MAP_READ, 0, 0, sizeof(Entry));
    if (!view)
        return;
    auto* entry = static_cast<Entry*>(view);
    if (!LiveWindow(*entry)) { // new, or left by a copy that has ended
        entry->window = reinterpret_cast<uintptr_t>(window);
        entry->process = GetCurrentProcessId();
    }
    UnmapViewOfFile(view);
}

bool CRunningCopy::HandOver(const std::wstring& settingsPath, const std::wstring& switches,
                            int& exitCode, DWORD timeoutMs) {
    const UniqueHandle mapping(
        OpenFileMappingW(FILE_MAP_READ, FALSE, ObjectName(settingsPath).c_str()));
    if (!mapping)
        return false;
    Entry entry = {};
    if (const void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, sizeof(Entry))) {
        entry = *static_cast<const Entry*>(view);
        UnmapViewOfFile(view);
    }
    const HWND window = LiveWindow(entry);
    if (!window)
        return false;
    COPYDATASTRUCT data = {kCommandCopyData, DWORD((switches.size() + 1) * sizeof(wchar_t)),
                           const_cast<wchar_t*>(switches.c_str())};
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs, &answer))
        return false;
    // Not taken for what it was: refused.
    const bool known =
        answer >= DWORD_PTR(kCommandAnswer) && answer <= DWORD_PTR(kCommandAnswer) + 3;
    exitCode = known ? int(answer - DWORD_PTR(kCommandAnswer)) : 1;
    return true;
}
