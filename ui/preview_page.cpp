#include "ui/preview_page.h"

#include "capture/wave_in.h"
#include "engine/win32_handles.h"
#include "res/resource.h"
#include "ui/main_dlg.h"
#include "ui/record_bar.h"

CPreviewPage::CPreviewPage() : CDialog(IDD_PREVIEW) {}

void CPreviewPage::ConnectMonitor() {
    if (g_pMainDlg->m_pWaveIn)
        AttachMonitorViews(GetDlgItem(IDC_WAVEFORM), GetDlgItem(IDC_METER0),
                           GetDlgItem(IDC_METER1));
}

// The page draws nothing itself: a paint redraws the monitor's pictures in the layout of the
// record bar's channel count, which is the recording's while one runs.
bool CPreviewPage::OnMessage(UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message != WM_PAINT)
        return false;
    const PaintScope paint(m_hWnd);
    if (g_pMainDlg->m_pWaveIn && g_pMainDlg->m_pRecordBar)
        RepaintMonitor(uint16_t(g_pMainDlg->m_pRecordBar->m_nSamplingChannel));
    *result = 0;
    return true;
}
