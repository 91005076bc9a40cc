#include "ui/sound_format_dlg.h"

#include "engine/recording_format.h"
#include "res/resource.h"
#include "ui/accessibility.h"
#include "ui/main_dlg.h"
#include "ui/record_bar.h"

CSoundFormatDlg::CSoundFormatDlg() : CDialog(IDD_SOUNDFORMAT) {}

void CSoundFormatDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_SAMPLE_TYPE, m_cbType);
    DDX_Control(dx, IDC_RATE, m_cbRate);
    DDX_Radio(dx, IDC_MONO, m_nChannel);
}

BOOL CSoundFormatDlg::OnInitDialog() {
    for (const SamplingRate& rate : kSamplingRates)
        SendDlgItemMessageW(m_hWnd, IDC_RATE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(rate.text));
    for (const wchar_t* text : kSampleTypeTexts)
        SendDlgItemMessageW(m_hWnd, IDC_SAMPLE_TYPE, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(text));
    CDialog::OnInitDialog();
    const CRecordBar& bar = *g_pMainDlg->m_pRecordBar;
    m_nChannel = bar.m_nSamplingChannel - kMinChannels;
    SendMessageW(m_cbType, CB_SETCURSEL, WPARAM(bar.m_nSampleType), 0);
    SendMessageW(m_cbRate, CB_SETCURSEL, WPARAM(RateIndex(bar.m_nSamplingRate)), 0);
    UpdateData(false);
    DescribeControlsForScreenReaders(m_hWnd, {}); // the lists named by their labels
    return TRUE;
}

// A control without a selection (a value that is not in its list) keeps the format's value:
// the dialog never stores a format the program cannot record.
void CSoundFormatDlg::OnOK() {
    UpdateData(true);
    CRecordBar& bar = *g_pMainDlg->m_pRecordBar;
    if (IsValidChannelCount(m_nChannel + kMinChannels))
        bar.m_nSamplingChannel = m_nChannel + kMinChannels;
    const LRESULT type = SendMessageW(m_cbType, CB_GETCURSEL, 0, 0);
    if (IsValidSampleType(int(type)))
        bar.m_nSampleType = int(type);
    const LRESULT rate = SendMessageW(m_cbRate, CB_GETCURSEL, 0, 0);
    if (rate >= 0 && rate < kSamplingRateCount)
        bar.m_nSamplingRate = kSamplingRates[rate].hz;
    EndDialog(IDOK);
}
