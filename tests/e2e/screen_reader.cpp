// A small screen reader for the end-to-end tests: from its own process it reads the running
// Sonarix window through MSAA as a screen reader does, and prints what it reads in UTF-8.
//   screen_reader walk [CAPTION] every visible control of the main window (or of the program's
//                               dialog of this caption): "id.child role name state value
//                               shortcut description"
//   screen_reader focus         the object with the keyboard focus, as a line of walk
//   screen_reader events SECS   the WinEvents of the program, a line each, until its window
//                               closes or SECS seconds have passed
#include <windows.h>

#include <oleacc.h>

#ifndef EVENT_OBJECT_LIVEREGIONCHANGED
#define EVENT_OBJECT_LIVEREGIONCHANGED 0x8019
#endif

#include <cstdio>
#include <string>
#include <vector>

namespace {

void Print(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &bytes[0], size, nullptr,
                        nullptr);
    bytes += '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(bytes.size()), &written,
              nullptr);
}

// One of the object's texts: name, value or shortcut.
template <class Get> std::wstring Text(Get get) {
    BSTR text = nullptr;
    const HRESULT result = get(&text);
    std::wstring out = SUCCEEDED(result) && text ? text : L"";
    SysFreeString(text);
    return out;
}

std::wstring RoleText(long role) {
    wchar_t text[64] = {};
    GetRoleTextW(DWORD(role), text, 64);
    return text;
}

// The states a screen reader says, by their short names.
std::wstring StateText(long state) {
    const struct {
        long bit;
        const wchar_t* name;
    } names[] = {{STATE_SYSTEM_UNAVAILABLE, L"unavailable"}, {STATE_SYSTEM_FOCUSED, L"focused"},
                 {STATE_SYSTEM_FOCUSABLE, L"focusable"},     {STATE_SYSTEM_CHECKED, L"checked"},
                 {STATE_SYSTEM_READONLY, L"readonly"},       {STATE_SYSTEM_SELECTED, L"selected"},
                 {STATE_SYSTEM_INVISIBLE, L"invisible"}};
    std::wstring out;
    for (const auto& n : names)
        if (state & n.bit)
            out += (out.empty() ? L"" : L",") + std::wstring(n.name);
    return out.empty() ? L"-" : out;
}

std::wstring Describe(IAccessible* object, long child, const std::wstring& id) {
    VARIANT who;
    VariantInit(&who);
    who.vt = VT_I4;
    who.lVal = child;
    const std::wstring name = Text([&](BSTR* text) { return object->get_accName(who, text); });
    const std::wstring value = Text([&](BSTR* text) { return object->get_accValue(who, text); });
    const std::wstring shortcut =
        Text([&](BSTR* text) { return object->get_accKeyboardShortcut(who, text); });
    const std::wstring description =
        Text([&](BSTR* text) { return object->get_accDescription(who, text); });
    VARIANT role, state;
    VariantInit(&role);
    VariantInit(&state);
    object->get_accRole(who, &role);
    object->get_accState(who, &state);
    return id + L"\t" + RoleText(role.vt == VT_I4 ? role.lVal : 0) + L"\t\"" + name + L"\"\t" +
           StateText(state.vt == VT_I4 ? state.lVal : 0) + L"\t\"" + value + L"\"\t\"" + shortcut +
           L"\"\t\"" + description + L"\"";
}

HWND MainWindow() {
    for (int i = 0; i < 100; ++i) {
        if (HWND window = FindWindowW(L"#32770", L"Sonarix"))
            return window;
        Sleep(100);
    }
    return nullptr;
}

void WalkControl(HWND control) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))) ||
        !object)
        return;
    const std::wstring id = std::to_wstring(GetDlgCtrlID(control));
    Print(Describe(object, CHILDID_SELF, id));
    VARIANT selection;
    VariantInit(&selection);
    if (object->get_accSelection(&selection) == S_OK && selection.vt == VT_I4)
        Print(id + L"\tselection\t" + std::to_wstring(selection.lVal));
    VariantClear(&selection);
    long count = 0;
    object->get_accChildCount(&count);
    for (long child = 1; child <= count && child < 64; ++child) {
        VARIANT who;
        VariantInit(&who);
        who.vt = VT_I4;
        who.lVal = child;
        IDispatch* dispatch = nullptr;
        if (object->get_accChild(who, &dispatch) == S_OK && dispatch)
            dispatch->Release(); // a window of its own: walked by its handle
        else
            Print(Describe(object, child, id + L"." + std::to_wstring(child)));
    }
    object->Release();
}

BOOL CALLBACK WalkChild(HWND control, LPARAM) {
    if (IsWindowVisible(control))
        WalkControl(control);
    return TRUE;
}

int Focus(HWND main) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) || !info.hwndFocus)
        return 1;
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(info.hwndFocus, DWORD(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))))
        return 1;
    VARIANT focus;
    VariantInit(&focus);
    object->get_accFocus(&focus);
    const long child = focus.vt == VT_I4 ? focus.lVal : CHILDID_SELF;
    Print(Describe(object, child,
                   std::to_wstring(GetDlgCtrlID(info.hwndFocus)) + L"." + std::to_wstring(child)));
    object->Release();
    return 0;
}

const wchar_t* EventName(DWORD event) {
    switch (event) {
    case EVENT_OBJECT_NAMECHANGE:
        return L"name";
    case EVENT_OBJECT_VALUECHANGE:
        return L"value";
    case EVENT_OBJECT_STATECHANGE:
        return L"state";
    case EVENT_OBJECT_DESCRIPTIONCHANGE:
        return L"description";
    case EVENT_OBJECT_FOCUS:
        return L"focus";
    case EVENT_OBJECT_LIVEREGIONCHANGED:
        return L"live";
    case EVENT_SYSTEM_ALERT:
        return L"alert";
    default:
        return nullptr;
    }
}

// Events are kept in their order and read one after the other: reading one pumps messages, and
// so may hand the hook the next ones meanwhile.
struct Event {
    DWORD event;
    HWND window;
    LONG objectId, child;
};
std::vector<Event> g_events;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG objectId, LONG child, DWORD,
                      DWORD) {
    if (EventName(event) && window)
        g_events.push_back({event, window, objectId, child});
}

void Read(const Event& e) {
    IAccessible* object = nullptr;
    VARIANT who;
    VariantInit(&who);
    if (FAILED(AccessibleObjectFromEvent(e.window, DWORD(e.objectId), DWORD(e.child), &object,
                                         &who)) ||
        !object)
        return;
    Print(std::wstring(EventName(e.event)) + L"\t" +
          Describe(object, who.lVal,
                   std::to_wstring(GetDlgCtrlID(e.window)) + L"." + std::to_wstring(who.lVal)));
    object->Release();
}

int Events(HWND main, int seconds) {
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, OnEvent, process, 0, WINEVENT_OUTOFCONTEXT);
    if (!hook)
        return 1;
    Print(L"listening");
    const DWORD end = GetTickCount() + DWORD(seconds) * 1000;
    size_t read = 0;
    while (IsWindow(main) && GetTickCount() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        while (read < g_events.size()) {
            const Event next = g_events[read++];
            Read(next);
        }
    }
    UnhookWinEvent(hook);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitialize(nullptr);
    const HWND main = MainWindow();
    if (!main || argc < 2)
        return 2;
    const std::wstring command = argv[1];
    if (command == L"walk") {
        const HWND dialog = argc > 2 ? FindWindowW(L"#32770", argv[2]) : main;
        EnumChildWindows(dialog ? dialog : main, WalkChild, 0);
        return dialog ? 0 : 1;
    }
    if (command == L"focus")
        return Focus(main);
    if (command == L"events" && argc > 2)
        return Events(main, _wtoi(argv[2]));
    return 2;
}
