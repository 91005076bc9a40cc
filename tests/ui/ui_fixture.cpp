#include "tests/ui/ui_fixture.h"

#include "app/settings.h"
#include "engine/clock.h"
#include "engine/win32_handles.h"
#include "res/resource.h"
#include "ui/framework/ui_text.h"
#include "ui/windows/record_bar.h"
#include "ui/windows/settings_page.h"

#include <commctrl.h>

std::vector<std::wstring> UiFixture::s_messages;
std::atomic<uint32_t> UiFixture::s_now{0};
int UiFixture::s_answer = IDNO;
SimulatedWaveInput* UiFixture::s_device = nullptr;

testing::AssertionResult Says(const std::wstring& text, UINT id,
                              std::initializer_list<std::wstring> facts) {
    auto utf8 = [](const std::wstring& wide) { return std::filesystem::path(wide).u8string(); };
    const std::wstring pattern = LoadText(id);
    if (pattern.empty())
        return testing::AssertionFailure() << "no text " << id;
    size_t at = 0, from = 0;
    for (;;) {
        size_t argument = pattern.find(L'%', from);
        while (argument != std::wstring::npos &&
               (argument + 1 >= pattern.size() || pattern[argument + 1] < L'1' ||
                pattern[argument + 1] > L'9'))
            argument = pattern.find(L'%', argument + 1);
        const std::wstring words = pattern.substr(from, argument - from);
        const size_t found = text.find(words, at);
        if (found == std::wstring::npos)
            return testing::AssertionFailure()
                   << "not text " << id << " (its words \"" << utf8(words) << "\" missing)";
        at = found + words.size();
        if (argument == std::wstring::npos)
            break;
        from = argument + 2;
    }
    for (const std::wstring& fact : facts)
        if (text.find(fact) == std::wstring::npos)
            return testing::AssertionFailure() << "\"" << utf8(fact) << "\" not said";
    return testing::AssertionSuccess();
}

void UiFixture::SetUp() {
    s_messages.clear();
    s_now = 1000000;
    SetTickFunction(&UiFixture::Now);
    s_answer = IDNO;
    SetMessageHook([](const std::wstring& text, UINT type) {
        s_messages.push_back(text);
        return (type & MB_TYPEMASK) == MB_YESNO ? s_answer : IDOK;
    });
    SetWaveInputFactory([]() -> std::unique_ptr<IWaveInput> {
        auto device = std::make_unique<SimulatedWaveInput>();
        device->SetBlockInterval(2000);
        s_device = device.get();
        return device;
    });
    DeleteFileW(SettingsPath().c_str());
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

void UiFixture::TearDown() {
    if (main)
        CloseMainWindow();
    SetTickFunction(nullptr);
    SetMessageHook(nullptr);
    SetWaveInputFactory(nullptr);
    DeleteFileW(SettingsPath().c_str());
}

void UiFixture::OpenMainWindow() {
    main = new CMainDlg;
    g_pMainDlg = main;
    ASSERT_TRUE(main->Create(nullptr)) << "the main window: error " << GetLastError();
    EXPECT_TRUE(PumpUntil(Settled));
}

void UiFixture::CloseMainWindow(UINT command) {
    Command(main->GetSafeHwnd(), int(command));
    EXPECT_TRUE(PumpUntil(Settled));
    delete main;
    main = nullptr;
}

void UiFixture::Pump(int milliseconds) {
    const DWORD end = GetTickCount() + DWORD(milliseconds);
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (int(end - GetTickCount()) > 0);
}

bool UiFixture::Settled() {
    return HIWORD(GetQueueStatus(QS_POSTMESSAGE | QS_PAINT | QS_SENDMESSAGE)) == 0;
}

// Once the device has handed back a block (before, its first block's limit would count).
bool UiFixture::SilenceAndSettle() {
    PumpUntil([] { return s_device->FramesDelivered() > 0; });
    s_device->SetSilent(true);
    return PumpUntil([] { return s_device->QueuedCount() == kWaveInBufferCount && Settled(); });
}

void UiFixture::Command(HWND window, int id) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void UiFixture::Click(int barCommand) {
    Command(Bar()->GetSafeHwnd(), barCommand);
    if (barCommand == ID_RECORD_STOP) {
        EXPECT_TRUE(PumpUntil([&] { return main->m_pRecording->State() == RECORDING_STOPPED; }));
    }
}

void UiFixture::SelectTab(int index) {
    NMHDR header = {main->m_tabCtrl, UINT_PTR(IDC_TAB), UINT(TCN_SELCHANGING)};
    SendMessageW(main->GetSafeHwnd(), WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&header));
    SendMessageW(main->m_tabCtrl, TCM_SETCURSEL, WPARAM(index), 0);
    header.code = UINT(TCN_SELCHANGE);
    SendMessageW(main->GetSafeHwnd(), WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&header));
}

std::vector<std::wstring> UiFixture::Notices() const {
    std::vector<std::wstring> texts;
    for (int i = main->Notices().Count() - 1; i >= 0; --i)
        texts.push_back(main->Notices().Text(i));
    return texts;
}

CRecordBar* UiFixture::Bar() const {
    return main->m_pRecordBar.get();
}

CSettingsPage* UiFixture::Page() const {
    return main->m_pSettingsPage.get();
}

std::wstring UiFixture::StatusText(int part) const {
    return main->StatusText(part);
}

bool UiFixture::ToolbarEnabled(int command) const {
    return SendMessageW(Bar()->m_hToolbar, TB_ISBUTTONENABLED, WPARAM(command), 0) != 0;
}

void UiFixture::TypeFileName(const std::wstring& name) {
    SetDlgItemTextW(Bar()->GetSafeHwnd(), IDC_FILE_NAME, name.c_str());
}

bool UiFixture::Visible(CDialog* dialog) {
    return IsWindowVisible(dialog->GetSafeHwnd()) != 0;
}

std::wstring UiFixture::SettingsPath() {
    return SettingsFilePath();
}

void UiFixture::WriteSettings(const std::string& text) {
    WriteFileBytes(SettingsPath(), std::vector<uint8_t>(text.begin(), text.end()));
}
