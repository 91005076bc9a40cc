#include "ui/windows/stop_time_dlg.h"

#include "res/resource.h"
#include "ui/access/accessibility.h"
#include "ui/framework/ui_text.h"

#include <cwchar>

CStopTimeDlg::CStopTimeDlg(const StopTime& current) : CDialog(IDD_STOP_TIME), m_chosen(current) {}

uint64_t LocalNowMs() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    CivilTime t;
    t.year = now.wYear;
    t.month = now.wMonth;
    t.day = now.wDay;
    t.hour = now.wHour;
    t.minute = now.wMinute;
    t.second = now.wSecond;
    return CivilToMs(t) + now.wMilliseconds;
}

std::wstring CStopTimeDlg::FieldText(const StopTime& stop) {
    if (stop.kind == StopTime::AFTER)
        return DurationText(stop.afterMs);
    if (stop.kind != StopTime::AT)
        return std::wstring();
    const CivilTime t = MsToCivil(stop.atMs);
    wchar_t text[32];
    std::swprintf(text, 32, L"%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

UINT CStopTimeDlg::Resolve(int radio, const std::wstring& text, uint64_t nowMs, StopTime& stop) {
    stop = StopTime();
    if (radio == IDC_STOP_AFTER) {
        if (!ParseDuration(text, stop.afterMs))
            return IDS_STOP_AFTER_BAD;
        stop.kind = StopTime::AFTER;
    } else if (radio == IDC_STOP_AT) {
        switch (ParseStopAt(text, nowMs, stop.atMs)) {
        case TIME_BAD:
            return IDS_STOP_AT_BAD;
        case TIME_PAST:
            return IDS_STOP_AT_PAST;
        case TIME_OK:
            stop.kind = StopTime::AT;
            break;
        }
    }
    return 0;
}

BOOL CStopTimeDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const int radio = m_chosen.kind == StopTime::AFTER ? IDC_STOP_AFTER
                      : m_chosen.kind == StopTime::AT  ? IDC_STOP_AT
                                                       : IDC_STOP_NONE;
    CheckRadioButton(m_hWnd, IDC_STOP_NONE, IDC_STOP_AT, radio);
    SetDlgItemTextW(m_hWnd, radio == IDC_STOP_AT ? IDC_STOP_AT_TEXT : IDC_STOP_AFTER_TEXT,
                    FieldText(m_chosen).c_str());
    FollowChoice();
    DescribeControlsForScreenReaders(
        m_hWnd, {{IDC_STOP_AFTER_TEXT, IDS_ACC_STOP_AFTER}, {IDC_STOP_AT_TEXT, IDS_ACC_STOP_AT}});
    return TRUE;
}

bool CStopTimeDlg::OnCommand(int id, int code, HWND) {
    if ((id == IDC_STOP_NONE || id == IDC_STOP_AFTER || id == IDC_STOP_AT) && code == BN_CLICKED) {
        FollowChoice();
        return true;
    }
    return false;
}

// Only the chosen kind's field can be typed into.
void CStopTimeDlg::FollowChoice() {
    EnableWindow(GetDlgItem(IDC_STOP_AFTER_TEXT), IsDlgButtonChecked(m_hWnd, IDC_STOP_AFTER));
    EnableWindow(GetDlgItem(IDC_STOP_AT_TEXT), IsDlgButtonChecked(m_hWnd, IDC_STOP_AT));
}

// A value not taken is said on the dialog's own line (read by screen readers too), and its field
// gets the focus; no box comes while a recording runs.
void CStopTimeDlg::OnOK() {
    const int radio = IsDlgButtonChecked(m_hWnd, IDC_STOP_AFTER) ? IDC_STOP_AFTER
                      : IsDlgButtonChecked(m_hWnd, IDC_STOP_AT)  ? IDC_STOP_AT
                                                                 : IDC_STOP_NONE;
    const int field = radio == IDC_STOP_AT ? IDC_STOP_AT_TEXT : IDC_STOP_AFTER_TEXT;
    StopTime stop;
    const UINT reason = Resolve(radio, WindowText(GetDlgItem(field)), LocalNowMs(), stop);
    if (reason) {
        const std::wstring text = LoadText(reason);
        SetDlgItemTextW(m_hWnd, IDC_STOP_ERROR, text.c_str());
        AnnounceToScreenReaders(GetDlgItem(IDC_STOP_ERROR), text, L"Sonarix.StopTime");
        SetFocus(GetDlgItem(field));
        SendMessageW(GetDlgItem(field), EM_SETSEL, 0, -1);
        return;
    }
    m_chosen = stop;
    EndDialog(IDOK);
}
