#include "ui/shell/taskbar_button.h"

#include "engine/win32_handles.h"
#include "res/resource.h"
#include "ui/framework/ui_text.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <utility>
#include <vector>

namespace {

// The toolbar bitmap's images.
constexpr int kStartImage = 0, kStopImage = 1, kPauseImage = 2, kMarkerImage = 4;

// Each mark's overlay: a disc of its colour with a white sign, on the button's small icon size.
HICON MarkIcon(TaskbarView::Mark mark) {
    const int s = GetSystemMetrics(SM_CXSMICON) > 0 ? GetSystemMetrics(SM_CXSMICON) : 16;
    const COLORREF disc[] = {0, RGB(208, 0, 0), RGB(96, 96, 96), RGB(214, 140, 0), RGB(208, 64, 0)};
    const WindowDc screen(nullptr);
    const MemoryDc dc(CreateCompatibleDC(screen.Dc()));
    const GdiObject<HBITMAP> colour(CreateCompatibleBitmap(screen.Dc(), s, s));
    const GdiObject<HBITMAP> mask(CreateBitmap(s, s, 1, 1, nullptr));
    if (!dc || !colour || !mask)
        return nullptr;
    auto disc_ = [&](HBRUSH brush) {
        const SelectedObject fill(dc.Get(), brush);
        const SelectedObject pen(dc.Get(), GetStockObject(NULL_PEN));
        Ellipse(dc.Get(), 0, 0, s + 1, s + 1);
    };
    auto box = [&](int left, int top, int right, int bottom) { // in sixteenths
        const RECT r = {left * s / 16, top * s / 16, right * s / 16, bottom * s / 16};
        FillRect(dc.Get(), &r, HBRUSH(GetStockObject(WHITE_BRUSH)));
    };
    {
        const SelectedObject picture(dc.Get(), colour.Get());
        PatBlt(dc.Get(), 0, 0, s, s, BLACKNESS);
        const GdiObject<HBRUSH> brush(CreateSolidBrush(disc[mark]));
        disc_(brush.Get());
        switch (mark) {
        case TaskbarView::PAUSED:
            box(5, 4, 7, 12);
            box(9, 4, 11, 12);
            break;
        case TaskbarView::WAITING:
            box(3, 7, 5, 9);
            box(7, 7, 9, 9);
            box(11, 7, 13, 9);
            break;
        case TaskbarView::QUIET:
            box(7, 3, 9, 10);
            box(7, 11, 9, 13);
            break;
        case TaskbarView::NONE:
        case TaskbarView::RECORDING:
            break;
        }
    }
    {
        const SelectedObject picture(dc.Get(), mask.Get());
        PatBlt(dc.Get(), 0, 0, s, s, WHITENESS);
        disc_(HBRUSH(GetStockObject(BLACK_BRUSH)));
    }
    ICONINFO info = {TRUE, 0, 0, mask.Get(), colour.Get()};
    return CreateIconIndirect(&info);
}

UINT StateText(TaskbarView::Mark mark) {
    switch (mark) {
    case TaskbarView::RECORDING:
        return IDS_STATE_RECORDING;
    case TaskbarView::PAUSED:
        return IDS_STATE_PAUSED;
    case TaskbarView::WAITING:
        return IDS_STATE_WAITING;
    case TaskbarView::QUIET:
        return IDS_STATE_QUIET;
    case TaskbarView::NONE:
        break;
    }
    return 0;
}

void SetTip(THUMBBUTTON& button, UINT text) {
    const std::wstring tip = LoadText(text);
    std::swprintf(button.szTip, ARRAYSIZE(button.szTip), L"%ls", tip.c_str());
}

// Pause (or resume), stop and marker, hidden while nothing records.
void MakeButtons(const TaskbarView& view, THUMBBUTTON (&buttons)[3]) {
    const struct {
        UINT tip; // the record bar's tooltip of the command
        int image;
        bool enabled;
    } made[] = {{view.paused ? UINT(IDS_TIP_RECORD_START) : UINT(IDS_TIP_RECORD_PAUSE),
                 view.paused ? kStartImage : kPauseImage, view.pauseEnabled},
                {IDS_TIP_RECORD_STOP, kStopImage, view.stopEnabled},
                {IDS_TIP_MARKER, kMarkerImage, view.markerEnabled}};
    const UINT ids[] = {ID_RECORD_PAUSE, ID_RECORD_STOP, ID_MARKER};
    for (int i = 0; i < 3; ++i) {
        buttons[i] = THUMBBUTTON();
        buttons[i].dwMask = THB_BITMAP | THB_TOOLTIP | THB_FLAGS;
        buttons[i].iId = ids[i]; // the first keeps its id: its command follows the state
        buttons[i].iBitmap = UINT(made[i].image);
        SetTip(buttons[i], made[i].tip);
        buttons[i].dwFlags = view.mark == TaskbarView::NONE ? THBF_HIDDEN
                             : made[i].enabled              ? THBF_ENABLED
                                                            : THBF_DISABLED;
    }
}

} // namespace

bool TaskbarView::operator==(const TaskbarView& other) const {
    return mark == other.mark && paused == other.paused && pauseEnabled == other.pauseEnabled &&
           stopEnabled == other.stopEnabled && markerEnabled == other.markerEnabled;
}

CTaskbarButton::~CTaskbarButton() = default;

HIMAGELIST CTaskbarButton::ThumbImages(UINT bitmap, int width, int height, int count) {
    const int cell = GetSystemMetrics(SM_CXSMICON) > 0 ? GetSystemMetrics(SM_CXSMICON) : 16;
    GdiObject<HBITMAP> source(
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmap),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!source)
        return nullptr;
    // The bitmap's pixels, top-down, 32 bits each.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width * count;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(size_t(width) * count * height);
    const WindowDc screen(nullptr);
    const int lines =
        GetDIBits(screen.Dc(), source.Get(), 0, UINT(height), pixels.data(), &info, DIB_RGB_COLORS);
    source.Reset();
    // The cells, premultiplied (opaque or transparent: the same).
    info.bmiHeader.biWidth = cell * count;
    info.bmiHeader.biHeight = -cell;
    void* bits = nullptr;
    const GdiObject<HBITMAP> cells(
        CreateDIBSection(screen.Dc(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (lines != height || !cells || !bits)
        return nullptr;
    uint32_t* out = static_cast<uint32_t*>(bits);
    std::fill(out, out + size_t(cell) * count * cell, 0u);
    const uint32_t background = pixels[0] & 0xFFFFFF;
    const int dx = std::max(0, (cell - width) / 2), dy = std::max(0, (cell - height) / 2);
    for (int i = 0; i < count; ++i)
        for (int y = 0; y < height && y + dy < cell; ++y)
            for (int x = 0; x < width && x + dx < cell; ++x) {
                const uint32_t pixel = pixels[size_t(y) * width * count + size_t(i) * width + x];
                if ((pixel & 0xFFFFFF) != background)
                    out[size_t(y + dy) * cell * count + size_t(i) * cell + x + dx] =
                        0xFF000000u | (pixel & 0xFFFFFF);
            }
    UniqueImageList list(ImageList_Create(cell, cell, ILC_COLOR32, count, 0));
    if (list && ImageList_Add(list.Get(), cells.Get(), nullptr) < 0)
        list.Reset();
    return list.Release(); // the image list holds a copy of the cells
}

UINT CTaskbarButton::CreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

// A program that runs elevated hears the taskbar's message, and the thumbnail buttons' commands,
// only if it lets them through.
void CTaskbarButton::SetWindow(HWND window, UINT bitmap, int width, int height) {
    m_window = window;
    m_bitmap = bitmap;
    m_width = width;
    m_height = height;
    if (CreatedMessage())
        ChangeWindowMessageFilterEx(window, CreatedMessage(), MSGFLT_ALLOW, nullptr);
    ChangeWindowMessageFilterEx(window, WM_COMMAND, MSGFLT_ALLOW, nullptr);
}

bool CTaskbarButton::OnCreated() {
    m_list.Reset(); // a taskbar made anew: its interface is taken again
    m_buttonsAdded = false;
    if (!m_window)
        return false;
    ComPtr<ITaskbarList3> list;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(ITaskbarList3), list.PutVoid())) ||
        FAILED(list->HrInit()))
        return false;
    m_list = std::move(list);
    if (!m_images && m_bitmap)
        m_images.Reset(ThumbImages(m_bitmap, m_width, m_height, kMarkerImage + 1));
    if (m_images)
        m_list->ThumbBarSetImageList(m_window, m_images.Get());
    THUMBBUTTON buttons[3];
    MakeButtons(m_view, buttons);
    m_buttonsAdded = SUCCEEDED(m_list->ThumbBarAddButtons(m_window, 3, buttons));
    m_appliedAny = false;
    Apply();
    return true;
}

void CTaskbarButton::Show(const TaskbarView& view) {
    m_view = view;
    Apply();
}

// The error colour needs a value to colour: the whole bar.
void CTaskbarButton::Apply() {
    if (!m_list || (m_appliedAny && m_view == m_applied))
        return;
    const TaskbarView::Mark mark = m_view.mark;
    if (mark != TaskbarView::NONE && !m_icons[mark])
        m_icons[mark].Reset(MarkIcon(mark));
    const UINT text = StateText(mark);
    m_list->SetOverlayIcon(m_window, mark != TaskbarView::NONE ? m_icons[mark].Get() : nullptr,
                           text ? LoadText(text).c_str() : L"");
    if (mark == TaskbarView::WAITING || mark == TaskbarView::QUIET) {
        m_list->SetProgressValue(m_window, 100, 100);
        m_list->SetProgressState(m_window, TBPF_ERROR);
    } else {
        m_list->SetProgressState(m_window, TBPF_NOPROGRESS);
    }
    if (m_buttonsAdded) {
        THUMBBUTTON buttons[3];
        MakeButtons(m_view, buttons);
        m_list->ThumbBarUpdateButtons(m_window, 3, buttons);
    }
    m_applied = m_view;
    m_appliedAny = true;
}
