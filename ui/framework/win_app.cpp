#include "ui/framework/win_app.h"

CWinApp::CWinApp() = default;

CWinApp::~CWinApp() = default;

int CWinApp::Run(HINSTANCE instance) {
    m_instance = instance;
    if (!InitInstance())
        return m_exitCode;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}
