#include "ui/access/accessibility.h"

#include "engine/system_library.h"
#include "engine/win32_handles.h"
#include "ui/access/accessible_base.h"
#include "ui/framework/dialog.h"
#include "ui/framework/ui_text.h"

#include <commctrl.h>

#include <utility>

LRESULT AccessibleResult(IAccessible* object, WPARAM wParam) {
    static auto* const lresultFromObject =
        SystemFunction<decltype(::LresultFromObject)>(L"oleacc.dll", "LresultFromObject");
    if (!lresultFromObject || !object)
        return 0;
    const LRESULT result = lresultFromObject(__uuidof(IAccessible), wParam, object);
    return result > 0 ? result : 0;
}

IAccessible* StandardAccessible(HWND window, LONG objectId) {
    static auto* const createStd = SystemFunction<decltype(::CreateStdAccessibleObject)>(
        L"oleacc.dll", "CreateStdAccessibleObject");
    void* object = nullptr;
    if (!createStd || FAILED(createStd(window, objectId, __uuidof(IAccessible), &object)))
        return nullptr;
    return static_cast<IAccessible*>(object);
}

namespace {

constexpr UINT_PTR kNamedSubclassId = 0x534E41; // a control named for screen readers

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t own[32];
    return GetClassNameW(window, own, 32) && lstrcmpiW(own, name) == 0;
}

// The role of a control whose object Wine's proxies leave as a plain client area: a button by
// its style, a label, a list to choose from; 0 for any other.
long ControlRole(HWND window) {
    if (IsClass(window, L"Static"))
        return (GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON
                   ? ROLE_SYSTEM_GRAPHIC
                   : ROLE_SYSTEM_STATICTEXT;
    if (IsClass(window, L"ComboBox"))
        return ROLE_SYSTEM_COMBOBOX;
    if (!IsClass(window, L"Button"))
        return 0;
    switch (GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return ROLE_SYSTEM_CHECKBUTTON;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return ROLE_SYSTEM_RADIOBUTTON;
    case BS_GROUPBOX:
        return ROLE_SYSTEM_GROUPING;
    default:
        return ROLE_SYSTEM_PUSHBUTTON;
    }
}

// Windows' own object for a control, with the name (and shortcut) given, a control's role, a
// button's checked state and a list's chosen item; everything else is Windows' answer.
class CNamedAccessible : public CAccessibleBase {
public:
    CNamedAccessible(ComPtr<IAccessible> inner, HWND window, const std::wstring& name,
                     const std::wstring& shortcut)
        : m_inner(std::move(inner)), m_window(window), m_name(name), m_shortcut(shortcut) {}

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
        return Own(child, m_name) ? GiveText(m_name, out) : m_inner->get_accName(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        return Own(child, m_shortcut) ? GiveText(m_shortcut, out)
                                      : m_inner->get_accKeyboardShortcut(child, out);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** out) override {
        return m_inner->get_accParent(out);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* out) override {
        return m_inner->get_accChildCount(out);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return m_inner->get_accChild(child, out);
    }
    // A drop-down list's value is its chosen item, which its window text holds.
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
        if (!IsSelf(child) || ControlRole(m_window) != ROLE_SYSTEM_COMBOBOX)
            return m_inner->get_accValue(child, out);
        return GiveText(WindowText(m_window), out);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
        return m_inner->get_accDescription(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
        const long role = ControlRole(m_window);
        if (!out || !role || !IsSelf(child))
            return m_inner->get_accRole(child, out);
        GiveNumber(role, out);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
        const HRESULT result = m_inner->get_accState(child, out);
        const long role = ControlRole(m_window);
        if (SUCCEEDED(result) && out && out->vt == VT_I4 && IsSelf(child) &&
            (role == ROLE_SYSTEM_CHECKBUTTON || role == ROLE_SYSTEM_RADIOBUTTON)) {
            const LRESULT check = SendMessageW(m_window, BM_GETCHECK, 0, 0);
            out->lVal &= ~(STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED);
            out->lVal |= check == BST_CHECKED         ? STATE_SYSTEM_CHECKED
                         : check == BST_INDETERMINATE ? STATE_SYSTEM_MIXED
                                                      : 0;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override {
        return m_inner->get_accHelp(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return m_inner->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
        return m_inner->get_accFocus(out);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
        return m_inner->get_accSelection(out);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
        return m_inner->get_accDefaultAction(child, out);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return m_inner->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h,
                                          VARIANT child) override {
        return m_inner->accLocation(x, y, w, h, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* out) override {
        return m_inner->accNavigate(direction, start, out);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override {
        return m_inner->accHitTest(x, y, out);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return m_inner->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return m_inner->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return m_inner->put_accValue(child, value);
    }

private:
    static bool IsSelf(const VARIANT& child) {
        return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
    }
    static bool Own(const VARIANT& child, const std::wstring& text) {
        return !text.empty() && IsSelf(child);
    }

    ComPtr<IAccessible> m_inner;
    HWND m_window;
    std::wstring m_name;
    std::wstring m_shortcut;
};

struct ControlName {
    std::wstring name;
    std::wstring shortcut;
};

LRESULT CALLBACK NamedControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    auto* named = reinterpret_cast<ControlName*>(data);
    if (message == WM_GETOBJECT && DWORD(lParam) == DWORD(OBJID_CLIENT)) {
        if (ComPtr<IAccessible> standard{StandardAccessible(window, OBJID_CLIENT)}) {
            const ComPtr<IAccessible> object{
                new CNamedAccessible(std::move(standard), window, named->name, named->shortcut)};
            const LRESULT result = AccessibleResult(object.Get(), wParam);
            if (result)
                return result;
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, NamedControlProc, kNamedSubclassId);
        delete named;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Dynamic Annotation's service (oleacc, Windows XP SP2 on; Wine has none), its properties, and
// UI Automation's LiveSetting property, named here: their definitions are not in every SDK's
// libraries.
const GUID kNameProperty = {
    0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
const GUID kShortcutProperty = {
    0x7d9bceee, 0x7d1e, 0x4979, {0x93, 0x82, 0x51, 0x80, 0xf4, 0x17, 0x2c, 0x34}};
const CLSID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
const IID kIAccPropServices = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
const GUID kLiveSettingProperty = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr long kLiveAssertive = 2;

ComPtr<IAccPropServices> PropServices() {
    ComPtr<IAccPropServices> services;
    if (FAILED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices,
                                services.PutVoid())))
        services.Reset();
    return services;
}

// A control annotated through the service: its annotations go with it.
LRESULT CALLBACK AnnotatedControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        if (const ComPtr<IAccPropServices> services = PropServices()) {
            const GUID properties[] = {kNameProperty, kShortcutProperty};
            services->ClearHwndProps(window, DWORD(OBJID_CLIENT), CHILDID_SELF, properties, 2);
        }
        RemoveWindowSubclass(window, AnnotatedControlProc, kNamedSubclassId);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Windows' own object keeps everything (its role, its state, the edit's text and the list's
// expanding for UI Automation), with the name and shortcut given. False where there is no
// service.
bool Annotate(HWND control, const std::wstring& name, const std::wstring& shortcut) {
    const ComPtr<IAccPropServices> services = PropServices();
    if (!services)
        return false;
    const auto set = [&](const GUID& property, const std::wstring& text) {
        return text.empty() ||
               SUCCEEDED(services->SetHwndPropStr(control, DWORD(OBJID_CLIENT), CHILDID_SELF,
                                                  property, text.c_str()));
    };
    const bool annotated = set(kNameProperty, name) && set(kShortcutProperty, shortcut);
    if (annotated && !(name.empty() && shortcut.empty()))
        SetWindowSubclass(control, AnnotatedControlProc, kNamedSubclassId, 0);
    return annotated;
}

// Whether Windows' own object for the control tells its role (Wine's leave buttons, labels and
// lists plain client areas).
bool ProxyKnowsRole(HWND control) {
    const long role = ControlRole(control);
    if (!role)
        return true;
    const ComPtr<IAccessible> standard{StandardAccessible(control, OBJID_CLIENT)};
    if (!standard)
        return false;
    VARIANT self, answer;
    GiveNumber(CHILDID_SELF, &self);
    VariantInit(&answer);
    const bool known = SUCCEEDED(standard->get_accRole(self, &answer)) && answer.vt == VT_I4 &&
                       answer.lVal == role;
    return known;
}

} // namespace

// Through Dynamic Annotation where Windows has it and its own object knows the control; that
// object wrapped where not.
void NameForScreenReaders(HWND control, const std::wstring& name, const std::wstring& shortcut) {
    if (!control || (ProxyKnowsRole(control) && Annotate(control, name, shortcut)))
        return;
    auto* named = new ControlName{name, shortcut};
    if (!SetWindowSubclass(control, NamedControlProc, kNamedSubclassId,
                           reinterpret_cast<DWORD_PTR>(named)))
        delete named;
}

namespace {

// A label's text as a name: without its mnemonic's "&".
std::wstring LabelText(HWND label) {
    const std::wstring text = WindowText(label);
    std::wstring name;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != L'&' || (i + 1 < text.size() && text[i + 1] == L'&'))
            name += text[i];
    return name;
}

} // namespace

// As Windows names a field, a list or an up-down control: by the label before it.
void DescribeControlsForScreenReaders(HWND dialog,
                                      std::initializer_list<std::pair<int, UINT>> names) {
    std::wstring label;
    for (HWND control = GetWindow(dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        UINT name = 0;
        for (const auto& named : names)
            if (named.first == GetDlgCtrlID(control))
                name = named.second;
        if (IsClass(control, L"Static")) {
            label = LabelText(control);
            NameForScreenReaders(control, std::wstring()); // reads as text, or as the icon
        } else if (name)
            NameForScreenReaders(control, LoadText(name));
        else if (!label.empty() && (IsClass(control, L"Edit") || IsClass(control, L"ComboBox") ||
                                    IsClass(control, L"msctls_updown32")))
            NameForScreenReaders(control, label);
        else if (ControlRole(control))
            NameForScreenReaders(control, std::wstring());
    }
}

namespace {

// UI Automation's notification (Windows 10 1709 and later), not in every SDK's headers.
enum { kNotificationKindActionCompleted = 2, kNotificationProcessingImportantMostRecent = 1 };
using UiaClientsAreListeningFunction = BOOL WINAPI();
using UiaHostProviderFromHwndFunction = HRESULT WINAPI(HWND, IUnknown**);
using UiaRaiseNotificationEventFunction = HRESULT WINAPI(IUnknown*, int, int, BSTR, BSTR);

} // namespace

void AnnounceToScreenReaders(HWND window, const std::wstring& text, const wchar_t* activity) {
    static auto* const listening = SystemFunction<UiaClientsAreListeningFunction>(
        L"uiautomationcore.dll", "UiaClientsAreListening");
    static auto* const hostProvider = SystemFunction<UiaHostProviderFromHwndFunction>(
        L"uiautomationcore.dll", "UiaHostProviderFromHwnd");
    static auto* const raise = SystemFunction<UiaRaiseNotificationEventFunction>(
        L"uiautomationcore.dll", "UiaRaiseNotificationEvent");
    if (!listening || !hostProvider || !raise || text.empty() || !listening())
        return;
    ComPtr<IUnknown> provider;
    if (FAILED(hostProvider(window, provider.Put())) || !provider)
        return;
    const UniqueBstr said(text.data(), text.size());
    const UniqueBstr about(activity);
    if (said && about)
        raise(provider.Get(), kNotificationKindActionCompleted,
              kNotificationProcessingImportantMostRecent, said.Get(), about.Get());
}

bool MarkAssertiveLiveRegion(HWND window, int child, bool on) {
    const ComPtr<IAccPropServices> services = PropServices();
    if (!services)
        return false;
    HRESULT result;
    if (on) {
        VARIANT value;
        GiveNumber(kLiveAssertive, &value);
        result = services->SetHwndProp(window, DWORD(OBJID_CLIENT), DWORD(child),
                                       kLiveSettingProperty, value);
    } else {
        result = services->ClearHwndProps(window, DWORD(OBJID_CLIENT), DWORD(child),
                                          &kLiveSettingProperty, 1);
    }
    return SUCCEEDED(result);
}
