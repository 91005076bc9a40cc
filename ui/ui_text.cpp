#include "ui/ui_text.h"

namespace {
MessageHook g_messageHook = nullptr;
}

std::wstring LoadText(UINT id) {
    const wchar_t* text = nullptr;
    // With a buffer size of 0, LoadStringW points at the resource's own text.
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, size_t(length)) : std::wstring();
}

std::wstring ApplicationName() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return name;
}

void ShowMessage(HWND owner, const std::wstring& text) {
    if (g_messageHook) {
        g_messageHook(text);
        return;
    }
    MessageBoxW(owner ? owner : GetActiveWindow(), text.c_str(), ApplicationName().c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}

void ShowMessage(HWND owner, UINT textId) {
    ShowMessage(owner, LoadText(textId));
}

void SetMessageHook(MessageHook hook) {
    g_messageHook = hook;
}

std::wstring ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring result = L"error " + std::to_wstring(error);
    if (length && text)
        result += L": " + std::wstring(text, length);
    LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
        result.pop_back();
    return result;
}
