#include "ui/win_app.h"

CWinApp* CWinApp::s_current = nullptr;

CWinApp::CWinApp() {
    s_current = this;
}

CWinApp::~CWinApp() {
    if (s_current == this)
        s_current = nullptr;
}

int CWinApp::Run(HINSTANCE instance) {
    m_instance = instance;
    if (!InitInstance())
        return 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}
