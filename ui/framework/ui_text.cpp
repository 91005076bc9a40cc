#include "ui/framework/ui_text.h"

#include "capture/winmm_api.h"

#include "engine/win32_handles.h"
#include "res/resource.h"

#include <mmsystem.h>

#include <cwchar>

namespace {

MessageHook g_messageHook = nullptr;

bool g_quiet = false;

// Quiet: nobody is there to answer; a question gets its default answer, No.
int Show(HWND owner, const std::wstring& text, UINT type) {
    if (g_quiet)
        return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
    if (g_messageHook)
        return g_messageHook(text, type);
    return MessageBoxW(owner ? owner : GetActiveWindow(), text.c_str(), ApplicationName().c_str(),
                       type | MB_ICONEXCLAMATION);
}

std::wstring Trimmed(std::wstring text) {
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

} // namespace

std::wstring LoadText(UINT id) {
    const wchar_t* text = nullptr;
    // With a buffer size of 0, LoadStringW points at the resource's own text.
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, size_t(length)) : std::wstring();
}

// One pass over the pattern: an argument that holds "%2" (a path, a system text) stays as it is.
std::wstring FormatText(UINT id, std::initializer_list<std::wstring> arguments) {
    const std::wstring pattern = LoadText(id);
    std::wstring text;
    for (size_t at = 0; at < pattern.size(); ++at) {
        const wchar_t next = at + 1 < pattern.size() ? pattern[at + 1] : 0;
        const size_t n = size_t(next - L'1');
        if (pattern[at] == L'%' && next >= L'1' && next <= L'9' && n < arguments.size()) {
            text += arguments.begin()[n];
            ++at;
        } else {
            text += pattern[at];
        }
    }
    return text;
}

// The system's own words for an error code (a Win32 error or an HRESULT); empty when it has none.
static std::wstring SystemWords(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const LocalMemory<wchar_t> owned(text);
    return length && text ? Trimmed(std::wstring(text, length)) : L"";
}

std::wstring SystemErrorText(DWORD error) {
    return FormatText(IDS_SYSTEM_ERROR, {SystemWords(error), std::to_wstring(error)});
}

// The audio engine's codes (AUDCLNT_E_...), which the system's message tables do not hold; any
// other failure code (an HRESULT) by the system's text, written in hexadecimal as Windows does.
static std::wstring AudioErrorText(UINT result) {
    const struct {
        UINT code, text;
    } known[] = {{0x88890004, IDS_AUDIO_DEVICE_INVALIDATED},
                 {0x8889000A, IDS_AUDIO_DEVICE_IN_USE},
                 {0x88890010, IDS_AUDIO_SERVICE_NOT_RUNNING},
                 {0x88890003, IDS_AUDIO_WRONG_ENDPOINT_TYPE},
                 {0x88890008, IDS_AUDIO_UNSUPPORTED_FORMAT}};
    std::wstring own = SystemWords(result);
    for (const auto& k : known)
        if (k.code == result)
            own = LoadText(k.text);
    wchar_t code[16];
    swprintf(code, 16, L"0x%08X", result);
    return FormatText(IDS_SYSTEM_ERROR, {own, code});
}

std::wstring DeviceErrorText(UINT result) {
    if (result & 0x80000000)
        return AudioErrorText(result);
    wchar_t text[MAXERRORLENGTH] = {};
    const WinmmApi* winmm = Winmm();
    const bool known =
        winmm && winmm->GetErrorText(result, text, MAXERRORLENGTH) == MMSYSERR_NOERROR;
    return FormatText(IDS_SYSTEM_ERROR, {known ? Trimmed(text) : L"", std::to_wstring(result)});
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
    Show(owner, text, MB_OK);
}

void ShowMessage(HWND owner, UINT textId) {
    ShowMessage(owner, LoadText(textId));
}

bool AskYesNo(HWND owner, const std::wstring& text) {
    return Show(owner, text, MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

void SetMessageHook(MessageHook hook) {
    g_messageHook = hook;
}

void SetMessagesQuiet(bool quiet) {
    g_quiet = quiet;
}

bool MessagesQuiet() {
    return g_quiet;
}
