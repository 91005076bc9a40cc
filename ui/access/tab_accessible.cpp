#include "ui/access/tab_accessible.h"

#include "res/resource.h"
#include "ui/framework/ui_text.h"

#include <commctrl.h>
#include <oleacc.h>

int CTabAccessible::ChildCount() const {
    return int(SendMessageW(m_tabs, TCM_GETITEMCOUNT, 0, 0));
}

AccessibleItem CTabAccessible::Describe(int child) const {
    AccessibleItem item;
    const bool enabled = IsWindowEnabled(m_tabs) != FALSE;
    if (child == 0) {
        item.role = ROLE_SYSTEM_PAGETABLIST;
        item.state = STATE_SYSTEM_FOCUSABLE | (enabled ? 0 : STATE_SYSTEM_UNAVAILABLE) |
                     (GetFocus() == m_tabs ? STATE_SYSTEM_FOCUSED : 0);
        return item;
    }
    wchar_t text[64] = {};
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = 64;
    SendMessageW(m_tabs, TCM_GETITEMW, WPARAM(child - 1), reinterpret_cast<LPARAM>(&tab));
    item.name = text;
    item.role = ROLE_SYSTEM_PAGETAB;
    const bool selected = SendMessageW(m_tabs, TCM_GETCURSEL, 0, 0) == child - 1;
    item.state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (!enabled)
        item.state |= STATE_SYSTEM_UNAVAILABLE;
    if (selected)
        item.state |= STATE_SYSTEM_SELECTED | (GetFocus() == m_tabs ? STATE_SYSTEM_FOCUSED : 0);
    if (enabled && !selected)
        item.defaultAction = LoadText(IDS_ACC_SWITCH);
    return item;
}

RECT CTabAccessible::Bounds(int child) const {
    RECT rc = {};
    if (child == 0)
        GetClientRect(m_tabs, &rc);
    else
        SendMessageW(m_tabs, TCM_GETITEMRECT, WPARAM(child - 1), reinterpret_cast<LPARAM>(&rc));
    return rc;
}

// The selected tab has the focus while the control has it.
int CTabAccessible::FocusedChild() const {
    return int(SendMessageW(m_tabs, TCM_GETCURSEL, 0, 0)) + 1;
}

// Posted: the change runs the page's checks, which may show a message.
bool CTabAccessible::DoDefaultAction(int child) {
    if (child < 1 || !IsWindowEnabled(m_tabs))
        return false;
    return PostMessageW(m_tabs, TCM_SETCURFOCUS, WPARAM(child - 1), 0) != 0;
}
