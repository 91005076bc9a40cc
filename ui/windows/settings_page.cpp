#include "ui/windows/settings_page.h"

#include "app/settings.h"
#include "engine/file_name_check.h"
#include "engine/sequential_naming.h"
#include "engine/win32_handles.h"
#include "res/resource.h"
#include "ui/access/accessibility.h"
#include "ui/framework/ui_text.h"
#include "ui/shell/system_program.h"
#include "ui/windows/sound_format_dlg.h"
#include "ui/windows/source_dlg.h"

#include <commctrl.h>
#include <shlobj.h>

#include <memory>

CSettingsPage::CSettingsPage() : CDialog(IDD_SETTINGS) {}

BOOL CSettingsPage::OnInitDialog() {
    CDialog::OnInitDialog();
    DescribeControlsForScreenReaders(m_hWnd, {{IDC_SEQ_BROWSE, IDS_ACC_BROWSE},
                                              {IDC_RECORDING_SOURCE, IDS_ACC_RECORDING_SOURCE},
                                              {IDC_SOUND_FORMAT, IDS_ACC_SOUND_FORMAT}});
    return TRUE;
}

// The counter first, so that an unreadable or out-of-range counter stops the exchange before
// the other values. The naming values are checked only while sequential naming is on: switching
// it off always works, whatever the fields hold.
void CSettingsPage::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_SEQ_SUBFOLDERS, m_checkSubDir);
    DDX_Control(dx, IDC_SEQ_COUNT, m_editCount);
    DDX_Control(dx, IDC_SEQ_PREFIX, m_editPrefix);
    DDX_Control(dx, IDC_SEQ_BROWSE, m_buttonBrowse);
    DDX_Control(dx, IDC_SEQ_FOLDER, m_editFolder);
    DDX_Control(dx, IDC_SEQ_COUNT_SPIN, m_spinCount);
    const bool naming = dx.Saving() ? IsDlgButtonChecked(m_hWnd, IDC_SEQ_ENABLE) == BST_CHECKED
                                    : m_bCheckSeqRecFile != 0;
    if (naming || !dx.Saving()) {
        DDX_Text(dx, IDC_SEQ_COUNT, m_nSeqRecFileCount);
        DDV_MinMaxUInt(dx, m_nSeqRecFileCount, 0, kMaxCount);
    } else {
        TakeUnusedCounter(dx);
    }
    DDX_Check(dx, IDC_SEQ_ENABLE, m_bCheckSeqRecFile);
    DDX_Text(dx, IDC_SEQ_FOLDER, m_strSeqRecFileDir);
    DDX_Text(dx, IDC_SEQ_PREFIX, m_strSeqRecFilePrefix);
    if (naming && dx.Saving() && !dx.Failed() && !IsUsablePrefix(m_strSeqRecFilePrefix))
        dx.Fail(IDC_SEQ_PREFIX, LoadText(IDS_BAD_PREFIX));
    DDX_Check(dx, IDC_SEQ_SUBFOLDERS, m_bCheckReqFileSubDir);
}

void CSettingsPage::TakeUnusedCounter(CDataExchange& dx) {
    uint32_t count = 0;
    if (ParseUnsigned(WindowText(m_editCount), count) && count <= kMaxCount)
        m_nSeqRecFileCount = count;
    dx.SetLastControl(IDC_SEQ_COUNT);
}

bool CSettingsPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_RECORDING_SOURCE:
        OnRecordingSource();
        return true;
    case IDC_SEQ_ENABLE:
        OnCheckSeqRecFile();
        return true;
    case IDC_SEQ_BROWSE:
        OnBrowseFolder();
        return true;
    case IDC_SOUND_FORMAT:
        OnSoundFormat();
        return true;
    default:
        return false;
    }
}

void CSettingsPage::SetSpinPosition(uint32_t position) {
    SendMessageW(GetDlgItem(IDC_SEQ_COUNT_SPIN), UDM_SETPOS32, 0, LPARAM(position));
}

void CSettingsPage::LoadFromSettings() {
    m_bCheckSeqRecFile = g_settings.CheckSeqRecFile;
    m_strSeqRecFileDir = g_settings.SeqRecFileDir;
    m_bCheckReqFileSubDir = g_settings.CheckReqFileSubDir;
    m_strSeqRecFilePrefix = g_settings.SeqRecFilePrefix;
    m_nSeqRecFileCount = uint32_t(g_settings.SeqRecFileCount);
    m_nSource = g_settings.Source;
    m_strInputDevice = g_settings.InputDevice;
    m_strInputDeviceName = g_settings.InputDeviceName;
    m_strOutputDevice = g_settings.OutputDevice;
    m_strOutputDeviceName = g_settings.OutputDeviceName;
    ShowSource();
    SendMessageW(GetDlgItem(IDC_SEQ_COUNT_SPIN), UDM_SETRANGE32, 0, kMaxCount);
    SetSpinPosition(m_nSeqRecFileCount);
    UpdateData(false);
    UpdateControlStates();
}

void CSettingsPage::StoreToSettings(bool quiet) {
    UpdateData(true, quiet);
    g_settings.CheckSeqRecFile = m_bCheckSeqRecFile;
    g_settings.SeqRecFileDir = m_strSeqRecFileDir;
    g_settings.CheckReqFileSubDir = m_bCheckReqFileSubDir;
    g_settings.SeqRecFilePrefix = m_strSeqRecFilePrefix;
    g_settings.SeqRecFileCount = int32_t(m_nSeqRecFileCount);
    g_settings.Source = m_nSource;
    g_settings.InputDevice = m_strInputDevice;
    g_settings.InputDeviceName = m_strInputDeviceName;
    g_settings.OutputDevice = m_strOutputDevice;
    g_settings.OutputDeviceName = m_strOutputDeviceName;
}

CaptureSource CSettingsPage::Source() const {
    CaptureSource source;
    source.kind = m_nSource == 2 ? SOURCE_BOTH : m_nSource == 1 ? SOURCE_PLAYBACK : SOURCE_INPUT;
    source.device = source.kind == SOURCE_PLAYBACK ? m_strOutputDevice : m_strInputDevice;
    if (source.kind == SOURCE_BOTH)
        source.output = m_strOutputDevice;
    return source;
}

std::wstring CSettingsPage::SourceName(const CaptureSource& source) const {
    if (source.kind == SOURCE_BOTH)
        return FormatText(IDS_SOURCE_BOTH,
                          {DeviceName(source.Input()), DeviceName(source.Playback())});
    const std::wstring name = DeviceName(source);
    return source.kind == SOURCE_PLAYBACK ? FormatText(IDS_SOURCE_PLAYBACK, {name}) : name;
}

std::wstring CSettingsPage::DeviceName(const CaptureSource& source) const {
    const bool playback = source.kind == SOURCE_PLAYBACK;
    const std::wstring& chosenName = playback ? m_strOutputDeviceName : m_strInputDeviceName;
    const std::wstring& chosen = playback ? m_strOutputDevice : m_strInputDevice;
    return source.device.empty()
               ? LoadText(playback ? IDS_SOURCE_DEFAULT_OUTPUT : IDS_SOURCE_DEFAULT_INPUT)
           : source.IsCommunications() ? LoadText(playback ? IDS_SOURCE_COMMUNICATIONS_OUTPUT
                                                           : IDS_SOURCE_COMMUNICATIONS_INPUT)
           : source.device == chosen && !chosenName.empty() ? chosenName
                                                            : source.device;
}

void CSettingsPage::ShowSource() {
    SetDlgItemTextW(m_hWnd, IDC_SOURCE_SHOWN,
                    FormatText(IDS_SOURCE_SHOWN, {SourceName(Source())}).c_str());
}

std::wstring CSettingsPage::DamagedSourceText(const std::vector<std::wstring>& keys) const {
    if (keys.empty())
        return std::wstring();
    std::wstring named;
    for (const std::wstring& key : keys)
        named += (named.empty() ? L"" : L", ") + key;
    return FormatText(IDS_SOURCE_DAMAGED, {SettingsFilePath(), named, SourceName(Source())});
}

SequentialNaming CSettingsPage::Naming() const {
    SequentialNaming naming;
    naming.count = m_nSeqRecFileCount;
    naming.enabled = m_bCheckSeqRecFile;
    naming.folder = m_strSeqRecFileDir;
    naming.prefix = m_strSeqRecFilePrefix;
    naming.subFolders = m_bCheckReqFileSubDir;
    return naming;
}

void CSettingsPage::SetCounter(uint32_t count) {
    m_nSeqRecFileCount = count;
    SetSpinPosition(m_nSeqRecFileCount);
    UpdateData(false);
}

void CSettingsPage::UpdateControlStates() {
    UpdateData(true);
    const BOOL on = m_bCheckSeqRecFile ? TRUE : FALSE;
    for (HWND control :
         {m_editFolder, m_buttonBrowse, m_editPrefix, m_checkSubDir, m_editCount, m_spinCount})
        EnableWindow(control, on);
    UpdateData(false);
}

void CSettingsPage::OnCheckSeqRecFile() {
    UpdateControlStates();
    if (m_namingSwitched)
        m_namingSwitched();
}

// The shell's folder browser, opened at the folder in the field; a chosen drive root keeps its
// trailing backslash. The item list it returns is the shell's memory, released with
// CoTaskMemFree. COM is initialised for this thread by the main window.
void CSettingsPage::OnBrowseFolder() {
    UpdateData(true);
    wchar_t path[MAX_PATH] = {};
    const std::wstring title = LoadText(IDS_BROWSE_FOLDER_TITLE);
    BROWSEINFOW info = {};
    info.hwndOwner = m_hWnd;
    info.pszDisplayName = path;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    info.lParam = reinterpret_cast<LPARAM>(m_strSeqRecFileDir.c_str());
    info.lpfn = [](HWND browser, UINT message, LPARAM, LPARAM folder) -> int {
        if (message == BFFM_INITIALIZED && *reinterpret_cast<const wchar_t*>(folder))
            SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, folder);
        return 0;
    };
    const CoTaskMemory<ITEMIDLIST> item(SHBrowseForFolderW(&info));
    if (item && SHGetPathFromIDListW(item.get(), path)) {
        m_strSeqRecFileDir = path;
        UpdateData(false);
    }
}

// What is recorded, chosen among the devices plugged in now.
void CSettingsPage::OnRecordingSource() {
    CSourceDlg dialog({m_nSource, m_strInputDevice, m_strInputDeviceName, m_strOutputDevice,
                       m_strOutputDeviceName},
                      ActiveEndpoints(SOURCE_INPUT), ActiveEndpoints(SOURCE_PLAYBACK));
    if (dialog.DoModal(m_main ? m_main->Owner() : m_hWnd) == IDOK)
        ShowSource();
}

void CSettingsPage::OnSoundFormat() {
    if (!m_main)
        return;
    CSoundFormatDlg dialog(m_main->Format());
    dialog.DoModal(m_main->Owner());
}
