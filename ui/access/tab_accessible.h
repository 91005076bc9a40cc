// The tab control as a screen reader reads it: a list of page tabs, each named, the selected one
// marked (Wine has no object of its own for a tab control; Windows' reads the same). Pressing a
// tab selects it, as a click does, with the page's checks.
#pragma once

#include "ui/access/accessible_object.h"

class CTabAccessible : public IAccessibleSource {
public:
    explicit CTabAccessible(HWND tabs) : m_tabs(tabs) {}

    HWND Window() const override { return m_tabs; }
    int ChildCount() const override;
    AccessibleItem Describe(int child) const override;
    RECT Bounds(int child) const override;
    int FocusedChild() const override;
    int SelectedChild() const override { return FocusedChild(); }
    bool DoDefaultAction(int child) override;

private:
    HWND m_tabs;
};
