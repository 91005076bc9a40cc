#include "ui/access/accessible_object.h"

#include "engine/win32_handles.h"
#include "ui/access/accessibility.h"
#include "ui/access/accessible_base.h"

#include <oleacc.h>

#include <commctrl.h>

RECT IAccessibleSource::Bounds(int) const {
    RECT rc = {};
    GetClientRect(Window(), &rc);
    return rc;
}

namespace {

// The object over a source. The source may go while a screen reader still holds the object:
// the shared link is cleared then, and every call answers that the control is gone.
class CAccessibleObject : public CAccessibleBase {
public:
    explicit CAccessibleObject(std::shared_ptr<IAccessibleSource*> source)
        : m_source(std::move(source)) {}

    // The parent is the control's window, as Windows describes it.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent)
            return E_POINTER;
        *parent = nullptr;
        IAccessibleSource* source = *m_source;
        if (!source)
            return CO_E_OBJNOTCONNECTED;
        IAccessible* window = StandardAccessible(source->Window(), OBJID_WINDOW);
        if (!window)
            return S_FALSE;
        *parent = window;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!count)
            return E_POINTER;
        IAccessibleSource* source = *m_source;
        if (!source)
            return CO_E_OBJNOTCONNECTED;
        *count = source->ChildCount();
        return S_OK;
    }
    // The items are simple elements, known by their numbers.
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        IAccessibleSource* source = nullptr;
        int index = 0;
        const HRESULT reached = Reach(child, source, index);
        return reached == S_OK ? S_FALSE : reached;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
        return Text(child, out, &AccessibleItem::name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
        return Text(child, out, &AccessibleItem::value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
        return Text(child, out, &AccessibleItem::description);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override {
        return Text(child, out, nullptr);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        return Text(child, out, &AccessibleItem::shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
        return Text(child, out, &AccessibleItem::defaultAction);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
        return Number(child, out, &AccessibleItem::role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
        return Number(child, out, &AccessibleItem::state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        if (file)
            *file = nullptr;
        if (topic)
            *topic = -1;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
        IAccessibleSource* source = nullptr;
        if (const HRESULT ready = Prepare(out, source); ready != S_OK)
            return ready;
        if (GetFocus() != source->Window())
            return S_FALSE;
        GiveNumber(source->FocusedChild(), out);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
        IAccessibleSource* source = nullptr;
        if (const HRESULT ready = Prepare(out, source); ready != S_OK)
            return ready;
        const int selected = source->SelectedChild();
        if (selected <= 0)
            return S_FALSE;
        GiveNumber(selected, out);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        IAccessibleSource* source = nullptr;
        int index = 0;
        if (const HRESULT reached = Reach(child, source, index); reached != S_OK)
            return reached;
        if (index != 0 || flags != SELFLAG_TAKEFOCUS)
            return DISP_E_MEMBERNOTFOUND;
        SetFocus(source->Window());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* width, long* height,
                                          VARIANT child) override {
        if (!x || !y || !width || !height)
            return E_POINTER;
        IAccessibleSource* source = nullptr;
        int index = 0;
        if (const HRESULT reached = Reach(child, source, index); reached != S_OK)
            return reached;
        RECT rc = source->Bounds(index);
        MapWindowPoints(source->Window(), nullptr, reinterpret_cast<POINT*>(&rc), 2);
        *x = rc.left;
        *y = rc.top;
        *width = rc.right - rc.left;
        *height = rc.bottom - rc.top;
        return S_OK;
    }
    // Among the items: next and previous; from the control: its first and last item.
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* out) override {
        IAccessibleSource* source = nullptr;
        int from = 0;
        if (const HRESULT reached = Clear(out) ? Reach(start, source, from) : E_POINTER;
            reached != S_OK)
            return reached;
        const int count = source->ChildCount();
        int to = 0;
        if (from == 0 && direction == NAVDIR_FIRSTCHILD)
            to = count > 0 ? 1 : 0;
        else if (from == 0 && direction == NAVDIR_LASTCHILD)
            to = count;
        else if (from > 0 && (direction == NAVDIR_NEXT || direction == NAVDIR_RIGHT))
            to = from < count ? from + 1 : 0;
        else if (from > 0 && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_LEFT))
            to = from - 1;
        else if (from == 0)
            return DISP_E_MEMBERNOTFOUND; // the window's object knows the control's siblings
        if (to <= 0)
            return S_FALSE;
        GiveNumber(to, out);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override {
        IAccessibleSource* source = nullptr;
        if (const HRESULT ready = Prepare(out, source); ready != S_OK)
            return ready;
        POINT at = {x, y};
        ScreenToClient(source->Window(), &at);
        for (int child = source->ChildCount(); child >= 0; --child) {
            const RECT rc = source->Bounds(child);
            if (PtInRect(&rc, at)) {
                GiveNumber(child, out);
                return S_OK;
            }
        }
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        IAccessibleSource* source = nullptr;
        int index = 0;
        if (const HRESULT reached = Reach(child, source, index); reached != S_OK)
            return reached;
        // While a message box or dialog of the program is up, its window is disabled: nothing
        // is pressed behind it.
        if (!IsWindowEnabled(GetAncestor(source->Window(), GA_ROOT)))
            return DISP_E_MEMBERNOTFOUND;
        return source->DoDefaultAction(index) ? S_OK : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    // An out VARIANT emptied; false when there is none.
    static bool Clear(VARIANT* out) {
        if (out)
            VariantInit(out);
        return out != nullptr;
    }
    // The out VARIANT emptied, and the source while the control lives.
    HRESULT Prepare(VARIANT* out, IAccessibleSource*& source) const {
        if (!Clear(out))
            return E_POINTER;
        source = *m_source;
        return source ? S_OK : CO_E_OBJNOTCONNECTED;
    }
    // The source while the control lives, and the child a VARIANT names: 0 for the control,
    // 1.. for its items (E_INVALIDARG for none of them).
    HRESULT Reach(const VARIANT& child, IAccessibleSource*& source, int& index) const {
        source = *m_source;
        if (!source)
            return CO_E_OBJNOTCONNECTED;
        if (child.vt != VT_I4 || child.lVal < 0 || child.lVal > source->ChildCount())
            return E_INVALIDARG;
        index = int(child.lVal);
        return S_OK;
    }
    HRESULT Text(const VARIANT& child, BSTR* out, std::wstring AccessibleItem::*field) const {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        IAccessibleSource* source = nullptr;
        int index = 0;
        if (const HRESULT reached = Reach(child, source, index); reached != S_OK)
            return reached;
        if (!field)
            return S_FALSE;
        return GiveText(source->Describe(index).*field, out);
    }
    HRESULT Number(const VARIANT& child, VARIANT* out, long AccessibleItem::*field) const {
        IAccessibleSource* source = nullptr;
        int index = 0;
        if (const HRESULT reached = Clear(out) ? Reach(child, source, index) : E_POINTER;
            reached != S_OK)
            return reached;
        GiveNumber(int(source->Describe(index).*field), out);
        return S_OK;
    }

    std::shared_ptr<IAccessibleSource*> m_source;
};

} // namespace

CAccessibleServer::CAccessibleServer(IAccessibleSource& source)
    : m_source(std::make_shared<IAccessibleSource*>(&source)) {}

CAccessibleServer::~CAccessibleServer() {
    *m_source = nullptr;
}

LRESULT CAccessibleServer::OnGetObject(WPARAM wParam, LPARAM lParam) {
    if (DWORD(lParam) != DWORD(OBJID_CLIENT) || !*m_source)
        return 0;
    const ComPtr<IAccessible> object{new CAccessibleObject(m_source)};
    return AccessibleResult(object.Get(), wParam);
}

void CAccessibleServer::Notify(DWORD event, int child) const {
    if (*m_source)
        NotifyWinEvent(event, (*m_source)->Window(), OBJID_CLIENT,
                       child > 0 ? child : CHILDID_SELF);
}

namespace {

constexpr UINT_PTR kServedSubclassId = 0x534F; // a control served for screen readers

class CDescribedControl : public IAccessibleSource {
public:
    CDescribedControl(HWND window, std::function<AccessibleItem()> describe)
        : m_window(window), m_describe(std::move(describe)) {}
    HWND Window() const override { return m_window; }
    AccessibleItem Describe(int) const override { return m_describe(); }

private:
    HWND m_window;
    std::function<AccessibleItem()> m_describe;
};

struct ServedControl {
    explicit ServedControl(std::unique_ptr<IAccessibleSource> served)
        : source(std::move(served)), server(*source) {}
    std::unique_ptr<IAccessibleSource> source;
    CAccessibleServer server;
};

LRESULT CALLBACK ServedControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR data) {
    auto* control = reinterpret_cast<ServedControl*>(data);
    return ServedControlEnd(window, message, wParam, lParam, &control->server, ServedControlProc,
                            kServedSubclassId, [control] { delete control; });
}

} // namespace

CAccessibleServer* ServeForScreenReaders(HWND control, std::unique_ptr<IAccessibleSource> source) {
    if (!control || !source)
        return nullptr;
    auto* served = new ServedControl(std::move(source));
    if (!SetWindowSubclass(control, ServedControlProc, kServedSubclassId,
                           reinterpret_cast<DWORD_PTR>(served))) {
        delete served;
        return nullptr;
    }
    return &served->server;
}

CAccessibleServer* ServeForScreenReaders(HWND control, std::function<AccessibleItem()> describe) {
    return ServeForScreenReaders(control,
                                 std::make_unique<CDescribedControl>(control, std::move(describe)));
}
