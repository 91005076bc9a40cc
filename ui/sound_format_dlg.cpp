#include "ui/sound_format_dlg.h"

#include "res/resource.h"
#include "ui/main_dlg.h"
#include "ui/record_bar.h"

namespace {

// The lists' contents, in their order: the list index is the position here.
const wchar_t* const kRateTexts[9] = {L" 8000Hz", L"11025Hz", L"12000Hz", L"16000Hz", L"22050Hz",
                                      L"24000Hz", L"32000Hz", L"44100Hz", L"48000Hz"};
const wchar_t* const kTypeTexts[4] = {L"8bit PCM", L"16bit PCM", L"G.711 u-Law", L"G.711 A-Law"};

void Fill(HWND list, const wchar_t* const* texts, int count) {
    for (int i = 0; i < count; ++i)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
}

} // namespace

CSoundFormatDlg::CSoundFormatDlg() : CDialog(IDD_SOUNDFORMAT) {}

void CSoundFormatDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_SAMPLE_TYPE, m_cbType);
    DDX_Control(dx, IDC_RATE, m_cbRate);
    DDX_Radio(dx, IDC_MONO, m_nChannel);
}

BOOL CSoundFormatDlg::OnInitDialog() {
    Fill(GetDlgItem(IDC_RATE), kRateTexts, 9);
    Fill(GetDlgItem(IDC_SAMPLE_TYPE), kTypeTexts, 4);
    CDialog::OnInitDialog();
    const CRecordBar& bar = *g_pMainDlg->m_pRecordBar;
    m_nChannel = bar.m_nSamplingChannel - 1;
    SendMessageW(m_cbType, CB_SETCURSEL, WPARAM(bar.m_nSampleType), 0);
    int rateIndex = -1;
    for (int i = 0; i < 9; ++i)
        if (kRates[i] == bar.m_nSamplingRate)
            rateIndex = i;
    SendMessageW(m_cbRate, CB_SETCURSEL, WPARAM(rateIndex), 0);
    UpdateData(false);
    return TRUE;
}

// A control without a selection (only a hand-edited settings file leads there) keeps the
// format's value: the dialog never stores a format the program cannot record.
void CSoundFormatDlg::OnOK() {
    UpdateData(true);
    CRecordBar& bar = *g_pMainDlg->m_pRecordBar;
    if (m_nChannel >= 0)
        bar.m_nSamplingChannel = m_nChannel + 1;
    const LRESULT type = SendMessageW(m_cbType, CB_GETCURSEL, 0, 0);
    if (type >= 0 && type < 4)
        bar.m_nSampleType = int(type);
    const LRESULT rate = SendMessageW(m_cbRate, CB_GETCURSEL, 0, 0);
    if (rate >= 0 && rate < 9)
        bar.m_nSamplingRate = kRates[rate];
    EndDialog(IDOK);
}
