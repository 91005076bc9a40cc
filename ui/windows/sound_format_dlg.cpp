#include "ui/windows/sound_format_dlg.h"

#include "engine/recording_format.h"
#include "res/resource.h"
#include "ui/access/accessibility.h"

CSoundFormatDlg::CSoundFormatDlg(SoundFormatFields format)
    : CDialog(IDD_SOUNDFORMAT), m_format(format) {}

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
    m_nChannel = m_format.channels - kMinChannels;
    SendMessageW(m_cbType, CB_SETCURSEL, WPARAM(m_format.sampleType), 0);
    SendMessageW(m_cbRate, CB_SETCURSEL, WPARAM(RateIndex(m_format.samplesPerSec)), 0);
    UpdateData(false);
    DescribeControlsForScreenReaders(m_hWnd, {}); // the lists named by their labels
    return TRUE;
}

// A control without a selection (a value that is not in its list) keeps the format's value:
// the dialog never stores a format the program cannot record.
void CSoundFormatDlg::OnOK() {
    UpdateData(true);
    if (IsValidChannelCount(m_nChannel + kMinChannels))
        m_format.channels = m_nChannel + kMinChannels;
    const LRESULT type = SendMessageW(m_cbType, CB_GETCURSEL, 0, 0);
    if (IsValidSampleType(int(type)))
        m_format.sampleType = int(type);
    const LRESULT rate = SendMessageW(m_cbRate, CB_GETCURSEL, 0, 0);
    if (rate >= 0 && rate < kSamplingRateCount)
        m_format.samplesPerSec = kSamplingRates[rate].hz;
    EndDialog(IDOK);
}
