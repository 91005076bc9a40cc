#include "ui/shell/windows_system_side.h"

#include "res/resource.h"
#include "ui/framework/ui_text.h"

void CWindowsSystemSide::HoldAwake(bool system, bool display) {
    m_awake.Follow(system, display, LoadText(IDS_AWAKE_REASON));
}

// Windows shows the reason, and lets the user choose, only for a program that says no to the
// session's end (CSystemFollower::SessionMayEnd).
void CWindowsSystemSide::BlockShutdown(bool block) {
    if (block)
        ShutdownBlockReasonCreate(m_window, LoadText(IDS_SHUTDOWN_REASON).c_str());
    else
        ShutdownBlockReasonDestroy(m_window);
}

bool CWindowsSystemSide::HoldKey(int id, uint32_t modifiers, uint32_t key) {
    return RegisterHotKey(m_window, id, UINT(modifiers), UINT(key)) != 0;
}

void CWindowsSystemSide::LetKeyGo(int id) {
    UnregisterHotKey(m_window, id);
}
