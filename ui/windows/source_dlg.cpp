#include "ui/windows/source_dlg.h"

#include "res/resource.h"
#include "ui/access/accessibility.h"
#include "ui/framework/ui_text.h"
#include "ui/shell/system_program.h"

#include <algorithm>

namespace {

// Windows' default and its communications default first, then the devices plugged in; the
// chosen one where it is not plugged in, by the name it had.
std::vector<CSourceDlg::Entry> Entries(UINT defaultText, UINT communicationsText,
                                       bool offerCommunications,
                                       const std::vector<AudioEndpoint>& endpoints,
                                       const std::wstring& chosen, const std::wstring& chosenName) {
    std::vector<CSourceDlg::Entry> entries = {{L"", LoadText(defaultText), false}};
    if (offerCommunications || chosen == kCommunicationsDevice)
        entries.push_back({kCommunicationsDevice, LoadText(communicationsText), false});
    for (const AudioEndpoint& endpoint : endpoints)
        entries.push_back({endpoint.id, endpoint.name, false});
    const bool listed =
        std::any_of(entries.begin(), entries.end(),
                    [&](const CSourceDlg::Entry& entry) { return entry.device == chosen; });
    if (!listed)
        entries.push_back({chosen,
                           FormatText(IDS_SOURCE_AWAY, {chosenName.empty() ? chosen : chosenName}),
                           true});
    return entries;
}

} // namespace

CSourceDlg::CSourceDlg(SourceFields fields, std::vector<AudioEndpoint> inputs,
                       std::vector<AudioEndpoint> outputs)
    : CDialog(IDD_SOURCE), m_fields(fields),
      m_inputs(Entries(IDS_SOURCE_DEFAULT_INPUT, IDS_SOURCE_COMMUNICATIONS_INPUT, true, inputs,
                       fields.inputDevice, fields.inputDeviceName)),
      m_outputs(Entries(IDS_SOURCE_DEFAULT_OUTPUT, IDS_SOURCE_COMMUNICATIONS_OUTPUT, false, outputs,
                        fields.outputDevice, fields.outputDeviceName)) {}

BOOL CSourceDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    Fill(IDC_SOURCE_INPUTS, m_inputs, m_fields.inputDevice);
    Fill(IDC_SOURCE_OUTPUTS, m_outputs, m_fields.outputDevice);
    CheckRadioButton(m_hWnd, IDC_SOURCE_INPUT, IDC_SOURCE_BOTH,
                     m_fields.source == 1   ? IDC_SOURCE_PLAYBACK
                     : m_fields.source == 2 ? IDC_SOURCE_BOTH
                                            : IDC_SOURCE_INPUT);
    ShowBothNote();
    DescribeControlsForScreenReaders(m_hWnd, {}); // the lists named by their labels
    return TRUE;
}

void CSourceDlg::Fill(int list, const std::vector<Entry>& entries, const std::wstring& chosen) {
    const HWND control = GetDlgItem(list);
    for (const Entry& entry : entries)
        SendMessageW(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const Entry& entry) { return entry.device == chosen; });
    SendMessageW(control, LB_SETCURSEL, WPARAM(found - entries.begin()), 0);
}

const CSourceDlg::Entry* CSourceDlg::Selected(int list) const {
    const LRESULT index = SendMessageW(GetDlgItem(list), LB_GETCURSEL, 0, 0);
    const std::vector<Entry>& entries = list == IDC_SOURCE_INPUTS ? m_inputs : m_outputs;
    return index >= 0 && size_t(index) < entries.size() ? &entries[size_t(index)] : nullptr;
}

int CSourceDlg::Kind() const {
    return IsDlgButtonChecked(m_hWnd, IDC_SOURCE_BOTH) == BST_CHECKED       ? 2
           : IsDlgButtonChecked(m_hWnd, IDC_SOURCE_PLAYBACK) == BST_CHECKED ? 1
                                                                            : 0;
}

// While both sides are chosen, the note on headphones says why the far side may come twice.
void CSourceDlg::ShowBothNote() {
    ::ShowWindow(GetDlgItem(IDC_SOURCE_BOTH_NOTE), Kind() == 2 ? SW_SHOWNA : SW_HIDE);
}

// A device chosen in a list chooses its kind (both sides stay chosen: they take one of each); a
// double click chooses it and closes.
bool CSourceDlg::OnCommand(int id, int code, HWND) {
    if ((id == IDC_SOURCE_INPUTS || id == IDC_SOURCE_OUTPUTS) &&
        (code == LBN_SELCHANGE || code == LBN_DBLCLK)) {
        if (Kind() != 2)
            CheckRadioButton(m_hWnd, IDC_SOURCE_INPUT, IDC_SOURCE_BOTH,
                             id == IDC_SOURCE_INPUTS ? IDC_SOURCE_INPUT : IDC_SOURCE_PLAYBACK);
        if (code == LBN_DBLCLK)
            OnOK();
        return true;
    }
    if ((id == IDC_SOURCE_INPUT || id == IDC_SOURCE_PLAYBACK || id == IDC_SOURCE_BOTH) &&
        code == BN_CLICKED) {
        ShowBothNote();
        return true;
    }
    if (id == IDC_SOURCE_SYSTEM && code == BN_CLICKED) {
        OnSystemSettings();
        return true;
    }
    return false;
}

// The device of each kind is kept, whichever kind is recorded: switching back finds it chosen.
void CSourceDlg::OnOK() {
    m_fields.source = Kind();
    const auto take = [](const Entry* entry, std::wstring& device, std::wstring& name) {
        if (!entry || entry->away)
            return; // a device away keeps its ID and the name it had
        device = entry->device;
        name = device.empty() || device == kCommunicationsDevice ? L"" : entry->name;
    };
    take(Selected(IDC_SOURCE_INPUTS), m_fields.inputDevice, m_fields.inputDeviceName);
    take(Selected(IDC_SOURCE_OUTPUTS), m_fields.outputDevice, m_fields.outputDeviceName);
    EndDialog(IDOK);
}

// The Sound control panel, by the full path of control.exe in the system folder.
void CSourceDlg::OnSystemSettings() {
    const bool playback = Kind() == 1;
    DWORD error = 0;
    if (!StartSystemProgram(L"control.exe", playback ? L"mmsys.cpl,,0" : L"mmsys.cpl,,1", &error))
        ShowMessage(m_hWnd, FormatText(IDS_SOURCE_SETTINGS_FAILED, {SystemErrorText(error)}));
}
