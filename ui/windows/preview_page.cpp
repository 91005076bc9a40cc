#include "ui/windows/preview_page.h"

#include "engine/win32_handles.h"
#include "res/resource.h"
#include "ui/framework/ui_text.h"

#include <oleacc.h>

CPreviewPage::CPreviewPage() : CDialog(IDD_PREVIEW) {}

BOOL CPreviewPage::OnInitDialog() {
    CDialog::OnInitDialog();
    ServeForScreenReaders(GetDlgItem(IDC_WAVEFORM), [] {
        AccessibleItem item;
        item.name = LoadText(IDS_ACC_WAVEFORM);
        item.role = ROLE_SYSTEM_GRAPHIC;
        item.state = STATE_SYSTEM_READONLY;
        return item;
    });
    for (int channel = 0; channel < 2; ++channel) {
        m_meters[channel] = ServeForScreenReaders(
            GetDlgItem(channel == 0 ? IDC_METER0 : IDC_METER1), [this, channel] {
                const bool stereo = m_main && m_main->Format().channels == 2;
                AccessibleItem item;
                item.name = LoadText(channel == 1 ? IDS_ACC_METER_RIGHT
                                     : stereo     ? IDS_ACC_METER_LEFT
                                                  : IDS_ACC_METER_MONO);
                item.role = ROLE_SYSTEM_PROGRESSBAR;
                item.state = STATE_SYSTEM_READONLY;
                if (channel == 1 && !stereo)
                    item.state |= STATE_SYSTEM_UNAVAILABLE;
                if (m_main)
                    item.value = m_main->StatusText(2 + channel);
                return item;
            });
    }
    return TRUE;
}

void CPreviewPage::LevelChanged(int channel) {
    if (channel >= 0 && channel < 2 && m_meters[channel])
        m_meters[channel]->Notify(EVENT_OBJECT_VALUECHANGE, 0);
}

void CPreviewPage::ShowInput(const std::wstring& name) {
    const HWND group = GetDlgItem(IDC_PREVIEW_GROUP);
    if (m_caption.empty()) {
        wchar_t caption[64] = {};
        GetWindowTextW(group, caption, 64);
        m_caption = caption;
    }
    SetWindowTextW(group,
                   name.empty() ? m_caption.c_str() : FormatText(IDS_INPUT_SHOWN, {name}).c_str());
}

void CPreviewPage::Connect(IMainWindow& main) {
    m_main = &main;
    main.Monitor().AttachWindows(GetDlgItem(IDC_WAVEFORM), GetDlgItem(IDC_METER0),
                                 GetDlgItem(IDC_METER1));
}

// The page draws nothing itself: a paint redraws the monitor's pictures in the layout of the
// record bar's channel count, which is the recording's while one runs.
bool CPreviewPage::OnMessage(UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message != WM_PAINT)
        return false;
    const PaintScope paint(m_hWnd);
    if (m_main)
        m_main->Monitor().Repaint(uint16_t(m_main->Format().channels));
    *result = 0;
    return true;
}
