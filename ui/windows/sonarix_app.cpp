#include "ui/windows/sonarix_app.h"

#include "ui/windows/main_dlg.h"

#include <commctrl.h>

BOOL CSonarixApp::InitInstance() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CMainDlg dialog(m_command);
    g_pMainDlg = &dialog;
    dialog.DoModal(nullptr);
    SetExitCode(dialog.ExitCode());
    return FALSE; // no message loop: everything ran inside the dialog
}
