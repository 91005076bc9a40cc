// CMainDlg: the program's one top-level window. A tab control shows the preview page with the
// record bar (tab 0, "メイン") or the settings page (tab 1, "設定"); a four-part status bar
// shows the recording state, the elapsed time and the two held dB levels. It owns the pages
// and the capture, reads the settings when it opens and runs the whole shutdown when it closes.
#pragma once

#include "engine/wave_input.h"
#include "ui/dialog.h"

#include <memory>
#include <string>

class CPreviewPage;
class CRecordBar;
class CSettingsPage;
class CWaveIn;
class CWinMonitorHost;

// Posted to the main window: status texts of the monitor wait (no parameters), and the capture
// ended by itself (wParam: the CaptureEndReason).
constexpr UINT WM_APP_MONITOR_TEXTS = WM_APP + 1;
constexpr UINT WM_APP_CAPTURE_ENDED = WM_APP + 2;

class CMainDlg : public CDialog {
public:
    CMainDlg();
    ~CMainDlg() override;

    // Sets a part of the status bar; nothing while the status bar does not exist.
    void SetStatusText(int part, const std::wstring& text);

    CPreviewPage* m_pPreviewPage = nullptr;
    CRecordBar* m_pRecordBar = nullptr;
    CSettingsPage* m_pSettingsPage = nullptr;
    int m_nCurTab = 0;
    int m_bTabChangeFailed = 0;
    HWND m_hStatusBar = nullptr;
    CWaveIn* m_pWaveIn = nullptr;
    HWND m_tabCtrl = nullptr;
    HICON m_hIcon = nullptr;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void OnSysCommand(WPARAM command);
    bool OnPaint();
    void OnTabSelChanging();
    void OnTabSelChange();
    void OnCaptureEnded(int reason);
    // The steps OK, Cancel and the end of the Windows session share: store, save, stop,
    // destroy. Runs once.
    void Shutdown();

    std::unique_ptr<CWinMonitorHost> m_monitorHost;
    bool m_shutDown = false;
};

extern CMainDlg* g_pMainDlg;

// Makes the wave-input device of each CWaveIn: winmm's, unless a test puts another in place.
using WaveInputFactory = std::unique_ptr<IWaveInput> (*)();
void SetWaveInputFactory(WaveInputFactory factory);
