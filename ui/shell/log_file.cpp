#include "ui/shell/log_file.h"

#include "engine/win32_handles.h"

#include <windows.h>

#include <cwchar>

std::wstring LogFilePath(const std::wstring& settingsPath) {
    const size_t slash = settingsPath.find_last_of(L"\\/");
    const size_t dot = settingsPath.find_last_of(L'.');
    const bool hasExtension =
        dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
    return (hasExtension ? settingsPath.substr(0, dot) : settingsPath) + L".log";
}

// Appended whole in one write, so that two copies writing at once do not interleave inside a line.
void AppendToLog(const std::wstring& settingsPath, const std::wstring& line) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%04u-%02u-%02u %02u:%02u:%02u ", unsigned(now.wYear),
                  unsigned(now.wMonth), unsigned(now.wDay), unsigned(now.wHour),
                  unsigned(now.wMinute), unsigned(now.wSecond));
    std::wstring text = stamp;
    for (const wchar_t c : line)
        text += c == L'\r' || c == L'\n' ? L' ' : c;
    text += L"\r\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    if (bytes <= 0)
        return;
    std::string utf8(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &utf8[0], bytes, nullptr,
                        nullptr);
    const UniqueHandle file(CreateFileW(LogFilePath(settingsPath).c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    DWORD written = 0;
    WriteFile(file.Get(), utf8.data(), DWORD(utf8.size()), &written, nullptr);
}
